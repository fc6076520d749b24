#pragma once
// How a doctor reads a record: the speed and gain of the chart and the filters it is drawn
// through. They change what is drawn, never the record. The window and velmora-cli render use
// the same settings, so both draw the same picture.

#include "analysis/filters.h"
#include "display/chart_geometry.h"
#include "record_model/ecg_record.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

// The speeds and gains a record is read and printed at: "Вид", the report's options and
// velmora-cli's --speed and --gain all offer these and no others.
constexpr double kReadingSpeeds[] = {25, 50};   // mm/s
constexpr double kReadingGains[] = {5, 10, 20}; // mm/mV
bool IsReadingSpeed(double mmPerS);
bool IsReadingGain(double mmPerMv);

struct ReadingSettings {
    double speedMmPerS = 0;  // 25 or 50; 0: the record's own speed, as the chart has always had
    double gainMmPerMv = 10; // 5, 10 or 20
    std::vector<analysis::Filter> filters;
    bool beatMarks = false; // the detected QRS complexes and the median beat's boundaries shown
};

// The command-line names of the filters: mains50, mains60, baseline (0.05 Hz), baseline067,
// muscle35, muscle40.
std::optional<analysis::Filter> FilterNamed(const std::string& name);
const char* FilterName(analysis::Filter filter);

// What the chart's corner says: "25 мм/с 10 мм/мВ 50 Гц 0.67-35 Гц".
QString ReadingSettingsText(const ReadingSettings& settings, double speedMmPerS);
// The filters alone ("50 Гц 0.67-35 Гц"); empty without filters.
QString FilterText(const std::vector<analysis::Filter>& filters);

// The record's sample area through the filters, in the record's layout; empty without filters.
// Lanes that hold nothing stay empty.
std::vector<int16_t> FilteredSamples(const ECG_RECORD& record,
                                     const std::vector<analysis::Filter>& filters);

// A record's samples through the filters, filtered again only when the record or the filters
// changed since the last time: a chart pass (a scroll step) costs no filtering.
class CFilteredSamples {
public:
    // Null without filters; else the filtered samples, valid until the next call.
    const int16_t* For(const ECG_RECORD& record, const std::vector<analysis::Filter>& filters);

private:
    std::vector<analysis::Filter> m_filters;
    std::vector<int16_t> m_from, m_samples;
};

// What calipers between two points of the chart measure: the time from the record's 409.6 points
// per second (never from screen millimetres), the amplitude from the chart's vertical scale,
// and the heart rate that interval would give.
struct CaliperValues {
    double ms = 0, mV = 0;
    double bpm = 0; // 0 for no interval
};
CaliperValues MeasureCalipers(const CChartView& view, QPoint from, QPoint to);
// "812 мс   1.25 мВ   74 уд/мин".
QString CaliperText(const CaliperValues& values);

class CSessionState;

// Puts the settings into the chart of the record s shows: the speed through the chart's own
// zoom (m_dSpeedMon; the caller runs SetRazv after), the gain, the filtered samples (kept in
// `filtered`, which must outlive the drawing) and the corner text.
void ApplyReadingSettings(const ReadingSettings& settings, CSessionState& s, CChartView& view,
                          CFilteredSamples& filtered);
