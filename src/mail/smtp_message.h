#pragma once
// The message sent over SMTP: multipart/mixed with the note as a UTF-8 text part and the record
// file as an attachment; non-ASCII header texts (subject, the sender's display name) as RFC 2047
// encoded words in UTF-8.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct SMailbox {
    QString strName;    // display name; may be empty
    QString strAddress; // local@domain
};

// True for an ASCII address of the form local@domain without blanks, brackets, quotes or
// controls.
bool IsMailAddress(const QString& strAddress);

// Splits a recipient text at commas outside quotes and angle brackets; an entry is an address or
// "Name <address>". False with the reason in *pError for an entry that is no address or when
// there is no recipient at all.
bool ParseRecipients(const QString& strText, QList<SMailbox>* pList, QString* pError);

// A header text: as it stands when it is printable ASCII, otherwise UTF-8 encoded words of at
// most 75 characters, folded onto continuation lines. Line breaks are taken out first.
QByteArray EncodeHeaderText(const QString& strText);

// "Name" <address>, the name quoted or encoded as needed; the bare address without a name.
QByteArray FormatMailbox(const SMailbox& box);

// The texts of one message.
struct SSmtpMessage {
    QString strRecipients; // several addresses separated by commas
    QString strSubject;    // may be empty
    QString strNote;       // the message text
    QString strAttachmentPath;
};

// A message ready for the wire, with its envelope.
struct SSmtpEnvelope {
    QString strFrom;        // MAIL FROM
    QStringList recipients; // RCPT TO
    QByteArray message;     // header and body, CR LF line ends
};

// Builds the message from sender (address and display name), texts, the attachment's bytes, the
// send time and a boundary. False with the reason in *pError for a sender or recipient that is no
// address.
bool BuildSmtpMessage(const SMailbox& from, const SSmtpMessage& texts, const QString& strFileName,
                      const QByteArray& attachment, const QDateTime& now,
                      const QByteArray& boundary, SSmtpEnvelope* pOut, QString* pError);
