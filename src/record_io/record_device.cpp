#include "record_io/record_device.h"

#include "record_model/record_date.h"
#include "storage/record_definition.h"

ScpDeviceValues RecordDeviceValues(const ECG_RECORD& record) {
    ScpDeviceValues v;
    const RECORD_INFO info = ReadRecordInfo(record.curves_buf);
    v.m_nLeadSystem = info.magic == kRecordInfoMagic && info.leadSystem >= 1 && info.leadSystem <= 3
                          ? int(info.leadSystem)
                          : 1;
    if (!ParseRecordDate(record.date, sizeof record.date, v.m_stDevice))
        v.m_stDevice = SYSTEMTIME{};
    return v;
}

QString RecordNumberText(const ECG_RECORD& record) {
    char number[20];
    FormatRecordNumber(record.device_id, number);
    return QString::fromLatin1(number);
}
