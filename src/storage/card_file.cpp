#include "storage/card_file.h"

#include "platform/cp1251.h"
#include "storage/card_fields.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cstring>
#include <limits>
#include <set>

namespace {

// A card is a few hundred bytes; anything far larger is the wrong file.
constexpr qint64 kMaxCardFileSize = 64 * 1024;

std::string KnownKeys() {
    std::string keys;
    for (const CardField& f : CardFields())
        keys += (keys.empty() ? "" : ", ") + std::string(f.name);
    return keys;
}

// Stores one value into its field; false with the reason.
bool StoreValue(const CardField& f, const QString& value, PATIENT_CARD* card, std::string* why) {
    auto* base = reinterpret_cast<unsigned char*>(card) + f.offset;
    const std::string name = f.name;
    if (f.kind == CardFieldKind::Text) {
        for (QChar c : value) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
                *why = name + " holds a control character";
                return false;
            }
        }
        bool ok = false;
        const QByteArray bytes = ToCp1251(value, &ok);
        if (!ok) {
            *why = name + " holds characters that Windows-1251 has no byte for";
            return false;
        }
        if (size_t(bytes.size()) > f.size - 1) {
            *why = name + " is " + std::to_string(bytes.size()) +
                   " characters long; the card holds " + std::to_string(f.size - 1);
            return false;
        }
        std::memset(base, 0, f.size);
        std::memcpy(base, bytes.constData(), size_t(bytes.size()));
        return true;
    }
    if (f.kind == CardFieldKind::Sex) {
        const QString v = value.toLower();
        uint8_t sex;
        if (v.isEmpty() || v == QLatin1String("0") || v == QLatin1String("f") ||
            v == QStringLiteral("ж"))
            sex = 0;
        else if (v == QLatin1String("1") || v == QLatin1String("m") || v == QStringLiteral("м"))
            sex = 1;
        else {
            *why =
                "sex is 1, m or м (male), or 0, f or ж (female), not '" + value.toStdString() + "'";
            return false;
        }
        *base = sex;
        return true;
    }
    static const QRegularExpression kNumber(QStringLiteral("^-?[0-9]{1,11}$"));
    qint64 n = 0;
    if (!value.isEmpty()) {
        if (!kNumber.match(value).hasMatch()) {
            *why = name + " must be a whole number, not '" + value.toStdString() + "'";
            return false;
        }
        n = value.toLongLong();
    }
    const int64_t lo = CardNumberMin(f.kind), hi = CardNumberMax(f.kind);
    if (n < lo || n > hi) {
        *why = name + " must be from " + std::to_string(lo) + " to " + std::to_string(hi) +
               ", not " + std::to_string(n);
        return false;
    }
    SetCardNumber(*card, f, n);
    return true;
}

} // namespace

bool ParseCardText(const QByteArray& utf8, PATIENT_CARD* card, std::string* error) {
    std::memset(card, 0, sizeof *card);
    std::set<std::string> seen;
    const QList<QByteArray> lines = utf8.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::string where = "line " + std::to_string(i + 1) + ": ";
        QByteArray raw = lines[i];
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (i == 0 && raw.startsWith("\xEF\xBB\xBF"))
            raw.remove(0, 3);
        QStringDecoder decode(QStringDecoder::Utf8);
        const QString line = decode(raw);
        if (decode.hasError()) {
            *error = where + "not UTF-8 text";
            return false;
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
        if (eq < 0) {
            *error = where + "expected 'key = value'";
            return false;
        }
        const QString key = trimmed.left(eq).trimmed();
        const CardField* field = FindCardField(key.toStdString());
        if (!field) {
            *error = where + "unknown key '" + key.toStdString() + "' (the keys are " +
                     KnownKeys() + ")";
            return false;
        }
        if (!seen.insert(field->name).second) {
            *error = where + field->name + " is given twice";
            return false;
        }
        std::string why;
        if (!StoreValue(*field, trimmed.mid(eq + 1).trimmed(), card, &why)) {
            *error = where + why;
            return false;
        }
    }
    return true;
}

bool LoadCardFile(const std::string& path, PATIENT_CARD* card, std::string* error) {
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "cannot read " + path + ": " + file.errorString().toStdString();
        return false;
    }
    const QByteArray text = file.read(kMaxCardFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = "cannot read " + path + ": " + file.errorString().toStdString();
        return false;
    }
    if (text.size() > kMaxCardFileSize) {
        *error = path + " is too large for a card file";
        return false;
    }
    std::string why;
    if (!ParseCardText(text, card, &why)) {
        *error = path + ": " + why;
        return false;
    }
    return true;
}
