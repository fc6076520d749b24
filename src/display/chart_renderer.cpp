#include "display/chart_renderer.h"

#include "display/monitor_renderer.h"
#include "platform/string_table.h"
#include "record_model/session_state.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QLine>
#include <QPoint>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A grid family closer than this many pixels is no grid (every pixel a line) and only comes from a
// nonsensical density; it is left out rather than looped over.
constexpr double kMinGridSpacing = 0.05;

QString AbsentLeadText() {
    return QCoreApplication::translate("CChartRenderer", "отведение отсутствует в записи");
}

void BeginPass(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setBackgroundMode(Qt::TransparentMode);
}

// Marks the positions of one family of grid lines: from `start`, every `step` pixels
// accumulated in double precision and truncated, while below `end`.
void MarkLines(std::vector<uint8_t>& kind, double start, double step, int end, uint8_t mark) {
    if (!(step >= kMinGridSpacing) || !std::isfinite(step))
        return;
    for (double v = start; v < end; v += step)
        kind[size_t(int(v))] = mark;
}

// A one-row texture, repeated down the rows it fills.
QBrush RowBrush(const std::vector<QRgb>& row) {
    QImage img(int(row.size()), 1, QImage::Format_RGB32);
    std::copy(row.begin(), row.end(), reinterpret_cast<QRgb*>(img.scanLine(0)));
    return QBrush(img);
}

