#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

// The flexible grid behind every table on screen: a text matrix with fixed
// header rows and columns, column widths, row heights (twips), alignments, a
// current cell and selection, a scroll position and a tag. It holds no
// widget; GridView shows it.
//
// As a Qt model it presents the data rows (rows FixedRows..Rows-1) as its
// rows and the caption row (FixedRows-1) as the horizontal header.
namespace tombolix::grid {

// The grid's alignment values 0..9.
enum class Align
{
    LeftTop = 0,
    LeftCenter = 1,
    LeftBottom = 2,
    CenterTop = 3,
    CenterCenter = 4,
    CenterBottom = 5,
    RightTop = 6,
    RightCenter = 7,
    RightBottom = 8,
    General = 9,
};

enum class SortOrder
{
    NumericAscending,
    NumericDescending,
    TextAscending, // case-sensitive
    TextDescending, // case-sensitive
};

class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int DefaultRowHeight = 285; // twips
    static constexpr int DefaultColWidth = 960; // twips

    explicit GridModel(QObject *parent = nullptr);

    int Rows() const { return m_rows; }
    // Grows with empty rows at the bottom or cuts rows off the bottom.
    void setRows(int rows);
    int Cols() const { return m_cols; }
    void setCols(int cols);
    int FixedRows() const { return m_fixedRows; }
    void setFixedRows(int rows);
    int FixedCols() const { return m_fixedCols; }
    void setFixedCols(int cols);

    // Cells outside the grid read as "" and are not written.
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);

    int ColWidth(int col) const;
    void setColWidth(int col, int twips);
    int RowHeight(int row) const;
    void setRowHeight(int row, int twips);
    Align ColAlignment(int col) const;
    void setColAlignment(int col, Align align);

    // The current cell, the other end of the selection and the first visible
    // scrolling row and column.
    int Row() const { return m_row; }
    int Col() const { return m_col; }
    int RowSel() const { return m_rowSel; }
    int ColSel() const { return m_colSel; }
    int TopRow() const { return m_topRow; }
    int LeftCol() const { return m_leftCol; }
    // Setting Row or Col also collapses the selection onto the current cell.
    void setRow(int row);
    void setCol(int col);
    void setRowSel(int row);
    void setColSel(int col);
    void setTopRow(int row);
    void setLeftCol(int col);

    // The width of the control showing the grid (twips); 0 while unknown.
    int Width() const { return m_width; }
    void setWidth(int twips) { m_width = std::max(0, twips); }

    QString Tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    // Sorts the data rows by one column (stable); numeric orders compare the
    // numeric value of the text.
    void Sort(int col, SortOrder order);
    // Removes `count` data rows starting at `first`, all columns.
    void removeGridRows(int first, int count);
    // Appends one row at the bottom and returns its index.
    int addRow();
    // Becomes a copy of another grid (cells, sizes, alignments, current cell,
    // tag): a still picture for work that yields while the original may change.
    void copyFrom(const GridModel &other);

    // Held text, for the memory figures.
    size_t memoryBytes() const;

    // Qt model: data rows and the caption row as header.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // The grid row of a model row and back.
    int gridRow(int modelRow) const { return modelRow + m_fixedRows; }
    int modelRow(int gridRow) const { return gridRow - m_fixedRows; }

    // Emits the resets a view needs after bulk changes made with signals held.
    void beginBulkChange();
    void endBulkChange();

signals:
    void layoutPropertiesChanged(); // widths, heights, alignments, fixed counts
    void currentCellChanged();

private:
    QString &cell(int row, int col) { return m_cells[size_t(row) * size_t(m_cols) + size_t(col)]; }
    const QString &cell(int row, int col) const
    {
        return m_cells[size_t(row) * size_t(m_cols) + size_t(col)];
    }
    bool inside(int row, int col) const { return row >= 0 && row < m_rows && col >= 0 && col < m_cols; }
    void resize(int rows, int cols);
    void notifyLayout();

    int m_rows = 0;
    int m_cols = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
    std::vector<QString> m_cells;
    std::vector<int> m_colWidths;
    std::vector<int> m_rowHeights;
    std::vector<Align> m_alignments;
    int m_row = 0, m_col = 0, m_rowSel = 0, m_colSel = 0, m_topRow = 0, m_leftCol = 0;
    QString m_tag;
    int m_width = 0;
    int m_bulk = 0;
};

} // namespace tombolix::grid
