// QRS detection judged on the MIT-BIH Arrhythmia Database (PhysioNet) by the rules of ANSI/AAMI
// EC57: the database's beat annotations, a 150 ms match window, from minute 5 to the end.

#include "analysis/qrs_detector.h"
#include "support/wfdb.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

struct Score {
    long tp = 0, fn = 0, fp = 0;
    double Se() const { return tp + fn ? 100.0 * double(tp) / double(tp + fn) : 0; }
    double PPlus() const { return tp + fp ? 100.0 * double(tp) / double(tp + fp) : 0; }
};

// Beat-by-beat comparison from `from` on, outside the unreadable stretches: each reference beat
// matched by at most one detection.
Score Compare(const std::vector<long>& ref, const std::vector<size_t>& det, long from, long window,
              const std::vector<std::pair<long, long>>& unreadable) {
    const auto counted = [&](long t) {
        if (t < from)
            return false;
        for (const auto& [a, b] : unreadable)
            if (t >= a && t < b)
                return false;
        return true;
    };
    Score s;
    std::vector<bool> used(det.size(), false);
    size_t j = 0;
    for (const long r : ref) {
        while (j < det.size() && long(det[j]) < r - window)
            ++j;
        size_t best = det.size();
        for (size_t k = j; k < det.size() && long(det[k]) <= r + window; ++k)
            if (!used[k] &&
                (best == det.size() || std::abs(long(det[k]) - r) < std::abs(long(det[best]) - r)))
                best = k;
        if (!counted(r))
            continue;
        if (best < det.size()) {
            used[best] = true;
            ++s.tp;
        } else {
            ++s.fn;
        }
    }
    for (size_t k = 0; k < det.size(); ++k)
        s.fp += !used[k] && counted(long(det[k]));
    return s;
}

TEST(DetectionValidation, MitBihArrhythmiaRecordsMeetEc57) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    Score total;
    for (const char* name : {"100", "105", "203"}) {
        const auto base = root / "wfdb" / "mitdb" / name;
        CEcgSignal sig;
        ASSERT_TRUE(wfdb::ReadRecord(base, sig)) << base;
        std::vector<long> ref;
        const std::vector<wfdb::Annotation> anns = wfdb::ReadAnnotations(base.string() + ".atr");
        for (const wfdb::Annotation& a : anns)
            if (wfdb::IsBeat(a.code))
                ref.push_back(a.sample);
        const std::vector<size_t> det = analysis::DetectQrs(sig);
        const long from = long(5 * 60 * sig.dRate), window = long(0.150 * sig.dRate);
        const Score s = Compare(ref, det, from, window, wfdb::Unreadable(anns));
        std::printf("MIT-BIH %s: %ld beats, TP %ld FN %ld FP %ld, Se %.2f %% +P %.2f %%\n", name,
                    s.tp + s.fn, s.tp, s.fn, s.fp, s.Se(), s.PPlus());
        EXPECT_GE(s.Se(), 98.0) << name;
        EXPECT_GE(s.PPlus(), 98.0) << name;
        total.tp += s.tp, total.fn += s.fn, total.fp += s.fp;
    }
    std::printf("MIT-BIH gross: Se %.2f %% +P %.2f %%\n", total.Se(), total.PPlus());
    EXPECT_GE(total.Se(), 99.5);
    EXPECT_GE(total.PPlus(), 99.5);
}

} // namespace
