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
    SortCellsKeepingLast(m_cells, m_rowCount, m_columnCount);
    m_pool.squeeze();
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
