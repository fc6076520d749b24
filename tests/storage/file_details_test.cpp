// What identifies a patient in an archive, what the interchange helper says of a file beside its
// signal, and whose device a record names.

#include "platform/cp1251.h"
#include "storage/card_fields.h"
#include "storage/file_details.h"
#include "storage/scp_export.h"

#include <QString>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

void SetText(char* field, size_t size, const char* utf8) {
    const QByteArray coded = ToCp1251(QString::fromUtf8(utf8));
    std::memset(field, 0, size);
    std::memcpy(field, coded.constData(), std::min(size - 1, size_t(coded.size())));
}

PATIENT_CARD Patient(const char* last, const char* first, const char* middle, int year) {
    PATIENT_CARD c{};
    SetText(c.last_name, sizeof c.last_name, last);
    SetText(c.first_name, sizeof c.first_name, first);
    SetText(c.patronymic, sizeof c.patronymic, middle);
    c.birth_year = uint16_t(year);
    c.birth_month = 5;
    c.birth_day = 4;
    return c;
}

} // namespace

TEST(DerivedPatientId, TheSamePatientHowEverWrittenAndNoOtherOne) {
    const std::string id = DerivedPatientId(Patient("Семёнов", "Пётр", "Ильич", 1950));
    ASSERT_EQ(id.size(), 3u + 16u) << id;
    EXPECT_EQ(id.rfind("VM-", 0), 0u) << id;
    // Letter case, ё written as е and blanks around or doubled make no other patient.
    EXPECT_EQ(DerivedPatientId(Patient("  СЕМЕНОВ ", "петр", "ИЛЬИЧ  ", 1950)), id);
    EXPECT_EQ(DerivedPatientId(Patient("Семенов", "Петр", "Ильич", 1950)), id);
    // Any other name part or birth date is another patient.
    EXPECT_NE(DerivedPatientId(Patient("Семенова", "Петр", "Ильич", 1950)), id);
    EXPECT_NE(DerivedPatientId(Patient("Семенов", "Павел", "Ильич", 1950)), id);
    EXPECT_NE(DerivedPatientId(Patient("Семенов", "Петр", "Иванович", 1950)), id);
    EXPECT_NE(DerivedPatientId(Patient("Семенов", "Петр", "Ильич", 1951)), id);
    // Parts do not run into each other.
    EXPECT_NE(DerivedPatientId(Patient("Ан", "на", "", 1950)),
              DerivedPatientId(Patient("Анна", "", "", 1950)));
    // No surname: nothing to derive from.
    EXPECT_EQ(DerivedPatientId(Patient("", "Петр", "Ильич", 1950)), "");
    EXPECT_EQ(CardPatientId(Patient("Семенов", "Петр", "Ильич", 1950)), "");
}

TEST(FileDetails, GoThroughTheHelpersAnswerAndRefuseWhatIsCutOrUnknown) {
    CFileDetails d;
    d.m_bOurs = true;
    d.m_nDeviceId = 0x70002D53AULL;
    d.m_nCurveId = 4000000000u;
    d.m_strManufacturer = "QELT";
    d.m_strModel = "OR";
    d.m_strSerial = "K.107.00011.5434";
    d.SetCard("doctor_name", "Петров\nП.П."); // a line break cannot split the block
    d.SetCard("height", "180");
    d.SetCard("weight", "");
    const std::string block = WriteFileDetails(d) + "velmora-signal 1\n";
    CFileDetails back;
    size_t used = 0;
    std::string error;
    ASSERT_TRUE(ReadFileDetails(reinterpret_cast<const uint8_t*>(block.data()), block.size(), back,
                                &used, &error))
        << error;
    EXPECT_EQ(block.substr(used), "velmora-signal 1\n");
    EXPECT_TRUE(back.m_bOurs);
    EXPECT_EQ(back.m_nDeviceId, d.m_nDeviceId);
    EXPECT_EQ(back.m_nCurveId, d.m_nCurveId);
    EXPECT_EQ(back.m_strSerial, d.m_strSerial);
    ASSERT_EQ(back.m_Card.size(), 2u) << "an empty value is no field";
    EXPECT_EQ(back.m_Card[0].second, "Петров П.П.");

    PATIENT_CARD card{};
    back.m_Card.emplace_back("sex", "7");           // out of the field's range: left as it is
    back.m_Card.emplace_back("no_such_field", "1"); // passed over
    back.m_Card.emplace_back("postal_code", std::string(300, '9')); // cut to the field
    ApplyCardDetails(back, card);
    EXPECT_EQ(CardTextUtf8(card.doctor_name, sizeof card.doctor_name), "Петров П.П.");
    EXPECT_EQ(card.height, 180);
    EXPECT_EQ(card.sex, 0);
    EXPECT_EQ(std::string(card.postal_code), std::string(sizeof card.postal_code - 1, '9'));

    const std::string whole = WriteFileDetails(d);
    for (const std::string& bad :
         {whole.substr(0, whole.size() - 1), std::string("velmora-signal 1\n"),
          std::string("velmora-details 1 9\nweird 1\n"), std::string("velmora-details 1 x\n")})
        EXPECT_FALSE(ReadFileDetails(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), back,
                                     &used, &error))
            << bad;
}

