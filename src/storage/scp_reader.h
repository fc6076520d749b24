#pragma once
// Reading an SCP-ECG file back into a record block and its patient card: the files velmora
// writes (uncompressed, 16-bit samples) give back their samples, device values and card.

#include "record/ecg_record.h"
#include "record/patient_card.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Fills `record` and `card` (both cleared first) from the bytes of an SCP-ECG file. False with
// *error saying what is wrong (for the user, English, no file name) when the bytes are not an
// SCP-ECG file this reader can take; record and card are then cleared.
bool ReadScpRecord(const uint8_t* data, size_t size, ECG_RECORD& record, PATIENT_CARD& card,
                   std::string* error);
