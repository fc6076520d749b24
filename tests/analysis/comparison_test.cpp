// The comparison of two records: simulated pairs whose truth is known, each change just inside
// and just outside its threshold, and real pairs of one patient in two rhythms (CPSC 2021).

#include "analysis/comparison.h"
#include "simulator/cardiograph_simulator.h"

#include "support/wfdb.h"

#include <cmath>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

using analysis::Comparison;
using analysis::RecordAnalysis;

const analysis::PatientFacts kMan50{true, 50};

// The simulated cardiograph's stored record, measured and interpreted as AnalyseRecord does.
RecordAnalysis Analyse(const CEcgSignal& s) {
    CEcgSignal cleaned;
    RecordAnalysis a;
    a.measurements = analysis::Measure(s, &cleaned);
    a.interpretation = analysis::Interpret(cleaned, a.measurements, kMan50);
    return a;
}

RecordAnalysis Simulated(const std::function<void(SimulatorOptions&)>& set, uint64_t seed = 1) {
    SimulatorOptions o;
    o.nSeed = seed;
    set(o);
    CCardiographSimulator sim(o);
    CEcgSignal s;
    s.dRate = CCardiographSimulator::kPointsPerSecond;
    for (int lane = 0; lane < kStandardLanes; ++lane) {
        s.names.emplace_back(LeadOfLane(lane)->m_szLabel);
        s.leads.emplace_back();
    }
    s.present.assign(kStandardLanes, true);
    for (const CCardiographSimulator::Lanes& point : sim.StoredRecord())
        for (int lane = 0; lane < kStandardLanes; ++lane)
            s.leads[size_t(lane)].push_back(float(point[size_t(lane)] * kMicrovoltsPerUnit));
    return Analyse(s);
}

std::string Codes(const Comparison& c) {
    std::string out;
    for (const analysis::Statement& s : c.changes)
        out += s.code + " ";
    return out;
}

double EvidenceOf(const analysis::Statement& s, const std::string& key) {
    for (const analysis::Evidence& e : s.evidence)
        if (e.key == key)
            return e.value;
    ADD_FAILURE() << s.code << " has no evidence " << key;
    return NAN;
}

#define EXPECT_SAYS(c, code) EXPECT_TRUE((c).Has(code)) << Codes(c)
#define EXPECT_NOT(c, code) EXPECT_FALSE((c).Has(code)) << Codes(c)

TEST(Comparison, SamePathologyTwiceIsNoChange) {
    // A second record of the same heart differs by its noise, its wander and (in fibrillation)
    // its RR intervals: none of that is a change.
    const std::function<void(SimulatorOptions&)> hearts[] = {
        [](SimulatorOptions&) {},
        [](SimulatorOptions& o) { o.pathology.rhythm = SimRhythm::AtrialFibrillation; },
        [](SimulatorOptions& o) { o.pathology.rhythm = SimRhythm::Paced; },
        [](SimulatorOptions& o) { o.pathology.conduction = SimConduction::Rbbb; },
        [](SimulatorOptions& o) {
            o.pathology.rhythm = SimRhythm::AvBlock1;
            o.pathology.dStElevationMv = 0.3;
        },
    };
    int n = 0;
    for (const auto& heart : hearts) {
        const Comparison c = analysis::CompareRecords(Simulated(heart, 1), Simulated(heart, 7));
        EXPECT_EQ(Codes(c), "NO_CHANGE ") << "heart " << n;
        const analysis::Statement* same = c.Find("NO_CHANGE");
        if (same) {
            EXPECT_EQ(same->text, "Без существенной динамики");
            EXPECT_EQ(same->textEn, "No significant change");
        }
        ASSERT_TRUE(c.Delta("heart_rate_bpm")) << "heart " << n;
        // Ten seconds of fibrillation hold too few of its random cycles for a steady mean.
        EXPECT_LE(std::abs(*c.Delta("heart_rate_bpm")), n == 1 ? 15 : 4) << "heart " << n;
        ASSERT_TRUE(c.Delta("qrs_ms")) << "heart " << n;
        EXPECT_LE(std::abs(*c.Delta("qrs_ms")), 8) << "heart " << n;
        ++n;
    }
    // Fibrillation has no P wave, so no PR to compare; pacing none either.
    const Comparison af =
        analysis::CompareRecords(Simulated(hearts[1], 1), Simulated(hearts[1], 7));
    EXPECT_FALSE(af.Delta("pr_ms"));
    EXPECT_FALSE(af.Delta("axis_p_deg"));
}

