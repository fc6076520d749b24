#pragma once
// Pixel-test helpers: one QGuiApplication for the whole test program (fonts and painting need
// it; the shared main has chosen the offscreen platform), views of a known density and sessions
// holding a record.

#include "display/chart_geometry.h"
#include "display/chart_renderer.h"
#include "record_model/session_state.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class GuiEnvironment : public testing::Environment {
public:
    void SetUp() override {
        if (!QGuiApplication::instance())
            m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "display_tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QGuiApplication> m_app;
};

// A view of the given client size at one density in both directions, buffers built.
struct ViewBuffers {
    CChartView view;
    QImage grid, chart;
    CChartStyle style;
    ViewBuffers(int w, int h, double pxPerCm) {
        FirstRun(view, pxPerCm, pxPerCm);
        RebuildBuffers(view, w, h, grid, chart, style);
    }
    ChartPass Chart(CSessionState& s) {
        QPainter p(&chart);
        return DrawCurves(p, grid, view, s, style);
    }
};

// A session showing a finished record whose lane values come from f(point, lane).
inline void ShowRecord(CSessionState& s, const std::function<int(int, int)>& f) {
    for (int point = 0; point < kPoints; ++point)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(s.m_pCurves, point, lane) = int16_t(f(point, lane));
    s.m_pShowCurves = s.m_pCurves;
}

inline const QRgb kBack = qRgb(255, 250, 250);
inline const QRgb kCurve = qRgb(64, 64, 64);
inline const QRgb kFine = qRgb(255, 234, 223);
inline const QRgb kCoarse = qRgb(255, 213, 192);
inline const QRgb kFrame = qRgb(255, 84, 0);
inline const QRgb kMark = qRgb(32, 32, 32);

// Pixels of `img` inside r that are not one of the paper colours (background and grid).
inline int InkIn(const QImage& img, const QRect& r) {
    int n = 0;
    const QRect c = r & img.rect();
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x = c.left(); x <= c.right(); ++x) {
            const QRgb px = img.pixel(x, y) | 0xFF000000u;
            if (px != kBack && px != kFine && px != kCoarse)
                ++n;
        }
    return n;
}

inline int CountColour(const QImage& img, const QRect& r, QRgb colour) {
    int n = 0;
    const QRect c = r & img.rect();
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x = c.left(); x <= c.right(); ++x)
            n += (img.pixel(x, y) | 0xFF000000u) == colour;
    return n;
}

// Whether a and b agree inside r; the first difference becomes a test failure message.
inline bool SameIn(const QImage& a, const QImage& b, const QRect& r) {
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                ADD_FAILURE() << "first difference at " << x << "," << y << ": " << std::hex
                              << a.pixel(x, y) << " against " << b.pixel(x, y);
                return false;
            }
    return true;
}
