#include "storage/card_file.h"

#include "platform/cp1251.h"
#include "platform/systemtime.h"
#include "record_model/record_date.h"
#include "storage/card_fields.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cstring>
#include <limits>
#include <map>
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

const char* BirthDateFault(const PATIENT_CARD& card, int nCurrentYear, std::string* why) {
    const int y = card.birth_year, m = card.birth_month, d = card.birth_day;
    if (y == 0xFFFF)
        return nullptr; // the card dialog's "no valid date"
    if (y != 0 && (y < 1850 || y > nCurrentYear)) {
        *why = "birth_year " + std::to_string(y) + " is not a year of birth (1850 to " +
               std::to_string(nCurrentYear) + ")";
        return "birth_year";
    }
    if (m != 0 && m > 12) {
        *why = "birth_month must be from 1 to 12, not " + std::to_string(m);
        return "birth_month";
    }
    // Without a year, 29 February may be (2000 is a leap year).
    const int days = m == 0 ? 31 : DaysInMonth(y != 0 ? y : 2000, m);
    if (d > days) {
        *why = "birth_day " + std::to_string(d) + " is not a day of " +
               (m == 0 ? std::string("any month") : "month " + std::to_string(m)) +
               (m == 2 && y != 0 ? " in " + std::to_string(y) : std::string());
        return "birth_day";
    }
    return nullptr;
}

bool ParseCardText(const QByteArray& utf8, PATIENT_CARD* card, std::string* error) {
    std::memset(card, 0, sizeof *card);
    std::set<std::string> seen;
    std::map<std::string, qsizetype> lineOf; // where each key was given, for the date's check
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
        lineOf[field->name] = i + 1;
    }
    // A date of birth that cannot be: it would go into the SCP file as it is (an age of -972).
    std::string why;
    const char* wrong = BirthDateFault(*card, GetLocalTime().wYear, &why);
    if (wrong) {
        *error = "line " + std::to_string(lineOf[wrong]) + ": " + why;
        return false;
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
