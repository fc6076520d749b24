// The live strip, the progress display and the status texts drawn into images: the first pass
// wipes the window, pens sweep and wrap after the computed number of positions with the erase
// bar ahead, the bar fills with the received share, the status text is centred alone.

#include "display_support.h"

#include "display/monitor_renderer.h"
#include "platform/string_table.h"

#include <QFont>
#include <QFontMetrics>
#include <cstring>

namespace {

// Feeds `count` live points from the ring position, in ticks of at most 17, as the poll does.
void Feed(ViewBuffers& b, CSessionState& s, int count) {
    while (count > 0) {
        const int n = std::min(count, 17);
        s.m_nRingPosPrev = s.m_nRingPos;
        s.m_nNewPoints = n;
        s.m_nRingPos = (s.m_nRingPos + n) % kPoints;
        QPainter p(&b.chart);
        DrawMonitoringCurves(p, b.grid, b.view, s, b.style);
        count -= n;
    }
}

void FillLive(CSessionState& s, int value) {
    for (int i = 0; i < kPoints * kLeads; ++i)
        s.m_pCurves[i] = int16_t(value);
}

TEST(LiveStrip, FirstPassWipesTheGridAndTheEraseBarBringsItBackAhead) {
    ViewBuffers b(1000, 600, 37.8);
    CSessionState s;
    s.m_bLiveView = 1;
    Feed(b, s, 17);
    EXPECT_EQ(s.m_bMonitorCleared, 1);
    ASSERT_EQ(s.m_nLanes, 12);
    const SweepGeometry g = SweepGeometryOf(b.view);
    const int xe = SweepX(g, 18);
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(s.m_nSweepPos[size_t(k)], 18) << "all pens advance together";
        EXPECT_EQ(s.m_nLastX[size_t(k)], xe);
        EXPECT_EQ(s.m_nLastY[size_t(k)], SweepBaseline(k, 12, 600));
        EXPECT_EQ(CountColour(b.chart, QRect(35, SweepBaseline(k, 12, 600), xe - 35, 1), kCurve),
                  xe - 35)
            << k;
    }
    EXPECT_EQ(s.m_nSweepPos[12], 1) << "slots past the lanes stay untouched";
    EXPECT_EQ(b.chart.copy(xe + 2, 0, kEraseBarWidth, 600), b.grid.copy(xe + 2, 0, 15, 600));
    EXPECT_EQ(CountColour(b.chart, QRect(xe + 17, 0, 1000, 600), kBack), (1000 - xe - 17) * 600)
        << "no grid past the erase bar";
    EXPECT_GT(InkIn(b.chart, QRect(0, 0, 35, 600)), 100) << "the labels";

    // Ticks without points redraw the labels and change nothing: the labels do not thicken.
    const QImage before = b.chart.copy();
    s.m_nNewPoints = 0;
    for (int tick = 0; tick < 3; ++tick) {
        QPainter p(&b.chart);
        DrawMonitoringCurves(p, b.grid, b.view, s, b.style);
    }
    EXPECT_TRUE(SameIn(b.chart, before, b.chart.rect()));
    EXPECT_EQ(s.m_nSweepPos[0], 18);
}

TEST(LiveStrip, PensWrapAfterTheComputedNumberOfPositions) {
    ViewBuffers b(1000, 600, 37.8); // 0.4725 pixels per point, wrap when x >= 990
    CSessionState s;
    Feed(b, s, 2021);
    for (int k = 0; k < 12; ++k)
        ASSERT_EQ(s.m_nSweepPos[size_t(k)], 2022) << k;
    EXPECT_EQ(s.m_nLastX[0], 990);
    Feed(b, s, 1);
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(s.m_nSweepPos[size_t(k)], 2) << "wrapped to the left edge, lane " << k;
    EXPECT_EQ(s.m_nLastX[0], 35);
}

