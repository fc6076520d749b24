#include "display/chart_renderer.h"

#include "display/monitor_renderer.h"
#include "platform/string_table.h"
#include "record/session_state.h"

#include <QFontMetrics>
#include <QLine>
#include <QPoint>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Grid families closer than this many pixels would be solid colour, and would take millions of
// lines to draw at a nonsensical density; they are left out.
constexpr double kMinGridSpacing = 0.05;

void BeginPass(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setBackgroundMode(Qt::TransparentMode);
}

void DrawGridFamily(QPainter& p, const CChartView& view, double s, double t, const QPen& pen) {
    const int w = view.m_nWidth, h = view.m_nHeight, x0 = LeftMargin(w);
    std::vector<QLine> lines;
    // Positions accumulate in double precision and are truncated at the drawing call.
    if (s >= kMinGridSpacing && std::isfinite(s)) {
        for (double x = x0; x < w; x += s)
            lines.emplace_back(int(x), 0, int(x), h);
    }
    if (t >= kMinGridSpacing && std::isfinite(t)) {
        for (double y = 0; y < h; y += t)
            lines.emplace_back(x0, int(y), w, int(y));
    }
    p.setPen(pen);
    p.drawLines(lines.data(), int(lines.size()));
}

// Appends a point to a polyline, leaving out what draws no pixel of its own: a repeated point,
// and the middle of a straight horizontal or vertical run (a line over the whole run covers the
// same pixels). A lane of a wide chart has two points to a pixel column and long flat stretches,
// so this halves the segments or better.
void AddPoint(std::vector<QPoint>& pts, const QPoint& q) {
    const size_t n = pts.size();
    if (n != 0 && pts[n - 1] == q)
        return;
    if (n >= 2) {
        const QPoint& a = pts[n - 2];
        QPoint& b = pts[n - 1];
        // Neighbours differ, so on a shared row (column) the other coordinates differ too.
        const bool row = a.y() == b.y() && b.y() == q.y() && (b.x() > a.x()) == (q.x() > b.x());
        const bool column =
            a.x() == b.x() && b.x() == q.x() && (b.y() > a.y()) == (q.y() > b.y());
        if (row || column) {
            b = q;
            return;
        }
    }
    pts.push_back(q);
}

// Text with its top-left corner at (x, y), as the label positions are computed.
void DrawTextAt(QPainter& p, int x, int y, const QString& text) {
    p.drawText(x, y + p.fontMetrics().ascent(), text);
}

} // namespace

void CopyFromGrid(QPainter& p, const QImage& grid, const QRect& r) {
    const QRect src = r & grid.rect();
    if (src.isEmpty())
        return;
    // Into an image buffer like the grid's, nothing transformed or clipped: a plain copy of the
    // bytes. Besides saving the painting machinery, a whole buffer goes in one block; the row by
    // row copy of drawImage slows down several times when the two buffers happen to lie a few
    // bytes apart modulo 4 KiB, which is common for two buffers of the same size.
    QImage* target = p.device() && p.device()->devType() == QInternal::Image
                         ? static_cast<QImage*>(p.device())
                         : nullptr;
    if (target && target->format() == grid.format() && target->size() == grid.size() &&
        target->bytesPerLine() == grid.bytesPerLine() && !p.hasClipping() &&
        p.worldTransform().isIdentity() && grid.depth() == 32) {
        const qsizetype bpl = grid.bytesPerLine();
        const qsizetype offset = src.y() * bpl + src.x() * 4;
        uchar* to = target->bits() + offset;
        const uchar* from = grid.constBits() + offset;
        if (src.width() == grid.width()) {
            std::memcpy(to, from, size_t(src.height() * bpl));
        } else {
            for (int y = 0; y < src.height(); ++y)
                std::memcpy(to + y * bpl, from + y * bpl, size_t(src.width()) * 4);
        }
        return;
    }
    const QPainter::CompositionMode mode = p.compositionMode();
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(src.topLeft(), grid, src);
    p.setCompositionMode(mode);
}

void RebuildBuffers(CChartView& view, int cx, int cy, QImage& grid, QImage& chart,
                    const CChartStyle& style) {
    SetSize(view, cx, cy);
    grid = QImage(std::max(cx, 1), std::max(cy, 1), QImage::Format_RGB32);
    {
        QPainter p(&grid);
        DrawGrid(p, view, style);
    }
    chart = grid.copy();
}

