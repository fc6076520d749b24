// The carts' XML readers: the shared Philips, MUSE and CardioSoft files open with plausible
// leads, their patient and time and the writer's own figures and statements; generated files
// cover 8-lead derivation, Cyrillic names, XLI against the same leads stored plain, damage and
// files of another kind.

#include "platform/cp1251.h"
#include "storage/cart_xml.h"
#include "storage/cart_xml_writer.h"
#include "support/wfdb.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace cartxmltest;

namespace {

std::vector<uint8_t> Bytes(const QByteArray& b) {
    return std::vector<uint8_t>(b.begin(), b.end());
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& p) {
    QFile f(QString::fromStdString(p.string()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << p;
    return Bytes(f.readAll());
}

const std::vector<float>* Lead(const CEcgSignal& s, const char* name) {
    for (size_t k = 0; k < s.names.size(); ++k)
        if (s.names[k] == name)
            return &s.leads[k];
    return nullptr;
}

double Rms(const std::vector<float>& v) {
    double sum = 0, mean = 0;
    for (float x : v)
        mean += x;
    mean /= double(v.size());
    for (float x : v)
        sum += (x - mean) * (x - mean);
    return std::sqrt(sum / double(v.size()));
}

// The share of samples where III is II - I within `tolerance` µV.
double EinthovenShare(const CEcgSignal& s, double tolerance) {
    const auto *I = Lead(s, "I"), *II = Lead(s, "II"), *III = Lead(s, "III");
    if (!I || !II || !III)
        return 0;
    size_t ok = 0;
    for (size_t i = 0; i < I->size(); ++i)
        ok += std::fabs((*III)[i] - ((*II)[i] - (*I)[i])) <= tolerance;
    return double(ok) / double(I->size());
}

std::string CardText(const char* field) {
    return FromCp1251(QByteArray(field)).toStdString();
}

using Reader = bool (*)(const uint8_t*, size_t, CCartXmlEcg&, std::string*);

struct SharedFile {
    const char* path;
    Reader read;
    double seconds; // as the file states it
    bool allTwelveStored;
    const char* lastName;
    uint16_t birthYear;
    uint8_t sex;
    SYSTEMTIME start;
    // By hand from the file: rate, RR, PR, QRS, QT, QTc, P, QRS and T axes.
    int findings[9];
    size_t statements;
    const char* firstStatement;
};

} // namespace

TEST(CartXml, SharedFilesOpenWithPlausibleLeadsTheirPatientAndTheirOwnFindings) {
    const std::filesystem::path data = wfdb::RealData();
    if (data.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    constexpr int N = kNotInFile;
    const SharedFile files[] = {
        // Sierra ECG 1.03 from a HeartStart MRx: only the age (50) at its 2011 recording.
        {"xml/philips/129DYNRG.XML",
         ReadPhilipsXml,
         11,
         true,
         "",
         1961,
         1,
         SYSTEMTIME{2011, 12, 0, 1, 7, 22, 37, 0},
         {72, 832, 151, 97, 385, 422, 68, 55, -1},
         4,
         "Sinus rhythm — normal P axis, V-rate  50- 99"},
        {"xml/philips/3191723_ZZDEMOPTONLY_1-04_orig.xml",
         ReadPhilipsXml,
         11,
         true,
         "ZZDEMOPTONLY",
         1950,
         1,
         SYSTEMTIME{2010, 1, 0, 19, 15, 19, 22, 0},
         {84, 714, 144, 84, 352, 417, 81, 78, 67},
         4,
         "SINUS RHYTHM — normal P axis, V-rate 60-99"},
        {"xml/philips/2020-5-18_15-48-11.xml",
         ReadPhilipsXml,
         11,
         true,
         "xxxxxx",
         1951,
         2,
         SYSTEMTIME{2020, 5, 0, 18, 15, 48, 11, 0},
         {64, 938, 164, 102, 399, 412, 27, 22, 80},
         3,
         "Sinus rhythm — normal P axis, V-rate 50-99"},
        // MUSE exports without demographics and without a diagnosis.
        {"xml/muse/braveheart_example1.xml",
         ReadMuseXml,
         10,
         false,
         "",
         0,
         2,
         SYSTEMTIME{},
         {48, 1242, 138, 96, 452, 403, 51, 20, 40},
         0,
         nullptr},
        {"xml/muse/braveheart_example2.xml",
         ReadMuseXml,
         10,
         false,
         "",
         0,
         2,
         SYSTEMTIME{},
         {65, 922, 184, 100, 420, 437, 42, -2, 12},
         0,
         nullptr},
        // CardioSoft with its dates blanked to year 1: no time, no birth date, no year from
        // the age.
        {"xml/cardiosoft/ecgvisualizer_example1.xml",
         ReadCardioSoftXml,
         10,
         true,
         "Surname",
         0,
         1,
         SYSTEMTIME{},
         {42, 1440, 250, 106, 462, 385, 31, 83, 58},
         0,
         nullptr},
    };
    for (const SharedFile& f : files) {
        SCOPED_TRACE(f.path);
        const std::vector<uint8_t> bytes = FileBytes(data / f.path);
        CCartXmlEcg ecg;
        std::string error;
        ASSERT_TRUE(f.read(bytes.data(), bytes.size(), ecg, &error)) << error;
        const CEcgSignal& s = ecg.signal;
        ASSERT_EQ(s.names.size(), 12u);
        for (const char* lead : kTwelve)
            EXPECT_NE(Lead(s, lead), nullptr) << lead;
        EXPECT_EQ(s.dRate, 500);
        EXPECT_NEAR(s.Seconds(), f.seconds, 1e-9);
        for (size_t k = 0; k < 12; ++k) {
            const double rms = Rms(s.leads[k]);
            EXPECT_GT(rms, 10) << s.names[k];
            EXPECT_LT(rms, 3000) << s.names[k];
        }
        // Stored leads follow Einthoven but for rounding (and a calibration pulse); derived
        // ones exactly.
        EXPECT_GT(EinthovenShare(s, f.allTwelveStored ? 10.5 : 0.01), 0.95);
        const auto *I = Lead(s, "I"), *II = Lead(s, "II"), *aVF = Lead(s, "aVF");
        size_t goldberger = 0;
        for (size_t i = 0; i < I->size(); ++i)
            goldberger += std::fabs((*aVF)[i] - ((*II)[i] - (*I)[i] / 2)) <= 12.5;
        EXPECT_GT(double(goldberger) / double(I->size()), 0.95);

        EXPECT_EQ(CardText(ecg.card.last_name), f.lastName);
        EXPECT_EQ(ecg.card.birth_year, f.birthYear);
        EXPECT_EQ(ecg.card.sex, f.sex);
        EXPECT_EQ(ecg.start.wYear, f.start.wYear);
        EXPECT_EQ(ecg.start.wMonth, f.start.wMonth);
        EXPECT_EQ(ecg.start.wDay, f.start.wDay);
        EXPECT_EQ(ecg.start.wHour, f.start.wHour);
        EXPECT_EQ(ecg.start.wMinute, f.start.wMinute);
        EXPECT_EQ(ecg.start.wSecond, f.start.wSecond);

        const CFileFindings& m = ecg.findings;
        const int got[9] = {m.m_nHeartRate, m.m_nRrMs,  m.m_nPrMs,    m.m_nQrsMs, m.m_nQtMs,
                            m.m_nQtcMs,     m.m_nPAxis, m.m_nQrsAxis, m.m_nTAxis};
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(got[k], f.findings[k]) << "finding " << k;
        EXPECT_FALSE(m.m_strWriter.empty());
        if (m.m_nRrMs != N && m.m_nHeartRate != N) {
            // A second route: the rate from the RR, and QTc by Bazett from QT and RR.
            EXPECT_NEAR(60000.0 / m.m_nRrMs, m.m_nHeartRate, 2.0);
            EXPECT_NEAR(m.m_nQtMs / std::sqrt(m.m_nRrMs / 1000.0), m.m_nQtcMs, m.m_nQtcMs * 0.02);
        }
        EXPECT_EQ(ecg.statements.m_Statements.size(), f.statements);
        if (f.firstStatement && !ecg.statements.m_Statements.empty()) {
            EXPECT_EQ(ecg.statements.m_Statements.front(), f.firstStatement);
        }
        EXPECT_FALSE(ecg.statements.m_bConfirmed);
    }
}

TEST(CartXml, XliDecodesToTheLeadsStoredPlainAndRefusesDamage) {
    const size_t n = 5500;
    CCartXmlEcg plain, packed;
    std::string error;
    const std::vector<uint8_t> plainBytes = Bytes(PhilipsXml(false, n));
    const std::vector<uint8_t> xliBytes = Bytes(PhilipsXml(true, n));
    ASSERT_TRUE(ReadPhilipsXml(plainBytes.data(), plainBytes.size(), plain, &error)) << error;
    ASSERT_TRUE(ReadPhilipsXml(xliBytes.data(), xliBytes.size(), packed, &error)) << error;
    ASSERT_EQ(packed.signal.names, plain.signal.names);
    EXPECT_EQ(packed.signal.leads, plain.signal.leads);
    EXPECT_EQ(plain.signal.Length(), n);
    // 5 µV a unit, and the recorded lead I as it was written.
    const std::vector<int> wave = Wave(n, 0);
    for (size_t i = 0; i < n; i += 97)
        EXPECT_FLOAT_EQ(plain.signal.leads[0][i], float(wave[i] * 5));
    EXPECT_DOUBLE_EQ(EinthovenShare(packed.signal, 0.01), 1.0);
    EXPECT_TRUE(packed.statements.m_bConfirmed);
    EXPECT_EQ(
        packed.statements.m_Statements,
        (std::vector<std::string>{"Sinus rhythm — V-rate 50-99", "Normal ECG", "NORMAL ECG"}));
    EXPECT_EQ(packed.findings.m_strWriter, "Philips XML");
    EXPECT_EQ(packed.findings.m_nQtcMs, 425);
    EXPECT_EQ(packed.card.birth_day, 29);
    EXPECT_EQ(packed.card.sex, 0);
    EXPECT_EQ(packed.device.m_strSerial, "M42");

    // The XLI stream cut inside lead V3 (the ninth chunk), or with V3's size past the end.
    QByteArray stream;
    std::vector<QByteArray> chunks;
    const std::vector<std::vector<int>> leads = TwelveLeads(n);
    for (size_t k = 0; k < 12; ++k)
        chunks.push_back(XliChunk(k >= 2 && k <= 5 ? std::vector<int>(n, 0) : leads[k]));
    int v3 = 0;
    for (size_t k = 0; k < 8; ++k)
        v3 += int(chunks[k].size());
    for (const QByteArray& c : chunks)
        stream += c;
    const std::vector<std::string> names(std::begin(kTwelve), std::end(kTwelve));
    std::vector<std::vector<int16_t>> out;
    ASSERT_TRUE(DecodeXli(Bytes(stream), names, n, out, &error)) << error;
    EXPECT_EQ(std::vector<int>(out[8].begin(), out[8].end()), leads[8]);
    const QByteArray cut = stream.left(v3 + 8 + chunks[8].size() / 2);
    EXPECT_FALSE(DecodeXli(Bytes(cut), names, n, out, &error));
    EXPECT_EQ(error, "lead V3's compressed data ends early");
    QByteArray shortSize = stream;
    shortSize[v3 + 1] = char(0); // the stated packed size now shorter than the codes need
    shortSize[v3 + 0] = char(4);
    const QByteArray truncated = stream.left(v3) + shortSize.mid(v3, 8) + stream.mid(v3 + 8, 4);
    EXPECT_FALSE(DecodeXli(Bytes(truncated), names, n, out, &error));
    EXPECT_EQ(error, "lead V3's compressed data ends early");

    // Damage inside a limb lead's stream: its remainders are no longer small.
    QByteArray flipped = stream;
    const int iii = int(chunks[0].size() + chunks[1].size());
    for (int i = iii + 8; i < iii + int(chunks[2].size()); i += 3)
        flipped[i] = char(flipped[i] ^ 0x5A);
    const std::vector<uint8_t> damaged = Bytes(PhilipsXml(true, n, "Smith", flipped.toBase64()));
    CCartXmlEcg bad;
    EXPECT_FALSE(ReadPhilipsXml(damaged.data(), damaged.size(), bad, &error));
    EXPECT_NE(error.find("lead III"), std::string::npos) << error;
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;

    // Base64 garbage and a wrong plain length.
    const std::vector<uint8_t> garbage = Bytes(PhilipsXml(true, n, "Smith", "AAAA*$^%"));
    EXPECT_FALSE(ReadPhilipsXml(garbage.data(), garbage.size(), bad, &error));
    EXPECT_EQ(error, "its waveform data is not base64");
    const std::vector<uint8_t> shorter =
        Bytes(PhilipsXml(false, n, "Smith", Int16Base64(std::vector<int>(12 * n - 1))));
    EXPECT_FALSE(ReadPhilipsXml(shorter.data(), shorter.size(), bad, &error));
    EXPECT_NE(error.find("bytes, 12 leads of 5500 samples need 132000"), std::string::npos)
        << error;
}

TEST(CartXml, MuseDerivesTheLimbLeadsAndReadsCyrillicByItsDeclaration) {
    for (const char* encoding : {"windows-1251", "UTF-8"}) {
        SCOPED_TRACE(encoding);
        const std::vector<uint8_t> bytes =
            Bytes(MuseXml(QStringLiteral("Иванов"), QStringLiteral("Пётр"), encoding));
        CCartXmlEcg ecg;
        std::string error;
        ASSERT_TRUE(ReadMuseXml(bytes.data(), bytes.size(), ecg, &error)) << error;
        const CEcgSignal& s = ecg.signal;
        ASSERT_EQ(s.names.size(), 12u);
        const auto *I = Lead(s, "I"), *II = Lead(s, "II"), *aVR = Lead(s, "aVR"),
                   *aVL = Lead(s, "aVL"), *aVF = Lead(s, "aVF");
        ASSERT_TRUE(I && II && aVR && aVL && aVF);
        EXPECT_DOUBLE_EQ(EinthovenShare(s, 1e-3), 1.0);
        for (size_t i = 0; i < s.Length(); i += 50) {
            // Goldberger: the augmented leads sum to zero.
            EXPECT_NEAR((*aVR)[i] + (*aVL)[i] + (*aVF)[i], 0, 1e-3);
            EXPECT_NEAR((*I)[i], Wave(s.Length(), 0)[i] * 4.88, 1e-2);
        }
        EXPECT_EQ(CardText(ecg.card.last_name), "Иванов");
        if (std::string(encoding) == "UTF-8") {
            EXPECT_EQ(CardText(ecg.card.first_name), "Пётр");
        }
        EXPECT_EQ(CardText(ecg.card.patient_id), "A-17");
        EXPECT_EQ(ecg.card.birth_year, 2023 - 64);
        EXPECT_EQ(ecg.card.sex, 1);
        EXPECT_EQ(ecg.start.wYear, 2023);
        EXPECT_EQ(ecg.start.wMonth, 11);
        EXPECT_EQ(ecg.start.wHour, 8);
        EXPECT_EQ(
            ecg.statements.m_Statements,
            (std::vector<std::string>{"Sinus rhythm with 1st degree AV block", "Normal ECG"}));
        EXPECT_TRUE(ecg.statements.m_bConfirmed);
        EXPECT_EQ(ecg.statements.m_strPhysician, "House");
        EXPECT_EQ(ecg.findings.m_nRrMs, 1000);
        EXPECT_EQ(ecg.device.m_strModel, "MAC5500");
    }
}

TEST(CartXml, DamagedFilesAndOtherKindsAreRefusedSayingWhy) {
    CCartXmlEcg ecg;
    std::string error;
    auto refuse = [&](Reader read, const QByteArray& xml, const std::string& expected) {
        const std::vector<uint8_t> b = Bytes(xml);
        error.clear();
        EXPECT_FALSE(read(b.data(), b.size(), ecg, &error)) << expected;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    };
    const QByteArray muse = MuseXml("Doe", "John");
    refuse(ReadMuseXml, MuseXml("Doe", "John", "UTF-8", 5000, {{"V3", "AAAA"}}),
           "lead V3's data holds 3 bytes, 5000 samples need 10000");
    refuse(ReadMuseXml, MuseXml("Doe", "John", "UTF-8", 5000, {{"V1", "AA=A*A"}}),
           "lead V1's data is not base64");
    QByteArray noRate = muse;
    noRate.replace("<WaveformType>Rhythm</WaveformType><SampleBase>500</SampleBase>",
                   "<WaveformType>Rhythm</WaveformType>");
    refuse(ReadMuseXml, noRate, "its rhythm waveform gives no sample rate");
    QByteArray crc = muse;
    crc.replace("<LeadID>V5</LeadID>", "<LeadID>V5</LeadID><LeadDataCRC32>1</LeadDataCRC32>");
    refuse(ReadMuseXml, crc, "lead V5's data fails its CRC");
    refuse(ReadMuseXml, muse.left(muse.size() / 2), "its XML ends early");
    refuse(ReadCardioSoftXml, CardioSoftXml(5000, "1,2,x3"),
           "lead V2's samples are not whole numbers (sample 3)");
    refuse(ReadCardioSoftXml, CardioSoftXml(5000, "1,2,3"), "lead V2 holds 3 samples");

    // Another kind of XML, or none at all: the same words from every reader.
    for (Reader read : {ReadPhilipsXml, ReadMuseXml, ReadCardioSoftXml}) {
        refuse(read, "<?xml version=\"1.0\"?><AnnotatedECG/>", kNotKnownEcgXml);
        refuse(read, "not xml at all", kNotKnownEcgXml);
        refuse(read, "", kNotKnownEcgXml);
    }
    refuse(ReadMuseXml, QByteArray(muse).replace("<RestingECG>", "<RestingECG><a></b>"),
           "it is not well-formed XML (line");
    refuse(ReadMuseXml,
           "<?xml version=\"1.0\"?><!DOCTYPE RestingECG [<!ENTITY a \"aaaaaaaaaa\">"
           "<!ENTITY b \"&a;&a;&a;&a;&a;\">]><RestingECG>&b;</RestingECG>",
           "it declares entities");

    // Root elements as the claims see them.
    const QString philips = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n"
                                           "<!-- c --><restingecgdata status=\"New\">");
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar c : philips) {
        utf16.append(char(c.unicode() & 0xFF));
        utf16.append(char(c.unicode() >> 8));
    }
    EXPECT_EQ(XmlRootElement(Bytes(utf16)), "restingecgdata");
    EXPECT_EQ(XmlRootElement(Bytes(utf16.left(utf16.size() - 2 * 16))), ""); // "<restingecgd"
    EXPECT_EQ(XmlRootElement(Bytes(muse)), "RestingECG");
    EXPECT_EQ(XmlRootElement(Bytes("\xEF\xBB\xBF<hl7:AnnotatedECG xmlns:hl7=\"urn:hl7-org:v3\">")),
              "AnnotatedECG");
    EXPECT_EQ(XmlRootElement(Bytes("<!DOCTYPE x [<!ELEMENT x ANY>]><CardiologyXML>")),
              "CardiologyXML");
    EXPECT_EQ(XmlRootElement(Bytes("\x7F"
                                   "ELF")),
              "");
    // UTF-16 cut after an odd byte: the last half character is not read.
    EXPECT_EQ(XmlRootElement(std::vector<uint8_t>{'<', 0, 'a', 0, 'b'}), "");
}
