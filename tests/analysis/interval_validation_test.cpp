// Intervals and heart rate judged on the Lobachevsky University Database (PhysioNet): twelve-lead
// records whose P, QRS and T boundaries cardiologists drew in every lead.

#include "analysis/filters.h"
#include "analysis/measurements.h"
#include "support/wfdb.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

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
    long firstPeak = 0, lastPeak = 0; // of the QRS complexes drawn in lead II
};

bool FirstDegreeAvBlock(const std::filesystem::path& base) {
    std::ifstream hea(base.string() + ".hea");
    std::string line;
    while (std::getline(hea, line))
        if (line.rfind("#I degree AV block", 0) == 0)
            return true;
    return false;
}

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
    if (ii.size() >= 2) {
        r.firstPeak = ii.front().qrs.peak;
        r.lastPeak = ii.back().qrs.peak;
        r.heartRate =
            60.0 * rate * double(ii.size() - 1) / double(ii.back().qrs.peak - ii.front().qrs.peak);
    }
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

// The signed distance of v from the band: 0 inside it, else how far outside.
double Distance(double v, const Band& band) {
    return v < band.lo ? v - band.lo : v > band.hi ? v - band.hi : 0.0;
}

// One interval over the records: its distances where both the reference and the measurement
// have it, and how often only one of them has it (no P wave in atrial fibrillation is no error).
struct Tally {
    Stats d;
    int reference = 0, measured = 0, missed = 0, extra = 0;
    void Add(const char* what, const std::string& record, std::optional<double> v, const Band& band,
             double limit) {
        reference += band.any ? 1 : 0;
        measured += v ? 1 : 0;
        missed += band.any && !v ? 1 : 0;
        extra += v && !band.any ? 1 : 0;
        if (!band.any || !v)
            return;
        d.Add(Distance(*v, band));
        if (std::abs(d.d.back()) > limit)
            std::printf("  LUDB %-4s %-3s %4.0f ms, reference %4.0f ... %4.0f\n", record.c_str(),
                        what, *v, band.lo, band.hi);
    }
    void Print(const char* what) const {
        std::printf("  %-3s outside the band %5.1f / SD %5.1f ms over %zu records; reference "
                    "has it %d, measured %d, missed %d, extra %d\n",
                    what, d.Mean(), d.Sd(), d.d.size(), reference, measured, missed, extra);
    }
};

// LUDB's header gives each lead a gain that scales it to 1 mV peak to peak; the samples
// themselves are microvolts on one scale (Einthoven's law holds in them). The spatial velocity
// and magnitude weigh the leads by amplitude, so the true reading is at one gain for all.
bool ReadLudb(const std::filesystem::path& base, bool trueAmplitudes, CEcgSignal& s) {
    if (!wfdb::ReadRecord(base, s))
        return false;
    if (!trueAmplitudes)
        return true;
    std::ifstream hea(base.string() + ".hea");
    std::string line;
    std::getline(hea, line);
    for (size_t l = 0; l < s.leads.size() && std::getline(hea, line); ++l) {
        std::istringstream in(line);
        std::string file, format, gain;
        in >> file >> format >> gain;
        const double g = std::atof(gain.c_str());
        for (float& v : s.leads[l])
            v = float(v * g / 1000.0);
    }
    return true;
}

std::vector<std::filesystem::path> LudbRecords(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> bases;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".hea")
            bases.push_back(e.path().parent_path() / e.path().stem());
    std::sort(bases.begin(), bases.end(), [](const auto& a, const auto& b) {
        return std::atoi(a.filename().c_str()) < std::atoi(b.filename().c_str());
    });
    return bases;
}

// White noise of sd µV on every lead, the same for a seed: a record as a less quiet patient or
// a worse electrode gives it. Boundaries found at the edge of the noise move with it.
void AddNoise(CEcgSignal& s, double sd, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<float> noise(0.f, float(sd));
    for (std::vector<float>& lead : s.leads)
        for (float& v : lead)
            v += noise(gen);
}

enum class Reading { HeaderGains, TrueAmplitudes, Noisy };

