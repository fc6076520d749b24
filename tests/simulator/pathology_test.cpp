// The simulated pathology, checked on the lanes of the stored record: what an ECG reader would
// see there, compared with what the simulator says it made.

#include "simulator/cardiograph_simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

namespace {

using Sim = CCardiographSimulator;
using Kind = SimulatedBeat::Kind;

constexpr double kFs = Sim::kPointsPerSecond;
constexpr double kUnitsPerMv = 500.0;
enum Lane { I, II, III, aVR, aVL, aVF, V1, V2, V3, V4, V5, V6 };

SimulatorOptions Quiet(SimulatorPathology p = {}, int rate = 72) {
    SimulatorOptions o;
    o.nHeartRate = rate;
    o.dWanderMv = 0.0;
    o.nSeed = 3;
    o.pathology = p;
    return o;
}

int At(double seconds) {
    return int(std::lround(seconds * kFs));
}

// The QRS complexes as a reader finds them: peaks of the summed slope of the independent leads.
std::vector<int> DetectQrs(const std::vector<Sim::Lanes>& rec) {
    std::vector<double> e(rec.size(), 0.0);
    for (size_t i = 1; i + 1 < rec.size(); ++i)
        for (const int l : {I, II, V1, V2, V3, V4, V5, V6})
            e[i] += std::abs(rec[i + 1][l] - rec[i - 1][l]);
    const double top = *std::max_element(e.begin(), e.end());
    std::vector<int> peaks;
    for (size_t i = 0; i < e.size(); ++i) {
        if (e[i] < 0.3 * top)
            continue;
        if (!peaks.empty() && int(i) - peaks.back() < At(0.25)) {
            if (e[i] > e[size_t(peaks.back())])
                peaks.back() = int(i);
            continue;
        }
        peaks.push_back(int(i));
    }
    return peaks;
}

// The mean beat of the beats of one kind, from 0.5 s before the R peak to 0.7 s after it, less
// the level of the PR segment.
struct MeanBeat {
    std::vector<std::array<double, 12>> v;
    static constexpr double kBefore = 0.5;
    double operator()(int lane, double t) const {
        return v[size_t(std::clamp(At(t + kBefore), 0, int(v.size()) - 1))][size_t(lane)];
    }
};

MeanBeat Average(const Sim& sim, Kind kind) {
    const std::vector<Sim::Lanes>& rec = sim.StoredRecord();
    MeanBeat m;
    m.v.assign(size_t(At(1.2)), {});
    int n = 0;
    for (const SimulatedBeat& b : sim.Truth().beats) {
        const int from = At(b.dTime - MeanBeat::kBefore);
        if (b.kind != kind || from < 0 || from + int(m.v.size()) > int(rec.size()))
            continue;
        ++n;
        for (size_t i = 0; i < m.v.size(); ++i)
            for (size_t l = 0; l < 12; ++l)
                m.v[i][l] += rec[size_t(from) + i][l];
    }
    EXPECT_GT(n, 0);
    for (size_t l = 0; l < 12; ++l) {
        double base = 0.0;
        for (int i = At(MeanBeat::kBefore - 0.10); i < At(MeanBeat::kBefore - 0.085); ++i)
            base += m.v[size_t(i)][l];
        base /= At(MeanBeat::kBefore - 0.085) - At(MeanBeat::kBefore - 0.10);
        for (auto& p : m.v)
            p[l] = (p[l] - base) / std::max(n, 1);
    }
    return m;
}

// QRS onset and end of a mean beat (seconds from R): the summed slope of the leads above a
// tenth of its peak; after `after`, so that a pacing stimulus is left out.
std::pair<double, double> QrsSpan(const MeanBeat& m, double after = -0.15) {
    const int n = int(m.v.size());
    std::vector<double> s(size_t(n), 0.0);
    for (int i = 1; i + 1 < n; ++i)
        for (const int l : {I, II, V1, V2, V3, V4, V5, V6})
            s[size_t(i)] += std::abs(m.v[size_t(i + 1)][size_t(l)] - m.v[size_t(i - 1)][size_t(l)]);
    const int c = At(MeanBeat::kBefore);
    int peak = c;
    for (int i = c + At(std::max(after, -0.08)); i <= c + At(0.08); ++i)
        if (s[size_t(i)] > s[size_t(peak)])
            peak = i;
    // The speed dips at the top of each wave: a boundary is only where it stays low a while.
    const double level = 0.08 * s[size_t(peak)];
    int on = peak;
    for (int i = peak; i > c + At(after); --i) {
        if (s[size_t(i)] > level)
            on = i;
        else if (i < on - At(0.02))
            break;
    }
    int end = peak;
    for (int i = peak; i < c + At(0.2); ++i) {
        if (s[size_t(i)] > level)
            end = i;
        else if (i > end + At(0.04))
            break;
    }
    return {double(on - c) / kFs, double(end - c) / kFs};
}

double QrsMs(const MeanBeat& m, double after = -0.15) {
    const auto [on, end] = QrsSpan(m, after);
    return (end - on) * 1000.0;
}

// Frontal axis of the mean beat's QRS from the net areas of I and aVF.
double AxisDeg(const MeanBeat& m) {
    const auto [on, end] = QrsSpan(m);
    double i = 0.0, f = 0.0;
    for (int k = At(on + MeanBeat::kBefore); k <= At(end + MeanBeat::kBefore); ++k) {
        i += m.v[size_t(k)][I];
        f += m.v[size_t(k)][aVF];
    }
    return std::atan2(f * 2.0 / std::sqrt(3.0), i) * 180.0 / std::numbers::pi;
}

// The first deflection of a lead in the QRS past +-threshold units: +1 or -1.
int FirstDeflection(const MeanBeat& m, int lane, double threshold = 25.0) {
    const auto [on, end] = QrsSpan(m);
    for (double t = on; t <= end; t += 1.0 / kFs)
        if (std::abs(m(lane, t)) > threshold)
            return m(lane, t) > 0 ? 1 : -1;
    return 0;
}

// How long (ms) a lead stays under -threshold units in the second half of the QRS.
double LateNegativeMs(const MeanBeat& m, int lane, double threshold = 25.0) {
    const double end = QrsSpan(m).second;
    int n = 0;
    for (double t = 0.0; t <= end + 0.05; t += 1.0 / kFs)
        n += m(lane, t) < -threshold;
    return n * 1000.0 / kFs;
}

// Waves a second of a lead between the beats' QRS-T (where only atrial activity is): the rises
// through the lead's mean, from the first to the last of each stretch.
double AtrialWaveRate(const Sim& sim, int lane, double from, double to) {
    const std::vector<Sim::Lanes>& rec = sim.StoredRecord();
    std::vector<double> r;
    for (const SimulatedBeat& b : sim.Truth().beats)
        r.push_back(b.dTime);
    int waves = 0;
    double seconds = 0.0;
    for (size_t k = 0; k + 1 < r.size(); ++k) {
        const int a = At(r[k] + from), b = At(r[k + 1] - to);
        if (b - a < At(0.3))
            continue;
        double mean = 0.0;
        for (int i = a; i < b; ++i)
            mean += rec[size_t(i)][size_t(lane)];
        mean /= b - a;
        int state = 0;
        std::vector<int> rises;
        for (int i = a; i < b; ++i) {
            const double v = rec[size_t(i)][size_t(lane)] - mean;
            if (v > 8 && state < 0)
                rises.push_back(i);
            if (v > 8)
                state = 1;
            else if (v < -8)
                state = -1;
        }
        if (rises.size() >= 2) {
            waves += int(rises.size()) - 1;
            seconds += double(rises.back() - rises.front()) / kFs;
        }
    }
    return seconds > 0 ? waves / seconds : 0.0;
}

std::vector<double> Rr(const std::vector<int>& peaks) {
    std::vector<double> rr;
    for (size_t k = 1; k < peaks.size(); ++k)
        rr.push_back(double(peaks[k] - peaks[k - 1]) / kFs);
    return rr;
}

double Cv(const std::vector<double>& v) {
    const double mean = std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
    double ss = 0.0;
    for (const double x : v)
        ss += (x - mean) * (x - mean);
    return std::sqrt(ss / double(v.size())) / mean;
}

} // namespace

