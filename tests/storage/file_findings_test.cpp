// A cart's own findings as the program shows them: intervals from Section 7's wave boundaries
// (a garbled boundary gives no interval rather than a wrong one), the rate from the RR when the
// file has none, and the line that says whose findings they are.

#include "storage/file_findings.h"

#include <gtest/gtest.h>

TEST(FileFindings, ScpBoundariesBecomeIntervalsAndOnlyWhatTheFileGivesIsShown) {
    CScpMeasurements m;
    EXPECT_TRUE(FindingsFromScp(m).Empty()) << "no Section 7: nothing";
    m.m_bGlobal = true;
    CScpGlobalMeasurements& g = m.m_Global;
    g.m_nRrMs = 800;
    g.m_nPOnset = 10;
    g.m_nQrsOnset = 170;
    g.m_nQrsOffset = 262;
    g.m_nTOffset = 570;
    g.m_nQrsAxis = -30;
    CFileFindings f = FindingsFromScp(m);
    EXPECT_EQ(f.m_nHeartRate, 75) << "from the RR when the writer gave no rate";
    EXPECT_EQ(f.m_nPrMs, 160);
    EXPECT_EQ(f.m_nQrsMs, 92);
    EXPECT_EQ(f.m_nQtMs, 400);
    EXPECT_EQ(f.m_nQtcMs, kNotInFile);
    f.m_strWriter = "SCP-ECG";
    EXPECT_EQ(FileFindingsLine(f, {}),
              "По данным файла (SCP-ECG): ЧСС 75 уд/мин   RR 800 мс   PR 160 мс   QRS 92 мс   "
              "QT 400 мс   ось QRS -30°");

    // A writer's own rate stands; a boundary before the one it should follow, or unmeasured,
    // gives no interval.
    g.m_nVentricularRate = 74;
    g.m_nQrsOffset = 150;
    g.m_nPOnset = kScpNotMeasured;
    g.m_nTOffset = 170 + 2500;
    f = FindingsFromScp(m);
    EXPECT_EQ(f.m_nHeartRate, 74);
    EXPECT_EQ(f.m_nPrMs, kNotInFile);
    EXPECT_EQ(f.m_nQrsMs, kNotInFile);
    EXPECT_EQ(f.m_nQtMs, kNotInFile) << "no QT of two and a half seconds";

    // Statements alone still make a line; a confirmed interpretation says so.
    CFileStatements said;
    said.m_Statements = {"Sinus rhythm", "", "Left axis deviation."};
    CFileFindings none;
    none.m_strWriter = "Philips XML";
    EXPECT_EQ(
        FileFindingsLine(none, said),
        "По данным файла (Philips XML): заключение файла: Sinus rhythm. Left axis deviation.");
    said.m_bConfirmed = true;
    EXPECT_NE(FileFindingsLine(none, said).find("заключение файла (подтверждено): "),
              std::string::npos);
    EXPECT_EQ(FileFindingsLine(none, {}), "") << "nothing from the file: no line";
}
