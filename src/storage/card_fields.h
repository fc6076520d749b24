#pragma once
// The patient card's fields by name, and the checks that tell whether a card is complete enough
// for a save or a send.

#include "record_model/patient_card.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class CardFieldKind {
    Text,   // zero-terminated Windows-1251 text, at most size - 1 bytes
    UInt16, // unsigned 16-bit number
    Sex,    // unsigned 8-bit: 1 male, 0 female
    Int32,  // signed 32-bit number
};

struct CardField {
    const char* name; // the field's name in the card, also its key in a card file
    size_t offset;
    size_t size;
    CardFieldKind kind;
};

// Every field a user fills in, in the card's order (the reserved spans are not fields). The card
// dialog, the card file and `velmora-cli info` all reach the card through this one table.
std::span<const CardField> CardFields();

// The field of that name; null when the card has none.
const CardField* FindCardField(std::string_view name);

// A field's bytes in a card.
inline char* CardFieldText(PATIENT_CARD& card, const CardField& f) {
    return reinterpret_cast<char*>(&card) + f.offset;
}
inline const char* CardFieldText(const PATIENT_CARD& card, const CardField& f) {
    return reinterpret_cast<const char*>(&card) + f.offset;
}

// A number field's value and the values it holds (UInt16 0-65535, Sex 0-1, Int32 its range).
int64_t CardNumber(const PATIENT_CARD& card, const CardField& f);
void SetCardNumber(PATIENT_CARD& card, const CardField& f, int64_t value);
int64_t CardNumberMin(CardFieldKind kind);
int64_t CardNumberMax(CardFieldKind kind);

// Copies every field a user fills in from `from`; the reserved spans of `to` stay as they are.
void CopyCardFields(PATIENT_CARD& to, const PATIENT_CARD& from);

// A text field of the card (Windows-1251, zero-terminated within size) as trimmed UTF-8, for the
// interchange formats.
std::string CardTextUtf8(const char* field, size_t size);

// The patient identifier the card keeps (its medical record number), trimmed; empty when none.
std::string CardPatientId(const PATIENT_CARD& card);

// An identifier for a card without one of its own, the same for every record of the same
// patient: "VM-" and 16 hex digits of a digest of the surname, first name, patronymic and date
// of birth, each case-folded, with ё as е and blanks trimmed. Empty when the card has no surname.
std::string DerivedPatientId(const PATIENT_CARD& card);

// The card gives a real date of birth (not 0 or 65535, a day its month has).
bool CardBirthDateValid(const PATIENT_CARD& card);

// What the card is needed for: the export package needs the doctor, the surname, height, weight
// and year of birth; an SCP-ECG file needs the first name and patronymic as well.
enum class CardUse { Export, Scp };

// Names of the fields that keep the card from being complete for `use`, in the card's order of
// checking (empty texts, zero numbers, a sex not chosen). A year of birth of 65535 (no valid date)
// counts as given.
std::vector<std::string> MissingCardFields(const PATIENT_CARD& card, CardUse use);

// The names as one text: "doctor_phone, last_name".
std::string JoinFieldNames(const std::vector<std::string>& names);

inline bool IsCardComplete(const PATIENT_CARD& card, CardUse use = CardUse::Export) {
    return MissingCardFields(card, use).empty();
}
