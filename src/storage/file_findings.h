#pragma once
// What another system's file says its writer found in the ECG: the cart's own global
// measurements beside its interpretation (CLoadedRecord::fileStatements). They are the file's,
// shown as such next to velmora's own and never mixed into them.

#include "storage/scp_export.h"
#include "storage/scp_signal.h"

#include <string>
#include <vector>

// A measurement the file does not give.
constexpr int kNotInFile = kScpNotMeasured;

struct CFileFindings {
    // Who measured, for the line that shows them: "SCP-ECG", "Philips XML", "GE MUSE XML", ...
    std::string m_strWriter;
    int m_nHeartRate = kNotInFile; // ventricular rate, beats per minute
    int m_nRrMs = kNotInFile;
    int m_nPrMs = kNotInFile;
    int m_nQrsMs = kNotInFile;
    int m_nQtMs = kNotInFile;
    int m_nQtcMs = kNotInFile;
    int m_nPAxis = kNotInFile; // degrees
    int m_nQrsAxis = kNotInFile;
    int m_nTAxis = kNotInFile;

    // True when the file gave none of them.
    bool Empty() const;
};

// The global measurements an SCP-ECG file's Section 7 gives: intervals from the reference beat's
// wave boundaries, the rate from the file's own or from its average RR.
CFileFindings FindingsFromScp(const CScpMeasurements& measurements);

// Each measurement with its key (as velmora-cli measure names its own: "pr_ms"), its Russian
// name and unit (the window's source texts, context "FileFindings"), in the order the line shows
// them.
struct CFileFindingRow {
    const char* key;
    const char* russian;
    const char* unit; // with its leading space where one is written
    int value;        // kNotInFile when the file does not give it
};
std::vector<CFileFindingRow> FileFindingRows(const CFileFindings& findings);

// What the file gives, each "ЧСС 72 уд/мин", "PR 160 мс", "ось QRS 30°", in the words of the
// program's own measurement line (in the interface's language); a value the file does not give
// is left out.
std::vector<std::string> FileFindingsSummary(const CFileFindings& findings);

// One line for the window and the report: "По данным файла (Philips XML): ЧСС 72 уд/мин   PR 160
// мс ...   Заключение файла: Синусовый ритм. ..." with "(подтверждено)" when the file says a
// doctor confirmed it; the interface's language but for the file's own statements. Empty when
// the file gives neither measurements nor statements.
std::string FileFindingsLine(const CFileFindings& findings, const CFileStatements& statements);
