#include "analysis/comparison.h"

#include "analysis/measurement_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace analysis {

namespace {

constexpr StatementKind kChanges[] = {
    {"NEW_AFIB", "Появилась фибрилляция предсердий", "New atrial fibrillation"},
    {"RESOLVED_AFIB", "Фибрилляция предсердий больше не регистрируется",
     "Atrial fibrillation no longer present"},
    {"NEW_AFLT", "Появилось трепетание предсердий", "New atrial flutter"},
    {"RESOLVED_AFLT", "Трепетание предсердий больше не регистрируется",
     "Atrial flutter no longer present"},
    {"NEW_PACE", "Появился ритм электрокардиостимулятора", "New paced rhythm"},
    {"RESOLVED_PACE", "Ритм электрокардиостимулятора больше не регистрируется",
     "Paced rhythm no longer present"},
    {"HR_CHANGE", "Изменение ЧСС", "Heart rate change"},
    {"NEW_1AVB", "Появилась АВ-блокада I степени", "New first-degree AV block"},
    {"NEW_2AVB", "Появилась АВ-блокада II степени", "New second-degree AV block"},
    {"NEW_3AVB", "Появилась АВ-блокада III степени (полная)",
     "New third-degree (complete) AV block"},
    {"NEW_CRBBB", "Появилась полная блокада правой ножки пучка Гиса",
     "New complete right bundle branch block"},
    {"NEW_CLBBB", "Появилась полная блокада левой ножки пучка Гиса",
     "New complete left bundle branch block"},
    {"NEW_LAFB", "Появилась блокада передней ветви левой ножки пучка Гиса",
     "New left anterior fascicular block"},
    {"QRS_WIDER", "Расширение комплекса QRS", "QRS widened"},
    {"AXIS_SHIFT", "Смещение электрической оси QRS", "QRS axis shift"},
    {"QTC_LONGER", "Удлинение QTc", "QTc lengthened"},
    {"QTC_OVER_500", "QTc 500 мс и более", "QTc 500 ms or more"},
    {"NEW_STE",
     "Появился подъём сегмента ST в смежных отведениях: возможен острый инфаркт миокарда",
     "New ST elevation in contiguous leads: possible acute myocardial infarction"},
    {"NO_CHANGE", "Без существенной динамики", "No significant change"},
};

// The thresholds of a change worth a statement: each well beyond what measuring the same heart
// twice gives (QRS and QT measured within about 10 ms, the axis turning a little with breathing),
// so that two records of an unchanged heart say NO_CHANGE. QTc: the categorical limits for a
// drug-induced prolongation (ICH E14: an increase over 60 ms, a QTc over 500 ms).
constexpr double kQrsWiderMs = 20.0;
constexpr double kQtcLongerMs = 60.0;
constexpr double kQtcLimitMs = 500.0;
constexpr double kAxisShiftDeg = 30.0;
constexpr double kRateChangeBpm = 20.0;
// An incomplete block that becomes a complete one of the same side is new only when the QRS
// widened by this much: the 120 ms border lies within the scatter of one measurement.
constexpr double kIncompleteToCompleteMs = 10.0;
// Beyond this, a QRS width is a boundary the measurement missed (as the interpretation holds).
constexpr double kLongestQrsMs = 240.0;
constexpr double kWideQrsMs = 120.0;

std::string Whole(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", v);
    return text;
}

std::string SignedWhole(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.0f", v);
    return text;
}

// What of a record's interpretation and measurements the comparison reads.
struct Reading {
    const RecordAnalysis& a;
    bool paced, fibrillation, flutter;

    explicit Reading(const RecordAnalysis& analysis)
        : a(analysis), paced(analysis.interpretation.Has("PACE")),
          fibrillation(analysis.interpretation.Has("AFIB")),
          flutter(analysis.interpretation.Has("AFLT")) {}

    bool Has(const char* code) const { return a.interpretation.Has(code); }
    const Measurements& m() const { return a.measurements; }

    // P waves conducted to the ventricles, one before each QRS: the PR and the P wave's axis
    // mean something. Not in fibrillation or flutter (no P waves; a flutter wave is no P), in
    // a complete block (the P waves march on their own) or a paced rhythm.
    bool ConductedP() const { return !fibrillation && !flutter && !paced && !Has("3AVB"); }

    std::optional<double> Qrs() const {
        const std::optional<double>& q = m().qrsMs;
        return q && *q <= kLongestQrsMs ? q : std::nullopt;
    }

