// ISHNE Holter files, WFDB records with .mat signals and the typing of every record file by what
// it holds: files written here from the formats' layouts (and the shared ISHNE recording, with
// its beat annotations), renamed, damaged and opened through the records layer.

#include "record_io/record_files.h"
#include "record_io/signal_record.h"
#include "records_test_support.h"
#include "storage/ishne_reader.h"
#include "support/wfdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace {

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

void Put16(QByteArray& b, int at, int v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

void Put32(QByteArray& b, int at, int32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((uint32_t(v) >> (8 * i)) & 0xFF);
}

// CRC-CCITT (0x1021, from 0xFFFF), bit by bit: independent of the program's table.
uint16_t Crc(const QByteArray& b, int from, int to) {
    uint16_t c = 0xFFFF;
    for (int i = from; i < to; ++i) {
        c ^= uint16_t(uint8_t(b[i]) << 8);
        for (int k = 0; k < 8; ++k)
            c = (c & 0x8000) ? uint16_t((c << 1) ^ 0x1021) : uint16_t(c << 1);
    }
    return c;
}

struct IshneSpec {
    int leads = 3;
    int rate = 200;
    int samples = 2400; // 12 s
    std::vector<int> codes = {5, 6, 0};
    int resolution = 2500; // nV
    QByteArray var = "recorder notes";
};

// The sample of lead l at i: a different saw for each lead.
int16_t SampleAt(int l, int i) {
    return int16_t(((i * (l + 2)) % 800) - 400);
}

void FixCrc(QByteArray& b) {
    const int end = 522 + int(uint8_t(b[10]) | uint8_t(b[11]) << 8);
    Put16(b, 8, Crc(b, 10, std::min<int>(end, int(b.size()))));
}

QByteArray IshneFile(const IshneSpec& s) {
    QByteArray b(522, 0);
    std::memcpy(b.data(), "ISHNE1.0", 8);
    Put32(b, 10, int32_t(s.var.size()));
    Put32(b, 14, s.samples);
    Put32(b, 18, 522);
    Put32(b, 22, 522 + int32_t(s.var.size()));
    Put16(b, 26, 1);
    std::memcpy(b.data() + 28, "John", 4);
    std::memcpy(b.data() + 68, "Smith", 5);
    std::memcpy(b.data() + 108, "H-0042", 6);
    Put16(b, 128, 2); // female
    Put16(b, 132, 14), Put16(b, 134, 3), Put16(b, 136, 1961);
    Put16(b, 138, 5), Put16(b, 140, 6), Put16(b, 142, 2021);
    Put16(b, 150, 9), Put16(b, 152, 41), Put16(b, 154, 7);
    Put16(b, 156, s.leads);
    for (int l = 0; l < 12; ++l) {
        Put16(b, 158 + 2 * l, l < int(s.codes.size()) ? s.codes[size_t(l)] : -9);
        Put16(b, 206 + 2 * l, l < s.leads ? s.resolution : 0);
    }
    std::memcpy(b.data() + 232, "HoltRec 7", 9);
    Put16(b, 272, s.rate);
    b += s.var;
    QByteArray samples(2 * s.leads * s.samples, 0);
    for (int i = 0; i < s.samples; ++i)
        for (int l = 0; l < s.leads; ++l)
            Put16(samples, 2 * (i * s.leads + l), SampleAt(l, i));
    b += samples;
    FixCrc(b);
    return b;
}

} // namespace

