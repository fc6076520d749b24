// PhysioNet's WFDB records through the records layer: our reader against an independent one
// (the tests' own, from the format's documentation, and libbiosig where libbiosig manages),
// the first ten seconds as a record, and headers that must be refused.

#include "analysis/filters.h"
#include "record_io/record_files.h"
#include "record_io/signal_record.h"
#include "storage/wfdb_reader.h"
#include "support/wfdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <biosig.h>
#include <cmath>
#include <gtest/gtest.h>

namespace {

const char* const kRecords[] = {"mitdb/100",   "mitdb/105",     "mitdb/203", "ludb/1",
                                "ludb/8",      "ludb/10",       "ludb/15",   "qtdb/sel100",
                                "qtdb/sel103", "ptbdb/s0010_re"};

TEST(Wfdb, EveryRecordAtHandReadsAsTheIndependentReaderReadsIt) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    for (const char* name : kRecords) {
        SCOPED_TRACE(name);
        const std::string base = (root / "wfdb" / name).string();
        WfdbRecord ours;
        std::string error;
        ASSERT_TRUE(ReadWfdbRecord(base + ".hea", 0, ours, &error)) << error;
        CEcgSignal theirs;
        ASSERT_TRUE(wfdb::ReadRecord(base, theirs));
        ASSERT_EQ(ours.signal.leads.size(), theirs.leads.size());
        EXPECT_EQ(ours.signal.dRate, theirs.dRate);
        EXPECT_EQ(ours.signal.names, theirs.names);
        for (size_t l = 0; l < theirs.leads.size(); ++l) {
            ASSERT_EQ(ours.signal.leads[l].size(), theirs.leads[l].size());
            size_t differ = 0;
            for (size_t i = 0; i < theirs.leads[l].size(); ++i)
                differ += std::abs(ours.signal.leads[l][i] - theirs.leads[l][i]) > 0.01f;
            EXPECT_EQ(differ, 0u) << "lead " << l;
        }
        EXPECT_NEAR(ours.dTotalSeconds, theirs.Seconds(), 1e-9);
        // The first ten seconds only, when asked.
        WfdbRecord first;
        ASSERT_TRUE(ReadWfdbRecord(base + ".hea", 10, first, &error)) << error;
        EXPECT_EQ(first.signal.Length(), size_t(std::ceil(10 * theirs.dRate)));
        EXPECT_EQ(first.signal.leads[0][5], theirs.leads[0][5]);
        EXPECT_NEAR(first.dTotalSeconds, theirs.Seconds(), 1e-9) << "the whole length is known";
    }
}

TEST(Wfdb, LibbiosigReadsTheSameSamplesOfAnMitBihRecord) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const std::string header = (root / "wfdb" / "mitdb" / "100.hea").string();
    WfdbRecord ours;
    std::string error;
    ASSERT_TRUE(ReadWfdbRecord(header, 0, ours, &error)) << error;
    HDRTYPE* h = constructHDR(0, 0);
    h->FLAG.UCAL = 0;
    h->FLAG.ROW_BASED_CHANNELS = 0;
    ASSERT_TRUE(sopen(header.c_str(), "r", h) && h->AS.B4C_ERRNUM == B4C_NO_ERROR);
    ASSERT_EQ(sread(nullptr, 0, size_t(h->NRec), h), size_t(h->NRec));
    const size_t rows = h->data.size[0];
    ASSERT_EQ(rows, ours.signal.Length());
    size_t differ = 0;
    for (size_t l = 0; l < 2; ++l) {
        const double scale = PhysDimScale(h->CHANNEL[l].PhysDimCode) * 1e6;
        for (size_t i = 0; i < rows; ++i)
            differ +=
                std::abs(h->data.block[l * rows + i] * scale - ours.signal.leads[l][i]) > 0.01;
    }
    EXPECT_EQ(differ, 0u);
    sclose(h);
    destructHDR(h);
}

