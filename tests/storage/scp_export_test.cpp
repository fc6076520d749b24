// SCP-ECG export: files read back through libbiosig's own reader and through a small tag reader
// of the test's, the Section 1 rules, failures, and the section replacement on its own.

#include "scp_test_data.h"

#include "storage/scp_export.h"
#include "storage/scp_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <biosig.h>
#include <csignal>
#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>

using namespace scp_test;
using testing::HasSubstr;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return Bytes(all.begin(), all.end());
}

Bytes Cp1251Z(const char* utf8) {
    const QByteArray b = ToCp1251(QString::fromUtf8(utf8));
    Bytes v(b.begin(), b.end());
    v.push_back(0);
    return v;
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
}

// Section 1's tags by number, read straight from the bytes (section table entry 1, then tags).
std::map<int, Bytes> Section1Tags(const Bytes& file) {
    std::map<int, Bytes> tags;
    if (file.size() < 22)
        return tags;
    const uint32_t s0Length = Le32(&file[6 + 4]);
    for (size_t at = 6 + 16; at < 6 + s0Length; at += 10) {
        if (file[at] != 1 || file[at + 1] != 0)
            continue;
        const size_t start = Le32(&file[at + 6]) - 1, length = Le32(&file[at + 2]);
        for (size_t t = start + 16; t + 3 <= start + length;) {
            const int tag = file[t];
            const size_t len = size_t(file[t + 1] | file[t + 2] << 8);
            tags[tag] =
                Bytes(file.begin() + ptrdiff_t(t + 3), file.begin() + ptrdiff_t(t + 3 + len));
            if (tag == 255)
                break;
            t += 3 + len;
        }
    }
    return tags;
}

// Tag 14's texts: the analysing program, serial number, system software, SCP implementation and
// manufacturer, each zero-terminated after the 36 fixed bytes.
std::vector<std::string> Tag14Texts(const Bytes& tag14) {
    std::vector<std::string> texts;
    std::string cur;
    for (size_t i = 36; i < tag14.size(); ++i) {
        if (tag14[i] == 0) {
            texts.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(char(tag14[i]));
        }
    }
    return texts;
}

struct LibbiosigView {
    int ns = 0;
    double sampleRate = 0;
    size_t samples = 0;
    std::vector<uint16_t> leadCodes;
    std::vector<double> cal;
    std::vector<double> data; // column-wise, samples x ns
    std::string name;
};

LibbiosigView ReadWithLibbiosig(const QString& path) {
    LibbiosigView v;
    HDRTYPE* h = constructHDR(0, 0);
    h->FLAG.UCAL = 1;
    h->FLAG.ANONYMOUS = 0;
    h->FLAG.ROW_BASED_CHANNELS = 0;
    if (sopen(QFile::encodeName(path).constData(), "rb", h) && h->AS.B4C_ERRNUM == B4C_NO_ERROR) {
        v.ns = h->NS;
        v.sampleRate = h->SampleRate;
        v.samples = size_t(h->NRec) * h->SPR;
        for (int k = 0; k < h->NS; ++k) {
            v.leadCodes.push_back(h->CHANNEL[k].LeadIdCode);
            v.cal.push_back(h->CHANNEL[k].Cal * PhysDimScale(h->CHANNEL[k].PhysDimCode) * 1e6);
        }
        v.name = h->Patient.Name;
        const size_t got = sread(nullptr, 0, size_t(h->NRec), h);
        if (got == size_t(h->NRec))
            v.data.assign(h->data.block, h->data.block + h->data.size[0] * h->data.size[1]);
    }
    sclose(h);
    std::free(h->aECG); // the reader's SCP block, which destructHDR leaves
    h->aECG = nullptr;
    destructHDR(h);
    return v;
}

QString Save(const QTemporaryDir& dir, const char* name, const ECG_RECORD& rec,
             const PATIENT_CARD& card, const ScpDeviceValues& device, const SYSTEMTIME& now) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    const ScpSaveResult r = SaveScp(rec, card, device, QFile::encodeName(path).toStdString(), &now);
    EXPECT_TRUE(r.bOk) << r.strError;
    EXPECT_TRUE(r.strError.empty());
    return path;
}

