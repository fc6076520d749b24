#pragma once
// Where a chart pass drew over the grid in its buffer. Kept from one pass to the next into the
// same buffer, it lets the next pass put back only those pixels of the grid instead of copying
// the whole grid (8 MB at 1920 x 1080, a third of a pass). The buffer is cut into blocks of
// columns, one 64-bit word of blocks per pixel row.
//
// Whoever draws anything else into the buffer calls Forget(): the next pass then puts back all
// of the grid.

#include <QImage>
#include <QRect>
#include <algorithm>
#include <cstdint>
#include <vector>

class CChartDamage {
public:
    void Forget() { m_bKnown = false; }
    // The buffer is a fresh copy of `grid`: nothing to put back.
    void Clean(const QImage& grid);
    // The buffer may hold anything: all of it to put back.
    void All(const QImage& grid);

    // True when the marks describe what lies over `grid` in a buffer of its size.
    bool Covers(const QImage& grid) const;
    // Puts the grid back under the marks (target of the grid's format and size) and clears them.
    void RestoreGrid(QImage& target, const QImage& grid);

    // Marks pixels drawn over (clipped to the buffer).
    void Mark(const QRect& r);
    // A line from a to b of a one-pixel pen: the rasteriser may step a pixel outside the two
    // ends where segments join, so a pixel of room goes around it.
    void MarkLine(const QPoint& a, const QPoint& b) {
        Mark(QRect(QPoint(std::min(a.x(), b.x()) - 1, std::min(a.y(), b.y()) - 1),
                   QPoint(std::max(a.x(), b.x()) + 1, std::max(a.y(), b.y()) + 1)));
    }

private:
    void Key(const QImage& grid);

    bool m_bKnown = false;
    qint64 m_nGridKey = 0;
    QSize m_size;
    int m_nBlockWidth = 1;
    std::vector<uint64_t> m_rows;
    // For each grid row, the first row equal to it. A grid has a few kinds of rows only; copying
    // from those keeps the source in the cache, so a restore reads kilobytes, not megabytes.
    std::vector<int> m_source;
};