TEST(Wfdb, TheFirstTenSecondsBecomeARecordWithEachLeadInItsLane) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    // Twelve leads at 500 Hz: every lane filled, at 409.6 Hz and 500 units per mV.
    CLoadedRecord doc;
    std::string error;
    const RecordFileType* type = nullptr;
    const QString ludb = QString::fromStdString((root / "wfdb" / "ludb" / "1.hea").string());
    ASSERT_TRUE(OpenRecordFile(ludb, doc, &error, &type)) << error;
    EXPECT_STREQ(type->extension, ".hea");
    EXPECT_EQ(doc.dSourceSeconds, 0) << "ten seconds: all of it";
    CEcgSignal raw;
    ASSERT_TRUE(wfdb::ReadRecord(root / "wfdb" / "ludb" / "1", raw));
    const CEcgSignal at409 = analysis::Resample(raw, kPointsPerSecond);
    const CEcgSignal shown = SignalFromRecord(*doc.pRecord);
    for (int lane = 0; lane < kLeads; ++lane) {
        SCOPED_TRACE(lane);
        EXPECT_TRUE(shown.present[size_t(lane)]);
        EXPECT_EQ(LaneOfLeadName(raw.names[size_t(lane)]), lane) << raw.names[size_t(lane)];
        double worst = 0;
        for (size_t p = 0; p < kPoints; ++p)
            worst = std::max(worst, double(std::abs(shown.leads[size_t(lane)][p] -
                                                    at409.leads[size_t(lane)][p])));
        EXPECT_LE(worst, kMicrovoltsPerUnit) << "within the rounding to 2 µV";
    }

    // Two leads of a 30-minute Holter record: MLII in lane II, V5 in its lane, the rest empty
    // (I is missing, so the other limb leads cannot be derived); its whole length is said.
    const QString mit = QString::fromStdString((root / "wfdb" / "mitdb" / "100.hea").string());
    ASSERT_TRUE(OpenRecordFile(mit, doc, &error)) << error;
    EXPECT_NEAR(doc.dSourceSeconds, 1805.56, 0.01);
    const CEcgSignal two = SignalFromRecord(*doc.pRecord);
    for (int lane = 0; lane < kLeads; ++lane)
        EXPECT_EQ(two.present[size_t(lane)], lane == 1 || lane == 10) << lane;

    // Only I and II: the other four limb leads are derived from them (Einthoven).
    CEcgSignal limbs;
    limbs.dRate = 500;
    limbs.names = {"I", "II"};
    limbs.present = {true, true};
    limbs.leads = {std::vector<float>(5000, 400.f), std::vector<float>(5000, 1000.f)};
    ECG_RECORD derived;
    ASSERT_TRUE(RecordFromSignal(limbs, SYSTEMTIME{2026, 1, 0, 2, 3, 4, 5, 0}, derived, &error));
    EXPECT_EQ(Sample(derived, 100, 2), 300) << "III = II - I";
    EXPECT_EQ(Sample(derived, 100, 3), -350) << "aVR = -(I + II) / 2";
    EXPECT_EQ(Sample(derived, 100, 4), -50) << "aVL = I - II / 2";
    EXPECT_EQ(Sample(derived, 100, 5), 400) << "aVF = II - I / 2";
    EXPECT_EQ(Sample(derived, 100, 6), 0) << "no V1";
    EXPECT_STREQ(derived.date, "2026-01-02 03:04:05");
    std::string why;
    EXPECT_TRUE(CheckRecordBlock(derived, &why)) << why;
    limbs.names = {"x", "y"};
    EXPECT_FALSE(RecordFromSignal(limbs, SYSTEMTIME{}, derived, &error));
    EXPECT_NE(error.find("none of its leads"), std::string::npos);
}

