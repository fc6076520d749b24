// Each statement of the interpretation on simulated records whose truth is known: just inside
// its threshold it is made, just outside it is not.

#include "analysis/interpretation.h"
#include "analysis/pacing.h"
#include "simulator/cardiograph_simulator.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace {

using analysis::Interpretation;
using analysis::PatientFacts;

const PatientFacts kMan50{true, 50};

// The simulated cardiograph's stored record as a signal, measured and interpreted; *truth
// gets what the simulator made.
Interpretation Read(const std::function<void(SimulatorOptions&)>& set,
                    const PatientFacts& patient = kMan50,
                    const analysis::InterpretationSettings& settings = {},
                    SimulatorTruth* truth = nullptr) {
    SimulatorOptions o;
    set(o);
    CCardiographSimulator sim(o);
    if (truth)
        *truth = sim.Truth();
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
    CEcgSignal cleaned;
    const analysis::Measurements m = analysis::Measure(s, &cleaned);
    return analysis::Interpret(cleaned, m, patient, settings);
}

std::string Codes(const Interpretation& in) {
    std::string out;
    for (const analysis::Statement& s : in.statements)
        out += s.code + " ";
    return out;
}

#define EXPECT_SAYS(in, code) EXPECT_TRUE((in).Has(code)) << Codes(in)
#define EXPECT_NOT(in, code) EXPECT_FALSE((in).Has(code)) << Codes(in)

TEST(Interpretation, TheRhythmAndItsRateAgainstTheLimitsOfEitherPractice) {
    const Interpretation normal = Read([](SimulatorOptions&) {});
    EXPECT_EQ(Codes(normal), "SR AXN NORM ");
    const analysis::Statement* sr = normal.Find("SR");
    ASSERT_NE(sr, nullptr);
    EXPECT_EQ(sr->text.rfind("Синусовый ритм (7", 0), 0u) << sr->text;
    EXPECT_EQ(sr->textEn.rfind("Sinus rhythm (7", 0), 0u) << sr->textEn;
    ASSERT_EQ(sr->evidence.size(), 1u);
    EXPECT_EQ(sr->evidence[0].key, "heart_rate_bpm");
    EXPECT_NEAR(sr->evidence[0].value, 72, 2);
    EXPECT_TRUE(normal.notes.empty()) << "sex and age were given";

    const auto at = [](int rate, analysis::RatePractice practice = {}) {
        return Read([rate](SimulatorOptions& o) { o.nHeartRate = rate; }, kMan50,
                    analysis::InterpretationSettings{practice});
    };
    // The simulated sinus node varies its cycle by 4 % with breathing: at 59/min its faster
    // cycles reach 61/min, a normal rate; at 56/min none does.
    EXPECT_SAYS(at(56), "SBRAD");
    EXPECT_SAYS(at(59), "SR");
    EXPECT_SAYS(at(64), "SR");
    EXPECT_SAYS(at(97), "STACH");
    EXPECT_SAYS(at(93), "SR");
    const Interpretation slow = at(56);
    const analysis::Statement* brady = slow.Find("SBRAD");
    ASSERT_NE(brady, nullptr);
    ASSERT_EQ(brady->evidence.size(), 2u);
    EXPECT_EQ(brady->evidence[1].key, "fastest_bpm");
    EXPECT_LT(brady->evidence[1].value, 60);
    EXPECT_GT(brady->evidence[1].value, 56);
    // By the AHA's limits 97/min is a normal rate, 108/min a tachycardia, 54/min no bradycardia.
    EXPECT_SAYS(at(97, analysis::RatePractice::Aha), "SR");
    EXPECT_SAYS(at(108, analysis::RatePractice::Aha), "STACH");
    EXPECT_SAYS(at(54, analysis::RatePractice::Aha), "SR");
    EXPECT_NOT(at(97), "NORM") << "a tachycardia is no normal ECG";

    const Interpretation af =
        Read([](SimulatorOptions& o) { o.pathology.rhythm = SimRhythm::AtrialFibrillation; });
    EXPECT_SAYS(af, "AFIB");
    EXPECT_NOT(af, "SR");
    EXPECT_NOT(af, "1AVB");
    for (const int rate : {72, 150}) {
        const Interpretation flutter = Read([rate](SimulatorOptions& o) {
            o.nHeartRate = rate;
            o.pathology.rhythm = SimRhythm::Flutter;
        });
        EXPECT_SAYS(flutter, "AFLT");
        EXPECT_NOT(flutter, "AFIB");
    }
}

