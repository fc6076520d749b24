// The arithmetic of the drawings, without drawing: densities, scale, lead groups, fonts, the
// sweep, the progress bar, the scroll range and the scroll events; and the string table.

#include "display/chart_geometry.h"
#include "platform/string_table.h"
#include "record_model/session_state.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(ChartGeometry, DensityZoomStepAndScrollRange) {
    EXPECT_NEAR(PxPerCm(1280, 340), 37.647, 0.001);
    EXPECT_NEAR(PxPerCm(1280, 340) / 10, 3.7647, 0.0001) << "fine line spacing";
    EXPECT_DOUBLE_EQ(PxPerCm(800, 0), kDefaultPxPerCm) << "a screen without a physical size";
    EXPECT_DOUBLE_EQ(PxPerCm(0, 340), kDefaultPxPerCm);

    EXPECT_DOUBLE_EQ(ZoomFromSpeed(50), 1.0);
    EXPECT_DOUBLE_EQ(ZoomFromSpeed(25), 2.0);
    EXPECT_DOUBLE_EQ(ZoomFromSpeed(10), 5.0);
    EXPECT_DOUBLE_EQ(ZoomFromSpeed(0), 1.0);
    EXPECT_DOUBLE_EQ(ZoomFromSpeed(-25), 1.0);
    EXPECT_EQ(SetMyScrollRange(1.0), 2013);
    EXPECT_EQ(SetMyScrollRange(2.0), 1204);
    EXPECT_EQ(SetMyScrollRange(5.0), 542);
    EXPECT_DOUBLE_EQ(ScaleY(40), 0.08) << "500 units per centimetre";
    EXPECT_DOUBLE_EQ(TimeRate(2.0), 204.8);

    // At zoom 1 and 40 px/cm, point i lies at x0 + ceil(i / 2).
    EXPECT_DOUBLE_EQ(StepX(40, 1.0), 0.5);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(ChartPointX(i, 0.5, 35), 35 + (i + 1) / 2) << i;
    EXPECT_EQ(ChartPointCount(1000, 0.5), 2000);
    EXPECT_EQ(ChartPointCount(1001, 0.5), 2002) << "i < 2002 while i < 1001 / 0.5";
    EXPECT_EQ(ChartPointCount(1000, 0.0), 0);
    EXPECT_EQ(ChartPointY(100, 500, 0.08), 60) << "positive values go up, 500 units = 1 cm";
    EXPECT_EQ(ChartPointY(100, -500, 0.08), 140);
    EXPECT_EQ(ChartPointY(10, 500, 0.08), -30) << "off the top: drawn as computed, clipped";
}

TEST(ChartGeometry, StepStartsAtZoomOneAndSetRazvFollowsTheSweepSpeed) {
    CChartView view;
    CSessionState s;
    FirstRun(view, 40, 40);
    EXPECT_DOUBLE_EQ(view.m_dStepX, 0.5);
    s.m_dSpeedMon = 25;
    EXPECT_EQ(SetRazv(view, s), 1204);
    EXPECT_DOUBLE_EQ(s.m_dZoom, 2.0);
    EXPECT_DOUBLE_EQ(view.m_dStepX, 0.25);
    FirstRun(view, 38, 38); // a later density keeps the step SetRazv gave
    EXPECT_DOUBLE_EQ(view.m_dStepX, 0.25);
    s.m_dSpeedMon = 0;
    EXPECT_EQ(SetRazv(view, s), 2013);
    EXPECT_DOUBLE_EQ(s.m_dZoom, 1.0);
    EXPECT_DOUBLE_EQ(view.m_dStepX, 38 * 5.0 / 400);
}

