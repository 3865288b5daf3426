#include "transfer/sheetcells.h"

#include <algorithm>

namespace tombolix::transfer {

namespace {

quint64 keyOf(int row, int col)
{
    return (quint64(quint32(row)) << 32) | quint32(col);
}

} // namespace

void SheetCells::set(int row, int col, const QString &text)
{
    if (text.isEmpty() || row < 1 || col < 1 || row > MaxRows || col > MaxColumns)
        return;
    m_cells.push_back({ keyOf(row, col), quint32(m_pool.size()), quint32(text.size()) });
    m_pool += text;
}

void SheetCells::finish()
{
    auto byKey = [](const Stored &a, const Stored &b) { return a.key < b.key; };
    if (!std::is_sorted(m_cells.begin(), m_cells.end(), byKey))
        std::stable_sort(m_cells.begin(), m_cells.end(), byKey);
    size_t kept = 0;
    for (size_t i = 0; i < m_cells.size(); ++i) {
        if (kept > 0 && m_cells[kept - 1].key == m_cells[i].key)
            m_cells[kept - 1] = m_cells[i];
        else
            m_cells[kept++] = m_cells[i];
    }
    m_cells.resize(kept);
    m_cells.shrink_to_fit();
    m_pool.squeeze();
    m_rowCount = 0;
    m_columnCount = 0;
    for (const Stored &stored : m_cells) {
        m_rowCount = std::max(m_rowCount, int(stored.key >> 32));
        m_columnCount = std::max(m_columnCount, int(stored.key & 0xffffffffU));
    }
}

QString SheetCells::at(int row, int col) const
{
    if (row < 1 || col < 1 || row > MaxRows || col > MaxColumns)
        return QString();
    const quint64 key = keyOf(row, col);
    const auto found = std::lower_bound(
        m_cells.begin(), m_cells.end(), key, [](const Stored &stored, quint64 k) { return stored.key < k; });
    if (found == m_cells.end() || found->key != key)
        return QString();
    return m_pool.mid(qsizetype(found->index), qsizetype(found->length));
}

} // namespace tombolix::transfer
