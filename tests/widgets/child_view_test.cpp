// The record view: buffers built on resize, the first picture of a fresh view, and the scroll bar
// driving the chart's position.

#include "support/gui_app.h"
#include "widgets/child_view.h"

#include "acquisition/com_map.h"
#include "acquisition/stream_decoder.h"
#include "platform/string_table.h"
#include "record_io/record_files.h"
#include "simulator/pty_simulator.h"

#include <QApplication>
#include <QBackingStore>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

int CountColour(const QImage& img, QRect area, QRgb colour) {
    int n = 0;
    area = area.intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += (img.pixel(x, y) | 0xFF000000) == (colour | 0xFF000000);
    return n;
}

TEST(ChildView, FreshViewShowsGridAndTwelveLabelsWithoutCurves) {
    EnsureApp();
    CChildView view;
    view.SetPixelDensity(40.0, 40.0);
    view.resize(840, 600);
    view.show();
    view.DrawCurves();
    const QImage& img = view.ChartBuffer();
    ASSERT_FALSE(img.isNull());
    const int h = img.height();
    EXPECT_EQ(img.width(), 840);
    const int x0 = 840 / 28;
    const QRgb fine = qRgb(255, 234, 223), coarse = qRgb(255, 213, 192);
    const QRgb curve = qRgb(64, 64, 64), text = qRgb(255, 84, 0);
    // Coarse lines every 40 px from x0, fine lines between them, nothing of the grid in the margin.
    EXPECT_EQ((img.pixel(x0, h / 3 + 1) | 0xFF000000), coarse | 0xFF000000);
    EXPECT_EQ((img.pixel(x0 + 40, h / 3 + 1) | 0xFF000000), coarse | 0xFF000000);
    EXPECT_EQ((img.pixel(x0 + 4, h / 3 + 1) | 0xFF000000), fine | 0xFF000000);
    EXPECT_EQ(CountColour(img, QRect(0, 0, x0, h), fine), 0);
    EXPECT_EQ(CountColour(img, QRect(0, 0, x0, h), coarse), 0);
    // Twelve labels in the margin, one per band, and no curves.
    int bandsWithText = 0;
    for (int k = 0; k < 12; ++k)
        bandsWithText += CountColour(img, QRect(0, k * h / 12, x0, h / 12), text) > 5;
    EXPECT_EQ(bandsWithText, 12);
    EXPECT_EQ(CountColour(img, QRect(x0, 0, 840 - x0, h), curve), 0);
}

