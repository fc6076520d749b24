// Other writers' SCP-ECG codings read by our own signal reader, from files made of known samples:
// the default Huffman table and tables of the file's own (with a switch and an escape), first
// and second differences, 8 leads with their derived limb leads, reference beat subtraction and
// bimodal compression; the writer's measurements; and files broken in each way a cart's file
// can be, refused with their reason.

#include "storage/scp_coded_file.h"
#include "storage/scp_signal.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace scp_coded;

namespace {

// A lead of its own per code: slow waves with steps that need both escapes.
std::vector<int> Wave(int lead, int count) {
    std::vector<int> x(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        x[size_t(i)] = int(300 * std::sin(i * 0.02 * (lead + 1))) + (i % 700 == 350 ? 2000 : 0) +
                       (i % 250 == 100 ? -90 : 0) + lead * 7;
    return x;
}

bool Read(const Bytes& file, CEcgSignal& s, std::string* error, bool* unsupported = nullptr) {
    return ReadScpSignal(file.data(), file.size(), s, error, unsupported);
}

int IndexOf(const CEcgSignal& s, const std::string& name) {
    for (size_t k = 0; k < s.names.size(); ++k)
        if (s.names[k] == name)
            return int(k);
    return -1;
}

// I, II, V1-V6 with the default table and `order` differences, 2.5 µV units at 500 Hz.
Bytes EightLeadFile(int order, int count, std::vector<std::vector<int>>& leads) {
    const uint8_t codes[] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<CLeadDef> defs;
    std::vector<Bytes> streams;
    leads.clear();
    for (int k = 0; k < 8; ++k) {
        leads.push_back(Wave(k, count));
        defs.push_back({codes[k], 1, uint32_t(count)});
        streams.push_back(DefaultCoded(Differences(leads.back(), order)));
    }
    return BuildFile({{1, MinimalSection1()},
                      {2, DefaultTableSection()},
                      {3, Section3(defs, 0x44)},
                      {6, CodedSection(2500, 2000, uint8_t(order), 0, streams)}});
}

} // namespace

TEST(ScpSignal, DefaultTableAndDifferencesGiveTheSamplesAndTheDerivedLimbLeads) {
    for (int order : {0, 1, 2}) {
        SCOPED_TRACE(order);
        std::vector<std::vector<int>> leads;
        const Bytes file = EightLeadFile(order, 5000, leads);
        CEcgSignal s;
        std::string error;
        ASSERT_TRUE(Read(file, s, &error)) << error;
        EXPECT_DOUBLE_EQ(s.dRate, 500.0);
        ASSERT_EQ(s.leads.size(), 12u);
        ASSERT_EQ(s.Length(), 5000u);
        const char* names[] = {"I", "II", "V1", "V2", "V3", "V4", "V5", "V6"};
        for (int k = 0; k < 8; ++k) {
            ASSERT_EQ(s.names[size_t(k)], names[k]);
            for (size_t i = 0; i < 5000; ++i)
                ASSERT_EQ(s.leads[size_t(k)][i], float(leads[size_t(k)][i] * 2.5)) << k << " " << i;
        }
        const std::vector<float>&I = s.leads[0], &II = s.leads[1];
        const int III = IndexOf(s, "III"), aVR = IndexOf(s, "aVR"), aVL = IndexOf(s, "aVL"),
                  aVF = IndexOf(s, "aVF");
        ASSERT_TRUE(III >= 0 && aVR >= 0 && aVL >= 0 && aVF >= 0);
        for (size_t i = 0; i < 5000; i += 7) {
            EXPECT_FLOAT_EQ(s.leads[size_t(III)][i], II[i] - I[i]);
            EXPECT_FLOAT_EQ(s.leads[size_t(aVR)][i], -(I[i] + II[i]) / 2);
            EXPECT_FLOAT_EQ(s.leads[size_t(aVL)][i], I[i] - II[i] / 2);
            EXPECT_FLOAT_EQ(s.leads[size_t(aVF)][i], II[i] - I[i] / 2);
        }
    }

    // Twelve leads, an odd interval (1667 µs), leads starting apart: placed in time, nothing
    // derived over the file's own III.
    std::vector<CLeadDef> defs;
    std::vector<Bytes> streams;
    for (uint8_t k = 0; k < 12; ++k) {
        const uint8_t code = k < 8 ? uint8_t(k + 1) : uint8_t(61 + k - 8);
        const uint32_t start = k == 5 ? 101 : 1;
        defs.push_back({code, start, 600});
        streams.push_back(DefaultCoded(Differences(Wave(k, int(600 - start + 1)), 1)));
    }
    CEcgSignal s;
    std::string error;
    ASSERT_TRUE(Read(BuildFile({{2, DefaultTableSection()},
                                {3, Section3(defs, 0)},
                                {6, CodedSection(5000, 1667, 1, 0, streams)}}),
                     s, &error))
        << error;
    EXPECT_NEAR(s.dRate, 599.88, 0.01);
    ASSERT_EQ(s.leads.size(), 12u);
    EXPECT_EQ(s.names[8], "III");
    EXPECT_EQ(s.leads[5][99], 0.f);
    EXPECT_EQ(s.leads[5][100], float(Wave(5, 500)[0] * 5));
}

TEST(ScpSignal, FileTablesSwitchTablesAndCarryOriginalValues) {
    // Table 1: "0" 0, "10" +1, "110" switch to table 2, "111" + 16 bits as they are.
    // Table 2: "0" -5, "1" switch back (and a 14-bit code the shorter "1" always takes first). Base
    // codes are stored with their first bit lowest.
    Bytes s2;
    Put16(s2, 2);
    auto code = [&](uint8_t prefix, uint8_t total, uint8_t mode, int16_t base, uint32_t bits) {
        s2.insert(s2.end(), {prefix, total, mode});
        Put16(s2, uint16_t(base));
        Put32(s2, bits);
    };
    Put16(s2, 4);
    code(1, 1, 1, 0, 0b0);
    code(2, 2, 1, 1, 0b01);   // "10"
    code(3, 3, 0, 2, 0b011);  // "110"
    code(3, 19, 1, 0, 0b111); // "111"
    Put16(s2, 3);
    code(1, 1, 1, -5, 0b0);
    code(1, 1, 0, 1, 0b1);
    code(14, 14, 1, 99, 0x3FFF); // too long for a lookup: this table is scanned code by code
    CBitWriter w;
    const std::vector<int> want = {0, 1, -5, -5, 1234, -32768, 0, 1};
    w.Put(0b0, 1);
    w.Put(0b10, 2);
    w.Put(0b110, 3);
    w.Put(0b00, 2); // -5 -5
    w.Put(0b1, 1);  // back to table 1
    w.Put(0b111, 3);
    w.Put(1234, 16);
    w.Put(0b111, 3);
    w.Put(0x8000, 16);
    w.Put(0b0, 1);
    w.Put(0b10, 2);
    const Bytes file = BuildFile({{2, s2},
                                  {3, Section3({{2, 1, uint32_t(want.size())}}, 0)},
                                  {6, CodedSection(1000, 2000, 0, 0, {w.Get()})}});
    CEcgSignal s;
    std::string error;
    ASSERT_TRUE(Read(file, s, &error)) << error;
    ASSERT_EQ(s.leads.size(), 1u);
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(s.leads[0][i], float(want[i])) << i;

    // The same stream without its last byte runs out; a table switch to a table the file lacks
    // and a table without codes are refused.
    Bytes shortStream = w.Get();
    shortStream.pop_back();
    error.clear();
    EXPECT_FALSE(Read(BuildFile({{2, s2},
                                 {3, Section3({{2, 1, uint32_t(want.size())}}, 0)},
                                 {6, CodedSection(1000, 2000, 0, 0, {shortStream})}}),
                      s, &error));
    EXPECT_NE(error.find("runs out"), std::string::npos) << error;
    Bytes badSwitch = s2;
    badSwitch[2 + 2 + 9 * 2 + 3] = 7; // table 1's switch names table 7
    EXPECT_FALSE(Read(BuildFile({{2, badSwitch},
                                 {3, Section3({{2, 1, 8}}, 0)},
                                 {6, CodedSection(1000, 2000, 0, 0, {w.Get()})}}),
                      s, &error));
    EXPECT_NE(error.find("table 7"), std::string::npos) << error;
    Bytes empty;
    Put16(empty, 1);
    Put16(empty, 0);
    EXPECT_FALSE(Read(BuildFile({{2, empty},
                                 {3, Section3({{2, 1, 8}}, 0)},
                                 {6, CodedSection(1000, 2000, 0, 0, {w.Get()})}}),
                      s, &error));
    EXPECT_NE(error.find("has no code"), std::string::npos) << error;
}

TEST(ScpSignal, ReferenceBeatsAndBimodalCompressionAreUndone) {
    // 2000 samples at 500 Hz of a ramp (3 units a sample) plus the reference beat at three
    // beats; the writer subtracted the beat and kept the residual at 125 Hz (factor 4) outside
    // the protected zones around each QRS.
    constexpr int kCount = 2000, kBeatLength = 100, kFiducial = 40; // 200 ms, fiducial at 40
    std::vector<int> beat(kBeatLength);
    for (int i = 0; i < kBeatLength; ++i)
        beat[size_t(i)] = int(800 * std::exp(-(i - kFiducial + 1) * (i - kFiducial + 1) / 40.0));
    const int fiducials[] = {301, 1001, 1601};
    std::vector<int> rhythm(kCount);
    for (int i = 0; i < kCount; ++i)
        rhythm[size_t(i)] = 3 * (i + 1);
    Bytes s4;
    Put16(s4, 200);
    Put16(s4, kFiducial);
    Put16(s4, 3);
    for (int f : fiducials) {
        Put16(s4, 0);
        Put32(s4, uint32_t(f - 30));
        Put32(s4, uint32_t(f));
        Put32(s4, uint32_t(f + 40));
        for (int p = f - 30; p <= f + 40; ++p)
            rhythm[size_t(p - 1)] += beat[size_t(kFiducial - 1 + p - f)];
    }
    for (int f : fiducials) {
        Put32(s4, uint32_t(f - 35));
        Put32(s4, uint32_t(f + 45));
    }
    // The residual as the writer stores it: protected samples as they are, 4 at a time outside.
    std::vector<int> residual(rhythm);
    for (int f : fiducials)
        for (int p = f - 30; p <= f + 40; ++p)
            residual[size_t(p - 1)] -= beat[size_t(kFiducial - 1 + p - f)];
    std::vector<int> stored;
    for (int p = 1; p <= kCount;) {
        bool inside = false;
        int nextZone = kCount + 1;
        for (int f : fiducials) {
            inside = inside || (p >= f - 35 && p <= f + 45);
            if (f - 35 > p)
                nextZone = std::min(nextZone, f - 35);
        }
        if (inside) {
            stored.push_back(residual[size_t(p - 1)]);
            ++p;
            continue;
        }
        const int end = std::min({p + 3, kCount, nextZone - 1});
        int sum = 0;
        for (int q = p; q <= end; ++q)
            sum += residual[size_t(q - 1)];
        stored.push_back(sum / (end - p + 1));
        p = end + 1;
    }
    const Bytes file =
        BuildFile({{2, DefaultTableSection()},
                   {3, Section3({{1, 1, kCount}}, 0x01)},
                   {4, s4},
                   {5, CodedSection(5000, 2000, 2, 0, {DefaultCoded(Differences(beat, 2))})},
                   {6, CodedSection(5000, 8000, 1, 1, {DefaultCoded(Differences(stored, 1))})}});
    CEcgSignal s;
    std::string error;
    ASSERT_TRUE(Read(file, s, &error)) << error;
    EXPECT_DOUBLE_EQ(s.dRate, 500.0);
    ASSERT_EQ(s.Length(), size_t(kCount));
    // A ramp comes back from its means exactly, the beats exactly; only the first and last two
    // samples lie outside the first and last mean's middle.
    for (int i = 2; i < kCount - 2; ++i)
        ASSERT_NEAR(s.leads[0][size_t(i)], rhythm[size_t(i)] * 5.0, 5.0) << i;

    // Without Section 4 or 5 the file cannot be read, and says which is missing; a factor of
    // 3.5 is another reader's.
    for (uint16_t missing : {4, 5}) {
        std::map<uint16_t, Bytes> parts = {
            {2, DefaultTableSection()},
            {3, Section3({{1, 1, kCount}}, 0x01)},
            {4, s4},
            {5, CodedSection(5000, 2000, 2, 0, {DefaultCoded(Differences(beat, 2))})},
            {6, CodedSection(5000, 8000, 1, 1, {DefaultCoded(Differences(stored, 1))})}};
        parts.erase(missing);
        EXPECT_FALSE(Read(BuildFile(parts), s, &error));
        EXPECT_NE(error.find("section " + std::to_string(missing)), std::string::npos) << error;
    }
    bool unsupported = false;
    EXPECT_FALSE(Read(BuildFile({{2, DefaultTableSection()},
                                 {3, Section3({{1, 1, kCount}}, 0x01)},
                                 {4, s4},
                                 {5, CodedSection(5000, 2000, 2, 0, {DefaultCoded(beat)})},
                                 {6, CodedSection(5000, 7000, 1, 1, {DefaultCoded(stored)})}}),
                      s, &error, &unsupported));
    EXPECT_TRUE(unsupported) << error;
}

TEST(ScpSignal, BrokenFilesAreRefusedWithTheirReasonAndNeverReadPast) {
    std::vector<std::vector<int>> leads;
    const Bytes good = EightLeadFile(2, 1000, leads);
    CEcgSignal s;
    std::string error;
    bool unsupported = true;
    ASSERT_TRUE(Read(good, s, &error, &unsupported)) << error;
    EXPECT_FALSE(unsupported);

    const auto refused = [&](const Bytes& file, const std::string& reason) {
        std::string why;
        bool other = true;
        EXPECT_FALSE(Read(file, s, &why, &other));
        EXPECT_FALSE(other) << why;
        EXPECT_NE(why.find(reason), std::string::npos) << why;
        EXPECT_TRUE(s.leads.empty());
    };
    std::vector<Bytes> streams;
    for (const auto& l : leads)
        streams.push_back(DefaultCoded(Differences(l, 2)));
    const Bytes s3 = Section3({{1, 1, 1000},
                               {2, 1, 1000},
                               {3, 1, 1000},
                               {4, 1, 1000},
                               {5, 1, 1000},
                               {6, 1, 1000},
                               {7, 1, 1000},
                               {8, 1, 1000}},
                              0);
    refused(
        BuildFile({{2, DefaultTableSection()}, {3, s3}, {6, CodedSection(0, 2000, 2, 0, streams)}}),
        "no amplitude value");
    // A lead's length past the section's end.
    Bytes s6 = CodedSection(2500, 2000, 2, 0, streams);
    Set16(&s6[6 + 2 * 7], uint16_t(streams[7].size() + 40));
    refused(BuildFile({{2, DefaultTableSection()}, {3, s3}, {6, s6}}), "runs past the section");
    // Section 3 counting more samples than the streams hold.
    refused(BuildFile({{2, DefaultTableSection()},
                       {3, Section3({{1, 1, 60000}}, 0)},
                       {6, CodedSection(2500, 2000, 2, 0, {streams[0]})}}),
            "runs out");
    refused(BuildFile({{3, Section3({{1, 1, 4000000}}, 0)},
                       {6, CodedSection(2500, 2000, 0, 0, {streams[0]})}}),
            "more than");
    // A bad CRC and every cut of the file: refused, not read past (the sanitizer build watches).
    Bytes flipped = good;
    flipped[flipped.size() - 3] ^= 0x10;
    refused(flipped, "CRC");
    for (size_t cut = 0; cut < good.size(); cut += 97)
        EXPECT_FALSE(Read(Bytes(good.begin(), good.begin() + long(cut)), s, &error)) << cut;
}

TEST(ScpSignal, TheWritersMeasurementsAreRead) {
    Bytes s7 = {1, 1};
    Put16(s7, 800);   // RR
    Put16(s7, 29999); // PP not measured
    for (int v : {100, 202, 277, 377, 620, 64, -49, 25})
        Put16(s7, uint16_t(int16_t(v)));
    for (int i = 0; i < 10; ++i) // one pacemaker spike
        s7.push_back(0);
    Put16(s7, 2); // two QRS types
    s7.insert(s7.end(), {0, 0});
    for (int v : {75, 29999, 402})
        Put16(s7, uint16_t(v));
    Bytes s10;
    Put16(s10, 2);
    Put16(s10, 0);
    for (uint16_t lead : {1, 62}) {
        Put16(s10, lead);
        Put16(s10, lead == 1 ? 24 : 4); // the second lead gives only two values
        for (int i = 0; i < (lead == 1 ? 12 : 2); ++i)
            Put16(s10, uint16_t(int16_t(lead * 10 + i - (i == 11 ? 500 : 0))));
    }
    const Bytes file = BuildFile({{7, s7}, {10, s10}});
    CScpMeasurements m;
    std::string error;
    ASSERT_TRUE(ReadScpMeasurements(file.data(), file.size(), m, &error)) << error;
    ASSERT_TRUE(m.m_bGlobal);
    EXPECT_EQ(m.m_Global.m_nRrMs, 800);
    EXPECT_EQ(m.m_Global.m_nPpMs, kScpNotMeasured);
    EXPECT_EQ(m.m_Global.m_nQrsOnset, 277);
    EXPECT_EQ(m.m_Global.m_nTOffset, 620);
    EXPECT_EQ(m.m_Global.m_nQrsAxis, -49);
    EXPECT_EQ(m.m_Global.m_nVentricularRate, 75);
    EXPECT_EQ(m.m_Global.m_nQtc, 402);
    ASSERT_EQ(m.m_Leads.size(), 2u);
    EXPECT_EQ(m.m_Leads[0].m_nLeadCode, 1);
    EXPECT_EQ(m.m_Leads[0].m_nQrsDuration, 12);
    EXPECT_EQ(m.m_Leads[0].m_nSAmplitude, 21 - 500);
    EXPECT_EQ(m.m_Leads[1].m_nPrInterval, 621);
    EXPECT_EQ(m.m_Leads[1].m_nQrsDuration, kScpNotMeasured);

    // A lead block past Section 10's end: refused, the whole lead before it kept.
    Bytes cut = s10;
    Set16(&cut[4 + 4 + 24 + 2], 400);
    const Bytes broken = BuildFile({{7, s7}, {10, cut}});
    EXPECT_FALSE(ReadScpMeasurements(broken.data(), broken.size(), m, &error));
    EXPECT_NE(error.find("section 10's lead 2"), std::string::npos) << error;
    EXPECT_EQ(m.m_Leads.size(), 1u);
}
