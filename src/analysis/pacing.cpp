#include "analysis/pacing.h"

#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace analysis {

namespace {

// Around a stimulus: within 6 ms it is the stimulus (a recorder's filters and a resampling
// spread it over a few samples), 6-20 ms away the signal it sits on.
constexpr double kSpikeHalfS = 0.006, kAroundS = 0.020;
// A stimulus bends the leads 5 times harder than anything in the 20 ms around it, and 20 times
// the signal's typical bend (its noise): the sharp apex of a QRS does neither.
constexpr double kLocalRatio = 5.0, kNoiseRatio = 20.0;

} // namespace

std::vector<size_t> FindPacingSpikes(const CEcgSignal& s) {
    const size_t n = s.Length();
    std::vector<size_t> out;
    if (n < 8 || !(s.dRate > 0))
        return out;
    std::vector<double> bend(n, 0.0);
    for (size_t l = 0; l < s.leads.size(); ++l) {
        if (l < s.present.size() && !s.present[l])
            continue;
        const std::vector<float>& x = s.leads[l];
        for (size_t i = 1; i + 1 < n; ++i)
            bend[i] += std::abs(2.0 * double(x[i]) - x[i - 1] - x[i + 1]);
    }
    const double noise = Median(bend);
    if (!(noise > 0))
        return out;
    const size_t half = std::max<size_t>(1, size_t(std::lround(kSpikeHalfS * s.dRate)));
    const size_t around = std::max<size_t>(half + 2, size_t(std::lround(kAroundS * s.dRate)));
    for (size_t i = around; i + around < n; ++i) {
        if (bend[i] < kNoiseRatio * noise || bend[i] < bend[i - 1] || bend[i] < bend[i + 1])
            continue;
        double rest = 0;
        for (size_t k = half + 1; k <= around; ++k)
            rest = std::max({rest, bend[i - k], bend[i + k]});
        if (bend[i] >= kLocalRatio * rest && (out.empty() || i > out.back() + around))
            out.push_back(i);
    }
    return out;
}

void RemovePacingSpikes(CEcgSignal& s, const std::vector<size_t>& spikes) {
    const size_t n = s.Length();
    const size_t half = std::max<size_t>(1, size_t(std::lround(kSpikeHalfS * s.dRate)));
    for (const size_t at : spikes) {
        if (at < half + 1 || at + half + 1 >= n)
            continue;
        const size_t a = at - half - 1, b = at + half + 1;
        for (std::vector<float>& x : s.leads)
            for (size_t i = a + 1; i < b; ++i)
                x[i] = float(x[a] + (x[b] - x[a]) * double(i - a) / double(b - a));
    }
}

std::vector<bool> PacedBeatFlags(const std::vector<size_t>& beats,
                                 const std::vector<size_t>& spikes, double rate) {
    const double earliest = 0.3 * rate, latest = 0.01 * rate;
    std::vector<std::optional<double>> delays(beats.size());
    std::vector<double> found;
    for (size_t k = 0; k < beats.size(); ++k) {
        // The nearest stimulus before the beat, in its window.
        auto it = std::upper_bound(spikes.begin(), spikes.end(), beats[k]);
        while (it != spikes.begin()) {
            const double d = double(beats[k]) - double(*--it);
            if (d > earliest)
                break;
            if (d >= latest) {
                delays[k] = d;
                found.push_back(d);
                break;
            }
        }
    }
    std::vector<bool> paced(beats.size(), false);
    if (found.empty())
        return paced;
    const double usual = Median(found);
    for (size_t k = 0; k < beats.size(); ++k)
        paced[k] = delays[k] && std::abs(*delays[k] - usual) <= 0.04 * rate;
    return paced;
}

size_t PacedBeats(const std::vector<size_t>& beats, const std::vector<size_t>& spikes,
                  double rate) {
    const std::vector<bool> paced = PacedBeatFlags(beats, spikes, rate);
    return size_t(std::count(paced.begin(), paced.end(), true));
}

size_t StimuliWithoutQrs(const std::vector<size_t>& beats, const std::vector<size_t>& spikes,
                         double rate, size_t length) {
    const auto window = size_t(0.3 * rate);
    return size_t(std::count_if(spikes.begin(), spikes.end(), [&](size_t spike) {
        if (spike + window >= length)
            return false; // its QRS may lie past the record's end
        const auto next = std::lower_bound(beats.begin(), beats.end(), spike);
        return next == beats.end() || *next > spike + window;
    }));
}

} // namespace analysis