TEST(Comparison, QrsWideningAtTwentyMilliseconds) {
    const auto qrs = [](double ms) {
        return Simulated([ms](SimulatorOptions& o) { o.pathology.dQrsMs = ms; });
    };
    // Simulated 90, 106 and 114 ms are measured about 95, 110 and 120 ms: 4 ms short of the
    // threshold and 4 ms beyond it in truth, a sample or two of the measurement's scatter.
    const RecordAnalysis before = qrs(90);
    const Comparison near = analysis::CompareRecords(before, qrs(106));
    EXPECT_NOT(near, "QRS_WIDER");
    EXPECT_SAYS(near, "NO_CHANGE");
    const Comparison wider = analysis::CompareRecords(before, qrs(114));
    ASSERT_TRUE(wider.Has("QRS_WIDER")) << Codes(wider);
    const analysis::Statement& s = *wider.Find("QRS_WIDER");
    const double delta = *wider.Delta("qrs_ms");
    EXPECT_GE(delta, 20);
    EXPECT_EQ(EvidenceOf(s, "delta_qrs_ms"), delta);
    const std::string figures = std::to_string(int(EvidenceOf(s, "previous_qrs_ms"))) + " → " +
                                std::to_string(int(EvidenceOf(s, "current_qrs_ms"))) + " мс)";
    EXPECT_EQ(s.text, "QRS расширился на " + std::to_string(int(delta)) + " мс (" + figures)
        << s.text;
    EXPECT_EQ(s.textEn.rfind("QRS widened by " + std::to_string(int(delta)) + " ms (", 0), 0u)
        << s.textEn;
    // Narrower is no statement.
    EXPECT_NOT(analysis::CompareRecords(qrs(114), before), "QRS_WIDER");
}

TEST(Comparison, QtcLongerBySixtyAndOverFiveHundred) {
    const auto qtc = [](double ms) {
        return Simulated([ms](SimulatorOptions& o) { o.pathology.dQtcMs = ms; });
    };
    const RecordAnalysis base = qtc(400);
    // The QTc is measured some 10 ms over the simulated one in both records.
    EXPECT_NOT(analysis::CompareRecords(base, qtc(452)), "QTC_LONGER");
    const Comparison longer = analysis::CompareRecords(base, qtc(470));
    EXPECT_SAYS(longer, "QTC_LONGER");
    EXPECT_NOT(longer, "QTC_OVER_500");
    if (const analysis::Statement* s = longer.Find("QTC_LONGER")) {
        EXPECT_EQ(s->text.rfind("QTc удлинился на ", 0), 0u) << s->text;
    }
    // Across 500 ms by less than 60: only the crossing is said; staying over it is nothing new.
    const Comparison over = analysis::CompareRecords(qtc(470), qtc(525));
    EXPECT_SAYS(over, "QTC_OVER_500");
    EXPECT_NOT(over, "QTC_LONGER");
    EXPECT_NOT(analysis::CompareRecords(qtc(455), qtc(480)), "QTC_OVER_500");
    EXPECT_NOT(analysis::CompareRecords(qtc(515), qtc(530)), "QTC_OVER_500");
    // A faster rate alone shortens the QT; at 110/min both are corrected by Fridericia.
    const Comparison fast = analysis::CompareRecords(base, Simulated([](SimulatorOptions& o) {
                                                         o.pathology.dQtcMs = 400;
                                                         o.nHeartRate = 110;
                                                     }));
    EXPECT_NOT(fast, "QTC_LONGER");
    EXPECT_SAYS(fast, "HR_CHANGE");
}