    // The QTc is read as the interpretation reads it: not over a paced QRS, nor where a fifth of
    // the beats or more are ventricular (the cycles it would be corrected by are pauses).
    bool QtcReadable() const {
        if (paced || !m().qtcBazettMs || !m().qtcFridericiaMs || !m().qtcRrMs)
            return false;
        const auto v =
            std::count(m().beatClasses.begin(), m().beatClasses.end(), BeatClass::Ventricular);
        return 5 * size_t(v) < m().beats.size();
    }

    // The degree of AV block the record shows, 0 for none.
    int AvBlock() const { return Has("3AVB") ? 3 : Has("2AVB") ? 2 : Has("1AVB") ? 1 : 0; }
};

class CComparer {
public:
    CComparer(const RecordAnalysis& previous, const RecordAnalysis& current)
        : m_prev(previous), m_cur(current) {}

    Comparison Run() {
        Deltas();
        if (!m_prev.m().heartRateBpm || !m_cur.m().heartRateBpm) {
            // Nothing measured in one of them: saying "no change" would be a false reassurance.
            const bool first = !m_prev.m().heartRateBpm;
            m_out.notes.push_back(std::string("Сравнение невозможно: в ") +
                                  (first ? "предыдущей" : "текущей") +
                                  " записи не найдены комплексы QRS");
            m_out.notesEn.push_back(std::string("No comparison: no QRS complexes found in the ") +
                                    (first ? "previous" : "current") + " record");
            return std::move(m_out);
        }
        Rhythm();
        Rate();
        AvConduction();
        Ventricles();
        Qtc();
        StElevation();
        if (m_out.changes.empty())
            Add("NO_CHANGE");
        return std::move(m_out);
    }

private:
    Statement& Add(const char* code, const std::string& text = {}, const std::string& textEn = {}) {
        const StatementKind* kind = ChangeKindOf(code);
        Statement st;
        st.code = code;
        st.text = text.empty() ? kind->russian : text;
        st.textEn = textEn.empty() ? kind->english : textEn;
        m_out.changes.push_back(std::move(st));
        return m_out.changes.back();
    }

    const MeasurementDelta& Row(const char* key) const {
        for (const MeasurementDelta& d : m_out.deltas)
            if (std::strcmp(d.key, key) == 0)
                return d;
        return m_out.deltas.front(); // every key asked for is in the list
    }

