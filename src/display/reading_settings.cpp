#include "display/reading_settings.h"

#include "record_model/ecg_signal.h"
#include "record_model/session_state.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using analysis::Filter;
const std::pair<const char*, Filter> kNames[] = {
    {"mains50", Filter::Mains50},      {"mains60", Filter::Mains60},
    {"baseline", Filter::Baseline005}, {"baseline067", Filter::Baseline067},
    {"muscle35", Filter::Muscle35},    {"muscle40", Filter::Muscle40}};

} // namespace

bool IsReadingSpeed(double mmPerS) {
    return std::find(std::begin(kReadingSpeeds), std::end(kReadingSpeeds), mmPerS) !=
           std::end(kReadingSpeeds);
}

bool IsReadingGain(double mmPerMv) {
    return std::find(std::begin(kReadingGains), std::end(kReadingGains), mmPerMv) !=
           std::end(kReadingGains);
}

std::optional<analysis::Filter> FilterNamed(const std::string& name) {
    for (const auto& [n, f] : kNames)
        if (name == n)
            return f;
    return std::nullopt;
}

const char* FilterName(analysis::Filter filter) {
    for (const auto& [n, f] : kNames)
        if (f == filter)
            return n;
    return "";
}

QString FilterText(const std::vector<analysis::Filter>& filters) {
    QStringList parts;
    const auto has = [&](Filter f) {
        return std::find(filters.begin(), filters.end(), f) != filters.end();
    };
    if (has(Filter::Mains50))
        parts << QCoreApplication::translate("ReadingSettings", "50 Гц");
    if (has(Filter::Mains60))
        parts << QCoreApplication::translate("ReadingSettings", "60 Гц");
    const QString low = has(Filter::Baseline067)   ? QStringLiteral("0.67")
                        : has(Filter::Baseline005) ? QStringLiteral("0.05")
                                                   : QString();
    const QString high = has(Filter::Muscle35)   ? QStringLiteral("35")
                         : has(Filter::Muscle40) ? QStringLiteral("40")
                                                 : QString();
    if (!low.isEmpty() && !high.isEmpty())
        parts << QCoreApplication::translate("ReadingSettings", "%1-%2 Гц").arg(low, high);
    else if (!low.isEmpty())
        parts << QCoreApplication::translate("ReadingSettings", "от %1 Гц").arg(low);
    else if (!high.isEmpty())
        parts << QCoreApplication::translate("ReadingSettings", "до %1 Гц").arg(high);
    return parts.join(QLatin1Char(' '));
}

QString ReadingSettingsText(const ReadingSettings& settings, double speedMmPerS) {
    const QString filters = FilterText(settings.filters);
    return QCoreApplication::translate("ReadingSettings", "%1 мм/с %2 мм/мВ")
               .arg(speedMmPerS)
               .arg(settings.gainMmPerMv) +
           (filters.isEmpty() ? QString() : QLatin1Char(' ') + filters);
}

std::vector<int16_t> FilteredSamples(const ECG_RECORD& record,
                                     const std::vector<analysis::Filter>& filters) {
    if (filters.empty())
        return {};
    // All twelve lanes in record units (whatever the lead system fills); lanes that hold
    // nothing are absent and left alone.
    CEcgSignal s;
    s.dRate = kPointsPerSecond;
    s.leads.assign(kLeads, std::vector<float>(kPoints));
    s.present.assign(kLeads, false);
    for (int lane = 0; lane < kLeads; ++lane)
        for (int p = 0; p < kPoints; ++p) {
            const int16_t v = Sample(record, p, lane);
            s.leads[size_t(lane)][size_t(p)] = v;
            s.present[size_t(lane)] = s.present[size_t(lane)] || v != 0;
        }
    analysis::ApplyFilters(s, filters);
    std::vector<int16_t> out(kSamplesSize / 2, 0);
    for (size_t lane = 0; lane < size_t(kLeads); ++lane)
        if (s.present[lane])
            for (int p = 0; p < kPoints; ++p)
                out[size_t(p) * kLeads + lane] =
                    int16_t(std::clamp(std::lround(s.leads[lane][size_t(p)]), -32768L, 32767L));
    return out;
}

const int16_t* CFilteredSamples::For(const ECG_RECORD& record,
                                     const std::vector<analysis::Filter>& filters) {
    if (filters.empty())
        return nullptr;
    const int16_t* raw = record.curves_buf;
    if (filters != m_filters || m_from.size() != size_t(kSamplesSize / 2) ||
        std::memcmp(m_from.data(), raw, kSamplesSize) != 0) {
        m_filters = filters;
        m_from.assign(raw, raw + kSamplesSize / 2);
        m_samples = FilteredSamples(record, filters);
    }
    return m_samples.data();
}

void ApplyReadingSettings(const ReadingSettings& settings, CSessionState& s, CChartView& view,
                          CFilteredSamples& filtered) {
    if (settings.speedMmPerS > 0) // otherwise the record's own speed, as the chart has it
        s.m_dSpeedMon = settings.speedMmPerS;
    view.m_dGainMmPerMv = settings.gainMmPerMv;
    view.m_nSensitivityMon = unsigned(std::lround(settings.gainMmPerMv));
    view.m_pDrawSamples = filtered.For(*s.m_pRecord, settings.filters);
    view.m_strSettings = ReadingSettingsText(settings, 50.0 / ZoomFromSpeed(s.m_dSpeedMon));
}

CaliperValues MeasureCalipers(const CChartView& view, QPoint from, QPoint to) {
    CaliperValues v;
    if (view.m_dStepX > 0)
        v.ms = std::abs(to.x() - from.x()) / view.m_dStepX / kPointsPerSecond * 1000.0;
    if (view.m_dScaleY > 0)
        v.mV = (from.y() - to.y()) / view.m_dScaleY / 500.0; // up is positive
    v.bpm = v.ms > 0 ? 60000.0 / v.ms : 0;
    return v;
}

QString CaliperText(const CaliperValues& v) {
    QString text = QCoreApplication::translate("ReadingSettings", "%1 мс   %2 мВ")
                       .arg(qRound(v.ms))
                       .arg(v.mV, 0, 'f', 2);
    if (v.bpm > 0)
        text += QCoreApplication::translate("ReadingSettings", "   %1 уд/мин").arg(qRound(v.bpm));
    return text;
}