TEST(Interpretation, ExtrasystolesCountedAndBigeminyByItsPattern) {
    // The premature beats the record holds whole, of a kind.
    const auto made = [](const SimulatorTruth& t, SimulatedBeat::Kind kind) {
        double n = 0;
        for (const SimulatedBeat& b : t.beats)
            n += b.kind == kind && b.dTime > 0.5 && b.dTime < 9.5;
        return n;
    };
    SimulatorTruth truth;
    const Interpretation pvc =
        Read([](SimulatorOptions& o) { o.pathology.dPvcPerMinute = 12; }, kMan50, {}, &truth);
    EXPECT_SAYS(pvc, "SR");
    EXPECT_NOT(pvc, "AFIB") << "extrasystoles make no irregular rhythm of a sinus one";
    EXPECT_NOT(pvc, "BIGU");
    EXPECT_NOT(pvc, "NORM");
    const analysis::Statement* v = pvc.Find("PVC");
    ASSERT_NE(v, nullptr) << Codes(pvc);
    ASSERT_FALSE(v->evidence.empty());
    EXPECT_EQ(v->evidence[0].value, made(truth, SimulatedBeat::Kind::Ventricular));
    EXPECT_NE(v->text.find(std::to_string(int(v->evidence[0].value))), std::string::npos);

    const Interpretation bigeminy =
        Read([](SimulatorOptions& o) { o.pathology.bPvcBigeminy = true; });
    EXPECT_SAYS(bigeminy, "BIGU");
    EXPECT_SAYS(bigeminy, "PVC");
    EXPECT_SAYS(bigeminy, "SR");
    EXPECT_NOT(bigeminy, "2AVB") << "a compensatory pause is no block";
    EXPECT_NOT(bigeminy, "SHTQT") << "no QTc after the pauses of a bigeminy";

    const Interpretation pac =
        Read([](SimulatorOptions& o) { o.pathology.dPacPerMinute = 12; }, kMan50, {}, &truth);
    EXPECT_SAYS(pac, "PAC");
    EXPECT_NOT(pac, "PVC");
    EXPECT_EQ(pac.Find("PAC")->evidence[0].value, made(truth, SimulatedBeat::Kind::Atrial));

    const Interpretation afPvc = Read([](SimulatorOptions& o) {
        o.pathology.rhythm = SimRhythm::AtrialFibrillation;
        o.pathology.dPvcPerMinute = 12;
    });
    EXPECT_SAYS(afPvc, "AFIB");
    EXPECT_SAYS(afPvc, "PVC");
    EXPECT_NOT(afPvc, "PAC") << "in atrial fibrillation no beat is premature";
}

TEST(Interpretation, PacedRhythmSuppressesTheStatementsItsOwnQrsWouldMake) {
    const Interpretation paced = Read([](SimulatorOptions& o) {
        o.pathology.rhythm = SimRhythm::Paced;
        o.pathology.dStElevationMv = 0.3;
    });
    EXPECT_SAYS(paced, "PACE");
    // Every beat paced leaves no beat of the heart's own to tell fibrillation by.
    for (const char* code : {"CLBBB", "CRBBB", "IVCD", "STE", "LVH", "LVOLT", "SR", "NORM", "AFIB"})
        EXPECT_NOT(paced, code);
}

TEST(Interpretation, TheHeartsOwnBeatsAndTheAtrialStimuliOfAPacedRecord) {
    // 500 samples a second: stimuli 100 ms before the paced beats; the beat at 2000 is the
    // heart's own, the one at 3010 a fusion 10 ms after its stimulus (not the usual delay).
    const std::vector<size_t> beats = {500, 1000, 1500, 2000, 2500, 3010};
    const std::vector<size_t> spikes = {450, 950, 1450, 2450, 3005};
    const std::vector<bool> paced = analysis::PacedBeatFlags(beats, spikes, 500.0);
    EXPECT_EQ(paced, (std::vector<bool>{true, true, true, false, true, false}));
    EXPECT_EQ(analysis::PacedBeats(beats, spikes, 500.0), 4u);
    // A stimulus that no QRS follows within 300 ms is an atrial one (or failed to capture);
    // one too near the record's end may have its QRS beyond it.
    EXPECT_EQ(analysis::StimuliWithoutQrs(beats, spikes, 500.0, 5000), 0u);
    EXPECT_EQ(analysis::StimuliWithoutQrs(beats, {300, 450, 1700, 4900}, 500.0, 5000), 2u);
    EXPECT_EQ(analysis::StimuliWithoutQrs({}, {300}, 500.0, 5000), 1u);
}

