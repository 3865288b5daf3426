#include "console/drawstab.h"

#include "common/conventions.h"
#include "common/gridview.h"
#include "console/modi.h"
#include "data/backup.h"
#include "data/drawstore.h"
#include "grid/gridops.h"

namespace tombolix {

using grid::Align;

namespace {

GridTab::Shape drawsShape()
{
    GridTab::Shape shape;
    shape.place = 0;
    shape.fields = { "ID", "", "抽奖内容", "速度", "定时", "定长", "屏蔽", "底图" };
    shape.captions = { "", "序号", "抽奖名称", "滚动速度", "定时", "定长", "屏蔽规则", "背景图" };
    shape.table = QStringLiteral("奖次表");
    shape.fixedCols = 2;
    shape.sortField = QStringLiteral("ID");
    shape.alignedCols = { 3, 4, 5 };
    shape.alignment = Align::RightBottom;
    // Every draw: there is none to choose.
    shape.choosesDraw = false;
    return shape;
}

} // namespace

DrawsTab::DrawsTab(QWidget *console)
    : GridTab(drawsShape(),
        {
            { QStringLiteral("新建抽奖"), [this] { editDraw(false); } },
            { QStringLiteral("修改设置"),
                [this] {
                    if (hasDataRowSelected())
                        editDraw(true);
                } },
            { QStringLiteral("删除设置"),
                [this] {
                    if (hasDataRowSelected())
                        deleteDraws();
                } },
        },
        console)
{
    connect(view(), &grid::GridView::cellDoubleClicked, this, [this] { press(1); });
}

void DrawsTab::load()
{
    setupGrid();
    grid::TellIfNotAllShown(
        *grid(), grid::FillGrid(*grid(), QString(), QStringLiteral("ID"), false, gridFont()));
    alignColumns();
}

void DrawsTab::editDraw(bool existing)
{
    auto *editor = new Modi(window());
    editor->setWindowFlag(Qt::Window);
    connect(editor, &Modi::closedEditor, this, &DrawsTab::editorClosed);
    emit editorOpened(editor);
    if (existing)
        editor->setDrawId(integerValue(grid()->TextMatrix(grid()->Row(), 0)));
}

void DrawsTab::deleteDraws()
{
    deleteWithDependents(
        QStringLiteral("抽奖内容"), [](const QList<qint64> &ids) { return data::DrawStore().remove(ids); },
        false, data::backupreason::DeleteDraws);
}

} // namespace tombolix
