// The grid and the chart pass drawn into images on the offscreen platform, checked pixel by
// pixel: grid spacing, the empty margin, labels and bands of each lead system, curve baselines
// and scale, the end of the record when scrolled, the time label and the calibration mark.

#include "display_support.h"

#include "display/monitor_renderer.h"
#include "platform/string_table.h"

#include <QFont>
#include <QFontMetrics>
#include <QPolygon>
#include <vector>

namespace {

testing::Environment* const g_gui = testing::AddGlobalTestEnvironment(new GuiEnvironment);

// Pixels of the orange text colour or its antialiased blends with the paper.
int TextInk(const QImage& img, const QRect& r) {
    int n = 0;
    const QRect c = r & img.rect();
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x = c.left(); x <= c.right(); ++x) {
            const QRgb px = img.pixel(x, y);
            n += qRed(px) == 255 && qGreen(px) < 200;
        }
    return n;
}

// The grid with the given labels drawn where a reader expects them: centred in the margin and
// in their bands, in the black label font of the window's height.
QImage ExpectedLabels(const QImage& grid, const std::vector<const char*>& labels) {
    QImage img = grid.copy();
    const int w = img.width(), h = img.height(), lanes = int(labels.size());
    const int hh = std::max(h / 40, 14);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(hh + hh / 20);
    font.setWeight(QFont::Black);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(QColor(255, 84, 0));
    const QFontMetrics fm = p.fontMetrics();
    for (int k = 0; k < lanes; ++k) {
        const QString text = QString::fromLatin1(labels[size_t(k)]);
        const int x = (w / 28) / 2 - fm.horizontalAdvance(text) / 2;
        const int y = ((2 * k + 1) * h / 2) / lanes - fm.height() / 2;
        p.drawText(x, y + fm.ascent(), text);
    }
    return img;
}

TEST(ChartRender, GridHasMillimetreAndCentimetreLinesFromX0AndAnEmptyMargin) {
    ViewBuffers b(560, 200, 40.0); // x0 = 20, lines every 4 and 40 pixels
    const QImage& g = b.grid;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(g.pixel(x, y), kBack) << "margin at " << x << "," << y;
    for (int x = 20; x < 560; ++x) {
        const QRgb want = (x - 20) % 40 == 0 ? kCoarse : (x - 20) % 4 == 0 ? kFine : kBack;
        ASSERT_EQ(g.pixel(x, 2), want) << "row 2, column " << x;
    }
    for (int y = 0; y < 200; ++y) {
        const QRgb want = y % 40 == 0 ? kCoarse : y % 4 == 0 ? kFine : kBack;
        ASSERT_EQ(g.pixel(22, y), want) << "column 22, row " << y;
    }
    EXPECT_EQ(g, b.chart) << "a size event leaves the grid in the chart buffer";

    // 1280 pixels on 340 mm: fine lines 3.76 pixels apart, starting at x0, coarse every 37.6.
    const double px = PxPerCm(1280, 340);
    ViewBuffers odd(700, 120, px);
    std::vector<int> fine, coarse;
    for (int x = 0; x < 700; ++x) {
        const QRgb c = odd.grid.pixel(x, 1);
        if (c == kFine || c == kCoarse)
            fine.push_back(x);
        if (c == kCoarse)
            coarse.push_back(x);
    }
    ASSERT_GE(fine.size(), 150u);
    EXPECT_EQ(fine.front(), 25);
    for (size_t i = 1; i < fine.size(); ++i)
        ASSERT_TRUE(fine[i] - fine[i - 1] == 3 || fine[i] - fine[i - 1] == 4) << fine[i];
    ASSERT_EQ(coarse.size(), 18u);
    for (size_t i = 0; i < coarse.size(); ++i)
        EXPECT_NEAR(coarse[i], 25 + i * px, 1.0) << i;

    // Against the grid drawn line by line: fine verticals, fine horizontals, then the coarse
    // ones over them, each line from its truncated accumulated position.
    for (auto [dx, dy] : {std::pair{px, px}, std::pair{45.3, 31.7}, std::pair{9.9, 120.0}}) {
        SCOPED_TRACE(testing::Message() << dx << " x " << dy);
        CChartView v;
        FirstRun(v, dx, dy);
        SetSize(v, 733, 411);
        QImage got(733, 411, QImage::Format_RGB32), want(733, 411, QImage::Format_RGB32);
        QPainter p(&got);
        DrawGrid(p, v, CChartStyle());
        p.end();
        const CChartStyle st;
        p.begin(&want);
        p.fillRect(want.rect(), st.m_hBackBrush);
        for (auto [pen, div] : {std::pair{st.m_hFinePen, 10.0}, std::pair{st.m_hCoarsePen, 1.0}}) {
            p.setPen(pen);
            for (double x = 733 / 28; x < 733; x += dx / div)
                p.drawLine(int(x), 0, int(x), 411);
            for (double y = 0; y < 411; y += dy / div)
                p.drawLine(733 / 28, int(y), 733, int(y));
        }
        p.end();
        EXPECT_TRUE(SameIn(got, want, got.rect()));
    }
}

