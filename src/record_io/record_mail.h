#pragma once
// Sending a record by e-mail, one way for the record window and velmora-cli alike: the
// attachment (the export package, or the SCP-ECG file) is written into a private temporary
// folder, then it goes over SMTP or to the desktop's mail client, as the settings say. The
// front-ends only ask for the texts, call this and report.

#include "config/view_settings.h"
#include "mail/send_by_email.h"
#include "mail/smtp_sender.h"
#include "mail/temp_folder.h"
#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"

#include <QString>
#include <memory>
#include <string>

// The one mapping from the settings file's keys to the SMTP account.
SSmtpSettings SmtpSettingsOf(const CViewSettings& settings);

// The attachment's file name: the record number text, "-", the device's record number, and
// ".ecg" or ".scp" ("K.107.18641.5752-3.ecg"); or the extension given (".dcm").
QString AttachmentName(const ECG_RECORD& record, bool bScp);
QString AttachmentName(const ECG_RECORD& record, const char* extension);

struct SMailText {
    QString strTo;
    QString strSubject;
    QString strNote;
};

class CRecordMail {
public:
    // Writes the record with its card as the attachment into a fresh private folder; false
    // with *error (the card incomplete, the folder or the file not written).
    bool Prepare(const ECG_RECORD& record, const PATIENT_CARD& card, bool bScp, std::string* error);
    // The same as a file of the type of `extension` (".dcm": the DICOM ECG object).
    bool Prepare(const ECG_RECORD& record, const PATIENT_CARD& card, const char* extension,
                 std::string* error);
    const QString& AttachmentPath() const { return m_strAttachment; }

    // Starts the send over SMTP with the settings' account. The sender reads the attachment
    // before it returns, so this object (and its folder) may go at once. False with *error
    // when nothing was started.
    bool StartSmtp(CSmtpSender& sender, const CViewSettings& settings, const SMailText& text,
                   QString* error) const;

    // Hands the attachment to the mail client (or with options.bHandOff false only writes the
    // message file); returns when the client ends. The result tells how it went.
    std::unique_ptr<CSendByEmail> HandOff(const CViewSettings& settings, const SMailText& text,
                                          SSendByEmailOptions options = {}) const;

private:
    std::unique_ptr<CMailTempFolder> m_pFolder;
    QString m_strAttachment;
};