TEST(ChartGeometry, LeadGroupsLabelsAndLanesStayInsideTheirTables) {
    EXPECT_EQ(LeadGroupOf(1).nLanes, 12);
    EXPECT_EQ(LeadGroupOf(2).nLanes, 3);
    EXPECT_EQ(LeadGroupOf(3).nLanes, 4);
    for (int other : {0, 4, -1, 255})
        EXPECT_EQ(LeadGroupOf(other).nLanes, 0) << other;
    EXPECT_STREQ(LeadLabel(1, 0, 0), "I");
    EXPECT_STREQ(LeadLabel(1, 0, 3), "aVR") << "as the printed report writes it";
    EXPECT_STREQ(LeadLabel(1, 2, 3), "aVF");
    EXPECT_STREQ(LeadLabel(1, 0, 11), "V6");
    EXPECT_STREQ(LeadLabel(2, 0, 0), "D");
    EXPECT_STREQ(LeadLabel(2, 0, 2), "I");
    EXPECT_STREQ(LeadLabel(3, 0, 3), "S4");
    // Lanes chosen for one system and labels asked for another never read past the table.
    EXPECT_EQ(LeadLabel(3, 0, 4), nullptr);
    EXPECT_EQ(LeadLabel(2, 0, 3), nullptr) << "a Nehb chart never shows Slopak's labels";
    EXPECT_EQ(LeadLabel(1, 0, 12), nullptr);
    EXPECT_EQ(LeadLabel(1, 0, 19), nullptr);
    EXPECT_EQ(LeadLabel(7, 0, 0), nullptr);
    EXPECT_EQ(LeadLabel(1, -1, 0), nullptr);

    CSessionState s;
    s.m_nLanes = 12;
    EXPECT_EQ(DisplayedLanes(s), 12);
    s.m_nLanes = 17;
    EXPECT_EQ(DisplayedLanes(s), 12) << "a point holds 12 lanes";
    s.m_nFirstLane = 10;
    EXPECT_EQ(DisplayedLanes(s), 2);
    s.m_nFirstLane = 12;
    EXPECT_EQ(DisplayedLanes(s), 0);
    s.m_nFirstLane = -1;
    EXPECT_EQ(DisplayedLanes(s), 0);
    s.m_nFirstLane = 0;
    s.m_nLanes = -3;
    EXPECT_EQ(DisplayedLanes(s), 0);
}

TEST(ChartGeometry, FontsLabelsBaselinesAndTextPositions) {
    EXPECT_EQ(FontHeightsFor(1000).nLabel, 26);
    EXPECT_EQ(FontHeightsFor(1000).nSmall, 24);
    EXPECT_EQ(FontHeightsFor(400).nLabel, 14) << "floor of 14";
    EXPECT_EQ(FontHeightsFor(400).nSmall, 14);
    EXPECT_EQ(StatusFontHeight(440), 20);

    // Labels: centred in the margin, band centres with two truncating divisions.
    EXPECT_EQ(LabelPos(1000, 1000, 0, 0, 12, 10, 20), QPoint(35 / 2 - 5, 41 - 10));
    EXPECT_EQ(LabelPos(1000, 1000, 0, 11, 12, 10, 20), QPoint(12, (23 * 1000 / 2) / 12 - 10));
    EXPECT_EQ(LaneBaseline(0, 12, 1000), 41);
    EXPECT_EQ(LaneBaseline(11, 12, 1000), 958);
    EXPECT_EQ(LaneBaseline(1, 3, 1000), 500);
    EXPECT_EQ(TimeLabelPos(1000, 900), QPoint(800, 850));
    EXPECT_EQ(TimeLabelPoints(2013, 2.0), 1006);

    CChartView view;
    view.m_nWidth = 560;
    view.m_nHeight = 400;
    view.m_dPxPerCmX = view.m_dPxPerCmY = 40;
    QPoint mark[6];
    EXPECT_FALSE(CalibrationMark(view, 1, false, mark)) << "no record, no mark";
    ASSERT_TRUE(CalibrationMark(view, 9, true, mark)) << "no lanes: at x0, from the top";
    EXPECT_EQ(mark[0], QPoint(41, 40));
    view.m_nSensitivityMon = 0;
    EXPECT_FALSE(CalibrationMark(view, 1, true, mark));
}

TEST(ChartGeometry, SweepWrapsTenPixelsShortOfTheRightEdge) {
    CChartView view;
    view.m_nWidth = 1000;
    view.m_nHeight = 600;
    view.m_dPxPerCmX = view.m_dPxPerCmY = 37.8;
    view.m_dStepX = 99; // the strip keeps its own pace whatever the chart's zoom
    const SweepGeometry g = SweepGeometryOf(view);
    EXPECT_DOUBLE_EQ(g.dStepX, 0.4725);
    EXPECT_EQ(g.nX0, 35);
    EXPECT_EQ(SweepX(g, 1), 35);
    EXPECT_EQ(SweepPositionsBeforeWrap(g), 2021);
    EXPECT_FALSE(SweepWraps(g, 2021));
    EXPECT_TRUE(SweepWraps(g, 2022));
    EXPECT_EQ(SweepBaseline(0, 12, 600), 25);
    EXPECT_EQ(SweepBaseline(11, 12, 600), 575);

    view.m_nWidth = 10; // no room to sweep: wraps at once, no hang
    EXPECT_EQ(SweepPositionsBeforeWrap(SweepGeometryOf(view)), 0);
    view.m_dPxPerCmX = 0;
    EXPECT_EQ(SweepPositionsBeforeWrap(SweepGeometryOf(view)), 0);
}

