#pragma once
// The message file handed to the mail client: a MIME multipart/mixed message with the note as its
// text part and the record file as its base64 attachment, the texts as Windows-1251 bytes, marked
// X-Unsent so that the client opens it as a draft ready to send.

#include "platform/systemtime.h"

#include <QByteArray>
#include <QString>
#include <cstddef>

// "----=_NextPart_" and the eight fields of the local time (year, month, day of the week, day,
// hour, minute, second, milliseconds) in lower-case hex without leading zeros.
QByteArray MakeBoundary(const SYSTEMTIME& st);

// Where the message file of an attachment goes: the path with every ".ecg" replaced by ".eml"
// (folder names included), or with ".eml" appended when it holds none.
QString MessageFilePath(const QString& strAttachment);

// A text fit for one header line: every run of CR and LF becomes one blank and other control
// characters but the tab are dropped, so a typed text cannot add header lines of its own.
QString OneLineHeaderText(const QString& strText);

// The texts of the message. From and To are written between angle brackets as they stand (To
// may hold several addresses separated by commas); empty ones are left out.
struct SMimeTexts {
    QString strFrom;
    QString strTo;
    QString strSubject;
    QString strNote;
};

// The whole message file. strFileName is the attachment's name without folder; nSize must not be
// 0 (a message needs its attachment).
QByteArray BuildMimeMessage(const SMimeTexts& texts, const QByteArray& boundary,
                            const QString& strFileName, const uint8_t* pData, size_t nSize);

enum class EMessageWrite { Ok, BadAttachment, CannotWrite };

// Reads the attachment (through a read-only mapping) and writes the message file at
// strMessagePath, replacing one that exists. BadAttachment when the attachment cannot be read or
// is empty, CannotWrite when the file cannot be written, each with the reason in *pError; no
// partial message file is left.
EMessageWrite WriteMimeMessage(const QString& strAttachment, const QString& strMessagePath,
                               const SMimeTexts& texts, const SYSTEMTIME& clock, QString* pError);