TEST(FileDetails, CarryTheWritersFindingsAndReadAnOldBlockWithout) {
    CFileDetails d;
    d.m_strManufacturer = "Mortara Instrument, Inc.";
    d.m_Findings.m_strWriter = "Mortara Instrument, Inc. el250";
    d.m_Findings.m_nHeartRate = 61;
    d.m_Findings.m_nQrsMs = 75;
    d.m_Findings.m_nQrsAxis = -61; // axes go below zero
    d.m_Statements.m_Statements = {"RITMO SINUSALE", "ECG\nNORMALE", ""};
    d.m_Statements.m_bConfirmed = true;
    d.m_Statements.m_strPhysician = "Петрова А. И.";
    const std::string block = WriteFileDetails(d);
    CFileDetails back;
    size_t used = 0;
    std::string error;
    ASSERT_TRUE(ReadFileDetails(reinterpret_cast<const uint8_t*>(block.data()), block.size(), back,
                                &used, &error))
        << error;
    EXPECT_EQ(back.m_Findings.m_strWriter, d.m_Findings.m_strWriter);
    EXPECT_EQ(back.m_Findings.m_nHeartRate, 61);
    EXPECT_EQ(back.m_Findings.m_nQrsMs, 75);
    EXPECT_EQ(back.m_Findings.m_nQrsAxis, -61);
    EXPECT_EQ(back.m_Findings.m_nPrMs, kNotInFile) << "what was not given stays not given";
    EXPECT_EQ(back.m_Statements.m_Statements,
              (std::vector<std::string>{"RITMO SINUSALE", "ECG NORMALE", ""}))
        << "in order, an empty one kept, a line break no new line";
    EXPECT_TRUE(back.m_Statements.m_bConfirmed);
    EXPECT_EQ(back.m_Statements.m_strPhysician, "Петрова А. И.");

    // A block of the helper before the findings reads as it did; findings in it are no part of
    // that version.
    const std::string v1 = "velmora-details 1 18\nmanufacturer QELT\n";
    ASSERT_TRUE(ReadFileDetails(reinterpret_cast<const uint8_t*>(v1.data()), v1.size(), back, &used,
                                &error))
        << error;
    EXPECT_EQ(back.m_strManufacturer, "QELT");
    EXPECT_TRUE(back.m_Findings.Empty());
    for (const std::string& bad : {std::string("velmora-details 1 17\nfinding qrs_ms 9\n"),
                                   std::string("velmora-details 2 15\nfinding qrs 96\n"),
                                   std::string("velmora-details 2 18\nfinding qrs_ms 9x\n"),
                                   std::string("velmora-details 2 21\nfinding qrs_ms 29999\n")})
        EXPECT_FALSE(ReadFileDetails(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), back,
                                     &used, &error))
            << bad;
}

TEST(RecordEquipment, OursUnlessTheRecordCarriesAnotherSystemsDevice) {
    auto record = std::make_unique<ECG_RECORD>();
    record->device_id = 0x70002D53AULL;
    const CRecordEquipment ours = RecordEquipment(*record);
    EXPECT_TRUE(ours.m_bOurs);
    EXPECT_TRUE(IsOurRecord(*record));
    EXPECT_TRUE(IsOurDevice(ours.m_strManufacturer, ours.m_strModel));
    EXPECT_EQ(ours.m_strSerial, ScpSerialNumber(record->device_id));

    RECORD_SOURCE source;
    std::strcpy(source.manufacturer, "ACME Medical");
    std::strcpy(source.model, "Кардио-7"); // UTF-8
    WriteRecordSource(record->curves_buf, source);
    EXPECT_FALSE(IsOurRecord(*record));
    const CRecordEquipment other = RecordEquipment(*record);
    EXPECT_FALSE(other.m_bOurs);
    EXPECT_EQ(other.m_strManufacturer, "ACME Medical");
    EXPECT_EQ(other.m_strModel, "Кардио-7");
    EXPECT_EQ(other.m_strSerial, "");
    // SCP's tag 14: the source's texts in the file's Windows-1251, no program of ours.
    const SCP_TAG14 tag = RecordScpTag14(*record, 6, 10);
    EXPECT_EQ(tag.strManufacturer, "ACME Medical");
    EXPECT_EQ(FromCp1251(QByteArray::fromStdString(tag.strModel)),
              QStringLiteral("Карди")); // tag 14 holds 5
    EXPECT_EQ(tag.strSerialNumber, "");
    EXPECT_EQ(tag.strAnalysingProgram, "");
    EXPECT_NE(RecordScpTag14(*std::make_unique<ECG_RECORD>(), 6, 10).strManufacturer,
              "ACME Medical");
}