TEST(LiveStrip, AfterAWrapTheEraseBarWipesTheOldSweepAheadOfThePens) {
    // 100 px/cm: 1.25 pixels per point, so the first dash after a wrap is a visible pixel.
    ViewBuffers b(1000, 480, 100.0); // x0 35, wraps when x >= 990
    CSessionState s;
    const SweepGeometry g = SweepGeometryOf(b.view);
    const int before = SweepPositionsBeforeWrap(g);
    ASSERT_EQ(before, 763);
    FillLive(s, 50); // first sweep 10 pixels above the baselines
    Feed(b, s, before);
    const int oldY = ChartPointY(SweepBaseline(0, 12, 480), 50, g.dScaleY);
    ASSERT_EQ(b.chart.pixel(500, oldY), kCurve);
    FillLive(s, 0);
    Feed(b, s, 40);
    const int xe = s.m_nLastX[0];
    ASSERT_EQ(xe, SweepX(g, 41));
    for (int k = 0; k < 12; ++k) {
        const int yk = SweepBaseline(k, 12, 480);
        EXPECT_EQ(b.chart.pixel(SweepX(g, 1), yk), kCurve) << "first dash of lane " << k;
        EXPECT_EQ(CountColour(b.chart, QRect(SweepX(g, 1), yk, xe - SweepX(g, 1), 1), kCurve),
                  xe - SweepX(g, 1))
            << k;
    }
    EXPECT_EQ(CountColour(b.chart, QRect(35, oldY, xe + 17 - 35, 1), kCurve), 0)
        << "the old sweep is gone up to the end of the erase bar";
    EXPECT_EQ(b.chart.copy(xe + 2, 0, 15, 480), b.grid.copy(xe + 2, 0, 15, 480));
    EXPECT_EQ(b.chart.pixel(xe + 17 + 5, oldY), kCurve) << "and still there beyond it";
}

TEST(LiveStrip, TicksGiveThePictureOfDrawingPointByPoint) {
    // The strip drawn the plain way, one point after the other: restart strip at a wrap, a line
    // per lane, the erase bar. The renderer gathers a tick's work; the picture must not change,
    // at any pace (bars overlapping or apart), across wraps and the ring's end.
    for (double px : {37.8, 100.0, 1500.0}) {
        SCOPED_TRACE(testing::Message() << px << " px/cm");
        ViewBuffers b(900, 480, px);
        CSessionState s;
        uint32_t seed = 7;
        for (int i = 0; i < kPoints * kLeads; ++i) {
            seed = seed * 1664525u + 1013904223u;
            s.m_pCurves[i] = int16_t(int(seed >> 22) - 512);
        }
        s.m_nRingPos = 4000;
        Feed(b, s, 17); // wipes and draws the labels; the reference starts from this picture

        QImage want = b.chart.copy();
        std::array<int, kMonitorLanes> pos = s.m_nSweepPos, lastX = s.m_nLastX, lastY = s.m_nLastY;
        const SweepGeometry g = SweepGeometryOf(b.view);
        int ring = s.m_nRingPos;
        Feed(b, s, 1700);
        QPainter p(&want);
        QPen pen = b.style.m_hCurvePen;
        pen.setCapStyle(Qt::SquareCap);
        p.setPen(pen);
        for (int n = 0; n < 1700; ++n, ++ring) {
            ring %= kPoints;
            if (SweepWraps(g, pos[0])) {
                pos.fill(1);
                CopyFromGrid(p, b.grid, QRect(SweepX(g, 1), 0, kEraseBarWidth, 480));
            }
            int xe = 0;
            for (int k = 0; k < 12; ++k) {
                const int y = ChartPointY(SweepBaseline(k, 12, 480), Sample(s.m_pCurves, ring, k),
                                          ScaleY(px));
                const QPoint from =
                    pos[k] == 1 ? QPoint(SweepX(g, 1), y) : QPoint(lastX[k], lastY[k]);
                const QPoint to(SweepX(g, ++pos[k]), y);
                p.drawLine(from, to);
                lastX[k] = to.x();
                lastY[k] = to.y();
                xe = to.x();
            }
            CopyFromGrid(p, b.grid, QRect(xe + kEraseBarGap, 0, kEraseBarWidth, 480));
        }
        p.end();
        EXPECT_EQ(s.m_nSweepPos, pos);
        EXPECT_EQ(s.m_nLastY, lastY);
        EXPECT_TRUE(SameIn(b.chart, want, QRect(40, 0, 860, 480))) << "right of the labels";
    }
}

