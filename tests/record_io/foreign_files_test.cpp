// Other systems' files through the record layer and the interchange helper: every file of the
// shared real data opens with its leads, rate, patient and time, or is refused saying why; the
// ECG Toolkit's one recording in three formats opens to the same samples; the signal stream
// between helper and program refuses what is not whole.

#include "platform/cp1251.h"
#include "record_io/interchange_helper.h"
#include "record_io/record_files.h"
#include "storage/scp_file.h"
#include "storage/scp_signal.h"
#include "storage/signal_stream.h"
#include "support/wfdb.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
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

    // The broken file: our reader's reason, with the file's name.
    CLoadedRecord broken;
    const std::string path = (data / "scp/scpecgrw_test.scp").string();
    EXPECT_FALSE(OpenRecordFile(QString::fromStdString(path), broken, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("section 6 gives no amplitude value"), std::string::npos) << error;
}

namespace {

// Section 6's amplitude value (nV per unit) of an SCP file, 0 when it has none.
double ScpUnitMicrovolts(const std::vector<uint8_t>& file) {
    std::vector<ScpSectionPointer> table;
    if (!ReadScpSectionTable(file, table, nullptr))
        return 0;
    for (const ScpSectionPointer& p : table)
        if (p.nId == 6 && p.nLength >= 18)
            return (file[p.nIndex - 1 + 16] | file[p.nIndex - 1 + 17] << 8) / 1000.0;
    return 0;
}

// Sets an environment variable for a scope and takes it away after.
struct CEnvScope {
    CEnvScope(const char* name, const char* value) : m_szName(name) { qputenv(name, value); }
    ~CEnvScope() { qunsetenv(m_szName); }
    const char* m_szName;
};

} // namespace

TEST(ForeignFiles, EveryValidScpFileOpensByOurOwnReaderAndAgreesWithLibbiosig) {
    const std::filesystem::path data = wfdb::RealData();
    if (data.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const char* files[] = {"scp/ecgconversion_Example.scp", "scp/ecgviewer_demo.scp",
                           "scp/welchallyn_ECG_20060620_112352_197001138994.SCP",
                           "scp/welchallyn_ECG_20070321_110542_191010101010.SCP"};
    int withRates = 0;
    for (const char* name : files) {
        SCOPED_TRACE(name);
        const QString path = QString::fromStdString((data / name).string());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray raw = f.readAll();
        const std::vector<uint8_t> bytes(raw.begin(), raw.end());
        CEcgSignal ours;
        std::string error;
        ASSERT_TRUE(ReadScpSignal(bytes.data(), bytes.size(), ours, &error)) << error;
        ForeignEcg theirs;
        ASSERT_TRUE(ReadForeignFile(path, HelperReader::Biosig, 60, theirs, &error)) << error;
        EXPECT_NEAR(ours.dRate, theirs.signal.dRate, 0.01);
        // Lead by lead by name, over what both give, within one unit of the file.
        const double unit = ScpUnitMicrovolts(bytes);
        ASSERT_GT(unit, 0);
        size_t compared = 0;
        for (size_t l = 0; l < theirs.signal.leads.size(); ++l) {
            const auto at = std::find(ours.names.begin(), ours.names.end(), theirs.signal.names[l]);
            if (at == ours.names.end())
                continue;
            const std::vector<float>& a = ours.leads[size_t(at - ours.names.begin())];
            const std::vector<float>& b = theirs.signal.leads[l];
            const size_t n = std::min(a.size(), b.size());
            ASSERT_GT(n, size_t(0.99 * double(a.size())));
            double worst = 0;
            for (size_t i = 0; i < n; ++i)
                worst = std::max(worst, std::abs(double(a[i]) - double(b[i])));
            EXPECT_LE(worst, unit + 1e-3) << theirs.signal.names[l];
            ++compared;
        }
        EXPECT_GE(compared, 8u);

        // The record opens with no helper to be found: in-process, by our own reader.
        const CEnvScope noHelper("VELMORA_INTERCHANGE", "/nonexistent/velmora-interchange");
        CLoadedRecord doc;
        ASSERT_TRUE(OpenRecordFile(path, doc, &error)) << error;
        // The writer's measurements come with it: where it gives both, its average RR and its
        // ventricular rate agree (a field read at the wrong place would not).
        const CFileFindings& g = doc.fileFindings;
        if (g.m_nRrMs != kNotInFile && g.m_nHeartRate != kNotInFile) {
            EXPECT_NEAR(60000.0 / g.m_nRrMs, g.m_nHeartRate, 1.0);
            ++withRates;
        }
        // Its lead I is our signal's, resampled: the same size over the record's ten seconds.
        double sum = 0;
        const size_t tenSeconds = std::min(ours.Length(), size_t(std::lround(10 * ours.dRate)));
        for (size_t i = 0; i < tenSeconds; ++i)
            sum += double(ours.leads[0][i]) * ours.leads[0][i];
        const double rmsOurs = std::sqrt(sum / double(tenSeconds));
        EXPECT_NEAR(LaneRms(*doc.pRecord, kLaneI) * 2, rmsOurs, 0.05 * rmsOurs);
    }
    EXPECT_EQ(withRates, 2) << "the two Welch Allyn files give both";
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

TEST(ForeignFiles, AReaderThatDiesOnAFileIsSaidAsADamagedFileNotAsItsInternals) {
    // A helper that prints a library's text and dies by a signal, as a reader does on a file it
    // cannot take.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString helper = dir.filePath(QStringLiteral("dying-helper"));
    QFile script(helper);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        "#!/bin/sh\necho 'ERROR 17: bsearch in HUFFMAN table failed' >&2\nkill -SEGV $$\n");
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    const QString edf = dir.filePath(QStringLiteral("x.edf"));
    QFile file(edf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(512, '0'));
    file.close();

    const CEnvScope dying("VELMORA_INTERCHANGE", helper.toUtf8().constData());
    CLoadedRecord doc;
    std::string error;
    EXPECT_FALSE(OpenRecordFile(edf, doc, &error));
    EXPECT_NE(error.find("damaged or not in a form velmora reads"), std::string::npos) << error;
    EXPECT_EQ(error.find("HUFFMAN"), std::string::npos) << error;
    EXPECT_EQ(error.find("helper"), std::string::npos) << error;
}
