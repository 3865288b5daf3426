#include "console/resultstab.h"

#include "common/notary.h"
#include "common/prompts.h"
#include "data/backup.h"
#include "data/notarystore.h"
#include "data/resultstore.h"
#include "draw/certificate.h"
#include "drawscreen/enterdraw.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace tombolix {

namespace {

GridTab::Shape resultsShape()
{
    GridTab::Shape shape;
    shape.place = 3;
    shape.fields = { "ID", "CID", "", "WID:奖项表:ID:名称", "WID:奖项表:ID:奖品", "号码", "姓名" };
    shape.captions = { "ID", "CID", "序号", "获得奖项", "奖品", "抽奖号码", "姓名" };
    shape.table = QStringLiteral("结果表");
    shape.fixedCols = 3;
    shape.sortField = QStringLiteral("WID");
    return shape;
}

} // namespace

ResultsTab::ResultsTab(QWidget *console)
    : GridTab(resultsShape(),
        {
            { QStringLiteral("删除数据"),
                [this] {
                    if (hasDataRowSelected())
                        deleteResults();
                } },
            { QStringLiteral("导出数据"), [this] { exportGrid(); } },
        },
        console)
{
    // The draw's 公证码 and commitment in full, to be read out, photographed
    // or posted before the first round; between the buttons and the grid.
    m_notaryLine = new QLabel(this);
    m_notaryLine->setObjectName(QStringLiteral("NotaryCode"));
    m_notaryLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pageLayout()->insertWidget(1, m_notaryLine);
    connect(grid(), &QAbstractItemModel::modelReset, this, &ResultsTab::refreshNotaryLine);
}

void ResultsTab::deleteResults()
{
    // A result deleted here is kept as withdrawn, so a continued draw leaves
    // its winner out as the stage does.
    deleteSelectedRows(data::backupreason::DeleteResults, [](const QList<qint64> &ids) {
        return data::ResultStore().withdraw(ids, data::withdrawreason::ResultsTab);
    });
}

void ResultsTab::addExportCommands(QMenu &menu)
{
    QAction *record = menu.addAction(QStringLiteral("导出公证记录…"));
    record->setObjectName(QStringLiteral("M_OutRecord"));
    connect(record, &QAction::triggered, this, [this] { exportNotaryRecord(chosenDraw()); });
    QAction *sheet = menu.addAction(QStringLiteral("导出承诺单…"));
    sheet->setObjectName(QStringLiteral("M_OutCommitment"));
    connect(sheet, &QAction::triggered, this, [this] { exportCommitmentSheet(chosenDraw()); });
}

void ResultsTab::exportNotaryRecord(qint64 draw)
{
    if (draw < 1)
        return;
    const QString path
        = prompts().saveFileName(QStringLiteral("公证记录(*.json)|*.json"), QStringLiteral("公证记录.json"));
    if (path.isEmpty())
        return;
    // The seed is revealed with it, so the record checks, and a revealed
    // seed draws no further rounds; not while the draw's screen still draws
    // from it.
    const bool onStage = DrawScreenOpenFor(draw);
    const std::optional<draw::NotaryFiles> files = draw::WriteNotaryFiles(draw, path, !onStage);
    if (!files) {
        prompts().message(
            QStringLiteral("公证记录导出失败：该抽奖还没有公证记录（尚未进入过抽奖），或文件无法写入！"));
        return;
    }
    QString told = QStringLiteral("已导出公证记录：%1 和公证证书：%2")
                       .arg(QFileInfo(files->record).fileName(), QFileInfo(files->certificate).fileName());
    told += files->checkable
        ? QStringLiteral("\n可用 tombolix-verify 验证。")
        : QStringLiteral("\n抽奖还在进行，种子尚未公开：这份记录要到抽奖结束后重新导出才能验证。");
    prompts().message(told);
}

void ResultsTab::refreshNotaryLine()
{
    const std::optional<data::NotarySeed> seed = data::NotaryStore().seedOf(chosenDraw());
    // Rule v2 keeps the commitment's entry hash, whose first digits are the code.
    m_notaryLine->setText(!seed || seed->seed.isEmpty()
            ? QString()
            : QStringLiteral("公证码 %1　　种子承诺 %2%3")
                  .arg(notary::GroupedCode(
                           seed->code.size() == 64 ? notary::CodeOfHash(seed->code) : seed->code),
                      seed->commitment, seed->revealed ? QStringLiteral("　　（种子已公开）") : QString()));
}

void ResultsTab::exportCommitmentSheet(qint64 draw)
{
    if (draw < 1)
        return;
    const QString path
        = prompts().saveFileName(QStringLiteral("承诺单(*.pdf)|*.pdf"), QStringLiteral("承诺单.pdf"));
    if (path.isEmpty())
        return;
    const draw::CommitmentSheet sheet = draw::WriteCommitmentSheet(draw, path);
    if (!sheet.problem.isEmpty()) {
        prompts().message(sheet.problem);
        return;
    }
    // The console's line shows the code that was committed to now.
    refreshNotaryLine();
    prompts().message(QStringLiteral("已导出承诺单：%1 和 %2\n公证码 %3\n抽奖时舞台上会显示同一个公证码。")
                          .arg(QFileInfo(sheet.pdf).fileName(), QFileInfo(sheet.png).fileName(), sheet.code));
}

} // namespace tombolix
