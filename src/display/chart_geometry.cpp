#include "display/chart_geometry.h"

#include "record_model/lead_vocabulary.h"
#include "record_model/session_state.h"

#include <algorithm>
#include <climits>
#include <cmath>

double PxPerCm(int pixels, double millimetres) {
    if (pixels <= 0 || !(millimetres > 0.0) || !std::isfinite(millimetres))
        return kDefaultPxPerCm;
    return pixels * 10.0 / millimetres;
}

void FirstRun(CChartView& view, double pxPerCmX, double pxPerCmY) {
    view.m_dPxPerCmX = pxPerCmX;
    view.m_dPxPerCmY = pxPerCmY;
    // Until the device reports a sweep speed the chart runs at zoom 1; a zero step would leave
    // the point loops without a bound.
    if (!(view.m_dStepX > 0.0))
        view.m_dStepX = StepX(pxPerCmX, 1.0);
}

double ZoomFromSpeed(double speedMon) {
    // The device reports 10, 25 or 50 mm/s, or nothing (0); anything not positive is no speed.
    return speedMon > 0.0 ? 50.0 / speedMon : 1.0;
}

double StepX(double pxPerCmX, double zoom) {
    return pxPerCmX * 5.0 / 400.0 / zoom;
}

double ScaleY(double pxPerCmY) {
    return pxPerCmY * 2.0 / 1000.0;
}

double TimeRate(double zoom) {
    return kPointsPerSecond / zoom;
}

int SetRazv(CChartView& view, CSessionState& s) {
    s.m_dZoom = ZoomFromSpeed(s.m_dSpeedMon);
    view.m_dStepX = StepX(view.m_dPxPerCmX, s.m_dZoom);
    return SetMyScrollRange(s.m_dZoom);
}

int SetMyScrollRange(double zoom) {
    return int(26624.0 * zoom / (9.0 * zoom * zoom + 4.0 * zoom + 0.22));
}

LeadGroup LeadGroupOf(int leadSystem) {
    if (leadSystem < 1 || leadSystem > 3)
        return {};
    return {int(LeadSystemLeads(uint32_t(leadSystem)).size()), 0};
}

const char* LeadLabel(int leadSystem, int firstLane, int k) {
    const LeadGroup g = LeadGroupOf(leadSystem);
    if (g.nLanes == 0 || firstLane < 0 || k < 0)
        return nullptr;
    const std::span<const CLeadEntry> leads = LeadSystemLeads(uint32_t(leadSystem));
    const size_t lane = size_t(firstLane) + size_t(k);
    return lane < leads.size() ? leads[lane].m_szLabel : nullptr;
}

int DisplayedLanes(const CSessionState& s) {
    if (s.m_nFirstLane < 0 || s.m_nFirstLane >= kLeads)
        return 0;
    return std::clamp(s.m_nLanes, 0, kLeads - s.m_nFirstLane);
}

ChartFontHeights FontHeightsFor(int height) {
    const int h = std::max(height / 40, 14);
    const int d = h / 20;
    return {h + d, h - d};
}

QPoint LabelPos(int width, int height, int xOffset, int k, int lanes, int w, int h) {
    const int x0 = LeftMargin(width);
    return QPoint((x0 + xOffset) / 2 - w / 2, ((2 * k + 1) * height / 2) / lanes - h / 2);
}

int ChartPointCount(int width, double stepX) {
    if (width <= 0 || !(stepX > 0.0))
        return 0;
    const double q = width / stepX; // i runs while i < q
    return q >= double(INT_MAX) ? INT_MAX : int(std::ceil(q));
}

