#include "analysis/qrs_detector.h"

#include "analysis/beat_classifier.h"
#include "analysis/filters.h"
#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace analysis {

namespace {

// A robust scale of a non-negative feature: the median of its one-second maxima, so that a
// lead's noise bursts and its quiet stretches weigh alike.
double FeatureScale(const std::vector<float>& f, size_t second) {
    std::vector<float> maxima;
    for (size_t i = 0; i + second <= f.size(); i += second)
        maxima.push_back(*std::max_element(f.begin() + long(i), f.begin() + long(i + second)));
    if (maxima.empty())
        maxima.push_back(f.empty() ? 0.f : *std::max_element(f.begin(), f.end()));
    std::nth_element(maxima.begin(), maxima.begin() + long(maxima.size() / 2), maxima.end());
    return maxima[maxima.size() / 2];
}

constexpr double kLocalSeconds = 5.0; // a lead's own level: its mean slope energy over 5 s
constexpr double kLocalFloor =
    0.01;                         // of its robust scale, so that a flat stretch divides by little
constexpr double kLeadCap = 60.0; // one lead's spike counts at most this much

struct Candidate {
    size_t at;    // index of the integral's peak
    double level; // the integral there
    double slope; // the largest squared slope of the complex
};

// Noise that passed the thresholds (electrode motion mostly, near the T wave): a detection that
// splits one RR interval of a regular rhythm into a short one and the rest, whose QRS resembles
// none of the four beats on either side, and which is not much stronger than they are (as an
// interpolated ventricular beat would be). Irregular rhythms keep every beat.
std::vector<size_t> DropNoise(const std::vector<size_t>& beats,
                              const std::vector<std::vector<float>>& bands,
                              const std::vector<float>& integral, double rate) {
    constexpr size_t kNeighbours = 4;
    constexpr double kSimilar = 0.7;  // correlation of a QRS with a neighbour of its kind
    constexpr double kSplit = 0.2;    // the two intervals make one RR, within 20 %
    constexpr double kShort = 0.65;   // of which one is short
    constexpr double kRegular = 0.1;  // the median deviation of the local RR, of their median
    constexpr double kStronger = 2.0; // energy above twice the neighbours': a beat
    if (beats.size() <= 2 * kNeighbours || bands.empty())
        return beats;
    const size_t n = integral.size();
    const size_t w = std::max<size_t>(1, size_t(0.05 * rate + 0.5));
    std::vector<std::vector<double>> shapes;
    for (const size_t b : beats) {
        std::vector<double> v;
        for (const std::vector<float>& band : bands)
            for (size_t i = b >= w ? b - w : 0; i <= std::min(n - 1, b + w); ++i)
                v.push_back(band[i]);
        v.resize(bands.size() * (2 * w + 1), 0.0);
        shapes.push_back(std::move(v));
    }
    const auto around = [&](size_t k, auto f) {
        std::vector<double> v;
        for (size_t j = k >= kNeighbours ? k - kNeighbours : 0;
             j < std::min(beats.size(), k + kNeighbours + 1); ++j)
            if (j != k)
                v.push_back(f(j));
        return v;
    };
    std::vector<size_t> kept;
    for (size_t k = 0; k < beats.size(); ++k) {
        if (k == 0 || k + 1 >= beats.size() || kept.empty()) {
            kept.push_back(beats[k]);
            continue;
        }
        std::vector<double> rr;
        for (size_t j = k > 2 * kNeighbours + 1 ? k - 2 * kNeighbours - 1 : 1;
             j < std::min(beats.size(), k + 2 * kNeighbours + 1); ++j)
            rr.push_back(double(beats[j] - beats[j - 1]));
        const double m = Median(rr);
        std::vector<double> deviation;
        for (const double r : rr)
            deviation.push_back(std::abs(r - m));
        const double before = double(beats[k] - kept.back()),
                     after = double(beats[k + 1] - beats[k]);
        const bool regular = Median(deviation) <= kRegular * m;
        const bool splits =
            std::min(before, after) < kShort * m && std::abs(before + after - m) < kSplit * m;
        if (regular && splits) {
            const std::vector<double> sims =
                around(k, [&](size_t j) { return Correlation(shapes[k], shapes[j]); });
            const std::vector<double> levels =
                around(k, [&](size_t j) { return double(integral[beats[j]]); });
            if (*std::max_element(sims.begin(), sims.end()) < kSimilar &&
                integral[beats[k]] < kStronger * Median(levels))
                continue;
        }
        kept.push_back(beats[k]);
    }
    return kept;
}

} // namespace

