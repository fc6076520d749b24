// The report's page layouts: which lead stands where, for how long, and that everything stays on
// the grid at every speed, gain and paper.

#include "report/report_layout.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace {

TEST(ReportLayout, ColumnsShowSuccessiveStretchesAndRhythmStripsTheWholeRecord) {
    ReportOptions o; // 3x4+1, 25 mm/s, 10 mm/mV, A4
    const ReportPage page = LayOutReport(o);
    EXPECT_EQ(page.widthMm, 297);
    EXPECT_EQ(page.heightMm, 210);
    ASSERT_EQ(page.strips.size(), 13u);
    for (int lane = 0; lane < 12; ++lane) {
        const ReportStrip& s = page.strips[size_t(lane)];
        EXPECT_EQ(s.lane, lane);
        EXPECT_DOUBLE_EQ(s.seconds, 2.5);
        EXPECT_DOUBLE_EQ(s.fromS, 2.5 * (lane / 3)) << "column " << lane / 3;
        EXPECT_DOUBLE_EQ(s.widthMm, 62.5);
        EXPECT_EQ(s.bRowStart, lane < 3);
    }
    const ReportStrip& rhythm = page.strips[12];
    EXPECT_EQ(rhythm.lane, 1) << "lead II";
    EXPECT_DOUBLE_EQ(rhythm.seconds, 10.0);
    EXPECT_DOUBLE_EQ(rhythm.widthMm, 250.0);
    EXPECT_DOUBLE_EQ(page.shownSeconds, 10.0);
    EXPECT_DOUBLE_EQ(page.pulseWidthMm, 5.0) << "0.2 s at 25 mm/s";

    o.layout = ReportLayout::Leads3x4Rhythm3;
    const ReportPage three = LayOutReport(o);
    ASSERT_EQ(three.strips.size(), 15u);
    EXPECT_EQ(three.strips[12].lane, 6) << "V1";
    EXPECT_EQ(three.strips[13].lane, 1) << "II";
    EXPECT_EQ(three.strips[14].lane, 10) << "V5";

    o.layout = ReportLayout::Leads6x2;
    const ReportPage six = LayOutReport(o);
    ASSERT_EQ(six.strips.size(), 12u);
    EXPECT_DOUBLE_EQ(six.strips[0].seconds, 5.0);
    EXPECT_DOUBLE_EQ(six.strips[6].fromS, 5.0) << "V1 ... V6 show the second five seconds";

    o.layout = ReportLayout::Leads12x1;
    o.speedMmPerS = 50;
    const ReportPage fast = LayOutReport(o);
    ASSERT_EQ(fast.strips.size(), 12u);
    EXPECT_LT(fast.shownSeconds, 10.0) << "ten seconds at 50 mm/s are 500 mm: they do not fit";
    EXPECT_NEAR(fast.strips[0].widthMm, fast.strips[0].seconds * 50, 1e-9);

    ReportLayout parsed;
    for (const char* name : {"12x1", "6x2", "3x4+1", "3x4+3"}) {
        ASSERT_TRUE(ParseReportLayout(name, parsed)) << name;
        EXPECT_STREQ(ReportLayoutName(parsed), name);
    }
    EXPECT_FALSE(ParseReportLayout("3x4", parsed));
}

TEST(ReportLayout, StripsAndPulsesStayOnTheGridAtEverySpeedGainAndPaper) {
    for (const ReportLayout layout : {ReportLayout::Leads12x1, ReportLayout::Leads6x2,
                                      ReportLayout::Leads3x4Rhythm1, ReportLayout::Leads3x4Rhythm3})
        for (const double speed : {25.0, 50.0})
            for (const double gain : {5.0, 10.0, 20.0})
                for (const ReportPaper paper : {ReportPaper::A4, ReportPaper::Letter}) {
                    const ReportPage page = LayOutReport({layout, speed, gain, paper});
                    SCOPED_TRACE(std::string(ReportLayoutName(layout)) + " " +
                                 std::to_string(speed) + " " + std::to_string(gain));
                    const RectMm& g = page.grid;
                    EXPECT_GE(g.y, page.header.y + page.header.h);
                    EXPECT_LE(g.y + g.h, page.footer.y);
                    EXPECT_GE(page.pulseXMm, g.x);
                    std::map<double, double> rowEnd; // a row's strips side by side
                    for (const ReportStrip& s : page.strips) {
                        EXPECT_GE(s.xMm, page.pulseXMm + page.pulseWidthMm);
                        EXPECT_LE(s.xMm + s.widthMm, g.x + g.w + 1e-9);
                        EXPECT_GT(s.yMm - gain, g.y) << "the 1 mV pulse stands in the grid";
                        EXPECT_LT(s.yMm, g.y + g.h);
                        EXPECT_GE(s.fromS, 0);
                        EXPECT_LE(s.fromS + s.seconds, 10.0 + 1e-9);
                        EXPECT_GE(s.xMm, rowEnd[s.yMm] - 1e-9) << "no overlap within a row";
                        rowEnd[s.yMm] = s.xMm + s.widthMm;
                    }
                }
}

} // namespace
