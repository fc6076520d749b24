// Drawing costs of a record window at 1920 x 1080 with twelve leads: the chart pass into the
// chart buffer (without showing it) as the window repeats it on every paint and scroll, and the
// first one after a status text or the live strip (the whole grid put back), one 40 ms live
// tick of 17 points, and the buffers rebuilt on a size event. The chart pass is set against the
// least a drawing of the same curves can cost: the same points as one drawPolyline per lane onto
// the same image; the pass should take at most 1.5 times as long (counter "ratio" of
// BM_ChartPassOverBaseline).

#include "display/chart_renderer.h"
#include "display/monitor_renderer.h"
#include "display/reading_settings.h"
#include "record_model/session_state.h"

#include <QGuiApplication>
#include <QPolygon>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kPxPerCm = 37.8;

// A rough ECG: a slow wave with a sharp complex every 0.8 s, different per lane.
int Ecg(int point, int lane) {
    const double t = point / kPointsPerSecond;
    const double beat = std::fmod(t, 0.8);
    const double qrs = std::exp(-std::pow((beat - 0.3) / 0.012, 2)) * 600;
    const double wave = std::sin(2 * M_PI * (t + lane * 0.05)) * 60;
    return int((lane % 3 == 2 ? -qrs : qrs) + wave);
}

struct Window {
    CChartView view;
    QImage grid, chart;
    CChartStyle style;
    CSessionState s;
    CChartDamage damage;
    Window() {
        FirstRun(view, kPxPerCm, kPxPerCm);
        RebuildBuffers(view, kWidth, kHeight, grid, chart, style);
        for (int p = 0; p < kPoints; ++p)
            for (int k = 0; k < kLeads; ++k)
                Sample(s.m_pCurves, p, k) = int16_t(Ecg(p, k));
        s.m_pShowCurves = s.m_pCurves;
        s.m_Time.Initialize(SYSTEMTIME{.wYear = 2024, .wMonth = 3, .wDay = 1, .wHour = 9});
    }
    void ChartPass() {
        QPainter p(&chart);
        DrawCurves(p, grid, view, s, style, &damage);
    }
};

// Scrolling back and forth by a page, so that each pass puts back what another position drew.
void BM_ChartPass(benchmark::State& state) {
    Window w;
    int page = 0;
    for (auto _ : state) {
        page = 1 - page;
        w.view.m_nScrollPos = page * 401;
        w.ChartPass();
    }
}
BENCHMARK(BM_ChartPass)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_ChartPassOverAnotherPicture(benchmark::State& state) {
    Window w;
    for (auto _ : state) {
        w.damage.Forget();
        w.ChartPass();
    }
}
BENCHMARK(BM_ChartPassOverAnotherPicture)->Unit(benchmark::kMillisecond)->Repetitions(5);

// A reading setting changed on a shown record (goal: at most 30 ms to the new picture): the
// record through three filters, the new speed and gain, the whole chart drawn again.
void BM_ReadingSettingsChanged(benchmark::State& state) {
    Window w;
    CFilteredSamples filtered;
    ReadingSettings a, b;
    a.filters = {analysis::Filter::Mains50, analysis::Filter::Baseline067,
                 analysis::Filter::Muscle35};
    a.speedMmPerS = 25;
    b.filters = {analysis::Filter::Mains60, analysis::Filter::Baseline005};
    b.speedMmPerS = 50;
    b.gainMmPerMv = 20;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        ApplyReadingSettings(flip ? a : b, w.s, w.view, filtered);
        SetRazv(w.view, w.s);
        w.damage.Forget();
        w.ChartPass();
    }
}
BENCHMARK(BM_ReadingSettingsChanged)->Unit(benchmark::kMillisecond)->Repetitions(5);

// The baseline's polylines: every point of every lane, as they lie.
std::vector<QPolygon> BaselineLanes(const Window& w) {
    const int x0 = LeftMargin(kWidth);
    const int n = ChartPointCount(kWidth - x0, w.view.m_dStepX);
    std::vector<QPolygon> lanes(kLeads);
    for (int k = 0; k < kLeads; ++k)
        for (int i = 0; i < n; ++i)
            lanes[size_t(k)] << QPoint(ChartPointX(i, w.view.m_dStepX, x0),
                                       ChartPointY(LaneBaseline(k, kLeads, kHeight),
                                                   Sample(w.s.m_pCurves, i, k), ScaleY(kPxPerCm)));
    return lanes;
}

// Onto an image of its own, so that the chart buffer holds only what the passes drew.
void DrawBaseline(Window& w, QImage& image, const std::vector<QPolygon>& lanes) {
    QPainter p(&image);
    p.setPen(w.style.m_hCurvePen);
    for (const QPolygon& lane : lanes)
        p.drawPolyline(lane);
}

void BM_ChartPolylineBaseline(benchmark::State& state) {
    Window w;
    const std::vector<QPolygon> lanes = BaselineLanes(w);
    QImage image = w.grid.copy();
    for (auto _ : state)
        DrawBaseline(w, image, lanes);
}
BENCHMARK(BM_ChartPolylineBaseline)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Both in turns, so that the load of a shared machine weighs on both alike: the pass's time per
// the baseline's, as the counter "ratio".
void BM_ChartPassOverBaseline(benchmark::State& state) {
    Window w;
    const std::vector<QPolygon> lanes = BaselineLanes(w);
    QImage image = w.grid.copy();
    std::chrono::nanoseconds pass{}, baseline{};
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        w.ChartPass();
        const auto t1 = std::chrono::steady_clock::now();
        DrawBaseline(w, image, lanes);
        baseline += std::chrono::steady_clock::now() - t1;
        pass += t1 - t0;
    }
    state.counters["ratio"] = double(pass.count()) / double(baseline.count());
}
BENCHMARK(BM_ChartPassOverBaseline)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_LiveTick17Points(benchmark::State& state) {
    Window w;
    w.s.m_bLiveView = 1;
    w.s.m_bMonitorCleared = 1;
    for (auto _ : state) {
        w.s.m_nRingPosPrev = w.s.m_nRingPos;
        w.s.m_nNewPoints = 17;
        w.s.m_nRingPos = (w.s.m_nRingPos + 17) % kPoints;
        QPainter p(&w.chart);
        DrawMonitoringCurves(p, w.grid, w.view, w.s, w.style);
    }
}
BENCHMARK(BM_LiveTick17Points)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_ResizeRebuild(benchmark::State& state) {
    Window w;
    int grow = 0;
    for (auto _ : state) {
        grow = 1 - grow; // a new size every time, as dragging a window edge gives
        RebuildBuffers(w.view, kWidth - grow, kHeight, w.grid, w.chart, w.style);
        w.damage.Clean(w.grid); // as the window does: learns the grid's rows
    }
}
BENCHMARK(BM_ResizeRebuild)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