TEST(SimulatedHeart, RhythmsShowTheirAtrialActivityAndVentricularTiming) {
    const Sim sinus(Quiet());
    const MeanBeat ms = Average(sinus, Kind::Normal);
    double pSinus = 0.0;
    for (double t = -0.3; t < -0.09; t += 1.0 / kFs)
        pSinus = std::max(pSinus, ms(II, t));
    EXPECT_GT(pSinus, 30.0); // a P wave of 0.06 mV and more in II
    EXPECT_LT(Cv(Rr(DetectQrs(sinus.StoredRecord()))), 0.06);

    SimulatorPathology p;
    p.rhythm = SimRhythm::AtrialFibrillation;
    const Sim af(Quiet(p, 50)); // slow, so that no T wave reaches the next P's place
    const std::vector<int> afBeats = DetectQrs(af.StoredRecord());
    EXPECT_EQ(afBeats.size(), af.Truth().beats.size());
    const double cv = Cv(Rr(afBeats));
    EXPECT_GT(cv, 0.10);
    EXPECT_LT(cv, 0.35);
    const MeanBeat ma = Average(af, Kind::Normal);
    for (double t = -0.25; t < -0.09; t += 0.01)
        EXPECT_LT(std::abs(ma(II, t)), 0.4 * pSinus) << "a P wave before the QRS at " << t;
    EXPECT_TRUE(af.Truth().pWaves.empty());
    const double f = AtrialWaveRate(af, V1, 0.45, 0.08);
    EXPECT_GT(f, 5.0);
    EXPECT_LT(f, 9.0);

    p.rhythm = SimRhythm::Flutter;
    for (const int rate : {40, 72, 150}) {
        const Sim fl(Quiet(p, rate));
        const std::vector<double> rr = Rr(DetectQrs(fl.StoredRecord()));
        const double block = rate == 40 ? 8.0 : rate == 72 ? 4.0 : 2.0; // of 300 a minute
        for (const double x : rr)
            EXPECT_NEAR(x, 0.2 * block, 0.01) << rate;
        if (rate == 40) {
            EXPECT_NEAR(AtrialWaveRate(fl, II, 0.45, 0.08), 5.0, 0.4); // 300 a minute
        }
    }

    p.rhythm = SimRhythm::Paced;
    const Sim paced(Quiet(p));
    const std::vector<Sim::Lanes>& rec = paced.StoredRecord();
    ASSERT_FALSE(paced.Truth().beats.empty());
    for (const SimulatedBeat& b : paced.Truth().beats) {
        EXPECT_EQ(b.kind, Kind::Paced);
        // One stimulus of several mV in the 150 ms before each R peak, gone within two samples.
        int jumps = 0;
        int last = 0;
        for (int i = std::max(1, At(b.dTime - 0.15)); i < At(b.dTime); ++i)
            if (std::abs(rec[size_t(i)][II] - rec[size_t(i - 1)][II]) > 1000)
                ++jumps, last = i;
        EXPECT_GE(jumps, 1);
        EXPECT_LE(jumps, 3); // up, overshoot, back
        if (jumps > 0) {
            EXPECT_LT(std::abs(rec[size_t(last + 2)][II] - rec[size_t(last - 3)][II]), 300);
        }
    }
    EXPECT_EQ(paced.Truth().spikes.size(), paced.Truth().beats.size());
    EXPECT_GT(QrsMs(Average(paced, Kind::Paced), -0.07), 130.0);
}

