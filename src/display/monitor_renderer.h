#pragma once
// What a record window shows while it receives: the sweeping live strip, the progress of the
// record's points and the full-window status texts. They share the chart's buffers, geometry and
// drawing objects.

#include "display/chart_geometry.h"
#include "display/chart_style.h"

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <cstdint>

class CSessionState;

// Draws the m_nNewPoints live points from ring position m_nRingPosPrev into the chart buffer:
// on the first pass since ResetValues the buffer is wiped (no grid), then the labels, one
// segment per lane and point, and an erase bar ahead of the pens that brings the grid back.
// Advances the sweep state of the session. Returns the part of the picture the pass changed
// (the margin with the labels and the columns the pens and bars passed), so that only that needs
// showing.
// With labelsKey, the caller keeps what the labels were last drawn from (0: the margin may have
// been drawn over since): while nothing they show has changed, the margin is left as it is and
// is not part of the changed region. Labels wider than the margin are never kept (the key is
// left 0): the sweep passes over them.
QRegion DrawMonitoringCurves(QPainter& p, const QImage& grid, const CChartView& view,
                             CSessionState& s, const CChartStyle& style,
                             uint64_t* labelsKey = nullptr);

// The whole picture becomes the progress bar for m_nReceived of 4096 points: frame, caption, the
// received part showing the grid and the percentage (also left in m_szInfo).
void DrawReceivingProgress(QPainter& p, const QImage& grid, const CChartView& view,
                           CSessionState& s, const CChartStyle& style);

// The whole picture becomes the string `id` of the string table, centred on plain background;
// a detail, when given, goes below it in the small font, wrapped to the picture's width.
void DrawIDS(QPainter& p, const CChartView& view, int id, const CChartStyle& style,
             const QString& detail = {});
