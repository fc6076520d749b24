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
