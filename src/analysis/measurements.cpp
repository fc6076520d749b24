#include "analysis/measurements.h"

#include "analysis/beat_classifier.h"
#include "analysis/filters.h"
#include "analysis/pacing.h"
#include "analysis/qrs_detector.h"
#include "analysis/statistics.h"
#include "record_model/lead_vocabulary.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace analysis {

namespace {

constexpr double kBeforeS = 0.45; // the median beat's window around the QRS fiducial
constexpr double kAfterS = 0.65;
constexpr double kDominantCorrelation = 0.9;
constexpr double kRegularDeviation = 0.1; // the RR's median deviation of a regular rhythm
constexpr double kPremature = 0.8;        // an RR under 80 % of the usual: a premature beat

class CMedianBeat {
public:
    // Ventricular beats stay out: in bigeminy they are as many as the conducted ones and would
    // pull the median QRS between the two kinds.
    CMedianBeat(const CEcgSignal& s, const std::vector<size_t>& beats,
                const std::vector<BeatClass>& classes)
        : m_s(s), m_before(size_t(kBeforeS * s.dRate)), m_after(size_t(kAfterS * s.dRate)),
          m_shift(size_t(0.012 * s.dRate)) {
        for (size_t k = 0; k < beats.size(); ++k)
            if (beats[k] >= m_before + m_shift && beats[k] + m_after + m_shift < s.Length() &&
                (k >= classes.size() || classes[k] != BeatClass::Ventricular)) {
                m_usable.push_back(beats[k]);
                m_usableIndex.push_back(k);
            }
    }

    struct Beat {
        size_t at;    // where the beat matches the median QRS best
        size_t index; // which of the detected beats it is
    };

    // The beats of the dominant type: those whose QRS over all leads correlates with the
    // median QRS, twice refined; each then moved by up to 12 ms to where it matches the median
    // QRS best, so that the median beat does not depend on where the detector put each beat.
    std::vector<Beat> Dominant() {
        const auto shapeAt = [&](size_t b) { return ShapeAt(b); };
        std::vector<std::vector<double>> shapes;
        for (const size_t b : m_usable)
            shapes.push_back(shapeAt(b));
        if (shapes.empty())
            return {};
        std::vector<size_t> members(m_usable.size());
        std::iota(members.begin(), members.end(), 0);
        std::vector<double> tmpl(shapes[0].size());
        for (int round = 0; round < 3; ++round) {
            for (size_t i = 0; i < tmpl.size(); ++i) {
                std::vector<double> at;
                for (const size_t m : members)
                    at.push_back(shapes[m][i]);
                tmpl[i] = Median(at);
            }
            if (round == 2 || m_usable.size() <= 2)
                break;
            std::vector<size_t> next;
            for (size_t k = 0; k < shapes.size(); ++k)
                if (Correlation(shapes[k], tmpl) >= kDominantCorrelation)
                    next.push_back(k);
            if (next.empty())
                break;
            members = next;
        }
        m_template = tmpl;
        std::vector<Beat> out;
        for (const size_t m : members)
            out.push_back({BestMatch(m_usable[m]).first, m_usableIndex[m]});
        return out;
    }

    // The median over `beats` of each present lead, m_before + m_after + 1 samples.
    std::vector<std::vector<float>> Of(const std::vector<size_t>& beats) const {
        std::vector<std::vector<float>> out(m_s.leads.size());
        std::vector<double> at(beats.size());
        for (size_t l = 0; l < m_s.leads.size(); ++l) {
            if (!Present(l) || beats.empty())
                continue;
            out[l].resize(m_before + m_after + 1);
            for (size_t i = 0; i < out[l].size(); ++i) {
                for (size_t k = 0; k < beats.size(); ++k)
                    at[k] = m_s.leads[l][beats[k] - m_before + i];
                out[l][i] = float(Median(at));
            }
        }
        return out;
    }

    bool Present(size_t l) const { return l >= m_s.present.size() || m_s.present[l]; }
    size_t Before() const { return m_before; }
    size_t Half() const { return size_t(0.06 * m_s.dRate); }

    // The QRS over all leads, 60 ms either side of b.
    std::vector<double> ShapeAt(size_t b) const {
        const size_t half = Half();
        std::vector<double> v;
        for (size_t l = 0; l < m_s.leads.size(); ++l)
            if (Present(l))
                for (size_t i = b - half; i <= b + half; ++i)
                    v.push_back(m_s.leads[l][i] - m_s.leads[l][b - half]);
        return v;
    }

