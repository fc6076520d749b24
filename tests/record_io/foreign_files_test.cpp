// Other systems' files through the record layer and the interchange helper: every file of the
// shared real data opens with its leads, rate, patient and time, or is refused saying why; the
// ECG Toolkit's one recording in three formats opens to the same samples; the signal stream
// between helper and program refuses what is not whole.

#include "platform/cp1251.h"
#include "record_io/interchange_helper.h"
#include "record_io/record_files.h"
#include "storage/signal_stream.h"
#include "support/wfdb.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// Lanes: I II III aVR aVL aVF V1..V6.
constexpr uint16_t kAll = 0;
constexpr uint16_t kV3AndV5 = 1u << 8 | 1u << 10;

struct Expected {
    const char* file;
    uint16_t absentLanes;
    double sourceSeconds; // 0: ten seconds or less
    const char* lastName;
    const char* date;
    uint16_t birthYear;
    uint8_t sex;
};

double LaneRms(const ECG_RECORD& r, int lane) {
    double sum = 0;
    for (int p = 0; p < kPoints; ++p)
        sum += double(Sample(r, p, lane)) * Sample(r, p, lane);
    return std::sqrt(sum / kPoints);
}

} // namespace

TEST(ForeignFiles, EveryFileOfOtherSystemsOpensWithItsLeadsPatientAndTimeOrIsRefused) {
    const std::filesystem::path data = wfdb::RealData();
    if (data.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const Expected files[] = {
        {"scp/ecgconversion_Example.scp", kAll, 0, "Clark", "2002-11-22 09:10:00", 1953, 1},
        {"scp/ecgviewer_demo.scp", kAll, 0, "Patient", "2004-06-24 16:52:16", 1957, 1},
        // 8 leads, V3R and V7 among them: no lane for those, V3 and V5 absent.
        {"scp/welchallyn_ECG_20060620_112352_197001138994.SCP", kV3AndV5, 0, "Forsberg",
         "2006-06-20 11:23:52", 1970, 1},
        {"scp/welchallyn_ECG_20070321_110542_191010101010.SCP", kAll, 0, "Karlsson",
         "2007-03-21 11:05:42", 1968, 1},
        {"aecg/hl7_2003-12_Example_aECG.xml", kAll, 0, "Clark", "2002-11-22 09:10:00", 1953, 1},
        {"dicom/ecgconversion_Example.dcm", kAll, 0, "Clark", "2002-11-22 09:10:00", 1953, 1},
        {"dicom/mortara_eli250_waveform_ecg.dcm", kAll, 0, "Anonymous", "2013-01-25 10:59:19", 1971,
         0},
    };
    for (const Expected& e : files) {
        SCOPED_TRACE(e.file);
        CLoadedRecord doc;
        std::string error;
        ASSERT_TRUE(OpenRecordFile(QString::fromStdString((data / e.file).string()), doc, &error))
            << error;
        EXPECT_EQ(doc.absentLanes, e.absentLanes);
        // None is longer than its record (10.002 s is ten seconds, not "the first 10 s of").
        EXPECT_NEAR(doc.dSourceSeconds, e.sourceSeconds, 1e-6);
        EXPECT_STREQ(doc.card.last_name, e.lastName);
        EXPECT_STREQ(doc.pRecord->date, e.date);
        EXPECT_EQ(doc.card.birth_year, e.birthYear);
        EXPECT_EQ(doc.card.sex, e.sex);
        // Every present lane carries an ECG of resting size (0.02-1 mV RMS: µV scaled to 2 µV
        // units, not mV taken as µV or the reverse), every absent one nothing.
        for (int lane = 0; lane < kLeads; ++lane) {
            const double rmsMv = LaneRms(*doc.pRecord, lane) * 2 / 1000;
            if (doc.absentLanes & (1u << lane))
                EXPECT_EQ(rmsMv, 0.0) << "lane " << lane;
            else
                EXPECT_TRUE(rmsMv > 0.02 && rmsMv < 1.0) << "lane " << lane << ": " << rmsMv;
        }
    }

    // The FDA's minimal aECG: lead II only, 13 samples at 2.5 µV (-2 -2 -2 -2 -3 ...), and no
    // XML declaration, which libbiosig needs.
    CLoadedRecord tiny;
    std::string error;
    ASSERT_TRUE(OpenRecordFile(
        QString::fromStdString((data / "aecg/fda_minimum_aecg.xml").string()), tiny, &error))
        << error;
    EXPECT_EQ(tiny.absentLanes, uint16_t(0xFFF & ~(1u << 1)));
    EXPECT_EQ(Sample(*tiny.pRecord, 0, 1), -2); // -5 µV is -2.5 units
    EXPECT_EQ(Sample(*tiny.pRecord, 200, 1), 0);

    // The broken file: libbiosig's reason, with the file's name.
    CLoadedRecord broken;
    const std::string path = (data / "scp/scpecgrw_test.scp").string();
    EXPECT_FALSE(OpenRecordFile(QString::fromStdString(path), broken, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("invalid AVM"), std::string::npos) << error;
}

TEST(ForeignFiles, TheToolkitExampleOpensToTheSameSamplesAsScpDicomAndAecg) {
    const std::filesystem::path data = wfdb::RealData();
    if (data.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const char* files[] = {"scp/ecgconversion_Example.scp", "dicom/ecgconversion_Example.dcm",
                           "aecg/hl7_2003-12_Example_aECG.xml"};
    CLoadedRecord docs[3];
    for (int k = 0; k < 3; ++k) {
        std::string error;
        ASSERT_TRUE(
            OpenRecordFile(QString::fromStdString((data / files[k]).string()), docs[k], &error))
            << error;
    }
    for (int k = 1; k < 3; ++k) {
        SCOPED_TRACE(files[k]);
        int worst = 0;
        for (int p = 0; p < kPoints; ++p)
            for (int lane = 0; lane < kLeads; ++lane)
                worst = std::max(worst, std::abs(Sample(*docs[k].pRecord, p, lane) -
                                                 Sample(*docs[0].pRecord, p, lane)));
        EXPECT_LE(worst, 1) << "units of 2 µV";
    }
}

TEST(ForeignFiles, TheSignalStreamKeepsEverythingAndRefusesWhatIsNotWhole) {
    ForeignEcg ecg;
    ecg.signal.dRate = 599.88;
    ecg.signal.names = {"I", "V3R"};
    ecg.signal.leads = {{1.5f, -2.25f, 3.f}, {0.f, 1e6f, -1e-3f}};
    ecg.signal.present = {true, true};
    ecg.dTotalSeconds = 3600.5;
    ecg.start = SYSTEMTIME{2006, 6, 2, 20, 11, 23, 52, 0};
    ecg.lastName = "Иванов\nвторая строка";
    ecg.firstName = "Иван";
    ecg.birthYear = 1970;
    ecg.birthMonth = 1;
    ecg.birthDay = 13;
    ecg.sex = 0;
    const std::string bytes = WriteSignalStream(ecg);
    ForeignEcg back;
    std::string error;
    ASSERT_TRUE(ReadSignalStream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), back,
                                 &error))
        << error;
    EXPECT_EQ(back.signal.dRate, 599.88);
    EXPECT_EQ(back.signal.names, ecg.signal.names);
    EXPECT_EQ(back.signal.leads, ecg.signal.leads);
    EXPECT_EQ(back.dTotalSeconds, 3600.5);
    EXPECT_EQ(back.start.wSecond, 52);
    EXPECT_EQ(back.lastName, "Иванов вторая строка"); // one line: the newline cannot end it
    EXPECT_EQ(back.birthDay, 13);
    EXPECT_EQ(back.sex, 0);
    PATIENT_CARD card;
    CardFromForeign(back, card);
    EXPECT_EQ(FromCp1251(card.first_name), QStringLiteral("Иван"));

    // Cut anywhere, one byte more, a count larger than the bytes: refused, never read past.
    for (size_t cut : {size_t(0), size_t(10), bytes.size() / 2, bytes.size() - 1})
        EXPECT_FALSE(
            ReadSignalStream(reinterpret_cast<const uint8_t*>(bytes.data()), cut, back, &error))
            << cut;
    const std::string longer = bytes + "x";
    EXPECT_FALSE(ReadSignalStream(reinterpret_cast<const uint8_t*>(longer.data()), longer.size(),
                                  back, &error));
    std::string noDate = bytes; // the fuzzer's find: a key with no value at all
    noDate.replace(noDate.find("start 2006-06-20 11:23:52"), 25, "start");
    EXPECT_FALSE(ReadSignalStream(reinterpret_cast<const uint8_t*>(noDate.data()), noDate.size(),
                                  back, &error));
    std::string none = bytes.substr(0, bytes.find("data\n") + 5); // no samples at all
    none.replace(none.find("samples 3"), 9, "samples 0");
    EXPECT_FALSE(
        ReadSignalStream(reinterpret_cast<const uint8_t*>(none.data()), none.size(), back, &error));
    // Control characters in a text come in as blanks, as they go out.
    std::string control = bytes;
    control.replace(control.find("Иван\n"), 9, std::string("Ив\x01н\n"));
    ASSERT_TRUE(ReadSignalStream(reinterpret_cast<const uint8_t*>(control.data()), control.size(),
                                 back, &error))
        << error;
    EXPECT_EQ(back.firstName, "Ив н");
    std::string huge = bytes;
    huge.replace(huge.find("samples 3"), 9, "samples 99999999999");
    EXPECT_FALSE(
        ReadSignalStream(reinterpret_cast<const uint8_t*>(huge.data()), huge.size(), back, &error));
}