TEST(ChartRender, FreshViewShowsGridAndTwelveLabelsOnly) {
    ViewBuffers b(1120, 1000, 40.0);
    CSessionState s;
    ASSERT_EQ(b.Chart(s), ChartPass::Drawn);
    EXPECT_EQ(s.m_nLanes, 12) << "the first pass chooses the lead group";
    const QImage want = ExpectedLabels(
        b.grid, {"I", "II", "III", "aVR", "aVL", "aVF", "V1", "V2", "V3", "V4", "V5", "V6"});
    EXPECT_TRUE(SameIn(b.chart, want, b.chart.rect()))
        << "26-pixel labels centred in their bands; no curves, time label or mark";
}

TEST(ChartRender, LeadSystemsDrawTheirBandsAndLabels) {
    struct Case {
        int system;
        std::vector<const char*> labels;
    };
    for (const Case& c : {Case{2, {"D", "A", "I"}}, Case{3, {"S1", "S2", "S3", "S4"}}}) {
        SCOPED_TRACE(c.system);
        ViewBuffers b(1120, 1200, 40.0);
        CSessionState s;
        s.m_nLeadSystem = c.system;
        // Lane k at 100 (k + 1) units: 8 (k + 1) pixels above its band's baseline; the lanes
        // past the group hold a value that would show anywhere.
        ShowRecord(s, [](int, int lane) { return lane < 4 ? 100 * (lane + 1) : 2047; });
        b.Chart(s);
        const int lanes = int(c.labels.size());
        EXPECT_EQ(s.m_nLanes, lanes);
        EXPECT_TRUE(SameIn(b.chart, ExpectedLabels(b.grid, c.labels), QRect(0, 0, 40, 1200)));
        for (int k = 0; k < lanes; ++k) {
            const int y = (2 * k + 1) * 1200 / (2 * lanes) - 8 * (k + 1);
            EXPECT_EQ(CountColour(b.chart, QRect(100, y, 1000, 1), kCurve), 1000) << k;
        }
        EXPECT_EQ(CountColour(b.chart, b.chart.rect(), kCurve), lanes * (1120 - 40))
            << "one horizontal line per band and nothing else";
    }

    // A lead system the table does not know: no bands, no labels, no curves.
    ViewBuffers b(1120, 600, 40.0);
    CSessionState s;
    s.m_nLeadSystem = 9;
    ShowRecord(s, [](int, int) { return 300; });
    b.Chart(s);
    EXPECT_EQ(s.m_nLanes, 0);
    EXPECT_EQ(InkIn(b.chart, QRect(0, 0, 40, 600)), 0);
    EXPECT_EQ(CountColour(b.chart, b.chart.rect(), kCurve), 0);
}

