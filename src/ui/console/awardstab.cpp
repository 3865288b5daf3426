#include "console/awardstab.h"

#include "common/conventions.h"
#include "common/gridview.h"
#include "common/prompts.h"
#include "console/modicon.h"
#include "data/awardstore.h"
#include "data/backup.h"
#include "draw/eligibleset.h"
#include "grid/gridops.h"

namespace tombolix {

using grid::Align;
using grid::GridModel;

namespace {

GridTab::Shape awardsShape()
{
    GridTab::Shape shape;
    shape.place = 1;
    // 抽奖范围 is no field of 奖项表: it is worded from the award's range.
    shape.fields = { "ID", "顺序", "名称", "数量", "同时", "显示", "重复", "奖品", "" };
    shape.captions = { "", "抽奖顺序", "奖项名称", "奖项数量", "每次抽出人数", "公告显示", "可重复获奖",
        "奖品说明", "抽奖范围" };
    shape.table = QStringLiteral("奖项表");
    shape.fixedCols = 2;
    shape.sortField = QStringLiteral("顺序");
    shape.alignedCols = { 3, 4, 5, 6 };
    shape.alignment = Align::CenterCenter;
    // The awards keep their own order, whatever header is clicked.
    shape.sortsOnHeader = false;
    return shape;
}

} // namespace

AwardsTab::AwardsTab(QWidget *console)
    : GridTab(awardsShape(),
        {
            { QStringLiteral("添加奖项"), [this] { editAward(false); } },
            { QStringLiteral("修改奖项"),
                [this] {
                    if (hasDataRowSelected())
                        editAward(true);
                } },
            { QStringLiteral("删除奖项"),
                [this] {
                    if (hasDataRowSelected())
                        deleteAwards();
                } },
            { QStringLiteral("顺序移前"), [this] { moveAward(grid()->Row(), grid()->Row() - 1); } },
            { QStringLiteral("顺序移后"), [this] { moveAward(grid()->Row(), grid()->Row() + 1); } },
        },
        console)
{
    connect(view(), &grid::GridView::cellDoubleClicked, this, [this] { press(1); });
}

void AwardsTab::afterFill()
{
    GridModel &grid = *this->grid();
    const int column = grid.Cols() - 1;
    if (grid.Rows() <= grid.FixedRows())
        return;
    const std::optional<QList<draw::AwardEligibility>> ranges = draw::AwardRanges(chosenDraw());
    QHash<qint64, QString> words;
    for (const draw::AwardEligibility &award : ranges.value_or(QList<draw::AwardEligibility>())) {
        QString text = award.words.isEmpty() ? QStringLiteral("所有人") : award.words;
        if (!award.badConditions.isEmpty())
            text += QStringLiteral("（无法读取的条件：%1）")
                        .arg(award.badConditions.join(QStringLiteral("，")));
        words.insert(award.awardId, text);
    }
    grid.beginBulkChange();
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
        grid.setTextMatrix(r, column, words.value(integerValue(grid.TextMatrix(r, 0))));
    grid::FitGridColumns(gridFont(), grid, 1, false);
    grid.endBulkChange();
}

void AwardsTab::editAward(bool existing)
{
    if (!existing && chosenDraw() < 1) {
        prompts().message(QStringLiteral("请选择抽奖名称后再添加奖项！"));
        return;
    }
    auto *editor = new ModiCon(window());
    editor->setWindowFlag(Qt::Window);
    connect(editor, &ModiCon::saved, this, &AwardsTab::reload);
    emit editorOpened(editor);
    if (existing) {
        editor->setAwardId(integerValue(grid()->TextMatrix(grid()->Row(), 0)));
    } else {
        editor->setDrawId(chosenDraw());
        editor->setOrder(QString::number(grid()->Rows() - grid()->FixedRows() + 1));
    }
}

void AwardsTab::deleteAwards()
{
    deleteWithDependents(
        QStringLiteral("奖项内容"), [](const QList<qint64> &ids) { return data::AwardStore().remove(ids); },
        true, data::backupreason::DeleteAwards);
}

void AwardsTab::moveAward(int from, int to)
{
    GridModel &grid = *this->grid();
    const int firstData = grid.FixedRows();
    if (from < firstData || to < firstData || from >= grid.Rows() || to >= grid.Rows())
        return;
    for (int c = 0; c < grid.Cols(); ++c) {
        if (c == 1)
            continue; // the order numbers stay in place
        const QString moving = grid.TextMatrix(from, c);
        grid.setTextMatrix(from, c, grid.TextMatrix(to, c));
        grid.setTextMatrix(to, c, moving);
    }
    // Every award of the draw takes its place in the grid as its order.
    QList<qint64> awards;
    for (int r = firstData; r < grid.Rows(); ++r)
        awards << integerValue(grid.TextMatrix(r, 0));
    if (!data::AwardStore().reorder(chosenDraw(), awards)) {
        // The grid shows the order the database still holds.
        prompts().message(QStringLiteral("保存失败，请检查数据库！"));
        reload();
        return;
    }
    view()->showGridRow(to);
    grid.setRow(to);
    grid.setRowSel(to);
    grid.setCol(2);
    grid.setColSel(grid.Cols() - 1);
}

} // namespace tombolix