TEST(ScpExport, TwelveLeadRecordReadsBackThroughLibbiosigSampleForSample) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("record.scp"));
    {
        QFile old(path); // an existing file is replaced
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("not an ECG");
    }
    const auto rec = MakeRecord(1, DeviceId(0x12345678u, 7));
    const PATIENT_CARD card = MakeFullCard();
    Save(dir, "record.scp", *rec, card, MakeDevice(1), MakeTime(2012, 6, 1, 9, 0, 0));

    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("record.scp")})
        << "no temporary file is left behind";
    const Bytes file = ReadBytes(path);
    EXPECT_TRUE(ScpCrcsOk(file));

    const LibbiosigView v = ReadWithLibbiosig(path);
    ASSERT_EQ(v.ns, 12);
    EXPECT_EQ(v.sampleRate, 400.0);
    ASSERT_EQ(v.samples, 4096u);
    EXPECT_EQ(v.leadCodes, (std::vector<uint16_t>{1, 2, 61, 62, 63, 64, 3, 4, 5, 6, 7, 8}));
    for (double c : v.cal)
        EXPECT_DOUBLE_EQ(c, 2.0) << "one count is 2 uV";
    // The reader takes language code 0x13 as ISO-8859-5 and gives UTF-8: other letters, but one
    // for each of the card's, in three parts.
    const QStringList parts = QString::fromUtf8(v.name.c_str()).split(QChar(0x1F));
    ASSERT_EQ(parts.size(), 3) << v.name;
    EXPECT_EQ(parts[0].size(), 6);
    EXPECT_EQ(parts[1].size(), 4);
    EXPECT_EQ(parts[2].size(), 8);
    ASSERT_EQ(v.data.size(), size_t(4096 * 12));
    int mismatches = 0;
    for (int k = 0; k < 12; ++k)
        for (int j = 0; j < 4096; ++j)
            if (v.data[size_t(k) * 4096 + size_t(j)] != Sample(*rec, j, k) && ++mismatches < 5)
                ADD_FAILURE() << "lead " << k << " sample " << j;
    EXPECT_EQ(mismatches, 0);
}

TEST(ScpExport, LeadSystemsTwoAndThreeCarryTheirLeadsWithTheRecordsPoints) {
    QTemporaryDir dir;
    const struct {
        int leadSystem;
        std::vector<uint16_t> codes;
    } cases[] = {
        {2, {70, 71, 72}}, {3, {75, 76, 77, 78}}, {7, {1, 2, 61, 62, 63, 64, 3, 4, 5, 6, 7, 8}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.leadSystem);
        const auto rec = MakeRecord(c.leadSystem, 0);
        const QString path = Save(dir, "ls.scp", *rec, MakeCardWithoutAddress(),
                                  MakeDevice(c.leadSystem), MakeTime(2012, 6, 1, 9, 0, 0));
        const LibbiosigView v = ReadWithLibbiosig(path);
        ASSERT_EQ(v.ns, int(c.codes.size()));
        EXPECT_EQ(v.leadCodes, c.codes);
        ASSERT_EQ(v.samples, 4096u) << "the record's points, nothing read past them";
        ASSERT_EQ(v.data.size(), 4096 * c.codes.size());
        for (size_t k = 0; k < c.codes.size(); ++k)
            for (int j = 0; j < 4096; j += 97)
                ASSERT_EQ(v.data[k * 4096 + size_t(j)], Sample(*rec, j, int(k))) << k << " " << j;
    }
}

TEST(ScpExport, OptionalTagsFollowTheCard) {
    QTemporaryDir dir;
    const auto rec = MakeRecord(1, 0);
    PATIENT_CARD card = MakeCardWithoutAddress();
    card.height = 300; // beyond the library's 8-bit field
    ScpDeviceValues device = MakeDevice(1);
    device.m_nProgVersion = 0;
    auto tags = Section1Tags(
        ReadBytes(Save(dir, "a.scp", *rec, card, device, MakeTime(2012, 12, 31, 23, 59, 59))));
    EXPECT_EQ(tags[8], Bytes{2}) << "sex flag 0: female";
    EXPECT_EQ(tags[6], (Bytes{0x2C, 0x01, 1})) << "the whole height, not its low byte";
    for (int t = 200; t <= 205; ++t)
        EXPECT_EQ(tags.count(t), 0u) << "empty address text " << t;
    EXPECT_EQ(tags[206], (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Tag14Texts(tags[14]),
              (std::vector<std::string>{"ORMIK300 v.1.1", "", "", "OSCP v.1.02", "QELT"}))
        << "no serial for device 0, no system software for version 0";

    card.years_of_residence = -1;
    card.weight = 0;
    card.birth_year = 65535; // the dialog held no valid date
    card.sex = kSexNotGiven; // nobody chose
    card.first_name[0] = 0;
    tags = Section1Tags(ReadBytes(
        Save(dir, "b.scp", *rec, card, MakeDevice(1), MakeTime(2012, 12, 31, 23, 59, 59))));
    EXPECT_EQ(tags.count(206), 0u);
    EXPECT_EQ(tags.count(7), 0u) << "weight 0 is left out";
    EXPECT_EQ(tags.count(4), 0u);
    EXPECT_EQ(tags.count(5), 0u);
    EXPECT_EQ(tags[8], Bytes{0}) << "a sex nobody chose is \"not known\", never female";
    EXPECT_EQ(tags.count(1), 0u) << "an empty first name is left out";
    EXPECT_EQ(tags[0], Cp1251Z("Смирнова"));
    EXPECT_EQ(tags[3], Cp1251Z("Юрьевна")) << "the patronymic stays the second last name";
}

TEST(ScpExport, SaveThatCannotCreateTheFileFailsVisibly) {
    // Tests run as root, for whom permissions stop nothing: a path under a regular file and a
    // path in /proc fail for real.
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const auto rec = MakeRecord(1, 0);
    const SYSTEMTIME now = MakeTime(2012, 6, 1, 9, 0, 0);
    for (const std::string& path : {QFile::encodeName(plain).toStdString() + "/x.scp",
                                    std::string("/proc/velmora-test.scp")}) {
        const ScpSaveResult r = SaveScp(*rec, MakeFullCard(), MakeDevice(1), path, &now);
        EXPECT_FALSE(r.bOk) << path;
        EXPECT_THAT(r.strError, HasSubstr(path));
        EXPECT_FALSE(QFile::exists(QFile::decodeName(path.c_str())));
    }
}

TEST(ScpExport, WriteCutShortFailsAndKeepsTheOldFile) {
    // A file size limit makes the writes fail half-way, as a full disk does; libbiosig itself
    // reports nothing then.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.scp"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the old file");
    }
    const auto rec = MakeRecord(1, 0);
    const SYSTEMTIME now = MakeTime(2012, 6, 1, 9, 0, 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 40000;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const ScpSaveResult r =
        SaveScp(*rec, MakeFullCard(), MakeDevice(1), QFile::encodeName(path).toStdString(), &now);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(r.bOk);
    EXPECT_FALSE(r.strError.empty());
    const Bytes kept = ReadBytes(path);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "the old file");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.scp")});
}

