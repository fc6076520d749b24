#include "display/reading_settings.h"

#include "record/ecg_signal.h"
#include "record/session_state.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

std::optional<analysis::Filter> FilterNamed(const std::string& name) {
    using analysis::Filter;
    static const std::pair<const char*, Filter> kNames[] = {
        {"mains50", Filter::Mains50},      {"mains60", Filter::Mains60},
        {"baseline", Filter::Baseline005}, {"baseline067", Filter::Baseline067},
        {"muscle35", Filter::Muscle35},    {"muscle40", Filter::Muscle40}};
    for (const auto& [n, f] : kNames)
        if (name == n)
            return f;
    return std::nullopt;
}

QString ReadingSettingsText(const ReadingSettings& settings, double speedMmPerS) {
    using analysis::Filter;
    QStringList parts;
    parts << QStringLiteral("%1 мм/с").arg(speedMmPerS)
          << QStringLiteral("%1 мм/мВ").arg(settings.gainMmPerMv);
    const auto has = [&](Filter f) {
        return std::find(settings.filters.begin(), settings.filters.end(), f) !=
               settings.filters.end();
    };
    if (has(Filter::Mains50))
        parts << QStringLiteral("50 Гц");
    if (has(Filter::Mains60))
        parts << QStringLiteral("60 Гц");
    const QString low = has(Filter::Baseline067)   ? QStringLiteral("0.67")
                        : has(Filter::Baseline005) ? QStringLiteral("0.05")
                                                   : QString();
    const QString high = has(Filter::Muscle35)   ? QStringLiteral("35")
                         : has(Filter::Muscle40) ? QStringLiteral("40")
                                                 : QString();
    if (!low.isEmpty() && !high.isEmpty())
        parts << QStringLiteral("%1-%2 Гц").arg(low, high);
    else if (!low.isEmpty())
        parts << QStringLiteral("от %1 Гц").arg(low);
    else if (!high.isEmpty())
        parts << QStringLiteral("до %1 Гц").arg(high);
    return parts.join(QLatin1Char(' '));
}

std::vector<int16_t> FilteredSamples(const ECG_RECORD& record,
                                     const std::vector<analysis::Filter>& filters) {
    if (filters.empty())
        return {};
    CEcgSignal s;
    s.dRate = kPointsPerSecond;
    s.leads.assign(kLeads, std::vector<float>(kPoints));
    s.present.assign(kLeads, false);
    for (int lane = 0; lane < kLeads; ++lane) {
        s.names.emplace_back(leads_names[lane]);
        for (int p = 0; p < kPoints; ++p) {
            const int16_t v = Sample(record, p, lane);
            s.leads[size_t(lane)][size_t(p)] = v;
            s.present[size_t(lane)] = s.present[size_t(lane)] || v != 0;
        }
    }
    analysis::ApplyFilters(s, filters);
    std::vector<int16_t> out(kSamplesSize / 2, 0);
    for (int lane = 0; lane < kLeads; ++lane)
        if (s.present[size_t(lane)])
            for (int p = 0; p < kPoints; ++p)
                out[size_t(p * kLeads + lane)] = int16_t(
                    std::clamp(std::lround(s.leads[size_t(lane)][size_t(p)]), -32768L, 32767L));
    return out;
}

void ApplyReadingSettings(const ReadingSettings& settings, CSessionState& s, CChartView& view,
                          std::vector<int16_t>& filtered) {
    s.m_dSpeedMon = settings.speedMmPerS > 0 ? settings.speedMmPerS : s.m_dSpeed;
    view.m_dGainMmPerMv = settings.gainMmPerMv;
    view.m_nSensitivityMon = unsigned(std::lround(settings.gainMmPerMv));
    filtered = FilteredSamples(*s.m_pRecord, settings.filters);
    view.m_pDrawSamples = filtered.empty() ? nullptr : filtered.data();
    view.m_strSettings = ReadingSettingsText(settings, 50.0 / ZoomFromSpeed(s.m_dSpeedMon));
}