TEST(Comparison, AxisShiftOfThirtyDegreesWrappedAroundTheCircle) {
    const auto axis = [](double deg) {
        return Simulated([deg](SimulatorOptions& o) {
            o.pathology.bAxis = true;
            o.pathology.dAxisDeg = deg;
        });
    };
    const RecordAnalysis base = axis(60);
    EXPECT_NOT(analysis::CompareRecords(base, axis(34)), "AXIS_SHIFT");
    const Comparison left = analysis::CompareRecords(base, axis(26));
    ASSERT_TRUE(left.Has("AXIS_SHIFT")) << Codes(left);
    EXPECT_LE(*left.Delta("axis_qrs_deg"), -30);
    EXPECT_NE(left.Find("AXIS_SHIFT")->text.find("влево"), std::string::npos);
    const Comparison right = analysis::CompareRecords(base, axis(94));
    ASSERT_TRUE(right.Has("AXIS_SHIFT")) << Codes(right);
    EXPECT_NE(right.Find("AXIS_SHIFT")->textEn.find("rightward"), std::string::npos);
    // +170° and -170° lie 20° apart, not 340°.
    const Comparison across = analysis::CompareRecords(axis(170), axis(-170));
    ASSERT_TRUE(across.Delta("axis_qrs_deg"));
    EXPECT_NEAR(*across.Delta("axis_qrs_deg"), 20, 10);
    EXPECT_NOT(across, "AXIS_SHIFT");
}

TEST(Comparison, HeartRateChangeOfTwentyEitherWay) {
    const auto rate = [](int bpm) {
        return Simulated([bpm](SimulatorOptions& o) { o.nHeartRate = bpm; });
    };
    const RecordAnalysis base = rate(70);
    EXPECT_NOT(analysis::CompareRecords(base, rate(87)), "HR_CHANGE");
    const Comparison up = analysis::CompareRecords(base, rate(92));
    ASSERT_TRUE(up.Has("HR_CHANGE")) << Codes(up);
    EXPECT_EQ(up.Find("HR_CHANGE")->text.rfind("ЧСС увеличилась на ", 0), 0u);
    const Comparison down = analysis::CompareRecords(rate(92), base);
    ASSERT_TRUE(down.Has("HR_CHANGE")) << Codes(down);
    EXPECT_EQ(down.Find("HR_CHANGE")->text.rfind("ЧСС уменьшилась на ", 0), 0u);
    EXPECT_EQ(*down.Delta("heart_rate_bpm"), -*up.Delta("heart_rate_bpm"));
}

// The limits themselves, on measured values set by hand: each change is said at its limit and
// not one unit short of it, either way (the simulated pairs above land a few units either side,
// as the measurement scatters).
TEST(Comparison, EachLimitIsSaidAtItsValueAndNotOneUnitShortOfIt) {
    struct Values {
        double rate = 70, qrs = 90, qtc = 420, axis = 60;
    };
    const auto made = [](const Values& v) {
        RecordAnalysis a;
        analysis::Measurements& m = a.measurements;
        m.beats.assign(12, 0);
        m.beatClasses.assign(12, analysis::BeatClass::Normal);
        m.heartRateBpm = v.rate;
        m.qtcRrMs = 60000.0 / 70; // Bazett's rate: both QTc alike
        m.qrsMs = v.qrs;
        m.qtcBazettMs = v.qtc;
        m.qtcFridericiaMs = v.qtc;
        m.axisQrsDeg = v.axis;
        return a;
    };
    const Values base;
    EXPECT_EQ(Codes(analysis::CompareRecords(made(base), made(base))), "NO_CHANGE ");
    const auto with = [&](double Values::*field, double value) {
        Values v = base;
        v.*field = value;
        return v;
    };
    struct Limit {
        const char* code;
        Values from, at, shortOf;
    };
    const Limit limits[] = {
        {"HR_CHANGE", base, with(&Values::rate, 90), with(&Values::rate, 89)},
        {"HR_CHANGE", base, with(&Values::rate, 50), with(&Values::rate, 51)},
        {"QRS_WIDER", base, with(&Values::qrs, 110), with(&Values::qrs, 109)},
        {"QTC_LONGER", base, with(&Values::qtc, 480), with(&Values::qtc, 479)},
        {"QTC_OVER_500", with(&Values::qtc, 470), with(&Values::qtc, 500), with(&Values::qtc, 499)},
        {"AXIS_SHIFT", base, with(&Values::axis, 90), with(&Values::axis, 89)},
        {"AXIS_SHIFT", base, with(&Values::axis, 30), with(&Values::axis, 31)},
        // Across -180/+180: 170 to -160 is 30 degrees.
        {"AXIS_SHIFT", with(&Values::axis, 170), with(&Values::axis, -160),
         with(&Values::axis, -161)},
    };
    for (const Limit& l : limits) {
        const Comparison at = analysis::CompareRecords(made(l.from), made(l.at));
        const Comparison shortOf = analysis::CompareRecords(made(l.from), made(l.shortOf));
        EXPECT_EQ(Codes(at), std::string(l.code) + " ") << "at the limit";
        EXPECT_EQ(Codes(shortOf), "NO_CHANGE ") << l.code << " one unit short of its limit";
    }
}

