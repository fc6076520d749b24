#pragma once
// What another system's file says its writer found in the ECG: the cart's own global
// measurements beside its interpretation (CLoadedRecord::fileStatements). They are the file's,
// shown as such next to velmora's own and never mixed into them.

#include "storage/scp_signal.h"

#include <string>

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
