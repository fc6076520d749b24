// Section 8 of our SCP-ECG files: the automatic statements written unconfirmed in the file's
// character set, read back by our reader and found by libbiosig's; no statements, no section; a
// damaged section costs the statements, never the record.

#include "scp_test_data.h"

#include "platform/cp1251.h"
#include "storage/scp_export.h"
#include "storage/scp_file.h"
#include "storage/scp_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <biosig.h>
#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace scp_test;
using testing::HasSubstr;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes SaveBytes(const QTemporaryDir& dir, const ECG_RECORD& rec,
                const CFileStatements* statements) {
    const QString path = dir.filePath(QStringLiteral("statements.scp"));
    const SYSTEMTIME now = MakeTime(2026, 12, 9, 10, 0, 0);
    const ScpSaveResult r = SaveScp(rec, MakeFullCard(), MakeDevice(1),
                                    QFile::encodeName(path).toStdString(), &now, statements);
    EXPECT_TRUE(r.bOk) << r.strError;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return Bytes(all.begin(), all.end());
}

// Section 8's content as the table places it; empty when its entry is empty.
Bytes Section8(const Bytes& file) {
    std::vector<ScpSectionPointer> table;
    if (!ReadScpSectionTable(file, table, nullptr))
        return {};
    for (const ScpSectionPointer& p : table)
        if (p.nId == 8 && p.nLength > 16)
            return Bytes(file.begin() + p.nIndex - 1 + 16, file.begin() + p.nIndex - 1 + p.nLength);
    return {};
}

void FixCrcs(Bytes& file) {
    std::vector<ScpSectionPointer> table;
    ASSERT_TRUE(ReadScpSectionTable(file, table, nullptr));
    for (const ScpSectionPointer& p : table) {
        if (p.nLength == 0)
            continue;
        uint8_t* s = &file[p.nIndex - 1];
        const uint16_t crc = ScpCrc(s + 2, p.nLength - 2);
        s[0] = uint8_t(crc);
        s[1] = uint8_t(crc >> 8);
    }
    const uint16_t crc = ScpCrc(file.data() + 2, file.size() - 2);
    file[0] = uint8_t(crc);
    file[1] = uint8_t(crc >> 8);
}

CFileStatements Findings() {
    CFileStatements s;
    s.m_stMade = MakeTime(2026, 12, 8, 23, 18, 57);
    s.m_strHeading = "Автоматическое заключение (не подтверждено врачом)";
    s.m_Statements = {"Фибрилляция предсердий",
                      "Отклонение электрической оси сердца влево (α -45°)",
                      "Полная блокада левой ножки пучка Гиса"};
    return s;
}

