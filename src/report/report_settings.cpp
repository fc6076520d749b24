#include "report/report_settings.h"

#include "display/reading_settings.h"

namespace {

const QString kGroup = QStringLiteral("Report");

} // namespace

ReportOptions LoadReportOptions(const CAppProfile& profile) {
    ReportOptions o;
    ReportLayout layout;
    if (ParseReportLayout(profile.GetProfileString(kGroup, QStringLiteral("Layout")).toStdString(),
                          layout))
        o.layout = layout;
    // Only the values the report offers; anything else in the profile keeps the default.
    const double speed = profile.GetProfileString(kGroup, QStringLiteral("Speed")).toDouble();
    if (IsReadingSpeed(speed))
        o.speedMmPerS = speed;
    const double gain = profile.GetProfileString(kGroup, QStringLiteral("Gain")).toDouble();
    if (IsReadingGain(gain))
        o.gainMmPerMv = gain;
    if (profile.GetProfileString(kGroup, QStringLiteral("Paper")) == QLatin1String("letter"))
        o.paper = ReportPaper::Letter;
    return o;
}

bool StoreReportOptions(CAppProfile& profile, const ReportOptions& o) {
    return profile.WriteProfileString(kGroup, QStringLiteral("Layout"),
                                      QString::fromLatin1(ReportLayoutName(o.layout))) &&
           profile.WriteProfileString(kGroup, QStringLiteral("Speed"),
                                      QString::number(o.speedMmPerS)) &&
           profile.WriteProfileString(kGroup, QStringLiteral("Gain"),
                                      QString::number(o.gainMmPerMv)) &&
           profile.WriteProfileString(kGroup, QStringLiteral("Paper"),
                                      o.paper == ReportPaper::Letter ? QStringLiteral("letter")
                                                                     : QStringLiteral("a4"));
}
