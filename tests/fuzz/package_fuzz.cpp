// Feeds arbitrary bytes to the export package reader, then the record texts it read, and the
// input itself split at its first line feed as the record's source and notes, to
// CardFromRecordTexts. Nothing may crash or read out of bounds; a refusal leaves record and
// definition cleared with a short reason; a card read from the texts is the same card after it is
// written back into them and read again.

#include "storage/package_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

template <class T> bool AllZero(const T& t) {
    const auto* p = reinterpret_cast<const unsigned char*>(&t);
    return std::all_of(p, p + sizeof t, [](unsigned char c) { return c == 0; });
}

// A text that ends inside its field and leaves nothing behind its terminating zero.
template <size_t N> bool Clean(const char (&field)[N]) {
    const size_t len = strnlen(field, N);
    return len < N && std::all_of(field + len, field + N, [](char c) { return c == 0; });
}

void CheckCard(const ECG_RECORD& record) {
    PATIENT_CARD card;
    std::memset(&card, 0xA5, sizeof card);
    CardFromRecordTexts(record, card);
    Check(Clean(card.doctor_name) && Clean(card.doctor_phone) && Clean(card.last_name));
    Check(card.sex <= 1);
    Check(card.doctor_name[0] != 0 || card.doctor_phone[0] == 0);
    Check(card.last_name[0] != 0 ||
          (card.birth_year == 0 && card.sex == 0 && card.weight == 0 && card.height == 0));
    PATIENT_CARD others = card;
    std::memset(others.doctor_name, 0, sizeof others.doctor_name);
    std::memset(others.doctor_phone, 0, sizeof others.doctor_phone);
    std::memset(others.last_name, 0, sizeof others.last_name);
    others.birth_year = others.sex = others.weight = others.height = 0;
    Check(AllZero(others));

    auto again = std::make_unique<ECG_RECORD>();
    PATIENT_CARD written = card;
    RECORD_DEFINITION def;
    ParseRecordDefinition(written, *again, def);
    PATIENT_CARD back;
    CardFromRecordTexts(*again, back);
    Check(std::memcmp(&back, &card, sizeof card) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto record = std::make_unique<ECG_RECORD>();
    RECORD_DEFINITION def;
    std::memset(record.get(), 0xA5, sizeof *record);
    std::memset(&def, 0xA5, sizeof def);
    std::string error;
    if (ReadExportPackage(data, size, *record, def, &error)) {
        Check(error.empty());
        CheckCard(*record);
    } else {
        Check(AllZero(*record) && AllZero(def));
        Check(!error.empty() && error.size() < 256 && error.find('\n') == std::string::npos);
    }

    std::memset(record.get(), 0, sizeof *record);
    const auto* lf = static_cast<const uint8_t*>(size ? std::memchr(data, '\n', size) : nullptr);
    const size_t head = lf ? size_t(lf - data) : size;
    if (head > 0)
        std::memcpy(record->source, data, std::min(head, sizeof record->source));
    if (lf)
        std::memcpy(record->notes, lf + 1, std::min(size - head - 1, sizeof record->notes));
    CheckCard(*record);
    return 0;
}
