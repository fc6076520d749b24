#pragma once
// The display state of a record window's view and the arithmetic of its drawings: pixel
// densities, scale, lead groups, baselines, label and text positions, the live strip's sweep,
// the progress bar and the horizontal scroll. Pure functions, so tests call them without a
// window; the renderers draw with exactly these numbers.

#include <QPoint>
#include <QRect>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>

class CSessionState;

// What the view keeps for drawing besides the record and session state. The widget owns one,
// refreshes the densities from its screen before each pass and mirrors the scroll bar into it.
struct CChartView {
    int m_nWidth = 0; // client size from the last size event
    int m_nHeight = 0;
    double m_dPxPerCmX = 0.0; // device pixels per centimetre
    double m_dPxPerCmY = 0.0;
    double m_dStepX = 0.0;  // horizontal pixels per point; FirstRun gives it the zoom-1 value
    double m_dScaleY = 0.0; // vertical pixels per sample unit
    int m_nScrollPos = 0;   // point index at the chart's left edge
    // Sensitivity of the calibration mark in mm/mV: the chart's fixed scale (500 units = 1 cm),
    // read as 1 mV = 10 mm, so the mark is the 1 mV pulse drawn to that scale.
    unsigned m_nSensitivityMon = 10;
    // The reading gain in mm/mV: the curves and the calibration mark follow it (10: the chart's
    // own scale).
    double m_dGainMmPerMv = 10.0;
    // What the curves draw instead of the record's samples (the record through the reading
    // filters, same layout); null: the record as received. Never the record itself changed.
    const int16_t* m_pDrawSamples = nullptr;
    // What is in effect, shown in the chart's top right corner ("25 мм/с 10 мм/мВ 50 Гц");
    // empty: nothing shown.
    QString m_strSettings;
};

// Pixels per centimetre of a screen `pixels` wide that measures `millimetres`; a screen that
// reports no physical size counts as 96 dots per inch.
constexpr double kDefaultPxPerCm = 96.0 / 2.54;
double PxPerCm(int pixels, double millimetres);

// The first size event: the densities, and the zoom-1 step unless a step is set already.
void FirstRun(CChartView& view, double pxPerCmX, double pxPerCmY);
// The client size of a size event.
inline void SetSize(CChartView& view, int cx, int cy) {
    view.m_nWidth = cx;
    view.m_nHeight = cy;
}

// Chart scale.
double ZoomFromSpeed(double speedMon);      // 50 mm/s is zoom 1
double StepX(double pxPerCmX, double zoom); // 400 points fill 5 cm at zoom 1
double ScaleY(double pxPerCmY);             // 500 sample units per centimetre
double TimeRate(double zoom);               // points per second of the time label
// x0: the grid and the curves start there, the labels sit left of it.
inline int LeftMargin(int width) {
    return width / 28;
}

// Zoom, step and scroll range from the session's m_dSpeedMon; returns the range's maximum,
// which the widget gives its scroll bar (0 ... max, without redraw).
int SetRazv(CChartView& view, CSessionState& s);
// The scroll range's maximum for a zoom: 2013 at zoom 1.
int SetMyScrollRange(double zoom);

// Lead groups: the lanes drawn per lead system (its leads in LeadSystemLeads).
struct LeadGroup {
    int nLanes = 0;
    int nFirstLane = 0;
};
LeadGroup LeadGroupOf(int leadSystem); // no lanes for a system other than 1, 2 or 3
// Label of displayed lane k ("aVR", Nehb's "D"); nullptr past the lead system's leads.
const char* LeadLabel(int leadSystem, int firstLane, int k);
// The lanes a pass may draw: m_nLanes limited to the lanes a point holds from m_nFirstLane.
int DisplayedLanes(const CSessionState& s);

// Fonts of a drawing pass.
struct ChartFontHeights {
    int nLabel = 0;
    int nSmall = 0;
};
ChartFontHeights FontHeightsFor(int height);
inline int StatusFontHeight(int height) {
    return height / 22;
}