void DrawGrid(QPainter& p, const CChartView& view, const CChartStyle& style) {
    p.save();
    BeginPass(p);
    p.fillRect(QRect(0, 0, view.m_nWidth, view.m_nHeight), style.m_hBackBrush);
    DrawGridFamily(p, view, view.m_dPxPerCmX / 10, view.m_dPxPerCmY / 10, style.m_hFinePen);
    DrawGridFamily(p, view, view.m_dPxPerCmX, view.m_dPxPerCmY, style.m_hCoarsePen);
    p.restore();
}

void DrawButtons(QPainter& p, const CChartView& view, CSessionState& s, const CChartStyle& style,
                 const QFont& labelFont, int xOffset) {
    if (s.m_nLanes == 0 && s.m_nFirstLane == 0) {
        const LeadGroup g = LeadGroupOf(s.m_nLeadSystem);
        s.m_nLanes = g.nLanes;
        s.m_nFirstLane = int16_t(g.nFirstLane);
    }
    const int lanes = DisplayedLanes(s);
    if (lanes == 0)
        return;
    p.save();
    p.setFont(labelFont);
    p.setPen(style.m_clrText);
    const QFontMetrics fm = p.fontMetrics();
    for (int k = 0; k < lanes; ++k) {
        const char* label = LeadLabel(s.m_nLeadSystem, s.m_nFirstLane, k);
        if (!label)
            continue;
        const QString text = QString::fromLatin1(label);
        const QPoint at = LabelPos(view.m_nWidth, view.m_nHeight, xOffset, k, lanes,
                                   fm.horizontalAdvance(text), fm.height());
        DrawTextAt(p, at.x(), at.y(), text);
    }
    p.restore();
}

ChartPass DrawCurves(QPainter& p, const QImage& grid, CChartView& view, CSessionState& s,
                     const CChartStyle& style) {
    if (s.m_bLiveView && s.m_nRingPos != 0)
        return ChartPass::LiveOwnsWindow;
    if (s.m_bSending) {
        DrawIDS(p, view, ids::Sending, style);
        return ChartPass::SendingMessage;
    }
    const CChartFonts fonts = MakeChartFonts(view.m_nHeight, style);
    p.save();
    BeginPass(p);
    CopyFromGrid(p, grid, QRect(0, 0, view.m_nWidth, view.m_nHeight));
    DrawButtons(p, view, s, style, fonts.m_hFontLabel, 0);

    const bool shown = RecordShown(s);
    if (shown) {
        const int x0 = LeftMargin(view.m_nWidth);
        const int width = int(view.m_nWidth - x0);
        view.m_dScaleY = ScaleY(view.m_dPxPerCmY);
        const int lanes = DisplayedLanes(s);
        const int count = ChartPointCount(width, view.m_dStepX);
        // The curves read the sample area only: never the record info block behind it.
        const int elements = std::min(s.m_nSamplesSize, kSamplesSize) / 2;
        thread_local std::vector<QPoint> pts;
        p.setPen(style.m_hCurvePen);
        for (int k = 0; k < lanes; ++k) {
            const int yk = LaneBaseline(k, lanes, view.m_nHeight);
            pts.clear();
            for (int i = 0; i < count; ++i) {
                const long long point = (long long)view.m_nScrollPos + i;
                if (point < 0)
                    continue;
                const long long e = s.m_nFirstLane + point * kLeads + k;
                if (e >= elements)
                    break; // every later point lies further on
                AddPoint(pts, QPoint(ChartPointX(i, view.m_dStepX, x0),
                                     ChartPointY(yk, s.m_pCurves[e], view.m_dScaleY)));
            }
            if (pts.size() >= 2)
                p.drawPolyline(pts.data(), int(pts.size()));
        }
        // A record whose time base was never set has no time to show.
        if (FileTimeTicks(s.m_Time.m_ftStart) != 0 && s.m_dZoom > 0.0) {
            const char* text = s.m_Time.Sec2DateTime(TimeLabelPoints(view.m_nScrollPos, s.m_dZoom),
                                                     float(TimeRate(s.m_dZoom)));
            p.setFont(fonts.m_hFontSmall);
            p.setPen(style.m_clrText);
            const QPoint at = TimeLabelPos(view.m_nWidth, view.m_nHeight);
            DrawTextAt(p, at.x(), at.y(), QString::fromUtf8(text));
        }
    }

    QPoint mark[6];
    if (CalibrationMark(view, s.m_nLeadSystem, shown, mark)) {
        p.setPen(style.m_hMarkPen);
        p.drawPolyline(mark, 6);
    }
    p.restore();
    return ChartPass::Drawn;
}