std::vector<size_t> DetectQrs(const CEcgSignal& s) {
    const size_t n = s.Length();
    const double rate = s.dRate;
    if (n < 3 || !(rate > 0))
        return {};
    const auto samples = [rate](double seconds) {
        return std::max<size_t>(1, size_t(seconds * rate + 0.5));
    };

    // The band keeps the QRS and drops the P and T waves, the baseline and most muscle noise. Its
    // lower edge at 7 Hz keeps the slower slopes of wide ventricular complexes, whose energy lies
    // lower than a conducted QRS's (at 8 Hz a ventricular beat in bigeminy fell under the
    // threshold its narrow neighbours set).
    std::vector<Biquad> band = {Biquad::HighPass(7.0, rate), Biquad::LowPass(20.0, rate)};
    std::vector<float> energy(n, 0.f);
    std::vector<float> slope(n);
    std::vector<std::vector<float>> bands; // each present lead in the band, for the noise pass
    for (size_t l = 0; l < s.leads.size(); ++l)
        if (l >= s.present.size() || s.present[l])
            bands.push_back(s.leads[l]);
    std::vector<std::vector<float>*> all;
    for (std::vector<float>& b : bands)
        all.push_back(&b);
    FilterZeroPhase(all, band);
    for (const std::vector<float>& lead : bands) {
        for (size_t i = 1; i + 1 < n; ++i) {
            const double d = (lead[i + 1] - lead[i - 1]) * rate / 2.0;
            slope[i] = float(d * d);
        }
        slope[0] = slope[1];
        slope[n - 1] = slope[n - 2];
        const double scale = FeatureScale(slope, samples(1.0));
        if (!(scale > 0))
            continue; // a flat lead says nothing
        // A lead weighs less where it is noisy: its slope energy is divided by its own mean
        // over the surrounding seconds, which noise raises and a clean QRS barely moves.
        const size_t span = samples(kLocalSeconds);
        std::vector<double> sum(n + 1, 0.0);
        for (size_t i = 0; i < n; ++i)
            sum[i + 1] = sum[i] + slope[i] / scale;
        for (size_t i = 0; i < n; ++i) {
            const size_t a = i >= span / 2 ? i - span / 2 : 0, b = std::min(n, a + span);
            const double local = (sum[b] - sum[a]) / double(b - a);
            energy[i] += float(std::min(slope[i] / scale / (local + kLocalFloor), kLeadCap));
        }
    }

    // The moving integral over 150 ms, centred so that its peak stays on the complex.
    const size_t window = samples(0.150);
    std::vector<double> prefix(n + 1, 0.0);
    for (size_t i = 0; i < n; ++i)
        prefix[i + 1] = prefix[i] + energy[i];
    std::vector<float> integral(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t a = i >= window / 2 ? i - window / 2 : 0;
        const size_t b = std::min(n, a + window);
        integral[i] = float((prefix[b] - prefix[a]) / double(window));
    }

    // Candidate peaks: the largest value within 200 ms on either side.
    const size_t apart = samples(0.200);
    std::vector<Candidate> candidates;
    for (size_t i = 1; i + 1 < n; ++i) {
        if (integral[i] <= integral[i - 1] || integral[i] < integral[i + 1])
            continue;
        const size_t a = i >= apart ? i - apart : 0, b = std::min(n, i + apart + 1);
        if (*std::max_element(integral.begin() + long(a), integral.begin() + long(b)) > integral[i])
            continue;
        const size_t w0 = i >= window / 2 ? i - window / 2 : 0, w1 = std::min(n, w0 + window);
        const double top = *std::max_element(energy.begin() + long(w0), energy.begin() + long(w1));
        candidates.push_back({i, integral[i], top});
    }
    if (candidates.empty())
        return {};

    // Learning: the levels from the first two seconds (or the whole signal when shorter).
    const size_t learn = std::min(n, samples(2.0));
    double spk = 0, npk = 0;
    for (const Candidate& c : candidates)
        if (c.at < learn)
            spk = std::max(spk, c.level);
    if (spk == 0)
        spk = candidates.front().level;
    npk = std::accumulate(integral.begin(), integral.begin() + long(learn), 0.0) / double(learn);
    spk *= 0.5;

    std::vector<size_t> peaks;  // the integral's peak of each accepted complex
    std::vector<double> slopes; // and its slope
    std::vector<double> rr;     // the last eight intervals, in samples
    const size_t refractory = samples(0.200), tWindow = samples(0.360);
    size_t lastSearch = 0; // candidates before this index have been searched back
    const auto threshold = [&] { return npk + 0.25 * (spk - npk); };
    const auto meanRr = [&] {
        return rr.empty() ? 0.0 : std::accumulate(rr.begin(), rr.end(), 0.0) / double(rr.size());
    };
    const auto accept = [&](const Candidate& c, bool searched) {
        if (!peaks.empty()) {
            rr.push_back(double(c.at - peaks.back()));
            if (rr.size() > 8)
                rr.erase(rr.begin());
        }
        peaks.push_back(c.at);
        slopes.push_back(c.slope);
        spk = searched ? 0.25 * c.level + 0.75 * spk : 0.125 * c.level + 0.875 * spk;
    };

    for (size_t k = 0; k < candidates.size(); ++k) {
        const Candidate& c = candidates[k];
        // Search back: a beat missed since the last one, at half the threshold, once 1.5 average
        // RR have passed (Hamilton and Tompkins' choice: a missed beat of a couplet or of a
        // compensatory pause leaves a gap of 1.5 to 2 RR, which 1.66 let pass too often).
        if (!peaks.empty() && !rr.empty() && double(c.at - peaks.back()) > 1.5 * meanRr()) {
            const Candidate* best = nullptr;
            for (size_t j = lastSearch; j < k; ++j) {
                const Candidate& b = candidates[j];
                if (b.at > peaks.back() + refractory && b.level > 0.5 * threshold() &&
                    (!best || b.level > best->level))
                    best = &b;
            }
            lastSearch = k;
            if (best)
                accept(*best, true);
        }
        if (c.level <= threshold()) {
            npk = 0.125 * c.level + 0.875 * npk;
            continue;
        }
        if (!peaks.empty() && c.at <= peaks.back() + refractory) {
            npk = 0.125 * c.level + 0.875 * npk;
            continue;
        }
        if (!peaks.empty() && c.at <= peaks.back() + tWindow && c.slope < 0.5 * slopes.back()) {
            npk = 0.125 * c.level + 0.875 * npk; // a T wave: the slope of a QRS is steeper
            continue;
        }
        accept(c, false);
        lastSearch = k + 1;
    }

    // Each complex at the peak of its slope energy smoothed over 40 ms, near the integral's peak.
    const size_t smooth = samples(0.040);
    std::vector<size_t> beats;
    beats.reserve(peaks.size());
    for (const size_t p : peaks) {
        const size_t a = p >= window / 2 ? p - window / 2 : 0, b = std::min(n, p + window / 2 + 1);
        size_t best = p;
        double top = -1;
        for (size_t i = a; i < b; ++i) {
            const size_t u = i >= smooth / 2 ? i - smooth / 2 : 0, v = std::min(n, u + smooth);
            const double e = prefix[v] - prefix[u];
            if (e > top)
                top = e, best = i;
        }
        beats.push_back(best);
    }
    std::sort(beats.begin(), beats.end());
    beats.erase(std::unique(beats.begin(), beats.end()), beats.end());
    return DropNoise(beats, bands, integral, rate);
}

