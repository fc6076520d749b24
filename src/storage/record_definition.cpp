#include "storage/record_definition.h"

#include "platform/cp1251.h"

#include <QString>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const ORMIK_Model[2] = {"K.1", "K.2"};

// Windows-1251 bytes of a fixed UTF-8 text of this file.
std::string Cp(const char* utf8) {
    return ToCp1251(QString::fromUtf8(utf8)).toStdString();
}

// Length of a card or record text: the field may be full to its last byte when it came from
// outside the program, so the search never passes the field's end.
template <size_t N> int Len(const char (&field)[N]) {
    return int(strnlen(field, N));
}

} // namespace

void FormatRecordNumber(uint64_t deviceId, char (&out)[20]) {
    const uint32_t low = uint32_t(deviceId);
    const int high = int(uint32_t(deviceId >> 32));
    std::snprintf(out, sizeof out, "%s%02i.%05i.%04i", ORMIK_Model[low >> 31], high,
                  int((low >> 14) & 0x1FFFF), int(low & 0x3FFF));
}

void ParseRecordDefinition(PATIENT_CARD& card, ECG_RECORD& record, RECORD_DEFINITION& def) {
    static const std::string kTel = Cp(", тел. ");
    static const std::string kNoData = Cp("Нет данных");
    static const std::string kNoPatient = Cp("- - -");
    static const std::string kBorn = Cp("г.р.");
    static const std::string kKg = Cp("кг");
    static const std::string kCm = Cp("см");
    static const std::string kMale = Cp("м");
    static const std::string kFemale = Cp("ж");
    static const std::string kNoSex = "-";

    std::memset(&def, 0, sizeof def);
    std::snprintf(def.szDate, sizeof def.szDate, "%4.4s-01-01", record.date);
    FormatRecordNumber(record.device_id, def.szRecordNumber);
    def.nZero0 = 0;
    def.nZero1 = 0;
    def.nOne = 1;
    std::snprintf(def.szOneText, sizeof def.szOneText, "%d", 1);
    std::memcpy(def.szLetter, "M", 2);
    def.nFormat = 2;

    std::memset(record.source, 0, sizeof record.source);
    if (card.doctor_name[0] != 0) {
        std::snprintf(record.source, sizeof record.source, "%.*s%s%.*s", Len(card.doctor_name),
                      card.doctor_name, kTel.c_str(), Len(card.doctor_phone), card.doctor_phone);
    } else {
        std::snprintf(record.source, sizeof record.source, "%s", kNoData.c_str());
    }

    // A value that is neither sex is no sex: it is never read as female.
    if (card.sex > 1)
        card.sex = kSexNotGiven;

    std::memset(record.notes, 0, sizeof record.notes);
    if (card.last_name[0] != 0) {
        std::snprintf(record.notes, sizeof record.notes, "%.*s, %i%s,%s,%i%s,%i%s",
                      Len(card.last_name), card.last_name, int(card.birth_year), kBorn.c_str(),
                      (card.sex == 1   ? kMale
                       : card.sex == 0 ? kFemale
                                       : kNoSex)
                          .c_str(),
                      int(card.weight), kKg.c_str(), int(card.height), kCm.c_str());
    } else {
        std::snprintf(record.notes, sizeof record.notes, "%s", kNoPatient.c_str());
    }
}
