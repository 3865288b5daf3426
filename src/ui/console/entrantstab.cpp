#include "console/entrantstab.h"

#include "common/celleditor.h"
#include "common/conventions.h"
#include "common/gridview.h"
#include "common/prompts.h"
#include "console/addmem.h"
#include "console/checkdialog.h"
#include "data/backup.h"
#include "data/drawstore.h"
#include "data/entrantstore.h"
#include "grid/entrantgrid.h"
#include "grid/gridops.h"
#include "transfer/inputmap.h"
#include "transfer/sheets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <cstdlib>

namespace tombolix {

using grid::GridModel;
using grid::GridView;

namespace {

GridTab::Shape entrantsShape()
{
    GridTab::Shape shape;
    shape.place = 2;
    shape.fields = { "ID", "CID", "", "号码", "姓名" };
    shape.captions = { "ID", "CID", "序号", "抽奖号码", "姓名" };
    shape.table = QStringLiteral("号码表");
    shape.fixedCols = 3;
    shape.sortField = QStringLiteral("号码");
    return shape;
}

} // namespace

EntrantsTab::EntrantsTab(QWidget *console)
    : GridTab(entrantsShape(),
        {
            { QStringLiteral("导入数据"), [this] { importEntrants(); } },
            { QStringLiteral("检查重复"), [this] { checkDuplicates(); } },
            { QStringLiteral("检查号长"), [this] { checkLengths(); } },
            { QStringLiteral("删除数据"),
                [this] {
                    if (hasDataRowSelected())
                        deleteEntrants();
                } },
            { QStringLiteral("添加数据"), [this] { addEntrant(); } },
            { QStringLiteral("导出数据"), [this] { exportGrid(); } },
        },
        console)
{
    buildCount();
    buildCellEditor();
}

void EntrantsTab::beforeFill()
{
    // Another draw's attributes leave with its rows; names that cannot be
    // read give no columns.
    grid()->setCols(grid::FirstAttributeColumn);
    const qint64 draw = chosenDraw();
    if (draw > 0)
        (void)grid::SetAttributeColumns(*grid(), draw);
}

void EntrantsTab::afterFill()
{
    if (grid()->Cols() <= grid::FirstAttributeColumn)
        return;
    // Without its values the grid must not store an edit: the entrants'
    // attributes would be taken as emptied.
    if (!grid::FillAttributeValues(*grid(), chosenDraw()))
        grid()->setCols(grid::FirstAttributeColumn);
    grid::FitGridColumns(gridFont(), *grid(), 1, true);
}

void EntrantsTab::buildCount()
{
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("EntrantCount"));
    bar()->addWidget(m_count);
    // The draw's entrants as stored, not the grid's rows: counted once for
    // however many changes one turn of the event loop brings.
    auto *recount = new QTimer(this);
    recount->setSingleShot(true);
    recount->setInterval(0);
    connect(recount, &QTimer::timeout, this, [this] {
        const qint64 draw = chosenDraw();
        const std::optional<qint64> stored
            = draw > 0 ? data::EntrantStore().countForDraw(draw) : std::nullopt;
        m_count->setText(stored ? QStringLiteral("共%1人").arg(*stored) : QString());
    });
    const auto count = [recount] { recount->start(); };
    connect(grid(), &QAbstractItemModel::rowsInserted, this, count);
    connect(grid(), &QAbstractItemModel::rowsRemoved, this, count);
    connect(grid(), &QAbstractItemModel::modelReset, this, count);
    connect(grid(), &GridModel::layoutPropertiesChanged, this, count);
}

void EntrantsTab::buildCellEditor()
{
    GridView *grid = view();
    connect(grid, &GridView::cellClicked, this, &EntrantsTab::openCellEditor);
    // Anything that moves the rows under the editor closes it first.
    connect(grid, &GridView::cellPressStarted, this, &EntrantsTab::closeCellEditor);
    connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this, &EntrantsTab::closeCellEditor);
    connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, &EntrantsTab::closeCellEditor);
    m_cellEditor = new CellEditor(grid);
    connect(m_cellEditor, &CellEditor::cellTextChanged, this, &EntrantsTab::writeCell);
}

