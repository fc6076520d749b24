#pragma once
// A record as a cardiograph gives it and a full patient card, for the records layer's tests and
// the window-against-CLI comparison.

#include "platform/cp1251.h"
#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"

#include <QString>
#include <cstring>
#include <memory>

// Every lane a different wave, the info block of `leadSystem`, a device date and number.
inline std::unique_ptr<ECG_RECORD> MakeRecord(int leadSystem = 1) {
    auto r = std::make_unique<ECG_RECORD>();
    r->patient_id = 0xFFFFFFFFu;
    for (int p = 0; p < kPoints; ++p)
        for (int l = 0; l < kLeads; ++l)
            Sample(r->curves_buf, p, l) = int16_t(((p * (l + 3)) % 4000) - 2000);
    RECORD_INFO info;
    info.leadSystem = uint32_t(leadSystem);
    info.sensitivity = 10;
    info.speed = 50;
    info.heartRate = 72;
    info.filter = 3;
    info.serial = 0x12345678u & 0x7FFFFFFFu;
    info.curveNo = 3;
    info.serialHi = 7;
    WriteRecordInfo(r->curves_buf, info);
    std::memcpy(r->date, "2026-12-08 23:18:57", 20);
    r->curve_id = 3;
    r->device_id = DeviceId(info.serial, 7);
    return r;
}

template <size_t N> void SetText(char (&field)[N], const char* utf8) {
    std::memset(field, 0, N);
    const QByteArray bytes = ToCp1251(QString::fromUtf8(utf8));
    std::memcpy(field, bytes.constData(), std::min<size_t>(N - 1, size_t(bytes.size())));
}

inline PATIENT_CARD MakeCard() {
    PATIENT_CARD c{};
    SetText(c.doctor_name, "Петров П.П.");
    SetText(c.doctor_phone, "+7 495 123-45-67");
    SetText(c.last_name, "Иванов-Щукин");
    SetText(c.first_name, "Иван");
    SetText(c.patronymic, "Иванович");
    c.birth_day = 29;
    c.birth_month = 2;
    c.birth_year = 1952;
    c.sex = 1;
    c.height = 180;
    c.weight = 82;
    SetText(c.postal_code, "123456");
    SetText(c.region, "Московская обл.");
    SetText(c.district, "Одинцовский р-н");
    SetText(c.locality, "Звенигород");
    SetText(c.street, "ул. Ленина");
    SetText(c.house, "д. 5, кв. 7");
    c.years_of_residence = 12;
    return c;
}
