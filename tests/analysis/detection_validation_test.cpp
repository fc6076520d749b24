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

// The signal's frames [first, first + count) as a piece, never more than `most` at once.
analysis::SignalPieceReader PiecesOf(const CEcgSignal& s, size_t most, size_t& reads) {
    return [&s, most, &reads](size_t first, size_t count, CEcgSignal& out, std::string* error) {
        ++reads;
        if (count > most || first + count > s.Length()) {
            *error = "a piece larger than a window";
            return false;
        }
        out = s;
        for (std::vector<float>& lead : out.leads)
            lead =
                std::vector<float>(lead.begin() + long(first), lead.begin() + long(first + count));
        return true;
    };
}

// Detection a window at a time: a 30-minute record fits one window and gives DetectQrs's beats
// exactly; cut into 5-minute windows it gives the same beats but for a few near the seams, and
// still meets EC57; what does not fit a window, a failed read and a stopped caller end it.
TEST(DetectionValidation, WindowedDetectionGivesTheWholeSignalsBeats) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    for (const char* name : {"100", "105", "203"}) {
        const auto base = root / "wfdb" / "mitdb" / name;
        CEcgSignal sig;
        ASSERT_TRUE(wfdb::ReadRecord(base, sig)) << base;
        const std::vector<size_t> whole = analysis::DetectQrs(sig);
        const size_t leads = sig.leads.size();
        std::string error;
        size_t reads = 0;
        std::vector<size_t> one;
        ASSERT_TRUE(analysis::DetectQrsInWindows(
            sig.Length(), leads, sig.dRate,
            PiecesOf(sig, analysis::DetectionWindowFrames(leads), reads),
            [&](size_t b) { return one.push_back(b), true; }, &error))
            << error;
        EXPECT_EQ(reads, 1u) << name;
        EXPECT_EQ(one, whole) << name << ": one window is DetectQrs";

        const size_t five = size_t(300 * sig.dRate);
        const size_t bytes = five * (12 * leads + 64);
        ASSERT_EQ(analysis::DetectionWindowFrames(leads, bytes), five);
        std::vector<size_t> pieces;
        reads = 0;
        ASSERT_TRUE(analysis::DetectQrsInWindows(
            sig.Length(), leads, sig.dRate, PiecesOf(sig, five, reads),
            [&](size_t b) { return pieces.push_back(b), true; }, &error, bytes))
            << error;
        EXPECT_GE(reads, 7u) << name;
        EXPECT_TRUE(std::is_sorted(pieces.begin(), pieces.end()));
        // The same beat may move by a few milliseconds, and a doubtful one come or go: each
        // window scales a lead's slope energy by that lead's own level within it.
        const Score same = Compare(std::vector<long>(whole.begin(), whole.end()), pieces, 0,
                                   long(0.010 * sig.dRate), {});
        std::printf("MIT-BIH %s in 5-minute windows: %ld of %zu beats missing, %ld added\n", name,
                    same.fn, whole.size(), same.fp);
        EXPECT_LE(same.fn + same.fp, long(whole.size() / 50)) << name;
        std::vector<long> ref;
        const std::vector<wfdb::Annotation> anns = wfdb::ReadAnnotations(base.string() + ".atr");
        for (const wfdb::Annotation& a : anns)
            if (wfdb::IsBeat(a.code))
                ref.push_back(a.sample);
        const Score s = Compare(ref, pieces, long(5 * 60 * sig.dRate), long(0.150 * sig.dRate),
                                wfdb::Unreadable(anns));
        const Score w = Compare(ref, whole, long(5 * 60 * sig.dRate), long(0.150 * sig.dRate),
                                wfdb::Unreadable(anns));
        std::printf("  against the annotations: Se %.2f %% +P %.2f %% (whole signal %.2f %% "
                    "%.2f %%)\n",
                    s.Se(), s.PPlus(), w.Se(), w.PPlus());
        EXPECT_GE(s.Se(), w.Se() - 0.3) << name;
        EXPECT_GE(s.PPlus(), w.PPlus() - 0.3) << name;
    }

    // Sixty-four leads at 10 kHz: 80 s of them do not fit 96 MB; refused before any read.
    std::string error;
    size_t reads = 0;
    CEcgSignal none;
    EXPECT_FALSE(analysis::DetectQrsInWindows(
        size_t(1) << 30, 64, 10000, PiecesOf(none, 0, reads), [](size_t) { return true; }, &error));
    EXPECT_EQ(reads, 0u);
    EXPECT_NE(error.find("64 signals at 10000 Hz"), std::string::npos) << error;
    // A read that fails, and a caller that stops, end the detection with false.
    const analysis::SignalPieceReader failing = [](size_t, size_t, CEcgSignal&, std::string* e) {
        *e = "disk gone";
        return false;
    };
    EXPECT_FALSE(analysis::DetectQrsInWindows(
        10000000, 2, 360, failing, [](size_t) { return true; }, &error));
    EXPECT_EQ(error, "disk gone");
}

} // namespace
