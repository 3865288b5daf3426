#pragma once

#include "grid/gridmodel.h"

#include <QTableView>

namespace tombolix::grid {

// Shows a GridModel: data rows as rows, the caption row as the header,
// columns as wide as the grid says (width 0 hides a column). Keeps the
// grid's current cell, selection and scroll position in step with the view,
// and reports the presses the console acts on.
class GridView : public QTableView
{
    Q_OBJECT

public:
    explicit GridView(QWidget *parent = nullptr);

    void setGrid(GridModel *grid);
    GridModel *grid() const { return m_grid; }
    // Scrolls to a grid row and makes it current.
    void showGridRow(int row);

signals:
    // A left press on the caption row; a press right of the last caption
    // counts for the last column.
    void headerPressed(int col);
    // A left press on a cell, reported before the view makes the cell
    // current: the grid's Row and Col still name the cell that was current,
    // which a Shift press marks from.
    void cellPressStarted(int row, int col, Qt::KeyboardModifiers modifiers);
    // The same press once the view has made the cell current.
    void cellPressed(int row, int col);
    // Press and release on the same cell.
    void cellClicked(int row, int col);
    void cellDoubleClicked(int row, int col);
    void contextRequested(const QPoint &globalPos);
    void pointerMoved();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyLayout();
    void syncSelection();

    GridModel *m_grid = nullptr;
};

// Tells the operator when the grid filled from found records could not show
// them all.
void TellIfNotAllShown(const GridModel &grid, qint64 found);

} // namespace tombolix::grid
