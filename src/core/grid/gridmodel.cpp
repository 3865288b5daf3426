#include "grid/gridmodel.h"

#include "common/conventions.h"

#include <QBrush>
#include <QFont>
#include <algorithm>
#include <numeric>

namespace tombolix::grid {

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

void GridModel::beginBulkChange()
{
    if (m_bulk++ == 0)
        beginResetModel();
}

void GridModel::endBulkChange()
{
    if (m_bulk > 0 && --m_bulk == 0) {
        endResetModel();
        emit layoutPropertiesChanged();
    }
}

void GridModel::notifyLayout()
{
    if (m_bulk == 0)
        emit layoutPropertiesChanged();
}

void GridModel::resize(int rows, int cols)
{
    rows = std::max(0, rows);
    cols = std::max(0, cols);
    if (cols != m_cols) {
        std::vector<QString> cells(size_t(rows) * size_t(cols));
        const int keepRows = std::min(rows, m_rows);
        const int keepCols = std::min(cols, m_cols);
        for (int r = 0; r < keepRows; ++r)
            for (int c = 0; c < keepCols; ++c)
                cells[size_t(r) * size_t(cols) + size_t(c)] = std::move(cell(r, c));
        m_cells = std::move(cells);
        m_colWidths.resize(size_t(cols), DefaultColWidth);
        m_alignments.resize(size_t(cols), Align::General);
    } else {
        m_cells.resize(size_t(rows) * size_t(cols));
    }
    m_rowHeights.resize(size_t(rows), DefaultRowHeight);
    m_rows = rows;
    m_cols = cols;
    m_fixedRows = std::min(m_fixedRows, m_rows);
    m_fixedCols = std::min(m_fixedCols, m_cols);
    m_row = std::clamp(m_row, 0, std::max(0, m_rows - 1));
    m_rowSel = std::clamp(m_rowSel, 0, std::max(0, m_rows - 1));
    m_col = std::clamp(m_col, 0, std::max(0, m_cols - 1));
    m_colSel = std::clamp(m_colSel, 0, std::max(0, m_cols - 1));
    m_topRow = std::clamp(m_topRow, m_fixedRows, std::max(m_fixedRows, m_rows - 1));
    m_leftCol = std::clamp(m_leftCol, m_fixedCols, std::max(m_fixedCols, m_cols - 1));
}

void GridModel::setRows(int rows)
{
    rows = std::max(0, rows);
    if (rows == m_rows)
        return;
    const int oldData = std::max(0, m_rows - m_fixedRows);
    const int newData = std::max(0, rows - std::min(m_fixedRows, rows));
    const bool signal = m_bulk == 0 && rows >= m_fixedRows && m_rows >= m_fixedRows;
    if (signal && newData > oldData)
        beginInsertRows(QModelIndex(), oldData, newData - 1);
    else if (signal && newData < oldData)
        beginRemoveRows(QModelIndex(), newData, oldData - 1);
    else if (!signal && m_bulk == 0)
        beginResetModel();
    resize(rows, m_cols);
    if (signal && newData > oldData)
        endInsertRows();
    else if (signal && newData < oldData)
        endRemoveRows();
    else if (!signal && m_bulk == 0)
        endResetModel();
}

void GridModel::setCols(int cols)
{
    if (cols == m_cols)
        return;
    if (m_bulk == 0)
        beginResetModel();
    resize(m_rows, cols);
    if (m_bulk == 0) {
        endResetModel();
        emit layoutPropertiesChanged();
    }
}

void GridModel::setFixedRows(int rows)
{
    rows = std::clamp(rows, 0, m_rows);
    if (rows == m_fixedRows)
        return;
    if (m_bulk == 0)
        beginResetModel();
    m_fixedRows = rows;
    m_topRow = m_fixedRows; // the scroll position starts over
    if (m_bulk == 0) {
        endResetModel();
        emit layoutPropertiesChanged();
    }
}

void GridModel::setFixedCols(int cols)
{
    cols = std::clamp(cols, 0, m_cols);
    if (cols == m_fixedCols)
        return;
    m_fixedCols = cols;
    m_leftCol = m_fixedCols;
    notifyLayout();
}

QString GridModel::TextMatrix(int row, int col) const
{
    return inside(row, col) ? cell(row, col) : QString();
}

void GridModel::setTextMatrix(int row, int col, const QString &text)
{
    if (!inside(row, col))
        return;
    QString &target = cell(row, col);
    if (target == text)
        return;
    target = text;
    if (m_bulk > 0)
        return;
    if (row == m_fixedRows - 1)
        emit headerDataChanged(Qt::Horizontal, col, col);
    else if (row >= m_fixedRows)
        emit dataChanged(index(modelRow(row), col), index(modelRow(row), col));
}

int GridModel::ColWidth(int col) const
{
    return col >= 0 && col < m_cols ? m_colWidths[size_t(col)] : 0;
}

void GridModel::setColWidth(int col, int twips)
{
    if (col < 0 || col >= m_cols || m_colWidths[size_t(col)] == twips)
        return;
    m_colWidths[size_t(col)] = std::max(0, twips);
    notifyLayout();
}

int GridModel::RowHeight(int row) const
{
    return row >= 0 && row < m_rows ? m_rowHeights[size_t(row)] : 0;
}

void GridModel::setRowHeight(int row, int twips)
{
    if (row < 0 || row >= m_rows || m_rowHeights[size_t(row)] == twips)
        return;
    m_rowHeights[size_t(row)] = std::max(0, twips);
    notifyLayout();
}

Align GridModel::ColAlignment(int col) const
{
    return col >= 0 && col < m_cols ? m_alignments[size_t(col)] : Align::General;
}

void GridModel::setColAlignment(int col, Align align)
{
    if (col < 0 || col >= m_cols || m_alignments[size_t(col)] == align)
        return;
    m_alignments[size_t(col)] = align;
    if (m_bulk == 0 && rowCount() > 0)
        emit dataChanged(index(0, col), index(rowCount() - 1, col), { Qt::TextAlignmentRole });
}

void GridModel::setRow(int row)
{
    m_row = std::clamp(row, 0, std::max(0, m_rows - 1));
    m_rowSel = m_row;
    emit currentCellChanged();
}

void GridModel::setCol(int col)
{
    m_col = std::clamp(col, 0, std::max(0, m_cols - 1));
    m_colSel = m_col;
    emit currentCellChanged();
}

void GridModel::setRowSel(int row)
{
    m_rowSel = std::clamp(row, 0, std::max(0, m_rows - 1));
    emit currentCellChanged();
}

void GridModel::setColSel(int col)
{
    m_colSel = std::clamp(col, 0, std::max(0, m_cols - 1));
    emit currentCellChanged();
}

void GridModel::setTopRow(int row)
{
    m_topRow = std::clamp(row, m_fixedRows, std::max(m_fixedRows, m_rows - 1));
}

void GridModel::setLeftCol(int col)
{
    m_leftCol = std::clamp(col, m_fixedCols, std::max(m_fixedCols, m_cols - 1));
}

void GridModel::Sort(int col, SortOrder order)
{
    const int first = m_fixedRows;
    const int count = m_rows - first;
    if (col < 0 || col >= m_cols || count < 2)
        return;
    std::vector<int> rows(static_cast<size_t>(count));
    std::iota(rows.begin(), rows.end(), first);
    if (order == SortOrder::NumericAscending || order == SortOrder::NumericDescending) {
        std::vector<double> keys(static_cast<size_t>(m_rows));
        for (int r = first; r < m_rows; ++r)
            keys[size_t(r)] = numericValue(cell(r, col));
        if (order == SortOrder::NumericAscending)
            std::stable_sort(
                rows.begin(), rows.end(), [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
        else
            std::stable_sort(
                rows.begin(), rows.end(), [&](int a, int b) { return keys[size_t(a)] > keys[size_t(b)]; });
    } else if (order == SortOrder::TextAscending) {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return cell(a, col) < cell(b, col); });
    } else {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return cell(b, col) < cell(a, col); });
    }

    if (m_bulk == 0)
        emit layoutAboutToBeChanged();
    std::vector<QString> sorted(size_t(count) * size_t(m_cols));
    std::vector<int> heights(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int from = rows[size_t(i)];
        for (int c = 0; c < m_cols; ++c)
            sorted[size_t(i) * size_t(m_cols) + size_t(c)] = std::move(cell(from, c));
        heights[size_t(i)] = m_rowHeights[size_t(from)];
    }
    std::move(sorted.begin(), sorted.end(), m_cells.begin() + std::ptrdiff_t(size_t(first) * size_t(m_cols)));
    std::copy(heights.begin(), heights.end(), m_rowHeights.begin() + first);
    if (m_bulk == 0)
        emit layoutChanged();
}

