// Measurements of records whose waves we placed ourselves: the simulator's, clean and with
// mains hum and baseline wander added, and records with nothing to measure.

#include "analysis/measurement_table.h"
#include "analysis/measurements.h"
#include "simulator/cardiograph_simulator.h"

#include "record_model/session_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

namespace {

std::unique_ptr<ECG_RECORD> RecordOf(const CCardiographSimulator& sim) {
    auto rec = std::make_unique<ECG_RECORD>();
    std::memset(rec.get(), 0, sizeof(ECG_RECORD));
    const auto& points = sim.StoredRecord();
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) = points[size_t(p)][size_t(lane)];
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(rec->curves_buf, info);
    return rec;
}

analysis::Measurements MeasureSimulated(const SimulatorOptions& o) {
    const CCardiographSimulator sim(o);
    return analysis::Measure(SignalFromRecord(*RecordOf(sim)));
}

TEST(Measurements, SimulatedBeatsRateAndAxesAreWhereTheSimulatorPutThem) {
    for (const int rate : {50, 72, 120}) {
        SCOPED_TRACE(rate);
        SimulatorOptions o;
        o.nHeartRate = rate;
        o.nSeed = 11;
        const CCardiographSimulator sim(o);
        const analysis::Measurements m = analysis::Measure(SignalFromRecord(*RecordOf(sim)));
        // Every R peak the simulator placed (away from the ends) is found, within 15 ms, and
        // nothing else.
        const std::vector<double>& truth = sim.StoredRecordBeats();
        size_t inside = 0;
        for (const double t : truth) {
            if (t < 0.1 || t > 9.9)
                continue;
            ++inside;
            const auto near = std::find_if(m.beats.begin(), m.beats.end(), [&](size_t b) {
                return std::abs(double(b) / kPointsPerSecond - t) < 0.015;
            });
            EXPECT_NE(near, m.beats.end()) << "beat at " << t << " s";
        }
        EXPECT_LE(m.beats.size(), inside + 1);
        ASSERT_TRUE(m.heartRateBpm);
        double rr = 0;
        for (size_t k = 1; k < truth.size(); ++k)
            rr += truth[k] - truth[k - 1];
        EXPECT_NEAR(*m.heartRateBpm, 60.0 / (rr / double(truth.size() - 1)), 1.5);
        // The simulator's heart vector: QRS net area at about 49 degrees, P 59, T 53.
        ASSERT_TRUE(m.axisQrsDeg && m.axisPDeg && m.axisTDeg);
        EXPECT_NEAR(*m.axisQrsDeg, 48.6, 8);
        EXPECT_NEAR(*m.axisPDeg, 59.0, 10);
        EXPECT_NEAR(*m.axisTDeg, 53.1, 10);
        // Its waves are Gaussians around the R peak: P at -170 ms (sd 22 ms), Q at -30 (9), S
        // at +30 (11), T at +300 (55), P and T stretched by the root of the RR interval. Where
        // each falls to 15 % of its top is where its boundary lies.
        ASSERT_TRUE(m.prMs && m.qrsMs && m.qtMs && m.pMs && m.qtcBazettMs && m.qtcFridericiaMs);
        const double stretch = std::sqrt(60.0 / rate), edge = 1.95;
        const double qrsOn = 0.030 + edge * 0.009, qrsEnd = 0.030 + edge * 0.011;
        EXPECT_NEAR(*m.prMs, 1000 * ((0.170 + edge * 0.022) * stretch - qrsOn), 25);
        EXPECT_NEAR(*m.pMs, 1000 * 2 * edge * 0.022 * stretch, 30);
        EXPECT_NEAR(*m.qrsMs, 1000 * (qrsOn + qrsEnd), 25);
        EXPECT_NEAR(*m.qtMs, 1000 * ((0.300 + edge * 0.055) * stretch + qrsOn), 50);
        // Both corrections by the RR before the measured beats: in a regular rhythm, the mean.
        ASSERT_TRUE(m.qtcRrMs);
        EXPECT_NEAR(*m.qtcRrMs, *m.rrMeanMs, 0.02 * *m.rrMeanMs);
        const double rrS = *m.qtcRrMs / 1000;
        EXPECT_NEAR(*m.qtcBazettMs, *m.qtMs / std::sqrt(rrS), 0.01);
        EXPECT_NEAR(*m.qtcFridericiaMs, *m.qtMs / std::cbrt(rrS), 0.01);
        ASSERT_TRUE(m.sokolowLyonMv);
        EXPECT_GT(*m.sokolowLyonMv, 0);
    }
}

