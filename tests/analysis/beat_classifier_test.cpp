// The beat classifier on signals made for it: a sinus rhythm with premature wide beats of another
// shape and a compensatory pause, bigeminy (as many wide beats as narrow ones), aberrant-looking
// beats that come in time, and what it cannot see.

#include "analysis/beat_classifier.h"
#include "analysis/qrs_detector.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr double kRate = 360.0;

struct Made {
    CEcgSignal s;
    std::vector<size_t> beats;
    std::vector<bool> ventricular;
};

// Two leads: a narrow upright QRS (Gaussian, 12 ms) with a T wave; a ventricular beat wide
// (35 ms), inverted in lead 1 and biphasic in lead 2, with a broad discordant T wave.
void AddBeat(Made& m, double at, bool ventricular) {
    const size_t c = size_t(at * kRate);
    for (size_t l = 0; l < 2; ++l)
        for (size_t i = c > 144 ? c - 144 : 0; i < std::min(m.s.Length(), c + 216); ++i) {
            const double t = (double(i) - double(c)) / kRate;
            const auto g = [&](double mu, double sd) {
                return std::exp(-0.5 * (t - mu) * (t - mu) / (sd * sd));
            };
            double v = 0;
            if (!ventricular)
                v = (l == 0 ? 1200 : 800) * g(0, 0.012) + 250 * g(0.28, 0.05);
            else if (l == 0)
                v = -1500 * g(0, 0.035) + 400 * g(0.30, 0.07);
            else
                v = 900 * g(-0.03, 0.025) - 900 * g(0.03, 0.025) - 300 * g(0.30, 0.07);
            m.s.leads[l][i] += float(v);
        }
    m.beats.push_back(c);
    m.ventricular.push_back(ventricular);
}

Made Rhythm(double seconds) {
    Made m;
    m.s.dRate = kRate;
    m.s.names = {"MLII", "V1"};
    m.s.present = {true, true};
    m.s.leads.assign(2, std::vector<float>(size_t(seconds * kRate), 0.f));
    // A little noise and baseline wander, so that no two beats are identical.
    uint32_t seed = 12345;
    for (size_t l = 0; l < 2; ++l)
        for (size_t i = 0; i < m.s.Length(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            m.s.leads[l][i] = float(double(seed >> 8) / double(1 << 24) * 40.0 - 20.0 +
                                    150.0 * std::sin(2 * M_PI * 0.3 * double(i) / kRate));
        }
    return m;
}

std::vector<bool> CalledVentricular(const std::vector<analysis::BeatClass>& c) {
    std::vector<bool> v;
    for (const analysis::BeatClass x : c)
        v.push_back(x == analysis::BeatClass::Ventricular);
    return v;
}

TEST(BeatClassifier, TellsPrematureWideBeatsFromConductedOnes) {
    // Sinus rhythm at 75/min, every fifth beat a ventricular premature beat 60 % of the way
    // through the cycle, followed by a compensatory pause.
    Made m = Rhythm(60);
    double t = 0.5;
    for (int k = 0; t < 59; ++k) {
        const bool v = k % 5 == 4;
        AddBeat(m, v ? t - 0.32 : t, v);
        t += 0.8;
    }
    const std::vector<analysis::BeatClass> c = analysis::ClassifyBeats(m.s, m.beats);
    ASSERT_EQ(c.size(), m.beats.size());
    EXPECT_EQ(CalledVentricular(c), m.ventricular);
    // The detector's beats classify the same way: the classifier does not need the exact
    // fiducial point.
    const std::vector<size_t> detected = analysis::DetectQrs(m.s);
    ASSERT_EQ(detected.size(), m.beats.size());
    EXPECT_EQ(CalledVentricular(analysis::ClassifyBeats(m.s, detected)), m.ventricular);

    // Bigeminy: the wide kind is as common as the narrow one; the narrow one is dominant.
    Made b = Rhythm(40);
    t = 0.5;
    for (int k = 0; t < 39; ++k) {
        AddBeat(b, t, k % 2 == 1);
        t += k % 2 == 0 ? 0.5 : 0.9;
    }
    EXPECT_EQ(CalledVentricular(analysis::ClassifyBeats(b.s, b.beats)), b.ventricular);
}

TEST(BeatClassifier, WhatItCannotSeeIsUnknownAndBeatsInTimeAreNormal) {
    // Every beat wide and in time (a bundle branch block, or a ventricular rhythm with nothing
    // to compare with): one kind, dominant, normal for the classifier.
    Made m = Rhythm(20);
    for (double t = 0.5; t < 19.5; t += 0.9)
        AddBeat(m, t, true);
    m.beats.push_back(m.s.Length() - 3); // at the very end: its QRS is not there whole
    m.beats.insert(m.beats.begin(), 2);  // and at the very beginning
    const std::vector<analysis::BeatClass> c = analysis::ClassifyBeats(m.s, m.beats);
    ASSERT_EQ(c.size(), m.beats.size());
    EXPECT_EQ(c.front(), analysis::BeatClass::Unknown);
    EXPECT_EQ(c.back(), analysis::BeatClass::Unknown);
    for (size_t k = 1; k + 1 < c.size(); ++k)
        EXPECT_EQ(c[k], analysis::BeatClass::Normal) << k;

    // No present lead, no rate, no beats.
    CEcgSignal absent = m.s;
    absent.present = {false, false};
    for (const analysis::BeatClass x : analysis::ClassifyBeats(absent, m.beats))
        EXPECT_EQ(x, analysis::BeatClass::Unknown);
    CEcgSignal norate = m.s;
    norate.dRate = 0;
    EXPECT_EQ(analysis::ClassifyBeats(norate, m.beats).size(), m.beats.size());
    EXPECT_TRUE(analysis::ClassifyBeats(m.s, {}).empty());
}

} // namespace