TEST(Ishne, AGeneratedFileOpensWithItsPatientLeadsAndSamples) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("holter.ecg"));
    Write(path, IshneFile({}));
    CLoadedRecord doc;
    const RecordFileType* type = nullptr;
    std::string error;
    ASSERT_TRUE(OpenRecordFile(path, doc, &error, &type)) << error;
    EXPECT_STREQ(type->name, "ISHNE Holter file");
    EXPECT_NEAR(doc.dSourceSeconds, 12.0, 1e-9);
    EXPECT_STREQ(doc.card.last_name, "Smith");
    EXPECT_STREQ(doc.card.first_name, "John");
    EXPECT_EQ(doc.card.sex, 0); // female
    EXPECT_EQ(doc.card.birth_year, 1961);
    EXPECT_EQ(doc.card.birth_month, 3);
    EXPECT_EQ(doc.card.birth_day, 14);
    EXPECT_STREQ(doc.pRecord->date, "2021-06-05 09:41:07");
    EXPECT_FALSE(IsOurRecord(*doc.pRecord));
    // I and II given, III and the augmented leads derived; the precordial lanes are empty.
    EXPECT_EQ(doc.absentLanes & 0x3F, 0);
    EXPECT_EQ(doc.absentLanes >> 6, 0x3F);

    // The whole signal at its own rate, every sample scaled by the resolution, the lead without
    // a standard name kept and named.
    CEcgSignal s;
    ASSERT_TRUE(OpenRecordSignal(path, s, &error)) << error;
    EXPECT_EQ(s.dRate, 200);
    ASSERT_EQ(s.leads.size(), 3u);
    EXPECT_EQ(s.names, (std::vector<std::string>{"I", "II", "lead 3 (unknown)"}));
    ASSERT_EQ(s.Length(), 2400u);
    size_t differ = 0;
    for (int l = 0; l < 3; ++l)
        for (int i = 0; i < 2400; ++i)
            differ += s.leads[size_t(l)][size_t(i)] != float(SampleAt(l, i)) * 2.5f;
    EXPECT_EQ(differ, 0u);

    // A piece from the middle is the same samples as the whole.
    CIshneReader reader;
    ASSERT_TRUE(reader.Open(QFile::encodeName(path).toStdString(), &error)) << error;
    CEcgSignal piece;
    ASSERT_TRUE(reader.Read(1001, 7, piece, &error)) << error;
    ASSERT_EQ(piece.Length(), 7u);
    EXPECT_EQ(piece.leads[2][0], s.leads[2][1001]);
    EXPECT_EQ(piece.leads[0][6], s.leads[0][1007]);
    ASSERT_TRUE(reader.Read(2398, 100, piece, &error)) << error;
    EXPECT_EQ(piece.Length(), 2u) << "cut at the end, never past it";
}

TEST(Ishne, ADamagedFileIsRefusedNamingWhatIsWrong) {
    QTemporaryDir dir;
    const QByteArray good = IshneFile({});
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* why;
    };
    QByteArray magic = good;
    magic[5] = 'X';
    QByteArray crc = good;
    crc[300] = char(crc[300] ^ 1);
    QByteArray noLeads = good;
    Put16(noLeads, 156, 0);
    FixCrc(noLeads);
    QByteArray thirteen = good;
    Put16(thirteen, 156, 13);
    FixCrc(thirteen);
    QByteArray longer = good;
    Put32(longer, 14, 2401);
    FixCrc(longer);
    QByteArray hugeVar = good;
    Put32(hugeVar, 10, 1 << 30);
    FixCrc(hugeVar);
    QByteArray noRate = good;
    Put16(noRate, 272, 0);
    FixCrc(noRate);
    const Case cases[] = {
        {"magic.ecg", magic, "does not begin with \"ISHNE1.0\""},
        {"crc.ecg", crc, "CRC"},
        {"noleads.ecg", noLeads, "0 leads, a file has 1 to 12"},
        {"thirteen.ecg", thirteen, "13 leads, a file has 1 to 12"},
        {"longer.ecg", longer, "past the file's end"},
        {"cut.ecg", good.left(good.size() - 3), "past the file's end"},
        {"header.ecg", good.left(300), "cut short"},
        {"hugevar.ecg", hugeVar, "variable block"},
        {"norate.ecg", noRate, "sampling rate is 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        Write(path, c.bytes);
        CLoadedRecord doc;
        std::string error;
        EXPECT_FALSE(OpenRecordFile(path, doc, &error));
        EXPECT_NE(error.find("cannot open " + path.toStdString() + ": "), std::string::npos);
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        // The .ecg extension is our package's too: a file no type claims hears from both.
        if (!IshneClaims(std::span(reinterpret_cast<const uint8_t*>(c.bytes.constData()),
                                   size_t(c.bytes.size())))) {
            EXPECT_NE(error.find("not an export package"), std::string::npos) << error;
        }
        CEcgSignal s;
        EXPECT_FALSE(OpenRecordSignal(path, s, &error));
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        FileBeatScan scan;
        EXPECT_FALSE(DetectFileBeats(
            path, [](size_t, analysis::BeatClass) { return true; }, scan, &error));
    }
}