TEST(ChartGeometry, ProgressBarFillsWithTheReceivedShare) {
    const ProgressGeometry half = ProgressGeometryOf(900, 600, 2048);
    EXPECT_EQ(half.frame, QRect(300, 286, 300, 20)); // top = 300 - 20 / 1.5 = 286.67
    EXPECT_EQ(half.fill, QRect(302, 288, 148, 16)) << "half of W - 4";
    EXPECT_EQ(half.nCaptionY, 246);

    const ProgressGeometry one = ProgressGeometryOf(900, 600, 1);
    EXPECT_EQ(one.nPercent, 0);
    EXPECT_TRUE(one.fill.isEmpty());
    EXPECT_EQ(ProgressGeometryOf(900, 600, 4095).nPercent, 99);
    const ProgressGeometry over = ProgressGeometryOf(900, 600, 100000);
    EXPECT_EQ(over.nPercent, 100);
    EXPECT_EQ(over.fill.width(), 296) << "never past the bar";
    EXPECT_TRUE(ProgressGeometryOf(9, 20, 2048).fill.isEmpty()) << "a bar too small to fill";
}

TEST(ChartGeometry, ScrollEventsMoveByLinesPagesAndEnds) {
    auto scroll = [](int code, int p, bool trackOk = true, int track = 0) {
        return OnHScroll(code, p, 0, 2013, trackOk, track, true);
    };
    ScrollResult r = scroll(SB_LINERIGHT, 1990);
    EXPECT_TRUE(r.bApply);
    EXPECT_EQ(r.nScrollBarPos, 2030);
    EXPECT_EQ(r.nScrollPos, 2012) << "a step past the end stops short of the limit";
    EXPECT_EQ(scroll(SB_RIGHT, 5).nScrollPos, 2013);
    EXPECT_EQ(scroll(SB_LINERIGHT, 2013).nScrollPos, 2013) << "at the limit a step stays";
    EXPECT_EQ(scroll(SB_LINERIGHT, 100).nScrollPos, 140);
    EXPECT_EQ(scroll(SB_PAGERIGHT, 100).nScrollPos, 501);
    EXPECT_EQ(scroll(SB_PAGELEFT, 600).nScrollPos, 199);
    r = scroll(SB_LINELEFT, 20);
    EXPECT_EQ(r.nScrollBarPos, -20);
    EXPECT_EQ(r.nScrollPos, 0);
    EXPECT_EQ(scroll(SB_LINELEFT, 0).nScrollPos, 0);
    EXPECT_EQ(scroll(SB_PAGELEFT, 0).nScrollBarPos, 0);
    EXPECT_EQ(scroll(SB_LEFT, 700).nScrollPos, 0);
    EXPECT_EQ(scroll(SB_THUMBTRACK, 3, true, 777).nScrollPos, 777);
    EXPECT_EQ(scroll(SB_THUMBPOSITION, 3, true, 2013).nScrollPos, 2013);
    EXPECT_FALSE(scroll(SB_THUMBTRACK, 3, false, 777).bApply) << "failed query changes nothing";
    r = scroll(SB_ENDSCROLL, 321);
    EXPECT_TRUE(r.bApply);
    EXPECT_EQ(r.nScrollPos, 321);
    EXPECT_FALSE(OnHScroll(SB_RIGHT, 0, 0, 2013, true, 0, false).bApply)
        << "before any record the chart does not move";
}

TEST(StringTable, TextsByIdentifier) {
    EXPECT_STREQ(LoadStringUtf8(ids::Processing), "Обработка данных");
    EXPECT_STREQ(LoadStringUtf8(ids::ConnectionLost), "Обрыв связи !");
    EXPECT_STREQ(LoadStringUtf8(ids::Receiving), "Идет прием данных");
    EXPECT_STREQ(LoadStringUtf8(ids::Sending), "Идет передача данных");
    EXPECT_EQ(LoadString(131), QString::fromUtf8("Эйнтховен"));
    EXPECT_EQ(LoadString(132).size(), 3);
    EXPECT_EQ(LoadString(133), QString::fromUtf8("Слопак"));
    for (int id = 135; id <= 138; ++id)
        EXPECT_TRUE(LoadString(id).contains(QString::fromUtf8("Гц"))) << id;
    EXPECT_EQ(LoadStringUtf8(134), nullptr);
    EXPECT_EQ(LoadStringUtf8(0), nullptr);
    EXPECT_TRUE(LoadString(99999).isEmpty());
}

} // namespace
