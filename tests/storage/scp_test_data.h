#pragma once
// A synthetic record and patient card for the SCP-ECG tests and the sample writer.

#include "platform/cp1251.h"
#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "storage/scp_export.h"

#include <QString>
#include <cstring>
#include <memory>

namespace scp_test {

// Every lane of every point gets its own value, over the whole 12-bit range (both ends included),
// so a swapped lane, a shifted point or a halved value shows.
inline int16_t SyntheticSample(int point, int lane) {
    const int v = (point * 37 + lane * 911 + (point * point) % 101) % 4096;
    return int16_t(v - 2048);
}

inline std::unique_ptr<ECG_RECORD> MakeRecord(int nLeadSystem, uint64_t device_id) {
    auto rec = std::make_unique<ECG_RECORD>();
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) = SyntheticSample(p, lane);
    RECORD_INFO info;
    info.leadSystem = uint32_t(nLeadSystem);
    WriteRecordInfo(rec->curves_buf, info);
    rec->device_id = device_id;
    rec->patient_id = 0xFFFFFFFFu;
    std::strcpy(rec->date, "2012-05-04 14:05:00");
    return rec;
}

template <size_t N> void SetText(char (&field)[N], const char* utf8) {
    const QByteArray bytes = ToCp1251(QString::fromUtf8(utf8));
    std::memset(field, 0, N);
    std::memcpy(field, bytes.constData(), std::min<size_t>(size_t(bytes.size()), N - 1));
}

// A complete card with every address text filled in.
inline PATIENT_CARD MakeFullCard() {
    PATIENT_CARD c{};
    SetText(c.last_name, "Иванов");
    SetText(c.first_name, "Иван");
    SetText(c.patronymic, "Петрович");
    c.birth_day = 31;
    c.birth_month = 12;
    c.birth_year = 1950;
    c.sex = 1;
    c.height = 180;
    c.weight = 80;
    SetText(c.postal_code, "143180");
    SetText(c.region, "Московская обл.");
    SetText(c.district, "Одинцовский р-н");
    SetText(c.locality, "Звенигород");
    SetText(c.street, "ул. Ленина");
    SetText(c.house, "д. 5, кв. 12");
    c.years_of_residence = 17;
    SetText(c.doctor_name, "Петров П.П.");
    SetText(c.doctor_phone, "+7 495 123-45-67");
    return c;
}

// A card of a woman without an address.
inline PATIENT_CARD MakeCardWithoutAddress() {
    PATIENT_CARD c{};
    SetText(c.last_name, "Смирнова");
    SetText(c.first_name, "Анна");
    SetText(c.patronymic, "Юрьевна");
    c.birth_day = 1;
    c.birth_month = 1;
    c.birth_year = 1950;
    c.sex = 0;
    c.height = 165;
    c.weight = 58;
    SetText(c.doctor_name, "Петров П.П.");
    SetText(c.doctor_phone, "123");
    return c;
}

inline SYSTEMTIME MakeTime(int y, int mo, int d, int h, int mi, int s) {
    return SYSTEMTIME{.wYear = uint16_t(y),
                      .wMonth = uint16_t(mo),
                      .wDay = uint16_t(d),
                      .wHour = uint16_t(h),
                      .wMinute = uint16_t(mi),
                      .wSecond = uint16_t(s)};
}

inline ScpDeviceValues MakeDevice(int nLeadSystem) {
    ScpDeviceValues d;
    d.m_nLeadSystem = nLeadSystem;
    d.m_stDevice = MakeTime(2012, 5, 4, 14, 5, 0);
    return d;
}

} // namespace scp_test
