#include "analysis/measurement_table.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdio>

namespace analysis {

std::vector<MeasurementRow> MeasurementRows(const Measurements& m) {
    return {
        {"heart_rate_bpm", "heart rate", QT_TRANSLATE_NOOP("MeasurementTable", "ЧСС"), "bpm",
         QT_TRANSLATE_NOOP("MeasurementTable", "уд/мин"), 0, m.heartRateBpm},
        {"rr_ms", "RR", "RR", "ms", QT_TRANSLATE_NOOP("MeasurementTable", "мс"), 0, m.rrMeanMs},
        {"rr_min_ms", "RR min", QT_TRANSLATE_NOOP("MeasurementTable", "RR мин"), "ms",
         QT_TRANSLATE_NOOP("MeasurementTable", "мс"), 0, m.rrMinMs},
        {"rr_max_ms", "RR max", QT_TRANSLATE_NOOP("MeasurementTable", "RR макс"), "ms",
         QT_TRANSLATE_NOOP("MeasurementTable", "мс"), 0, m.rrMaxMs},
        {"p_ms", "P", "P", "ms", QT_TRANSLATE_NOOP("MeasurementTable", "мс"), 0, m.pMs},
        {"pr_ms", "PR", "PR", "ms", QT_TRANSLATE_NOOP("MeasurementTable", "мс"), 0, m.prMs},
        {"qrs_ms", "QRS", "QRS", "ms", QT_TRANSLATE_NOOP("MeasurementTable", "мс"), 0, m.qrsMs},
        {"qt_ms", "QT", "QT", "ms", QT_TRANSLATE_NOOP("MeasurementTable", "мс"), 0, m.qtMs},
        {"qtc_bazett_ms", "QTc (Bazett)", QT_TRANSLATE_NOOP("MeasurementTable", "QTc (Базетт)"),
         "ms", QT_TRANSLATE_NOOP("MeasurementTable", "мс"), 0, m.qtcBazettMs},
        {"qtc_fridericia_ms", "QTc (Fridericia)",
         QT_TRANSLATE_NOOP("MeasurementTable", "QTc (Фридеричиа)"), "ms",
         QT_TRANSLATE_NOOP("MeasurementTable", "мс"), 0, m.qtcFridericiaMs},
        {"axis_p_deg", "P axis", QT_TRANSLATE_NOOP("MeasurementTable", "ось P"), "°", "°", 0,
         m.axisPDeg},
        {"axis_qrs_deg", "QRS axis", QT_TRANSLATE_NOOP("MeasurementTable", "ось QRS"), "°", "°", 0,
         m.axisQrsDeg},
        {"axis_t_deg", "T axis", QT_TRANSLATE_NOOP("MeasurementTable", "ось T"), "°", "°", 0,
         m.axisTDeg},
        {"sokolow_lyon_mv", "Sokolow-Lyon", QT_TRANSLATE_NOOP("MeasurementTable", "Соколов-Лайон"),
         "mV", QT_TRANSLATE_NOOP("MeasurementTable", "мВ"), 2, m.sokolowLyonMv},
    };
}

namespace {

// A text of the table as the window shows it.
std::string ShownText(const char* russian) {
    return QCoreApplication::translate("MeasurementTable", russian).toStdString();
}

} // namespace

std::string ValueText(const MeasurementRow& row, bool shown) {
    if (!row.value)
        return shown ? ShownText(QT_TRANSLATE_NOOP("MeasurementTable", "нет")) : "absent";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", row.decimals, *row.value);
    const std::string unit = shown ? ShownText(row.unitRu) : row.unit;
    return std::string(text) + (unit == "°" ? "" : " ") + unit;
}

std::vector<std::string> MeasurementSummary(const Measurements& m) {
    std::vector<std::string> parts;
    for (const MeasurementRow& r : MeasurementRows(m)) {
        const std::string key = r.key;
        if (!r.value || key == "rr_min_ms" || key == "rr_max_ms")
            continue;
        parts.push_back(ShownText(r.russian) + " " + ValueText(r, true));
    }
    return parts;
}

std::string MeasurementLine(const Measurements& m) {
    std::string line;
    for (const std::string& part : MeasurementSummary(m))
        line += (line.empty() ? "" : "   ") + part;
    if (line.empty())
        return ShownText(QT_TRANSLATE_NOOP(
            "MeasurementTable", "Автоматические измерения: нет (комплексы QRS не найдены)"));
    return QCoreApplication::translate(
               "MeasurementTable", "%1   (автоматические измерения, требуют подтверждения врачом)")
        .arg(QString::fromStdString(line))
        .toStdString();
}

} // namespace analysis