TEST(Measurements, MainsHumAndBaselineWanderChangeLittle) {
    SimulatorOptions clean;
    clean.nSeed = 5;
    clean.dWanderMv = 0;
    SimulatorOptions noisy = clean;
    noisy.dMainsMv = 0.3;  // hum larger than the P wave
    noisy.dWanderMv = 0.8; // breathing moving the baseline by 1.6 mV
    const analysis::Measurements a = MeasureSimulated(clean), b = MeasureSimulated(noisy);
    ASSERT_EQ(a.beats.size(), b.beats.size());
    for (size_t k = 0; k < a.beats.size(); ++k)
        EXPECT_NEAR(double(a.beats[k]), double(b.beats[k]), 4.0) << "beat " << k;
    for (const auto& [what, x, y] :
         {std::tuple{"PR", a.prMs, b.prMs}, std::tuple{"QRS", a.qrsMs, b.qrsMs},
          std::tuple{"QT", a.qtMs, b.qtMs}}) {
        ASSERT_TRUE(x && y) << what;
        EXPECT_NEAR(*x, *y, 10.0) << what;
    }
    ASSERT_TRUE(a.axisQrsDeg && b.axisQrsDeg);
    EXPECT_NEAR(*a.axisQrsDeg, *b.axisQrsDeg, 5.0);
}

TEST(Measurements, WhatCannotBeMeasuredIsAbsentNeverZero) {
    // A flat record: no beat, so nothing at all.
    auto flat = std::make_unique<ECG_RECORD>();
    std::memset(flat.get(), 0, sizeof(ECG_RECORD));
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(flat->curves_buf, info);
    const analysis::Measurements none = analysis::Measure(SignalFromRecord(*flat));
    EXPECT_TRUE(none.beats.empty());
    for (const analysis::MeasurementRow& r : analysis::MeasurementRows(none)) {
        EXPECT_FALSE(r.value) << r.key;
        EXPECT_EQ(analysis::ValueText(r, false), "absent");
        EXPECT_EQ(analysis::ValueText(r, true), "нет");
    }
    EXPECT_EQ(analysis::MeasurementLine(none),
              "Автоматические измерения: нет (комплексы QRS не найдены)");
    // The summary the screen and the report share names what was measured and nothing else: a
    // P axis not measured beside a measured P is left out, not printed as "ось P нет".
    analysis::Measurements some;
    some.pMs = 100;
    some.qrsMs = 90;
    EXPECT_EQ(analysis::MeasurementSummary(some),
              (std::vector<std::string>{"P 100 мс", "QRS 90 мс"}));

    // The simulated record without its chest leads: no Sokolow-Lyon, the rest still measured.
    SimulatorOptions o;
    const CCardiographSimulator sim(o);
    auto rec = RecordOf(sim);
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 6; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) = 0;
    const analysis::Measurements limbs = analysis::Measure(SignalFromRecord(*rec));
    EXPECT_FALSE(limbs.sokolowLyonMv);
    EXPECT_TRUE(limbs.heartRateBpm && limbs.qrsMs && limbs.axisQrsDeg);
    ASSERT_EQ(limbs.amplitudes.size(), size_t(kLeads));
    EXPECT_FALSE(limbs.amplitudes[6].rMv) << "an absent lead has no amplitudes";
    EXPECT_TRUE(limbs.amplitudes[1].rMv);
    const std::string line = analysis::MeasurementLine(limbs);
    EXPECT_NE(line.find("ЧСС "), std::string::npos);
    EXPECT_EQ(line.find("Соколов"), std::string::npos) << "absent values are left out";
    EXPECT_NE(line.find("требуют подтверждения врачом"), std::string::npos);

    // Two beats give a rate; one beat gives none.
    CEcgSignal s = SignalFromRecord(*RecordOf(sim));
    for (std::vector<float>& lead : s.leads)
        lead.resize(size_t(0.9 * kPointsPerSecond)); // less than one RR interval
    const analysis::Measurements one = analysis::Measure(s);
    EXPECT_LE(one.beats.size(), 1u);
    EXPECT_FALSE(one.heartRateBpm);
    EXPECT_FALSE(one.rrMeanMs);
}

TEST(Measurements, TheLiveHeartRateFollowsTheLastBeats) {
    for (const int rate : {60, 90, 150}) {
        SimulatorOptions o;
        o.nHeartRate = rate;
        const CCardiographSimulator sim(o);
        CSessionState s;
        const auto& points = sim.StoredRecord();
        for (int p = 0; p < kPoints; ++p)
            for (int lane = 0; lane < kLeads; ++lane)
                Sample(s.m_pCurves, p, lane) = points[size_t(p)][size_t(lane)];
        s.m_nRingPos = 3000;
        EXPECT_TRUE(LiveSignal(s, 3001).leads.empty()) << "fewer points than asked for";
        const CEcgSignal live = LiveSignal(s, 2458);
        ASSERT_EQ(live.Length(), 2458u);
        EXPECT_EQ(live.leads[1][2457], float(Sample(s.m_pCurves, 2999, 1) * 2.0));
        const std::optional<double> hr = analysis::RecentHeartRate(live);
        ASSERT_TRUE(hr) << rate;
        EXPECT_NEAR(*hr, rate, rate * 0.08);
        // A wrapped ring reads across its end, oldest first.
        s.m_bRingWrapped = 1;
        s.m_nRingPos = 100;
        const CEcgSignal wrapped = LiveSignal(s, 200);
        EXPECT_EQ(wrapped.leads[0][0], float(Sample(s.m_pCurves, 4096 - 100, 0) * 2.0));
        EXPECT_EQ(wrapped.leads[0][199], float(Sample(s.m_pCurves, 99, 0) * 2.0));
    }
}

} // namespace
