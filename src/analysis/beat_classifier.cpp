#include "analysis/beat_classifier.h"

#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numeric>

namespace analysis {

namespace {

constexpr double kHalfS = 0.10;  // the QRS window: 100 ms either side, room for a wide beat
constexpr double kShiftS = 0.01; // a beat is aligned to the template within 10 ms
constexpr double kSame = 0.9;    // a QRS correlating this well is of the template's kind
constexpr double kAdapt = 0.95;  // and this well, it brings the template along (slow drift)
constexpr double kAdaptWeight = 1.0 / 16;
constexpr size_t kSampled = 400; // beats the dominant type is chosen from
constexpr size_t kRrCount = 16;  // the local RR: median of the last intervals into a normal
constexpr double kWide = 1.25;   // QRS spread over the dominant's: a wide beat
constexpr double kPremature = 0.9;
constexpr double kPause = 1.1;
constexpr double kRough = 2.5; // curvature per slope over the dominant's: noise, not a QRS

class CBeatFeatures {
public:
    explicit CBeatFeatures(const CEcgSignal& s)
        : m_half(std::max<size_t>(2, size_t(kHalfS * s.dRate + 0.5))),
          m_shift(size_t(kShiftS * s.dRate + 0.5)), m_rate(s.dRate) {
        for (size_t l = 0; l < s.leads.size(); ++l)
            if (l >= s.present.size() || s.present[l])
                m_leads.push_back(&s.leads[l]);
        m_n = m_leads.empty() ? 0 : m_leads.front()->size();
    }

    bool Empty() const { return m_leads.empty(); }
    // Whether the QRS at b, with its alignment shift, lies within the signal.
    bool Whole(size_t b) const {
        return b >= m_half + m_shift + 1 && b + m_half + m_shift + 1 < m_n;
    }

    // The QRS over the leads around b, each lead less the straight line between the ends of
    // its window (the baseline's drift under it; no filter needed, and no copy of the signal).
    std::vector<double> Shape(size_t b) const { return Cut(b, m_half); }

    // How widely the QRS's slope spreads in time around its centre, in seconds: the standard
    // deviation of time weighted by the absolute slope summed over the leads. A wide complex
    // (ventricular, its conduction from cell to cell) spreads more than a conducted one.
    double Spread(const std::vector<double>& shape) const {
        const size_t leads = m_leads.size(), len = leads ? shape.size() / leads : 0;
        double w = 0, m1 = 0, m2 = 0;
        for (size_t i = 1; i + 1 < len; ++i) {
            double d = 0;
            for (size_t l = 0; l < leads; ++l)
                d += std::abs(shape[l * len + i + 1] - shape[l * len + i - 1]);
            w += d, m1 += d * double(i), m2 += d * double(i) * double(i);
        }
        if (!(w > 0))
            return 0;
        const double c = m1 / w;
        return std::sqrt(std::max(0.0, m2 / w - c * c)) / m_rate;
    }

    // The best correlation of the QRS near b (within the alignment shift) with the template,
    // and the shape where it is.
    std::pair<double, std::vector<double>> Match(size_t b, const std::vector<double>& tmpl) const {
        const std::vector<double> wide = Cut(b, m_half + m_shift);
        const size_t len = 2 * m_half + 1, wideLen = len + 2 * m_shift, leads = m_leads.size();
        const double n = double(tmpl.size());
        const double mt = std::accumulate(tmpl.begin(), tmpl.end(), 0.0) / n;
        double stt = 0;
        for (const double t : tmpl)
            stt += (t - mt) * (t - mt);
        double best = -2;
        size_t at = 0;
        for (size_t d = 0; d <= 2 * m_shift; ++d) {
            double sx = 0, sxx = 0, sxt = 0;
            for (size_t l = 0; l < leads; ++l)
                for (size_t i = 0; i < len; ++i) {
                    const double x = wide[l * wideLen + d + i], t = tmpl[l * len + i] - mt;
                    sx += x, sxx += x * x, sxt += x * t;
                }
            const double vxx = sxx - sx * sx / n;
            const double r = vxx > 0 && stt > 0 ? sxt / std::sqrt(vxx * stt) : 0.0;
            if (r > best)
                best = r, at = d;
        }
        std::vector<double> shape(leads * len);
        for (size_t l = 0; l < leads; ++l)
            std::copy_n(wide.begin() + long(l * wideLen + at), len, shape.begin() + long(l * len));
        return {best, std::move(shape)};
    }

private:
    std::vector<double> Cut(size_t b, size_t half) const {
        const size_t len = 2 * half + 1, edge = std::max<size_t>(1, half / 8);
        std::vector<double> v;
        v.reserve(m_leads.size() * len);
        for (const std::vector<float>* lead : m_leads) {
            const float* x = lead->data() + (b - half);
            double a = 0, z = 0;
            for (size_t i = 0; i < edge; ++i)
                a += x[i], z += x[len - 1 - i];
            a /= double(edge), z /= double(edge);
            for (size_t i = 0; i < len; ++i)
                v.push_back(x[i] - (a + (z - a) * double(i) / double(len - 1)));
        }
        return v;
    }