// Top-left corner of lead label k of `lanes` for text of size w x h.
QPoint LabelPos(int width, int height, int xOffset, int k, int lanes, int w, int h);
// Baseline of chart band k.
inline int LaneBaseline(int k, int lanes, int height) {
    return ((2 * k + 1) * height) / (2 * lanes);
}
// Pixel of chart point i (counted from the left edge) with value v on a baseline. The offset
// is rounded to single precision and subtracted there, then truncated; far off the picture is
// clipped anyway, and the limit keeps the conversion defined.
inline int ChartPointX(int i, double stepX, int x0) {
    return int(std::ceil(i * stepX) + x0);
}
inline int ChartPointY(int baseline, int v, double scaleY) {
    const float dy = float(v * scaleY);
    return int(std::clamp(float(baseline) - dy, -1e7f, 1e7f));
}
// Number of points a chart of this width shows.
int ChartPointCount(int width, double stepX);
// Top-left corner of the time label.
inline QPoint TimeLabelPos(int width, int height) {
    return QPoint(width - width / 5, height - height / 18);
}
// Point offset of the time label for a scroll position.
inline int TimeLabelPoints(int scrollPos, double zoom) {
    return int(scrollPos / zoom);
}

// The calibration mark's corners, in drawing order; false when no mark is drawn.
bool CalibrationMark(const CChartView& view, int leadSystem, bool recordShown, QPoint (&pts)[6]);

// Live strip: 5 cm per 400 points whatever the zoom.
struct SweepGeometry {
    int nX0 = 0;
    double dLimit = 0.0; // a lane wraps when its position reaches this x
    double dStepX = 0.0;
    double dScaleY = 0.0;
};
SweepGeometry SweepGeometryOf(const CChartView& view);
inline int SweepX(const SweepGeometry& g, int s) {
    return int(s * g.dStepX + g.nX0);
}
inline bool SweepWraps(const SweepGeometry& g, int s) {
    return s * g.dStepX + g.nX0 >= g.dLimit;
}
// Positions a lane draws from position 1 before it wraps (0 when there is no step).
int SweepPositionsBeforeWrap(const SweepGeometry& g);
constexpr int kEraseBarWidth = 15;
constexpr int kEraseBarGap = 2;
// Baseline of live lane k.
inline int SweepBaseline(int k, int lanes, int height) {
    return height / (2 * lanes) + k * (height / lanes);
}

// Progress display for `received` of 4096 points.
struct ProgressGeometry {
    int nBarW = 0; // W
    int nBarH = 0; // H
    double dLeft = 0.0, dTop = 0.0, dBottom = 0.0;
    QRect frame; // outline, right and bottom edges inclusive
    QRect fill;  // part of the bar that shows the grid; empty when nothing is received
    int nPercent = 0;
    int nCaptionY = 0;
};
ProgressGeometry ProgressGeometryOf(int width, int height, int received);
// Left edge of text w pixels wide centred in a picture `width` wide.
inline int CentredX(int width, int w) {
    return width / 2 - w / 2;
}

// Horizontal scroll events.
enum ScrollCode {
    SB_LINELEFT = 0,
    SB_LINERIGHT = 1,
    SB_PAGELEFT = 2,
    SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_LEFT = 6,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
};
constexpr int kScrollLine = 40;
constexpr int kScrollPage = 401;
struct ScrollResult {
    bool bApply = false;   // the scroll bar and the chart change; the widget redraws
    int nScrollBarPos = 0; // what the scroll bar is set to (it keeps it within its range)
    int nScrollPos = 0;    // the new m_nScrollPos
};
// p: the scroll bar's position; minimum, limit: its range; trackPos: the tracking position for
// the thumb codes, or trackOk false when it could not be read.
ScrollResult OnHScroll(int code, int p, int minimum, int limit, bool trackOk, int trackPos,
                       bool recordShown);
// Whether the chart pass has a record to show.
bool RecordShown(const CSessionState& s);
