// SCP-ECG import: files SaveScp wrote read back whole, values of other writers converted, and
// damaged or foreign files refused with their reason and nothing left in the record or card.

#include "scp_test_data.h"

#include "storage/scp_export.h"
#include "storage/scp_file.h"
#include "storage/scp_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

using namespace scp_test;
using testing::HasSubstr;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes SaveBytes(int nLeadSystem, uint64_t device_id, const PATIENT_CARD& card,
                const SYSTEMTIME& t) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.scp"));
    ScpDeviceValues device = MakeDevice(nLeadSystem);
    device.m_stDevice = t;
    const ScpSaveResult r = SaveScp(*MakeRecord(nLeadSystem, device_id), card, device,
                                    QFile::encodeName(path).toStdString(), &t);
    EXPECT_TRUE(r.bOk) << r.strError;
    QFile f(path);
    const QByteArray all = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    return Bytes(all.begin(), all.end());
}

struct ReadBack {
    bool bOk = false;
    std::string strError;
    std::unique_ptr<ECG_RECORD> rec = std::make_unique<ECG_RECORD>();
    PATIENT_CARD card;
};

ReadBack Read(const Bytes& file) {
    ReadBack r;
    std::memset(r.rec.get(), 0xAA, sizeof(ECG_RECORD)); // stale values must not survive
    std::memset(&r.card, 0xAA, sizeof r.card);
    r.bOk = ReadScpRecord(file.data(), file.size(), *r.rec, r.card, &r.strError);
    return r;
}

template <class T> bool AllZero(const T& v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    return std::all_of(p, p + sizeof v, [](uint8_t b) { return b == 0; });
}

ScpSectionPointer Entry(const Bytes& file, uint16_t id) {
    std::vector<ScpSectionPointer> table;
    EXPECT_TRUE(ReadScpSectionTable(file, table, nullptr));
    for (const ScpSectionPointer& p : table)
        if (p.nId == id)
            return p;
    ADD_FAILURE() << "no entry for section " << id;
    return {};
}

Bytes SectionBody(const Bytes& file, uint16_t id) {
    const ScpSectionPointer p = Entry(file, id);
    return Bytes(file.begin() + p.nIndex - 1 + 16, file.begin() + p.nIndex - 1 + p.nLength);
}

Bytes WithSection(Bytes file, uint16_t id, const Bytes& body) {
    std::string why;
    EXPECT_TRUE(ReplaceScpSection(file, id, body, &why)) << why;
    return file;
}

void Put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, uint16_t(v));
    Put16(b, at + 2, uint16_t(v >> 16));
}

// After an edit of Section 0: its CRC, the file length and the file CRC made right again.
Bytes FixedUp(Bytes file) {
    const uint32_t s0Length = uint32_t(file[10] | file[11] << 8 | file[12] << 16 | file[13] << 24);
    Put16(file, 6, ScpCrc(&file[8], s0Length - 2));
    Put32(file, 2, uint32_t(file.size()));
    Put16(file, 0, ScpCrc(&file[2], file.size() - 2));
    return file;
}

Bytes Tag(uint8_t id, const Bytes& value) {
    Bytes t = {id, uint8_t(value.size()), uint8_t(value.size() >> 8)};
    t.insert(t.end(), value.begin(), value.end());
    return t;
}

// Section 1 of `s` with `extra` tags added before its end tag.
Bytes Section1(const SCP_SECTION1& s, std::initializer_list<Bytes> extra = {}) {
    Bytes tags = EncodeScpSection1Tags(s);
    for (const Bytes& tag : extra)
        tags.insert(tags.end() - 3, tag.begin(), tag.end());
    return tags;
}

SCP_SECTION1 BareSection1() {
    SCP_SECTION1 s;
    s.stAcquisition = MakeTime(2012, 5, 4, 14, 5, 0);
    return s;
}

