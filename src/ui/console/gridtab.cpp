#include "console/gridtab.h"

#include "common/backupquestion.h"
#include "common/conventions.h"
#include "common/gridview.h"
#include "common/idlist.h"
#include "common/prompts.h"
#include "data/drawstore.h"
#include "grid/gridops.h"
#include "transfer/exportdialog.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tombolix {

using grid::GridModel;
using grid::GridView;

GridTab::GridTab(const Shape &shape, const QList<Button> &buttons, QWidget *console)
    : QWidget(console)
    , m_shape(shape)
{
    setObjectName(QStringLiteral("Pic_%1").arg(shape.place));
    m_layout = new QVBoxLayout(this);
    buildBar(buttons);
    buildGrid();
}

void GridTab::buildBar(const QList<Button> &buttons)
{
    m_bar = new QHBoxLayout;
    if (m_shape.choosesDraw) {
        m_bar->addWidget(new QLabel(QStringLiteral("抽奖名称："), this));
        m_chooser = new QComboBox(this);
        m_chooser->setObjectName(QStringLiteral("CMB_%1").arg(m_shape.place));
        m_chooser->setMinimumWidth(260);
        m_chooser->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        m_bar->addWidget(m_chooser);
        connect(m_chooser, &QComboBox::activated, this, &GridTab::reload);
        m_bar->addSpacing(16);
    }
    for (int n = 0; n < buttons.size(); ++n) {
        auto *button = new QPushButton(buttons.at(n).caption, this);
        button->setObjectName(QStringLiteral("Com_%1").arg(m_shape.place * 10 + n));
        button->setMinimumWidth(88);
        connect(button, &QPushButton::clicked, this, [this, n] { press(n); });
        m_bar->addWidget(button);
        m_actions << buttons.at(n).act;
    }
    m_bar->addStretch(1);
    m_layout->addLayout(m_bar);
}

void GridTab::buildGrid()
{
    // The view is made before the grid it shows, so it is deleted before it too.
    m_view = new GridView(this);
    m_view->setObjectName(QStringLiteral("MSF_%1").arg(m_shape.place));
    m_grid = new GridModel(this);
    m_view->setGrid(m_grid);
    m_layout->addWidget(m_view, 1);
    setupGrid();

    if (m_shape.sortsOnHeader) {
        connect(m_view, &GridView::headerPressed, this, [this](int col) {
            closeCellEditor();
            grid::HandleHeaderClick(gridFont(), *m_grid, col);
        });
    }
    connect(m_view, &GridView::pointerMoved, this, &GridTab::closeCellEditor);
    connect(m_view, &GridView::contextRequested, this, &GridTab::showExportMenu);
}

qint64 GridTab::chosenDraw() const
{
    return m_chooser ? integerValue(m_chooser->currentText()) : 0;
}

QFont GridTab::gridFont() const
{
    return window()->font();
}

void GridTab::setupGrid()
{
    grid::SetupGridHeader(*m_grid, m_shape.fields, m_shape.captions);
    m_grid->setTag(m_shape.table);
    m_grid->setFixedCols(m_shape.fixedCols);
    alignColumns();
    grid::FitGridColumns(gridFont(), *m_grid, 1, true);
}

void GridTab::alignColumns()
{
    for (int c : m_shape.alignedCols)
        m_grid->setColAlignment(c, m_shape.alignment);
}

void GridTab::load()
{
    setupGrid();
    data::FillDrawList(m_chooser);
    reload();
}

void GridTab::reload()
{
    if (!m_chooser)
        return;
    closeCellEditor();
    grid::TellIfNotAllShown(*m_grid,
        grid::FillGrid(
            *m_grid, data::DrawStore::rowsOfDraw(chosenDraw()), m_shape.sortField, false, gridFont()));
    fillComputedColumns();
}

void GridTab::press(int n)
{
    // The tabs are locked while an editor is open; a press that still
    // arrives (a queued one, the menu) finds nothing to act on.
    if (m_ready && !m_ready())
        return;
    if (n >= 0 && n < m_actions.size())
        m_actions.at(n)();
}

bool GridTab::hasDataRowSelected() const
{
    return m_grid->Rows() > m_grid->FixedRows() && m_grid->Row() >= m_grid->FixedRows();
}

void GridTab::exportGrid() const
{
    ExportGrid(*m_grid, QStringLiteral("澄曜抽奖"));
}

void GridTab::showExportMenu(const QPoint &globalPos)
{
    QMenu menu(QStringLiteral("导出"), this);
    menu.setObjectName(QStringLiteral("M_Out"));
    QAction *exportTable = menu.addAction(QStringLiteral("导出表格"));
    exportTable->setObjectName(QStringLiteral("M_OutMSF"));
    connect(exportTable, &QAction::triggered, this, &GridTab::exportGrid);
    addExportCommands(menu);
    menu.exec(globalPos);
}

void GridTab::addExportCommands(QMenu &menu)
{
    Q_UNUSED(menu)
}

void GridTab::deleteWithDependents(const QString &what,
    const std::function<bool(const QList<qint64> &)> &remove, bool askAgain, const QString &backupReason)
{
    GridModel &grid = *m_grid;
    int first = 0;
    int last = 0;
    grid::SelectedRows(grid, first, last);
    if (!prompts().askYesNo(QStringLiteral("您确认要删除") + what + QStringLiteral("：第")
                + QString::number(first - 1) + QStringLiteral("行至第") + QString::number(last - 1)
                + QStringLiteral("行？"),
            DefaultAnswer::No))
        return;
    // Awards are asked about twice; nothing goes before the second Yes, not
    // even their winners.
    if (askAgain && !prompts().askYesNo(grid::DeletionQuestion(grid, first, last), DefaultAnswer::No))
        return;
    if (!BackUpBefore(backupReason))
        return;
    // The rows and all that hangs on them go together: all of it or, when the
    // database refuses, none of it, and the grid keeps its rows.
    QList<qint64> ids;
    for (int r = first; r <= last; ++r)
        ids << integerValue(grid.TextMatrix(r, 0));
    if (!remove(ids)) {
        prompts().message(QStringLiteral("删除失败，数据库未作改动！"));
        return;
    }
    grid::DeleteGridRows(grid, first, last, {}, false);
}

void GridTab::deleteSelectedRows(
    const QString &backupReason, const std::function<bool(const QList<qint64> &)> &remove)
{
    GridModel &grid = *m_grid;
    int first = 0;
    int last = 0;
    grid::SelectedRows(grid, first, last);
    first = std::max(first, grid.FixedRows());
    last = std::min(last, grid.Rows() - 1);
    if (last < first || !prompts().askYesNo(grid::DeletionQuestion(grid, first, last), DefaultAnswer::No))
        return;
    // The copy is made once the operator has said yes, before any row goes.
    if (!BackUpBefore(backupReason))
        return;
    // The records go first, all of them or none; the grid lets go of its rows
    // only once they are gone.
    QList<qint64> ids;
    for (int r = first; r <= last; ++r) {
        const QString key = grid.TextMatrix(r, 0).trimmed();
        if (!key.isEmpty())
            ids << integerValue(key);
    }
    if (!remove(ids)) {
        prompts().message(QStringLiteral("删除失败，数据库未作改动！"));
        return;
    }
    grid::DeleteGridRows(grid, first, last, {}, false);
}

} // namespace tombolix
