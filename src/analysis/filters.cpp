#include "analysis/filters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace analysis {

namespace {

// A second-order Butterworth section run forward and backward is down 3 dB where one pass is
// down 1.5 dB: the design frequency moves by this factor so that the named frequency is the
// -3 dB point of the zero-phase filter.
const double kTwoPassFactor = std::pow(std::sqrt(2.0) - 1.0, 0.25); // 0.802

// The RBJ cookbook's common terms.
struct Terms {
    double cosw, alpha;
};
Terms TermsOf(double f, double rate, double q) {
    const double w = 2.0 * std::numbers::pi * f / rate;
    return {std::cos(w), std::sin(w) / (2.0 * q)};
}

Biquad Normalised(double b0, double b1, double b2, double a0, double a1, double a2) {
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

// The section's state for an input that has been `x` for ever.
void SteadyState(const Biquad& s, double x, double& z1, double& z2) {
    const double y = s.DcGain() * x;
    z2 = s.b2 * x - s.a2 * y;
    z1 = s.b1 * x - s.a1 * y + z2;
}

// How far the ends are extended: a few time constants of the slowest section, within the
// length of the signal itself.
size_t PadFor(double rate, size_t n, double slowestHz) {
    const double seconds = slowestHz > 0 ? 1.0 / slowestHz : 1.0;
    return std::min(n > 0 ? n - 1 : 0, size_t(std::ceil(seconds * rate)));
}

double SlowestHz(Filter f) {
    switch (f) {
    case Filter::Baseline005:
        return 0.05;
    case Filter::Baseline067:
        return 0.67;
    case Filter::Mains50:
    case Filter::Mains60:
        return 2.0; // the notch's bandwidth
    default:
        return 20.0;
    }
}

} // namespace

Biquad Biquad::LowPass(double fc, double rate, double q) {
    const Terms t = TermsOf(fc, rate, q);
    return Normalised((1 - t.cosw) / 2, 1 - t.cosw, (1 - t.cosw) / 2, 1 + t.alpha, -2 * t.cosw,
                      1 - t.alpha);
}

Biquad Biquad::HighPass(double fc, double rate, double q) {
    const Terms t = TermsOf(fc, rate, q);
    return Normalised((1 + t.cosw) / 2, -(1 + t.cosw), (1 + t.cosw) / 2, 1 + t.alpha, -2 * t.cosw,
                      1 - t.alpha);
}

Biquad Biquad::Notch(double f0, double rate, double q) {
    const Terms t = TermsOf(f0, rate, q);
    return Normalised(1, -2 * t.cosw, 1, 1 + t.alpha, -2 * t.cosw, 1 - t.alpha);
}

std::vector<Biquad> SectionsOf(Filter f, double rate) {
    const double nyquist = rate / 2;
    const auto notch = [&](double f0) -> std::vector<Biquad> {
        if (f0 >= nyquist * 0.98)
            return {};
        return {Biquad::Notch(f0, rate, f0 / 2.0)}; // 2 Hz wide: the mains frequency may wander
    };
    const auto low = [&](double fc) -> std::vector<Biquad> {
        const double design = fc / kTwoPassFactor;
        if (design >= nyquist * 0.98)
            return {};
        return {Biquad::LowPass(design, rate)};
    };
    switch (f) {
    case Filter::Mains50:
        return notch(50.0);
    case Filter::Mains60:
        return notch(60.0);
    case Filter::Baseline005:
        return {Biquad::HighPass(0.05 * kTwoPassFactor, rate)};
    case Filter::Baseline067:
        return {Biquad::HighPass(0.67 * kTwoPassFactor, rate)};
    case Filter::Muscle35:
        return low(35.0);
    case Filter::Muscle40:
        return low(40.0);
    }
    return {};
}

namespace {

// How the ends are extended. Odd reflection keeps the value and the slope continuous, but moves
// the mean of the extension by twice the end value: a step that a high-pass filter would carry
// back into the record. High-pass filters take the mirror image instead, which keeps the mean.
enum class Extension { Odd, Mirror };

Extension ExtensionFor(Filter f) {
    return f == Filter::Baseline005 || f == Filter::Baseline067 ? Extension::Mirror
                                                                : Extension::Odd;
}

// The sections over the leads, forward and then backward, each lead extended by `pad` samples
// at both ends. Four leads go through at once, side by side in memory, so that the recursions,
// which cannot be vectorised along the time axis, are vectorised across the leads.
void FilterPadded(std::span<std::vector<float>* const> leads, std::span<const Biquad> sections,
                  size_t pad, Extension extension) {
    constexpr size_t kAtOnce = 4;
    if (leads.empty() || sections.empty())
        return;
    const size_t n = leads[0]->size();
    if (n < 2)
        return;
    const size_t m = n + 2 * pad;
    const bool odd = extension == Extension::Odd;
    std::vector<double> v(m * kAtOnce);
    for (size_t first = 0; first < leads.size(); first += kAtOnce) {
        const size_t count = std::min(kAtOnce, leads.size() - first);
        std::fill(v.begin(), v.end(), 0.0);
        for (size_t j = 0; j < count; ++j) {
            const std::vector<float>& x = *leads[first + j];
            for (size_t i = 0; i < pad; ++i) {
                v[(pad - 1 - i) * kAtOnce + j] = odd ? 2.0 * x[0] - x[i + 1] : x[i + 1];
                v[(pad + n + i) * kAtOnce + j] = odd ? 2.0 * x[n - 1] - x[n - 2 - i] : x[n - 2 - i];
            }
            for (size_t i = 0; i < n; ++i)
                v[(pad + i) * kAtOnce + j] = x[i];
        }
        const auto run = [&](const Biquad& s, bool backward) {
            double z1[kAtOnce], z2[kAtOnce];
            const size_t start = backward ? m - 1 : 0;
            for (size_t j = 0; j < kAtOnce; ++j)
                SteadyState(s, v[start * kAtOnce + j], z1[j], z2[j]);
            for (size_t step = 0; step < m; ++step) {
                double* at = &v[(backward ? m - 1 - step : step) * kAtOnce];
                for (size_t j = 0; j < kAtOnce; ++j) {
                    const double x = at[j];
                    const double y = s.b0 * x + z1[j];
                    z1[j] = s.b1 * x - s.a1 * y + z2[j];
                    z2[j] = s.b2 * x - s.a2 * y;
                    at[j] = y;
                }
            }
        };
        for (const Biquad& s : sections)
            run(s, false);
        for (const Biquad& s : sections)
            run(s, true);
        for (size_t j = 0; j < count; ++j) {
            std::vector<float>& x = *leads[first + j];
            for (size_t i = 0; i < n; ++i)
                x[i] = float(v[(pad + i) * kAtOnce + j]);
        }
    }
}

} // namespace

void FilterZeroPhase(std::vector<float>& x, std::span<const Biquad> sections) {
    std::vector<float>* const one[] = {&x};
    FilterZeroPhase(one, sections);
}

void FilterZeroPhase(std::span<std::vector<float>* const> leads, std::span<const Biquad> sections) {
    const size_t n = leads.empty() ? 0 : leads[0]->size();
    FilterPadded(leads, sections, std::min(n > 0 ? n - 1 : 0, size_t(64)), Extension::Odd);
}

void ApplyFilters(CEcgSignal& s, std::span<const Filter> filters) {
    // Filters in a row that extend the ends alike run as one cascade over one extension.
    for (size_t a = 0; a < filters.size();) {
        size_t b = a + 1;
        while (b < filters.size() && ExtensionFor(filters[b]) == ExtensionFor(filters[a]))
            ++b;
        std::vector<Biquad> sections;
        size_t pad = 0;
        for (size_t k = a; k < b; ++k) {
            const std::vector<Biquad> more = SectionsOf(filters[k], s.dRate);
            sections.insert(sections.end(), more.begin(), more.end());
            pad = std::max(pad, PadFor(s.dRate, s.Length(), SlowestHz(filters[k])));
        }
        std::vector<std::vector<float>*> present;
        for (size_t l = 0; l < s.leads.size(); ++l)
            if (l >= s.present.size() || s.present[l])
                present.push_back(&s.leads[l]);
        FilterPadded(present, sections, pad, ExtensionFor(filters[a]));
        a = b;
    }
}

CCausalFilter::CCausalFilter(std::vector<Biquad> sections)
    : m_sections(std::move(sections)), m_z1(m_sections.size()), m_z2(m_sections.size()) {}

float CCausalFilter::Step(float in) {
    double x = in;
    for (size_t i = 0; i < m_sections.size(); ++i) {
        const Biquad& s = m_sections[i];
        if (!m_bStarted)
            SteadyState(s, x, m_z1[i], m_z2[i]);
        const double y = s.b0 * x + m_z1[i];
        m_z1[i] = s.b1 * x - s.a1 * y + m_z2[i];
        m_z2[i] = s.b2 * x - s.a2 * y;
        x = y;
    }
    m_bStarted = true;
    return float(x);
}

CEcgSignal Resample(const CEcgSignal& s, double rate) {
    CEcgSignal out;
    out.dRate = rate;
    out.names = s.names;
    out.present = s.present;
    const size_t n = s.Length();
    if (n == 0 || !(s.dRate > 0) || !(rate > 0)) {
        out.leads.assign(s.leads.size(), {});
        return out;
    }
    const double ratio = s.dRate / rate; // input samples per output sample
    const size_t m = size_t(std::floor(double(n - 1) / ratio)) + 1;
    // Cut-off in cycles per input sample, below both Nyquist frequencies.
    const double cut = 0.45 * std::min(1.0, rate / s.dRate);
    const int half = int(std::ceil(6.0 / (2.0 * cut))); // six zero crossings each side
    std::vector<double> taps(size_t(2 * half + 2));
    out.leads.assign(s.leads.size(), std::vector<float>(m));
    for (size_t k = 0; k < m; ++k) {
        const double u = double(k) * ratio;
        const long centre = long(std::floor(u));
        double sum = 0;
        for (int j = -half; j <= half + 1; ++j) {
            const double d = u - double(centre + j);
            const double arg = 2.0 * cut * d;
            const double sinc = std::abs(arg) < 1e-12
                                    ? 1.0
                                    : std::sin(std::numbers::pi * arg) / (std::numbers::pi * arg);
            const double w = std::abs(d) >= half + 1
                                 ? 0.0
                                 : 0.42 + 0.5 * std::cos(std::numbers::pi * d / (half + 1)) +
                                       0.08 * std::cos(2 * std::numbers::pi * d / (half + 1));
            taps[size_t(j + half)] = sinc * w;
            sum += sinc * w;
        }
        for (size_t l = 0; l < s.leads.size(); ++l) {
            const std::vector<float>& in = s.leads[l];
            double acc = 0;
            for (int j = -half; j <= half + 1; ++j) {
                const long i = std::clamp(centre + j, 0L, long(n - 1));
                acc += taps[size_t(j + half)] * in[size_t(i)];
            }
            out.leads[l][k] = float(acc / sum);
        }
    }
    return out;
}

} // namespace analysis