TEST(ChartRender, WaveformSitsAtItsScaledOffsetFromTheBaseline) {
    ViewBuffers b(1120, 1200, 40.0); // x0 = 40; baselines at 50, 150, ... 1150
    CSessionState s;
    ShowRecord(s, [](int, int lane) { return lane % 2 ? -500 : 500; });
    b.Chart(s);
    EXPECT_DOUBLE_EQ(b.view.m_dScaleY, 0.08);
    for (int k = 0; k < 12; ++k) {
        const int yk = 50 + 100 * k;
        const int y = k % 2 ? yk + 40 : yk - 40; // 500 units = 1 cm, positive up
        EXPECT_EQ(CountColour(b.chart, QRect(100, y, 900, 1), kCurve), 900) << k;
        EXPECT_EQ(CountColour(b.chart, QRect(100, yk, 900, 1), kCurve), 0) << k;
    }
    // The curves start at x0: nothing of them in the margin.
    EXPECT_EQ(CountColour(b.chart, QRect(0, 0, 40, 1200), kCurve), 0);
    EXPECT_EQ(b.chart.pixel(40, 10), kCurve);
}

TEST(ChartRender, ScrolledToTheEndTheCurvesStopAtTheLastPoint) {
    ViewBuffers b(1400, 1200, 40.0); // x0 = 50, room for 2700 points
    CSessionState s;
    // Flat, with a 1 cm spike on the very last point; the info block behind the samples holds
    // values that would draw far off the baseline if it were read as points.
    ShowRecord(s, [](int point, int) { return point == kPoints - 1 ? 500 : 0; });
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(s.m_pCurves, info);
    b.view.m_nScrollPos = 2013;
    b.Chart(s);
    const int xEnd = 50 + 1041; // point 4095 is i = 2082: x0 + ceil(2082 / 2)
    for (int k = 0; k < 12; ++k) {
        const int yk = 50 + 100 * k;
        EXPECT_EQ(b.chart.pixel(xEnd - 1, yk), kCurve) << k;
        EXPECT_GE(CountColour(b.chart, QRect(xEnd, yk - 39, 1, 39), kCurve), 39) << "spike " << k;
    }
    EXPECT_EQ(CountColour(b.chart, QRect(xEnd + 1, 0, 1400, 1200), kCurve), 0)
        << "the rest of the bands stays empty";

    // A position left of the record's start (never given by the scroll events) draws from
    // point 0 on, at its place.
    b.view.m_nScrollPos = -100;
    b.Chart(s);
    EXPECT_EQ(CountColour(b.chart, QRect(50, 0, 50, 1200), kCurve), 0);
    EXPECT_EQ(CountColour(b.chart, QRect(110, 50, 1000, 1), kCurve), 1000);
}

TEST(ChartRender, CurvesHaveThePixelsOfAPolylineThroughEveryPoint) {
    // Flat stretches, slow slopes, steep spikes both ways and noise: whatever the chart pass
    // leaves out of its polylines, the picture must be that of a line through every point of
    // the lane, at every step size.
    CSessionState s;
    uint32_t seed = 12345;
    ShowRecord(s, [&seed](int point, int lane) {
        seed = seed * 1664525u + 1013904223u;
        const int noise = int(seed >> 29) - 4;
        if (point % 700 == 350)
            return lane % 2 ? -1500 : 1500;
        if ((point / 200) % 3 == 0)
            return point % 50 < 25 ? 0 : noise;
        return (point % 200) * (lane + 1) + noise;
    });
    for (double px : {37.8, 40.0, 100.0}) {
        for (double zoom : {1.0, 2.0}) {
            SCOPED_TRACE(testing::Message() << px << " px/cm, zoom " << zoom);
            ViewBuffers b(1300, 900, px);
            b.view.m_nSensitivityMon = 0;
            b.view.m_dStepX = StepX(px, zoom);
            b.view.m_nScrollPos = 300;
            b.Chart(s);

            QImage want = b.grid.copy();
            QPainter p(&want);
            DrawButtons(p, b.view, s, b.style, MakeChartFonts(900, b.style).m_hFontLabel);
            p.setPen(b.style.m_hCurvePen);
            const int x0 = LeftMargin(1300);
            const int n = ChartPointCount(1300 - x0, b.view.m_dStepX);
            int drawn = 0;
            for (int k = 0; k < 12; ++k) {
                const int yk = LaneBaseline(k, 12, 900);
                QPolygon lane;
                for (int i = 0; i < n && 300 + i < kPoints; ++i)
                    lane << QPoint(ChartPointX(i, b.view.m_dStepX, x0),
                                   ChartPointY(yk, Sample(s.m_pCurves, 300 + i, k), ScaleY(px)));
                p.drawPolyline(lane);
                drawn += lane.size();
            }
            p.end();
            EXPECT_GT(drawn, 12 * 1000);
            EXPECT_TRUE(SameIn(b.chart, want, b.chart.rect()));
        }
    }
}

