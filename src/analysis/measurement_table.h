#pragma once
// The measurements as the program shows them: one row per value with its key (for JSON), its
// labels in English (the command line) and Russian (the window) and its unit, so that both
// front-ends list the same values in the same order. The Russian labels and units are the
// window's source texts (context "MeasurementTable"): what the window and the report show goes
// through the interface's translation, which velmora-cli does not load.

#include "analysis/measurements.h"

#include <optional>
#include <string>
#include <vector>

namespace analysis {

struct MeasurementRow {
    const char* key;     // "heart_rate_bpm"
    const char* english; // "heart rate"
    const char* russian; // "ЧСС"
    const char* unit;    // "bpm", "ms", "°", "mV"
    const char* unitRu;  // "уд/мин", "мс", "°", "мВ"
    int decimals;
    std::optional<double> value;
};

std::vector<MeasurementRow> MeasurementRows(const Measurements& m);

// A value as the program prints it: rounded to the row's decimals, with its unit: the window's
// (shown: Russian, or its translation) or the command line's English one.
std::string ValueText(const MeasurementRow& row, bool shown);

// The measured values as the window shows them, "ЧСС 72 уд/мин" each in Russian (RR without its
// minimum and maximum); a value not measured is left out.
std::vector<std::string> MeasurementSummary(const Measurements& m);

// The line the record window shows under its chart: every value that was measured, and the
// warning that they are automatic measurements for a doctor to confirm.
std::string MeasurementLine(const Measurements& m);

} // namespace analysis