TEST(LiveStrip, RingPositionPastTheEndReadsPointZero) {
    ViewBuffers b(1000, 600, 37.8);
    CSessionState s;
    FillLive(s, 0);
    for (int lane = 0; lane < kLeads; ++lane) {
        Sample(s.m_pCurves, 0, lane) = 500;
        Sample(s.m_pCurves, kPoints - 1, lane) = -500;
    }
    s.m_nRingPosPrev = kPoints;
    s.m_nNewPoints = 1;
    QPainter p(&b.chart);
    DrawMonitoringCurves(p, b.grid, b.view, s, b.style);
    EXPECT_EQ(s.m_nLastY[0], ChartPointY(25, 500, ScaleY(37.8)));
    EXPECT_EQ(s.m_nLastY[11], ChartPointY(575, 500, ScaleY(37.8)));
}

TEST(LiveStrip, LeadSystemWithoutLanesDrawsNothing) {
    ViewBuffers b(1000, 600, 37.8);
    CSessionState s;
    s.m_nLeadSystem = 0;
    Feed(b, s, 34);
    EXPECT_EQ(s.m_nLanes, 0);
    EXPECT_EQ(s.m_nSweepPos[0], 1);
    EXPECT_EQ(CountColour(b.chart, b.chart.rect(), kBack), 1000 * 600) << "only the wipe";
}

TEST(Progress, BarFillsWithTheGridInProportionToTheReceivedPoints) {
    ViewBuffers b(900, 600, 40.0);
    CSessionState s;
    s.m_nReceived = 2048;
    {
        QPainter p(&b.chart);
        DrawReceivingProgress(p, b.grid, b.view, s, b.style);
    }
    EXPECT_STREQ(s.m_szInfo, " 50 %");
    // Frame (300, 286) to (599, 305); fill from (302, 288), 148 of the 296 inner pixels. Row
    // 288 is a millimetre line of the grid, so the filled part shows in it.
    EXPECT_EQ(CountColour(b.chart, QRect(300, 286, 300, 1), kFrame), 300);
    EXPECT_EQ(CountColour(b.chart, QRect(300, 305, 300, 1), kFrame), 300);
    EXPECT_EQ(CountColour(b.chart, QRect(300, 286, 1, 20), kFrame), 20);
    EXPECT_EQ(CountColour(b.chart, QRect(599, 286, 1, 20), kFrame), 20);
    EXPECT_EQ(b.chart.copy(302, 288, 148, 1), b.grid.copy(302, 288, 148, 1));
    EXPECT_EQ(CountColour(b.chart, QRect(450, 288, 149, 1), kBack), 149) << "the rest is empty";
    EXPECT_EQ(CountColour(b.chart, QRect(301, 287, 1, 18), kBack), 18) << "1-pixel gap";

    // Caption centred above the bar; no grid, no labels anywhere else.
    int minX = 900, maxX = 0;
    for (int y = 240; y < 270; ++y)
        for (int x = 0; x < 900; ++x)
            if (qRed(b.chart.pixel(x, y)) == 255 && qGreen(b.chart.pixel(x, y)) < 200) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
            }
    ASSERT_LT(minX, maxX) << "caption drawn";
    EXPECT_NEAR((minX + maxX) / 2.0, 450, 3);
    EXPECT_EQ(InkIn(b.chart, QRect(0, 0, 900, 240)), 0);
    EXPECT_EQ(InkIn(b.chart, QRect(0, 310, 900, 290)), 0);

    s.m_nReceived = 1;
    {
        QPainter p(&b.chart);
        DrawReceivingProgress(p, b.grid, b.view, s, b.style);
    }
    EXPECT_STREQ(s.m_szInfo, " 0 %");
    EXPECT_EQ(CountColour(b.chart, QRect(301, 288, 298, 1), kBack), 298) << "empty fill";
}

TEST(StatusText, CentredAloneOnPlainBackground) {
    CChartView view;
    FirstRun(view, 40, 40);
    SetSize(view, 700, 440);
    QImage img(700, 440, QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        DrawIDS(p, view, ids::Processing, CChartStyle());
    }
    // The same text in a 20-pixel black Arial, centred by hand.
    QImage want(700, 440, QImage::Format_RGB32);
    want.fill(QColor(255, 250, 250));
    {
        QPainter p(&want);
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(20);
        font.setWeight(QFont::Black);
        p.setFont(font);
        p.setPen(QColor(255, 84, 0));
        const QString text = QString::fromUtf8("Обработка данных");
        const QFontMetrics fm = p.fontMetrics();
        p.drawText(350 - fm.horizontalAdvance(text) / 2, 220 - fm.height() / 2 + fm.ascent(), text);
    }
    EXPECT_EQ(img, want);

    QPainter p(&img);
    DrawIDS(p, view, 12345, CChartStyle());
    p.end();
    EXPECT_EQ(CountColour(img, img.rect(), kBack), 700 * 440) << "no such string: blank";
}

} // namespace