TEST(ChartRender, APassOverAnEarlierOnePutsBackWhatThatOneDrewAndLooksFresh) {
    // Each pass into the kept buffer must give the picture of a pass into a fresh copy of the
    // grid, whatever the pass before it drew: other positions, bands, labels, the time label,
    // curves far off the window, the mail send's message, buffers rebuilt at another size.
    ViewBuffers b(1300, 900, 37.8);
    CChartDamage damage;
    CSessionState s;
    int passes = 0;
    const auto check = [&](const char* what) {
        SCOPED_TRACE(what);
        ChartPass pass;
        {
            QPainter p(&b.chart);
            pass = DrawCurves(p, b.grid, b.view, s, b.style, &damage);
        }
        CChartView view = b.view;
        QImage fresh = b.grid.copy();
        {
            QPainter p(&fresh);
            DrawCurves(p, b.grid, view, s, b.style);
        }
        ASSERT_TRUE(SameIn(b.chart, fresh, b.chart.rect()));
        if (pass == ChartPass::Drawn) {
            EXPECT_TRUE(damage.Covers(b.grid)) << "the next pass restores only what this drew";
        }
        ++passes;
    };
    check("no record: labels only");
    uint32_t seed = 99;
    ShowRecord(s, [&seed](int point, int lane) {
        seed = seed * 1664525u + 1013904223u;
        if (point % 900 == 450)
            return lane % 2 ? -32768 : 32767; // far off the window both ways
        if (point % 300 == 20)
            return 1200 - 200 * lane;
        return int(seed >> 28) - 8 + (point % 400 < 200 ? 0 : 100 * (lane % 3));
    });
    check("record at 0");
    for (int pos : {401, 1500, 2013, 1990, 0}) {
        b.view.m_nScrollPos = pos;
        check("scrolled");
    }
    s.m_Time.Initialize(
        SYSTEMTIME{.wYear = 2021, .wMonth = 11, .wDay = 30, .wHour = 23, .wMinute = 59});
    check("time label");
    b.view.m_nScrollPos = 1200;
    check("time label moved");
    s.m_nLeadSystem = 3;
    s.m_nLanes = 0;
    s.m_nFirstLane = 0;
    check("four bands with other labels");
    s.m_bSending = 1;
    check("mail send's message over the chart");
    s.m_bSending = 0;
    check("chart back after the message");
    s.m_nLeadSystem = 1;
    s.m_nLanes = 0;
    check("twelve bands again");
    RebuildBuffers(b.view, 1100, 700, b.grid, b.chart, b.style);
    check("buffers rebuilt at another size");
    RebuildBuffers(b.view, 1250, 800, b.grid, b.chart, b.style);
    damage.Clean(b.grid);
    check("rebuilt, and known to be a copy of the grid");
    s.m_pShowCurves = nullptr;
    check("record closed");
    EXPECT_EQ(passes, 16);
}

// A lead the record lacks (another system's file without it) is said in its band, never drawn as
// a flat line that would read as an isoelectric signal; the leads it has are drawn as ever.
TEST(ChartRender, AnAbsentLeadIsSaidNotDrawnAsAFlatLine) {
    ViewBuffers b(800, 480, 40.0);
    CSessionState s;
    s.m_bLoaded = 1;
    ShowRecord(s, [](int, int) { return 0; }); // every lane flat at its baseline
    s.m_nAbsentLanes = 1 << 1;                 // lane II is missing from the file
    ASSERT_EQ(b.Chart(s), ChartPass::Drawn);
    const int lanes = DisplayedLanes(s);
    ASSERT_GT(lanes, 2);
    const int x0 = LeftMargin(800);
    auto band = [&](int k) {
        const int y = LaneBaseline(k, lanes, 480);
        return QRect(x0 + 200, y - 1, 800 - x0 - 210, 3); // right of where the text ends
    };
    EXPECT_GT(CountColour(b.chart, band(0), kCurve), 300) << "lead I's flat line is its signal";
    EXPECT_EQ(CountColour(b.chart, band(1), kCurve), 0) << "no line for the absent lead II";
    const int y = LaneBaseline(1, lanes, 480);
    EXPECT_GT(CountColour(b.chart, QRect(x0, y - 20, 200, 40), qRgb(170, 170, 170)), 20)
        << "the absent lead is said in its band";
}