void GridModel::removeGridRows(int first, int count)
{
    first = std::max(first, m_fixedRows);
    count = std::min(count, m_rows - first);
    if (count <= 0)
        return;
    if (m_bulk == 0)
        beginRemoveRows(QModelIndex(), modelRow(first), modelRow(first + count - 1));
    const auto begin = m_cells.begin() + std::ptrdiff_t(size_t(first) * size_t(m_cols));
    m_cells.erase(begin, begin + std::ptrdiff_t(size_t(count) * size_t(m_cols)));
    m_rowHeights.erase(m_rowHeights.begin() + first, m_rowHeights.begin() + first + count);
    m_rows -= count;
    resize(m_rows, m_cols);
    if (m_bulk == 0)
        endRemoveRows();
}

void GridModel::copyFrom(const GridModel &other)
{
    beginResetModel();
    m_rows = other.m_rows;
    m_cols = other.m_cols;
    m_fixedRows = other.m_fixedRows;
    m_fixedCols = other.m_fixedCols;
    m_cells = other.m_cells;
    m_colWidths = other.m_colWidths;
    m_rowHeights = other.m_rowHeights;
    m_alignments = other.m_alignments;
    m_row = other.m_row;
    m_col = other.m_col;
    m_rowSel = other.m_rowSel;
    m_colSel = other.m_colSel;
    m_topRow = other.m_topRow;
    m_leftCol = other.m_leftCol;
    m_tag = other.m_tag;
    m_width = other.m_width;
    endResetModel();
    emit layoutPropertiesChanged();
}