TEST(ScpImport, SavedRecordsOfEveryLeadSystemReadBackWhole) {
    const struct {
        int nLeadSystem;
        uint64_t device_id, wantDevice;
        PATIENT_CARD card;
        SYSTEMTIME t;
        const char* date;
    } cases[] = {
        {1, DeviceId(0x12345678u, 7), DeviceId(0x12345678u, 7), MakeFullCard(),
         MakeTime(2012, 5, 4, 14, 5, 0), "2012-05-04 14:05:00"},
        {2, 0, 0, MakeCardWithoutAddress(), MakeTime(2024, 2, 29, 7, 3, 9), "2024-02-29 07:03:09"},
        // Bit 31 of the serial is not in the serial number text.
        {3, DeviceId(0x80004001u, 255), DeviceId(0x4001u, 255), MakeFullCard(),
         MakeTime(1999, 12, 31, 23, 59, 59), "1999-12-31 23:59:59"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nLeadSystem);
        const ReadBack r = Read(SaveBytes(c.nLeadSystem, c.device_id, c.card, c.t));
        ASSERT_TRUE(r.bOk) << r.strError;

        const auto source = MakeRecord(c.nLeadSystem, 0);
        auto want = std::make_unique<ECG_RECORD>();
        std::memset(want.get(), 0, sizeof(ECG_RECORD));
        const int channels = ScpChannels(c.nLeadSystem);
        int wrong = 0;
        for (int j = 0; j < kPoints; ++j) {
            for (int k = 0; k < channels; ++k) {
                Sample(want->curves_buf, j, k) = Sample(*source, j, k);
                if (Sample(*r.rec, j, k) != Sample(*source, j, k) && ++wrong < 5)
                    ADD_FAILURE() << "point " << j << " lane " << k;
            }
        }
        EXPECT_EQ(wrong, 0);
        RECORD_INFO info;
        info.leadSystem = uint32_t(c.nLeadSystem);
        info.serial = uint32_t(c.wantDevice);
        info.serialHi = uint32_t(c.wantDevice >> 32);
        WriteRecordInfo(want->curves_buf, info);
        want->patient_id = 0xFFFFFFFFu;
        want->device_id = c.wantDevice;
        std::strcpy(want->date, c.date);
        EXPECT_STREQ(r.rec->date, c.date);
        EXPECT_EQ(r.rec->device_id, c.wantDevice);
        EXPECT_EQ(std::memcmp(r.rec.get(), want.get(), sizeof(ECG_RECORD)), 0)
            << "unused lanes, info block, ids and texts";

        PATIENT_CARD wantCard = c.card; // all but the doctor, whom the file does not name
        std::memset(wantCard.doctor_name, 0, sizeof wantCard.doctor_name);
        std::memset(wantCard.doctor_phone, 0, sizeof wantCard.doctor_phone);
        EXPECT_STREQ(r.card.last_name, c.card.last_name);
        EXPECT_EQ(std::memcmp(&r.card, &wantCard, sizeof wantCard), 0);
    }
}

