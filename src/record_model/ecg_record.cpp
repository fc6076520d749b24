#include "record_model/ecg_record.h"

#include <cstring>

const char leads_names[kLeadNames][4] = {"I",  "II", "III", "AVR", "AVL", "AVF", "V1",
                                         "V2", "V3", "V4",  "V5",  "V6",  "D",   "A",
                                         "I",  "S1", "S2",  "S3",  "S4"};

void WriteRecordInfo(int16_t* curves, const RECORD_INFO& info) {
    std::memcpy(reinterpret_cast<unsigned char*>(curves) + kSamplesSize, &info, sizeof info);
}

RECORD_INFO ReadRecordInfo(const int16_t* curves) {
    RECORD_INFO info;
    std::memcpy(&info, reinterpret_cast<const unsigned char*>(curves) + kSamplesSize, sizeof info);
    return info;
}
