#pragma once
// Where a chart pass drew over the grid in its buffer. Kept from one pass to the next into the
// same buffer, it lets the next pass put back only those pixels of the grid instead of copying
// the whole grid (8 MB at 1920 x 1080, a third of a pass). The buffer is cut into blocks of
// columns, one 64-bit word of blocks per pixel row.
//
// Whoever draws anything else into the buffer, or replaces it, calls Forget(): the next pass
// then copies the whole grid.

#include <QImage>
#include <QRect>
#include <cstdint>
#include <vector>

class CChartDamage {
public:
    void Forget() { m_bKnown = false; }

    // True when the marks describe what lies over `grid` in a buffer of its size, so that
    // RestoreGrid gives the grid back.
    bool Covers(const QImage& grid) const;
    // Puts the grid back under the marks (same format and size as the grid) and clears them.
    void RestoreGrid(QImage& target, const QImage& grid);
    // Starts over for a buffer holding a fresh copy of `grid`: no marks. `known` false when the
    // pass cannot keep track (it draws through a painter whose pixels it cannot restore).
    void Start(const QImage& grid, bool known);

    // Marks pixels the pass draws over (clipped to the buffer).
    void Mark(const QRect& r);
    // A line from a to b of a one-pixel pen, with a pixel of room around it.
    void MarkLine(const QPoint& a, const QPoint& b) {
        Mark(QRect(QPoint(std::min(a.x(), b.x()) - 1, std::min(a.y(), b.y()) - 1),
                   QPoint(std::max(a.x(), b.x()) + 1, std::max(a.y(), b.y()) + 1)));
    }
    bool Known() const { return m_bKnown; }

private:
    bool m_bKnown = false;
    qint64 m_nGridKey = 0;
    QSize m_size;
    int m_nBlockWidth = 1;
    std::vector<uint64_t> m_rows;
};
