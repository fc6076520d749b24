// The interpretation judged against cardiologists' diagnoses: every Lobachevsky University
// Database record (PhysioNet) in the shared folder, its diagnoses read from its header.

#include "analysis/interpretation.h"

#include "support/wfdb.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

namespace {

struct LudbRecord {
    std::string name;
    CEcgSignal signal;
    analysis::PatientFacts patient;
    std::set<std::string> truth; // our codes for the cardiologists' diagnoses
    std::string axis;            // their axis class as our code, or empty
};

// The diagnoses we compare, as the header's '#' lines word them.
const std::pair<const char*, const char*> kDiagnoses[] = {
    {"Rhythm: Sinus rhythm", "SR"},
    {"Rhythm: Sinus bradycardia", "SBRAD"},
    {"Rhythm: Sinus tachycardia", "STACH"},
    {"Rhythm: Sinus arrhythmia", "SARRH"},
    {"Rhythm: Atrial fibrillation", "AFIB"},
    {"Rhythm: Atrial flutter", "AFLT"},
    {"pacing", "PACE"},
    {"Complete right bundle branch block", "CRBBB"},
    {"Incomplete right bundle branch block", "IRBBB"},
    {"Complete left bundle branch block", "CLBBB"},
    {"Incomplete left bundle branch block", "ILBBB"},
    {"Left anterior hemiblock", "LAFB"},
    {"intravintricular conduction delay", "IVCD"},
    {"I degree AV block", "1AVB"},
    {"III degree AV-block", "3AVB"},
    {"Ventricular extrasystole", "PVC"},
    {"Atrial extrasystole", "PAC"},
    {"Left ventricular hypertrophy", "LVH"},
    {"STEMI", "STE"},
    {"Electric axis of the heart: normal", "AXN"},
    {"Electric axis of the heart: left axis deviation", "AXL"},
    {"Electric axis of the heart: right axis deviation", "AXR"},
    {"Electric axis of the heart: vertical", "AXV"},
    {"Electric axis of the heart: horizontal", "AXH"},
};

// LUDB's samples are microvolts; its header gains scale each lead to 1 mV peak to peak, which
// would make every lead as large as every other. The samples obey Einthoven's law (III = II - I)
// only at one gain for all leads, which the test checks before it reads them so.
bool ReadLudb(const std::filesystem::path& base, LudbRecord& r) {
    if (!wfdb::ReadRecord(base, r.signal))
        return false;
    std::ifstream hea(base.string() + ".hea");
    std::string line;
    std::getline(hea, line);
    for (size_t l = 0; l < r.signal.leads.size() && std::getline(hea, line); ++l) {
        std::istringstream in(line);
        std::string file, format, gain;
        in >> file >> format >> gain;
        const double g = std::atof(gain.c_str());
        for (float& v : r.signal.leads[l])
            v = float(v * g / 1000.0);
    }
    while (std::getline(hea, line)) {
        if (line.rfind("#<age>:", 0) == 0 && std::atoi(line.c_str() + 7) > 0)
            r.patient.ageYears = std::atoi(line.c_str() + 7);
        if (line.rfind("#<sex>:", 0) == 0)
            r.patient.male = line.find('M') != std::string::npos;
        for (const auto& [words, code] : kDiagnoses)
            if (line.find(words) != std::string::npos) {
                r.truth.insert(code);
                if (std::string(code).rfind("AX", 0) == 0)
                    r.axis = code;
            }
    }
    return true;
}

double EinthovenResidue(const CEcgSignal& s) {
    // Each lead's zero lies apart: the mean of the difference is no disagreement of scale.
    double mean = 0;
    for (size_t i = 0; i < s.Length(); ++i)
        mean += s.leads[1][i] - s.leads[0][i] - s.leads[2][i];
    mean /= double(std::max<size_t>(1, s.Length()));
    double res = 0, all = 0;
    for (size_t i = 0; i < s.Length(); ++i) {
        const double d = s.leads[1][i] - s.leads[0][i] - s.leads[2][i] - mean;
        res += d * d;
        all += double(s.leads[0][i]) * s.leads[0][i];
    }
    return all > 0 ? std::sqrt(res / all) : 1.0;
}

struct Tally {
    int with = 0, found = 0, others = 0, falses = 0;
    double Sensitivity() const { return with ? 100.0 * found / with : 100.0; }
    double FalseRate() const { return others ? 100.0 * falses / others : 0.0; }
};

TEST(InterpretationValidation, LudbDiagnosesAgreeWithTheCardiologists) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const std::vector<std::filesystem::path> bases = wfdb::RecordsIn(root / "wfdb" / "ludb");
    ASSERT_GE(bases.size(), 50u);

