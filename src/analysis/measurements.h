#pragma once
// The measurements of a resting ECG: rhythm (RR, heart rate) from the detected beats; a median
// beat per lead from the beats of the dominant type; global wave boundaries on the median beats
// (P onset and end, QRS onset and end, T end) and the intervals, axes and amplitudes they give.
// A value that cannot be measured is absent, never 0.

#include "analysis/filters.h"
#include "record_model/ecg_record.h"
#include "record_model/ecg_signal.h"
#include "record_model/lead_vocabulary.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace analysis {

// R and S of one lead's median beat, in mV (both >= 0).
struct LeadAmplitudes {
    std::string name;
    std::optional<double> rMv, sMv;
};

// What a beat is, from its QRS against the dominant beat's, its width and its timing (the
// letters of the MIT-BIH annotations' classes).
enum class BeatClass : char {
    Normal = 'N',      // normal or supraventricular: conducted through the ventricles' own paths
    Ventricular = 'V', // arising in the ventricles (premature, wide, unlike the dominant beat)
    Unknown = 'Q',     // too noisy or too odd to say
};

struct Measurements {
    std::vector<size_t> beats;          // every detected QRS, as sample indices of the signal
    std::vector<BeatClass> beatClasses; // one per beat
    std::vector<size_t> pacingSpikes;   // a pacemaker's stimuli, taken out before detection
    int nDominantBeats = 0; // the beats the median beat was made of (dominant, with room
                            // for their T wave before the next beat)

    std::optional<double> rrMeanMs, rrMinMs, rrMaxMs, heartRateBpm;
    std::optional<double> pMs, prMs, qrsMs, qtMs, qtcBazettMs, qtcFridericiaMs;
    std::optional<double> qtcRrMs; // the RR both QTc correct by: the mean before the QT's beats
    std::optional<double> axisPDeg, axisQrsDeg, axisTDeg;
    std::optional<double> sokolowLyonMv;
    std::vector<LeadAmplitudes> amplitudes;

    // The boundaries on the median beat, in seconds from its QRS fiducial (negative before it).
    std::optional<double> pOnsetS, pEndS, qrsOnsetS, qrsEndS, tEndS;
    // Each lead's level at the end of the PR segment (µV), from which its waves are measured.
    std::vector<double> baselineUv;
    // The median beat per lead (µV, empty for an absent lead), from medianStartS on, at the
    // signal's rate: for drawing the fiducial points.
    std::vector<std::vector<float>> medianBeat;
    double medianStartS = 0.0;
};

// Index of the present lead of s named as the standard lead in `lane`, or -1.
int LeadIndex(const CEcgSignal& s, StandardLane lane);

// Measures s (any rate, any set of leads; the standard limb leads give the axes). *cleaned,
// when given, gets s as it was measured: through the filters that take baseline wander and
// mains hum off it.
Measurements Measure(const CEcgSignal& s, CEcgSignal* cleaned = nullptr);

// A record's measurements as it is read: its lanes through the filters (none: as received).
// Whatever shows or prints a record's measurements takes them from here, so that the window,
// its report and velmora-cli never measure one reading two ways.
Measurements MeasureRecord(const ECG_RECORD& record, std::span<const Filter> filters);

// The heart rate of the last beats of a live stretch (the median of its last four RR
// intervals); absent with fewer than three beats.
std::optional<double> RecentHeartRate(const CEcgSignal& s);

} // namespace analysis
