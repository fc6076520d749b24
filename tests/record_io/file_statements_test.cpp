// The automatic statements in the files the records layer writes: a record with a known finding
// (LUDB 51: atrial fibrillation) saved as SCP-ECG carries the statements made for its card, and
// an SCP file opened gives back the statements it carries, ours or another cardiograph's.

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