TEST(Interpretation, AtrioventricularBlocksByTheirPrAndTheirBlockedPWaves) {
    const auto pr = [](double ms) {
        return Read([ms](SimulatorOptions& o) {
            o.pathology.rhythm = SimRhythm::AvBlock1;
            o.pathology.dPrMs = ms;
        });
    };
    const Interpretation longPr = pr(250);
    EXPECT_SAYS(longPr, "1AVB");
    EXPECT_SAYS(longPr, "SR");
    EXPECT_NOT(pr(180), "1AVB");

    const Interpretation wenckebach =
        Read([](SimulatorOptions& o) { o.pathology.rhythm = SimRhythm::AvBlock2; });
    EXPECT_SAYS(wenckebach, "2AVB");
    EXPECT_NOT(wenckebach, "1AVB");
    EXPECT_NOT(Read([](SimulatorOptions&) {}), "2AVB");
    // A sinus arrhythmia's long cycle holds no P wave.
    EXPECT_NOT(Read([](SimulatorOptions& o) { o.nHeartRate = 50; }), "2AVB");

    const Interpretation complete =
        Read([](SimulatorOptions& o) { o.pathology.rhythm = SimRhythm::AvBlock3; });
    EXPECT_SAYS(complete, "3AVB");
    EXPECT_NOT(complete, "SR");
    EXPECT_NOT(complete, "1AVB");
}

TEST(Interpretation, BundleBranchAndFascicularBlocksByWidthAndPattern) {
    const auto with = [](SimConduction c, double qrsMs = 0) {
        return Read([=](SimulatorOptions& o) {
            o.pathology.conduction = c;
            o.pathology.dQrsMs = qrsMs;
        });
    };
    const Interpretation rbbb = with(SimConduction::Rbbb);
    EXPECT_SAYS(rbbb, "CRBBB");
    EXPECT_NOT(rbbb, "CLBBB");
    EXPECT_NOT(rbbb, "NORM");
    EXPECT_SAYS(with(SimConduction::Rbbb, 125), "CRBBB");
    EXPECT_SAYS(with(SimConduction::Rbbb, 114), "IRBBB");
    const Interpretation narrow = with(SimConduction::Rbbb, 100);
    EXPECT_NOT(narrow, "IRBBB");
    EXPECT_NOT(narrow, "CRBBB");

    const Interpretation lbbb = with(SimConduction::Lbbb);
    EXPECT_SAYS(lbbb, "CLBBB");
    EXPECT_NOT(lbbb, "CRBBB");
    EXPECT_NOT(lbbb, "IVCD");
    // Over a left bundle branch block the ST segment and the voltage are not read.
    const Interpretation lbbbSt = Read([](SimulatorOptions& o) {
        o.pathology.conduction = SimConduction::Lbbb;
        o.pathology.dStElevationMv = 0.3;
    });
    EXPECT_SAYS(lbbbSt, "CLBBB");
    EXPECT_NOT(lbbbSt, "STE");

    const Interpretation lafb = with(SimConduction::Lafb);
    EXPECT_SAYS(lafb, "LAFB");
    EXPECT_SAYS(lafb, "AXL");
    // An axis of -30 degrees is deviated to the left, but no fascicular block.
    const Interpretation left = Read([](SimulatorOptions& o) {
        o.pathology.bAxis = true;
        o.pathology.dAxisDeg = -30;
    });
    EXPECT_SAYS(left, "AXL");
    EXPECT_NOT(left, "LAFB");
}

