#include "storage/file_findings.h"

#include <QCoreApplication>
#include <cmath>

bool CFileFindings::Empty() const {
    for (int v : {m_nHeartRate, m_nRrMs, m_nPrMs, m_nQrsMs, m_nQtMs, m_nQtcMs, m_nPAxis, m_nQrsAxis,
                  m_nTAxis})
        if (v != kNotInFile)
            return false;
    return true;
}

namespace {

// A text of the rows as the window shows it.
std::string Shown(const char* russian) {
    return QCoreApplication::translate("FileFindings", russian).toStdString();
}

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
        {"heart_rate_bpm", QT_TRANSLATE_NOOP("FileFindings", "ЧСС"),
         QT_TRANSLATE_NOOP("FileFindings", " уд/мин"), f.m_nHeartRate},
        {"rr_ms", "RR", QT_TRANSLATE_NOOP("FileFindings", " мс"), f.m_nRrMs},
        {"pr_ms", "PR", QT_TRANSLATE_NOOP("FileFindings", " мс"), f.m_nPrMs},
        {"qrs_ms", "QRS", QT_TRANSLATE_NOOP("FileFindings", " мс"), f.m_nQrsMs},
        {"qt_ms", "QT", QT_TRANSLATE_NOOP("FileFindings", " мс"), f.m_nQtMs},
        {"qtc_ms", "QTc", QT_TRANSLATE_NOOP("FileFindings", " мс"), f.m_nQtcMs},
        {"axis_p_deg", QT_TRANSLATE_NOOP("FileFindings", "ось P"), "°", f.m_nPAxis},
        {"axis_qrs_deg", QT_TRANSLATE_NOOP("FileFindings", "ось QRS"), "°", f.m_nQrsAxis},
        {"axis_t_deg", QT_TRANSLATE_NOOP("FileFindings", "ось T"), "°", f.m_nTAxis},
    };
}

std::vector<std::string> FileFindingsSummary(const CFileFindings& findings) {
    std::vector<std::string> parts;
    for (const CFileFindingRow& r : FileFindingRows(findings))
        if (r.value != kNotInFile)
            parts.push_back(Shown(r.russian) + " " + std::to_string(r.value) + Shown(r.unit));
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
    // The file's statements stay in its own words; only what the program says of them is
    // translated.
    if (!said.empty())
        line += (line.empty() ? "" : "   ") +
                (statements.m_bConfirmed
                     ? QCoreApplication::translate("FileFindings",
                                                   "заключение файла (подтверждено): %1")
                     : QCoreApplication::translate("FileFindings", "заключение файла: %1"))
                    .arg(QString::fromStdString(said))
                    .toStdString();
    if (line.empty())
        return {};
    const QString all = QString::fromStdString(line);
    if (findings.m_strWriter.empty())
        return QCoreApplication::translate("FileFindings", "По данным файла: %1")
            .arg(all)
            .toStdString();
    return QCoreApplication::translate("FileFindings", "По данным файла (%1): %2")
        .arg(QString::fromStdString(findings.m_strWriter), all)
        .toStdString();
}
