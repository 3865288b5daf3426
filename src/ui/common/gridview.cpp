#include "common/gridview.h"

#include "common/conventions.h"
#include "common/prompts.h"
#include "grid/gridops.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

namespace tombolix::grid {

GridView::GridView(QWidget *parent)
    : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setMouseTracking(true);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(twipsToPixels(GridModel::DefaultRowHeight) + 4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QHeaderView::sectionPressed, this, [this](int col) {
        if (QGuiApplication::mouseButtons() & Qt::RightButton)
            return;
        emit headerPressed(col);
    });
    connect(horizontalHeader(), &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { emit contextRequested(horizontalHeader()->mapToGlobal(pos)); });
    // The header reports no press right of its last section.
    horizontalHeader()->viewport()->installEventFilter(this);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (m_grid)
            emit cellClicked(m_grid->gridRow(index.row()), index.column());
    });
}

void GridView::setGrid(GridModel *grid)
{
    m_grid = grid;
    setModel(grid);
    connect(grid, &GridModel::layoutPropertiesChanged, this, &GridView::applyLayout);
    connect(grid, &QAbstractItemModel::modelReset, this, &GridView::applyLayout);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &GridView::syncSelection);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &GridView::syncSelection);
    applyLayout();
}

void GridView::applyLayout()
{
    if (!m_grid)
        return;
    m_grid->setWidth(int(pixelsToTwips(viewport()->width())));
    for (int c = 0; c < m_grid->Cols(); ++c) {
        const int width = m_grid->ColWidth(c);
        setColumnHidden(c, width <= 0);
        if (width > 0)
            setColumnWidth(c, std::max(12, twipsToPixels(width) + 6));
    }
}

void GridView::syncSelection()
{
    if (!m_grid)
        return;
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const int row = m_grid->gridRow(current.row());
    int other = row;
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (!rows.isEmpty()) {
        int low = rows.first().row();
        int high = low;
        for (const QModelIndex &index : rows) {
            low = std::min(low, index.row());
            high = std::max(high, index.row());
        }
        // The current row is one end of the range; the grid keeps the other.
        other = m_grid->gridRow(current.row() == low ? high : low);
    }
    const QSignalBlocker blocker(m_grid);
    m_grid->setRow(row);
    m_grid->setCol(current.column());
    m_grid->setRowSel(other);
    m_grid->setColSel(m_grid->Cols() - 1);
}

void GridView::showGridRow(int row)
{
    if (!m_grid || row < m_grid->FixedRows() || row >= m_grid->Rows())
        return;
    const QModelIndex index = model()->index(m_grid->modelRow(row), std::max(0, m_grid->FixedCols()));
    setCurrentIndex(index);
    scrollTo(index);
}

void GridView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        emit contextRequested(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && m_grid)
        emit cellPressStarted(m_grid->gridRow(index.row()), index.column(), event->modifiers());
    QTableView::mousePressEvent(event);
    if (index.isValid() && m_grid)
        emit cellPressed(m_grid->gridRow(index.row()), index.column());
    else
        emit cellPressed(-1, -1);
}

bool GridView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        const int cols = model() ? model()->columnCount() : 0;
        if (press->button() == Qt::LeftButton && cols > 0
            && horizontalHeader()->logicalIndexAt(press->position().toPoint()) < 0)
            emit headerPressed(cols - 1);
    }
    return QTableView::eventFilter(watched, event);
}

void GridView::mouseMoveEvent(QMouseEvent *event)
{
    QTableView::mouseMoveEvent(event);
    emit pointerMoved();
}

void GridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && m_grid && event->button() == Qt::LeftButton)
        emit cellDoubleClicked(m_grid->gridRow(index.row()), index.column());
}

void GridView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    if (m_grid)
        m_grid->setWidth(int(pixelsToTwips(viewport()->width())));
}

void GridView::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    if (m_grid) {
        m_grid->setTopRow(m_grid->gridRow(std::max(0, rowAt(0))));
        m_grid->setLeftCol(std::max(m_grid->FixedCols(), columnAt(0)));
    }
}

void TellIfNotAllShown(const GridModel &grid, qint64 found)
{
    const QString message = NotAllShownMessage(grid, found);
    if (!message.isEmpty())
        prompts().message(message);
}

} // namespace tombolix::grid