TEST(Comparison, RhythmAndConductionNewAndResolved) {
    const auto with = [](SimRhythm r, SimConduction c = SimConduction::Normal) {
        return Simulated([=](SimulatorOptions& o) {
            o.pathology.rhythm = r;
            o.pathology.conduction = c;
        });
    };
    const RecordAnalysis sinus = with(SimRhythm::Sinus);
    const RecordAnalysis af = with(SimRhythm::AtrialFibrillation);
    const Comparison toAf = analysis::CompareRecords(sinus, af);
    EXPECT_SAYS(toAf, "NEW_AFIB");
    EXPECT_NOT(toAf, "NO_CHANGE");
    EXPECT_FALSE(toAf.Delta("pr_ms")) << "no PR in fibrillation";
    EXPECT_EQ(toAf.Find("NEW_AFIB")->text, "Появилась фибрилляция предсердий");
    const Comparison fromAf = analysis::CompareRecords(af, sinus);
    EXPECT_SAYS(fromAf, "RESOLVED_AFIB");
    EXPECT_NOT(fromAf, "NEW_AFIB");
    EXPECT_SAYS(analysis::CompareRecords(sinus, with(SimRhythm::Flutter)), "NEW_AFLT");
    EXPECT_SAYS(analysis::CompareRecords(with(SimRhythm::Flutter), sinus), "RESOLVED_AFLT");

    // AV block: new at a higher degree, with the current record's figures.
    const Comparison first = analysis::CompareRecords(sinus, with(SimRhythm::AvBlock1));
    ASSERT_TRUE(first.Has("NEW_1AVB")) << Codes(first);
    EXPECT_EQ(first.Find("NEW_1AVB")->text.rfind("Появилась АВ-блокада I степени (PR 2", 0), 0u)
        << first.Find("NEW_1AVB")->text;
    EXPECT_GT(EvidenceOf(*first.Find("NEW_1AVB"), "pr_ms"), 200);
    EXPECT_SAYS(analysis::CompareRecords(with(SimRhythm::AvBlock1), with(SimRhythm::AvBlock2)),
                "NEW_2AVB");
    EXPECT_SAYS(analysis::CompareRecords(sinus, with(SimRhythm::AvBlock3)), "NEW_3AVB");
    const Comparison better = analysis::CompareRecords(with(SimRhythm::AvBlock1), sinus);
    for (const char* code : {"NEW_1AVB", "NEW_2AVB", "NEW_3AVB"})
        EXPECT_NOT(better, code);
    // Fibrillation before: its AV conduction could not be seen, so a first-degree block now is
    // not new.
    EXPECT_NOT(analysis::CompareRecords(af, with(SimRhythm::AvBlock1)), "NEW_1AVB");

    // Complete bundle branch blocks and the fascicular block.
    const Comparison rbbb =
        analysis::CompareRecords(sinus, with(SimRhythm::Sinus, SimConduction::Rbbb));
    EXPECT_SAYS(rbbb, "NEW_CRBBB");
    EXPECT_SAYS(rbbb, "QRS_WIDER");
    EXPECT_NOT(rbbb, "NEW_CLBBB");
    EXPECT_SAYS(analysis::CompareRecords(sinus, with(SimRhythm::Sinus, SimConduction::Lbbb)),
                "NEW_CLBBB");
    EXPECT_SAYS(analysis::CompareRecords(sinus, with(SimRhythm::Sinus, SimConduction::Lafb)),
                "NEW_LAFB");
    EXPECT_NOT(analysis::CompareRecords(with(SimRhythm::Sinus, SimConduction::Rbbb), sinus),
               "NEW_CRBBB");
    // An incomplete block grown into a complete one is new.
    const Comparison grown = analysis::CompareRecords(Simulated([](SimulatorOptions& o) {
                                                          o.pathology.conduction =
                                                              SimConduction::Rbbb;
                                                          o.pathology.dQrsMs = 114;
                                                      }),
                                                      with(SimRhythm::Sinus, SimConduction::Rbbb));
    EXPECT_SAYS(grown, "NEW_CRBBB");
}

