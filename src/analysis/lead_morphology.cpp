#include "analysis/lead_morphology.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

// A deflection smaller than this is noise on the median beat, not a wave: half the 50 µV the
// Minnesota Code takes as the least measurable wave, since median beats are quieter than one beat.
constexpr double kWaveUv = 25.0;
constexpr double kWaveMinMs = 6.0; // and it lasts at least this long
constexpr double kTerminalMs = 40.0;

struct Lobe {
    size_t from, to; // inclusive, indices of the median beat
    double peak;     // signed extreme
    size_t peakAt;
};

// The QRS split at its crossings of the PR level into lobes; lobes too small to be waves melt
// into their neighbours, and neighbours of one sign then join.
std::vector<Lobe> Lobes(const std::vector<float>& y, double base, size_t on, size_t end,
                        double rate) {
    std::vector<Lobe> raw;
    for (size_t i = on; i <= end; ++i) {
        const double x = y[i] - base;
        const bool positive = x >= 0;
        if (raw.empty() || (raw.back().peak >= 0) != positive) {
            raw.push_back({i, i, x, i});
            continue;
        }
        Lobe& l = raw.back();
        l.to = i;
        if (std::abs(x) > std::abs(l.peak))
            l.peak = x, l.peakAt = i;
    }
    const double minSamples = kWaveMinMs / 1000.0 * rate;
    std::vector<Lobe> out;
    for (const Lobe& l : raw) {
        const bool wave = std::abs(l.peak) >= kWaveUv && double(l.to - l.from + 1) >= minSamples;
        if (!wave) {
            if (!out.empty())
                out.back().to = l.to; // noise joins the wave before it
            continue;
        }
        if (!out.empty() && (out.back().peak >= 0) == (l.peak >= 0)) {
            Lobe& prev = out.back();
            prev.to = l.to;
            if (std::abs(l.peak) > std::abs(prev.peak))
                prev.peak = l.peak, prev.peakAt = l.peakAt;
            continue;
        }
        Lobe w = l;
        if (out.empty())
            w.from = on; // noise before the first wave belongs to it
        out.push_back(w);
    }
    return out;
}

double MeanOver(const std::vector<float>& y, double base, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i <= to; ++i)
        sum += y[i] - base;
    return sum / double(to - from + 1);
}

} // namespace

std::vector<LeadMorphology> DescribeLeads(const CEcgSignal& s, const Measurements& m) {
    std::vector<LeadMorphology> out;
    if (!m.qrsOnsetS || !m.qrsEndS || m.medianBeat.empty() || !(s.dRate > 0))
        return out;
    const double rate = s.dRate;
    const auto index = [&](double t) { return size_t(std::lround((t - m.medianStartS) * rate)); };
    const size_t on = index(*m.qrsOnsetS), end = index(*m.qrsEndS);
    const auto ms = [&](size_t i) { return (double(i) - double(on)) / rate * 1000.0; };
    const auto samples = [&](double msec) { return size_t(std::lround(msec / 1000.0 * rate)); };
    out.resize(m.medianBeat.size());
    for (size_t l = 0; l < m.medianBeat.size(); ++l) {
        const std::vector<float>& y = m.medianBeat[l];
        LeadMorphology& d = out[l];
        if (y.empty() || end >= y.size() || end <= on)
            continue;
        d.lane = l < s.names.size() ? LaneOfLeadName(s.names[l]) : -1;
        const double base = l < m.baselineUv.size() ? m.baselineUv[l] : 0.0;
        int positives = 0, negativesAfterR = 0;
        for (const Lobe& lobe : Lobes(y, base, on, end, rate)) {
            QrsWave w;
            w.amplitudeUv = lobe.peak;
            w.startMs = ms(lobe.from);
            w.endMs = ms(lobe.to + 1);
            w.peakMs = ms(lobe.peakAt);
            const double size = std::abs(lobe.peak);
            if (lobe.peak >= 0) {
                w.kind = 'R';
                w.bPrime = positives++ > 0;
                if (positives > 2)
                    continue;
                if (w.bPrime) {
                    d.r2Uv = std::max(d.r2Uv, size);
                } else {
                    d.rUv = size;
                    d.rMs = w.DurationMs();
                }
                d.rPeakTimeMs = w.peakMs;
            } else if (positives == 0) {
                w.kind = 'Q';
                d.qUv = size;
                d.qMs = w.DurationMs();
            } else {
                w.kind = 'S';
                w.bPrime = negativesAfterR++ > 0;
                if (!w.bPrime || size > d.sUv) {
                    d.sUv = std::max(d.sUv, size);
                    d.sMs = std::max(d.sMs, w.DurationMs());
                }
            }
            d.waves.push_back(w);
        }
        double hi = 0, lo = 0;
        for (size_t i = on; i <= end; ++i) {
            hi = std::max(hi, y[i] - base);
            lo = std::min(lo, y[i] - base);
        }
        d.peakToPeakUv = hi - lo;
        d.netUv = MeanOver(y, base, on, end);
        const size_t terminal = std::min(end - on, samples(kTerminalMs));
        d.terminalUv = MeanOver(y, base, end - terminal, end);
        // Just after the J point: a mean over 16 ms, so that one sample's noise does not decide.
        if (end + samples(16) < y.size())
            d.stJUv = MeanOver(y, base, end, end + samples(16));
        if (end + samples(64) < y.size())
            d.stJ60Uv = MeanOver(y, base, end + samples(56), end + samples(64));
        const size_t tFrom = end + samples(80);
        size_t tTo = std::min(y.size() - 1, end + samples(400));
        if (m.tEndS)
            tTo = std::min(tTo, index(*m.tEndS));
        if (tFrom < tTo) {
            double t = 0;
            for (size_t i = tFrom; i <= tTo; ++i)
                if (std::abs(y[i] - base) > std::abs(t))
                    t = y[i] - base;
            d.tUv = t;
        }
    }
    return out;
}

const LeadMorphology* LeadOf(const std::vector<LeadMorphology>& leads, StandardLane lane) {
    for (const LeadMorphology& l : leads)
        if (l.lane == int(lane))
            return &l;
    return nullptr;
}

} // namespace analysis
