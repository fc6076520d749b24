#include "display/monitor_renderer.h"

#include "display/chart_renderer.h"
#include "platform/string_table.h"
#include "record_model/session_state.h"

#include <QFontMetrics>
#include <QLine>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void BeginPass(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setBackgroundMode(Qt::TransparentMode);
}

void DrawTextAt(QPainter& p, int x, int y, const QString& text) {
    p.drawText(x, y + p.fontMetrics().ascent(), text);
}

} // namespace

QRegion DrawMonitoringCurves(QPainter& p, const QImage& grid, const CChartView& view,
                             CSessionState& s, const CChartStyle& style, uint64_t* labelsKey) {
    const CChartFonts fonts = MakeChartFonts(view.m_nHeight, style);
    p.save();
    BeginPass(p);
    const int w = view.m_nWidth, h = view.m_nHeight;
    ChooseLeadGroup(s);
    // The labels depend on these alone: while they stay and the margin holds what the last pass
    // drew there, the margin is neither drawn nor shown again.
    const uint64_t key = (uint64_t(uint16_t(w)) << 48) ^ (uint64_t(uint16_t(h)) << 32) ^
                         (uint64_t(uint8_t(s.m_nLeadSystem)) << 24) ^
                         (uint64_t(uint8_t(s.m_nFirstLane)) << 20) ^
                         (uint64_t(uint8_t(s.m_nLanes)) << 16) ^ uint64_t(s.m_nAbsentLanes) ^
                         (uint64_t(fonts.m_hFontLabel.pixelSize() & 0xFF) << 56) ^ (1ull << 63);
    const bool labelsKept = labelsKey && *labelsKey == key && s.m_bMonitorCleared;
    const QRect margin(0, 0, LeftMargin(w), h);
    QRegion changed = labelsKept ? QRegion() : QRegion(margin);
    int minX = w, maxX = -1; // the columns the pens, bars and restart strips touched
    const auto touched = [&](int left, int right) {
        minX = std::min(minX, left);
        maxX = std::max(maxX, right);
    };
    // A pen's square caps and width reach a few pixels further. A wrap closes a stretch: the
    // columns at the right end and those at the left are two, not the whole width between.
    const auto closeStretch = [&] {
        if (maxX >= minX)
            changed += QRect(minX - 4, 0, maxX - minX + 9, h);
        minX = w;
        maxX = -1;
    };
    if (!s.m_bMonitorCleared) {
        p.fillRect(QRect(0, 0, w, h), style.m_hBackBrush);
        s.m_bMonitorCleared = 1;
        touched(0, w);
    } else if (!labelsKept) {
        // Pens, restart strips and erase bars stay right of x0, so the margin holds nothing but
        // the labels; clearing it keeps their antialiased edges from thickening as they are
        // drawn over themselves.
        p.fillRect(margin, style.m_hBackBrush);
    }
    if (!labelsKept) {
        const QRect area = DrawButtons(p, view, s, style, fonts.m_hFontLabel, 0);
        changed += area & QRect(0, 0, w, h);
        // Labels reaching past the margin stand where the pens and bars go: they are drawn
        // again every pass, over whatever the sweep left there.
        const bool inMargin = area.isEmpty() || area.right() <= margin.right();
        if (labelsKey)
            *labelsKey = inMargin ? key : 0;
    }

    // A lead system without lanes has nothing to sweep (and no band height to divide by).
    const int lanes = DisplayedLanes(s);
    if (lanes > 0 && s.m_nNewPoints > 0 && s.m_pCurves) {
        const SweepGeometry g = SweepGeometryOf(view);
        // A tick's segments and erase bars are gathered and drawn together: first the bars (as
        // few copies as their overlaps allow), then the segments. Bars run ahead of the pens, so
        // within one sweep no bar covers a segment drawn before it, and every segment a bar
        // covers is drawn after that bar anyway: the picture is the one of drawing point by
        // point. A wrap ends the gathering; its restart strip must go after the old sweep.
        thread_local std::vector<QLine> segments;
        segments.clear();
        int barLeft = 0, barRight = 0; // pending bars [barLeft, barRight), empty when equal
        auto flushBars = [&]() {
            if (barRight > barLeft) {
                CopyFromGrid(p, grid, QRect(barLeft, 0, barRight - barLeft, h));
                touched(barLeft, barRight);
            }
            barLeft = barRight = 0;
        };
        // Segments include both ends: a lane's chain then has all its joints, and drawing the
        // segments in one call or one by one gives the same pixels.
        QPen pen = style.m_hCurvePen;
        pen.setCapStyle(Qt::SquareCap);
        auto flush = [&]() {
            flushBars();
            if (segments.empty())
                return;
            p.setPen(pen);
            p.drawLines(segments.data(), int(segments.size()));
            segments.clear();
        };
        int idx = s.m_nRingPosPrev;
        for (int n = 0; n < s.m_nNewPoints; ++n) {
            if (idx >= kPoints || idx < 0)
                idx = 0; // the ring wraps
            // Lanes start together and advance together, so they wrap on the same point: one
            // copy of the restart strip serves them all, and no lane's restart wipes the first
            // dash another lane has just drawn there.
            bool restart = false;
            for (int k = 0; k < lanes; ++k) {
                int& pos = s.m_nSweepPos[size_t(k)];
                if (SweepWraps(g, pos) || pos < 1)
                    pos = 1;
                restart = restart || pos == 1;
            }
            if (restart) {
                flush();
                closeStretch();
                CopyFromGrid(p, grid, QRect(SweepX(g, 1), 0, kEraseBarWidth, h));
                touched(SweepX(g, 1), SweepX(g, 1) + kEraseBarWidth);
            }
            int base = h / (2 * lanes);
            int xe = 0;
            // The live ring, or its filtered copy when the window reads through a filter.
            const int16_t* ring = view.m_pDrawSamples ? view.m_pDrawSamples : s.m_pCurves;
            const int16_t* point = ring + idx * kLeads + s.m_nFirstLane;
            for (int k = 0; k < lanes; ++k) {
                const int y = ChartPointY(base, point[k], g.dScaleY);
                int& pos = s.m_nSweepPos[size_t(k)];
                int& lastX = s.m_nLastX[size_t(k)];
                int& lastY = s.m_nLastY[size_t(k)];
                const QPoint from = pos == 1 ? QPoint(SweepX(g, 1), y) : QPoint(lastX, lastY);
                ++pos;
                const QPoint to(SweepX(g, pos), y);
                segments.emplace_back(from, to);
                touched(std::min(from.x(), to.x()), std::max(from.x(), to.x()));
                lastX = to.x();
                lastY = to.y();
                xe = to.x();
                base += h / lanes;
            }
            // The erase bar of this point, joined to the pending ones when they touch.
            const int left = xe + kEraseBarGap, right = left + kEraseBarWidth;
            if (barRight > barLeft && left <= barRight && right >= barLeft) {
                barLeft = std::min(barLeft, left);
                barRight = std::max(barRight, right);
            } else {
                flushBars();
                barLeft = left;
                barRight = right;
            }
            ++idx;
        }
        flush();
    }
    p.restore();
    closeStretch();
    return changed;
}

