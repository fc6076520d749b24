// The statements in the files the records layer writes: a record with a known finding (LUDB 51:
// atrial fibrillation) saved as SCP-ECG carries the statements made for its card, and an SCP file
// opened gives back the statements it carries, ours or another cardiograph's; a doctor's
// confirmed reading takes the automatic statements' place.

#include "record_io/record_files.h"
#include "record_io/records_test_support.h"
#include "record_model/record_date.h"
#include "support/wfdb.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::Contains;

const RecordFileType& Type(const char* extension) {
    return *RecordFileTypeOf(QLatin1String(extension));
}

// A full card (a .scp save needs one), a woman's: the QT statements have her thresholds.
PATIENT_CARD WomansCard() {
    PATIENT_CARD c = MakeCard();
    c.sex = 0;
    return c;
}

// The one character of the statements Windows-1251 lacks, the axis angle's alpha, as its word.
std::vector<std::string> AsScpWrites(std::vector<std::string> statements) {
    for (std::string& s : statements)
        if (const size_t at = s.find("α"); at != std::string::npos)
            s.replace(at, std::string("α").size(), "альфа");
    return statements;
}

TEST(FileStatements, ASavedScpCarriesTheRecordsStatementsForItsCardAndGivesThemBack) {
    const std::filesystem::path data = wfdb::RealData();
    if (data.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    CLoadedRecord source;
    std::string error;
    ASSERT_TRUE(OpenRecordFile(QString::fromStdString((data / "wfdb/ludb/51.hea").string()), source,
                               &error))
        << error;
    const PATIENT_CARD card = WomansCard();
    const CFileStatements made = RecordStatements(*source.pRecord, &card, {});
    EXPECT_THAT(made.m_Statements, Contains("Фибрилляция предсердий"));
    SYSTEMTIME taken;
    ASSERT_TRUE(ParseRecordDate(source.pRecord->date, sizeof source.pRecord->date, taken));
    EXPECT_EQ(made.m_stMade.wYear, taken.wYear);
    EXPECT_EQ(made.m_stMade.wSecond, taken.wSecond);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString scp = dir.filePath(QStringLiteral("51.scp"));
    ASSERT_TRUE(SaveRecordFile(scp, Type(".scp"), *source.pRecord, &card, &error)) << error;
    CLoadedRecord back;
    ASSERT_TRUE(OpenRecordFile(scp, back, &error)) << error;
    EXPECT_EQ(back.fileStatements.m_Statements, AsScpWrites(made.m_Statements));
    EXPECT_FALSE(back.fileStatements.m_bConfirmed);
    EXPECT_EQ(back.fileStatements.m_stMade.wDay, taken.wDay);

    // The reading filters the caller gives reach the writer (they change the figures).
    CStatementSettings how;
    how.m_Filters = {analysis::Filter::Baseline067, analysis::Filter::Muscle35};
    const CFileStatements filtered = RecordStatements(*source.pRecord, &card, how);
    ASSERT_NE(filtered.m_Statements, made.m_Statements);
    ASSERT_TRUE(SaveRecordFile(scp, Type(".scp"), *source.pRecord, &card, &error, how)) << error;
    ASSERT_TRUE(OpenRecordFile(scp, back, &error)) << error;
    EXPECT_EQ(back.fileStatements.m_Statements, AsScpWrites(filtered.m_Statements));
}

TEST(FileStatements, AConfirmedReadingTakesTheAutomaticStatementsPlaceAndComesBackFromScp) {
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    CDoctorReading reading;
    reading.statements = {{"AFIB", "Фибрилляция предсердий", "Atrial fibrillation"},
                          {"", "Рубцовые изменения нижней стенки", ""}};
    reading.conclusion = "Показана консультация кардиолога";
    reading.doctorName = "Петрова А. И.";
    reading.confirmedAt = SYSTEMTIME{2026, 12, 3, 9, 10, 15, 30, 0};
    reading.version = 1;
    reading.amendReason = "не изменялось"; // a first confirmation amends nothing
    CStatementSettings how;
    how.m_pReading = &reading;

    const CFileStatements confirmed = RecordStatements(*record, &card, how);
    EXPECT_TRUE(confirmed.m_bConfirmed);
    EXPECT_EQ(confirmed.m_strHeading, "Подтверждено: Петрова А. И., 09.12.2026 10:15");
    EXPECT_THAT(confirmed.m_Statements,
                testing::ElementsAre("Фибрилляция предсердий", "Рубцовые изменения нижней стенки"));
    EXPECT_EQ(confirmed.m_strConclusion, reading.conclusion);
    EXPECT_EQ(confirmed.m_strPhysician, reading.doctorName);
    EXPECT_EQ(confirmed.m_stMade.wDay, 9);
    EXPECT_TRUE(confirmed.m_strAmendReason.empty());
    reading.version = 3;
    EXPECT_EQ(RecordStatements(*record, &card, how).m_strAmendReason, "не изменялось");

    // Read but not confirmed: the automatic statements, unconfirmed, as without a reading.
    reading.version = 0;
    const CFileStatements automatic = RecordStatements(*record, &card, how);
    const CFileStatements none = RecordStatements(*record, &card, {});
    EXPECT_FALSE(automatic.m_bConfirmed);
    EXPECT_EQ(automatic.m_strHeading, analysis::kUnconfirmedHeading);
    EXPECT_EQ(automatic.m_Statements, none.m_Statements);
    EXPECT_TRUE(automatic.m_strPhysician.empty());

    // Saved as SCP-ECG through the table and opened again.
    reading.version = 2;
    reading.amendReason = "уточнено";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString scp = dir.filePath(QStringLiteral("read.scp"));
    std::string error;
    ASSERT_TRUE(SaveRecordFile(scp, Type(".scp"), *record, &card, &error, how)) << error;
    CLoadedRecord back;
    ASSERT_TRUE(OpenRecordFile(scp, back, &error)) << error;
    EXPECT_TRUE(back.fileStatements.m_bConfirmed);
    EXPECT_EQ(back.fileStatements.m_strPhysician, "Петрова А. И.");
    EXPECT_EQ(back.fileStatements.m_Statements, confirmed.m_Statements);
    EXPECT_EQ(back.fileStatements.m_strConclusion, reading.conclusion);
    EXPECT_EQ(back.fileStatements.m_strHeading, confirmed.m_strHeading);
}

TEST(FileStatements, AnotherCardiographsScpFileGivesBackItsOwnFindings) {
    const std::filesystem::path data = wfdb::RealData();
    if (data.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    // Welch Allyn's Swedish statements in Latin-1 (language code 0), one file confirmed.
    struct Case {
        const char* file;
        bool confirmed;
        const char* statement;
    };
    const Case cases[] = {
        {"scp/welchallyn_ECG_20070321_110542_191010101010.SCP", false, " VK-hypertrofi"},
        {"scp/welchallyn_ECG_20060620_112352_197001138994.SCP", true,
         "Analyserad med pedriatriska kriterier med hjälp av pedriatrisk avledning"},
    };
    for (const Case& c : cases) {
        CLoadedRecord doc;
        std::string error;
        ASSERT_TRUE(OpenRecordFile(QString::fromStdString((data / c.file).string()), doc, &error))
            << error;
        EXPECT_EQ(doc.fileStatements.m_bConfirmed, c.confirmed) << c.file;
        const std::vector<std::string>& s = doc.fileStatements.m_Statements;
        EXPECT_TRUE(std::any_of(s.begin(), s.end(),
                                [&](const std::string& t) { return t.starts_with(c.statement); }))
            << c.file << ": " << (s.empty() ? "no statements" : s.front());
    }
}

} // namespace
