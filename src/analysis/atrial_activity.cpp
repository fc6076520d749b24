#include "analysis/atrial_activity.h"

#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace analysis {

namespace {

// The atria are read at about 100 samples per second: enough for waves of 40 ms and more, and
// the search over every lag stays within a fraction of a millisecond.
constexpr double kAtrialRate = 100.0;
// Flutter waves: 240-440/min (a cycle of 136-250 ms), as regular as clockwork: the residue
// repeats itself after one, two and three cycles.
constexpr double kFlutterMinS = 0.136, kFlutterMaxS = 0.25;
constexpr double kFlutterRepeat = 0.6;
// Dissociated P waves: 40-180/min, repeating after one cycle (two cycles of a slow atrial
// rhythm leave few pairs in ten seconds).
constexpr double kPMinS = 0.33, kPMaxS = 1.5;
constexpr double kPRepeat = 0.45;
// Below this the residue is noise, whatever its rhythm: flutter waves are some tenths of a mV;
// P waves of 0.1 mV, a tenth of the cycle long, leave a few µV of RMS after the high-pass.
constexpr double kMinimumRmsUv = 15.0;
constexpr double kMinimumPRmsUv = 4.0;

// The leads that show the atria best, with where each is in s.
struct AtrialLeads {
    CEcgSignal signal;
    std::vector<size_t> index;
};

AtrialLeads Leads(const CEcgSignal& s) {
    AtrialLeads out;
    for (const StandardLane lane : {kLaneII, kLaneIII, kLaneAvf, kLaneV1})
        if (const int l = LeadIndex(s, lane); l >= 0)
            out.index.push_back(size_t(l));
    for (size_t l = 0; out.index.size() < 2 && l < s.leads.size(); ++l)
        if ((l >= s.present.size() || s.present[l]) &&
            std::find(out.index.begin(), out.index.end(), l) == out.index.end())
            out.index.push_back(l);
    out.signal.dRate = s.dRate;
    for (const size_t l : out.index) {
        out.signal.leads.push_back(s.leads[l]);
        out.signal.names.push_back(l < s.names.size() ? s.names[l] : std::string());
    }
    out.signal.present.assign(out.index.size(), true);
    return out;
}

// Where a beat's QRS lies best on the median beat's (within 12 ms of where it was detected):
// the offset of the median beat's first sample in the signal.
long Aligned(const std::vector<float>& x, const std::vector<float>& tmpl, long start, long half,
             long centre, long shift) {
    long best = start;
    double top = -1e300;
    for (long d = -shift; d <= shift; ++d) {
        double sum = 0;
        for (long i = centre - half; i <= centre + half; ++i) {
            const long at = start + d + i;
            if (at < 0 || at >= long(x.size()))
                continue;
            sum += double(x[size_t(at)]) * tmpl[size_t(i)];
        }
        if (sum > top)
            top = sum, best = start + d;
    }
    return best;
}

// Normalised autocorrelation of the residues at a lag, over the samples kept in both places
// (r is 0 where it is not kept, mask 1 where it is), summed over the leads (each lead weighs by
// its energy).
double Autocorrelation(const std::vector<std::vector<double>>& r, const std::vector<double>& mask,
                       size_t lag) {
    double num = 0, a = 0, b = 0;
    for (const std::vector<double>& x : r)
        for (size_t i = 0; i + lag < x.size(); ++i) {
            num += x[i] * x[i + lag];
            a += x[i] * x[i] * mask[i + lag];
            b += x[i + lag] * x[i + lag] * mask[i];
        }
    return a > 0 && b > 0 ? num / std::sqrt(a * b) : 0.0;
}

// The best lag of [lo, hi] whose residue repeats at one, two and three times it.
std::optional<double> Period(const std::vector<std::vector<double>>& r,
                             const std::vector<double>& mask, double rate, double loS, double hiS,
                             double threshold, int repeats) {
    const size_t lo = std::max<size_t>(2, size_t(loS * rate)), hi = size_t(hiS * rate + 0.5);
    // Only the lags asked for are worked out: the window, then the best one's multiples.
    std::vector<std::optional<double>> ac(hi * size_t(repeats) + 2);
    const auto at = [&](size_t lag) {
        if (lag >= ac.size() || lag >= mask.size() / 2)
            return 0.0;
        if (!ac[lag])
            ac[lag] = Autocorrelation(r, mask, lag);
        return *ac[lag];
    };
    size_t best = 0;
    for (size_t lag = lo; lag <= hi; ++lag)
        if (at(lag) > at(lag - 1) && at(lag) >= at(lag + 1) && (!best || at(lag) > at(best)))
            best = lag;
    if (!best || at(best) < threshold)
        return std::nullopt;
    for (int k = 2; k <= repeats; ++k) {
        double top = 0;
        for (size_t lag = best * size_t(k) - 1; lag <= best * size_t(k) + 1; ++lag)
            top = std::max(top, at(lag));
        if (top < threshold * 0.8)
            return std::nullopt;
    }
    return double(best) / rate;
}

// x at about kAtrialRate: means over blocks, which also low-pass it.
std::vector<double> Decimated(const std::vector<double>& x, size_t q) {
    std::vector<double> out(x.size() / q);
    for (size_t i = 0; i < out.size(); ++i) {
        double sum = 0;
        for (size_t j = 0; j < q; ++j)
            sum += x[i * q + j];
        out[i] = sum / double(q);
    }
    return out;
}

// x less its mean over `w` samples around each: the slow T wave goes, atrial waves stay.
std::vector<double> HighPassed(const std::vector<double>& x, size_t w) {
    std::vector<double> prefix(x.size() + 1, 0.0);
    for (size_t i = 0; i < x.size(); ++i)
        prefix[i + 1] = prefix[i] + x[i];
    std::vector<double> out(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const size_t a = i >= w / 2 ? i - w / 2 : 0, b = std::min(x.size(), a + w);
        out[i] = x[i] - (prefix[b] - prefix[a]) / double(b - a);
    }
    return out;
}

// Of residues that are 0 where they are not kept.
double Rms(const std::vector<std::vector<double>>& r, const std::vector<double>& mask) {
    double sum = 0;
    for (const std::vector<double>& x : r)
        sum += std::inner_product(x.begin(), x.end(), x.begin(), 0.0);
    const double n = std::accumulate(mask.begin(), mask.end(), 0.0) * double(r.size());
    return n > 0 ? std::sqrt(sum / n) : 0.0;
}

bool NearMultiple(double a, double b) {
    for (int k = 1; k <= 4; ++k)
        if (std::abs(a - b * k) < 0.08 * b * k || std::abs(a * k - b) < 0.08 * b)
            return true;
    return false;
}

} // namespace