TEST(SimulatedHeart, AvBlocksHaveTheirPrAndDroppedOrUnrelatedBeats) {
    const Sim sinus(Quiet());
    SimulatorPathology p;
    p.rhythm = SimRhythm::AvBlock1;
    const Sim avb1(Quiet(p));
    // The P wave's top moves back by the PR's lengthening, in the lanes.
    const auto pTop = [](const MeanBeat& m) {
        double best = -0.5;
        for (double t = -0.45; t < -0.06; t += 1.0 / kFs)
            if (m(II, t) > m(II, best))
                best = t;
        return best;
    };
    const double shift = pTop(Average(sinus, Kind::Normal)) - pTop(Average(avb1, Kind::Normal));
    EXPECT_NEAR(avb1.Truth().dPrMs, 260.0, 0.5);
    EXPECT_NEAR(shift * 1000.0, 260.0 - sinus.Truth().dPrMs, 8.0);
    EXPECT_GT(sinus.Truth().dPrMs, 120.0);
    EXPECT_LT(sinus.Truth().dPrMs, 200.0);

    p.rhythm = SimRhythm::AvBlock2;
    const Sim avb2(Quiet(p));
    const std::vector<int> qrs = DetectQrs(avb2.StoredRecord());
    const std::vector<double>& pw = avb2.Truth().pWaves;
    ASSERT_GE(pw.size(), 10u);
    int dropped = 0;
    std::vector<double> prs;
    for (size_t k = 0; k + 1 < pw.size(); ++k) {
        // Every P is in the lanes...
        const double bump = avb2.StoredRecord()[size_t(At(pw[k]))][II] -
                            avb2.StoredRecord()[size_t(At(pw[k] - 0.07))][II];
        EXPECT_GT(bump, 25.0) << "P at " << pw[k];
        // ...and has a QRS before the next P, or none.
        const auto next =
            std::find_if(qrs.begin(), qrs.end(), [&](int i) { return i > At(pw[k]); });
        if (next == qrs.end() || *next > At(pw[k + 1])) {
            ++dropped;
            // Wenckebach: the PRs before the drop grew.
            ASSERT_GE(prs.size(), 2u);
            EXPECT_GT(prs[prs.size() - 1], prs[prs.size() - 2] + 0.02);
            prs.clear();
        } else {
            prs.push_back(double(*next) / kFs - pw[k]);
        }
    }
    EXPECT_NEAR(dropped, int(pw.size()) / 4, 1);

    p.rhythm = SimRhythm::AvBlock3;
    const Sim avb3(Quiet(p));
    const std::vector<double> rr = Rr(DetectQrs(avb3.StoredRecord()));
    for (const double x : rr)
        EXPECT_NEAR(x, 1.5, 0.05);              // 40 a minute
    EXPECT_GE(avb3.Truth().pWaves.size(), 11u); // 72 a minute
}

