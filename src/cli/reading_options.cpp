#include "cli/reading_options.h"

#include "cli/cli_common.h"
#include "cli/options.h"

#include <algorithm>
#include <span>
#include <string>

namespace {

// "25 or 50", "5, 10 or 20".
std::string Choices(std::span<const double> values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += i + 1 == values.size() ? " or " : ", ";
        text += QString::number(values[i]).toStdString();
    }
    return text;
}

// The value of option `name` when it is one of `values`; false after a message otherwise.
bool Choice(const char* command, const COptions& opts, const char* name,
            std::span<const double> values, const char* unit, double* out) {
    const QString text = opts.Value(QLatin1String(name));
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || std::find(values.begin(), values.end(), v) == values.end()) {
        Message(command, std::string("--") + name + " is " + Choices(values) + " (" + unit +
                             "), not " + text.toStdString());
        return false;
    }
    *out = v;
    return true;
}

} // namespace

bool ReadingFromOptions(const char* command, const COptions& opts, ReadingSettings* reading) {
    if (opts.Has(QStringLiteral("speed")) &&
        !Choice(command, opts, "speed", kReadingSpeeds, "mm/s", &reading->speedMmPerS))
        return false;
    if (opts.Has(QStringLiteral("gain")) &&
        !Choice(command, opts, "gain", kReadingGains, "mm/mV", &reading->gainMmPerMv))
        return false;
    for (const QString& name : opts.Values(QStringLiteral("filter"))) {
        const std::optional<analysis::Filter> f = FilterNamed(name.toStdString());
        if (!f) {
            Message(command, "unknown filter " + name.toStdString() +
                                 ": use mains50, mains60, baseline, baseline067, muscle35 or "
                                 "muscle40");
            return false;
        }
        reading->filters.push_back(*f);
    }
    return true;
}