TEST(ChartRender, TimeLabelShowsTheLeftEdgeWhenTheRecordHasATimeBase) {
    ViewBuffers b(1000, 600, 40.0);
    CSessionState s;
    ShowRecord(s, [](int, int) { return 0; });
    const QRect label(800, 600 - 600 / 18, 200, 600 / 18);
    b.Chart(s);
    EXPECT_EQ(TextInk(b.chart, label), 0) << "a record without a time base shows no time";

    s.m_Time.Initialize(
        SYSTEMTIME{.wYear = 2012, .wMonth = 5, .wDay = 4, .wHour = 14, .wMinute = 5});
    b.view.m_nScrollPos = 2013;
    b.Chart(s);
    EXPECT_GT(TextInk(b.chart, label), 50);
    EXPECT_EQ(TextInk(b.chart, QRect(40, 600 - 600 / 18, 750, 600 / 18)), 0);
    EXPECT_STREQ(s.m_Time.m_szText,
                 ("04-05-2012 " + FormatLocalTime(SYSTEMTIME{
                                      .wYear = 2012,
                                      .wMonth = 5,
                                      .wDay = 4,
                                      .wHour = 14,
                                      .wMinute = 5,
                                      .wSecond = 4, // 2013 points at 409.6 a second
                                  }))
                     .c_str());
}

TEST(ChartRender, CalibrationMarkIsTheOneMillivoltPulseOfAShownRecord) {
    ViewBuffers b(560, 600, 40.0); // x0 20: pulse from (61, 60) up to y 20, back at x 70
    CSessionState s;
    b.Chart(s);
    EXPECT_EQ(CountColour(b.chart, b.chart.rect(), kMark), 0) << "no record, no mark";
    ShowRecord(s, [](int, int) { return 0; });
    b.Chart(s);
    EXPECT_EQ(CountColour(b.chart, QRect(65, 21, 1, 39), kMark), 39) << "rising edge";
    EXPECT_EQ(CountColour(b.chart, QRect(70, 21, 1, 39), kMark), 39) << "falling edge";
    EXPECT_EQ(CountColour(b.chart, QRect(66, 20, 4, 1), kMark), 4) << "top, 1 cm above";
    EXPECT_EQ(CountColour(b.chart, QRect(61, 60, 4, 1), kMark), 4) << "foot";
    EXPECT_NE(b.chart.pixel(74, 60), kMark) << "a line leaves out its last pixel";
    EXPECT_EQ(CountColour(b.chart, QRect(0, 62, 560, 538), kMark), 0);
}

TEST(ChartRender, LiveSessionAndMailSendKeepTheChartOff) {
    ViewBuffers b(800, 440, 40.0);
    CSessionState s;
    ShowRecord(s, [](int, int) { return 100; });
    s.m_bLiveView = 1;
    s.m_nRingPos = 7;
    QImage before = b.chart.copy();
    EXPECT_EQ(b.Chart(s), ChartPass::LiveOwnsWindow);
    EXPECT_EQ(b.chart, before) << "whatever the live picture shows stays";

    s.m_bLiveView = 0;
    s.m_bSending = 1;
    EXPECT_EQ(b.Chart(s), ChartPass::SendingMessage);
    QImage message(800, 440, QImage::Format_RGB32);
    {
        QPainter p(&message);
        DrawIDS(p, b.view, ids::Sending, b.style);
    }
    EXPECT_EQ(b.chart, message);
    EXPECT_GT(TextInk(b.chart, b.chart.rect()), 100);
    EXPECT_EQ(CountColour(b.chart, b.chart.rect(), kCurve), 0);
}

} // namespace