Atrial AnalyseAtria(const CEcgSignal& s, const Measurements& m, bool bDissociation) {
    Atrial out;
    if (m.beats.size() < 3 || m.medianBeat.empty() || !m.qrsOnsetS || !m.qrsEndS ||
        !(s.dRate > 0) || s.Length() < size_t(4.0 * s.dRate))
        return out;
    const AtrialLeads a = Leads(s);
    const double rate = s.dRate;
    const size_t n = s.Length();
    const long start = std::lround(m.medianStartS * rate); // median beat's first sample
    const long centre = -start;
    const long half = std::lround(0.06 * rate), shift = std::lround(0.012 * rate);
    const long qrsOn = centre + std::lround(*m.qrsOnsetS * rate) - std::lround(0.02 * rate);
    const long qrsEnd = centre + std::lround(*m.qrsEndS * rate) + std::lround(0.02 * rate);

    // Two residues: with the QRS blanked only (flutter waves locked to the QRS at a fixed
    // conduction ratio stay), and with each beat's whole median beat taken away (P waves locked
    // to their QRS go, dissociated ones stay).
    std::vector<std::vector<double>> blanked(a.index.size()), cancelled(a.index.size());
    std::vector<bool> keepQrs(n, true), keepBeat(n, true);
    for (size_t j = 0; j < a.index.size(); ++j) {
        const std::vector<float>& x = a.signal.leads[j];
        blanked[j].assign(x.begin(), x.end());
        if (bDissociation)
            cancelled[j].assign(x.begin(), x.end());
        const std::vector<float>& tmpl = m.medianBeat[a.index[j]];
        if (tmpl.empty())
            continue;
        const long len = long(tmpl.size());
        for (size_t k = 0; k < m.beats.size(); ++k) {
            const long at = Aligned(x, tmpl, long(m.beats[k]) + start, half, centre, shift);
            const bool ventricular =
                k < m.beatClasses.size() && m.beatClasses[k] == BeatClass::Ventricular;
            for (long i = 0; i < len; ++i) {
                const long t = at + i;
                if (t < 0 || t >= long(n))
                    continue;
                if (i >= qrsOn && i <= qrsEnd)
                    keepQrs[size_t(t)] = false;
                if (ventricular)
                    keepBeat[size_t(t)] = false;
                else if (bDissociation)
                    cancelled[j][size_t(t)] -= tmpl[size_t(i)];
            }
            if (ventricular)
                for (long t = at + qrsOn; t <= at + len && t < long(n); ++t)
                    if (t >= 0)
                        keepQrs[size_t(t)] = false;
        }
    }
    for (size_t i = 0; i < n; ++i)
        keepBeat[i] = keepBeat[i] && keepQrs[i];

    const size_t q = std::max<size_t>(1, size_t(std::lround(rate / kAtrialRate)));
    const double low = rate / double(q);
    // The high-pass: 100 ms for flutter waves (the slow T wave goes), 200 ms for P waves (of
    // about 100 ms themselves).
    const auto prepare = [&](std::vector<std::vector<double>>& r, const std::vector<bool>& keep,
                             std::vector<double>& maskLow, double highPassS) {
        maskLow.assign(n / q, 1.0);
        for (size_t i = 0; i < maskLow.size(); ++i)
            for (size_t j = 0; j < q; ++j)
                if (!keep[i * q + j])
                    maskLow[i] = 0.0;
        const size_t w = std::max<size_t>(3, size_t(highPassS * low));
        for (std::vector<double>& x : r) {
            // Across what is left out, a straight line: a step there would ring through the
            // filters at every beat, a rhythm of its own.
            for (size_t i = 0; i < n;) {
                if (keep[i]) {
                    ++i;
                    continue;
                }
                size_t end = i;
                while (end < n && !keep[end])
                    ++end;
                const double from = i > 0 ? x[i - 1] : (end < n ? x[end] : 0.0);
                const double to = end < n ? x[end] : from;
                for (size_t k = i; k < end; ++k)
                    x[k] = from + (to - from) * double(k - i + 1) / double(end - i + 1);
                i = end;
            }
            x = HighPassed(Decimated(x, q), w);
            // Atrial waves have little above 15 Hz, muscle and electrode noise much: a 30 ms
            // mean keeps the first.
            const std::vector<double> high = x;
            for (size_t i = 1; i + 1 < x.size(); ++i)
                x[i] = (high[i - 1] + high[i] + high[i + 1]) / 3.0;
            for (size_t i = 0; i < x.size(); ++i)
                x[i] *= maskLow[i];
        }
    };
    std::vector<double> lowQrs, lowBeat;
    prepare(blanked, keepQrs, lowQrs, 0.1);
    const double rrS = m.rrMeanMs ? *m.rrMeanMs / 1000.0 : 1.0;
    if (Rms(blanked, lowQrs) >= kMinimumRmsUv)
        if (const std::optional<double> f =
                Period(blanked, lowQrs, low, kFlutterMinS, kFlutterMaxS, kFlutterRepeat, 3);
            f && rrS >= 1.8 * *f)
            out.flutterRateBpm = 60.0 / *f;
    if (!bDissociation || out.flutterRateBpm)
        return out;
    prepare(cancelled, keepBeat, lowBeat, 0.2);
    if (Rms(cancelled, lowBeat) >= kMinimumPRmsUv)
        if (const std::optional<double> p =
                Period(cancelled, lowBeat, low, kPMinS, kPMaxS, kPRepeat, 1);
            p && !NearMultiple(*p, rrS))
            out.dissociatedRateBpm = 60.0 / *p;
    return out;
}