// A file opens as what it holds whatever its name says; saving still goes by the extension.
TEST(RecordFileTyping, RenamedFilesOpenAsWhatTheyHoldAndTheRestIsRefused) {
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    std::string error;
    const QString package = dir.filePath(QStringLiteral("p.ecg"));
    const QString scp = dir.filePath(QStringLiteral("s.scp"));
    const QString dat = dir.filePath(QStringLiteral("d.dat"));
    ASSERT_TRUE(SaveRecordFile(package, *RecordFileTypeOf(package), *record, &card, &error));
    ASSERT_TRUE(SaveRecordFile(scp, *RecordFileTypeOf(scp), *record, &card, &error));
    ASSERT_TRUE(SaveRecordFile(dat, *RecordFileTypeOf(dat), *record, &card, &error));
    EXPECT_STREQ(RecordFileTypeOf(package)->name, "export package") << "a save is by extension";
    std::mt19937 random(3);
    QByteArray noise(5000, 0);
    for (char& c : noise)
        c = char(random());

    struct Case {
        const char* name;
        QByteArray bytes;
        const char* type; // null: refused
    };
    const Case cases[] = {
        {"package.dat", Bytes(package), "export package"},
        {"scp.ecg", Bytes(scp), "SCP-ECG file"},
        {"scp.dat", Bytes(scp), "SCP-ECG file"},
        {"ishne.ecg", IshneFile({}), "ISHNE Holter file"},
        {"ishne.dat", IshneFile({}), "ISHNE Holter file"},
        {"block.ecg", Bytes(dat), "record block"},
        {"block.txt", Bytes(dat), "record block"},
        {"noise.ecg", noise, nullptr},
        {"noise.txt", noise, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        Write(path, c.bytes);
        CLoadedRecord doc;
        const RecordFileType* type = nullptr;
        const bool opened = OpenRecordFile(path, doc, &error, &type);
        std::string why;
        const RecordFileType* typed = RecordFileTypeOfFile(path, &why);
        if (!c.type) {
            EXPECT_FALSE(opened);
            EXPECT_EQ(typed, nullptr);
            EXPECT_FALSE(why.empty());
            continue;
        }
        ASSERT_TRUE(opened) << error;
        EXPECT_STREQ(type->name, c.type);
        ASSERT_NE(typed, nullptr) << why;
        EXPECT_EQ(typed, type);
        if (IsOurRecord(*doc.pRecord)) { // ours came back sample for sample
            EXPECT_EQ(std::memcmp(doc.pRecord->curves_buf, record->curves_buf, kSamplesSize), 0);
        }
    }
    CLoadedRecord doc;
    EXPECT_FALSE(OpenRecordFile(dir.filePath(QStringLiteral("noise.ecg")), doc, &error));
    EXPECT_NE(error.find("not an export package"), std::string::npos) << error;
    EXPECT_NE(error.find("ISHNE"), std::string::npos) << error;
    EXPECT_FALSE(OpenRecordFile(dir.filePath(QStringLiteral("noise.txt")), doc, &error));
    EXPECT_NE(error.find("not a record file type"), std::string::npos) << error;
}

namespace {

// A PhysioNet Challenge record: A0001.hea naming A0001.mat, a MATLAB v4 int16 matrix of one row
// per signal ("val"), format 16 with the samples after its 24-byte header.
struct MatLayout {
    int nSignals = 12;
    int frames = 5500; // 11 s at 500 Hz
    int rows = 12;     // what the matrix header says
    int type = 30;     // int16
    int offset = 24;   // what the WFDB header says
};

const char* const kTwelve[] = {"I",  "II", "III", "aVR", "aVL", "aVF",
                               "V1", "V2", "V3",  "V4",  "V5",  "V6"};

void WriteMatRecord(const QString& folder, const MatLayout& m) {
    QByteArray mat(24, 0);
    Put32(mat, 0, m.type);
    Put32(mat, 4, m.rows);
    Put32(mat, 8, m.frames);
    Put32(mat, 12, 0);
    Put32(mat, 16, 4);
    std::memcpy(mat.data() + 20, "val", 4);
    QByteArray values(2 * m.nSignals * m.frames, 0);
    for (int i = 0; i < m.frames; ++i)
        for (int s = 0; s < m.nSignals; ++s)
            Put16(values, 2 * (i * m.nSignals + s), SampleAt(s, i));
    Write(QDir(folder).filePath(QStringLiteral("A0001.mat")), mat + values);
    std::string hea = "A0001 " + std::to_string(m.nSignals) + " 500 " + std::to_string(m.frames) +
                      " 05:05:05 01/02/2020\n";
    for (int s = 0; s < m.nSignals; ++s)
        hea += "A0001.mat 16+" + std::to_string(m.offset) + " 1000/mV 16 0 0 0 0 " +
               kTwelve[s % 12] + "\n";
    hea += "#Age: 61\n";
    Write(QDir(folder).filePath(QStringLiteral("A0001.hea")), QByteArray::fromStdString(hea));
}

} // namespace

TEST(WfdbMat, AChallengeRecordOpensByItsHeaderOrItsMatFile) {
    QTemporaryDir dir;
    WriteMatRecord(dir.path(), {});
    const QString hea = dir.filePath(QStringLiteral("A0001.hea"));
    const QString mat = dir.filePath(QStringLiteral("A0001.mat"));
    std::string error;
    CLoadedRecord byHeader, byMat;
    const RecordFileType* type = nullptr;
    ASSERT_TRUE(OpenRecordFile(hea, byHeader, &error)) << error;
    ASSERT_TRUE(OpenRecordFile(mat, byMat, &error, &type)) << error;
    EXPECT_EQ(std::string(type->extension), ".mat");
    EXPECT_EQ(std::memcmp(byHeader.pRecord.get(), byMat.pRecord.get(), sizeof(ECG_RECORD)), 0);
    EXPECT_STREQ(byMat.pRecord->date, "2020-02-01 05:05:05");
    EXPECT_NEAR(byMat.dSourceSeconds, 11.0, 1e-9);
    EXPECT_EQ(byMat.absentLanes, 0);
    // 1000 units per mV: a sample of v units is v µV, 0.5 record units.
    CEcgSignal s;
    ASSERT_TRUE(OpenRecordSignal(mat, s, &error)) << error;
    ASSERT_EQ(s.leads.size(), 12u);
    ASSERT_EQ(s.Length(), 5500u);
    size_t differ = 0;
    for (int l = 0; l < 12; ++l)
        for (int i = 0; i < 5500; ++i)
            differ += s.leads[size_t(l)][size_t(i)] != float(SampleAt(l, i));
    EXPECT_EQ(differ, 0u);
    EXPECT_EQ(s.names[6], "V1");

    // What the matrix says must be what the header says.
    struct Case {
        const char* name;
        MatLayout layout;
        const char* why;
    };
    const Case cases[] = {
        {"rows", {.rows = 11}, "11 rows, the header names 12 signals"},
        {"double", {.type = 0}, "type 0 values"},
        {"offset", {.offset = 20}, "its samples begin at byte 24, the header says 20"},
        {"v5", {.type = 1000}, "no little-endian numeric matrix"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir bad;
        WriteMatRecord(bad.path(), c.layout);
        for (const char* file : {"A0001.hea", "A0001.mat"}) {
            CLoadedRecord doc;
            EXPECT_FALSE(OpenRecordFile(bad.filePath(QLatin1String(file)), doc, &error));
            EXPECT_NE(error.find(c.why), std::string::npos) << error;
        }
    }
    // A .mat without its header beside it, and one whose header names another file.
    QFile::remove(hea);
    CLoadedRecord doc;
    EXPECT_FALSE(OpenRecordFile(mat, doc, &error));
    EXPECT_NE(error.find("A0001.hea is not beside it"), std::string::npos) << error;
    Write(hea, "A0001 1 500 10\nB0002.mat 16+24 1000/mV 16 0 0 0 0 I\n");
    EXPECT_FALSE(OpenRecordFile(mat, doc, &error));
    EXPECT_NE(error.find("does not name A0001.mat"), std::string::npos) << error;
}

namespace {

struct IshneBeat {
    long sample;
    char label;
};

// The annotation file: "ANN  1.0", the header as the Holter file's, then at its offset a 32-bit
// start and four bytes per annotation (label, sub-label, 16-bit samples since the last one).
std::vector<IshneBeat> ReadIshneAnnotations(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<IshneBeat> out;
    if (b.size() < 530 || std::memcmp(b.data(), "ANN  1.0", 8) != 0)
        return out;
    const auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
               uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
    };
    size_t at = u32(22);
    long t = long(u32(at));
    for (at += 4; at + 4 <= b.size(); at += 4) {
        t += long(uint8_t(b[at + 2]) | uint8_t(b[at + 3]) << 8);
        out.push_back({t, b[at]});
    }
    return out;
}

} // namespace

// The shared Holter recording: its header as the file's notes give it, and the beats found over
// the whole file against its annotations, beat by beat within 150 ms (EC57's window).
TEST(Ishne, TheSharedHolterFileOpensAndItsBeatsAgreeWithItsAnnotations) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const std::string file = (root / "ishne" / "ECG_P28.01.ecg").string();
    const QString path = QFile::decodeName(file.c_str());
    CIshneReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(file, &error)) << error;
    EXPECT_EQ(reader.Header().m_nLeads, 12);
    EXPECT_EQ(reader.Rate(), 1000);
    EXPECT_EQ(reader.Frames(), 95573);

    CLoadedRecord doc;
    const RecordFileType* type = nullptr;
    ASSERT_TRUE(OpenRecordFile(path, doc, &error, &type)) << error;
    EXPECT_STREQ(type->name, "ISHNE Holter file");
    EXPECT_EQ(doc.absentLanes, 0) << "twelve standard leads";
    EXPECT_NEAR(doc.dSourceSeconds, 95.573, 1e-9);
    EXPECT_STREQ(doc.pRecord->date, "2000-01-01 07:00:00");

    std::vector<size_t> beats;
    FileBeatScan scan;
    ASSERT_TRUE(DetectFileBeats(
        path, [&](size_t b, analysis::BeatClass) { return beats.push_back(b), true; }, scan,
        &error))
        << error;
    EXPECT_EQ(scan.dRate, 1000);
    EXPECT_NEAR(scan.dSeconds, 95.573, 1e-9);

    // The artefact marks (X) are no beats: a detection there is neither right nor wrong.
    const std::vector<IshneBeat> ann =
        ReadIshneAnnotations((root / "ishne" / "ECG_P28.01.ann").string());
    ASSERT_GT(ann.size(), 50u);
    const long window = 150; // ms at 1000 Hz
    long tp = 0, fn = 0, fp = 0, artefacts = 0;
    std::vector<bool> used(beats.size(), false);
    for (const IshneBeat& a : ann) {
        size_t best = beats.size();
        for (size_t k = 0; k < beats.size(); ++k)
            if (!used[k] && std::abs(long(beats[k]) - a.sample) <= window &&
                (best == beats.size() ||
                 std::abs(long(beats[k]) - a.sample) < std::abs(long(beats[best]) - a.sample)))
                best = k;
        if (best < beats.size())
            used[best] = true;
        if (a.label == 'X') {
            ++artefacts;
            continue;
        }
        best < beats.size() ? ++tp : ++fn;
    }
    for (bool u : used)
        fp += !u;
    const double se = 100.0 * double(tp) / double(tp + fn);
    const double pp = 100.0 * double(tp) / double(tp + fp);
    std::printf("ISHNE ECG_P28.01: %zu annotations (%ld artefact marks), %zu beats found: TP %ld, "
                "FN %ld, FP %ld, Se %.1f %%, +P %.1f %%\n",
                ann.size(), artefacts, beats.size(), tp, fn, fp, se, pp);
    EXPECT_GE(se, 95.0);
    EXPECT_GE(pp, 95.0);
}

