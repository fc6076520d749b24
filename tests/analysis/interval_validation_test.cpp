// Intervals and heart rate judged on the Lobachevsky University Database (PhysioNet): twelve-lead
// records whose P, QRS and T boundaries cardiologists drew in every lead.

#include "analysis/filters.h"
#include "analysis/measurements.h"
#include "support/wfdb.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <tuple>

namespace {

struct Wave {
    long on, peak, end;
};

struct LeadWaves {
    std::vector<Wave> p, qrs, t;
};

LeadWaves ReadLead(const std::filesystem::path& file) {
    LeadWaves w;
    const std::vector<wfdb::Annotation> a = wfdb::ReadAnnotations(file);
    for (size_t k = 1; k + 1 < a.size(); ++k) {
        if (a[k - 1].code != wfdb::kWaveOnset || a[k + 1].code != wfdb::kWaveEnd)
            continue;
        const Wave wave{a[k - 1].sample, a[k].sample, a[k + 1].sample};
        if (a[k].code == wfdb::kPWave)
            w.p.push_back(wave);
        else if (a[k].code == wfdb::kTWave)
            w.t.push_back(wave);
        else if (wfdb::IsBeat(a[k].code))
            w.qrs.push_back(wave);
    }
    return w;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty()      ? 0
           : v.size() % 2 ? v[v.size() / 2]
                          : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The waves of a beat in one lead: its QRS and the P before it and the T after it, if drawn.
struct BeatWaves {
    Wave qrs;
    std::optional<Wave> p, t;
};

std::vector<BeatWaves> Beats(const LeadWaves& w, double rate) {
    std::vector<BeatWaves> out;
    for (const Wave& q : w.qrs) {
        BeatWaves b{q, {}, {}};
        for (const Wave& p : w.p)
            if (p.end <= q.on && q.on - p.on < long(0.45 * rate))
                b.p = p;
        for (const Wave& t : w.t)
            if (t.on >= q.end && t.end - q.on < long(0.75 * rate) && !b.t)
                b.t = t;
        out.push_back(b);
    }
    return out;
}

// The reference band of one interval: the median over the leads of each lead's own median, and
// the median over the beats of the span from the earliest start to the latest end.
struct Band {
    double lo = 0, hi = 0;
    bool any = false;
};

template <class Start, class End>
Band BandOf(const std::map<std::string, std::vector<BeatWaves>>& leads, double rate, Start start,
            End end) {
    const double ms = 1000.0 / rate;
    std::vector<double> perLead;
    std::map<long, std::pair<long, long>> span; // by the beat's QRS peak (rounded)
    for (const auto& [name, beats] : leads) {
        std::vector<double> v;
        for (const BeatWaves& b : beats) {
            const std::optional<long> s = start(b), e = end(b);
            if (!s || !e)
                continue;
            v.push_back(double(*e - *s) * ms);
            const long key = b.qrs.peak / long(0.1 * rate);
            auto [it, fresh] = span.try_emplace(key, *s, *e);
            if (!fresh)
                it->second = {std::min(it->second.first, *s), std::max(it->second.second, *e)};
        }
        if (!v.empty())
            perLead.push_back(Median(v));
    }
    Band b;
    if (perLead.empty())
        return b;
    std::vector<double> spans;
    for (const auto& [key, se] : span)
        spans.push_back(double(se.second - se.first) * ms);
    b.lo = Median(perLead);
    b.hi = Median(spans);
    if (b.hi < b.lo)
        std::swap(b.lo, b.hi);
    b.any = true;
    return b;
}

struct Reference {
    Band p, pr, qrs, qt;
    double heartRate = 0;
};

Reference ReferenceOf(const std::filesystem::path& base, double rate) {
    std::map<std::string, std::vector<BeatWaves>> leads;
    for (const char* lead :
         {"i", "ii", "iii", "avr", "avl", "avf", "v1", "v2", "v3", "v4", "v5", "v6"})
        leads[lead] = Beats(ReadLead(base.string() + "." + lead), rate);
    Reference r;
    using O = std::optional<long>;
    r.qrs = BandOf(
        leads, rate, [](const BeatWaves& b) { return O(b.qrs.on); },
        [](const BeatWaves& b) { return O(b.qrs.end); });
    r.p = BandOf(
        leads, rate, [](const BeatWaves& b) { return b.p ? O(b.p->on) : O(); },
        [](const BeatWaves& b) { return b.p ? O(b.p->end) : O(); });
    r.pr = BandOf(
        leads, rate, [](const BeatWaves& b) { return b.p ? O(b.p->on) : O(); },
        [](const BeatWaves& b) { return O(b.qrs.on); });
    r.qt = BandOf(
        leads, rate, [](const BeatWaves& b) { return O(b.qrs.on); },
        [](const BeatWaves& b) { return b.t ? O(b.t->end) : O(); });
    const std::vector<BeatWaves>& ii = leads["ii"];
    if (ii.size() >= 2)
        r.heartRate =
            60.0 * rate * double(ii.size() - 1) / double(ii.back().qrs.peak - ii.front().qrs.peak);
    return r;
}

// Differences from the middle of the band, for the report next to the CSE limits.
struct Stats {
    std::vector<double> d;
    void Add(double v) { d.push_back(v); }
    double Mean() const {
        double s = 0;
        for (double v : d)
            s += v;
        return d.empty() ? 0 : s / double(d.size());
    }
    double Sd() const {
        const double m = Mean();
        double s = 0;
        for (double v : d)
            s += (v - m) * (v - m);
        return d.size() > 1 ? std::sqrt(s / double(d.size() - 1)) : 0;
    }
};

void ExpectInBand(const char* what, const char* record, std::optional<double> v, const Band& band,
                  double tolerance, Stats& stats) {
    if (!band.any) {
        EXPECT_FALSE(v) << record << ": " << what << " where the reference has none";
        std::printf("  %-4s absent in the reference; measured %s\n", what, v ? "a value" : "none");
        return;
    }
    ASSERT_TRUE(v) << record << ": no " << what;
    std::printf("  %-4s %6.1f ms, reference %6.1f ... %6.1f\n", what, *v, band.lo, band.hi);
    EXPECT_GE(*v, band.lo - tolerance) << record << " " << what;
    EXPECT_LE(*v, band.hi + tolerance) << record << " " << what;
    stats.Add(*v < band.lo ? *v - band.lo : *v > band.hi ? *v - band.hi : 0.0);
}

TEST(IntervalValidation, LudbIntervalsLieInTheCardiologistsBands) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    Stats p, pr, qrs, qt;
    for (const char* name : {"1", "8", "10", "15"}) {
        const auto base = root / "wfdb" / "ludb" / name;
        CEcgSignal sig;
        ASSERT_TRUE(wfdb::ReadRecord(base, sig)) << base;
        const Reference ref = ReferenceOf(base, sig.dRate);
        const analysis::Measurements m = analysis::Measure(sig);
        std::printf("LUDB %s: heart rate %.1f (reference %.1f), %d of %zu beats dominant\n", name,
                    m.heartRateBpm.value_or(0), ref.heartRate, m.nDominantBeats, m.beats.size());
        ASSERT_TRUE(m.heartRateBpm);
        EXPECT_NEAR(*m.heartRateBpm, ref.heartRate, 2.0) << name;
        ExpectInBand("P", name, m.pMs, ref.p, 20, p);
        ExpectInBand("PR", name, m.prMs, ref.pr, 20, pr);
        ExpectInBand("QRS", name, m.qrsMs, ref.qrs, 20, qrs);
        ExpectInBand("QT", name, m.qtMs, ref.qt, 30, qt);

        // The same record at 409.6 Hz measures the same, within 5 ms.
        const analysis::Measurements r = analysis::Measure(analysis::Resample(sig, 409.6));
        for (const auto& [what, a, b] :
             {std::tuple{"PR", m.prMs, r.prMs}, std::tuple{"QRS", m.qrsMs, r.qrsMs},
              std::tuple{"QT", m.qtMs, r.qtMs}}) {
            EXPECT_EQ(bool(a), bool(b)) << name << " " << what << " at 409.6 Hz";
            if (a && b) {
                EXPECT_NEAR(*a, *b, 5.0) << name << " " << what << " at 409.6 Hz";
            }
        }
    }
    std::printf("outside the band (mean / SD, ms): P %.1f/%.1f  PR %.1f/%.1f (CSE 10/10)  QRS "
                "%.1f/%.1f (CSE 10/10)  QT %.1f/%.1f (CSE 25/30)\n",
                p.Mean(), p.Sd(), pr.Mean(), pr.Sd(), qrs.Mean(), qrs.Sd(), qt.Mean(), qt.Sd());
}

// The shortest RR interval the cardiologists' QRS complexes give (in lead II), in ms; 0 with
// fewer than two.
double ShortestRrMs(const std::filesystem::path& base, double rate) {
    const LeadWaves ii = ReadLead(base.string() + ".ii");
    double shortest = 0;
    for (size_t k = 1; k < ii.qrs.size(); ++k) {
        const double rr = double(ii.qrs[k].peak - ii.qrs[k - 1].peak) * 1000.0 / rate;
        shortest = shortest == 0 ? rr : std::min(shortest, rr);
    }
    return shortest;
}

// Over every LUDB record at hand: a QT ends before the next beat's QRS, so none is longer than
// the shortest RR of its record; the atrial fibrillation of record 109 (RR from 317 ms) measures
// near the cardiologists' band; and the QT's distance from the bands over all records is
// printed for comparison between versions.
TEST(IntervalValidation, LudbQtNeverReachesPastTheNextBeat) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const auto folder = root / "wfdb" / "ludb";
    std::vector<std::filesystem::path> bases;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".hea")
            bases.push_back(e.path().parent_path() / e.path().stem());
    std::sort(bases.begin(), bases.end());
    ASSERT_GE(bases.size(), 50u) << folder;
    Stats qt;
    int measured = 0;
    bool saw109 = false;
    for (const auto& base : bases) {
        const std::string name = base.filename().string();
        CEcgSignal sig;
        ASSERT_TRUE(wfdb::ReadRecord(base, sig)) << base;
        const analysis::Measurements m = analysis::Measure(sig);
        const double shortest = ShortestRrMs(base, sig.dRate);
        const Band band = ReferenceOf(base, sig.dRate).qt;
        if (!m.qtMs)
            continue;
        ++measured;
        if (shortest > 0) {
            EXPECT_LT(*m.qtMs, shortest) << "LUDB " << name << ": QT past the next beat";
        }
        if (band.any) {
            qt.Add(*m.qtMs < band.lo   ? *m.qtMs - band.lo
                   : *m.qtMs > band.hi ? *m.qtMs - band.hi
                                       : 0.0);
            if (*m.qtMs < band.lo - 60 || *m.qtMs > band.hi + 60)
                std::printf("  LUDB %s: QT %.0f ms, reference %.0f ... %.0f, shortest RR %.0f\n",
                            name.c_str(), *m.qtMs, band.lo, band.hi, shortest);
        }
        if (name == "109") {
            saw109 = true;
            ASSERT_TRUE(band.any);
            std::printf("  LUDB 109: QT %.0f ms, QTc %.0f (Bazett) %.0f (Fridericia) by RR %.0f "
                        "(record mean %.0f), reference %.0f ... %.0f, shortest RR %.0f\n",
                        *m.qtMs, m.qtcBazettMs.value_or(0), m.qtcFridericiaMs.value_or(0),
                        m.qtcRrMs.value_or(0), m.rrMeanMs.value_or(0), band.lo, band.hi, shortest);
            EXPECT_GE(*m.qtMs, band.lo - 30);
            EXPECT_LE(*m.qtMs, band.hi + 30);
            // QTc by the RR before the beats measured (the longer following half), which lies
            // within the record's RR, both corrections by the same one.
            ASSERT_TRUE(m.qtcRrMs && m.qtcBazettMs && m.qtcFridericiaMs);
            EXPECT_GE(*m.qtcRrMs, *m.rrMinMs);
            EXPECT_LE(*m.qtcRrMs, *m.rrMaxMs);
            EXPECT_NEAR(*m.qtcBazettMs, *m.qtMs / std::sqrt(*m.qtcRrMs / 1000), 0.01);
            EXPECT_NEAR(*m.qtcFridericiaMs, *m.qtMs / std::cbrt(*m.qtcRrMs / 1000), 0.01);
        }
    }
    std::printf("QT over %zu LUDB records (%d measured): outside the band mean %.1f / SD %.1f ms\n",
                bases.size(), measured, qt.Mean(), qt.Sd());
    EXPECT_TRUE(saw109 || !std::filesystem::exists(folder / "109.hea"))
        << "record 109 measures no QT";
}

} // namespace
