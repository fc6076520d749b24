#pragma once
// Reading an SCP-ECG file back into a record block and its patient card: the files velmora
// writes (uncompressed, 16-bit samples) give back their samples, device values and card.

#include "platform/systemtime.h"
#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "storage/scp_export.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Fills `record` and `card` (both cleared first) from the bytes of an SCP-ECG file. False with
// *error saying what is wrong (for the user, English, no file name) when the bytes are not an
// SCP-ECG file this reader can take; record and card are then cleared.
// *pOtherCoding (when given) tells a well-formed file of another writer's coding (compressed,
// differences, other leads, another rate or length), which ReadScpSignal (scp_signal) reads.
bool ReadScpRecord(const uint8_t* data, size_t size, ECG_RECORD& record, PATIENT_CARD& card,
                   std::string* error, bool* pOtherCoding = nullptr);

// Only Section 1 of any SCP-ECG file: the patient into `card` (names by the file's language
// code: Windows-1251 for the Cyrillic code 0x13, as our files mean it, else Latin-1) and the
// acquisition time into `taken`, and tag 14's device into *device (when given). False with
// *error when the file or its Section 1 is broken.
bool ReadScpPatient(const uint8_t* data, size_t size, PATIENT_CARD& card, SYSTEMTIME& taken,
                    std::string* error, CRecordEquipment* device = nullptr);

// Section 8 of any SCP-ECG file, the interpretive statements the file itself carries, into
// `statements` in UTF-8 (texts by the file's language code, as ReadScpPatient reads the names):
// the confirmation flag (1 only: 0 and 2 are not confirmed), the date and time and each text,
// a statement after kConclusionPrefix as the conclusion; Section 1's latest confirming physician
// (tag 21) and, for a confirmed report with one, the confirmation line as the heading (else no
// heading). True with no statements when the file has no Section 8. False with *error when the
// file or Section 8 is broken; the statements before the fault are then kept.
bool ReadScpStatements(const uint8_t* data, size_t size, CFileStatements& statements,
                       std::string* error);

// The device number of our serial number text ("K.107.18641.5752"); 0 when the text is not one we
// write.
uint64_t DeviceIdFromSerial(std::string_view text);
