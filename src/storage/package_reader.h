#pragma once
// Reading an export package (.ecg) back: the zip archive with "structure.txt", "patient.ini" and
// the record data file that CExportImportFile writes.

#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "storage/record_definition.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Fills `record` and `def` from the bytes of an export package. False with *error saying what
// is wrong (for the user, English, no file name) when the bytes are not such a package; record
// and def are then cleared.
bool ReadExportPackage(const uint8_t* data, size_t size, ECG_RECORD& record, RECORD_DEFINITION& def,
                       std::string* error);

// The card fields the record's `source` and `notes` texts carry (ParseRecordDefinition's
// "%s, тел. %s" and "%s, %iг.р.,%s,%iкг,%iсм"): doctor name and phone, surname, year of birth,
// sex, weight and height. `card` is cleared first; the placeholders "Нет данных", "- - -" and
// texts of another shape leave their fields empty.
void CardFromRecordTexts(const ECG_RECORD& record, PATIENT_CARD& card);
