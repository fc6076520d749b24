#pragma once
// The signal of any SCP-ECG file as carts write it (versions 1.x and 2.x): Huffman-coded with the
// default table or the file's own tables, first or second differences, bimodal compression and
// reference beat subtraction undone, at the file's own rate in microvolts; an 8-lead file gets
// its four derived limb leads. And the writer's own measurements (Sections 7 and 10).

#include "record_model/ecg_signal.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The leads of an SCP-ECG file (Sections 2 to 6) as a signal: each lead named by its SCP lead
// code (LeadOfScpCode's label, "SCP lead N" for a code without one), placed in time by its
// sample numbers, in µV at the rate Section 6 (or, with bimodal compression, Section 5) gives.
// An 8-lead file (I, II, V1-V6 or any set with I and II but none of III, aVR, aVL, aVF) gets
// III, aVR, aVL and aVF derived from I and II. False with *error naming the fault: the file
// is refused and never read past its end. *pUnsupported (when given) is true for a well-formed
// file whose coding this reader does not take (a bimodal or reference beat rate that is no
// whole multiple of the rhythm's), which another reader may try.
bool ReadScpSignal(const uint8_t* data, size_t size, CEcgSignal& signal, std::string* error,
                   bool* pUnsupported = nullptr);

// What a writer marks as not measured.
constexpr int kScpNotMeasured = 29999;

// Section 7's global measurements of the first reference beat and of the whole record: ms
// from the reference beat's start for the wave boundaries, degrees for the axes.
struct CScpGlobalMeasurements {
    int m_nRrMs = kScpNotMeasured; // average RR interval
    int m_nPpMs = kScpNotMeasured; // average PP interval
    int m_nPOnset = kScpNotMeasured;
    int m_nPOffset = kScpNotMeasured;
    int m_nQrsOnset = kScpNotMeasured;
    int m_nQrsOffset = kScpNotMeasured;
    int m_nTOffset = kScpNotMeasured;
    int m_nPAxis = kScpNotMeasured;
    int m_nQrsAxis = kScpNotMeasured;
    int m_nTAxis = kScpNotMeasured;
    int m_nVentricularRate = kScpNotMeasured; // beats per minute
    int m_nQtc = kScpNotMeasured;             // ms
};

// One lead of Section 10: durations in ms, amplitudes in µV.
struct CScpLeadMeasurements {
    uint16_t m_nLeadCode = 0; // SCP lead code
    int m_nPDuration = kScpNotMeasured;
    int m_nPrInterval = kScpNotMeasured;
    int m_nQrsDuration = kScpNotMeasured;
    int m_nQtInterval = kScpNotMeasured;
    int m_nRAmplitude = kScpNotMeasured;
    int m_nSAmplitude = kScpNotMeasured;
};

struct CScpMeasurements {
    bool m_bGlobal = false; // Section 7 was there
    CScpGlobalMeasurements m_Global;
    std::vector<CScpLeadMeasurements> m_Leads; // Section 10, in file order
};

// Sections 7 and 10 of any SCP-ECG file. True with nothing when the file has neither. False with
// *error when the file or one of them is broken; what was whole before the fault is kept.
bool ReadScpMeasurements(const uint8_t* data, size_t size, CScpMeasurements& measurements,
                         std::string* error);
