#pragma once
// The filters a stored ECG is read through: baseline wander (high-pass 0.05 or 0.67 Hz), mains
// interference (notch at 50 or 60 Hz) and muscle noise (low-pass 35 or 40 Hz). Each is a
// second-order section run forward and then backward, so that it shifts no wave in time; the
// ends are extended by odd reflection and the sections start in their steady state, so that
// nothing rings in from the edges. Any sampling rate; a copy is filtered, never the record.

#include "record_model/ecg_signal.h"

#include <span>
#include <vector>

namespace analysis {

enum class Filter { Mains50, Mains60, Baseline005, Baseline067, Muscle35, Muscle40 };

// One second-order section (direct form II transposed), a0 = 1.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

    static Biquad LowPass(double fc, double rate, double q = 0.7071067811865476);
    static Biquad HighPass(double fc, double rate, double q = 0.7071067811865476);
    static Biquad Notch(double f0, double rate, double q);
    // Gain at 0 Hz, for the steady state of a constant input.
    double DcGain() const { return (b0 + b1 + b2) / (1.0 + a1 + a2); }
};

// The sections of a filter at a rate. A filter whose frequency is at or above the Nyquist
// frequency of the rate has none: there is nothing it could remove.
std::vector<Biquad> SectionsOf(Filter f, double rate);

// Runs the sections forward and backward over x in place (zero phase).
void FilterZeroPhase(std::vector<float>& x, std::span<const Biquad> sections);
// The same over several leads of one length at once (faster than one by one).
void FilterZeroPhase(std::span<std::vector<float>* const> leads, std::span<const Biquad> sections);

// Every present lead of s through each filter in turn.
void ApplyFilters(CEcgSignal& s, std::span<const Filter> filters);

// A causal run of sections for a live stream, one sample at a time.
class CCausalFilter {
public:
    explicit CCausalFilter(std::vector<Biquad> sections);
    float Step(float x);

private:
    std::vector<Biquad> m_sections;
    std::vector<double> m_z1, m_z2;
    bool m_bStarted = false;
};

// The signal resampled to another rate (windowed-sinc interpolation, its cut-off below both
// Nyquist frequencies, so that a lower rate takes no alias).
CEcgSignal Resample(const CEcgSignal& s, double rate);

} // namespace analysis