int GridModel::addRow()
{
    setRows(m_rows + 1);
    return m_rows - 1;
}

size_t GridModel::memoryBytes() const
{
    size_t bytes = m_cells.capacity() * sizeof(QString);
    for (const QString &text : m_cells) {
        if (!text.isEmpty())
            bytes += size_t(text.capacity()) * 2 + 32;
    }
    return bytes + m_rowHeights.capacity() * sizeof(int);
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : std::max(0, m_rows - m_fixedRows);
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

namespace {

Qt::Alignment qtAlignment(Align align)
{
    switch (align) {
    case Align::LeftTop:
        return Qt::AlignLeft | Qt::AlignTop;
    case Align::LeftCenter:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case Align::LeftBottom:
        return Qt::AlignLeft | Qt::AlignBottom;
    case Align::CenterTop:
        return Qt::AlignHCenter | Qt::AlignTop;
    case Align::CenterCenter:
        return Qt::AlignCenter;
    case Align::CenterBottom:
        return Qt::AlignHCenter | Qt::AlignBottom;
    case Align::RightTop:
        return Qt::AlignRight | Qt::AlignTop;
    case Align::RightCenter:
        return Qt::AlignRight | Qt::AlignVCenter;
    case Align::RightBottom:
        return Qt::AlignRight | Qt::AlignBottom;
    case Align::General:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const int row = gridRow(index.row());
    const int col = index.column();
    if (!inside(row, col))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cell(row, col);
    case Qt::TextAlignmentRole: {
        Qt::Alignment align = qtAlignment(m_alignments[size_t(col)]);
        if (m_alignments[size_t(col)] == Align::General) {
            bool number = false;
            cell(row, col).toDouble(&number);
            align = number ? (Qt::AlignRight | Qt::AlignVCenter) : (Qt::AlignLeft | Qt::AlignVCenter);
        }
        // Rows are one line high: text sits in the middle whatever the
        // vertical alignment, which reads best on screen.
        align = (align & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
        return QVariant::fromValue(align);
    }
    case Qt::BackgroundRole:
        if (col < m_fixedCols)
            return QBrush(QColor(240, 240, 240));
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && m_fixedRows > 0 && section >= 0 && section < m_cols) {
        if (role == Qt::DisplayRole)
            return cell(m_fixedRows - 1, section);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return QVariant();
}

} // namespace tombolix::grid