    // Where within the shift around b the QRS matches the template best, and how well.
    std::pair<size_t, double> BestMatch(size_t b) const {
        const long shift = long(m_shift);
        size_t best = b;
        double top = -2;
        for (long d = -shift; d <= shift; ++d) {
            const double r = Correlation(ShapeAt(size_t(long(b) + d)), m_template);
            if (r > top)
                top = r, best = size_t(long(b) + d);
        }
        return {best, top};
    }
    // How far a beat may have moved from where the detector put it.
    size_t Shift() const { return m_shift; }

private:
    const CEcgSignal& m_s;
    size_t m_before, m_after, m_shift;
    std::vector<size_t> m_usable;
    std::vector<size_t> m_usableIndex;
    std::vector<double> m_template; // the dominant QRS, once Dominant has run
};

// The wave boundaries on the median beats, as indices into them.
struct Boundaries {
    std::optional<size_t> pOn, pEnd, qrsOn, qrsEnd;
    std::optional<double> tEnd; // between samples
};

class CDelineator {
public:
    // nextS: the shortest time from a beat the median beat stands on to the detected QRS of the
    // beat after it, less the uncertainty of where each was aligned: no T wave of theirs can
    // end later than the next QRS's onset.
    CDelineator(const std::vector<std::vector<float>>& beat, size_t centre, double rate,
                std::optional<double> rrS, std::optional<double> nextS)
        : m_beat(beat), m_c(centre), m_rate(rate), m_rr(rrS.value_or(1.0)), m_next(nextS) {
        for (size_t l = 0; l < beat.size(); ++l)
            if (!beat[l].empty())
                m_leads.push_back(l);
        m_n = m_leads.empty() ? 0 : beat[m_leads[0]].size();
    }

    Boundaries Run() {
        Boundaries b;
        if (m_leads.empty() || m_n < 3)
            return b;
        Qrs(b);
        if (!b.qrsOn || !b.qrsEnd)
            return b;
        Baselines(*b.qrsOn);
        T(b);
        P(b);
        return b;
    }

    double Baseline(size_t l) const { return l < m_base.size() ? m_base[l] : 0.0; }

private:
    size_t S(double seconds) const { return size_t(std::max(0.0, seconds * m_rate + 0.5)); }

    // The spatial velocity: the sum over the leads of the absolute slope, smoothed over 10 ms.
    std::vector<double> SpatialVelocity() const {
        std::vector<double> v(m_n, 0.0);
        for (const size_t l : m_leads)
            for (size_t i = 1; i + 1 < m_n; ++i)
                v[i] += std::abs(m_beat[l][i + 1] - m_beat[l][i - 1]) * m_rate / 2.0;
        return Smooth(v, S(0.010));
    }

    static std::vector<double> Smooth(const std::vector<double>& v, size_t w) {
        if (w < 2)
            return v;
        std::vector<double> out(v.size());
        std::vector<double> prefix(v.size() + 1, 0.0);
        for (size_t i = 0; i < v.size(); ++i)
            prefix[i + 1] = prefix[i] + v[i];
        for (size_t i = 0; i < v.size(); ++i) {
            const size_t a = i >= w / 2 ? i - w / 2 : 0, b = std::min(v.size(), a + w);
            out[i] = (prefix[b] - prefix[a]) / double(b - a);
        }
        return out;
    }

