// The reading filters and the resampler: what they remove, what they keep, at every rate, and
// nothing rung in from the ends.

#include "analysis/filters.h"
#include "support/wfdb.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace {

using analysis::Filter;

std::vector<float> Tone(double rate, double seconds, double hz, double amplitude,
                        double phase = 0) {
    std::vector<float> v(size_t(rate * seconds));
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = float(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate + phase));
    return v;
}

// The amplitude of the hz component of v[from, to), by projection.
double AmplitudeAt(const std::vector<float>& v, double rate, double hz, size_t from, size_t to) {
    double c = 0, s = 0;
    for (size_t i = from; i < to; ++i) {
        const double w = 2 * std::numbers::pi * hz * double(i) / rate;
        c += v[i] * std::cos(w);
        s += v[i] * std::sin(w);
    }
    return 2 * std::hypot(c, s) / double(to - from);
}

CEcgSignal OneLead(double rate, std::vector<float> v) {
    CEcgSignal s;
    s.dRate = rate;
    s.names = {"II"};
    s.leads = {std::move(v)};
    s.present = {true};
    return s;
}

double GainOf(Filter f, double rate, double hz, double seconds) {
    CEcgSignal s = OneLead(rate, Tone(rate, seconds, hz, 1000));
    const Filter one[] = {f};
    ApplyFilters(s, one);
    const size_t n = s.Length();
    return AmplitudeAt(s.leads[0], rate, hz, n / 4, 3 * n / 4) / 1000.0;
}

TEST(Filters, EachRemovesItsBandAndIsDown3DecibelsAtItsFrequencyAtEveryRate) {
    for (const double rate : {409.6, 360.0, 500.0, 1000.0}) {
        SCOPED_TRACE(rate);
        EXPECT_LT(GainOf(Filter::Mains50, rate, 50.0, 10), 0.01);
        EXPECT_LT(GainOf(Filter::Mains60, rate, 60.0, 10), 0.01);
        EXPECT_GT(GainOf(Filter::Mains50, rate, 40.0, 10), 0.98) << "the notch is narrow";
        EXPECT_GT(GainOf(Filter::Mains50, rate, 10.0, 10), 0.999);
        EXPECT_NEAR(GainOf(Filter::Muscle35, rate, 35.0, 10), std::sqrt(0.5), 0.02);
        EXPECT_NEAR(GainOf(Filter::Muscle40, rate, 40.0, 10), std::sqrt(0.5), 0.02);
        EXPECT_GT(GainOf(Filter::Muscle35, rate, 5.0, 10), 0.99);
        EXPECT_LT(GainOf(Filter::Muscle35, rate, 120.0, 10), 0.02);
        EXPECT_NEAR(GainOf(Filter::Baseline067, rate, 0.67, 60), std::sqrt(0.5), 0.02);
        EXPECT_GT(GainOf(Filter::Baseline067, rate, 5.0, 10), 0.99);
    }
    EXPECT_NEAR(GainOf(Filter::Baseline005, 409.6, 0.05, 400), std::sqrt(0.5), 0.03);
    EXPECT_GT(GainOf(Filter::Baseline005, 409.6, 0.5, 60), 0.99);
}

TEST(Filters, ZeroPhaseAndEmptyOrAbsentLanesStayAsTheyAre) {
    const double rate = 409.6;
    // A pulse keeps its place under every filter: no wave is shifted in time.
    std::vector<float> pulse(4096);
    for (size_t i = 0; i < pulse.size(); ++i)
        pulse[i] = float(1000 * std::exp(-0.5 * std::pow((double(i) - 2000) / 8.0, 2)));
    for (const Filter f : {Filter::Muscle35, Filter::Baseline067, Filter::Mains50}) {
        CEcgSignal s = OneLead(rate, pulse);
        const Filter one[] = {f};
        ApplyFilters(s, one);
        const auto peak = std::max_element(s.leads[0].begin(), s.leads[0].end());
        EXPECT_EQ(peak - s.leads[0].begin(), 2000) << int(f);
        EXPECT_NEAR(s.leads[0][1990], s.leads[0][2010], 1.0) << "symmetric, filter " << int(f);
    }

    // An empty lane stays empty; the signal handed in is not touched by a copy's filtering.
    const std::vector<float> v = Tone(rate, 10, 10.0, 300);
    CEcgSignal s = OneLead(rate, std::vector<float>(4096, 0.f));
    s.leads.push_back(v);
    s.names.push_back("V1");
    s.present.push_back(false);
    const Filter all[] = {Filter::Baseline005, Filter::Mains60, Filter::Muscle35};
    ApplyFilters(s, all);
    EXPECT_TRUE(std::all_of(s.leads[0].begin(), s.leads[0].end(), [](float x) { return x == 0; }));
    EXPECT_EQ(s.leads[1], v) << "an absent lead is left alone";
}