// Every shared LUDB record, read at the header's gains, at the true amplitudes and at the true
// amplitudes with 15 µV of noise: the distance of PR, QRS and QT from the cardiologists' band
// within the CSE limits (mean and SD: PR and QRS 10 / 10 ms, QT 25 / 30 ms), a value wherever
// the reference has one, the heart rate within 2/min of the cardiologists' beats, and the PR of
// the first-degree AV blocks over 200 ms where their band is. A line per record only where an
// interval lies farther from its band than the CSE SD limit.
TEST(IntervalValidation, LudbIntervalsLieInTheCardiologistsBands) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const std::vector<std::filesystem::path> bases = LudbRecords(root / "wfdb" / "ludb");
    ASSERT_GE(bases.size(), 50u);
    for (const Reading reading : {Reading::HeaderGains, Reading::TrueAmplitudes, Reading::Noisy}) {
        std::printf("LUDB at %s\n", reading == Reading::HeaderGains ? "the header's gains"
                                    : reading == Reading::TrueAmplitudes
                                        ? "true amplitudes"
                                        : "true amplitudes, noisy");
        Tally p, pr, qrs, qt;
        int avBlocks = 0, overTwoHundred = 0, rateOff = 0;
        for (const auto& base : bases) {
            const std::string name = base.filename().string();
            CEcgSignal sig;
            ASSERT_TRUE(ReadLudb(base, reading != Reading::HeaderGains, sig)) << base;
            if (reading == Reading::Noisy)
                AddNoise(sig, 15.0, unsigned(std::atoi(name.c_str())));
            const Reference ref = ReferenceOf(base, sig.dRate);
            const long margin = long(0.1 * sig.dRate);
            const analysis::Measurements m = analysis::Measure(sig);
            // The cardiologists drew the beats of the record's middle only: the rate of the
            // detected beats over the same stretch.
            std::vector<size_t> within;
            for (const size_t b : m.beats)
                if (long(b) >= ref.firstPeak - margin && long(b) <= ref.lastPeak + margin)
                    within.push_back(b);
            ASSERT_GE(within.size(), 2u) << name;
            const double rate = 60.0 * sig.dRate * double(within.size() - 1) /
                                double(within.back() - within.front());
            if (std::abs(rate - ref.heartRate) > 2.0) {
                ++rateOff;
                std::printf("  LUDB %-4s heart rate %.1f/min, reference %.1f\n", name.c_str(), rate,
                            ref.heartRate);
            }
            if (FirstDegreeAvBlock(base)) {
                std::printf("  LUDB %-4s first-degree AV block: PR %4.0f ms, reference %4.0f ... "
                            "%4.0f\n",
                            name.c_str(), m.prMs.value_or(NAN), ref.pr.lo, ref.pr.hi);
                ++avBlocks;
                overTwoHundred += m.prMs && *m.prMs > 200 ? 1 : 0;
                // The statement needs the PR over 200 ms: where even the band's short end is.
                if (ref.pr.any && ref.pr.lo > 200) {
                    EXPECT_GT(m.prMs.value_or(0), 200) << name;
                }
            }
            p.Add("P", name, m.pMs, ref.p, 10);
            pr.Add("PR", name, m.prMs, ref.pr, 10);
            qrs.Add("QRS", name, m.qrsMs, ref.qrs, 10);
            qt.Add("QT", name, m.qtMs, ref.qt, 30);
        }
        p.Print("P");
        pr.Print("PR");
        qrs.Print("QRS");
        qt.Print("QT");
        std::printf("  first-degree AV blocks with a PR over 200 ms: %d of %d\n", overTwoHundred,
                    avBlocks);
        EXPECT_GE(avBlocks, 6);
        // Three records where the detector and the cardiologists count the beats differently
        // (a beat the detector misses or the cardiologists left undrawn).
        EXPECT_LE(rateOff, 3);
        // Where the reference has a value, so do the measurements; a P wave may come and go in a
        // few irregular rhythms and wide complexes, more of them in noise.
        EXPECT_EQ(qrs.missed, 0);
        EXPECT_LE(qt.missed, reading == Reading::HeaderGains ? 4 : 0);
        EXPECT_LE(pr.missed + pr.extra, reading == Reading::Noisy ? 7 : 5);
        for (const auto& [what, t, mean, sd] :
             {std::tuple{"PR", &pr, 10.0, 10.0}, std::tuple{"QRS", &qrs, 10.0, 10.0},
              std::tuple{"QT", &qt, 25.0, 30.0}}) {
            EXPECT_LE(std::abs(t->d.Mean()), mean) << what;
            EXPECT_LE(t->d.Sd(), sd) << what;
        }
    }
}

// The same record at 409.6 Hz measures the same, within 5 ms.
TEST(IntervalValidation, LudbIntervalsDoNotDependOnTheRate) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    for (const char* name : {"1", "8", "10", "15"}) {
        CEcgSignal sig;
        ASSERT_TRUE(ReadLudb(root / "wfdb" / "ludb" / name, true, sig)) << name;
        const analysis::Measurements m = analysis::Measure(sig);
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
    const std::vector<std::filesystem::path> bases = LudbRecords(folder);
    ASSERT_GE(bases.size(), 50u) << folder;
    Stats qt;
    int measured = 0;
    bool saw109 = false;
    for (const auto& base : bases) {
        const std::string name = base.filename().string();
        CEcgSignal sig;
        ASSERT_TRUE(ReadLudb(base, true, sig)) << base;
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
