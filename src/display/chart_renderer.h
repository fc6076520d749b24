#pragma once
// The chart of a finished record: grid buffer, lead labels, curves from the scroll position, the
// time label of the left edge and the calibration mark. Each renderer draws into any QPainter
// (the view's buffers, an image to export, a printer page) with the view's geometry.

#include "display/chart_damage.h"
#include "display/chart_geometry.h"
#include "display/chart_style.h"

#include <QFont>
#include <QImage>
#include <QPainter>

class CSessionState;

// Size event: SetSize, then new grid and chart buffers of that size (RGB32), the grid drawn into
// the first and copied into the second. Densities must be known (FirstRun).
void RebuildBuffers(CChartView& view, int cx, int cy, QImage& grid, QImage& chart,
                    const CChartStyle& style);

// Background and grid over the view's size: 1 mm and 1 cm lines from x0 rightwards; the margin
// left of x0 stays plain.
void DrawGrid(QPainter& p, const CChartView& view, const CChartStyle& style);

// Chooses the lead group of the session's lead system when none is chosen, and draws the lead
// labels centred in the left margin (widened by xOffset) with the given font. Returns the area
// the labels may have touched.
QRect DrawButtons(QPainter& p, const CChartView& view, CSessionState& s, const CChartStyle& style,
                  const QFont& labelFont, int xOffset = 0);

// The lead group of the session's lead system, when none is chosen (as DrawButtons does first).
void ChooseLeadGroup(CSessionState& s);

enum class ChartPass {
    LiveOwnsWindow, // a live session shows its own picture: nothing was drawn
    SendingMessage, // a mail send runs: the status text was drawn instead of the chart
    Drawn,          // the chart was drawn; when a record is shown the widget puts its scroll
                    // bar to m_nScrollPos
};

// The chart pass: copies the grid buffer, draws the labels, the curves of the shown record from
// m_nScrollPos with its time label, and the calibration mark. Sets m_dScaleY. With `damage`,
// kept from the previous pass into the same buffer, only what that pass drew is copied back
// from the grid, and what this pass draws is recorded there.
ChartPass DrawCurves(QPainter& p, const QImage& grid, CChartView& view, CSessionState& s,
                     const CChartStyle& style, CChartDamage* damage = nullptr);

// Copies the part `r` of the grid buffer to the same place of the painter's picture.
void CopyFromGrid(QPainter& p, const QImage& grid, const QRect& r);