// A file with Sections 0, 1 and 2, Section 1 stored before Section 2, the way other writers
// order them (libbiosig stores Section 1 last).
Bytes ThreeSectionFile() {
    auto section = [](uint16_t id, Bytes body) {
        Bytes s(16, 0);
        s.insert(s.end(), body.begin(), body.end());
        s[2] = uint8_t(id);
        s[4] = uint8_t(s.size());
        s[8] = s[9] = 20;
        const uint16_t crc = ScpCrc(s.data() + 2, s.size() - 2);
        s[0] = uint8_t(crc);
        s[1] = uint8_t(crc >> 8);
        return s;
    };
    const Bytes s1 = section(1, {2, 1, 0, 0, 255, 0, 0, 0});
    const Bytes s2 = section(2, {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6});
    Bytes pointers;
    const uint32_t s0Length = 16 + 3 * 10;
    uint32_t index = 6 + s0Length + 1;
    for (auto [id, len] : {std::pair<uint16_t, uint32_t>{0, s0Length},
                           {1, uint32_t(s1.size())},
                           {2, uint32_t(s2.size())}}) {
        const uint32_t at = id == 0 ? 7 : index;
        if (id != 0)
            index += len;
        const uint8_t e[10] = {uint8_t(id), 0, uint8_t(len), uint8_t(len >> 8),
                               0,           0, uint8_t(at),  uint8_t(at >> 8),
                               0,           0};
        pointers.insert(pointers.end(), e, e + 10);
    }
    Bytes s0 = section(0, pointers);
    s0[4] = uint8_t(s0Length);
    std::copy_n("SCPECG", 6, s0.begin() + 10);
    const uint16_t crc0 = ScpCrc(s0.data() + 2, s0.size() - 2);
    s0[0] = uint8_t(crc0);
    s0[1] = uint8_t(crc0 >> 8);
    Bytes file(6, 0);
    file.insert(file.end(), s0.begin(), s0.end());
    file.insert(file.end(), s1.begin(), s1.end());
    file.insert(file.end(), s2.begin(), s2.end());
    file[2] = uint8_t(file.size());
    const uint16_t crc = ScpCrc(file.data() + 2, file.size() - 2);
    file[0] = uint8_t(crc);
    file[1] = uint8_t(crc >> 8);
    return file;
}

TEST(ScpFile, ReplacingSectionOneMovesTheSectionsAfterIt) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(ScpCrc(check, sizeof check), 0x29B1) << "CRC-CCITT with initial value 0xFFFF";

    Bytes file = ThreeSectionFile();
    ASSERT_TRUE(ScpCrcsOk(file));
    const Bytes body = {0, 4, 0, 'A', 'B', 'C', 0, 255, 0, 0, 7}; // odd: padded to even
    std::string error;
    ASSERT_TRUE(ReplaceScpSection(file, 1, body, &error)) << error;
    EXPECT_TRUE(ScpCrcsOk(file));
    std::vector<ScpSectionPointer> table;
    ASSERT_TRUE(ReadScpSectionTable(file, table, &error)) << error;
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[1].nLength, 16u + 12u);
    EXPECT_EQ(table[2].nIndex, table[1].nIndex + table[1].nLength);
    EXPECT_EQ(
        Bytes(file.begin() + table[1].nIndex - 1 + 16, file.begin() + table[1].nIndex - 1 + 27),
        body);
    EXPECT_EQ(Bytes(file.begin() + table[2].nIndex - 1 + 16, file.end()),
              (Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}))
        << "Section 2 moved whole";

    EXPECT_FALSE(ReplaceScpSection(file, 5, body, &error)) << "no such section";
    Bytes cut(file.begin(), file.end() - 2);
    EXPECT_FALSE(ReadScpSectionTable(cut, table, &error)) << "a file cut short is refused";
    EXPECT_FALSE(ScpCrcsOk(cut));
    Bytes flipped = file;
    flipped.back() ^= 1;
    EXPECT_FALSE(ScpCrcsOk(flipped));
}

} // namespace