bool CalibrationMark(const CChartView& view, int leadSystem, bool recordShown, QPoint (&pts)[6]) {
    // The 1 mV pulse belongs to a record: a view without one shows no mark.
    if (view.m_nSensitivityMon == 0 || !recordShown)
        return false;
    const int x0 = LeftMargin(view.m_nWidth);
    double my = 0.0;
    double mx = x0;
    if (LeadGroupOf(leadSystem).nLanes != 0) {
        my = view.m_dPxPerCmY / 2.0;
        mx = view.m_dPxPerCmX / 2.0 + x0;
    }
    const double gain = view.m_dGainMmPerMv > 0 ? view.m_dGainMmPerMv : view.m_nSensitivityMon;
    const double hgt = gain * view.m_dPxPerCmY / 10.0;
    pts[0] = QPoint(int(mx + 21), int(hgt + my));
    pts[1] = QPoint(int(mx + 25), int(hgt + my));
    pts[2] = QPoint(int(mx + 25), int(my));
    pts[3] = QPoint(int(mx + 30), int(my));
    pts[4] = QPoint(int(mx + 30), int(hgt + my));
    pts[5] = QPoint(int(mx + 34), int(hgt + my));
    return true;
}

SweepGeometry SweepGeometryOf(const CChartView& view) {
    SweepGeometry g;
    g.nX0 = LeftMargin(view.m_nWidth);
    g.dLimit = double(view.m_nWidth - 10);
    // 5 cm per 400 points whatever the chart's zoom.
    g.dStepX = StepX(view.m_dPxPerCmX, 1.0);
    g.dScaleY = ScaleY(view.m_dPxPerCmY);
    return g;
}

int SweepPositionsBeforeWrap(const SweepGeometry& g) {
    if (!(g.dStepX > 0.0))
        return 0;
    // The first position s >= 1 that wraps; the estimate is corrected for rounding.
    double est = std::ceil((g.dLimit - g.nX0) / g.dStepX);
    if (!(est < double(INT_MAX - 2)))
        return INT_MAX;
    int s = std::max(1, int(est) - 1);
    while (s > 1 && SweepWraps(g, s - 1))
        --s;
    while (!SweepWraps(g, s))
        ++s;
    return s - 1;
}

ProgressGeometry ProgressGeometryOf(int width, int height, int received) {
    ProgressGeometry g;
    g.nBarW = width / 3;
    g.nBarH = height / 30;
    g.dLeft = double(width / 2 - g.nBarW / 2);
    g.dTop = height / 2 - g.nBarH / 1.5;
    g.dBottom = g.dTop + g.nBarH;
    const int l = int(g.dLeft), t = int(g.dTop), r = int(g.dLeft + g.nBarW), b = int(g.dBottom);
    g.frame = QRect(l, t, r - l, b - t);
    // More than a whole record cannot arrive; a count past it would fill beyond the bar.
    const int n = std::clamp(received, 0, kPoints);
    const double percent = n * (1.0 / 4096) * 100;
    g.nPercent = int(percent);
    const int fillW = int((g.nBarW - 4) * percent / 100);
    const int fillH = int(g.dBottom - g.dTop - 4);
    if (fillW > 0 && fillH > 0)
        g.fill = QRect(int(g.dLeft + 2), int(g.dTop + 2), fillW, fillH);
    g.nCaptionY = int(g.dTop - 2 * g.nBarH);
    return g;
}

ScrollResult OnHScroll(int code, int p, int minimum, int limit, bool trackOk, int trackPos,
                       bool recordShown) {
    int q = p;
    switch (code) {
    case SB_LINELEFT:
        q = p > minimum ? p - kScrollLine : p;
        break;
    case SB_LINERIGHT:
        q = p < limit ? p + kScrollLine : p;
        break;
    case SB_PAGELEFT:
        q = p > minimum ? p - kScrollPage : p;
        break;
    case SB_PAGERIGHT:
        q = p < limit ? p + kScrollPage : p;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        if (!trackOk)
            return {};
        q = trackPos;
        break;
    case SB_LEFT:
        q = 0;
        break;
    case SB_RIGHT:
        q = limit;
        break;
    default:
        break;
    }
    if (!recordShown)
        return {};
    ScrollResult r;
    r.bApply = true;
    r.nScrollBarPos = q;
    // A step past the end stops one point short of the limit; SB_RIGHT reaches the limit.
    if (q < 0)
        q = 0;
    else if (q > limit)
        q = limit - 1;
    r.nScrollPos = q;
    return r;
}

bool RecordShown(const CSessionState& s) {
    return s.m_pShowCurves != nullptr && s.m_nRecordSize != 0 && s.m_pCurves != nullptr;
}
