#include "mail/smtp_message.h"

#include "mail/base64.h"
#include "mail/mime_message.h"

#include <QRandomGenerator>

namespace {

bool IsPrintableAscii(const QString& s) {
    for (const QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

QByteArray Base64(const QByteArray& bytes) {
    QByteArray out(qsizetype(Base64EncodedSize(size_t(bytes.size()))), Qt::Uninitialized);
    out.resize(qsizetype(encodeBase64(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                      size_t(bytes.size()), out.data())));
    return out;
}

// Base64 without line breaks, for encoded words.
QByteArray Base64Word(const QByteArray& bytes) {
    QByteArray b = Base64(bytes);
    b.replace("\r\n", "");
    return b;
}

// The text in pieces of at most nBytes UTF-8 bytes, never splitting a character.
QList<QByteArray> Utf8Pieces(const QString& text, qsizetype nBytes) {
    QList<QByteArray> pieces;
    QByteArray piece;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray ch = text.mid(i, n).toUtf8();
        if (!piece.isEmpty() && piece.size() + ch.size() > nBytes) {
            pieces << piece;
            piece.clear();
        }
        piece += ch;
        i += n;
    }
    if (!piece.isEmpty())
        pieces << piece;
    return pieces;
}

QByteArray EncodedWords(const QString& text, qsizetype nPieceBytes = 45) {
    // "=?UTF-8?B?" + 60 characters + "?=" is 72, below the limit of 75; 60 characters carry 45
    // bytes.
    QByteArray out;
    for (const QByteArray& piece : Utf8Pieces(text, nPieceBytes)) {
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + Base64Word(piece) + "?=";
    }
    return out;
}

// Printable ASCII that a reader would not take for an encoded word and that fits on a line.
bool CanStandAsIs(const QString& text) {
    return IsPrintableAscii(text) && !text.contains(QLatin1String("=?")) && text.size() <= 900;
}

// The name of an attachment parameter: quoted ASCII, or an encoded word for other names.
QByteArray QuotedParameter(const QString& text) {
    if (!CanStandAsIs(text))
        return "\"" + EncodedWords(text).replace("\r\n ", "") + "\"";
    QByteArray q = text.toLatin1();
    q.replace("\\", "\\\\").replace("\"", "\\\"");
    return "\"" + q + "\"";
}

// RFC 2231 form of a non-ASCII file name: filename*=UTF-8''percent-encoded.
QByteArray ExtendedParameter(const QString& text) {
    return "UTF-8''" + text.toUtf8().toPercentEncoding("!#$&+-.^_`|~");
}

QByteArray CrLfLines(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t.toUtf8();
}

} // namespace

bool IsMailAddress(const QString& strAddress) {
    const qsizetype at = strAddress.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at == strAddress.size() - 1)
        return false;
    // ASCII only: the sender does not speak SMTPUTF8 (an international domain goes in its
    // punycode form).
    for (const QChar c : strAddress) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F ||
            QStringLiteral("<>()[],;:\\\"").contains(c))
            return false;
    }
    const QString domain = strAddress.mid(at + 1);
    return !domain.startsWith(QLatin1Char('.')) && !domain.endsWith(QLatin1Char('.')) &&
           !domain.contains(QLatin1String(".."));
}

bool ParseRecipients(const QString& strText, QList<SMailbox>* pList, QString* pError) {
    QStringList entries;
    QString cur;
    bool inQuote = false;
    int angle = 0;
    for (qsizetype i = 0; i < strText.size(); ++i) {
        const QChar c = strText[i];
        if (c == QLatin1Char('\\') && inQuote && i + 1 < strText.size()) {
            cur += c;
            cur += strText[++i];
            continue;
        }
        if (c == QLatin1Char('"'))
            inQuote = !inQuote;
        else if (!inQuote && c == QLatin1Char('<'))
            ++angle;
        else if (!inQuote && c == QLatin1Char('>') && angle > 0)
            --angle;
        if (c == QLatin1Char(',') && !inQuote && angle == 0) {
            entries << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    entries << cur;

    QList<SMailbox> list;
    for (const QString& raw : entries) {
        const QString entry = OneLineHeaderText(raw).trimmed();
        if (entry.isEmpty())
            continue;
        SMailbox box;
        const qsizetype open = entry.lastIndexOf(QLatin1Char('<'));
        if (open >= 0 && entry.endsWith(QLatin1Char('>'))) {
            box.strAddress = entry.mid(open + 1, entry.size() - open - 2).trimmed();
            QString name = entry.left(open).trimmed();
            if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) &&
                name.endsWith(QLatin1Char('"'))) {
                name = name.mid(1, name.size() - 2);
                name.replace(QStringLiteral("\\\""), QStringLiteral("\""));
                name.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
            }
            box.strName = name;
        } else {
            box.strAddress = entry;
        }
        if (!IsMailAddress(box.strAddress)) {
            if (pError)
                *pError = QStringLiteral("\"%1\" is not an e-mail address").arg(entry);
            return false;
        }
        list << box;
    }
    if (list.isEmpty()) {
        if (pError)
            *pError = QStringLiteral("no recipient");
        return false;
    }
    *pList = list;
    return true;
}

