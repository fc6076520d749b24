#include "record_model/ecg_record.h"

#include <cstring>

void WriteRecordInfo(int16_t* curves, const RECORD_INFO& info) {
    std::memcpy(reinterpret_cast<unsigned char*>(curves) + kSamplesSize, &info, sizeof info);
}

RECORD_INFO ReadRecordInfo(const int16_t* curves) {
    RECORD_INFO info;
    std::memcpy(&info, reinterpret_cast<const unsigned char*>(curves) + kSamplesSize, sizeof info);
    return info;
}

void WriteRecordSource(int16_t* curves, const RECORD_SOURCE& source) {
    RECORD_SOURCE s = source;
    s.magic = kRecordSourceMagic;
    s.manufacturer[sizeof s.manufacturer - 1] = 0;
    s.model[sizeof s.model - 1] = 0;
    s.serial[sizeof s.serial - 1] = 0;
    std::memcpy(reinterpret_cast<unsigned char*>(curves) + kSamplesSize + kRecordSourceOffset, &s,
                sizeof s);
}

bool ReadRecordSource(const int16_t* curves, RECORD_SOURCE& source) {
    RECORD_SOURCE s;
    std::memcpy(&s,
                reinterpret_cast<const unsigned char*>(curves) + kSamplesSize + kRecordSourceOffset,
                sizeof s);
    if (s.magic != kRecordSourceMagic)
        return false;
    s.manufacturer[sizeof s.manufacturer - 1] = 0;
    s.model[sizeof s.model - 1] = 0;
    s.serial[sizeof s.serial - 1] = 0;
    source = s;
    return true;
}
