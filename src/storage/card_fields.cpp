#include "storage/card_fields.h"

#include "platform/cp1251.h"
#include "record_model/record_date.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>
#include <array>
#include <cstring>
#include <limits>

namespace {

#define VELMORA_CARD_FIELD(name, kind)                                                             \
    CardField {                                                                                    \
#name, offsetof(PATIENT_CARD, name), sizeof(PATIENT_CARD::name), CardFieldKind::kind       \
    }

const std::array<CardField, 19> kFields = {
    VELMORA_CARD_FIELD(last_name, Text),
    VELMORA_CARD_FIELD(first_name, Text),
    VELMORA_CARD_FIELD(patronymic, Text),
    VELMORA_CARD_FIELD(birth_day, UInt16),
    VELMORA_CARD_FIELD(birth_month, UInt16),
    VELMORA_CARD_FIELD(birth_year, UInt16),
    VELMORA_CARD_FIELD(sex, Sex),
    VELMORA_CARD_FIELD(height, UInt16),
    VELMORA_CARD_FIELD(weight, UInt16),
    VELMORA_CARD_FIELD(postal_code, Text),
    VELMORA_CARD_FIELD(region, Text),
    VELMORA_CARD_FIELD(district, Text),
    VELMORA_CARD_FIELD(locality, Text),
    VELMORA_CARD_FIELD(street, Text),
    VELMORA_CARD_FIELD(house, Text),
    VELMORA_CARD_FIELD(years_of_residence, Int32),
    VELMORA_CARD_FIELD(doctor_name, Text),
    VELMORA_CARD_FIELD(doctor_phone, Text),
    VELMORA_CARD_FIELD(patient_id, Text),
};

#undef VELMORA_CARD_FIELD

} // namespace

std::span<const CardField> CardFields() {
    return kFields;
}

const CardField* FindCardField(std::string_view name) {
    for (const CardField& f : kFields)
        if (name == f.name)
            return &f;
    return nullptr;
}

int64_t CardNumber(const PATIENT_CARD& card, const CardField& f) {
    const char* p = CardFieldText(card, f);
    switch (f.kind) {
    case CardFieldKind::UInt16: {
        uint16_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    case CardFieldKind::Sex:
        return uint8_t(*p);
    case CardFieldKind::Int32: {
        int32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    case CardFieldKind::Text:
        break;
    }
    return 0;
}

void SetCardNumber(PATIENT_CARD& card, const CardField& f, int64_t value) {
    char* p = CardFieldText(card, f);
    switch (f.kind) {
    case CardFieldKind::UInt16: {
        const uint16_t v = uint16_t(value);
        std::memcpy(p, &v, sizeof v);
        break;
    }
    case CardFieldKind::Sex:
        *p = char(uint8_t(value));
        break;
    case CardFieldKind::Int32: {
        const int32_t v = int32_t(value);
        std::memcpy(p, &v, sizeof v);
        break;
    }
    case CardFieldKind::Text:
        break;
    }
}

int64_t CardNumberMin(CardFieldKind kind) {
    return kind == CardFieldKind::Int32 ? std::numeric_limits<int32_t>::min() : 0;
}

int64_t CardNumberMax(CardFieldKind kind) {
    switch (kind) {
    case CardFieldKind::Int32:
        return std::numeric_limits<int32_t>::max();
    case CardFieldKind::Sex:
        return 1;
    default:
        return std::numeric_limits<uint16_t>::max();
    }
}

void CopyCardFields(PATIENT_CARD& to, const PATIENT_CARD& from) {
    for (const CardField& f : kFields)
        std::memcpy(CardFieldText(to, f), CardFieldText(from, f), f.size);
}

std::vector<std::string> MissingCardFields(const PATIENT_CARD& card, CardUse use) {
    std::vector<std::string> missing;
    auto text = [&](const char* name, const char* value) {
        if (value[0] == 0)
            missing.emplace_back(name);
    };
    auto number = [&](const char* name, unsigned value) {
        if (value == 0)
            missing.emplace_back(name);
    };
    text("doctor_name", card.doctor_name);
    text("doctor_phone", card.doctor_phone);
    text("last_name", card.last_name);
    if (use == CardUse::Scp) {
        text("first_name", card.first_name);
        text("patronymic", card.patronymic);
    }
    number("height", card.height);
    number("weight", card.weight);
    number("birth_year", card.birth_year);
    if (card.sex > 1)
        missing.emplace_back("sex");
    return missing;
}

std::string JoinFieldNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names)
        text += (text.empty() ? "" : ", ") + n;
    return text;
}

std::string CardTextUtf8(const char* field, size_t size) {
    return FromCp1251(QByteArray(field, int(strnlen(field, size)))).trimmed().toStdString();
}

bool CardBirthDateValid(const PATIENT_CARD& c) {
    return c.birth_year != 0 && c.birth_year != 65535 && c.birth_month >= 1 &&
           c.birth_month <= 12 && c.birth_day >= 1 &&
           c.birth_day <= DaysInMonth(c.birth_year, c.birth_month);
}

std::string CardPatientId(const PATIENT_CARD& card) {
    return CardTextUtf8(card.patient_id, sizeof card.patient_id);
}

std::string DerivedPatientId(const PATIENT_CARD& c) {
    auto part = [](const char* field, size_t size) {
        QString t = FromCp1251(QByteArray(field, int(strnlen(field, size)))).simplified();
        return t.toCaseFolded().replace(QChar(0x451), QChar(0x435)); // ё as е
    };
    const QString surname = part(c.last_name, sizeof c.last_name);
    if (surname.isEmpty())
        return {};
    const QString birth = CardBirthDateValid(c) ? QStringLiteral("%1-%2-%3")
                                                      .arg(c.birth_year, 4, 10, QChar('0'))
                                                      .arg(c.birth_month, 2, 10, QChar('0'))
                                                      .arg(c.birth_day, 2, 10, QChar('0'))
                                                : QString();
    const QString key = surname + QChar('\n') + part(c.first_name, sizeof c.first_name) +
                        QChar('\n') + part(c.patronymic, sizeof c.patronymic) + QChar('\n') + birth;
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256);
    return "VM-" + digest.left(8).toHex().toUpper().toStdString();
}
