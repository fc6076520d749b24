#include "analysis/measurement_table.h"

#include <cmath>
#include <cstdio>

namespace analysis {

std::vector<MeasurementRow> MeasurementRows(const Measurements& m) {
    return {
        {"heart_rate_bpm", "heart rate", "ЧСС", "bpm", "уд/мин", 0, m.heartRateBpm},
        {"rr_ms", "RR", "RR", "ms", "мс", 0, m.rrMeanMs},
        {"rr_min_ms", "RR min", "RR мин", "ms", "мс", 0, m.rrMinMs},
        {"rr_max_ms", "RR max", "RR макс", "ms", "мс", 0, m.rrMaxMs},
        {"p_ms", "P", "P", "ms", "мс", 0, m.pMs},
        {"pr_ms", "PR", "PR", "ms", "мс", 0, m.prMs},
        {"qrs_ms", "QRS", "QRS", "ms", "мс", 0, m.qrsMs},
        {"qt_ms", "QT", "QT", "ms", "мс", 0, m.qtMs},
        {"qtc_bazett_ms", "QTc (Bazett)", "QTc (Базетт)", "ms", "мс", 0, m.qtcBazettMs},
        {"qtc_fridericia_ms", "QTc (Fridericia)", "QTc (Фридеричиа)", "ms", "мс", 0,
         m.qtcFridericiaMs},
        {"axis_p_deg", "P axis", "ось P", "°", "°", 0, m.axisPDeg},
        {"axis_qrs_deg", "QRS axis", "ось QRS", "°", "°", 0, m.axisQrsDeg},
        {"axis_t_deg", "T axis", "ось T", "°", "°", 0, m.axisTDeg},
        {"sokolow_lyon_mv", "Sokolow-Lyon", "Соколов-Лайон", "mV", "мВ", 2, m.sokolowLyonMv},
    };
}

std::string ValueText(const MeasurementRow& row, bool russian) {
    if (!row.value)
        return russian ? "нет" : "absent";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", row.decimals, *row.value);
    const std::string unit = russian ? row.unitRu : row.unit;
    return std::string(text) + (unit == "°" ? "" : " ") + unit;
}

std::vector<std::string> RussianSummary(const Measurements& m) {
    std::vector<std::string> parts;
    for (const MeasurementRow& r : MeasurementRows(m)) {
        const std::string key = r.key;
        if (!r.value || key == "rr_min_ms" || key == "rr_max_ms")
            continue;
        parts.push_back(std::string(r.russian) + " " + ValueText(r, true));
    }
    return parts;
}

std::string MeasurementLine(const Measurements& m) {
    std::string line;
    for (const std::string& part : RussianSummary(m))
        line += (line.empty() ? "" : "   ") + part;
    if (line.empty())
        return "Автоматические измерения: нет (комплексы QRS не найдены)";
    return line + "   (автоматические измерения, требуют подтверждения врачом)";
}

} // namespace analysis