    void Qrs(Boundaries& b) {
        const std::vector<double> sv = SpatialVelocity();
        const size_t lo = m_c > S(0.08) ? m_c - S(0.08) : 1, hi = std::min(m_n - 2, m_c + S(0.08));
        size_t peak = m_c;
        for (size_t i = lo; i <= hi; ++i)
            if (sv[i] > sv[peak])
                peak = i;
        // The quiet levels: the flattest 20 ms before the QRS (the PR segment) and after it
        // (the ST segment).
        const auto quietest = [&](size_t from, size_t to) {
            double best = sv[from];
            for (size_t i = from; i <= to; ++i)
                best = std::min(best, sv[i]);
            return best;
        };
        const size_t pre0 = peak > S(0.20) ? peak - S(0.20) : 0;
        const size_t pre1 = peak > S(0.03) ? peak - S(0.03) : 0;
        const size_t post0 = std::min(m_n - 1, peak + S(0.04));
        const size_t post1 = std::min(m_n - 1, peak + S(0.20));
        const double isoBefore = quietest(pre0, pre1), isoAfter = quietest(post0, post1);
        const double top = sv[peak];
        if (!(top > isoBefore) || !(top > isoAfter))
            return;
        const double onLevel = isoBefore + kQrsFraction * (top - isoBefore);
        const double endLevel = isoAfter + kQrsFraction * (top - isoAfter);
        // The QRS ends where the velocity falls below its level and stays below for 40 ms: a
        // bundle branch block's slow terminal wave dips under the level on its way.
        const size_t quiet = S(0.040);
        // A pacemaker's stimulus is a spike of a few milliseconds before the QRS: the QRS
        // starts after it.
        size_t floor = pre0;
        if (const std::optional<size_t> spike = PacingSpike(pre0, peak)) {
            floor = std::min(peak, *spike + S(0.008));
        }
        size_t on = peak;
        while (on > floor && sv[on] > onLevel)
            --on;
        if (on == floor && floor != pre0)
            ++on; // the first sample after the stimulus

        size_t end = peak;
        for (size_t i = peak; i < post1; ++i) {
            if (sv[i] > endLevel)
                end = i + 1;
            else if (i >= end + quiet)
                break;
        }
        if (on > floor && end < post1) {
            b.qrsOn = on;
            b.qrsEnd = end;
        }
    }

    // Where the tangent to v at i, its slope over i +- half, meets `level`: the start of the
    // wave whose rising edge crosses a threshold at i. No earlier than `lowest`, nor more than
    // 20 ms before i (the threshold lies low on the edge: the extrapolation is short).
    size_t TangentStart(const std::vector<double>& v, size_t i, double level, size_t half,
                        size_t lowest) const {
        half = std::max<size_t>(1, half);
        if (i < lowest + half || i + half >= v.size())
            return i;
        const double slope = (v[i + half] - v[i - half]) / double(2 * half);
        if (!(slope > 0))
            return i;
        const double back = std::clamp((v[i] - level) / slope, 0.0, double(S(0.02)));
        return size_t(std::max(double(lowest), double(i) - back + 0.5));
    }

    // The stimulus of a pacemaker in [from, to): a slope over the leads as large as the
    // QRS's own that is gone within 8 ms either side; its index, if there is one.
    std::optional<size_t> PacingSpike(size_t from, size_t to) const {
        std::vector<double> raw(m_n, 0.0);
        for (const size_t l : m_leads)
            for (size_t i = from > 0 ? from : 1; i <= to && i + 1 < m_n; ++i)
                raw[i] += std::abs(m_beat[l][i + 1] - m_beat[l][i - 1]) * m_rate / 2.0;
        const size_t w = std::max<size_t>(1, S(0.008));
        size_t best = from;
        for (size_t i = from; i < to; ++i)
            if (raw[i] > raw[best])
                best = i;
        if (best < from + w || best + w >= to)
            return std::nullopt;
        double rest = 0; // the largest slope away from the spike
        for (size_t i = from; i < to; ++i)
            if (i + w < best || i > best + w)
                rest = std::max(rest, raw[i]);
        const bool narrow = raw[best - w] < 0.3 * raw[best] && raw[best + w] < 0.3 * raw[best];
        return narrow && raw[best] > 0.8 * rest ? std::optional<size_t>(best) : std::nullopt;
    }

    // Each lead's level at the end of the PR segment, from which waves are measured.
    void Baselines(size_t qrsOn) {
        m_base.assign(m_beat.size(), 0.0);
        const size_t w = std::max<size_t>(1, S(0.010));
        const size_t a = qrsOn > w ? qrsOn - w : 0;
        for (const size_t l : m_leads) {
            double sum = 0;
            for (size_t i = a; i <= qrsOn; ++i)
                sum += m_beat[l][i];
            m_base[l] = sum / double(qrsOn - a + 1);
        }
    }

    // The spatial magnitude of the deviation from the baselines.
    double Magnitude(size_t i) const {
        double sum = 0;
        for (const size_t l : m_leads) {
            const double d = m_beat[l][i] - m_base[l];
            sum += d * d;
        }
        return std::sqrt(sum / double(m_leads.size()));
    }