TEST(Comparison, PacingExplainsTheQrsItMakes) {
    const RecordAnalysis sinus = Simulated([](SimulatorOptions&) {});
    const RecordAnalysis paced =
        Simulated([](SimulatorOptions& o) { o.pathology.rhythm = SimRhythm::Paced; });
    const Comparison c = analysis::CompareRecords(sinus, paced);
    EXPECT_SAYS(c, "NEW_PACE");
    // The pacemaker's QRS is wide, LBBB-like and turns the axis: none of that is said apart.
    for (const char* code : {"QRS_WIDER", "AXIS_SHIFT", "NEW_CLBBB", "QTC_LONGER", "QTC_OVER_500"})
        EXPECT_NOT(c, code);
    EXPECT_FALSE(c.Delta("pr_ms"));
    EXPECT_SAYS(analysis::CompareRecords(paced, sinus), "RESOLVED_PACE");
}

TEST(Comparison, NewStElevationAndTheProposalsOfTheCurrentRecord) {
    const RecordAnalysis before = Simulated([](SimulatorOptions&) {});
    const RecordAnalysis now =
        Simulated([](SimulatorOptions& o) { o.pathology.dStElevationMv = 0.3; });
    const Comparison c = analysis::CompareRecords(before, now);
    ASSERT_TRUE(c.Has("NEW_STE")) << Codes(c);
    EXPECT_NE(c.Find("NEW_STE")->text.find("возможен острый инфаркт миокарда (V"),
              std::string::npos)
        << c.Find("NEW_STE")->text;
    EXPECT_GE(EvidenceOf(*c.Find("NEW_STE"), "st_elevation_max_mv"), 0.2);
    EXPECT_NOT(analysis::CompareRecords(now, before), "NEW_STE");

    // The doctor confirms the record's own statements and the changes as one list.
    const std::vector<analysis::Statement> all =
        analysis::ProposedStatements(now.interpretation, c);
    ASSERT_EQ(all.size(), now.interpretation.statements.size() + c.changes.size());
    EXPECT_EQ(all.front().code, now.interpretation.statements.front().code);
    EXPECT_EQ(all.back().code, c.changes.back().code);
    for (const analysis::Statement& s : c.changes)
        EXPECT_NE(analysis::ChangeKindOf(s.code), nullptr) << s.code;
}

TEST(Comparison, NothingMeasuredIsNoComparisonNotNoChange) {
    CEcgSignal flat;
    flat.dRate = 409.6;
    for (int lane = 0; lane < kStandardLanes; ++lane)
        flat.names.emplace_back(LeadOfLane(lane)->m_szLabel);
    flat.leads.assign(kStandardLanes, std::vector<float>(4096, 0.0f));
    flat.present.assign(kStandardLanes, true);
    const Comparison c =
        analysis::CompareRecords(Analyse(flat), Simulated([](SimulatorOptions&) {}));
    EXPECT_TRUE(c.changes.empty()) << Codes(c);
    ASSERT_EQ(c.notes.size(), 1u);
    EXPECT_NE(c.notes[0].find("предыдущей"), std::string::npos) << c.notes[0];
    EXPECT_FALSE(c.Delta("heart_rate_bpm"));
}

// The rhythm annotations of a CPSC 2021 file: each "(AFIB" or "(N" with its sample (the text of
// an AUX word belongs to the annotation before it).
std::vector<std::pair<long, std::string>> Rhythms(const std::filesystem::path& atr) {
    std::ifstream f(atr, std::ios::binary);
    const std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), {});
    std::vector<std::pair<long, std::string>> out;
    long t = 0;
    for (size_t i = 0; i + 1 < b.size();) {
        const int word = b[i] | b[i + 1] << 8;
        i += 2;
        const int code = word >> 10, value = word & 0x3FF;
        if (code == 0 && value == 0)
            break;
        if (code == 59) {
            if (i + 3 >= b.size())
                break;
            t += long(uint32_t((b[i] | b[i + 1] << 8) << 16 | (b[i + 2] | b[i + 3] << 8)));
            i += 4;
        } else if (code == 63) {
            std::string text(b.begin() + long(i),
                             b.begin() + long(std::min(i + size_t(value), b.size())));
            text = text.substr(0, text.find('\0'));
            if (!text.empty() && text[0] == '(')
                out.emplace_back(t, text);
            i += size_t(value + (value & 1));
        } else if (code < 59) {
            t += value;
        }
    }
    return out;
}