TEST(Interpretation, TheAxisInTheFiveRussianClasses) {
    const auto axis = [](double deg, double amplitude) {
        return Read([deg, amplitude](SimulatorOptions& o) {
            o.pathology.bAxis = true;
            o.pathology.dAxisDeg = deg;
            o.pathology.dAmplitude = amplitude;
        });
    };
    // Below +30 degrees R falls from I through II to III, and that is read as deviated to the
    // left as soon as the eye can tell the waves apart; at lower voltage, or nearer +30, it
    // cannot, and the angle's horizontal class stands.
    const std::tuple<double, double, const char*> cases[] = {
        {-10, 1, "AXL"},  {10, 1, "AXL"}, {24, 1, "AXL"},  {29, 1, "AXH"},
        {26, 0.5, "AXH"}, {36, 1, "AXN"}, {64, 1, "AXN"},  {76, 1, "AXV"},
        {86, 1, "AXV"},   {96, 1, "AXR"}, {150, 1, "AXR"},
    };
    for (const auto& [deg, amplitude, code] : cases) {
        const Interpretation in = axis(deg, amplitude);
        EXPECT_SAYS(in, code) << "at " << deg << " degrees, amplitude " << amplitude;
        const analysis::Statement* s = in.Find(code);
        if (s) {
            EXPECT_NE(s->text.find("°)"), std::string::npos) << s->text;
        }
    }
    // A deviation read off the R waves is no normal ECG.
    EXPECT_NOT(axis(20, 1), "NORM");
    EXPECT_SAYS(axis(29, 1), "NORM");
}

TEST(Interpretation, QtcLongAndShortBySex) {
    const auto qtc = [](double ms, const PatientFacts& p) {
        return Read([ms](SimulatorOptions& o) { o.pathology.dQtcMs = ms; }, p);
    };
    const PatientFacts woman{false, 50};
    EXPECT_SAYS(qtc(470, kMan50), "LNGQT");
    EXPECT_NOT(qtc(435, kMan50), "LNGQT");
    EXPECT_SAYS(qtc(480, woman), "LNGQT");
    EXPECT_NOT(qtc(445, woman), "LNGQT") << "long in a man, not in a woman";
    EXPECT_SAYS(qtc(370, kMan50), "SHTQT");
    EXPECT_NOT(qtc(410, kMan50), "SHTQT");
    // Without the sex the men's limit is used, and a note says so.
    const Interpretation unknown = qtc(455, PatientFacts{std::nullopt, 50});
    EXPECT_SAYS(unknown, "LNGQT");
    ASSERT_EQ(unknown.notes.size(), 1u);
    EXPECT_NE(unknown.notes[0].find("Пол не указан"), std::string::npos);
    EXPECT_EQ(unknown.notesEn.size(), 1u);
}

TEST(Interpretation, VoltageCriteriaByAgeAndSex) {
    const auto scaled = [](double scale, const PatientFacts& p) {
        return Read([scale](SimulatorOptions& o) { o.pathology.dAmplitude = scale; }, p);
    };
    EXPECT_SAYS(scaled(0.3, kMan50), "LVOLT");
    EXPECT_NOT(scaled(1.0, kMan50), "LVOLT");
    const Interpretation high = scaled(3.5, kMan50);
    EXPECT_SAYS(high, "LVH");
    EXPECT_NOT(high, "NORM");
    EXPECT_NOT(scaled(1.5, kMan50), "LVH");
    // The adult criteria stand for adults only.
    const Interpretation young = scaled(3.5, PatientFacts{true, 15});
    EXPECT_NOT(young, "LVH");
    EXPECT_FALSE(young.notes.empty());
}

TEST(Interpretation, StElevationInContiguousLeadsByTheUniversalDefinition) {
    const auto st = [](double mv, SimStLeads leads, const PatientFacts& p) {
        return Read(
            [=](SimulatorOptions& o) {
                o.pathology.dStElevationMv = mv;
                o.pathology.stLeads = leads;
            },
            p);
    };
    const PatientFacts woman{false, 50};
    const Interpretation anterior = st(0.3, SimStLeads::Anterior, kMan50);
    EXPECT_SAYS(anterior, "STE");
    const analysis::Statement* s = anterior.Find("STE");
    ASSERT_NE(s, nullptr);
    EXPECT_NE(s->text.find("возможен острый инфаркт"), std::string::npos) << s->text;
    EXPECT_NE(s->text.find("V2"), std::string::npos) << s->text;
    // 0.15 mV in V1-V4: under the 0.2 mV a man of 40 and over needs in V2-V3, enough for a
    // woman.
    EXPECT_NOT(st(0.15, SimStLeads::Anterior, kMan50), "STE");
    EXPECT_SAYS(st(0.17, SimStLeads::Anterior, woman), "STE");
    EXPECT_SAYS(st(0.15, SimStLeads::Inferior, kMan50), "STE");
    EXPECT_NOT(st(0.06, SimStLeads::Inferior, kMan50), "STE");
}

} // namespace