TEST(SimulatedHeart, ConductionBlocksHaveTheirWidthAndShape) {
    const MeanBeat normal = Average(Sim(Quiet()), Kind::Normal);
    EXPECT_LT(QrsMs(normal), 115.0);

    SimulatorPathology p;
    p.conduction = SimConduction::Rbbb;
    const Sim rbbbSim(Quiet(p));
    const MeanBeat rbbb = Average(rbbbSim, Kind::Normal);
    EXPECT_GE(QrsMs(rbbb), 120.0);
    EXPECT_NEAR(QrsMs(rbbb), rbbbSim.Truth().dQrsMs, 12.0);
    // rsR' in V1: positive, negative, then a taller positive late.
    const auto [on, end] = QrsSpan(rbbb);
    double rPrime = 0.0, s = 0.0;
    for (double t = on; t <= end; t += 1.0 / kFs) {
        if (t > 0.04)
            rPrime = std::max(rPrime, rbbb(V1, t));
        else
            s = std::min(s, rbbb(V1, t));
    }
    EXPECT_EQ(FirstDeflection(rbbb, V1, 15.0), 1);
    EXPECT_LT(s, -50.0);
    EXPECT_GT(rPrime, 150.0);
    EXPECT_GT(LateNegativeMs(rbbb, I), 40.0);
    EXPECT_GT(LateNegativeMs(rbbb, V6), 40.0);
    EXPECT_LT(LateNegativeMs(normal, I), 30.0);

    p.dQrsMs = 115.0; // incomplete
    const MeanBeat incomplete = Average(Sim(Quiet(p)), Kind::Normal);
    EXPECT_NEAR(QrsMs(incomplete), 115.0, 10.0);
    EXPECT_LT(QrsMs(incomplete), QrsMs(rbbb) - 12.0);

    p = {};
    p.conduction = SimConduction::Lbbb;
    const MeanBeat lbbb = Average(Sim(Quiet(p)), Kind::Normal);
    EXPECT_GE(QrsMs(lbbb), 135.0);
    for (const int lane : {I, aVL, V5, V6})
        EXPECT_EQ(FirstDeflection(lbbb, lane), 1) << "a septal q in lane " << lane;
    double top = 0.0, bottom = 0.0;
    for (double t = -0.1; t < 0.1; t += 1.0 / kFs)
        top = std::max(top, lbbb(V1, t)), bottom = std::min(bottom, lbbb(V1, t));
    EXPECT_GT(-bottom, 4.0 * top); // QS or rS in V1

    p = {};
    p.conduction = SimConduction::Lafb;
    const MeanBeat lafb = Average(Sim(Quiet(p)), Kind::Normal);
    EXPECT_LT(QrsMs(lafb), 120.0);
    EXPECT_NEAR(AxisDeg(lafb), -60.0, 10.0);
    EXPECT_EQ(FirstDeflection(lafb, aVL, 15.0), -1); // qR
    for (const int lane : {II, III, aVF})
        EXPECT_EQ(FirstDeflection(lafb, lane, 15.0), 1) << lane; // rS
}