TEST(ChildView, ScrollBarStepsAndClampsTheChartPosition) {
    EnsureApp();
    CChildView view;
    view.SetPixelDensity(40.0, 40.0);
    view.resize(600, 400);
    view.show();
    QScrollBar* bar = view.ScrollBar();

    // Before any record is shown the bar moves nothing.
    view.SetScrollRange(2013);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(view.Chart().m_nScrollPos, 0);

    view.Session().m_pShowCurves = view.Session().m_pCurves;
    bar->setSliderPosition(1990);
    bar->triggerAction(QAbstractSlider::SliderMove);
    EXPECT_EQ(view.Chart().m_nScrollPos, 1990);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(view.Chart().m_nScrollPos, 2012) << "past the limit stops one short of it";
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(view.Chart().m_nScrollPos, 2013);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(view.Chart().m_nScrollPos, 2013 - 401);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(view.Chart().m_nScrollPos, 0);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

void RunEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(ChildView, ShownRecordPaintsOnDemandAndEveryPassLooksFresh) {
    EnsureApp();
    CChildView view;
    view.SetPixelDensity(37.8, 37.8);
    view.resize(900, 500);
    CSessionState& s = view.Session();
    for (int point = 0; point < kPoints; ++point)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(s.m_pCurves, point, lane) =
                int16_t(point % 500 == 250 ? 900 : (point % 7) * lane);
    s.m_pShowCurves = s.m_pCurves;
    view.SetScrollRange(2013);
    PaintCounter counter;
    view.installEventFilter(&counter);
    view.show();
    RunEventsFor(400);
    // A picture shown asks for no other: a window at rest must not keep painting.
    EXPECT_GE(counter.paints, 1);
    EXPECT_LE(counter.paints, 3);

    QScrollBar* bar = view.ScrollBar();
    CChartView chart = view.Chart();
    QImage grid, fresh;
    const QSize size = view.ChartBuffer().size();
    RebuildBuffers(chart, size.width(), size.height(), grid, fresh, CChartStyle());
    const auto same_as_fresh = [&] {
        chart.m_nScrollPos = view.Chart().m_nScrollPos;
        QPainter p(&fresh);
        DrawCurves(p, grid, chart, s, CChartStyle());
        p.end();
        return view.ChartBuffer() == fresh;
    };
    for (auto action : {QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderPageStepAdd,
                        QAbstractSlider::SliderToMaximum, QAbstractSlider::SliderSingleStepSub}) {
        bar->triggerAction(action);
        EXPECT_TRUE(same_as_fresh()) << "scrolled to " << view.Chart().m_nScrollPos;
    }
    view.DrawIDS(ids::Processing);
    view.DrawCurves();
    EXPECT_TRUE(same_as_fresh()) << "after a status text";
    RunEventsFor(100);
    EXPECT_TRUE(same_as_fresh()) << "after painting";
}

// Runs events until `done` holds or `ms` have passed; whether it holds.
template <class Done> bool RunEventsUntil(Done done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// A simulated cardiograph on a pseudo-terminal, registered as COM40 for the view to open. The
// port is a node of the test's own (a link to the terminal), so a terminal number that another
// test program takes after this device vanished is never opened in its place.
struct Device {
    explicit Device(double recordAfter, int heartRate = 72, double mainsMv = 0) {
        SimulatorOptions o;
        o.dRecordAfter = recordAfter;
        o.nHeartRate = heartRate;
        o.dMainsMv = mainsMv;
        pty = std::make_unique<CPtySimulator>(o);
        ok = pty->Open() && symlink(pty->SlavePath().c_str(), node.c_str()) == 0 &&
             CComMap().Register(40, node);
        if (ok)
            thread = std::thread([this] { pty->Run(stop); });
    }
    ~Device() { Vanish(); }
    // The device goes with its node, as a pulled adapter does.
    void Vanish() {
        stop = true;
        if (thread.joinable())
            thread.join();
        unlink(node.c_str());
        pty.reset();
    }
    const std::string node = std::string(std::getenv("HOME")) + "/velmora-com40"; // private HOME
    std::unique_ptr<CPtySimulator> pty;
    std::atomic<bool> stop{false};
    std::thread thread;
    bool ok = false;
};

// What the window shows: the view's own paint, as a screen would get it.
QImage Shown(CChildView& view) {
    const QImage& buffer = view.ChartBuffer();
    return view.grab(QRect(QPoint(0, 0), buffer.size())).toImage().convertToFormat(buffer.format());
}

TEST(ChildView, ADownloadShowsItsProgressAndAVanishedDeviceIsSaidAndTriedAgain) {
    EnsureApp();
    Device device(0.5);
    ASSERT_TRUE(device.ok);
    CChildView view;
    view.SetPixelDensity(37.8, 37.8);
    view.resize(800, 500);
    view.show();
    view.Settings().m_nCom = 40;
    view.OnEkard();
    CAcquisitionSession& s = view.Session();
    ASSERT_TRUE(RunEventsUntil([&] { return s.m_nReceived >= 800; }, 20000))
        << "received " << s.m_nReceived;

    // Every paint during the download shows the progress bar the tick drew, never the chart.
    CChartView chart = view.Chart();
    QImage grid, expected;
    RebuildBuffers(chart, view.ChartBuffer().width(), view.ChartBuffer().height(), grid, expected,
                   CChartStyle());
    for (int i = 0; i < 3; ++i) {
        const QImage shown = Shown(view);
        {
            QPainter p(&expected);
            DrawReceivingProgress(p, grid, chart, s, CChartStyle());
        }
        ASSERT_EQ(shown, expected) << "paint " << i << " at " << s.m_nReceived << " points";
        if (i == 1) {
            // Changing how the window reads its record does not disturb the download.
            ReadingSettings r;
            r.speedMmPerS = 25;
            r.filters = {analysis::Filter::Mains50};
            view.SetReading(r);
            ASSERT_EQ(Shown(view), expected) << "still the progress the tick drew";
        }
        RunEventsFor(200);
    }

    // The device vanishes: "Обрыв связи !" at once, with what the window does about it.
    device.Vanish();
    ASSERT_TRUE(RunEventsUntil([&] { return s.m_bReopening != 0; }, 2000));
    EXPECT_EQ(s.m_bSessionOn, 1);
    {
        QPainter p(&expected);
        DrawIDS(p, chart, IDS_CONNECTION_LOST, CChartStyle());
    }
    const QImage down = Shown(view);
    EXPECT_EQ(down, view.ChartBuffer());
    EXPECT_NE(down, expected) << "a line under the message says the port is tried again";
    EXPECT_EQ(CountColour(down, down.rect(), qRgb(255, 234, 223)), 0) << "no grid, no chart";
    RunEventsFor(1200); // a failed attempt a second later changes nothing
    EXPECT_EQ(Shown(view), down);

    // It comes back under the same COM number: the window goes on receiving by itself.
    Device again(0.5);
    ASSERT_TRUE(again.ok);
    EXPECT_TRUE(RunEventsUntil([&] { return !s.m_bReopening && s.m_nReceived > 0; }, 20000));
    view.OnEkard();
}

TEST(ChildView, TheLiveMonitorSaysTheHeartRateEverySecond) {
    EnsureApp();
    Device device(-1, 90); // live only
    ASSERT_TRUE(device.ok);
    CChildView view;
    view.SetPixelDensity(37.8, 37.8);
    view.resize(800, 500);
    view.show();
    QStringList lines;
    QObject::connect(&view, &CChildView::MeasurementLineChanged,
                     [&](const QString& line) { lines << line; });
    view.Settings().m_nCom = 40;
    view.OnEkard();
    const auto rate = [&] {
        if (lines.isEmpty() || !lines.last().startsWith(QStringLiteral("ЧСС ")))
            return 0;
        return lines.last().section(QLatin1Char(' '), 1, 1).toInt();
    };
    ASSERT_TRUE(RunEventsUntil([&] { return rate() != 0; }, 15000))
        << (lines.isEmpty() ? std::string("nothing said") : lines.last().toStdString());
    // The first seconds, while the strip already shows complexes but too little to count them,
    // say nothing of them rather than that none were found.
    for (const QString& line : lines)
        EXPECT_FALSE(line.contains(QStringLiteral("не найдены"))) << line.toStdString();
    EXPECT_NEAR(rate(), 90, 5);
    EXPECT_TRUE(lines.last().contains(QStringLiteral("(по монитору)")));
    const qsizetype said = lines.size();
    RunEventsFor(2100);
    EXPECT_GE(lines.size() - said, 2) << "once a second";
    EXPECT_EQ(view.RecordMeasurements(), nullptr) << "no record measured while receiving";
    view.OnEkard();
    EXPECT_NE(view.RecordMeasurements(), nullptr) << "the stopped record is measured";
    // ... and interpreted, its statements under the measurements marked as unconfirmed.
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().contains(
        QStringLiteral("\nАвтоматическое заключение (не подтверждено врачом): Синусов")))
        << lines.last().toStdString();
}

TEST(ChildView, CalipersMeasureTimeFromThePointsAndAmplitudeFromTheGainAtEverySetting) {
    EnsureApp();
    CChildView view;
    view.SetPixelDensity(40.0, 40.0);
    view.resize(1000, 600);
    view.show();
    CSessionState& s = view.Session();
    for (int p = 0; p < kPoints; ++p)
        Sample(s.m_pCurves, p, 0) = int16_t(p % 400 < 200 ? 500 : 0);
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(s.m_pCurves, info);
    s.m_pShowCurves = s.m_pCurves;
    s.m_bLoaded = 1;
    RunEventsFor(50);
    for (const double speed : {25.0, 50.0})
        for (const double gain : {5.0, 10.0, 20.0}) {
            ReadingSettings r;
            r.speedMmPerS = speed;
            r.gainMmPerMv = gain;
            view.SetReading(r);
            const QImage chart = view.ChartBuffer();
            // One second of points to the right and 1 cm up.
            const int dx = int(std::lround(view.Chart().m_dStepX * kPointsPerSecond));
            const QPoint from(200, 300), to(200 + dx, 300 - 40);
            QTest::mousePress(&view, Qt::LeftButton, {}, from);
            QTest::mouseMove(&view, to);
            QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
            ASSERT_TRUE(view.Calipers()) << speed << " " << gain;
            const CaliperValues v = MeasureCalipers(view.Chart(), from, to);
            EXPECT_NEAR(v.ms, 1000, 1000 / kPointsPerSecond / view.Chart().m_dStepX + 1);
            EXPECT_NEAR(v.bpm, 60, 1);
            EXPECT_NEAR(v.mV, 10.0 / gain, 0.01) << "1 cm is 1 mV at 10 mm/mV";
            const QImage shown = view.grab(QRect(QPoint(0, 0), chart.size())).toImage();
            EXPECT_NE(shown.convertToFormat(chart.format()), chart) << "the calipers are seen";
            EXPECT_EQ(view.ChartBuffer(), chart) << "drawn over the picture, not into it";
            QTest::keyClick(&view, Qt::Key_Escape);
            EXPECT_FALSE(view.Calipers()) << "Esc clears them";
        }
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_FALSE(view.Calipers()) << "a click is no caliper";
    EXPECT_EQ(CaliperText({812.4, 1.254, 73.86}), QStringLiteral("812 мс   1.25 мВ   74 уд/мин"));
}

TEST(ChildView, BeatMarksStandOverTheDetectedComplexesAndVentricularOnesApart) {
    EnsureApp();
    SimulatorOptions o;
    o.pathology.bPvcBigeminy = true; // every other beat ventricular
    const CCardiographSimulator sim{o};
    CLoadedRecord doc;
    std::memset(doc.pRecord.get(), 0, sizeof(ECG_RECORD));
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(doc.pRecord->curves_buf, p, lane) = sim.StoredRecord()[size_t(p)][size_t(lane)];
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(doc.pRecord->curves_buf, info);
    std::memcpy(doc.pRecord->date, "2026-12-08 23:18:57", 20);
    CChildView view;
    view.SetPixelDensity(37.8, 37.8);
    view.resize(1600, 600);
    view.show();
    RunEventsFor(50);
    view.ShowRecordFile(doc, QStringLiteral("sim.dat"));
    ASSERT_NE(view.RecordMeasurements(), nullptr);
    const analysis::Measurements& m = *view.RecordMeasurements();
    ASSERT_GE(m.beats.size(), 5u);
    ASSERT_EQ(m.beatClasses.size(), m.beats.size());
    const auto count = [](const QImage& img, int x, const QColor& colour) {
        int n = 0;
        for (int dx = -3; dx <= 3; ++dx)
            for (int y = 0; y < 12; ++y)
                n += img.pixelColor(x + dx, y) == colour;
        return n;
    };
    const QColor green(0, 140, 60), red(200, 0, 0);
    const int x0 = 1600 / 28;
    const auto xOf = [&](size_t k) {
        return x0 + int(std::lround(double(m.beats[k]) * view.Chart().m_dStepX));
    };
    // A normal beat and a ventricular one past the first.
    size_t normal = 0, ventricular = 0;
    for (size_t k = 1; k < m.beats.size() && (!normal || !ventricular); ++k)
        (m.beatClasses[k] == analysis::BeatClass::Ventricular ? ventricular : normal) = k;
    ASSERT_TRUE(normal && ventricular) << "the bigeminy has both kinds";
    QImage shown = view.grab().toImage();
    EXPECT_EQ(count(shown, xOf(normal), green), 0) << "no marks until asked for";
    ReadingSettings r = view.Reading();
    r.beatMarks = true;
    view.SetReading(r);
    shown = view.grab().toImage();
    EXPECT_GT(count(shown, xOf(normal), green), 5) << "a mark over a normal beat";
    EXPECT_EQ(count(shown, xOf(normal), red), 0);
    EXPECT_GT(count(shown, xOf(ventricular), red), 5) << "a red mark over a ventricular beat";
    EXPECT_EQ(count(shown, xOf(ventricular), green), 0);
    EXPECT_EQ(count(shown, (xOf(normal) + xOf(normal + 1)) / 2, green), 0)
        << "and none between beats";
}

// A view that looks at its window's backing store after each of its paints: what the screen
// gets is what the paints put there and nothing else.
class ScreenWatchingView : public CChildView {
public:
    int paints = 0, partial = 0, wrong = 0;
    QImage Screen() {
        QPaintDevice* device = backingStore() ? backingStore()->paintDevice() : nullptr;
        if (!device || device->devType() != QInternal::Image)
            return {};
        const QImage& buffer = ChartBuffer();
        return static_cast<QImage*>(device)->copy(buffer.rect()).convertToFormat(buffer.format());
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        CChildView::paintEvent(e);
        ++paints;
        partial += e->region().boundingRect() != rect();
        wrong += Screen() != ChartBuffer();
    }
};

TEST(ChildView, PaintByPaintTheLiveStripOnScreenIsItsBuffer) {
    // After every paint, the regions the strip's ticks asked for must have brought the screen to
    // what the buffer holds, the labels included, across wraps and a resize.
    EnsureApp();
    Device device(-1); // live only
    ASSERT_TRUE(device.ok);
    ScreenWatchingView view;
    view.SetPixelDensity(60.0, 60.0); // 0.75 pixels a point: a wrap within a few seconds
    view.resize(900, 480);
    view.show();
    RunEventsFor(100);
    ASSERT_FALSE(view.Screen().isNull()) << "a backing store image to look at";
    view.Settings().m_nCom = 40;
    view.OnEkard();
    CAcquisitionSession& s = view.Session();
    int wraps = 0, last = 0;
    ASSERT_TRUE(RunEventsUntil(
        [&] {
            wraps += s.m_nSweepPos[0] < last;
            last = s.m_nSweepPos[0];
            return wraps >= 1 && s.m_nSweepPos[0] > 300;
        },
        20000));
    EXPECT_GT(view.partial, 20);
    EXPECT_EQ(view.wrong, 0) << "of " << view.paints << " paints";

    // A new size brings new buffers: the strip goes on in them, labels and all.
    view.resize(960, 500);
    const int before = view.paints;
    RunEventsFor(1000);
    EXPECT_GT(view.paints - before, 10);
    const QImage& buffer = view.ChartBuffer();
    ASSERT_EQ(buffer.width(), 960);
    EXPECT_EQ(view.wrong, 0) << "of " << view.paints << " paints";
    const auto bandsWithText = [&] {
        int n = 0;
        for (int k = 0; k < 12; ++k)
            n += CountColour(
                     buffer,
                     QRect(0, k * buffer.height() / 12, LeftMargin(960), buffer.height() / 12),
                     CChartStyle().m_clrText.rgb()) > 5;
        return n;
    };
    EXPECT_EQ(bandsWithText(), 12);
    // So does another density at the same size (the labels stay as they were).
    view.SetPixelDensity(50.0, 50.0);
    RunEventsFor(600);
    EXPECT_EQ(view.wrong, 0) << "of " << view.paints << " paints";
    EXPECT_EQ(bandsWithText(), 12);
    view.OnEkard();
}

TEST(ChildView, TheLiveStripGoesThroughTheMainsFilterAsItArrives) {
    EnsureApp();
    Device device(-1, 72, 0.5); // live only, with 0.5 mV of 50 Hz hum
    ASSERT_TRUE(device.ok);
    CChildView view;
    view.SetPixelDensity(37.8, 37.8);
    view.resize(800, 500);
    view.show();
    ReadingSettings r;
    r.filters = {analysis::Filter::Mains50};
    view.SetReading(r);
    QStringList lines;
    QObject::connect(&view, &CChildView::MeasurementLineChanged,
                     [&](const QString& line) { lines << line; });
    view.Settings().m_nCom = 40;
    view.OnEkard();
    CAcquisitionSession& s = view.Session();
    ASSERT_TRUE(RunEventsUntil([&] { return s.m_bRingWrapped || s.m_nRingPos > 1500; }, 15000));
    // The hum of the last second, raw and as the strip draws it.
    const auto hum = [&](const int16_t* ring) {
        double c = 0, sn = 0;
        const int end = s.m_nRingPos;
        for (int k = 0; k < 409; ++k) {
            const int p = (end - 409 + k + kPoints) % kPoints;
            const double w = 2 * 3.14159265358979 * 50 * k / kPointsPerSecond;
            c += ring[p * kLeads + 1] * std::cos(w);
            sn += ring[p * kLeads + 1] * std::sin(w);
        }
        return 2 * std::hypot(c, sn) / 409;
    };
    // Each tick shows only the columns it changed, not the whole window.
    struct RegionWatch : QObject {
        qint64 largest = 0, paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                qint64 area = 0;
                for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
                    area += qint64(r.width()) * r.height();
                largest = std::max(largest, area);
                ++paints;
            }
            return false;
        }
    } watch;
    view.installEventFilter(&watch);
    RunEventsFor(600);
    view.removeEventFilter(&watch);
    EXPECT_GT(watch.paints, 5);
    EXPECT_LT(watch.largest, qint64(view.width()) * view.height() / 4) << "a few columns a tick";
    ASSERT_EQ(view.LiveFiltered().size(), size_t(kPoints * kLeads));
    const double raw = hum(s.m_pCurves), drawn = hum(view.LiveFiltered().data());
    EXPECT_GT(raw, 150) << "0.5 mV of hum are 250 units";
    EXPECT_LT(drawn, raw / 10) << "the strip draws it filtered";
    EXPECT_TRUE(RunEventsUntil(
        [&] {
            return !lines.isEmpty() &&
                   lines.last().endsWith(QStringLiteral("сетевой фильтр 50 Гц"));
        },
        3000))
        << (lines.isEmpty() ? std::string() : lines.last().toStdString());
    view.OnEkard();
}

} // namespace