    std::vector<const std::vector<float>*> m_leads; // the present leads
    size_t m_half, m_shift, m_n = 0;
    double m_rate;
};

// How rough a shape is: its curvature (second difference) per slope (first difference). A QRS,
// and a wide ventricular one the more, is smooth at the rate; muscle noise and electrode spikes
// turn at every sample.
double Roughness(const std::vector<double>& v) {
    double d1 = 0, d2 = 0;
    for (size_t i = 1; i + 1 < v.size(); ++i)
        d1 += std::abs(v[i + 1] - v[i - 1]), d2 += std::abs(v[i + 1] - 2 * v[i] + v[i - 1]);
    return d1 > 0 ? d2 / d1 : 0;
}

double Energy(const std::vector<double>& v) {
    const double mean = v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
    double e = 0;
    for (const double x : v)
        e += (x - mean) * (x - mean);
    return e;
}

// The dominant QRS: the beats sampled evenly over the signal gather into kinds (correlation
// >= kSame with a kind's mean); of the kinds at least half as common as the commonest, the
// narrowest. In ventricular bigeminy the ventricular kind can be as common as the conducted one,
// and it is the wider.
std::vector<double> DominantTemplate(const CBeatFeatures& f, const std::vector<size_t>& beats) {
    struct Kind {
        std::vector<double> sum, mean;
        size_t count = 0;
        const std::vector<double>& Mean() const { return mean; }
    };
    std::vector<size_t> usable;
    for (const size_t b : beats)
        if (f.Whole(b))
            usable.push_back(b);
    if (usable.empty())
        return {};
    const size_t step = std::max<size_t>(1, usable.size() / kSampled);
    std::vector<Kind> kinds;
    for (size_t k = 0; k < usable.size(); k += step) {
        const std::vector<double> v = f.Shape(usable[k]);
        Kind* best = nullptr;
        double top = kSame;
        for (Kind& kind : kinds)
            if (const double r = Correlation(v, kind.Mean()); r >= top)
                top = r, best = &kind;
        if (!best) {
            kinds.push_back({v, v, 1});
            continue;
        }
        ++best->count;
        for (size_t i = 0; i < v.size(); ++i)
            best->sum[i] += v[i], best->mean[i] = best->sum[i] / double(best->count);
    }
    size_t most = 0;
    for (const Kind& kind : kinds)
        most = std::max(most, kind.count);
    const Kind* chosen = nullptr;
    double narrowest = 0;
    for (const Kind& kind : kinds) {
        if (2 * kind.count < most || kind.count < 2)
            continue;
        const double spread = f.Spread(kind.Mean());
        if (!chosen || spread < narrowest)
            chosen = &kind, narrowest = spread;
    }
    return chosen ? chosen->Mean() : f.Shape(usable.front());
}

} // namespace

std::vector<BeatClass> ClassifyBeats(const CEcgSignal& s, const std::vector<size_t>& beats) {
    std::vector<BeatClass> out(beats.size(), BeatClass::Unknown);
    if (beats.empty() || !(s.dRate > 0))
        return out;
    const CBeatFeatures f(s);
    if (f.Empty())
        return out;
    std::vector<double> tmpl = DominantTemplate(f, beats);
    if (tmpl.empty())
        return out;
    double tmplSpread = f.Spread(tmpl), tmplEnergy = Energy(tmpl);
    std::deque<double> rrIntoNormal; // the last intervals that ended in a conducted beat
    for (size_t k = 0; k < beats.size(); ++k) {
        const size_t b = beats[k];
        if (!f.Whole(b))
            continue;
        auto [r, shape] = f.Match(b, tmpl);
        const double pre = k > 0 ? double(b - beats[k - 1]) : 0;
        const double post = k + 1 < beats.size() ? double(beats[k + 1] - b) : 0;
        std::vector<double> recent(rrIntoNormal.begin(), rrIntoNormal.end());
        const double local = Median(recent);
        BeatClass c = BeatClass::Normal;
        if (r < kSame) {
            const bool wide = f.Spread(shape) > kWide * tmplSpread;
            const bool premature = local > 0 && pre > 0 && pre < kPremature * local;
            const bool pause = local > 0 && post > kPause * local;
            const bool strong = Energy(shape) > 2.0 * tmplEnergy;
            // Ventricular: very unlike the dominant beat and wide or strong, out of its time;
            // wide and premature; or unlike it, premature and followed by a compensatory pause.
            // A beat unlike it but in time and no wider is aberrant conduction or noise.
            if ((r < 0.5 && (wide || strong) && (premature || pause || wide)) ||
                (wide && premature) || (r < 0.7 && premature && pause))
                // Unless it is much rougher than the dominant beat: then it is noise that passed
                // for a beat, or a beat buried in noise, and nothing can be said of it.
                c = Roughness(shape) > kRough * Roughness(tmpl) ? BeatClass::Unknown
                                                                : BeatClass::Ventricular;
        } else if (r >= kAdapt) {
            for (size_t i = 0; i < tmpl.size(); ++i)
                tmpl[i] += kAdaptWeight * (shape[i] - tmpl[i]);
            tmplSpread = f.Spread(tmpl), tmplEnergy = Energy(tmpl);
        }
        out[k] = c;
        if (c == BeatClass::Normal && pre > 0) {
            rrIntoNormal.push_back(pre);
            if (rrIntoNormal.size() > kRrCount)
                rrIntoNormal.pop_front();
        }
    }
    return out;
}

} // namespace analysis