bool HasBlockedP(const CEcgSignal& s, const Measurements& m, size_t from, size_t to) {
    if (!m.pOnsetS || !m.pEndS || !m.qrsEndS || m.medianBeat.empty() || !(s.dRate > 0))
        return false;
    const AtrialLeads a = Leads(s);
    const double rate = s.dRate;
    const long start = std::lround(m.medianStartS * rate);
    const long pOn = -start + std::lround(*m.pOnsetS * rate);
    const long pEnd = -start + std::lround(*m.pEndS * rate);
    std::vector<size_t> leads; // of a.index with a median beat
    for (size_t j = 0; j < a.index.size(); ++j)
        if (!m.medianBeat[a.index[j]].empty())
            leads.push_back(j);
    if (leads.empty())
        return false;
    // The median P wave's size: its largest deviation over the atrial leads (RMS) from where
    // it starts. (Its shape is no template: where the PR changes from beat to beat, as in a
    // Wenckebach block, the median beat smears it.)
    double pSize = 0;
    for (long i = pOn; i <= pEnd; ++i) {
        double sum = 0;
        for (const size_t j : leads) {
            const std::vector<float>& beat = m.medianBeat[a.index[j]];
            sum += std::pow(beat[size_t(i)] - beat[size_t(pOn)], 2);
        }
        pSize = std::max(pSize, std::sqrt(sum / double(leads.size())));
    }
    // The pause after the previous beat's T wave and before the next beat's own P wave, with
    // the previous beat's QRS-T (its median beat) taken away, each lead less the straight line
    // between the pause's ends: flat but for a P wave no QRS followed.
    const double tEndS = m.tEndS ? *m.tEndS : *m.qrsEndS + 0.3;
    const long lo = long(from) + std::lround((tEndS + 0.04) * rate);
    const long hi = long(to) + std::lround((*m.pOnsetS - 0.04) * rate);
    const long w = std::max(2L, std::lround(0.02 * rate));
    if (lo < 0 || hi >= long(s.Length()) || hi - lo < 4 * w)
        return false;
    const size_t span = size_t(hi - lo + 1);
    std::vector<double> magnitude(span, 0.0);
    for (const size_t j : leads) {
        const std::vector<float>& x = a.signal.leads[j];
        const std::vector<float>& beat = m.medianBeat[a.index[j]];
        std::vector<double> y(span);
        for (size_t i = 0; i < span; ++i) {
            const long t = lo + long(i), b = t - long(from) - start;
            y[i] = x[size_t(t)];
            if (b > pEnd && b < long(beat.size()))
                y[i] -= beat[size_t(b)] - beat[size_t(pEnd)];
        }
        const double y0 = std::accumulate(y.begin(), y.begin() + w, 0.0) / double(w);
        const double y1 = std::accumulate(y.end() - w, y.end(), 0.0) / double(w);
        for (size_t i = 0; i < span; ++i) {
            const double d = y[i] - y0 - (y1 - y0) * double(i) / double(span - 1);
            magnitude[i] += d * d / double(leads.size());
        }
    }
    // Smoothed over 20 ms: a P wave lasts 60-120 ms, noise a sample or two.
    std::vector<double> smooth(span, 0.0);
    for (size_t i = 0; i < span; ++i) {
        const size_t a0 = i >= size_t(w / 2) ? i - size_t(w / 2) : 0;
        const size_t a1 = std::min(span, a0 + size_t(w));
        double sum = 0;
        for (size_t k = a0; k < a1; ++k)
            sum += std::sqrt(magnitude[k]);
        smooth[i] = sum / double(a1 - a0);
    }
    const size_t peak = size_t(std::max_element(smooth.begin(), smooth.end()) - smooth.begin());
    if (smooth[peak] < 0.5 * pSize)
        return false;
    size_t left = peak, right = peak;
    while (left > 0 && smooth[left] > 0.5 * smooth[peak])
        --left;
    while (right + 1 < span && smooth[right] > 0.5 * smooth[peak])
        ++right;
    const double widthMs = double(right - left) / rate * 1000.0;
    return widthMs >= 30.0 && widthMs <= 160.0 && left > 0 && right + 1 < span;
}

} // namespace analysis