void EntrantsTab::importEntrants()
{
    const transfer::ImportSource source = ChooseImportFile(window(), 1);
    QDialog *mapping = StartImportMapping(window(), source, grid(), [this] { return chosenDraw(); });
    if (auto *map = qobject_cast<InputMap *>(mapping)) {
        connect(map, &InputMap::imported, this, [this](int firstRow, int stored) {
            if (stored > 0)
                view()->showGridRow(firstRow);
        });
    }
}

void EntrantsTab::checkDuplicates()
{
    closeCellEditor();
    CheckDialog *dialog = CheckDialog::showDuplicates(window(), chosenDraw());
    if (!dialog)
        return;
    // What it found must still stand when its deletion runs: nothing in the
    // tabs changes under it.
    emit windowHeld(dialog);
    connect(dialog, &CheckDialog::changed, this, &EntrantsTab::reload);
}

void EntrantsTab::checkLengths()
{
    closeCellEditor();
    const qint64 draw = chosenDraw();
    const qint64 length = integerValue(data::DrawStore().setting(draw, data::DrawStore::Setting::Length));
    if (CheckDialog *dialog = CheckDialog::showLengths(window(), draw, length))
        emit windowHeld(dialog);
}

void EntrantsTab::deleteEntrants()
{
    closeCellEditor();
    deleteSelectedRows(data::backupreason::DeleteEntrants,
        [](const QList<qint64> &ids) { return data::EntrantStore().remove(ids).has_value(); });
}

void EntrantsTab::addEntrant()
{
    auto *dialog = new AddMem(
        grid(), [this] { return chosenDraw(); }, window());
    dialog->setWindowFlag(Qt::Window);
    connect(dialog, &AddMem::added, this, [this](int row) { view()->showGridRow(row); });
    emit editorOpened(dialog);
}

void EntrantsTab::openCellEditor(int row, int col)
{
    closeCellEditor();
    GridModel &grid = *this->grid();
    if (row < grid.FixedRows() || row >= grid.Rows() || col <= 2)
        return;
    m_editRow = row;
    m_editCol = col;
    m_editKey = std::llabs(integerValue(grid.TextMatrix(row, 0)));
    m_editFailureTold = false;
    m_cellEditor->openOver(grid.index(grid.modelRow(row), col), grid.TextMatrix(row, col));
}

void EntrantsTab::closeCellEditor()
{
    if (m_cellEditor)
        m_cellEditor->closeEditor();
}

int EntrantsTab::editedRow() const
{
    const GridModel &grid = *this->grid();
    auto keyOf = [&grid](int row) { return std::llabs(integerValue(grid.TextMatrix(row, 0))); };
    const bool placed = m_editRow >= grid.FixedRows() && m_editRow < grid.Rows();
    if (placed && keyOf(m_editRow) == m_editKey)
        return m_editRow;
    if (m_editKey == 0)
        return -1;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
        if (keyOf(r) == m_editKey)
            return r;
    }
    return -1;
}

void EntrantsTab::writeCell(const QString &text)
{
    if (!m_cellEditor->isVisible() || m_editRow < 0)
        return;
    const int row = editedRow();
    if (row < 0) {
        closeCellEditor();
        return;
    }
    m_editRow = row;
    GridModel &grid = *this->grid();
    // A refusal is told once for the edit: every keystroke stores the cell.
    if (grid::EditEntrantCell(grid, row, m_editCol, text, chosenDraw()).failed() && !m_editFailureTold) {
        m_editFailureTold = true;
        prompts().message(data::EntrantSaveFailedMessage());
    }
    if (m_editKey == 0)
        m_editKey = std::llabs(integerValue(grid.TextMatrix(row, 0)));
}

} // namespace tombolix