TEST(ScpImport, ValuesOfOtherWritersAreConverted) {
    const Bytes good = SaveBytes(1, 0, MakeFullCard(), MakeTime(2012, 5, 4, 14, 5, 0));

    // Height (cm, inch, mm) and weight (kg, g, lb, oz) units; unknown units give 0.
    const struct {
        uint8_t heightUnit;
        uint16_t height, wantHeight;
        uint8_t weightUnit;
        uint16_t weight, wantWeight;
    } units[] = {{0, 180, 180, 0, 80, 80},
                 {2, 70, 178, 2, 64500, 65},
                 {3, 1805, 181, 3, 176, 80},
                 {2, 65535, 65535, 4, 2822, 80},
                 {9, 180, 0, 5, 80, 0}};
    for (const auto& u : units) {
        const Bytes s1 = Section1(
            BareSection1(), {Tag(6, {uint8_t(u.height), uint8_t(u.height >> 8), u.heightUnit}),
                             Tag(7, {uint8_t(u.weight), uint8_t(u.weight >> 8), u.weightUnit}),
                             Tag(99, {1, 2})}); // an unknown tag
        const ReadBack r = Read(WithSection(good, 1, s1));
        ASSERT_TRUE(r.bOk) << r.strError;
        EXPECT_EQ(r.card.height, u.wantHeight) << int(u.heightUnit);
        EXPECT_EQ(r.card.weight, u.wantWeight) << int(u.weightUnit);
    }

    // Texts longer than the card's fields are cut, keeping their zero; sex 2 is female; absent
    // birth date and years of residence.
    SCP_SECTION1 s = BareSection1();
    s.strLastName = std::string(40, '\xC8');
    s.address[5] = std::string(300, 'h');
    s.nSex = 2;
    ReadBack r = Read(WithSection(good, 1, Section1(s)));
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(std::string(r.card.last_name), std::string(29, '\xC8'));
    EXPECT_EQ(std::string(r.card.house), std::string(128, 'h'));
    EXPECT_EQ(r.card.first_name[0], 0);
    EXPECT_EQ(r.card.sex, 0);
    EXPECT_EQ(r.card.birth_year + r.card.birth_month + r.card.birth_day, 0);
    EXPECT_EQ(r.card.years_of_residence, -1) << "what SaveScp leaves out";

    // Names by the language code of tag 14: Windows-1251 bytes for 0x13 (ours), Latin-1 for
    // any other code, re-coded for the card ('?' where Windows-1251 has no letter).
    for (const auto& [language, want] :
         {std::pair<uint8_t, std::string>{0x13, "\xC8\xA9"}, {0x01, "?\xA9"}, {0x00, "?\xA9"}}) {
        s = BareSection1();
        s.tag14 = MakeScpTag14(0, 6, 10);
        s.tag14.nLanguageSupport = language;
        s.strLastName = "\xC8\xA9"; // "И©" in Windows-1251, "È©" in Latin-1
        r = Read(WithSection(good, 1, Section1(s)));
        ASSERT_TRUE(r.bOk) << r.strError;
        EXPECT_EQ(std::string(r.card.last_name), want) << int(language);
    }

    // Only serial number texts of our shape give a device number.
    const std::pair<std::string, uint64_t> serials[] = {
        {ScpSerialNumber(DeviceId(0x7FFFFFFFu, 255)), DeviceId(0x7FFFFFFFu, 255)},
        {"K.100.00000.0001", 1},
        {"K.107.18641.5752 ", 0},
        {"K.1007.18641.5752", 0},
        {"K.10256.00000.0001", 0},
        {"K.107.018641.5752", 0},
        {"K.107.18641", 0},
        {"K.107.131072.0000", 0},
        {"X.107.18641.5752", 0},
        {"", 0}};
    for (const auto& [text, id] : serials) {
        s = BareSection1();
        s.tag14 = MakeScpTag14(0, 6, 10);
        s.tag14.strSerialNumber = text;
        r = Read(WithSection(good, 1, Section1(s)));
        ASSERT_TRUE(r.bOk) << r.strError;
        EXPECT_EQ(r.rec->device_id, id) << text;
        EXPECT_EQ(ReadRecordInfo(r.rec->curves_buf).serial, uint32_t(id)) << text;
    }

    // A lead that starts one sample later (V6, the last one) keeps its time.
    Bytes s3 = SectionBody(good, 3), s6 = SectionBody(good, 6);
    Put32(s3, 2 + 9 * 11, 2);
    Put16(s6, 6 + 2 * 11, 2 * 4095);
    s6.erase(s6.end() - 2 * 4096, s6.end() - 2 * 4095);
    r = Read(WithSection(WithSection(good, 3, s3), 6, s6));
    ASSERT_TRUE(r.bOk) << r.strError;
    const auto source = MakeRecord(1, 0);
    EXPECT_EQ(Sample(*r.rec, 0, 11), 0);
    for (int j = 1; j < kPoints; ++j)
        ASSERT_EQ(Sample(*r.rec, j, 11), Sample(*source, j, 11)) << j;
    EXPECT_EQ(Sample(*r.rec, 0, 10), Sample(*source, 0, 10));

    // Other amplitude units: rescaled to 2 uV counts, rounded, clamped.
    for (const uint16_t nanovolts : {1000, 5000, 40000}) {
        s6 = SectionBody(good, 6);
        Put16(s6, 0, nanovolts);
        r = Read(WithSection(good, 6, s6));
        ASSERT_TRUE(r.bOk) << r.strError;
        int wrong = 0;
        for (int j = 0; j < kPoints; ++j)
            for (int k = 0; k < kLeads; ++k) {
                const double want = std::round(Sample(*source, j, k) * nanovolts / 2000.0);
                wrong += Sample(*r.rec, j, k) != std::clamp(want, -32768.0, 32767.0);
            }
        EXPECT_EQ(wrong, 0) << nanovolts;
    }
}

