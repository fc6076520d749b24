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
    f.m_strWriter = "SCP-ECG";
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