// Ten seconds of a two-lead record from `from`. Of I and II the other limb leads are derived as
// the record layer derives them; MLII is lead II.
CEcgSignal Excerpt(const CEcgSignal& whole, long from) {
    CEcgSignal s;
    s.dRate = whole.dRate;
    const auto n = long(10 * whole.dRate);
    for (size_t l = 0; l < 2; ++l) {
        s.names.push_back(whole.names[l] == "MLII" ? "II" : whole.names[l]);
        s.leads.emplace_back(whole.leads[l].begin() + from, whole.leads[l].begin() + from + n);
    }
    if (s.names[0] == "I" && s.names[1] == "II") {
        const std::vector<float>&i = s.leads[0], &ii = s.leads[1];
        std::vector<float> iii(i.size()), avr(i.size()), avl(i.size()), avf(i.size());
        for (size_t k = 0; k < i.size(); ++k) {
            iii[k] = ii[k] - i[k];
            avr[k] = -(i[k] + ii[k]) / 2;
            avl[k] = i[k] - ii[k] / 2;
            avf[k] = ii[k] - i[k] / 2;
        }
        s.names.insert(s.names.end(), {"III", "aVR", "aVL", "aVF"});
        s.leads.insert(s.leads.end(), {iii, avr, avl, avf});
    }
    s.present.assign(s.leads.size(), true);
    return s;
}

TEST(Comparison, OnePatientInFibrillationAndOutOfIt) {
    const std::filesystem::path root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    // A CPSC 2021 excerpt of paroxysmal fibrillation (I and II at 200 Hz) and MIT-BIH 201 (MLII
    // and V1 at 360 Hz), each holding both rhythms.
    int pairs = 0;
    for (const char* name : {"cpsc2021/data_101_8", "mitdb/201"}) {
        const std::filesystem::path base = root / "wfdb" / name;
        CEcgSignal whole;
        ASSERT_TRUE(wfdb::ReadRecord(base, whole)) << base;
        ASSERT_EQ(whole.leads.size(), 2u);
        // The middle ten seconds of the first fibrillation episode and of the first stretch of
        // sinus rhythm after it long enough.
        const auto rhythms = Rhythms(base.string() + ".atr");
        const long total = long(whole.leads[0].size()), ten = long(10 * whole.dRate);
        const long margin = ten + 2 * long(whole.dRate);
        long afFrom = -1, afTo = -1, nFrom = -1, nTo = -1;
        for (size_t k = 0; k < rhythms.size(); ++k) {
            const long end = k + 1 < rhythms.size() ? rhythms[k + 1].first : total;
            if (rhythms[k].second == "(AFIB" && afFrom < 0) {
                afFrom = rhythms[k].first;
                afTo = end;
            } else if (rhythms[k].second == "(N" && afFrom >= 0 && nFrom < 0 &&
                       end - rhythms[k].first >= margin) {
                nFrom = rhythms[k].first;
                nTo = end;
            }
        }
        ASSERT_TRUE(afTo - afFrom >= margin && nTo - nFrom >= margin)
            << name << ": no ten seconds of each rhythm";
        const RecordAnalysis af = Analyse(Excerpt(whole, (afFrom + afTo - ten) / 2));
        const RecordAnalysis sinus = Analyse(Excerpt(whole, (nFrom + nTo - ten) / 2));
        const Comparison onset = analysis::CompareRecords(sinus, af);
        EXPECT_SAYS(onset, "NEW_AFIB") << name;
        EXPECT_NOT(onset, "RESOLVED_AFIB") << name;
        EXPECT_FALSE(onset.Delta("pr_ms")) << name;
        const Comparison end = analysis::CompareRecords(af, sinus);
        EXPECT_SAYS(end, "RESOLVED_AFIB") << name;
        EXPECT_NOT(end, "NEW_AFIB") << name;
        ++pairs;
    }
    EXPECT_EQ(pairs, 2);
}

} // namespace