// Each type knows its own files by their start, and only its own: a file of every type that opens,
// under a name that says nothing, is claimed by exactly its type and opens as it.
TEST(RecordFileTyping, EveryTypeClaimsItsOwnFilesAndNoOther) {
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    std::string error;
    std::vector<std::pair<QString, const RecordFileType*>> files;
    for (const RecordFileType& t : RecordFileTypes()) {
        if (!t.read || !t.write)
            continue;
        const QString saved = dir.filePath(QStringLiteral("saved") + QLatin1String(t.extension));
        ASSERT_TRUE(SaveRecordFile(saved, t, *record, &card, &error)) << error;
        files.emplace_back(saved, &t);
    }
    const auto named = [](const char* name) {
        for (const RecordFileType& t : RecordFileTypes())
            if (std::string(t.name) == name)
                return &t;
        return static_cast<const RecordFileType*>(nullptr);
    };
    const QString ishne = dir.filePath(QStringLiteral("holter.ecg"));
    Write(ishne, IshneFile({}));
    ASSERT_NE(named("ISHNE Holter file"), nullptr);
    files.emplace_back(ishne, named("ISHNE Holter file"));
    WriteMatRecord(dir.path(), {});
    files.emplace_back(dir.filePath(QStringLiteral("A0001.hea")),
                       RecordFileTypeOf(QStringLiteral(".hea")));
    files.emplace_back(dir.filePath(QStringLiteral("A0001.mat")),
                       RecordFileTypeOf(QStringLiteral(".mat")));

    for (const auto& [path, type] : files) {
        SCOPED_TRACE(type->name);
        const QByteArray head = Bytes(path).left(int(kClaimHeadBytes));
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(head.constData()),
                                             size_t(head.size()));
        std::string claimedBy;
        for (const RecordFileType& t : RecordFileTypes())
            if (t.claims && t.claims(bytes))
                claimedBy += std::string(claimedBy.empty() ? "" : ", ") + t.name;
        EXPECT_EQ(claimedBy, type->name);
        // Renamed beside the original, so that a WFDB record's header still finds its files.
        const QString renamed = path + QStringLiteral(".bin");
        ASSERT_TRUE(QFile::copy(path, renamed));
        std::string why;
        EXPECT_EQ(RecordFileTypeOfFile(renamed, &why), type) << why;
        if (std::string(type->extension) == ".mat")
            continue; // its header is found by its own name
        CLoadedRecord doc;
        const RecordFileType* opened = nullptr;
        EXPECT_TRUE(OpenRecordFile(renamed, doc, &error, &opened)) << error;
        EXPECT_EQ(opened, type);
    }
}
