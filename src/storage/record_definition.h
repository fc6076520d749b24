#pragma once
// The record definition block written as "patient.ini" into the export package, and the step
// that fills it (with the record's source and notes texts) from the patient card before every
// save and send.

#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"

#include <cstddef>
#include <cstdint>

// 728 bytes, little-endian integers, zero-terminated Windows-1251 texts; every byte that is not
// a named field is zero.
struct RECORD_DEFINITION {
    int32_t nFormat; // 2
    uint8_t reserved0[28];
    char szRecordNumber[20]; // "K.107.18641.5752": model prefix, device prefix, serial parts
    char szNamePart2[20];    // nothing fills it
    char szNamePart3[20];    // nothing fills it
    uint8_t reserved1[550];
    char szDate[11]; // year of the record and "-01-01"
    uint8_t reserved2[11];
    int32_t nZero0;   // 0
    int32_t nZero1;   // 0
    char szLetter[2]; // "M"
    uint8_t reserved3[6];
    int32_t nOne;      // 1
    char szOneText[2]; // "1"
    uint8_t reserved4[42];
};

static_assert(sizeof(RECORD_DEFINITION) == 728);
static_assert(offsetof(RECORD_DEFINITION, nFormat) == 0);
static_assert(offsetof(RECORD_DEFINITION, szRecordNumber) == 32);
static_assert(offsetof(RECORD_DEFINITION, szNamePart2) == 52);
static_assert(offsetof(RECORD_DEFINITION, szNamePart3) == 72);
static_assert(offsetof(RECORD_DEFINITION, szDate) == 642);
static_assert(offsetof(RECORD_DEFINITION, nZero0) == 664);
static_assert(offsetof(RECORD_DEFINITION, nZero1) == 668);
static_assert(offsetof(RECORD_DEFINITION, szLetter) == 672);
static_assert(offsetof(RECORD_DEFINITION, nOne) == 680);
static_assert(offsetof(RECORD_DEFINITION, szOneText) == 684);

// The card's whole layout, beside the checks its own header makes: the card file and the
// completeness checks reach every field by offset.
static_assert(offsetof(PATIENT_CARD, first_name) == 50);
static_assert(offsetof(PATIENT_CARD, patronymic) == 80);
static_assert(offsetof(PATIENT_CARD, birth_month) == 112);
static_assert(offsetof(PATIENT_CARD, birth_year) == 114);
static_assert(offsetof(PATIENT_CARD, weight) == 120);
static_assert(offsetof(PATIENT_CARD, reserved1) == 122);
static_assert(offsetof(PATIENT_CARD, region) == 257);
static_assert(offsetof(PATIENT_CARD, district) == 386);
static_assert(offsetof(PATIENT_CARD, locality) == 515);
static_assert(offsetof(PATIENT_CARD, street) == 644);
static_assert(offsetof(PATIENT_CARD, house) == 773);
static_assert(offsetof(PATIENT_CARD, reserved2) == 908);
static_assert(offsetof(PATIENT_CARD, reserved3) == 1021);

// The record number text of a device number: "%s%02i.%05i.%04i" with the model prefix ("K.1",
// or "K.2" when bit 31 of the lower half is set), the upper half, bits 14-30 and bits 0-13 of
// the lower half. Cut to 19 characters (only a device number from outside the program, with
// an upper half above 255, is long enough to be cut).
void FormatRecordNumber(uint64_t deviceId, char (&out)[20]);

// Fills `def` from the record (its number and date) and writes the card's texts into the
// record's `source` and `notes`, in Windows-1251. A `sex` above 1 becomes kSexNotGiven.
// The definition and the two text fields are cleared whole first, so nothing of an earlier
// text survives behind the new one.
void ParseRecordDefinition(PATIENT_CARD& card, ECG_RECORD& record, RECORD_DEFINITION& def);
