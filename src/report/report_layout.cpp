#include "report/report_layout.h"

#include "record_model/ecg_record.h"

#include <algorithm>

namespace {

constexpr double kMarginMm = 10;
constexpr double kHeaderMm = 38;
constexpr double kFooterMm = 8;
constexpr double kPulseGapMm = 2;     // between the pulse and the strip
constexpr double kPulseSeconds = 0.2; // the pulse's width in time
constexpr double kRecordSeconds = kPoints / kPointsPerSecond;

} // namespace

bool ParseReportLayout(const std::string& text, ReportLayout& out) {
    for (const ReportLayout l : {ReportLayout::Leads12x1, ReportLayout::Leads6x2,
                                 ReportLayout::Leads3x4Rhythm1, ReportLayout::Leads3x4Rhythm3})
        if (text == ReportLayoutName(l)) {
            out = l;
            return true;
        }
    return false;
}

const char* ReportLayoutName(ReportLayout layout) {
    switch (layout) {
    case ReportLayout::Leads12x1:
        return "12x1";
    case ReportLayout::Leads6x2:
        return "6x2";
    case ReportLayout::Leads3x4Rhythm1:
        return "3x4+1";
    case ReportLayout::Leads3x4Rhythm3:
        return "3x4+3";
    }
    return "";
}

ReportPage LayOutReport(const ReportOptions& o) {
    ReportPage page;
    page.widthMm = o.paper == ReportPaper::Letter ? 279.4 : 297.0;
    page.heightMm = o.paper == ReportPaper::Letter ? 215.9 : 210.0;
    const double inner = page.widthMm - 2 * kMarginMm;
    page.header = {kMarginMm, kMarginMm, inner, kHeaderMm};
    page.footer = {kMarginMm, page.heightMm - kMarginMm - kFooterMm, inner, kFooterMm};
    page.grid = {kMarginMm, page.header.y + page.header.h + 2, inner,
                 page.footer.y - 2 - (page.header.y + page.header.h + 2)};
    page.pulseWidthMm = kPulseSeconds * o.speedMmPerS;
    page.pulseXMm = page.grid.x + 1;
    const double stripX = page.pulseXMm + page.pulseWidthMm + kPulseGapMm;
    const double stripWidth = page.grid.x + page.grid.w - stripX;
    // A record is ten seconds; a strip shows what of it fits at the speed.
    const double fits = stripWidth / o.speedMmPerS;

    std::vector<std::vector<int>> columns; // lanes of each column, top to bottom
    std::vector<int> rhythm;               // full-length strips under the columns
    switch (o.layout) {
    case ReportLayout::Leads12x1:
        columns = {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
        break;
    case ReportLayout::Leads6x2:
        columns = {{0, 1, 2, 3, 4, 5}, {6, 7, 8, 9, 10, 11}};
        break;
    case ReportLayout::Leads3x4Rhythm1:
        columns = {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {9, 10, 11}};
        rhythm = {1};
        break;
    case ReportLayout::Leads3x4Rhythm3:
        columns = {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {9, 10, 11}};
        rhythm = {6, 1, 10};
        break;
    }
    // Rows share the grid's height; the first baseline lies low enough for the 1 mV pulse to
    // stand inside the grid at any gain.
    const double rows = double(columns[0].size() + rhythm.size());
    double firstMm = std::max(page.grid.h / rows / 2, o.gainMmPerMv + 1);
    page.rowHeightMm = (page.grid.h - firstMm) / (rows - 0.5);
    firstMm = std::max(firstMm, page.rowHeightMm / 2);
    const double columnWidth = stripWidth / double(columns.size());
    // Each column shows the next stretch of the record: 2.5 s each in four columns at 25 mm/s.
    const double columnSeconds =
        std::min(kRecordSeconds / double(columns.size()), columnWidth / o.speedMmPerS);
    for (size_t c = 0; c < columns.size(); ++c)
        for (size_t r = 0; r < columns[c].size(); ++r)
            page.strips.push_back({columns[c][r], double(c) * columnSeconds, columnSeconds,
                                   stripX + double(c) * columnWidth,
                                   page.grid.y + firstMm + double(r) * page.rowHeightMm,
                                   columnSeconds * o.speedMmPerS, c == 0});
    const double full = std::min(kRecordSeconds, fits);
    for (size_t k = 0; k < rhythm.size(); ++k)
        page.strips.push_back(
            {rhythm[k], 0.0, full, stripX,
             page.grid.y + firstMm + double(columns[0].size() + k) * page.rowHeightMm,
             full * o.speedMmPerS, true});
    page.shownSeconds = rhythm.empty() ? columnSeconds * double(columns.size()) : full;
    return page;
}