TEST(ScpStatements, SectionEightCarriesThemUnconfirmedAndBothReadersFindThem) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto rec = MakeRecord(1, DeviceId(0x12345678u, 7));
    const CFileStatements written = Findings();
    const Bytes file = SaveBytes(dir, *rec, &written);
    ASSERT_TRUE(ScpCrcsOk(file));

    // The bytes: not confirmed, the record's date and time, three statements numbered from 1,
    // each its Windows-1251 text with the zero its length counts.
    const Bytes s8 = Section8(file);
    ASSERT_GE(s8.size(), 9u);
    EXPECT_EQ(s8[0], 0) << "not confirmed";
    EXPECT_EQ((Bytes{s8.begin() + 1, s8.begin() + 8}), (Bytes{0xEA, 0x07, 12, 8, 23, 18, 57}));
    ASSERT_EQ(s8[8], 3);
    const QByteArray first = ToCp1251(QString::fromUtf8("Фибрилляция предсердий"));
    ASSERT_GE(s8.size(), 12u + size_t(first.size()) + 1);
    EXPECT_EQ(s8[9], 1);
    EXPECT_EQ(s8[10] | s8[11] << 8, first.size() + 1);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&s8[12]), int(first.size())), first);
    EXPECT_EQ(s8[12 + size_t(first.size())], 0);

    CFileStatements read;
    std::string error;
    ASSERT_TRUE(ReadScpStatements(file.data(), file.size(), read, &error)) << error;
    EXPECT_FALSE(read.m_bConfirmed);
    EXPECT_EQ(read.m_stMade.wYear, 2026);
    EXPECT_EQ(read.m_stMade.wSecond, 57);
    EXPECT_THAT(read.m_Statements,
                testing::ElementsAre("Фибрилляция предсердий",
                                     "Отклонение электрической оси сердца влево (альфа -45°)",
                                     "Полная блокада левой ножки пучка Гиса"))
        << "the alpha Windows-1251 lacks is written as its word";
    auto back = std::make_unique<ECG_RECORD>();
    PATIENT_CARD card;
    EXPECT_TRUE(ReadScpRecord(file.data(), file.size(), *back, card, &error)) << error;
    EXPECT_EQ(Sample(*back, 1000, 5), Sample(*rec, 1000, 5));

    // libbiosig finds the section where the table puts it, byte for byte.
    const QString path = dir.filePath(QStringLiteral("statements.scp"));
    HDRTYPE* h = constructHDR(0, 0);
    h->FLAG.UCAL = 1;
    ASSERT_TRUE(sopen(QFile::encodeName(path).constData(), "rb", h) &&
                h->AS.B4C_ERRNUM == B4C_NO_ERROR);
    EXPECT_EQ(Bytes(h->SCP.Section8, h->SCP.Section8 + h->SCP.Section8Length), s8);
    sclose(h);
    std::free(h->aECG);
    h->aECG = nullptr;
    destructHDR(h);
}

TEST(ScpStatements, NoStatementsNoSectionAndADamagedSectionCostsOnlyTheStatements) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto rec = MakeRecord(1, 0);
    CFileStatements none = Findings();
    none.m_Statements.clear();
    const CFileStatements* const givens[] = {&none, nullptr};
    for (const CFileStatements* given : givens) {
        const Bytes file = SaveBytes(dir, *rec, given);
        EXPECT_TRUE(Section8(file).empty()) << "an empty Section 8 would say nothing was found";
        CFileStatements read = Findings();
        std::string error;
        EXPECT_TRUE(ReadScpStatements(file.data(), file.size(), read, &error)) << error;
        EXPECT_TRUE(read.m_Statements.empty());
    }

    const CFileStatements written = Findings();
    Bytes file = SaveBytes(dir, *rec, &written);
    std::string error;
    // Five statements said, three there: the CRCs made right, so that only the count is wrong.
    std::vector<ScpSectionPointer> table;
    ASSERT_TRUE(ReadScpSectionTable(file, table, nullptr));
    for (const ScpSectionPointer& p : table)
        if (p.nId == 8)
            file[p.nIndex - 1 + 16 + 8] = 5;
    FixCrcs(file);
    CFileStatements read;
    EXPECT_FALSE(ReadScpStatements(file.data(), file.size(), read, &error));
    EXPECT_THAT(error, HasSubstr("statement 4 of 5 runs past"));
    EXPECT_EQ(read.m_Statements.size(), 3u) << "the whole ones are kept";
    auto back = std::make_unique<ECG_RECORD>();
    PATIENT_CARD card;
    EXPECT_TRUE(ReadScpRecord(file.data(), file.size(), *back, card, &error)) << error;
    file[file.size() - 1] ^= 1; // CRCs broken: refused as the record reader refuses it
    EXPECT_FALSE(ReadScpStatements(file.data(), file.size(), read, &error));
    EXPECT_THAT(error, HasSubstr("CRC"));

    // The count is one byte and each length 16 bits; a zero ends a text.
    SCP_SECTION8 many;
    many.statements.assign(300, std::string("a\0b", 3));
    const Bytes body = EncodeScpSection8(many);
    SCP_SECTION8 decoded;
    ASSERT_TRUE(DecodeScpSection8(body.data(), body.size(), decoded, &error)) << error;
    ASSERT_EQ(decoded.statements.size(), 255u);
    EXPECT_EQ(decoded.statements.back(), "a");
    EXPECT_FALSE(DecodeScpSection8(body.data(), 8, decoded, &error));
}

} // namespace