// With the caller keeping what the labels were drawn from, the margin is drawn and shown only
// when that changes (or when the caller says something drew over it): the picture is the one of
// drawing the labels every tick.
// Two views fed alike, the first keeping its labels between passes, the second drawing them
// every pass. tick() feeds both and returns the region the first said it changed (the second's
// is left in `everyChanged`).
struct KeptAndEvery {
    KeptAndEvery(int w, int h) : kept(w, h, 37.8), every(w, h, 37.8) {
        FillLive(a, 300);
        FillLive(b, 300);
    }
    QRegion tick(int n) {
        QRegion changed;
        for (auto [buffers, s, k] :
             {std::tuple{&kept, &a, &key}, std::tuple{&every, &b, (uint64_t*)nullptr}}) {
            s->m_nRingPosPrev = s->m_nRingPos;
            s->m_nNewPoints = n;
            s->m_nRingPos = (s->m_nRingPos + n) % kPoints;
            QPainter p(&buffers->chart);
            const QRegion r =
                DrawMonitoringCurves(p, buffers->grid, buffers->view, *s, buffers->style, k);
            (k ? changed : everyChanged) = r;
        }
        return changed;
    }
    ViewBuffers kept, every;
    QRegion everyChanged;
    CSessionState a, b;
    uint64_t key = 0;
};

TEST(LiveStrip, KeptLabelsAreLeftAloneUntilWhatTheyShowChanges) {
    KeptAndEvery v(1000, 600);
    const int margin = LeftMargin(1000);
    EXPECT_TRUE(v.tick(17).contains(QRect(0, 0, margin, 600))) << "the first pass shows them";
    const QRegion later = v.tick(17);
    EXPECT_FALSE(later.intersects(QRect(0, 0, margin - 1, 600)))
        << "then no longer: " << later.boundingRect().x() << " " << later.boundingRect().width();
    EXPECT_EQ(v.kept.chart, v.every.chart);

    // A lead found missing greys its label: drawn and shown again.
    v.a.m_nAbsentLanes = v.b.m_nAbsentLanes = 1 << 3;
    EXPECT_TRUE(v.tick(17).contains(QRect(0, 0, margin, 600)));
    EXPECT_EQ(v.kept.chart, v.every.chart);

    // Something drew over the margin: the caller forgets the key, and the labels come back.
    for (QImage* chart : {&v.kept.chart, &v.every.chart}) {
        QPainter p(chart);
        p.fillRect(QRect(0, 0, margin, 600), Qt::red);
    }
    v.key = 0;
    EXPECT_TRUE(v.tick(17).contains(QRect(0, 0, margin, 600)));
    EXPECT_EQ(v.kept.chart, v.every.chart);
}

TEST(LiveStrip, LabelsWiderThanTheMarginAreShownAndSurviveTheSweep) {
    // A narrow, tall window: the margin is 10 px, the labels are wider.
    KeptAndEvery v(280, 700);
    v.tick(17);
    for (int t = 0; t < 60; ++t) { // past the end of the strip and round again
        const QImage keptBefore = v.kept.chart, everyBefore = v.every.chart;
        QRegion keptChanged = v.tick(37);
        for (auto [before, after, changed] :
             {std::tuple{&keptBefore, &v.kept.chart, &keptChanged},
              std::tuple{&everyBefore, &v.every.chart, &v.everyChanged}})
            for (int y = 0; y < before->height(); ++y)
                for (int x = 0; x < before->width(); ++x)
                    if (before->pixel(x, y) != after->pixel(x, y)) {
                        ASSERT_TRUE(changed->contains(QPoint(x, y)))
                            << "tick " << t << ": " << x << "," << y << " changed, not shown";
                    }
        ASSERT_EQ(v.kept.chart, v.every.chart) << "tick " << t;
    }
}