    void P(Boundaries& b) {
        const size_t qrsOn = *b.qrsOn;
        // The P wave lies between the end of the previous beat's T wave (one RR before this
        // beat's) and the QRS: at fast rates that is less than the usual 300 ms.
        size_t from = qrsOn > S(0.30) ? qrsOn - S(0.30) : 0;
        const double tEnd = b.tEnd ? *b.tEnd : double(m_c) + 0.45 * m_rr * m_rate;
        const double previousT = tEnd - m_rr * m_rate + double(S(0.02));
        if (previousT > double(from))
            from = size_t(std::min(previousT, double(qrsOn)));
        const size_t to = qrsOn > S(0.03) ? qrsOn - S(0.03) : 0;
        if (to <= from + S(0.05))
            return;
        std::vector<double> m(m_n, 0.0);
        for (size_t i = from; i <= qrsOn; ++i)
            m[i] = Magnitude(i);
        size_t peak = from;
        for (size_t i = from; i <= to; ++i)
            if (m[i] > m[peak])
                peak = i;
        const double top = m[peak];
        // A P wave stands clear of the segment around it; in atrial fibrillation the median
        // beat's atrial activity averages out to little.
        if (top < kPMinimumUv || peak <= from + S(0.02))
            return;
        double floorBefore = top, floorAfter = top;
        for (size_t i = from; i <= peak; ++i)
            floorBefore = std::min(floorBefore, m[i]);
        for (size_t i = peak; i <= qrsOn; ++i)
            floorAfter = std::min(floorAfter, m[i]);
        if (top - floorBefore < kPMinimumUv * 0.6 || top - floorAfter < kPMinimumUv * 0.6)
            return;
        size_t on = peak;
        while (on > from && m[on] > floorBefore + kPFraction * (top - floorBefore))
            --on;
        // A level that stands clear of the noise is crossed once the P wave is under way, the
        // later the slower it rises out of the baseline: it starts where the tangent at the
        // crossing meets the level before it (the slope over 16 ms of the magnitude smoothed
        // over 20 ms: a single sample's noise is no guide).
        if (on > from + S(0.02))
            on = TangentStart(Smooth(m, S(0.02)), on, floorBefore, S(0.008), from + 1);
        size_t end = peak;
        while (end < qrsOn && m[end] > floorAfter + kPFraction * (top - floorAfter))
            ++end;
        const double duration = double(end - on) / m_rate;
        if (on == from || duration < 0.04 || duration > 0.2)
            return;
        b.pOn = on;
        b.pEnd = end;
    }

    void T(Boundaries& b) {
        const size_t qrsEnd = *b.qrsEnd;
        const size_t from = std::min(m_n - 1, qrsEnd + S(0.06));
        size_t limit = std::min(m_n - 1, m_c + S(std::min(0.62, 0.75 * m_rr)));
        // The next beat's QRS starts one RR after this one's: the T wave, and the trapezium's far
        // corner, lie before it.
        bool cut = false; // the next beat ends the window
        if (m_next && *b.qrsOn + S(*m_next) < limit) {
            limit = *b.qrsOn + S(*m_next);
            cut = true;
        }
        if (limit <= from + S(0.1))
            return;
        std::vector<double> ends;
        for (const size_t l : m_leads) {
            // The T wave is slow (nothing of it above some 10 Hz): the area method runs on the
            // lead smoothed over 40 ms, where one sample's noise cannot move the largest area.
            const std::vector<double> y =
                Smooth(std::vector<double>(m_beat[l].begin(), m_beat[l].end()), S(0.04));
            size_t peak = from;
            for (size_t i = from; i <= limit; ++i)
                if (std::abs(y[i] - m_base[l]) > std::abs(y[peak] - m_base[l]))
                    peak = i;
            const double amplitude = y[peak] - m_base[l];
            if (std::abs(amplitude) < kTMinimumUv || peak >= limit - S(0.02))
                continue;
            const double sign = amplitude > 0 ? 1.0 : -1.0;
            // The steepest fall after the peak, then the trapezium area method (Vazquez-
            // Seisdedos et al. 2011): the end is where the area of the trapezium between the
            // curve and the level ahead is largest.
            const size_t right = std::min(limit, peak + S(0.25));
            size_t xm = peak;
            double steepest = 0;
            for (size_t i = peak + 1; i < right; ++i) {
                const double d = -sign * (y[i + 1] - y[i - 1]);
                if (d > steepest)
                    steepest = d, xm = i;
            }
            if (xm == peak)
                continue;
            const size_t xr = right;
            const auto areaAt = [&](size_t t) {
                return 0.5 * sign * (y[xm] - y[t]) * double(2 * xr - t - xm);
            };
            size_t best = xm;
            for (size_t t = xm; t <= xr; ++t)
                if (areaAt(t) > areaAt(best))
                    best = t;
            if (best > xm && best < xr) {
                // Between samples, at the top of the parabola through the three areas there:
                // the end does not snap to the sampling grid.
                const double a0 = areaAt(best - 1), a1 = areaAt(best), a2 = areaAt(best + 1);
                const double curve = a0 - 2 * a1 + a2;
                const double offset =
                    curve < 0 ? std::clamp(0.5 * (a0 - a2) / curve, -0.5, 0.5) : 0;
                ends.push_back(double(best) + offset);
            } else if (best == xr && xr == limit && cut) {
                // Still falling where the next beat begins: the T wave ends there at the latest.
                ends.push_back(double(xr));
            }
        }
        if (ends.size() < std::min<size_t>(2, m_leads.size()))
            return;
        // Global end: the leads' ends scatter, and the latest of them move with every detail of
        // a broad T wave; their median is where most leads agree the T wave has ended.
        b.tEnd = Median(ends);
    }

