#include "record_io/record_mail.h"

#include "record_io/record_device.h"
#include "record_io/record_files.h"

SSmtpSettings SmtpSettingsOf(const CViewSettings& v) {
    SSmtpSettings s;
    s.strHost = v.m_szMailHostName;
    s.nPort = v.m_nMailSMTPPort;
    s.bUseSsl = v.m_bMailUseSSL;
    s.strLogin = v.m_szMailLogin;
    s.strPassword = v.m_szMailPassword;
    s.strOrg = v.m_attrOrg;
    s.strCaBundle = v.m_szMailCABundle;
    return s;
}

QString AttachmentName(const ECG_RECORD& record, bool bScp) {
    return AttachmentName(record, bScp ? ".scp" : ".ecg");
}

QString AttachmentName(const ECG_RECORD& record, const char* extension) {
    return RecordNumberText(record) + QStringLiteral("-%1").arg(record.curve_id) +
           QLatin1String(extension);
}

bool CRecordMail::Prepare(const ECG_RECORD& record, const PATIENT_CARD& card, bool bScp,
                          std::string* error) {
    return Prepare(record, card, bScp ? ".scp" : ".ecg", error);
}

bool CRecordMail::Prepare(const ECG_RECORD& record, const PATIENT_CARD& card, const char* extension,
                          std::string* error) {
    m_pFolder = std::make_unique<CMailTempFolder>(); // private (0700), removed on every path
    m_strAttachment.clear();
    if (!m_pFolder->IsValid()) {
        *error = "cannot make a temporary folder: " + m_pFolder->ErrorString().toStdString();
        return false;
    }
    const QString path = m_pFolder->FilePath(AttachmentName(record, extension));
    const RecordFileType* type = RecordFileTypeOf(path);
    if (!SaveRecordFile(path, *type, record, &card, error))
        return false;
    m_strAttachment = path;
    return true;
}

bool CRecordMail::StartSmtp(CSmtpSender& sender, const CViewSettings& settings,
                            const SMailText& text, QString* error) const {
    return sender.Send(SmtpSettingsOf(settings),
                       SSmtpMessage{text.strTo, text.strSubject, text.strNote, m_strAttachment},
                       error);
}

std::unique_ptr<CSendByEmail> CRecordMail::HandOff(const CViewSettings& settings,
                                                   const SMailText& text,
                                                   SSendByEmailOptions options) const {
    return std::make_unique<CSendByEmail>(m_strAttachment, settings.m_attrOrg, text.strTo,
                                          text.strSubject, text.strNote, std::move(options));
}
