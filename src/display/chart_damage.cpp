#include "display/chart_damage.h"

#include <bit>
#include <cstring>

namespace {

constexpr size_t kMaxRowKinds = 8; // a grid has three; anything else maps rows to themselves

} // namespace

bool CChartDamage::Covers(const QImage& grid) const {
    return m_bKnown && grid.cacheKey() == m_nGridKey && grid.size() == m_size;
}

void CChartDamage::Key(const QImage& grid) {
    if (grid.cacheKey() != m_nGridKey || grid.size() != m_size) {
        m_nGridKey = grid.cacheKey();
        m_size = grid.size();
        // 64 blocks cover the width; blocks narrower than 32 pixels would cost more in marking
        // and in short copies than they save.
        m_nBlockWidth = std::max(32, (m_size.width() + 63) / 64);
        m_source.resize(size_t(std::max(m_size.height(), 0)));
        std::vector<int> kinds;
        const size_t bytes = size_t(grid.width()) * size_t(grid.depth() / 8);
        for (int y = 0; y < m_size.height(); ++y) {
            const auto same = [&](int k) {
                return std::memcmp(grid.constScanLine(y), grid.constScanLine(k), bytes) == 0;
            };
            const auto kind = std::find_if(kinds.begin(), kinds.end(), same);
            m_source[size_t(y)] = kind != kinds.end() ? *kind : y;
            if (kind == kinds.end() && kinds.size() < kMaxRowKinds)
                kinds.push_back(y);
        }
    }
    m_bKnown = grid.depth() == 32;
    m_rows.resize(m_source.size());
}

void CChartDamage::Clean(const QImage& grid) {
    Key(grid);
    std::fill(m_rows.begin(), m_rows.end(), 0);
}

void CChartDamage::All(const QImage& grid) {
    Key(grid);
    std::fill(m_rows.begin(), m_rows.end(), ~0ULL);
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
            if (n <= 0)
                break; // blocks past the right edge (all of them marked)
            std::memcpy(to + qsizetype(y) * bpl + x * 4,
                        from + qsizetype(m_source[y]) * bpl + x * 4, size_t(n) * 4);
        }
    }
}