    static constexpr double kQrsFraction = 0.06;
    static constexpr double kPFraction = 0.15;
    static constexpr double kPMinimumUv = 25.0;
    static constexpr double kTMinimumUv = 80.0;

    const std::vector<std::vector<float>>& m_beat;
    size_t m_c;
    double m_rate, m_rr;
    std::optional<double> m_next;
    std::vector<size_t> m_leads;
    size_t m_n = 0;
    std::vector<double> m_base;
};

// The frontal axis of the net area of [from, to] of the median beats, from leads I and aVF
// (or I and II): the mean electrical vector's angle in degrees, -180 ... 180.
std::optional<double> Axis(const CEcgSignal& s, const std::vector<std::vector<float>>& beat,
                           const CDelineator& d, size_t from, size_t to) {
    const int i1 = LeadIndex(s, kLaneI);
    if (i1 < 0 || to <= from)
        return std::nullopt;
    const auto area = [&](int l) {
        double sum = 0;
        for (size_t i = from; i <= to; ++i)
            sum += beat[size_t(l)][i] - d.Baseline(size_t(l));
        return sum;
    };
    const double lead1 = area(i1);
    double avf;
    if (const int f = LeadIndex(s, kLaneAvf); f >= 0)
        avf = area(f);
    else if (const int i2 = LeadIndex(s, kLaneII); i2 >= 0)
        avf = area(i2) - lead1 / 2.0; // aVF = (II + III) / 2 = II - I / 2
    else
        return std::nullopt;
    if (lead1 == 0 && avf == 0)
        return std::nullopt;
    // aVF sees the vertical component scaled by sqrt(3) / 2.
    return std::atan2(avf * 2.0 / std::sqrt(3.0), lead1) * 180.0 / std::numbers::pi;
}

// The beats a median beat for the QT stands on, and what the QT needs to know of them.
struct QtBeats {
    std::vector<size_t> beats; // where each is aligned
    // The shortest RR after one of them (in an irregular rhythm, of the record), in samples.
    std::optional<size_t> shortestNext;
    std::optional<double> precedingRr; // the mean RR before them, in samples
};

// A T wave needs room before the next beat: the T end of a beat whose next QRS comes early is
// hidden under that QRS or hurried onto it (and the median beat would carry that QRS into the T
// wave), while the QT itself follows the cycles before the beat, not the one after it. So the
// QT is measured on the dominant beats whose following RR leaves room:
// - in a regular rhythm (the RR's median deviation within 10 % of their median), every beat but
//   those followed by a premature one (an RR under 80 % of the median, as premature beats are
//   told): the most beats for the least noise;
// - in an irregular rhythm (atrial fibrillation, frequent ectopy), the beats whose following RR
//   is at least the median of the dominant beats' following RR: the longer half, which leaves
//   the most room and still half of the beats for the median beat.
// The last beat has no following beat in the record: the median beat's window ends before the
// signal does, so no QRS falls into its T wave there, and it counts as having room.
//
// In an irregular rhythm the RR varies a lot from beat to beat and the QT little (it follows
// the mean of the preceding cycles), and every beat that reached the ventricles came after the
// T wave before it had ended (an impulse that finds them still refractory is not conducted):
// the record's shortest RR bounds the QT as well.
QtBeats RoomForT(const std::vector<size_t>& detected,
                 const std::vector<CMedianBeat::Beat>& dominant) {
    QtBeats out;
    if (dominant.empty())
        return out;
    const auto following = [&](size_t k) {
        return k + 1 < detected.size() ? std::optional<size_t>(detected[k + 1] - detected[k])
                                       : std::nullopt;
    };
    std::vector<double> rr, next;
    for (size_t k = 1; k < detected.size(); ++k)
        rr.push_back(double(detected[k] - detected[k - 1]));
    for (const CMedianBeat::Beat& b : dominant)
        if (const std::optional<size_t> after = following(b.index))
            next.push_back(double(*after));
    const double median = Median(rr);
    std::vector<double> deviation;
    for (const double r : rr)
        deviation.push_back(std::abs(r - median));
    const bool regular = rr.empty() || Median(deviation) <= kRegularDeviation * median;
    const double least = regular ? kPremature * Median(next) : Median(next);
    const auto bound = [&](size_t rrSamples) {
        out.shortestNext = std::min(out.shortestNext.value_or(rrSamples), rrSamples);
    };
    double before = 0;
    int nBefore = 0;
    for (const CMedianBeat::Beat& b : dominant) {
        const std::optional<size_t> after = following(b.index);
        if (after && double(*after) < least)
            continue;
        out.beats.push_back(b.at);
        if (after)
            bound(*after);
        if (b.index > 0) {
            before += double(detected[b.index] - detected[b.index - 1]);
            ++nBefore;
        }
    }
    if (nBefore > 0)
        out.precedingRr = before / nBefore;
    if (!regular)
        for (size_t k = 1; k < detected.size(); ++k)
            bound(detected[k] - detected[k - 1]);
    return out;
}

} // namespace