TEST(ScpImport, DamagedOrForeignFilesAreRefusedWithTheirReason) {
    const Bytes good =
        SaveBytes(1, DeviceId(0x12345678u, 7), MakeFullCard(), MakeTime(2012, 5, 4, 14, 5, 0));
    ASSERT_TRUE(Read(good).bOk);
    auto section = [&](uint16_t id, auto change) {
        Bytes body = SectionBody(good, id);
        change(body);
        return WithSection(good, id, body);
    };
    auto table = [&](uint16_t id, size_t field, uint32_t value) {
        Bytes file = good;
        Put32(file, Entry(good, id).nEntryOffset + field, value);
        return FixedUp(file);
    };
    auto section1At = [&](const SYSTEMTIME& t) {
        SCP_SECTION1 s = BareSection1();
        s.stAcquisition = t;
        return WithSection(good, 1, Section1(s));
    };
    Bytes withSection2 = good; // Huffman tables (the default one, 19999) in a Section 2
    const size_t s2At = withSection2.size();
    withSection2.resize(s2At + 18);
    Put16(withSection2, s2At + 2, 2);
    Put32(withSection2, s2At + 4, 18);
    Put16(withSection2, s2At + 16, 19999);
    Put16(withSection2, s2At, ScpCrc(&withSection2[s2At + 2], 16));
    Put32(withSection2, Entry(good, 2).nEntryOffset + 2, 18);
    Put32(withSection2, Entry(good, 2).nEntryOffset + 6, uint32_t(s2At + 1));
    Bytes flipped = good;
    flipped[Entry(good, 6).nIndex + 1000] ^= 0x10; // a sample

    const std::pair<Bytes, const char*> cases[] = {
        {{}, "not an SCP-ECG file"},
        {Bytes(good.begin(), good.begin() + 21), "not an SCP-ECG file"},
        {Bytes(good.begin(), good.end() - 1), "length"},
        {FixedUp(Bytes(good.begin(), good.begin() + ptrdiff_t(good.size() / 2))), "section table"},
        {flipped, "file CRC"},
        {FixedUp(flipped), "CRC of section 6"},
        {table(6, 6, uint32_t(good.size())), "section table"},
        {table(1, 2, 0), "section 1 is missing"},
        {FixedUp(withSection2), "Huffman"},
        {section(3, [](Bytes& b) { b[0] = 255; }), "lead count (255)"},
        {section(3, [](Bytes& b) { b[1] |= 1; }), "reference beat"},
        {section(3, [](Bytes& b) { b[2 + 8] = 9; }), "codes 9, 2, 61"},
        {section(3, [](Bytes& b) { std::swap(b[2 + 8], b[2 + 9 + 8]); }), "codes 2, 1, 61"},
        {section(3, [](Bytes& b) { Put32(b, 2, 0); }), "lead 1 an invalid sample range"},
        {section(3,
                 [](Bytes& b) {
                     for (size_t k = 0; k < 12; ++k)
                         Put32(b, 2 + 9 * k + 4, 4097);
                 }),
         "more than 4096"},
        {section(6, [](Bytes& b) { Put16(b, 6 + 2 * 11, 4096); }), "16-bit samples of lead 12"},
        {section(6, [](Bytes& b) { b.resize(b.size() - 2); }), "run past"},
        {section(6, [](Bytes& b) { b[4] = 1; }), "difference encoding"},
        {section(6, [](Bytes& b) { b[5] = 1; }), "bimodal"},
        {section(6, [](Bytes& b) { Put16(b, 0, 0); }), "amplitude"},
        {WithSection(good, 1, {0, 255, 0, 'A'}), "tag 0 runs past"},
        {WithSection(good, 1, {255, 0, 0}), "no acquisition date"},
        {section1At(MakeTime(2013, 2, 29, 12, 0, 0)), "not a valid date"},
        {section1At(MakeTime(2012, 5, 4, 24, 0, 0)), "not a valid date"},
    };
    for (const auto& [file, reason] : cases) {
        SCOPED_TRACE(reason);
        const ReadBack r = Read(file);
        EXPECT_FALSE(r.bOk);
        EXPECT_THAT(r.strError, HasSubstr(reason));
        EXPECT_TRUE(AllZero(*r.rec) && AllZero(r.card)) << "cleared on refusal";
    }

    // Noise, half of it with a file length and CRC that hold, so that Section 0 is read.
    std::mt19937 random(1);
    for (int i = 0; i < 50; ++i) {
        Bytes noise(random() % 4000);
        for (uint8_t& b : noise)
            b = uint8_t(random());
        if (i % 2 && noise.size() >= 6) {
            Put32(noise, 2, uint32_t(noise.size()));
            Put16(noise, 0, ScpCrc(&noise[2], noise.size() - 2));
        }
        const ReadBack r = Read(noise);
        EXPECT_FALSE(r.bOk);
        EXPECT_FALSE(r.strError.empty());
        EXPECT_TRUE(AllZero(*r.rec) && AllZero(r.card));
    }
}

} // namespace
