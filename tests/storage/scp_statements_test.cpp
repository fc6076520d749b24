// Section 8 of our SCP-ECG files: the automatic statements written unconfirmed in the file's
// character set, read back by our reader and found by libbiosig's; a doctor's confirmed reading
// as a confirmed report with its doctor in Section 1; no statements, no section; a damaged
// section costs the statements, never the record. And the block that hands the statements to the
// interchange helper.

#include "scp_test_data.h"

#include "platform/cp1251.h"
#include "storage/scp_export.h"
#include "storage/scp_file.h"
#include "storage/scp_reader.h"
#include "storage/statements_block.h"

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

// The value of a Section 1 tag; empty when the section has none.
Bytes Section1Tag(const Bytes& file, uint8_t wanted) {
    std::vector<ScpSectionPointer> table;
    if (!ReadScpSectionTable(file, table, nullptr))
        return {};
    for (const ScpSectionPointer& p : table) {
        if (p.nId != 1 || p.nLength <= 16)
            continue;
        const uint8_t* tags = &file[p.nIndex - 1 + 16];
        const Bytes found = CopyScpTags(tags, p.nLength - 16, {wanted});
        if (found.size() > 3)
            return Bytes(found.begin() + 3, found.end());
    }
    return {};
}

CFileStatements DoctorsReading() {
    CFileStatements s;
    s.m_bConfirmed = true;
    s.m_stMade = MakeTime(2026, 12, 9, 10, 15, 30);
    s.m_strPhysician = "Петрова А. И.";
    s.m_strHeading = ConfirmationLine(s.m_strPhysician, s.m_stMade);
    s.m_Statements = {"Фибрилляция предсердий", "Полная блокада правой ножки пучка Гиса"};
    s.m_strConclusion = "Рекомендовано суточное мониторирование";
    return s;
}

TEST(ScpStatements, AConfirmedReadingIsAConfirmedReportWithItsDoctorAndConclusion) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto rec = MakeRecord(1, DeviceId(0x12345678u, 7));
    const CFileStatements written = DoctorsReading();
    EXPECT_EQ(written.m_strHeading, "Подтверждено: Петрова А. И., 09.12.2026 10:15");
    const Bytes file = SaveBytes(dir, *rec, &written);
    ASSERT_TRUE(ScpCrcsOk(file));

    // Confirmed, at the confirmation's time, the conclusion the last statement; the doctor in
    // tag 21 in Windows-1251 with its zero.
    const Bytes s8 = Section8(file);
    ASSERT_GE(s8.size(), 9u);
    EXPECT_EQ(s8[0], 1) << "a confirmed report";
    EXPECT_EQ((Bytes{s8.begin() + 1, s8.begin() + 8}), (Bytes{0xEA, 0x07, 12, 9, 10, 15, 30}));
    EXPECT_EQ(s8[8], 3);
    const QByteArray doctor = ToCp1251(QString::fromUtf8("Петрова А. И.")) + '\0';
    EXPECT_EQ(Section1Tag(file, 21), Bytes(doctor.begin(), doctor.end()));

    CFileStatements read;
    std::string error;
    ASSERT_TRUE(ReadScpStatements(file.data(), file.size(), read, &error)) << error;
    EXPECT_TRUE(read.m_bConfirmed);
    EXPECT_EQ(read.m_strPhysician, written.m_strPhysician);
    EXPECT_EQ(read.m_Statements, written.m_Statements);
    EXPECT_EQ(read.m_strConclusion, written.m_strConclusion);
    EXPECT_EQ(read.m_strHeading, written.m_strHeading);
    EXPECT_EQ(read.m_stMade.wDay, 9);
    EXPECT_EQ(read.m_stMade.wMinute, 15);

    // The automatic statements name no doctor: no tag 21, and nothing confirmed read back.
    const CFileStatements automatic = Findings();
    const Bytes unconfirmed = SaveBytes(dir, *rec, &automatic);
    EXPECT_TRUE(Section1Tag(unconfirmed, 21).empty());
    ASSERT_TRUE(ReadScpStatements(unconfirmed.data(), unconfirmed.size(), read, &error)) << error;
    EXPECT_FALSE(read.m_bConfirmed);
    EXPECT_TRUE(read.m_strPhysician.empty());
    EXPECT_TRUE(read.m_strConclusion.empty());
    EXPECT_TRUE(read.m_strHeading.empty());
    EXPECT_EQ(read.m_Statements.size(), 3u);

    // A reading of a conclusion alone is still a section.
    CFileStatements onlyConclusion = DoctorsReading();
    onlyConclusion.m_Statements.clear();
    const Bytes brief = SaveBytes(dir, *rec, &onlyConclusion);
    ASSERT_TRUE(ReadScpStatements(brief.data(), brief.size(), read, &error)) << error;
    EXPECT_TRUE(read.m_Statements.empty());
    EXPECT_EQ(read.m_strConclusion, onlyConclusion.m_strConclusion);
}

TEST(StatementsBlock, CarriesEveryTextAsItIsAndRefusesABrokenBlock) {
    CFileStatements s = DoctorsReading();
    s.m_strConclusion = "Две строки:\nвторая, с \\ и \r в ней";
    s.m_strAmendReason = "уточнена ось";
    const std::string block = WriteStatementsBlock(s) + "after";
    CFileStatements read;
    size_t used = 0;
    std::string error;
    ASSERT_TRUE(ReadStatementsBlock(reinterpret_cast<const uint8_t*>(block.data()), block.size(),
                                    read, &used, &error))
        << error;
    EXPECT_EQ(block.substr(used), "after");
    EXPECT_TRUE(read.m_bConfirmed);
    EXPECT_EQ(read.m_strConclusion, s.m_strConclusion);
    EXPECT_EQ(read.m_strAmendReason, s.m_strAmendReason);
    EXPECT_EQ(read.m_strPhysician, s.m_strPhysician);
    EXPECT_EQ(read.m_strHeading, s.m_strHeading);
    EXPECT_EQ(read.m_Statements, s.m_Statements);
    EXPECT_EQ(read.m_stMade.wSecond, 30);

    // Automatic statements of a record without a date: nothing confirmed, no time.
    CFileStatements automatic = Findings();
    automatic.m_stMade = SYSTEMTIME{};
    const std::string plain = WriteStatementsBlock(automatic);
    ASSERT_TRUE(ReadStatementsBlock(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(),
                                    read, &used, &error))
        << error;
    EXPECT_FALSE(read.m_bConfirmed);
    EXPECT_EQ(read.m_stMade.wYear, 0);
    EXPECT_EQ(read.m_Statements, automatic.m_Statements);

    const std::string full = WriteStatementsBlock(s);
    auto blockOf = [](const std::string& lines) {
        return "velmora-statements 1 " + std::to_string(lines.size()) + "\n" + lines;
    };
    const std::string broken[] = {
        full.substr(0, full.size() - 1),
        blockOf("statement a\\x\n"),                    // an escape that is none
        blockOf("signed me\n"),                         // a key it does not know
        blockOf("made 2026-13-40 10:00:00\n"),          // no date
        blockOf("statement no end"),                    // a cut line
        "velmora-statements 1 99999999\nstatement a\n", // longer than any block
        "velmora-details 1 0\n",                        // another block
    };
    for (const std::string& b : broken) {
        error.clear();
        EXPECT_FALSE(ReadStatementsBlock(reinterpret_cast<const uint8_t*>(b.data()), b.size(), read,
                                         &used, &error))
            << b;
        EXPECT_FALSE(error.empty()) << b;
    }
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