int LeadIndex(const CEcgSignal& s, StandardLane lane) {
    for (size_t l = 0; l < s.names.size(); ++l)
        if (LaneOfLeadName(s.names[l]) == lane && (l >= s.present.size() || s.present[l]))
            return int(l);
    return -1;
}

Measurements Measure(const CEcgSignal& raw, CEcgSignal* cleaned) {
    Measurements m;
    if (raw.Length() < 3 || !(raw.dRate > 0))
        return m;
    CEcgSignal s = raw;
    const Filter clean[] = {Filter::Baseline067, Filter::Mains50, Filter::Mains60};
    ApplyFilters(s, clean);
    if (cleaned)
        *cleaned = s;
    // A pacemaker's stimulus is no beat: the complexes are detected and classed without the
    // stimuli. The waves are measured with them, where the QRS is known to start after its
    // stimulus.
    m.pacingSpikes = FindPacingSpikes(raw);
    CEcgSignal unpaced;
    if (!m.pacingSpikes.empty()) {
        unpaced = raw;
        RemovePacingSpikes(unpaced, m.pacingSpikes);
        ApplyFilters(unpaced, clean);
    }
    const CEcgSignal& beating = m.pacingSpikes.empty() ? s : unpaced;
    m.beats = DetectQrs(beating);
    m.beatClasses = ClassifyBeats(beating, m.beats);
    const double rate = s.dRate;
    const auto ms = [rate](double samples) { return samples / rate * 1000.0; };

    if (m.beats.size() >= 2) {
        std::vector<double> rr;
        for (size_t k = 1; k < m.beats.size(); ++k)
            rr.push_back(ms(double(m.beats[k] - m.beats[k - 1])));
        m.rrMeanMs = std::accumulate(rr.begin(), rr.end(), 0.0) / double(rr.size());
        m.rrMinMs = *std::min_element(rr.begin(), rr.end());
        m.rrMaxMs = *std::max_element(rr.begin(), rr.end());
        m.heartRateBpm = 60000.0 / *m.rrMeanMs;
    }

    CMedianBeat median(s, m.beats, m.beatClasses);
    const QtBeats chosen = RoomForT(m.beats, median.Dominant());
    m.nDominantBeats = int(chosen.beats.size());
    if (chosen.beats.empty())
        return m;
    m.medianBeat = median.Of(chosen.beats);
    m.medianStartS = -double(median.Before()) / rate;
    const std::vector<std::vector<float>>& beat = m.medianBeat;
    const size_t c = median.Before();
    // Each beat may sit up to Shift() off where the detector put it, the one after it as well.
    std::optional<double> nextS;
    if (chosen.shortestNext)
        nextS = (double(*chosen.shortestNext) - 2.0 * double(median.Shift())) / rate;
    CDelineator d(beat, c, rate,
                  m.rrMeanMs ? std::optional<double>(*m.rrMeanMs / 1000.0) : std::nullopt, nextS);
    const Boundaries b = d.Run();
    const auto at = [&](auto i) -> std::optional<double> {
        if (!i)
            return std::nullopt;
        return (double(*i) - double(c)) / rate;
    };
    m.pOnsetS = at(b.pOn), m.pEndS = at(b.pEnd), m.qrsOnsetS = at(b.qrsOn);
    m.qrsEndS = at(b.qrsEnd), m.tEndS = at(b.tEnd);
    for (size_t l = 0; l < beat.size(); ++l)
        m.baselineUv.push_back(d.Baseline(l));
    if (b.qrsOn && b.qrsEnd) {
        m.qrsMs = ms(double(*b.qrsEnd - *b.qrsOn));
        m.axisQrsDeg = Axis(s, beat, d, *b.qrsOn, *b.qrsEnd);
        for (size_t l = 0; l < s.leads.size(); ++l) {
            LeadAmplitudes a{l < s.names.size() ? s.names[l] : std::string(), {}, {}};
            if (!beat[l].empty()) {
                double hi = 0, lo = 0;
                for (size_t i = *b.qrsOn; i <= *b.qrsEnd; ++i) {
                    hi = std::max(hi, beat[l][i] - d.Baseline(l));
                    lo = std::min(lo, beat[l][i] - d.Baseline(l));
                }
                a.rMv = hi / 1000.0;
                a.sMv = -lo / 1000.0;
            }
            m.amplitudes.push_back(a);
        }
        const int v1 = LeadIndex(s, kLaneV1), v5 = LeadIndex(s, kLaneV5),
                  v6 = LeadIndex(s, kLaneV6);
        if (v1 >= 0 && (v5 >= 0 || v6 >= 0)) {
            const double r5 = v5 >= 0 ? *m.amplitudes[size_t(v5)].rMv : 0;
            const double r6 = v6 >= 0 ? *m.amplitudes[size_t(v6)].rMv : 0;
            m.sokolowLyonMv = *m.amplitudes[size_t(v1)].sMv + std::max(r5, r6);
        }
    }
    if (b.pOn && b.pEnd && b.qrsOn) {
        m.pMs = ms(double(*b.pEnd - *b.pOn));
        m.prMs = ms(double(*b.qrsOn - *b.pOn));
        m.axisPDeg = Axis(s, beat, d, *b.pOn, *b.pEnd);
    }
    if (b.tEnd && b.qrsOn && b.qrsEnd) {
        m.qtMs = ms(*b.tEnd - double(*b.qrsOn));
        m.axisTDeg = Axis(s, beat, d, *b.qrsEnd, size_t(*b.tEnd));
        // The QT follows the cycles before it: QTc by the RR that preceded the beats it was
        // measured on, not the record's mean (in atrial fibrillation the two differ).
        const std::optional<double> rrMs =
            chosen.precedingRr ? std::optional(ms(*chosen.precedingRr)) : m.rrMeanMs;
        if (rrMs) {
            const double rrS = *rrMs / 1000.0;
            m.qtcRrMs = rrMs;
            m.qtcBazettMs = *m.qtMs / std::sqrt(rrS);
            m.qtcFridericiaMs = *m.qtMs / std::cbrt(rrS);
        }
    }
    return m;
}

std::optional<double> RecentHeartRate(const CEcgSignal& s) {
    const std::vector<size_t> beats = DetectQrs(s);
    if (beats.size() < 3)
        return std::nullopt;
    std::vector<double> rr;
    for (size_t k = beats.size() - 1; k > 0 && rr.size() < 4; --k)
        rr.push_back(double(beats[k] - beats[k - 1]) / s.dRate);
    return 60.0 / Median(rr);
}

Measurements MeasureRecord(const ECG_RECORD& record, std::span<const Filter> filters) {
    CEcgSignal signal = SignalFromRecord(record);
    ApplyFilters(signal, filters);
    return Measure(signal);
}

} // namespace analysis
