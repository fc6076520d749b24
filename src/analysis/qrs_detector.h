#pragma once
// QRS detection over every present lead of a signal of any length and sampling rate, after Pan
// and Tompkins (1985) with the decision rules of Hamilton and Tompkins (1986): an 8-20 Hz band,
// the squared slope summed over the leads (each weighed down where it is noisy), a 150 ms moving
// integral, adaptive signal and noise levels, a 200 ms refractory period, T-wave discrimination by
// slope within 360 ms, and a search back at half the threshold when an RR interval of 1.66 times
// the average passes; then noise that splits an RR interval of a regular rhythm and resembles no
// neighbouring beat goes.

#include "record_model/ecg_signal.h"

#include <cstddef>
#include <vector>

namespace analysis {

// The QRS complexes of s, as sample indices of s in ascending order: each at the peak of its
// slope energy over the leads, smoothed over 40 ms.
std::vector<size_t> DetectQrs(const CEcgSignal& s);

} // namespace analysis
