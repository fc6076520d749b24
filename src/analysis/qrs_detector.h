#pragma once
// QRS detection over every present lead of a signal of any length and sampling rate, after Pan
// and Tompkins (1985) with the decision rules of Hamilton and Tompkins (1986): a 7-20 Hz band,
// the squared slope summed over the leads (each weighed down where it is noisy), a 150 ms moving
// integral, adaptive signal and noise levels, a 200 ms refractory period, T-wave discrimination by
// slope within 360 ms, and a search back at half the threshold when an RR interval of 1.5 times
// the average passes; then noise that splits an RR interval of a regular rhythm and resembles no
// neighbouring beat goes.

#include "analysis/measurements.h"
#include "record_model/ecg_signal.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace analysis {

// The QRS complexes of s, as sample indices of s in ascending order: each at the peak of its
// slope energy over the leads, smoothed over 40 ms.
std::vector<size_t> DetectQrs(const CEcgSignal& s);

// Reads frames [first, first + count) of a long signal into out; false with *error.
using SignalPieceReader =
    std::function<bool(size_t first, size_t count, CEcgSignal& out, std::string* error)>;

// What one detection window may take: the signal as floats and the detector's own vectors (the
// band-passed leads, the slope energy, its sums, the filters' working copy, the beats' shapes),
// about 12 bytes per lead and 64 per frame (the classifier reads the signal where it is). 96 MB
// keeps a 30-minute two-lead Holter record (and any ten-second record) in one window, as DetectQrs
// sees it, and twelve leads at 500 Hz in windows of a quarter of an hour.
constexpr size_t kDetectionWindowBytes = size_t(96) << 20;
constexpr double kDetectionOverlapS = 20.0;

// The frames of `leads` leads one window of windowBytes holds.
size_t DetectionWindowFrames(size_t leads, size_t windowBytes = kDetectionWindowBytes);

// DetectQrs over a signal of `frames` frames read piece by piece, in memory bounded by
// windowBytes whatever its length: a signal that fits one window is detected whole (the beats
// are DetectQrs's); a longer one in windows overlapping by kDetectionOverlapS on either side
// (time for the adaptive thresholds, the RR average and the noise pass's neighbours to settle),
// each keeping the beats of its middle part. Each beat goes to onBeat in ascending order with
// its class (ClassifyBeats over the window's own signal; false from onBeat stops with *error
// left as it set it). False with *error when a piece cannot be
// read, or when 4 x kDetectionOverlapS of the signal does not fit a window (too many leads at
// too high a rate).
bool DetectQrsInWindows(size_t frames, size_t leads, double rate, const SignalPieceReader& read,
                        const std::function<bool(size_t beat, BeatClass c)>& onBeat,
                        std::string* error, size_t windowBytes = kDetectionWindowBytes);

} // namespace analysis