    void Deltas() {
        static constexpr const char* kKeys[] = {
            "heart_rate_bpm",    "pr_ms",      "qrs_ms",       "qt_ms",     "qtc_bazett_ms",
            "qtc_fridericia_ms", "axis_p_deg", "axis_qrs_deg", "axis_t_deg"};
        const std::vector<MeasurementRow> prev = MeasurementRows(m_prev.m());
        const std::vector<MeasurementRow> cur = MeasurementRows(m_cur.m());
        for (size_t i = 0; i < prev.size(); ++i) {
            const std::string key = prev[i].key;
            if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys))
                continue;
            MeasurementDelta d{prev[i].key,    prev[i].english, prev[i].russian, prev[i].unit,
                               prev[i].unitRu, prev[i].value,   cur[i].value,    std::nullopt};
            bool comparable = d.previous && d.current;
            if (key == "pr_ms" || key == "axis_p_deg")
                comparable = comparable && m_prev.ConductedP() && m_cur.ConductedP();
            if (key == "qrs_ms")
                comparable = comparable && m_prev.Qrs() && m_cur.Qrs();
            if (comparable) {
                // The values as they are shown, so that the figures of a statement add up.
                double delta = std::round(*d.current) - std::round(*d.previous);
                if (key.rfind("axis_", 0) == 0)
                    delta = std::remainder(delta, 360.0);
                d.delta = delta;
            }
            m_out.deltas.push_back(d);
        }
    }

    // The evidence of a change of one value: both values and their difference.
    static std::vector<Evidence> Figures(const std::string& key, double prev, double cur,
                                         double delta) {
        return {{"previous_" + key, prev}, {"current_" + key, cur}, {"delta_" + key, delta}};
    }

    // "NEW_X" from the current record's statement X, "RESOLVED_X" from the previous one's: the
    // change's texts followed by what the statement says of itself ("(PR 260 мс)"), and its
    // evidence (the previous record's marked as such).
    void Appeared(const std::string& code, bool resolved = false) {
        const Interpretation& in = (resolved ? m_prev : m_cur).a.interpretation;
        const Statement* st = in.Find(code);
        const StatementKind* kind = StatementKindOf(code);
        const std::string name = (resolved ? "RESOLVED_" : "NEW_") + code;
        const StatementKind* change = ChangeKindOf(name);
        if (!st || !kind || !change)
            return;
        const auto detail = [](const std::string& text, const char* head) {
            const size_t n = std::strlen(head);
            return text.compare(0, n, head) == 0 ? text.substr(n) : std::string();
        };
        Statement& out = Add(change->code, change->russian + detail(st->text, kind->russian),
                             change->english + detail(st->textEn, kind->english));
        for (const Evidence& e : st->evidence)
            out.evidence.push_back({(resolved ? "previous_" : "") + e.key, e.value});
    }

    void Rhythm() {
        for (const char* code : {"AFIB", "AFLT", "PACE"}) {
            if (m_cur.Has(code) && !m_prev.Has(code))
                Appeared(code);
            else if (m_prev.Has(code) && !m_cur.Has(code))
                Appeared(code, true);
        }
    }

    void Rate() {
        const MeasurementDelta& hr = Row("heart_rate_bpm");
        if (!hr.delta || std::abs(*hr.delta) < kRateChangeBpm)
            return;
        const double p = std::round(*hr.previous), c = std::round(*hr.current);
        const std::string figures = Whole(std::abs(*hr.delta));
        const bool up = *hr.delta > 0;
        Add("HR_CHANGE",
            std::string(up ? "ЧСС увеличилась" : "ЧСС уменьшилась") + " на " + figures +
                " в мин (" + Whole(p) + " → " + Whole(c) + " в мин)",
            std::string(up ? "Heart rate increased" : "Heart rate decreased") + " by " + figures +
                "/min (" + Whole(p) + " → " + Whole(c) + "/min)")
            .evidence = Figures("heart_rate_bpm", p, c, *hr.delta);
    }

    // A higher degree of AV block than before. The first and second degrees are new only where
    // the previous record could show them (conducted P waves); none is new after a paced record,
    // whose pacemaker hid the conduction under it.
    void AvConduction() {
        const int prev = m_prev.AvBlock(), cur = m_cur.AvBlock();
        if (cur <= prev || m_prev.paced)
            return;
        if (cur < 3 && !m_prev.ConductedP())
            return;
        Appeared(std::to_string(cur) + "AVB");
    }

    // The bundle branches, the QRS width and the axis: not compared where either record is
    // paced (the pacemaker's own QRS; NEW_PACE or RESOLVED_PACE says what changed).
    void Ventricles() {
        if (m_prev.paced || m_cur.paced)
            return;
        const MeasurementDelta& qrs = Row("qrs_ms");
        const auto newBlock = [&](const char* complete, const char* incomplete) {
            if (!m_cur.Has(complete) || m_prev.Has(complete))
                return false;
            // From an incomplete block of the same side, only with a QRS grown wider.
            return !m_prev.Has(incomplete) || (qrs.delta && *qrs.delta >= kIncompleteToCompleteMs);
        };
        if (newBlock("CRBBB", "IRBBB"))
            Appeared("CRBBB");
        if (newBlock("CLBBB", "ILBBB"))
            Appeared("CLBBB");
        // The fascicular block is read on a narrow QRS only: new where the previous one was
        // narrow too.
        if (m_cur.Has("LAFB") && !m_prev.Has("LAFB") && m_prev.Qrs() && *m_prev.Qrs() < kWideQrsMs)
            Appeared("LAFB");

        if (qrs.delta && *qrs.delta >= kQrsWiderMs) {
            const std::string p = Whole(*qrs.previous), c = Whole(*qrs.current);
            const std::string d = Whole(*qrs.delta);
            Add("QRS_WIDER", "QRS расширился на " + d + " мс (" + p + " → " + c + " мс)",
                "QRS widened by " + d + " ms (" + p + " → " + c + " ms)")
                .evidence =
                Figures("qrs_ms", std::round(*qrs.previous), std::round(*qrs.current), *qrs.delta);
        }

        const MeasurementDelta& axis = Row("axis_qrs_deg");
        if (axis.delta && std::abs(*axis.delta) >= kAxisShiftDeg) {
            // Angles grow clockwise on the frontal plane (I at 0°, aVF at +90°): a larger one
            // lies to the right.
            const bool right = *axis.delta > 0;
            const std::string p = SignedWhole(*axis.previous), c = SignedWhole(*axis.current);
            const std::string d = Whole(std::abs(*axis.delta));
            Add("AXIS_SHIFT",
                std::string("Электрическая ось QRS сместилась ") + (right ? "вправо" : "влево") +
                    " на " + d + "° (" + p + "° → " + c + "°)",
                std::string("QRS axis shifted ") + (right ? "rightward" : "leftward") + " by " + d +
                    "° (" + p + "° → " + c + "°)")
                .evidence = Figures("axis_qrs_deg", std::round(*axis.previous),
                                    std::round(*axis.current), *axis.delta);
        }
    }

    // QTc by one correction for both records: Bazett's where both rates lie within 50-100/min,
    // where it was derived, else Fridericia's (Bazett's over-corrects a fast rate, and a change
    // of rate alone would move it), as the interpretation chooses for one record.
    void Qtc() {
        if (!m_prev.QtcReadable() || !m_cur.QtcReadable())
            return;
        const auto bazettFits = [](const Reading& r) {
            const double rate = 60000.0 / *r.m().qtcRrMs;
            return rate >= 50.0 && rate <= 100.0;
        };
        const bool bazett = bazettFits(m_prev) && bazettFits(m_cur);
        const char* key = bazett ? "qtc_bazett_ms" : "qtc_fridericia_ms";
        const MeasurementDelta& qtc = Row(key);
        if (!qtc.delta)
            return;
        const double p = std::round(*qtc.previous), c = std::round(*qtc.current);
        const std::string name = bazett ? "QTc" : "QTc (Фридеричиа)";
        const std::string nameEn = bazett ? "QTc" : "QTc (Fridericia)";
        // The QT holds the QRS: what a QRS grown wider added is no longer repolarisation.
        const MeasurementDelta& qrs = Row("qrs_ms");
        const double wider = qrs.delta ? std::max(0.0, *qrs.delta) : 0.0;
        if (*qtc.delta - wider >= kQtcLongerMs) {
            const std::string d = Whole(*qtc.delta);
            Add("QTC_LONGER",
                name + " удлинился на " + d + " мс (" + Whole(p) + " → " + Whole(c) + " мс)",
                nameEn + " lengthened by " + d + " ms (" + Whole(p) + " → " + Whole(c) + " ms)")
                .evidence = Figures(key, p, c, *qtc.delta);
        }
        // The 500 ms limit stands for a narrow QRS; the interpretation reads no QT over a wide
        // one.
        const std::optional<double> q = m_cur.Qrs();
        if (p < kQtcLimitMs && c >= kQtcLimitMs && q && *q < kWideQrsMs)
            Add("QTC_OVER_500", name + " 500 мс и более (" + Whole(p) + " → " + Whole(c) + " мс)",
                nameEn + " 500 ms or more (" + Whole(p) + " → " + Whole(c) + " ms)")
                .evidence = Figures(key, p, c, *qtc.delta);
    }

    // A new ST elevation flag. Raised also where the previous record's ST was not read (a left
    // bundle branch block, pacing): the flag asks a doctor to look, and silence would be worse.
    void StElevation() {
        if (m_cur.Has("STE") && !m_prev.Has("STE"))
            Appeared("STE");
    }

    Reading m_prev, m_cur;
    Comparison m_out;
};

} // namespace

bool Comparison::Has(const std::string& code) const {
    return Find(code) != nullptr;
}

const Statement* Comparison::Find(const std::string& code) const {
    for (const Statement& s : changes)
        if (s.code == code)
            return &s;
    return nullptr;
}

std::optional<double> Comparison::Delta(const std::string& key) const {
    for (const MeasurementDelta& d : deltas)
        if (key == d.key)
            return d.delta;
    return std::nullopt;
}

std::span<const StatementKind> ChangeCatalogue() {
    return kChanges;
}

const StatementKind* ChangeKindOf(const std::string& code) {
    for (const StatementKind& k : kChanges)
        if (code == k.code)
            return &k;
    return nullptr;
}

Comparison CompareRecords(const RecordAnalysis& previous, const RecordAnalysis& current) {
    return CComparer(previous, current).Run();
}

std::vector<Statement> ProposedStatements(const Interpretation& current,
                                          const Comparison& comparison) {
    std::vector<Statement> out = current.statements;
    out.insert(out.end(), comparison.changes.begin(), comparison.changes.end());
    return out;
}

} // namespace analysis