void DrawReceivingProgress(QPainter& p, const QImage& grid, const CChartView& view,
                           CSessionState& s, const CChartStyle& style) {
    const CChartFonts fonts = MakeChartFonts(view.m_nHeight, style);
    p.save();
    BeginPass(p);
    const int w = view.m_nWidth, h = view.m_nHeight;
    p.fillRect(QRect(0, 0, w, h), style.m_hBackBrush);

    const ProgressGeometry g = ProgressGeometryOf(w, h, s.m_nReceived);
    // The frame's outline covers g.frame, right and bottom edges included.
    if (g.frame.width() > 0 && g.frame.height() > 0) {
        p.setPen(style.m_hFramePen);
        p.setBrush(style.m_hBackBrush);
        p.drawRect(g.frame.adjusted(0, 0, -1, -1));
    }

    p.setFont(fonts.m_hFontSmall);
    p.setPen(style.m_clrText);
    const QFontMetrics fm = p.fontMetrics();
    const QString caption = LoadString(ids::Receiving);
    DrawTextAt(p, CentredX(w, fm.horizontalAdvance(caption)), g.nCaptionY, caption);

    std::snprintf(s.m_szInfo, sizeof s.m_szInfo, " %d %%", g.nPercent);
    if (!g.fill.isEmpty())
        CopyFromGrid(p, grid, g.fill);

    const QString percent = QString::fromLatin1(s.m_szInfo);
    DrawTextAt(p, CentredX(w, fm.horizontalAdvance(percent)),
               int((g.dTop + g.dBottom) * 0.5 - fm.height() / 2), percent);
    p.restore();
}

void DrawIDS(QPainter& p, const CChartView& view, int id, const CChartStyle& style,
             const QString& detail) {
    const QString text = LoadString(id);
    const QFont font = SetupFont(StatusFontHeight(view.m_nHeight), QFont::Black, false, false,
                                 kDefaultQuality, style.m_strFace);
    p.save();
    BeginPass(p);
    const int w = view.m_nWidth, h = view.m_nHeight;
    p.fillRect(QRect(0, 0, w, h), style.m_hBackBrush);
    p.setFont(font);
    p.setPen(style.m_clrText);
    const QFontMetrics fm = p.fontMetrics();
    DrawTextAt(p, CentredX(w, fm.horizontalAdvance(text)), h / 2 - fm.height() / 2, text);
    if (!detail.isEmpty()) {
        p.setFont(MakeChartFonts(h, style).m_hFontSmall);
        const int margin = w / 20;
        p.drawText(QRect(margin, h / 2 + fm.height(), w - 2 * margin, h / 2 - fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, detail);
    }
    p.restore();
}