QByteArray EncodeHeaderText(const QString& strText) {
    const QString text = OneLineHeaderText(strText);
    return CanStandAsIs(text) ? text.toLatin1() : EncodedWords(text);
}

QByteArray FormatMailbox(const SMailbox& box) {
    const QString name = OneLineHeaderText(box.strName).trimmed();
    const QByteArray address = "<" + box.strAddress.toLatin1() + ">";
    if (name.isEmpty())
        return box.strAddress.toLatin1();
    // A display name is one encoded word even past 75 characters: readers such as Python's
    // email package keep the blank between two encoded words of a name, which the standard
    // says to drop, so a name split into words would not read back as it was.
    if (!CanStandAsIs(name))
        return EncodedWords(name, 600) + "\r\n " + address;
    QByteArray quoted = name.toLatin1();
    quoted.replace("\\", "\\\\").replace("\"", "\\\"");
    return "\"" + quoted + "\" " + address;
}

bool BuildSmtpMessage(const SMailbox& from, const SSmtpMessage& texts, const QString& strFileName,
                      const QByteArray& attachment, const QDateTime& now,
                      const QByteArray& boundary, SSmtpEnvelope* pOut, QString* pError) {
    if (!IsMailAddress(from.strAddress)) {
        if (pError)
            *pError = from.strAddress.isEmpty()
                          ? QStringLiteral("no sender address: set the mailbox name "
                                           "(m_szMailLogin) in the settings")
                          : QStringLiteral("the mailbox name \"%1\" is not an e-mail address")
                                .arg(from.strAddress);
        return false;
    }
    QList<SMailbox> to;
    if (!ParseRecipients(texts.strRecipients, &to, pError))
        return false;

    SSmtpEnvelope env;
    env.strFrom = from.strAddress;
    QByteArray toHeader;
    for (const SMailbox& box : to) {
        env.recipients << box.strAddress;
        if (!toHeader.isEmpty())
            toHeader += ",\r\n ";
        toHeader += FormatMailbox(box);
    }
    const QString name = OneLineHeaderText(strFileName);
    const QByteArray domain = from.strAddress.mid(from.strAddress.lastIndexOf('@') + 1).toLatin1();
    const QByteArray id = QByteArray::number(QRandomGenerator::global()->generate64(), 16) + "." +
                          QByteArray::number(now.toMSecsSinceEpoch(), 16) + "@" + domain;

    QByteArray& m = env.message;
    m += "Date: " + now.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    m += "From: " + FormatMailbox(from) + "\r\n";
    m += "To: " + toHeader + "\r\n";
    m += "Subject: " + EncodeHeaderText(texts.strSubject) + "\r\n";
    m += "Message-ID: <" + id + ">\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: multipart/mixed;\r\n boundary=\"" + boundary + "\"\r\n\r\n";
    m += "--" + boundary + "\r\n";
    m += "Content-Type: text/plain; charset=\"utf-8\"\r\n";
    m += "Content-Transfer-Encoding: base64\r\n\r\n";
    m += Base64(CrLfLines(texts.strNote));
    m += "--" + boundary + "\r\n";
    m += "Content-Type: application/octet-stream; name=" + QuotedParameter(name) + "\r\n";
    m += "Content-Transfer-Encoding: base64\r\n";
    m += "Content-Disposition: attachment; ";
    m += IsPrintableAscii(name) ? "filename=" + QuotedParameter(name)
                                : "filename*=" + ExtendedParameter(name);
    m += "\r\n\r\n";
    m += Base64(attachment);
    m += "--" + boundary + "--\r\n";
    *pOut = env;
    return true;
}