size_t DetectionWindowFrames(size_t leads, size_t windowBytes) {
    return windowBytes / (12 * leads + 64);
}

bool DetectQrsInWindows(size_t frames, size_t leads, double rate, const SignalPieceReader& read,
                        const std::function<bool(size_t, BeatClass)>& onBeat, std::string* error,
                        size_t windowBytes) {
    const size_t window = DetectionWindowFrames(leads, windowBytes);
    CEcgSignal piece;
    if (frames <= window) {
        if (!read(0, frames, piece, error))
            return false;
        const std::vector<size_t> beats = DetectQrs(piece);
        const std::vector<BeatClass> classes = ClassifyBeats(piece, beats);
        for (size_t k = 0; k < beats.size(); ++k)
            if (!onBeat(beats[k], classes[k]))
                return false;
        return true;
    }
    const size_t overlap = size_t(kDetectionOverlapS * rate + 0.5);
    if (!(rate > 0) || window < 4 * overlap) {
        *error = std::to_string(leads) + " signals at " + std::to_string(long(rate)) +
                 " Hz: " + std::to_string(long(4 * kDetectionOverlapS)) +
                 " s of them, the least the detector works on at once, need more than " +
                 std::to_string(windowBytes >> 20) + " MB";
        return false;
    }
    // A beat the two windows around a seam both see may fall a sample either side of it in
    // each: a window keeps from one refractory period before its middle part on, and no beat
    // within one refractory period of the last one kept.
    const size_t refractory = size_t(0.200 * rate + 0.5);
    const size_t core = window - 2 * overlap;
    bool any = false;
    size_t last = 0;
    for (size_t start = 0; start < frames; start += core) {
        const size_t from = start > overlap ? start - overlap : 0;
        const size_t to = std::min(frames, start + core + overlap);
        const size_t end = start + core >= frames ? frames : start + core;
        if (!read(from, to - from, piece, error))
            return false;
        // Each window's beats are classified against that window's own dominant beat: the
        // overlap gives the classifier the beats before its middle part for the local RR.
        const std::vector<size_t> beats = DetectQrs(piece);
        const std::vector<BeatClass> classes = ClassifyBeats(piece, beats);
        for (size_t k = 0; k < beats.size(); ++k) {
            const size_t b = from + beats[k];
            if (b >= end || b + refractory < start || (any && b <= last + refractory))
                continue;
            if (!onBeat(b, classes[k]))
                return false;
            any = true;
            last = b;
        }
    }
    return true;
}

} // namespace analysis
