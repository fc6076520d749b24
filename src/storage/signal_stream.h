#pragma once
// The signal stream: how the interchange helper (velmora-interchange, which reads other systems'
// files with libbiosig and DCMTK in a process of its own) hands a recording to the program. A
// few text lines, then the samples:
//
//   velmora-signal 1
//   rate 500                       samples per second
//   total_seconds 10               the file's whole length (the stream may hold less)
//   start 2003-12-05 10:20:30      optional: the recording's start
//   last_name Иванов               optional patient texts, UTF-8 on one line
//   first_name Иван / patronymic … / patient_id … / birth 1950-05-03 / sex M|F
//   lead I                         one line per lead, in the order of the samples
//   samples 5000                   per lead
//   data
//   <leads x samples little-endian float32 in µV, lead after lead>
//
// The reader is a parser of outside input like any file reader: every count is bounded before
// it is used and the byte count must match exactly.

#include "platform/systemtime.h"
#include "record_model/ecg_signal.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ForeignEcg {
    CEcgSignal signal;                                      // at the file's own rate, µV
    double dTotalSeconds = 0;                               // the whole file's length
    SYSTEMTIME start{};                                     // all zero when the file gives none
    std::string lastName, firstName, patronymic, patientId; // UTF-8, may be empty
    uint16_t birthYear = 0, birthMonth = 0, birthDay = 0;   // 0: not given
    int sex = -1;                                           // 1 male, 0 female, -1 not given
};

constexpr size_t kMaxStreamLeads = 64;
constexpr size_t kMaxStreamSamples = size_t(1) << 22; // per lead; 70 min at 1 kHz

std::string WriteSignalStream(const ForeignEcg& ecg);

// False with *error (English, for the user) when the bytes are not a whole, well-formed stream.
bool ReadSignalStream(const uint8_t* data, size_t size, ForeignEcg& ecg, std::string* error);
