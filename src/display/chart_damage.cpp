#include "display/chart_damage.h"

#include <algorithm>
#include <bit>
#include <cstring>

bool CChartDamage::Covers(const QImage& grid) const {
    return m_bKnown && grid.cacheKey() == m_nGridKey && grid.size() == m_size;
}

void CChartDamage::Start(const QImage& grid, bool known) {
    m_bKnown = known && grid.depth() == 32;
    m_nGridKey = grid.cacheKey();
    m_size = grid.size();
    // 64 blocks cover the width; narrower blocks than 32 pixels would cost more in marking and
    // in short copies than they save.
    m_nBlockWidth = std::max(32, (m_size.width() + 63) / 64);
    m_rows.assign(m_bKnown ? size_t(std::max(m_size.height(), 0)) : 0, 0);
}

void CChartDamage::Mark(const QRect& r) {
    if (!m_bKnown)
        return;
    const QRect c = r & QRect(QPoint(0, 0), m_size);
    if (c.isEmpty())
        return;
    const int first = c.left() / m_nBlockWidth, last = c.right() / m_nBlockWidth;
    const uint64_t mask = (last == 63 ? ~0ULL : (1ULL << (last + 1)) - 1) & ~((1ULL << first) - 1);
    for (int y = c.top(); y <= c.bottom(); ++y)
        m_rows[size_t(y)] |= mask;
}

void CChartDamage::RestoreGrid(QImage& target, const QImage& grid) {
    const qsizetype bpl = grid.bytesPerLine();
    const int width = m_size.width();
    uchar* to = target.bits();
    const uchar* from = grid.constBits();
    for (size_t y = 0; y < m_rows.size(); ++y) {
        uint64_t blocks = m_rows[y];
        m_rows[y] = 0;
        while (blocks != 0) {
            // One copy per run of marked blocks.
            const int first = std::countr_zero(blocks);
            const int end = first + std::countr_one(blocks >> first);
            blocks = end == 64 ? 0 : blocks & ~((1ULL << end) - 1);
            const int x = first * m_nBlockWidth;
            const int n = std::min(end * m_nBlockWidth, width) - x;
            const qsizetype at = qsizetype(y) * bpl + qsizetype(x) * 4;
            std::memcpy(to + at, from + at, size_t(n) * 4);
        }
    }
}
