// A patient card file from outside (`--card CARD`): a card the parser accepts must have every text
// zero-terminated inside its buffer (the exports copy them as C strings), and written back as a
// card file it must parse to the very same bytes; a refusal must name its line.

#include "platform/cp1251.h"
#include "storage/card_fields.h"
#include "storage/card_file.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// The card as a card file: every field, texts as UTF-8.
QByteArray CardText(const PATIENT_CARD& card) {
    QByteArray text;
    const auto* base = reinterpret_cast<const unsigned char*>(&card);
    for (const CardField& f : CardFields()) {
        const unsigned char* p = base + f.offset;
        text += f.name;
        text += " = ";
        switch (f.kind) {
        case CardFieldKind::Text:
            text += FromCp1251(QByteArray(reinterpret_cast<const char*>(p))).toUtf8();
            break;
        case CardFieldKind::Sex:
            text += QByteArray::number(*p);
            break;
        case CardFieldKind::UInt16: {
            uint16_t v;
            std::memcpy(&v, p, sizeof v);
            text += QByteArray::number(v);
            break;
        }
        case CardFieldKind::Int32: {
            int32_t v;
            std::memcpy(&v, p, sizeof v);
            text += QByteArray::number(v);
            break;
        }
        }
        text += '\n';
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    PATIENT_CARD card;
    std::string error;
    if (!ParseCardText(input, &card, &error)) {
        Check(error.rfind("line ", 0) == 0);
        return 0;
    }
    const auto* base = reinterpret_cast<const unsigned char*>(&card);
    for (const CardField& f : CardFields()) {
        if (f.kind == CardFieldKind::Text)
            Check(std::memchr(base + f.offset, 0, f.size) != nullptr);
        if (f.kind == CardFieldKind::Sex)
            Check(base[f.offset] <= 1);
    }

    PATIENT_CARD again;
    std::string why;
    Check(ParseCardText(CardText(card), &again, &why));
    Check(std::memcmp(&card, &again, sizeof card) == 0);
    return 0;
}
