#include "analysis/interpretation.h"

#include "analysis/atrial_activity.h"
#include "analysis/lead_morphology.h"
#include "analysis/pacing.h"
#include "analysis/statistics.h"
#include "record_model/record_date.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace analysis {

namespace {

constexpr StatementKind kCatalogue[] = {
    {"SR", "Синусовый ритм", "Sinus rhythm"},
    {"SBRAD", "Синусовая брадикардия", "Sinus bradycardia"},
    {"STACH", "Синусовая тахикардия", "Sinus tachycardia"},
    {"SARRH", "Синусовая аритмия", "Sinus arrhythmia"},
    {"AFIB", "Фибрилляция предсердий", "Atrial fibrillation"},
    {"AFLT", "Трепетание предсердий", "Atrial flutter"},
    {"PACE", "Ритм электрокардиостимулятора", "Paced rhythm"},
    {"RHYOTH", "Несинусовый ритм", "Other (non-sinus) rhythm"},
    {"PVC", "Желудочковая экстрасистолия", "Ventricular premature complexes"},
    {"PAC", "Наджелудочковая экстрасистолия", "Supraventricular premature complexes"},
    {"BIGU", "Бигеминия", "Bigeminy"},
    {"1AVB", "АВ-блокада I степени", "First-degree AV block"},
    {"2AVB", "АВ-блокада II степени", "Second-degree AV block"},
    {"3AVB", "АВ-блокада III степени (полная)", "Third-degree (complete) AV block"},
    {"CRBBB", "Полная блокада правой ножки пучка Гиса", "Complete right bundle branch block"},
    {"IRBBB", "Неполная блокада правой ножки пучка Гиса", "Incomplete right bundle branch block"},
    {"CLBBB", "Полная блокада левой ножки пучка Гиса", "Complete left bundle branch block"},
    {"ILBBB", "Неполная блокада левой ножки пучка Гиса", "Incomplete left bundle branch block"},
    {"LAFB", "Блокада передней ветви левой ножки пучка Гиса", "Left anterior fascicular block"},
    {"IVCD", "Неспецифическое нарушение внутрижелудочковой проводимости",
     "Nonspecific intraventricular conduction delay"},
    {"AXN", "Нормальное положение электрической оси сердца", "Normal electrical axis"},
    {"AXH", "Горизонтальное положение электрической оси сердца", "Horizontal electrical axis"},
    {"AXV", "Вертикальное положение электрической оси сердца", "Vertical electrical axis"},
    {"AXL", "Отклонение электрической оси сердца влево", "Left axis deviation"},
    {"AXR", "Отклонение электрической оси сердца вправо", "Right axis deviation"},
    {"LNGQT", "Удлинение интервала QT", "Prolonged QT interval"},
    {"SHTQT", "Укорочение интервала QT", "Short QT interval"},
    {"LVOLT", "Низкий вольтаж QRS", "Low QRS voltage"},
    {"LVH", "Признаки гипертрофии левого желудочка (по вольтажным критериям)",
     "Left ventricular hypertrophy by voltage criteria"},
    {"STE", "Подъём сегмента ST в смежных отведениях: возможен острый инфаркт миокарда",
     "ST elevation in contiguous leads: possible acute myocardial infarction"},
    {"NORM", "Нормальная ЭКГ", "Normal ECG"},
};

// Sinus P waves point down and to the left: an axis of 0 to +75 degrees by the 2009 AHA/ACCF/HRS
// recommendations, widened by the scatter of a P axis measured on a wave of a tenth of a
// millivolt.
constexpr double kSinusPAxisMin = -30.0, kSinusPAxisMax = 105.0;
// Atrial fibrillation in a 10 s record: the RR intervals change from beat to beat by a good part
// of their length (the median successive difference over 6 % of the mean RR; in sinus rhythm,
// sinus arrhythmia included, the change from one beat to the next is a few per cent: breathing
// changes the rate over several beats).
constexpr double kIrregularSuccessive = 0.06;
constexpr double kPremature = 0.8; // an RR under 80 % of the usual: a premature beat
constexpr double kLongestQrsMs = 240.0;
// With a P wave in the median beat: over 15 %, beyond the sinus rhythms' few per cent with room.
constexpr double kChaoticSuccessive = 0.15;

// Whether the RR intervals fall into two tight groups (each within 15 % of its own middle)
// with a gap between them: the pattern of a bigeminy or of a block of fixed ratio, not chaos.
bool TwoIntervals(std::vector<double> rr) {
    if (rr.size() < 4)
        return true;
    std::sort(rr.begin(), rr.end());
    size_t gap = 1;
    for (size_t i = 1; i < rr.size(); ++i)
        if (rr[i] - rr[i - 1] > rr[gap] - rr[gap - 1])
            gap = i;
    const auto tight = [](double lo, double hi) { return hi - lo <= 0.15 * (lo + hi) / 2.0; };
    return tight(rr.front(), rr[gap - 1]) && tight(rr[gap], rr.back());
}

std::string Format(const char* format, double value) {
    char text[96];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Signed(double v) {
    return Format("%+.0f", v);
}

class CInterpreter {
public:
    CInterpreter(const CEcgSignal& s, const Measurements& m, const PatientFacts& p,
                 const InterpretationSettings& settings)
        : m_s(s), m_m(m), m_p(p), m_settings(settings) {
        // The leads' waves stand on the QRS boundaries: none where they could not be found.
        if (m.qrsMs && *m.qrsMs <= kLongestQrsMs)
            m_leads = DescribeLeads(s, m);
    }

    Interpretation Run() {
        Rhythm();
        Ectopy();
        Conduction();
        AxisClass();
        Qt();
        Voltage();
        StElevation();
        Normal();
        return std::move(m_out);
    }

private:
    // The statement of `code` with the catalogue's texts and what follows them.
    Statement& Add(const char* code, const std::string& detail = {},
                   const std::string& detailEn = {}) {
        const StatementKind* kind = StatementKindOf(code);
        Statement st;
        st.code = code;
        st.text = kind->russian + detail;
        st.textEn = kind->english + (detailEn.empty() ? detail : detailEn);
        m_out.statements.push_back(std::move(st));
        return m_out.statements.back();
    }

    void Note(const std::string& ru, const std::string& en) {
        if (std::find(m_out.notes.begin(), m_out.notes.end(), ru) != m_out.notes.end())
            return;
        m_out.notes.push_back(ru);
        m_out.notesEn.push_back(en);
    }

    bool Male() {
        if (!m_p.male) {
            Note("Пол не указан: пороги приняты как для мужчины",
                 "Sex not given: the thresholds for men were used");
            return true;
        }
        return *m_p.male;
    }

    // The patient's age, or 40 (an adult of the age the thresholds that depend on it switch
    // at) with a note.
    int Age() {
        if (!m_p.ageYears) {
            Note("Возраст не указан: критерии приняты как для взрослого старше 40 лет",
                 "Age not given: the criteria for an adult over 40 were used");
            return 40;
        }
        return *m_p.ageYears;
    }

    const LeadMorphology* Lead(StandardLane lane) const { return LeadOf(m_leads, lane); }

    BeatClass ClassOf(size_t k) const {
        return k < m_m.beatClasses.size() ? m_m.beatClasses[k] : BeatClass::Normal;
    }

    double Ms(size_t samples) const { return double(samples) / m_s.dRate * 1000.0; }

    void Rhythm() {
        const std::vector<size_t>& beats = m_m.beats;
        for (size_t k = 0; k < beats.size(); ++k) {
            if (ClassOf(k) == BeatClass::Ventricular)
                ++m_nV;
            if (k > 0 && ClassOf(k) == BeatClass::Normal && ClassOf(k - 1) == BeatClass::Normal)
                m_nn.push_back({k, Ms(beats[k] - beats[k - 1])});
        }
        // A paced rhythm: at least three beats, and a third of them, follow a pacemaker's
        // stimulus (a demand pacemaker lets the heart's own beats through between its own).
        m_nPaced = PacedBeats(m_m.beats, m_m.pacingSpikes, m_s.dRate);
        const bool paced = m_nPaced >= 3 && 3 * m_nPaced >= m_m.beats.size();
        // The rhythm is read on the cycles between normal beats; where ectopic beats leave too
        // few of those (a bigeminy), on every cycle.
        if (m_nn.size() < 3) {
            m_nn.clear();
            for (size_t k = 1; k < m_m.beats.size(); ++k)
                m_nn.push_back({k, Ms(m_m.beats[k] - m_m.beats[k - 1])});
        }
        if (m_nn.size() < 3) {
            if (paced)
                Paced();
            return;
        }
        std::vector<double> rr, diffs;
        for (const auto& [k, r] : m_nn)
            rr.push_back(r);
        for (size_t i = 1; i < m_nn.size(); ++i)
            if (m_nn[i].first == m_nn[i - 1].first + 1)
                diffs.push_back(std::abs(m_nn[i].second - m_nn[i - 1].second));
        m_rrMedian = Median(rr);
        const double mean = std::accumulate(rr.begin(), rr.end(), 0.0) / double(rr.size());
        m_rateBpm = 60000.0 / mean;
        m_irregularity = diffs.empty() ? 0.0 : Median(diffs) / mean;
        const bool pWave = m_m.pMs.has_value();
        const Atrial atrial = AnalyseAtria(m_s, m_m, !pWave);
        if (paced) {
            Paced();
            FibrillationUnderPacing(pWave, atrial);
            return;
        }
        if (atrial.flutterRateBpm) {
            Add("AFLT", " (" + Format("%.0f", *atrial.flutterRateBpm) + " в мин)",
                " (" + Format("%.0f", *atrial.flutterRateBpm) + "/min)")
                .evidence = {{"atrial_rate_bpm", *atrial.flutterRateBpm},
                             {"heart_rate_bpm", m_rateBpm}};
            return;
        }
        // Without P waves a moderate irregularity is enough; with what looks like a P wave
        // (fibrillation waves average into one) the RR must change from beat to beat by far
        // more than any sinus rhythm does, in no repeating pattern (a bigeminy alternates two
        // intervals).
        const bool chaotic = m_irregularity > kChaoticSuccessive && !TwoIntervals(rr);
        if ((m_irregularity > kIrregularSuccessive && !pWave) || chaotic) {
            Add("AFIB").evidence = {{"rr_irregularity", m_irregularity},
                                    {"heart_rate_bpm", m_rateBpm}};
            m_bIrregular = true;
            return;
        }
        if (atrial.dissociatedRateBpm && *atrial.dissociatedRateBpm > m_rateBpm * 1.2) {
            m_thirdDegree = atrial.dissociatedRateBpm;
            RhythmOther();
            return;
        }
        const bool sinusAxis =
            !m_m.axisPDeg || (*m_m.axisPDeg >= kSinusPAxisMin && *m_m.axisPDeg <= kSinusPAxisMax);
        if (!pWave || !sinusAxis) {
            RhythmOther();
            return;
        }
        m_bSinus = true;
        // The rate as the doctor reads it, in whole beats a minute: 59.6/min shows as 60. A
        // bradycardia or tachycardia is every cycle of the record beyond the limit: where some
        // of them reach the normal range, the sinus node beats at a normal rate with its usual
        // variation (the mean of a ten-second strip is no finer than that). Premature cycles
        // and the pauses after them are not the node's own.
        double fastest = 0, slowest = 0;
        for (const double r : rr)
            if (r >= kPremature * m_rrMedian && r * kPremature <= m_rrMedian) {
                fastest = std::max(fastest, std::round(60000.0 / r));
                slowest = slowest == 0 ? std::round(60000.0 / r)
                                       : std::min(slowest, std::round(60000.0 / r));
            }
        const double shown = std::round(m_rateBpm);
        const std::string rate = " (" + Format("%.0f", m_rateBpm) + " в мин)";
        const std::string rateEn = " (" + Format("%.0f", m_rateBpm) + "/min)";
        if (shown < m_settings.BradycardiaBelowBpm() && fastest < m_settings.BradycardiaBelowBpm())
            Add("SBRAD", rate, rateEn).evidence = {{"heart_rate_bpm", m_rateBpm},
                                                   {"fastest_bpm", fastest}};
        else if (shown > m_settings.TachycardiaAboveBpm() &&
                 slowest > m_settings.TachycardiaAboveBpm())
            Add("STACH", rate, rateEn).evidence = {{"heart_rate_bpm", m_rateBpm},
                                                   {"slowest_bpm", slowest}};
        else
            Add("SR", rate, rateEn).evidence = {{"heart_rate_bpm", m_rateBpm}};
    }

    void Paced() {
        m_bPaced = true;
        Add("PACE").evidence = {{"paced_beats", double(m_nPaced)},
                                {"beats", double(m_m.beats.size())}};
    }

    // A demand pacemaker lets the heart's own beats through between its own. The atria
    // fibrillate when those beats follow no P wave and come at irregular cycles: the criterion
    // of an unpaced record, read on the beats the pacemaker left to the heart. An atrial
    // stimulus, or P waves of their own rhythm, say the atria beat in order.
    void FibrillationUnderPacing(bool pWave, const Atrial& atrial) {
        if (pWave || atrial.dissociatedRateBpm || atrial.flutterRateBpm ||
            StimuliWithoutQrs(m_m.beats, m_m.pacingSpikes, m_s.dRate, m_s.Length()) > 0)
            return;
        const std::vector<bool> paced = PacedBeatFlags(m_m.beats, m_m.pacingSpikes, m_s.dRate);
        // The cycles that ended in one of the heart's own beats (normal or ventricular: beside
        // paced beats of the dominant kind a conducted one may look foreign; too odd to say
        // is left out).
        std::vector<double> own;
        for (size_t k = 1; k < m_m.beats.size(); ++k)
            if (!paced[k] && ClassOf(k) != BeatClass::Unknown)
                own.push_back(Ms(m_m.beats[k] - m_m.beats[k - 1]));
        if (own.size() < 2)
            return;
        std::vector<double> diffs;
        for (size_t i = 1; i < own.size(); ++i)
            diffs.push_back(std::abs(own[i] - own[i - 1]));
        const double mean = std::accumulate(own.begin(), own.end(), 0.0) / double(own.size());
        const double irregularity = Median(diffs) / mean;
        if (irregularity <= kIrregularSuccessive)
            return;
        Add("AFIB").evidence = {{"rr_irregularity", irregularity},
                                {"own_beats", double(own.size())},
                                {"heart_rate_bpm", m_rateBpm}};
        m_bIrregular = true;
    }

    void RhythmOther() {
        Statement& st = Add("RHYOTH");
        st.evidence.push_back({"heart_rate_bpm", m_rateBpm});
        if (m_m.axisPDeg)
            st.evidence.push_back({"axis_p_deg", *m_m.axisPDeg});
    }

    void Ectopy() {
        const std::vector<size_t>& beats = m_m.beats;
        // Premature supraventricular beats: a normal QRS that comes early (under 80 % of the
        // usual cycle and of the cycle before it), in a rhythm regular enough to tell.
        std::vector<bool> ectopic(beats.size(), false);
        for (size_t k = 0; k < beats.size(); ++k)
            ectopic[k] = ClassOf(k) == BeatClass::Ventricular;
        int pac = 0;
        if (!m_bIrregular && !m_bPaced && m_rrMedian > 0) {
            for (size_t k = 2; k < beats.size(); ++k) {
                if (ClassOf(k) != BeatClass::Normal || ectopic[k - 1])
                    continue;
                const double rr = Ms(beats[k] - beats[k - 1]);
                const double before = Ms(beats[k - 1] - beats[k - 2]);
                if (rr < kPremature * m_rrMedian && rr < kPremature * before) {
                    ectopic[k] = true;
                    ++pac;
                }
            }
        }
        const auto count = [](int n) {
            return std::make_pair(" (" + std::to_string(n) + ")", " (" + std::to_string(n) + ")");
        };
        if (m_nV > 0) {
            const auto [ru, en] = count(m_nV);
            Add("PVC", ru, en).evidence = {{"pvc_count", double(m_nV)}};
        }
        if (pac > 0) {
            const auto [ru, en] = count(pac);
            Add("PAC", ru, en).evidence = {{"pac_count", double(pac)}};
        }
        // Bigeminy: every other beat ectopic for at least three pairs in a row.
        int run = 0, best = 0;
        for (size_t k = 0; k + 1 < beats.size();) {
            if (!ectopic[k] && ectopic[k + 1]) {
                best = std::max(best, ++run);
                k += 2;
            } else {
                run = 0;
                ++k;
            }
        }
        if (best >= 3)
            Add("BIGU").evidence = {{"bigeminal_pairs", double(best)}};
        SinusArrhythmia(ectopic);
    }

    // Sinus arrhythmia: the sinus cycle varies by more than 160 ms over the record (the longest
    // less the shortest cycle between two sinus beats, the usual bedside criterion), gradually,
    // from breath to breath.
    void SinusArrhythmia(const std::vector<bool>& ectopic) {
        if (!m_bSinus || m_irregularity > kIrregularSuccessive)
            return;
        std::vector<double> rr;
        for (size_t k = 1; k < m_m.beats.size(); ++k)
            if (!ectopic[k] && !ectopic[k - 1] && ClassOf(k) == BeatClass::Normal &&
                ClassOf(k - 1) == BeatClass::Normal)
                rr.push_back(Ms(m_m.beats[k] - m_m.beats[k - 1]));
        if (rr.size() < 3)
            return;
        const double range =
            *std::max_element(rr.begin(), rr.end()) - *std::min_element(rr.begin(), rr.end());
        if (range > 160.0)
            Add("SARRH", " (" + Format("%.0f", range) + " мс)",
                " (" + Format("%.0f", range) + " ms)")
                .evidence = {{"rr_range_ms", range}};
    }

    void Conduction() {
        if (m_bPaced)
            return;
        // AV conduction stands on P waves; in atrial fibrillation or flutter there are none to
        // conduct.
        if (m_thirdDegree) {
            Add("3AVB",
                " (" + Format("%.0f", *m_thirdDegree) + "/" + Format("%.0f", m_rateBpm) + " в мин)",
                " (" + Format("%.0f", *m_thirdDegree) + "/" + Format("%.0f", m_rateBpm) + "/min)")
                .evidence = {{"atrial_rate_bpm", *m_thirdDegree}, {"heart_rate_bpm", m_rateBpm}};
        } else if (m_bSinus) {
            const std::optional<double> dropped = DroppedBeats();
            if (dropped)
                Add("2AVB").evidence = {{"blocked_p_waves", *dropped}};
            // A second-degree block's PR changes from beat to beat (Wenckebach): its median
            // says no first-degree block.
            if (!dropped && m_m.prMs && *m_m.prMs > 200.0)
                Add("1AVB", " (PR " + Format("%.0f", *m_m.prMs) + " мс)",
                    " (PR " + Format("%.0f", *m_m.prMs) + " ms)")
                    .evidence = {{"pr_ms", *m_m.prMs}};
        }
        // A QRS longer than any conduction makes it (a paced one reaches about 200 ms) is a
        // boundary the measurement could not find, and stands for no statement.
        if (!m_m.qrsMs || *m_m.qrsMs > kLongestQrsMs)
            return;
        const double qrs = *m_m.qrsMs;
        const std::string d = " (QRS " + Format("%.0f", qrs) + " мс)";
        const std::string dEn = " (QRS " + Format("%.0f", qrs) + " ms)";
        // AHA/ACCF/HRS 2009: complete blocks from 120 ms, incomplete ones at 110-119 ms, a
        // delay without either pattern over 110 ms.
        if (qrs >= 120.0 && RightBundlePattern()) {
            Add("CRBBB", d, dEn).evidence = {{"qrs_ms", qrs}};
        } else if (qrs >= 120.0 && LeftBundlePattern()) {
            Add("CLBBB", d, dEn).evidence = {{"qrs_ms", qrs}};
            m_bLbbb = true;
        } else if (qrs >= 110.0 && qrs < 120.0 && RightBundlePattern()) {
            Add("IRBBB", d, dEn).evidence = {{"qrs_ms", qrs}};
        } else if (qrs >= 110.0 && qrs < 120.0 && LateLeftActivation()) {
            Add("ILBBB", d, dEn).evidence = {{"qrs_ms", qrs}};
        } else if (qrs > 110.0) {
            Add("IVCD", d, dEn).evidence = {{"qrs_ms", qrs}};
        }
        if (qrs < 120.0 && LeftAnteriorFascicle())
            Add("LAFB").evidence = {{"axis_qrs_deg", *m_m.axisQrsDeg}, {"qrs_ms", qrs}};
    }

    // rsR' (or a broad, late R) in V1 or V2, a terminal S of 40 ms or longer than the R in I
    // and V6: the right ventricle activated late and from the left.
    bool RightBundlePattern() const {
        const auto late = [](const LeadMorphology* l) {
            if (!l || l->terminalUv <= 0)
                return false;
            return l->HasRPrime() || (l->rPeakTimeMs && *l->rPeakTimeMs > 50.0 && l->rUv > l->sUv);
        };
        const auto wideS = [](const LeadMorphology* l) {
            return l && l->sUv > 0 && l->terminalUv < 0 && (l->sMs >= 40.0 || l->sMs > l->rMs);
        };
        const LeadMorphology *i = Lead(kLaneI), *v6 = Lead(kLaneV6);
        return (late(Lead(kLaneV1)) || late(Lead(kLaneV2))) && (wideS(i) || wideS(v6)) &&
               (!i || i->terminalUv < 0) && (!v6 || v6->terminalUv < 0);
    }

    // A QS or rS in V1; a broad dominant R without a septal q (under 0.1 mV) in I and in aVL, V5
    // or V6 (whose R may come with an S where the transition is displaced); the R peak late,
    // over 60 ms, in one of these lateral leads: the left ventricle activated late and from the
    // right (AHA/ACCF/HRS 2009).
    bool LeftBundlePattern() const {
        const LeadMorphology* v1 = Lead(kLaneV1);
        if (!v1 || v1->netUv >= 0 || std::max(v1->sUv, v1->qUv) <= v1->rUv)
            return false; // neither QS nor rS
        const auto upright = [](const LeadMorphology* l) {
            return l && l->netUv > 0 && l->rUv > 2.0 * l->sUv && l->qUv < 100.0;
        };
        const auto slow = [](const LeadMorphology* l) {
            return l && l->rPeakTimeMs && *l->rPeakTimeMs > 60.0 && l->rUv > l->sUv;
        };
        const LeadMorphology *i = Lead(kLaneI), *avl = Lead(kLaneAvl), *v5 = Lead(kLaneV5),
                             *v6 = Lead(kLaneV6);
        return upright(i) && (upright(avl) || upright(v5) || upright(v6)) &&
               (slow(i) || slow(avl) || slow(v5) || slow(v6));
    }

    // Incomplete left bundle branch block: no septal q in I, V5 and V6 and a late R peak there.
    bool LateLeftActivation() const {
        const LeadMorphology *i = Lead(kLaneI), *v5 = Lead(kLaneV5), *v6 = Lead(kLaneV6);
        if (!i || !v5 || !v6 || i->HasQ() || v5->HasQ() || v6->HasQ())
            return false;
        const auto slow = [](const LeadMorphology* l) {
            return l->rPeakTimeMs && *l->rPeakTimeMs > 60.0 && l->rUv > l->sUv;
        };
        return slow(v5) || slow(v6);
    }

    // Left anterior fascicular block: an axis of -45 to -90 degrees, qR in aVL and rS in II,
    // III and aVF.
    bool LeftAnteriorFascicle() const {
        if (!m_m.axisQrsDeg || *m_m.axisQrsDeg > -45.0 || *m_m.axisQrsDeg < -90.0)
            return false;
        const LeadMorphology* avl = Lead(kLaneAvl);
        if (!avl || avl->rUv <= avl->sUv)
            return false;
        for (const StandardLane lane : {kLaneIII, kLaneAvf}) {
            const LeadMorphology* l = Lead(lane);
            if (!l || l->sUv <= l->rUv || l->rUv <= 0)
                return false;
        }
        // II lies at +60 degrees, a quarter turn or so from such an axis: its r and S come out
        // about even, the S winning the area.
        const LeadMorphology* ii = Lead(kLaneII);
        return ii && ii->rUv > 0 && ii->sUv > 0 && ii->netUv < 0;
    }

    // P waves that no QRS follows: in a sinus rhythm, a pause about twice the usual cycle
    // holding a wave shaped like the median beat's P.
    std::optional<double> DroppedBeats() const {
        const std::vector<size_t>& beats = m_m.beats;
        int blocked = 0;
        for (size_t k = 1; k < beats.size(); ++k) {
            const double rr = Ms(beats[k] - beats[k - 1]);
            // A pause after an extrasystole is its compensation, not a block.
            if (rr < 1.6 * m_rrMedian || rr > 2.6 * m_rrMedian ||
                ClassOf(k - 1) != BeatClass::Normal || ClassOf(k) != BeatClass::Normal)
                continue;
            if (BlockedPIn(beats[k - 1], beats[k]))
                ++blocked;
        }
        return blocked > 0 ? std::optional<double>(blocked) : std::nullopt;
    }

    bool BlockedPIn(size_t from, size_t to) const { return HasBlockedP(m_s, m_m, from, to); }

    void AxisClass() {
        if (!m_m.axisQrsDeg || m_bPaced)
            return;
        const double a = *m_m.axisQrsDeg;
        const std::string d = " (α " + Signed(a) + "°)";
        const std::string dEn = " (" + Signed(a) + "°)";
        // The Russian five classes: normal +30...+69, vertical +70...+90, horizontal 0...+29,
        // deviated to the left below 0 and to the right beyond +90.
        const char* code = a > 90.0 || a <= -90.0 ? "AXR"
                           : a >= 70.0            ? "AXV"
                           : a >= 30.0            ? "AXN"
                           : a >= 0.0             ? "AXH"
                                                  : "AXL";
        // Russian practice reads the position off the limb leads' R waves as well: R falling
        // from I through II to III (a "левограмма") is reported as deviated to the left, R
        // rising from I through II to III (a "правограмма") to the right. The R waves must
        // differ by more than half a millimetre at 10 mm/mV, the least the eye tells apart.
        const int order = RWaveOrder();
        if (order < 0 && a < 70.0 && a > -90.0)
            code = "AXL";
        else if (order > 0 && (a > 50.0 || a <= -90.0))
            code = "AXR";
        Statement& st = Add(code, d, dEn);
        st.evidence = {{"axis_qrs_deg", a}};
        if (order != 0)
            for (const auto& [key, lane] :
                 {std::pair{"r_i_mv", kLaneI}, std::pair{"r_ii_mv", kLaneII},
                  std::pair{"r_iii_mv", kLaneIII}})
                st.evidence.push_back({key, Lead(lane)->rUv / 1000.0});
    }

    // -1 when R falls clearly from I through II to III, +1 when it rises so, 0 otherwise.
    int RWaveOrder() const {
        const LeadMorphology* i = Lead(kLaneI);
        const LeadMorphology* ii = Lead(kLaneII);
        const LeadMorphology* iii = Lead(kLaneIII);
        if (!i || !ii || !iii)
            return 0;
        constexpr double kVisibleUv = 50.0;
        if (i->rUv > ii->rUv + kVisibleUv && ii->rUv > iii->rUv + kVisibleUv)
            return -1;
        if (iii->rUv > ii->rUv + kVisibleUv && ii->rUv > i->rUv + kVisibleUv)
            return 1;
        return 0;
    }

    // QTc: Bazett's within 50-100/min, where it was derived and fits; Fridericia's outside,
    // where Bazett's over-corrects (fast rates) or under-corrects (slow ones). Long from 450 ms
    // in men and 460 ms in women, short at 390 ms or less (AHA/ACCF/HRS 2009).
    void Qt() {
        if (!m_m.qtcBazettMs || !m_m.qtcFridericiaMs || !m_m.qtcRrMs || m_bPaced)
            return;
        // Where a fifth of the beats or more are ventricular, the cycles before the normal
        // ones are pauses after an extrasystole, and no QTc corrected by them is read.
        if (5 * m_nV >= int(m_m.beats.size()))
            return;
        const double rate = 60000.0 / *m_m.qtcRrMs;
        const bool bazett = rate >= 50.0 && rate <= 100.0;
        const double qtc = bazett ? *m_m.qtcBazettMs : *m_m.qtcFridericiaMs;
        const char* key = bazett ? "qtc_bazett_ms" : "qtc_fridericia_ms";
        // A wide QRS lengthens the QT by itself: the QT of a bundle branch block is not read.
        if (m_m.qrsMs && *m_m.qrsMs >= 120.0)
            return;
        const std::string d = " (QTc " + Format("%.0f", qtc) + " мс)";
        const std::string dEn = " (QTc " + Format("%.0f", qtc) + " ms)";
        if (qtc >= (Male() ? 450.0 : 460.0))
            Add("LNGQT", d, dEn).evidence = {{key, qtc}};
        else if (qtc <= 390.0)
            Add("SHTQT", d, dEn).evidence = {{key, qtc}};
    }

    void Voltage() {
        // A paced QRS is no measure of the ventricles' own voltage.
        if (m_leads.empty() || m_bPaced)
            return;
        // Low voltage: every limb lead's QRS under 0.5 mV peak to peak, or every chest lead's
        // under 1.0 mV (AHA/ACCF/HRS 2009).
        const auto largest = [&](std::initializer_list<StandardLane> lanes) {
            std::optional<double> top;
            for (const StandardLane lane : lanes) {
                const LeadMorphology* l = Lead(lane);
                if (!l)
                    return std::optional<double>();
                top = std::max(top.value_or(0.0), l->peakToPeakUv);
            }
            return top;
        };
        const std::optional<double> limb =
            largest({kLaneI, kLaneII, kLaneIII, kLaneAvr, kLaneAvl, kLaneAvf});
        const std::optional<double> chest =
            largest({kLaneV1, kLaneV2, kLaneV3, kLaneV4, kLaneV5, kLaneV6});
        if ((limb && *limb < 500.0) || (chest && *chest < 1000.0)) {
            Statement& st = Add("LVOLT");
            if (limb)
                st.evidence.push_back({"limb_qrs_max_mv", *limb / 1000.0});
            if (chest)
                st.evidence.push_back({"chest_qrs_max_mv", *chest / 1000.0});
        }
        if (m_bLbbb)
            return; // voltage criteria do not hold over an abnormal activation
        const int age = Age();
        if (age < 18) {
            Note("Возраст до 18 лет: вольтажные критерии гипертрофии для взрослых не применены",
                 "Under 18: the adult voltage criteria of hypertrophy were not applied");
            return;
        }
        Statement st;
        // Sokolow-Lyon: S in V1 plus the larger R of V5 and V6 at least 3.5 mV, over 35 years
        // (the young have higher voltages). Cornell: R in aVL plus S in V3 over 2.8 mV in men,
        // over 2.0 mV in women.
        const LeadMorphology *v1 = Lead(kLaneV1), *v5 = Lead(kLaneV5), *v6 = Lead(kLaneV6),
                             *avl = Lead(kLaneAvl), *v3 = Lead(kLaneV3);
        if (v1 && (v5 || v6) && age >= 35) {
            const double sl = (v1->sUv + std::max(v5 ? v5->rUv : 0.0, v6 ? v6->rUv : 0.0)) / 1000.0;
            if (sl >= 3.5)
                st.evidence.push_back({"sokolow_lyon_mv", sl});
        }
        if (avl && v3) {
            const double cornell = (avl->rUv + v3->sUv) / 1000.0;
            if (cornell > (Male() ? 2.8 : 2.0))
                st.evidence.push_back({"cornell_mv", cornell});
        }
        if (!st.evidence.empty())
            Add("LVH").evidence = st.evidence;
    }

    // ST elevation at the J point in two contiguous leads, by the fourth universal definition of
    // myocardial infarction (2018): 0.1 mV in every lead but V2-V3; there 0.2 mV in men of 40 and
    // over, 0.25 mV in younger men, 0.15 mV in women. A flag for a doctor, never a diagnosis;
    // not read over a left bundle branch block or a paced rhythm, which raise the ST themselves.
    void StElevation() {
        if (m_bPaced || m_bLbbb || m_leads.empty())
            return;
        const auto threshold = [&](StandardLane lane) {
            if (lane != kLaneV2 && lane != kLaneV3)
                return 100.0;
            if (!Male())
                return 150.0;
            return Age() >= 40 ? 200.0 : 250.0;
        };
        const auto raised = [&](StandardLane lane) {
            const LeadMorphology* l = Lead(lane);
            return l && l->stJUv && *l->stJUv >= threshold(lane);
        };
        static constexpr StandardLane kContiguous[][2] = {
            {kLaneII, kLaneIII}, {kLaneII, kLaneAvf}, {kLaneIII, kLaneAvf}, {kLaneI, kLaneAvl},
            {kLaneV1, kLaneV2},  {kLaneV2, kLaneV3},  {kLaneV3, kLaneV4},   {kLaneV4, kLaneV5},
            {kLaneV5, kLaneV6},  {kLaneI, kLaneV6}};
        std::vector<StandardLane> leads;
        for (const auto& pair : kContiguous)
            if (raised(pair[0]) && raised(pair[1]))
                for (const StandardLane lane : pair)
                    if (std::find(leads.begin(), leads.end(), lane) == leads.end())
                        leads.push_back(lane);
        if (leads.empty())
            return;
        std::sort(leads.begin(), leads.end());
        std::string names;
        double top = 0;
        for (const StandardLane lane : leads) {
            names += (names.empty() ? "" : ", ") + std::string(LeadOfLane(lane)->m_szLabel);
            top = std::max(top, *Lead(lane)->stJUv);
        }
        Add("STE", " (" + names + ")", " (" + names + ")").evidence = {
            {"st_elevation_max_mv", top / 1000.0}};
    }

    // A normal ECG: a sinus rhythm of normal rate and nothing else but the axis's position, read
    // on all twelve leads (fewer leads cannot show that nothing is wrong).
    void Normal() {
        if (!m_bSinus)
            return;
        for (int lane = 0; lane < kStandardLanes; ++lane)
            if (!Lead(StandardLane(lane)))
                return;
        for (const Statement& st : m_out.statements)
            if (st.code != "SR" && st.code != "SARRH" && st.code != "AXN" && st.code != "AXH" &&
                st.code != "AXV")
                return;
        if (!m_out.Has("SR"))
            return;
        Add("NORM");
    }

    const CEcgSignal& m_s;
    const Measurements& m_m;
    const PatientFacts& m_p;
    const InterpretationSettings& m_settings;
    std::vector<LeadMorphology> m_leads;
    Interpretation m_out;

    std::vector<std::pair<size_t, double>> m_nn; // each normal beat after a normal one, its RR
    int m_nV = 0;
    size_t m_nPaced = 0;
    double m_rrMedian = 0, m_rateBpm = 0, m_irregularity = 0;
    std::optional<double> m_thirdDegree; // the atrial rate of a dissociated rhythm
    bool m_bSinus = false, m_bPaced = false, m_bIrregular = false;
    bool m_bLbbb = false;
};

} // namespace

RatePractice RatePracticeOf(std::string_view word) {
    std::string lower(word);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower == "aha" ? RatePractice::Aha : RatePractice::Russian;
}

PatientFacts PatientFactsOf(const PATIENT_CARD& card, const SYSTEMTIME& recorded) {
    PatientFacts p;
    if (card.sex == 0 || card.sex == 1)
        p.male = card.sex == 1;
    if (card.birth_year > 0 && card.birth_year != 65535 && recorded.wYear >= card.birth_year) {
        int age = int(recorded.wYear) - int(card.birth_year);
        if (recorded.wMonth < card.birth_month ||
            (recorded.wMonth == card.birth_month && recorded.wDay < card.birth_day))
            --age;
        if (age >= 0 && age < 130)
            p.ageYears = age;
    }
    return p;
}

bool Interpretation::Has(const std::string& code) const {
    return Find(code) != nullptr;
}

const Statement* Interpretation::Find(const std::string& code) const {
    for (const Statement& s : statements)
        if (s.code == code)
            return &s;
    return nullptr;
}

std::span<const StatementKind> StatementCatalogue() {
    return kCatalogue;
}

const StatementKind* StatementKindOf(const std::string& code) {
    for (const StatementKind& k : kCatalogue)
        if (code == k.code)
            return &k;
    return nullptr;
}

Interpretation Interpret(const CEcgSignal& s, const Measurements& m, const PatientFacts& patient,
                         const InterpretationSettings& settings) {
    return CInterpreter(s, m, patient, settings).Run();
}

RecordAnalysis AnalyseRecord(const ECG_RECORD& record, const PATIENT_CARD* card,
                             std::span<const Filter> filters,
                             const InterpretationSettings& settings) {
    CEcgSignal signal = SignalFromRecord(record);
    ApplyFilters(signal, filters);
    RecordAnalysis out;
    CEcgSignal cleaned;
    out.measurements = Measure(signal, &cleaned);
    PatientFacts patient;
    if (card) {
        // The age is the patient's on the day of the record.
        SYSTEMTIME day{};
        if (ParseRecordDate(record.date, sizeof record.date, day))
            patient = PatientFactsOf(*card, day);
        else
            patient.male = PatientFactsOf(*card, day).male;
    }
    out.interpretation = Interpret(cleaned, out.measurements, patient, settings);
    return out;
}

} // namespace analysis