    // Each class: its own codes, and the codes that count as finding it.
    const std::map<std::string, std::set<std::string>> classes = {
        {"AF/flutter", {"AFIB", "AFLT"}},
        {"paced", {"PACE"}},
        {"CRBBB", {"CRBBB"}},
        {"CLBBB", {"CLBBB"}},
        {"complete BBB", {"CRBBB", "CLBBB"}},
        {"IRBBB", {"IRBBB"}},
        {"ILBBB", {"ILBBB"}},
        {"LAFB", {"LAFB"}},
        {"IVCD", {"IVCD"}},
        {"1AVB", {"1AVB"}},
        {"3AVB", {"3AVB"}},
        {"PVC", {"PVC"}},
        {"PAC", {"PAC"}},
        {"SARRH", {"SARRH"}},
        {"LVH", {"LVH"}},
        {"STE", {"STE"}}};
    std::map<std::string, Tally> tally;
    int sinus = 0, rateAgrees = 0, axes = 0, axisAgrees = 0;
    double worstEinthoven = 0;
    for (const auto& base : bases) {
        LudbRecord r;
        ASSERT_TRUE(ReadLudb(base, r)) << base;
        r.name = base.filename().string();
        worstEinthoven = std::max(worstEinthoven, EinthovenResidue(r.signal));
        CEcgSignal cleaned;
        const analysis::Measurements m = analysis::Measure(r.signal, &cleaned);
        const analysis::Interpretation in = analysis::Interpret(cleaned, m, r.patient);
        std::string said;
        for (const analysis::Statement& s : in.statements)
            said += s.code + " ";
        std::string truth;
        for (const std::string& t : r.truth)
            truth += t + " ";
        const auto v = [](const std::optional<double>& x) { return x ? *x : NAN; };
        std::printf("LUDB %-4s %3.0f/min PR %3.0f QRS %3.0f axis %4.0f  truth: %-30s said: %s\n",
                    r.name.c_str(), v(m.heartRateBpm), v(m.prMs), v(m.qrsMs), v(m.axisQrsDeg),
                    truth.c_str(), said.c_str());
        for (const auto& [name, codes] : classes) {
            const bool has = std::any_of(codes.begin(), codes.end(),
                                         [&](const std::string& c) { return r.truth.count(c); });
            const bool found = std::any_of(codes.begin(), codes.end(),
                                           [&](const std::string& c) { return in.Has(c); });
            Tally& t = tally[name];
            (has ? t.with : t.others) += 1;
            (has ? t.found : t.falses) += found ? 1 : 0;
        }
        // The rate class among the sinus records (sinus arrhythmia names no rate).
        for (const char* rate : {"SR", "SBRAD", "STACH"})
            if (r.truth.count(rate) && !r.truth.count("PACE")) {
                ++sinus;
                rateAgrees += in.Has(rate);
            }
        if (!r.axis.empty() && !r.truth.count("PACE")) {
            ++axes;
            axisAgrees += in.Has(r.axis);
        }
    }
    std::printf("\n%-14s %8s %6s %6s %6s  %s\n", "class", "records", "found", "missed", "false",
                "of the others");
    for (const auto& [name, t] : tally)
        std::printf("%-14s %8d %6d %6d %6d  %5.1f %% of %d\n", name.c_str(), t.with, t.found,
                    t.with - t.found, t.falses, t.FalseRate(), t.others);
    const double rateShare = sinus ? 100.0 * rateAgrees / sinus : 0;
    const double axisShare = axes ? 100.0 * axisAgrees / axes : 0;
    std::printf("sinus rate class agrees on %d of %d (%.1f %%); axis class on %d of %d (%.1f %%)\n",
                rateAgrees, sinus, rateShare, axisAgrees, axes, axisShare);
    std::printf("Einthoven's law at one gain for all leads: residue at most %.4f of lead I\n",
                worstEinthoven);

    EXPECT_LT(worstEinthoven, 0.01) << "the samples are not on one scale";
    EXPECT_LE(tally["AF/flutter"].FalseRate(), 2.0);
    EXPECT_LE(tally["CRBBB"].with - tally["CRBBB"].found, 1);
    EXPECT_LE(tally["CLBBB"].with - tally["CLBBB"].found, 1);
    EXPECT_LE(tally["complete BBB"].FalseRate(), 6.0);
    EXPECT_LE(tally["1AVB"].FalseRate(), 10.0);
    EXPECT_GE(tally["paced"].Sensitivity(), 80.0);
    EXPECT_LE(tally["paced"].FalseRate(), 3.0);
    EXPECT_GE(tally["AF/flutter"].Sensitivity(), 80.0);
    EXPECT_GE(axisShare, 60.0);
    EXPECT_GE(rateShare, 85.0);
    // Still short of where it must come: first-degree AV block in 75 %.
    std::printf("goal: 1AVB %.0f %% (75)\n", tally["1AVB"].Sensitivity());
}

} // namespace