// Appends a point to a polyline, leaving out what draws no pixel of its own: a repeated point,
// and the middle of a straight horizontal or vertical run (a line over the whole run covers the
// same pixels). A lane of a wide chart has about two points to a pixel column and long flat
// stretches, so many points go.
void AddPoint(std::vector<QPoint>& pts, const QPoint& q) {
    const size_t n = pts.size();
    if (n != 0 && pts[n - 1] == q)
        return;
    if (n >= 2) {
        const QPoint& a = pts[n - 2];
        QPoint& b = pts[n - 1];
        // Neighbours differ, so on a shared row (column) the other coordinates differ too.
        const bool row = a.y() == b.y() && b.y() == q.y() && (b.x() > a.x()) == (q.x() > b.x());
        const bool column = a.x() == b.x() && b.x() == q.x() && (b.y() > a.y()) == (q.y() > b.y());
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

// The pixels a text drawn by DrawTextAt may touch: its ink and its advance, with room for the
// antialiased edge.
QRect TextArea(const QFontMetrics& fm, int x, int y, const QString& text) {
    const QRect ink = fm.boundingRect(text).translated(x, y + fm.ascent());
    return (ink | QRect(x, y, fm.horizontalAdvance(text), fm.height())).adjusted(-2, -2, 2, 2);
}

// The painter's picture when it is an image buffer like the grid's with nothing transformed or
// clipped: then the grid's pixels can be copied into it as bytes.
QImage* PlainImageTarget(QPainter& p, const QImage& grid) {
    QImage* target = p.device() && p.device()->devType() == QInternal::Image
                         ? static_cast<QImage*>(p.device())
                         : nullptr;
    if (target && target->isDetached() && target->format() == grid.format() &&
        target->size() == grid.size() && target->bytesPerLine() == grid.bytesPerLine() &&
        grid.depth() == 32 && !p.hasClipping() && p.worldTransform().isIdentity() &&
        p.opacity() == 1.0)
        return target;
    return nullptr;
}

} // namespace

void CopyFromGrid(QPainter& p, const QImage& grid, const QRect& r) {
    const QRect src = r & grid.rect();
    if (src.isEmpty())
        return;
    // Besides saving the painting machinery, a whole buffer goes in one block; the row by row
    // copy of drawImage slows down several times when the two buffers happen to lie a few bytes
    // apart modulo 4 KiB, which is common for two buffers of the same size.
    if (QImage* target = PlainImageTarget(p, grid)) {
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
    if (cx <= 0 || cy <= 0)
        grid.fill(style.m_hBackBrush.color()); // a window with no room: no grid, defined pixels
    {
        QPainter p(&grid);
        DrawGrid(p, view, style);
    }
    chart = grid.copy();
}

void DrawGrid(QPainter& p, const CChartView& view, const CChartStyle& style) {
    const int w = view.m_nWidth, h = view.m_nHeight, x0 = LeftMargin(w);
    if (w <= 0 || h <= 0)
        return;
    // The picture of the lines drawn one by one (fine verticals, fine horizontals, coarse
    // verticals, coarse horizontals, each over the ones before), composed from which columns
    // and rows carry a line: a texture of the column pattern for the plain rows, another for
    // the rows of the fine lines, solid runs for the coarse rows. Drawing a thousand lines of a
    // full window's length pixel by pixel costs many times more.
    enum : uint8_t { kNone, kFineLine, kCoarseLine };
    std::vector<uint8_t> cols(size_t(w), kNone), rows(size_t(h), kNone);
    MarkLines(cols, x0, view.m_dPxPerCmX / 10, w, kFineLine);
    MarkLines(cols, x0, view.m_dPxPerCmX, w, kCoarseLine);
    MarkLines(rows, 0, view.m_dPxPerCmY / 10, h, kFineLine);
    MarkLines(rows, 0, view.m_dPxPerCmY, h, kCoarseLine);

    const QRgb back = style.m_hBackBrush.color().rgb();
    const QRgb fine = style.m_hFinePen.color().rgb();
    const QRgb coarse = style.m_hCoarsePen.color().rgb();
    std::vector<QRgb> plain(static_cast<size_t>(w)), fineRow(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x) {
        const uint8_t c = cols[size_t(x)];
        plain[size_t(x)] = c == kCoarseLine ? coarse : c == kFineLine ? fine : back;
        // Horizontal lines start at x0; coarse verticals are drawn over the fine horizontals.
        fineRow[size_t(x)] = x < x0 ? back : c == kCoarseLine ? coarse : fine;
    }

    p.save();
    BeginPass(p);
    p.setBrushOrigin(0, 0);
    p.fillRect(QRect(0, 0, w, h), RowBrush(plain));
    const QBrush fineBrush = RowBrush(fineRow);
    for (int y = 0; y < h; ++y) {
        if (rows[size_t(y)] == kFineLine)
            p.fillRect(QRect(0, y, w, 1), fineBrush);
        else if (rows[size_t(y)] == kCoarseLine && w > x0)
            p.fillRect(QRect(x0, y, w - x0, 1), QColor(coarse));
    }
    p.restore();
}

void ChooseLeadGroup(CSessionState& s) {
    if (s.m_nLanes == 0 && s.m_nFirstLane == 0) {
        const LeadGroup g = LeadGroupOf(s.m_nLeadSystem);
        s.m_nLanes = g.nLanes;
        s.m_nFirstLane = int16_t(g.nFirstLane);
    }
}

QRect DrawButtons(QPainter& p, const CChartView& view, CSessionState& s, const CChartStyle& style,
                  const QFont& labelFont, int xOffset) {
    ChooseLeadGroup(s);
    const int lanes = DisplayedLanes(s);
    if (lanes == 0)
        return {};
    p.save();
    p.setFont(labelFont);
    p.setPen(style.m_clrText);
    const QFontMetrics fm = p.fontMetrics();
    QRect area;
    for (int k = 0; k < lanes; ++k) {
        const char* label = LeadLabel(s.m_nLeadSystem, s.m_nFirstLane, k);
        if (!label)
            continue;
        const QString text = QString::fromLatin1(label);
        const QPoint at = LabelPos(view.m_nWidth, view.m_nHeight, xOffset, k, lanes,
                                   fm.horizontalAdvance(text), fm.height());
        const int lane = s.m_nFirstLane + k;
        const bool absent = lane < 16 && (s.m_nAbsentLanes >> lane & 1);
        p.setPen(absent ? style.m_clrAbsent : style.m_clrText);
        DrawTextAt(p, at.x(), at.y(), text);
        area |= TextArea(fm, at.x(), at.y(), text);
    }
    p.restore();
    return area;
}

ChartPass DrawCurves(QPainter& p, const QImage& grid, CChartView& view, CSessionState& s,
                     const CChartStyle& style, CChartDamage* damage) {
    if (s.m_bLiveView && s.m_nRingPos != 0)
        return ChartPass::LiveOwnsWindow;
    if (s.m_bSending) {
        if (damage)
            damage->Forget();
        DrawIDS(p, view, ids::Sending, style);
        return ChartPass::SendingMessage;
    }
    const CChartFonts fonts = MakeChartFonts(view.m_nHeight, style);
    p.save();
    BeginPass(p);
    // Only what the previous pass drew needs the grid back; without that knowledge, all of it.
    QImage* target = damage ? PlainImageTarget(p, grid) : nullptr;
    CChartDamage* drawn = target ? damage : nullptr; // where this pass records what it draws
    if (drawn) {
        if (!drawn->Covers(grid))
            drawn->All(grid);
        drawn->RestoreGrid(*target, grid);
    } else {
        CopyFromGrid(p, grid, QRect(0, 0, view.m_nWidth, view.m_nHeight));
        if (damage)
            damage->Forget();
    }
    const QRect labels = DrawButtons(p, view, s, style, fonts.m_hFontLabel, 0);
    if (drawn)
        drawn->Mark(labels);

    const bool shown = RecordShown(s);
    if (shown) {
        const int x0 = LeftMargin(view.m_nWidth);
        const int width = int(view.m_nWidth - x0);
        view.m_dScaleY =
            ScaleY(view.m_dPxPerCmY) * (view.m_dGainMmPerMv > 0 ? view.m_dGainMmPerMv / 10.0 : 1.0);
        const int16_t* samples = view.m_pDrawSamples ? view.m_pDrawSamples : s.m_pCurves;
        const int lanes = DisplayedLanes(s);
        const int count = ChartPointCount(width, view.m_dStepX);
        // The curves read the sample area only: never the record info block behind it.
        const int elements = std::min(s.m_nSamplesSize, kSamplesSize) / 2;
        // The x of each point is the same in every band: computed once.
        thread_local std::vector<int> xs;
        thread_local std::vector<QPoint> pts;
        // A position left of the record (the scroll events never give one) starts the curves at
        // point 0, in its place.
        const long long first = std::max(0LL, -static_cast<long long>(view.m_nScrollPos));
        const long long start = view.m_nScrollPos + first; // the first point drawn
        const long long n = std::max(0LL, std::min<long long>(count - first, kPoints - start));
        xs.resize(size_t(n));
        for (long long j = 0; j < n; ++j)
            xs[size_t(j)] = ChartPointX(int(first + j), view.m_dStepX, x0);
        p.setPen(style.m_hCurvePen);
        for (int k = 0; k < lanes; ++k) {
            const int yk = LaneBaseline(k, lanes, view.m_nHeight);
            const int lane = s.m_nFirstLane + k;
            if (lane < 16 && (s.m_nAbsentLanes >> lane & 1)) {
                // A lead the record lacks is said, not drawn: a flat line would pass for a real
                // isoelectric signal.
                p.save();
                p.setFont(fonts.m_hFontSmall);
                p.setPen(style.m_clrAbsent);
                const QString text = AbsentLeadText();
                const QFontMetrics fm = p.fontMetrics();
                const int at = yk - fm.height() / 2;
                DrawTextAt(p, x0 + 8, at, text);
                if (drawn)
                    drawn->Mark(TextArea(fm, x0 + 8, at, text));
                p.restore();
                continue;
            }
            pts.clear();
            for (size_t j = 0; j < xs.size(); ++j) {
                const long long e =
                    s.m_nFirstLane + (start + static_cast<long long>(j)) * kLeads + k;
                if (e >= elements)
                    break; // every later point lies further on
                AddPoint(pts, QPoint(xs[j], ChartPointY(yk, samples[e], view.m_dScaleY)));
            }
            if (pts.size() < 2)
                continue;
            p.drawPolyline(pts.data(), int(pts.size()));
            if (drawn)
                for (size_t j = 1; j < pts.size(); ++j)
                    drawn->MarkLine(pts[j - 1], pts[j]);
        }
        // What is in effect, so that a filtered picture is never taken for a raw one.
        if (!view.m_strSettings.isEmpty()) {
            p.setFont(fonts.m_hFontSmall);
            p.setPen(style.m_clrText);
            const QFontMetrics fm = p.fontMetrics();
            const QPoint at(view.m_nWidth - fm.horizontalAdvance(view.m_strSettings) - 8, 4);
            DrawTextAt(p, at.x(), at.y(), view.m_strSettings);
            if (drawn)
                drawn->Mark(TextArea(fm, at.x(), at.y(), view.m_strSettings));
        }
        // A record whose time base was never set has no time to show.
        if (FileTimeTicks(s.m_Time.m_ftStart) != 0 && s.m_dZoom > 0.0) {
            const char* text = s.m_Time.Sec2DateTime(TimeLabelPoints(view.m_nScrollPos, s.m_dZoom),
                                                     float(TimeRate(s.m_dZoom)));
            p.setFont(fonts.m_hFontSmall);
            p.setPen(style.m_clrText);
            const QPoint at = TimeLabelPos(view.m_nWidth, view.m_nHeight);
            const QString label = QString::fromUtf8(text);
            DrawTextAt(p, at.x(), at.y(), label);
            if (drawn)
                drawn->Mark(TextArea(p.fontMetrics(), at.x(), at.y(), label));
        }
    }

    QPoint mark[6];
    if (CalibrationMark(view, s.m_nLeadSystem, shown, mark)) {
        p.setPen(style.m_hMarkPen);
        p.drawPolyline(mark, 6);
        for (int j = 1; drawn && j < 6; ++j)
            drawn->MarkLine(mark[j - 1], mark[j]);
    }
    p.restore();
    return ChartPass::Drawn;
}