// Ten seconds cut from a long real ECG are filtered as the whole recording filters them: the
// ends of the cut bring in no more than a little.
TEST(Filters, TenSecondsOfARealEcgFilterAsTheirLongerRecordingDoes) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    CEcgSignal sig;
    ASSERT_TRUE(wfdb::ReadRecord(root / "wfdb" / "mitdb" / "100", sig));
    const size_t len = 3600, margin = 36000; // 10 s within 100 s more either side
    for (const auto& [f, limit] :
         {std::pair{Filter::Baseline067, 80.0}, std::pair{Filter::Mains50, 25.0},
          std::pair{Filter::Muscle35, 60.0}}) {
        double worst = 0;
        for (size_t start = margin; start + len + margin < sig.Length(); start += 36000) {
            const auto at = sig.leads[0].begin() + long(start);
            CEcgSignal whole =
                OneLead(360, std::vector<float>(at - long(margin), at + long(len + margin)));
            CEcgSignal cut = OneLead(360, std::vector<float>(at, at + long(len)));
            const Filter one[] = {f};
            ApplyFilters(whole, one);
            ApplyFilters(cut, one);
            for (size_t i = 0; i < len; ++i)
                worst =
                    std::max(worst, double(std::abs(cut.leads[0][i] - whole.leads[0][i + margin])));
        }
        EXPECT_LT(worst, limit) << "filter " << int(f);
    }
}

TEST(Filters, ResamplingKeepsTheSignalAndTakesNoAlias) {
    // 10 Hz from 500 Hz to 409.6 Hz: the same wave at the new instants.
    CEcgSignal s = OneLead(500.0, Tone(500.0, 10, 10.0, 1000, 0.3));
    const CEcgSignal r = analysis::Resample(s, 409.6);
    ASSERT_EQ(r.Length(), size_t(std::floor(4999 / (500.0 / 409.6))) + 1);
    const std::vector<float> want = Tone(409.6, 10, 10.0, 1000, 0.3);
    double worst = 0;
    for (size_t i = 20; i + 20 < r.Length(); ++i)
        worst = std::max(worst, double(std::abs(r.leads[0][i] - want[i])));
    EXPECT_LT(worst, 5.0);
    // 230 Hz lies above the new Nyquist frequency (204.8 Hz): it must not fold into the band.
    const CEcgSignal high = analysis::Resample(OneLead(500.0, Tone(500.0, 10, 230.0, 1000)), 409.6);
    double top = 0;
    for (size_t i = 20; i + 20 < high.Length(); ++i)
        top = std::max(top, double(std::abs(high.leads[0][i])));
    EXPECT_LT(top, 20.0);
    // Up from 360 Hz as well.
    const CEcgSignal up = analysis::Resample(OneLead(360.0, Tone(360.0, 10, 10.0, 1000)), 409.6);
    EXPECT_NEAR(AmplitudeAt(up.leads[0], 409.6, 10.0, 400, 3600), 1000.0, 5.0);
}

TEST(Filters, TheCausalNotchSettlesOnALiveStream) {
    analysis::CCausalFilter notch(analysis::SectionsOf(Filter::Mains50, 409.6));
    const std::vector<float> hum = Tone(409.6, 4, 50.0, 1000);
    const std::vector<float> ecg = Tone(409.6, 4, 5.0, 500);
    std::vector<float> out;
    for (size_t i = 0; i < hum.size(); ++i)
        out.push_back(notch.Step(hum[i] + ecg[i]));
    double worst = 0;
    for (size_t i = 820; i < out.size(); ++i) // after two seconds
        worst = std::max(worst, double(std::abs(out[i] - ecg[i])));
    EXPECT_LT(worst, 40.0);
}

} // namespace
