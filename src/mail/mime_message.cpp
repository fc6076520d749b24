#include "mail/mime_message.h"

#include "mail/base64.h"
#include "platform/atomic_file.h"
#include "platform/cp1251.h"
#include "platform/error_text.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

QByteArray MakeBoundary(const SYSTEMTIME& st) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "----=_NextPart_%x%x%x%x%x%x%x%x", unsigned(st.wYear),
                  unsigned(st.wMonth), unsigned(st.wDayOfWeek), unsigned(st.wDay),
                  unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond),
                  unsigned(st.wMilliseconds));
    return QByteArray(buf);
}

QString MessageFilePath(const QString& strAttachment) {
    const QString ecg = QStringLiteral(".ecg");
    if (!strAttachment.contains(ecg))
        return strAttachment + QStringLiteral(".eml");
    QString path = strAttachment;
    path.replace(ecg, QStringLiteral(".eml"));
    return path;
}

QString OneLineHeaderText(const QString& strText) {
    QString out;
    out.reserve(strText.size());
    bool inBreak = false;
    for (const QChar c : strText) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (!inBreak)
                out += QLatin1Char(' ');
            inBreak = true;
            continue;
        }
        inBreak = false;
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7F)
            continue;
        out += c;
    }
    return out;
}

namespace {

// The note as it goes into the text part: line breaks as CR LF.
QByteArray NoteBytes(const QString& note) {
    QString text = note;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToCp1251(text);
}

} // namespace

QByteArray BuildMimeMessage(const SMimeTexts& texts, const QByteArray& boundary,
                            const QString& strFileName, const uint8_t* pData, size_t nSize) {
    const QByteArray from = ToCp1251(OneLineHeaderText(texts.strFrom));
    const QByteArray to = ToCp1251(OneLineHeaderText(texts.strTo));
    const QByteArray subject = ToCp1251(OneLineHeaderText(texts.strSubject));
    const QByteArray name = ToCp1251(OneLineHeaderText(strFileName));
    const QByteArray delimiter = "--" + boundary;
    const QByteArray body = "\r\n" + NoteBytes(texts.strNote);

    QByteArray m;
    m.reserve(qsizetype(1024 + body.size() + Base64EncodedSize(nSize)));
    if (!from.isEmpty())
        m += "From: <" + from + ">\r\n";
    if (!to.isEmpty())
        m += "To: <" + to + ">\r\n";
    m += "Subject: " + subject + "\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: multipart/mixed;\r\n boundary=\"" + boundary + "\"\r\n";
    m += "X-Priority: 3\r\n";
    m += "X-Unsent: 1\r\n\r\n";
    m += delimiter + "\r\n";
    m += "Content-Type: text/plain; charset=\"windows-1251\"\r\n"
         "Content-Transfer-Encoding: 7bit\r\n";
    m += body + "\r\n";
    m += "\r\n";
    m += delimiter;
    m += "\r\nContent-Type: application/octet-stream; name=\"" + name + "\"\r\n";
    m += "Content-Transfer-Encoding: base64\r\n";
    m += "Content-Disposition: attachment; filename=\"" + name + "\"\r\n\r\n";
    const qsizetype at = m.size();
    m.resize(at + qsizetype(Base64EncodedSize(nSize)));
    const size_t written = encodeBase64(pData, nSize, m.data() + at);
    m.resize(at + qsizetype(written));
    m += delimiter + "--\r\n";
    return m;
}

EMessageWrite WriteMimeMessage(const QString& strAttachment, const QString& strMessagePath,
                               const SMimeTexts& texts, const SYSTEMTIME& clock, QString* pError) {
    auto fail = [&](const QString& why, EMessageWrite result = EMessageWrite::BadAttachment) {
        if (pError)
            *pError = why;
        return result;
    };
    QFile attachment(strAttachment);
    if (!attachment.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open the attachment %1: %2")
                        .arg(strAttachment, attachment.errorString()));
    const qint64 size = attachment.size();
    if (size <= 0)
        return fail(QStringLiteral("the attachment %1 is empty").arg(strAttachment));
    const uchar* data = attachment.map(0, size);
    if (!data)
        return fail(QStringLiteral("cannot read the attachment %1: %2")
                        .arg(strAttachment, attachment.errorString()));
    const QByteArray message = BuildMimeMessage(
        texts, MakeBoundary(clock), QFileInfo(strAttachment).fileName(), data, size_t(size));
    attachment.unmap(const_cast<uchar*>(data));

    // Whole or not at all: a half-written message must not reach a mail client.
    CAtomicFile file(QFile::encodeName(strMessagePath).toStdString());
    if (!file.Open() || !file.Write(message.constData(), size_t(message.size())) || !file.Commit())
        return fail(QStringLiteral("cannot write the message file %1: %2")
                        .arg(strMessagePath, QString::fromStdString(ErrorText(file.Error()))),
                    EMessageWrite::CannotWrite);
    return EMessageWrite::Ok;
}