TEST(SimulatedHeart, PrematureBeatsComeAtTheirRateWithTheirPause) {
    SimulatorPathology p;
    p.dPvcPerMinute = 18;
    const Sim pvc(Quiet(p));
    const std::vector<SimulatedBeat>& beats = pvc.Truth().beats;
    const int nV = int(std::count_if(beats.begin(), beats.end(), [](const SimulatedBeat& b) {
        return b.kind == Kind::Ventricular;
    }));
    EXPECT_NEAR(nV, 3, 1); // 18 a minute, ten seconds
    EXPECT_EQ(DetectQrs(pvc.StoredRecord()).size(), beats.size());
    EXPECT_NEAR(QrsMs(Average(pvc, Kind::Ventricular)), 140.0, 15.0);
    for (size_t k = 1; k + 1 < beats.size(); ++k) {
        if (beats[k].kind != Kind::Ventricular)
            continue;
        EXPECT_LT(beats[k].dPrMs, 0.0);
        const double before = beats[k].dTime - beats[k - 1].dTime;
        const double after = beats[k + 1].dTime - beats[k].dTime;
        EXPECT_NEAR(before / (60.0 / 72), 0.6, 0.05);
        EXPECT_NEAR(before + after, 2 * 60.0 / 72, 0.12); // compensatory
    }
    p = {};
    p.bPvcBigeminy = true;
    const Sim big(Quiet(p));
    const std::vector<SimulatedBeat>& bb = big.Truth().beats;
    for (size_t k = 1; k < bb.size(); ++k)
        EXPECT_NE(bb[k].kind == Kind::Ventricular, bb[k - 1].kind == Kind::Ventricular);
}

TEST(SimulatedHeart, QtcStElevationAmplitudeAndRate) {
    for (const int rate : {50, 100}) {
        for (const double qtc : {400.0, 480.0}) {
            SimulatorPathology p;
            p.dQtcMs = qtc;
            const Sim sim(Quiet(p, rate));
            EXPECT_NEAR(sim.Truth().dQtcMs, qtc, 0.5);
            // In the lanes: the end of T in II where it falls under 5% of its top.
            const MeanBeat m = Average(sim, Kind::Normal);
            const auto [on, end] = QrsSpan(m);
            double peak = end + 0.05;
            for (double t = end + 0.05; t < 0.7 * 60.0 / rate; t += 1.0 / kFs)
                if (m(II, t) > m(II, peak))
                    peak = t;
            double tEnd = peak;
            while (tEnd < 0.69 && m(II, tEnd) > 0.05 * m(II, peak))
                tEnd += 1.0 / kFs;
            const double qt = (tEnd - on) * 1000.0;
            const double rr = 60.0 / rate;
            EXPECT_NEAR(qt / std::sqrt(rr), qtc, 25.0) << rate << " " << qtc;
        }
    }

    const auto st = [](SimStLeads leads) {
        SimulatorPathology p;
        p.dStElevationMv = 0.2;
        p.stLeads = leads;
        const Sim sim(Quiet(p));
        const MeanBeat m = Average(sim, Kind::Normal);
        const MeanBeat n = Average(Sim(Quiet()), Kind::Normal);
        const double end = QrsSpan(n).second;
        std::array<double, 12> shift{};
        for (int l = 0; l < 12; ++l)
            shift[size_t(l)] = (m(l, end + 0.04) - n(l, end + 0.04)) / kUnitsPerMv;
        return shift;
    };
    const std::array<double, 12> inferior = st(SimStLeads::Inferior);
    for (const int l : {II, III, aVF})
        EXPECT_NEAR(inferior[size_t(l)], 0.2, 0.02) << l;
    EXPECT_NEAR(inferior[aVL], -0.1, 0.02);
    EXPECT_NEAR(inferior[V2], 0.0, 0.02);
    const std::array<double, 12> lateral = st(SimStLeads::Lateral);
    for (const int l : {I, aVL, V5, V6})
        EXPECT_NEAR(lateral[size_t(l)], 0.2, 0.02) << l;
    EXPECT_NEAR(lateral[III], -0.2, 0.02);

    SimulatorPathology big;
    big.dAmplitude = 3.5;
    const Sim lvh(Quiet(big));
    const MeanBeat m = Average(lvh, Kind::Normal);
    double sV1 = 0.0, rV5 = 0.0;
    for (double t = -0.08; t < 0.08; t += 1.0 / kFs)
        sV1 = std::min(sV1, m(V1, t)), rV5 = std::max(rV5, m(V5, t));
    EXPECT_GT((rV5 - sV1) / kUnitsPerMv, 3.5); // Sokolow-Lyon
    for (const Sim::Lanes& point : lvh.StoredRecord())
        for (const int16_t v : point)
            ASSERT_LT(std::abs(v), 1999) << "clipped";

    const std::vector<double> rr = Rr(DetectQrs(Sim(Quiet({}, 45)).StoredRecord()));
    EXPECT_NEAR(60.0 / (std::accumulate(rr.begin(), rr.end(), 0.0) / double(rr.size())), 45.0, 2.0);
}
