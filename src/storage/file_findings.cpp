#include "storage/file_findings.h"

#include <cmath>

bool CFileFindings::Empty() const {
    for (int v : {m_nHeartRate, m_nRrMs, m_nPrMs, m_nQrsMs, m_nQtMs, m_nQtcMs, m_nPAxis, m_nQrsAxis,
                  m_nTAxis})
        if (v != kNotInFile)
            return false;
    return true;
}

namespace {

// b - a when the writer measured both and the result can be an interval (a writer's garbled
// boundary must not become a negative or absurd figure).
int Span(int a, int b) {
    if (a == kScpNotMeasured || b == kScpNotMeasured || b <= a || b - a > 2000)
        return kNotInFile;
    return b - a;
}

} // namespace

CFileFindings FindingsFromScp(const CScpMeasurements& measurements) {
    CFileFindings f;
    if (!measurements.m_bGlobal)
        return f;
    const CScpGlobalMeasurements& g = measurements.m_Global;
    f.m_nRrMs = g.m_nRrMs;
    f.m_nHeartRate = g.m_nVentricularRate;
    if (f.m_nHeartRate == kNotInFile && g.m_nRrMs != kScpNotMeasured && g.m_nRrMs > 0)
        f.m_nHeartRate = int(std::lround(60000.0 / g.m_nRrMs));
    f.m_nPrMs = Span(g.m_nPOnset, g.m_nQrsOnset);
    f.m_nQrsMs = Span(g.m_nQrsOnset, g.m_nQrsOffset);
    f.m_nQtMs = Span(g.m_nQrsOnset, g.m_nTOffset);
    f.m_nQtcMs = g.m_nQtc;
    f.m_nPAxis = g.m_nPAxis;
    f.m_nQrsAxis = g.m_nQrsAxis;
    f.m_nTAxis = g.m_nTAxis;
    return f;
}

std::vector<CFileFindingRow> FileFindingRows(const CFileFindings& f) {
    return {
        {"heart_rate_bpm", "ЧСС", " уд/мин", f.m_nHeartRate},
        {"rr_ms", "RR", " мс", f.m_nRrMs},
        {"pr_ms", "PR", " мс", f.m_nPrMs},
        {"qrs_ms", "QRS", " мс", f.m_nQrsMs},
        {"qt_ms", "QT", " мс", f.m_nQtMs},
        {"qtc_ms", "QTc", " мс", f.m_nQtcMs},
        {"axis_p_deg", "ось P", "°", f.m_nPAxis},
        {"axis_qrs_deg", "ось QRS", "°", f.m_nQrsAxis},
        {"axis_t_deg", "ось T", "°", f.m_nTAxis},
    };
}

std::vector<std::string> FileFindingsSummary(const CFileFindings& findings) {
    std::vector<std::string> parts;
    for (const CFileFindingRow& r : FileFindingRows(findings))
        if (r.value != kNotInFile)
            parts.push_back(std::string(r.russian) + " " + std::to_string(r.value) + r.unit);
    return parts;
}

std::string FileFindingsLine(const CFileFindings& findings, const CFileStatements& statements) {
    std::string line;
    for (const std::string& part : FileFindingsSummary(findings))
        line += (line.empty() ? "" : "   ") + part;
    std::string said;
    for (const std::string& s : statements.m_Statements) {
        if (s.empty())
            continue;
        said += (said.empty() ? "" : " ") + s;
        if (said.back() != '.')
            said += '.';
    }
    if (!said.empty())
        line += (line.empty() ? "" : "   ") + std::string("заключение файла") +
                (statements.m_bConfirmed ? " (подтверждено)" : "") + ": " + said;
    if (line.empty())
        return {};
    const std::string writer =
        findings.m_strWriter.empty() ? "" : " (" + findings.m_strWriter + ")";
    return "По данным файла" + writer + ": " + line;
}
