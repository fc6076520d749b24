#pragma once
// The shape of each lead's median beat as a cardiologist reads it: the QRS's waves (Q, R, S, R',
// S') with their amplitudes and durations, the R peak time, the terminal part of the QRS, the ST
// level after the J point and the T wave. The statements about conduction, hypertrophy and the ST
// segment stand on these.

#include "analysis/measurements.h"

#include <optional>
#include <string>
#include <vector>

namespace analysis {

// One deflection of the QRS from the PR level.
struct QrsWave {
    char kind = 'R';                           // 'Q', 'R' or 'S'
    bool bPrime = false;                       // R' or S': the second of its kind
    double amplitudeUv = 0;                    // signed: negative for Q and S
    double startMs = 0, endMs = 0, peakMs = 0; // from the QRS onset
    double DurationMs() const { return endMs - startMs; }
};

struct LeadMorphology {
    int lane = -1; // the standard lead, -1 for another
    std::vector<QrsWave> waves;
    double qUv = 0, rUv = 0, sUv = 0, r2Uv = 0; // the largest of each (magnitudes)
    double qMs = 0, rMs = 0, sMs = 0;           // their durations
    std::optional<double> rPeakTimeMs;          // QRS onset to the peak of the last R
    double terminalUv = 0;                      // mean deflection of the last 40 ms of the QRS
    double netUv = 0; // mean deflection over the QRS (its area by its duration)
    double peakToPeakUv = 0;
    std::optional<double> stJUv;   // ST level just after the J point
    std::optional<double> stJ60Uv; // 60 ms after the J point
    std::optional<double> tUv;     // the T wave's largest deflection, signed

    bool HasQ() const { return qUv > 0; }
    bool HasRPrime() const { return r2Uv > 0; }
};

// The leads of s in the order of its lanes (absent leads left with lane -1 and no waves), read on
// m's median beat; empty when m has no QRS boundaries.
std::vector<LeadMorphology> DescribeLeads(const CEcgSignal& s, const Measurements& m);

// The description of a standard lead, nullptr when it is not there.
const LeadMorphology* LeadOf(const std::vector<LeadMorphology>& leads, StandardLane lane);

} // namespace analysis
