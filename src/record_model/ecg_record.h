#pragma once
// The ECG record: one 112552-byte little-endian block. Its layout is the data file of the export
// package and is binding byte for byte, so every offset is checked at compile time.

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "the record is a little-endian block");

constexpr int kLeads = 12;                 // lanes per point
constexpr int kPoints = 4096;              // points per record (10 s)
constexpr double kPointsPerSecond = 409.6; // sampling rate of the time labels
constexpr int kBytesPerPoint = kLeads * 2;
constexpr int kSamplesSize = kPoints * kBytesPerPoint;         // 98304
constexpr int MAX_POINT4CURVES = 52224;                        // 16-bit values in curves_buf
constexpr int kCurvesBufSize = MAX_POINT4CURVES * 2;           // 104448
constexpr int kRecordInfoSize = kCurvesBufSize - kSamplesSize; // 6144
constexpr int kRecordInfoWords = kRecordInfoSize / 4;          // 1536
constexpr int MAX_DIAGNOZ = 7502;
constexpr uint32_t kRecordInfoMagic = 0x88888888u;

struct ECG_RECORD {
    uint32_t record_id;                   // record number; acquisition leaves it 0
    uint32_t patient_id;                  // stamped with all ones
    char date[20];                        // "YYYY-MM-DD hh:mm:ss" and a zero
    int16_t curves_buf[MAX_POINT4CURVES]; // sample area, then the record info block
    uint8_t diagnoz_buf[MAX_DIAGNOZ];
    int16_t record_state;
    uint32_t curve_id;  // record number sent by the device
    uint64_t device_id; // serial | prefix << 32
    char source[255];
    char notes[255];
    uint8_t padding[2];
    int32_t wasPravkaZakl;
    uint32_t nFiltr;
    uint32_t chuvsvMon;
    uint32_t chuvsv;
    double RAZVMon;
    double RAZV;
    uint32_t markV1;
    uint32_t markV2;
    uint32_t dwSize;
    int32_t nSM;
};

static_assert(sizeof(ECG_RECORD) == 112552);
static_assert(offsetof(ECG_RECORD, record_id) == 0);
static_assert(offsetof(ECG_RECORD, patient_id) == 4);
static_assert(offsetof(ECG_RECORD, date) == 8);
static_assert(offsetof(ECG_RECORD, curves_buf) == 28);
static_assert(offsetof(ECG_RECORD, diagnoz_buf) == 104476);
static_assert(offsetof(ECG_RECORD, record_state) == 111978);
static_assert(offsetof(ECG_RECORD, curve_id) == 111980);
static_assert(offsetof(ECG_RECORD, device_id) == 111984);
static_assert(offsetof(ECG_RECORD, source) == 111992);
static_assert(offsetof(ECG_RECORD, notes) == 112247);
static_assert(offsetof(ECG_RECORD, padding) == 112502);
static_assert(offsetof(ECG_RECORD, wasPravkaZakl) == 112504);
static_assert(offsetof(ECG_RECORD, nFiltr) == 112508);
static_assert(offsetof(ECG_RECORD, chuvsvMon) == 112512);
static_assert(offsetof(ECG_RECORD, chuvsv) == 112516);
static_assert(offsetof(ECG_RECORD, RAZVMon) == 112520);
static_assert(offsetof(ECG_RECORD, RAZV) == 112528);
static_assert(offsetof(ECG_RECORD, markV1) == 112536);
static_assert(offsetof(ECG_RECORD, markV2) == 112540);
static_assert(offsetof(ECG_RECORD, dwSize) == 112544);
static_assert(offsetof(ECG_RECORD, nSM) == 112548);
static_assert(offsetof(ECG_RECORD, curves_buf) + kSamplesSize == 98332); // record info block

// Value of lane `lane` at point `point` of the sample area.
inline int16_t& Sample(int16_t* samples, int point, int lane) {
    return samples[point * kLeads + lane];
}
inline int16_t Sample(const ECG_RECORD& rec, int point, int lane) {
    return rec.curves_buf[point * kLeads + lane];
}

// The record info block: 1536 32-bit words after the sample area; words 0-17 are defined.
struct RECORD_INFO {
    uint32_t magic = kRecordInfoMagic;
    uint32_t leadSystem = 0;
    uint32_t sensitivity = 0;
    uint32_t speed = 0;
    uint32_t heartRate = 0;
    uint32_t points = kPoints;
    uint32_t zero6to11[6] = {};
    uint32_t newFormat = 0;
    uint32_t zero13 = 0;
    uint32_t filter = 0;
    uint32_t serial = 0;
    uint32_t curveNo = 0;
    uint32_t serialHi = 0;
};
static_assert(sizeof(RECORD_INFO) == 18 * 4);

// Both work on the info block that follows the sample area `curves` (the record's curves_buf or
// a scratch copy of it).
void WriteRecordInfo(int16_t* curves, const RECORD_INFO& info);
RECORD_INFO ReadRecordInfo(const int16_t* curves);

// Another system's recording, kept in the info block after its defined words: the device that
// recorded it as its file named it (texts UTF-8, zero-terminated, any of them empty). The record
// carries it into every file it is saved as, so that none names our cardiograph for it; a record
// without it is one of our cardiograph's.
constexpr uint32_t kRecordSourceMagic = 0x52534D56u; // "VMSR"
constexpr int kRecordSourceOffset = 128;             // bytes into the info block
struct RECORD_SOURCE {
    uint32_t magic = kRecordSourceMagic;
    char manufacturer[64] = {};
    char model[64] = {};
    char serial[64] = {};
};
static_assert(kRecordSourceOffset + sizeof(RECORD_SOURCE) <= size_t(kRecordInfoSize));

// Marks the record as another system's, recorded by the device `source` names.
void WriteRecordSource(int16_t* curves, const RECORD_SOURCE& source);
// The other system's device when the record is another system's (true), else false: ours.
bool ReadRecordSource(const int16_t* curves, RECORD_SOURCE& source);
inline bool IsOurRecord(const ECG_RECORD& record) {
    RECORD_SOURCE source;
    return !ReadRecordSource(record.curves_buf, source);
}

// device_id from the serial value and its prefix byte.
inline uint64_t DeviceId(uint32_t serial, uint8_t serialHi) {
    return (uint64_t(serialHi) << 32) | serial;
}
