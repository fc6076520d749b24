#pragma once
// DICOM 12-lead (and general) ECG waveform objects read with DCMTK: the longest multiplex group
// (the rhythm, not a median beat), each channel named by its source code (LeadOfScpCode) or else
// its code meaning, in µV, with the patient's name (re-coded to UTF-8 from the object's character
// set), birth date, sex and the acquisition time.

#include "storage/file_details.h"
#include "storage/signal_stream.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The first maxSeconds (all when 0) of the object in `data`; *details (when given) the card
// fields the stream has no line for (the referring physician as the doctor, the patient's size
// and weight) and the equipment. False with *error.
bool ImportDicom(const uint8_t* data, size_t size, double maxSeconds, ForeignEcg& ecg,
                 std::string* error, CFileDetails* details = nullptr);