TEST(Wfdb, HeadersThatCannotBeReadAreRefusedSayingWhy) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    // Two 16-bit signals, three frames, the second file missing.
    write("ok.dat", QByteArray("\x01\x00\x02\x00\x03\x00\x04\x00\x05\x00\x06\x00", 12));
    const struct {
        const char* header;
        const char* why;
    } cases[] = {
        {"", "the file is empty"},
        {"# only a comment\n", "no record line"},
        {"rec 2 500 3\nok.dat 16 200 16 0 0 0 0 I\n", "fewer signals than it announces"},
        {"rec 1 500 3\nok.dat 80 200 8 0 0 0 0 I\n", "format 80 is not read"},
        {"rec 1 500 3\n../ok.dat 16 200 16 0 0 0 0 I\n", "not a file beside the header"},
        {"rec 1 500 3\n/etc/passwd 16 200 16 0 0 0 0 I\n", "not a file beside the header"},
        {"rec/2 1 500 3\n", "multi-segment"},
        {"rec x 500\n", "signal count x"},
        {"rec 1 -5 3\nok.dat 16\n", "sampling frequency -5"},
        {"rec 1 500 3\nok.dat 16x2 200 16 0 0 0 0 I\n", "several samples per frame"},
        {"rec 1 500 3\nok.dat 16 abc 16 0 0 0 0 I\n", "gain abc"},
        {"rec 2 360 6562e53 500\n", "sample count 6562e53"},
        {"rec 1 500 3\nok.dat 16+1e300 200 16 0 0 0 0 I\n", "byte offset"},
        {"rec 1 500 3\nnone.dat 16 200 16 0 0 0 0 I\n", "No such file or directory"},
        {"rec 2 500 3\nok.dat 16 200 16 0 0 0 0 I\nok.dat 212 200 12 0 0 0 0 II\n",
         "differ in format"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        const QString path = write("bad.hea", QByteArray(c.header));
        CLoadedRecord doc;
        std::string error;
        EXPECT_FALSE(OpenRecordFile(path, doc, &error));
        EXPECT_NE(error.find("cannot open " + path.toStdString()), std::string::npos) << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
    // A good header with its gain, baseline and units.
    const QString good = write("good.hea", "# a comment\nrec 2 500 3 10:20:30 04/05/2026\n"
                                           "ok.dat 16 2(1)/uV 16 0 0 0 0 I\n"
                                           "ok.dat 16 0.5/mV 16 0 0 0 0 II\n");
    WfdbRecord r;
    std::string error;
    ASSERT_TRUE(ReadWfdbRecord(QFile::encodeName(good).toStdString(), 0, r, &error)) << error;
    ASSERT_EQ(r.signal.Length(), 3u);
    EXPECT_EQ(r.signal.leads[0], (std::vector<float>{0.f, 1.f, 2.f})) << "(1 - 1) / 2 µV ...";
    EXPECT_EQ(r.signal.leads[1], (std::vector<float>{4000.f, 8000.f, 12000.f}));
    EXPECT_EQ(r.header.start.wYear, 2026);
    EXPECT_EQ(r.header.start.wMonth, 5);
    EXPECT_EQ(r.header.start.wDay, 4);
    EXPECT_EQ(r.header.start.wHour, 10);
    EXPECT_EQ(r.header.comments, std::vector<std::string>{" a comment"});
    CLoadedRecord doc;
    ASSERT_TRUE(OpenRecordFile(good, doc, &error)) << error;
    EXPECT_STREQ(doc.pRecord->date, "2026-05-04 10:20:30");
    // A file cut short gives what it holds; the 212 pairs decode with their signs.
    const WfdbChannel channel{"x", 212, 0, 1, 0, 1, "I"};
    const WfdbChannel channels[] = {channel, channel};
    std::vector<std::vector<float>> leads(2);
    const uint8_t packed[] = {0xFF, 0x8F, 0x00, 0x01, 0x00};
    EXPECT_EQ(DecodeWfdbFrames(packed, channels, 10, leads), 1);
    EXPECT_EQ(leads[0], std::vector<float>{-1.f}) << "0xFFF is -1";
    EXPECT_EQ(leads[1], std::vector<float>{-2048.f}) << "0x800 is -2048";
}

} // namespace
