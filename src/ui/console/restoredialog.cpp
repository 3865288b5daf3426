#include "console/restoredialog.h"

#include "common/backupquestion.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/databasefile.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tombolix {

namespace {
const QString NotADatabase = QStringLiteral("所选文件不是有效的抽奖数据库，数据库未作改动！");
const QString ReplaceQuestion = QStringLiteral("恢复数据库将用所选备份替换现有的全部数据，是否继续？");
const QString Filter = QStringLiteral("数据库文件(*.mdb)|*.mdb");

QTableWidgetItem *cell(const QString &text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}
} // namespace

RestoreDialog::RestoreDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("RestoreDialog"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);

    m_folder = new QLabel(this);
    m_folder->setObjectName(QStringLiteral("Folder"));
    m_folder->setWordWrap(true);
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_list = new QTableWidget(0, 5, this);
    m_list->setObjectName(QStringLiteral("Backups"));
    m_list->setHorizontalHeaderLabels({ QStringLiteral("备份时间"), QStringLiteral("备份原因"),
        QStringLiteral("抽奖个数"), QStringLiteral("名单人数"), QStringLiteral("获奖记录") });
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAlternatingRowColors(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->setMinimumSize(600, 320);

    m_restoreChosen = new QPushButton(QStringLiteral("恢复所选备份"), this);
    m_restoreChosen->setObjectName(QStringLiteral("RestoreChosen"));
    m_restoreChosen->setAutoDefault(false);
    auto *other = new QPushButton(QStringLiteral("从其他文件恢复…"), this);
    other->setObjectName(QStringLiteral("RestoreOther"));
    other->setAutoDefault(false);
    // Closing is the only thing Enter may do here.
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("Close"));
    close->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_restoreChosen);
    buttons->addWidget(other);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 14);
    layout->setSpacing(10);
    layout->addWidget(m_folder);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_restoreChosen, &QPushButton::clicked, this, &RestoreDialog::restoreChosen);
    connect(other, &QPushButton::clicked, this, &RestoreDialog::restoreOtherFile);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, &RestoreDialog::restoreChosen);
    connect(m_list, &QTableWidget::itemSelectionChanged, this,
        [this] { m_restoreChosen->setEnabled(!m_list->selectedItems().isEmpty()); });

    listBackups();
    adjustSize();
    resize(std::max(width(), 680), std::max(height(), 440));
    CentreOnWorkArea(this);
}

void RestoreDialog::listBackups()
{
    m_backups = data::ListBackups();
    m_folder->setText(QStringLiteral("自动备份保存在 %1 文件夹中，保留最近 %2 份。")
                          .arg(QDir::toNativeSeparators(data::BackupFolder()))
                          .arg(data::KeptBackups)
        + (m_backups.isEmpty() ? QStringLiteral("目前还没有自动备份。") : QString()));
    m_list->setRowCount(0);
    m_list->setRowCount(int(m_backups.size()));
    const Qt::Alignment number = Qt::AlignRight | Qt::AlignVCenter;
    for (int row = 0; row < m_backups.size(); ++row) {
        const data::BackupFile &backup = m_backups.at(row);
        // Each is checked through when it is restored.
        const data::DatabaseSummary summary = data::InspectDatabase(backup.path, false);
        m_list->setItem(row, 0, cell(backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        m_list->setItem(row, 1, cell(backup.reason));
        if (summary.valid) {
            m_list->setItem(row, 2, cell(QString::number(summary.draws), number));
            m_list->setItem(row, 3, cell(QString::number(summary.entrants), number));
            m_list->setItem(row, 4, cell(QString::number(summary.results), number));
        } else {
            m_list->setItem(row, 2, cell(QStringLiteral("不是有效的抽奖数据库")));
            m_list->setSpan(row, 2, 1, 3);
        }
    }
    m_list->resizeColumnsToContents();
    for (int col = 0; col < m_list->columnCount(); ++col)
        m_list->setColumnWidth(col, m_list->columnWidth(col) + 24);
    // The reason takes what room is left; the counts stay by the right edge.
    m_list->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_list->clearSelection();
    m_list->setCurrentCell(-1, -1);
    m_restoreChosen->setEnabled(false);
}

void RestoreDialog::restoreChosen()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_backups.size() || m_list->selectedItems().isEmpty())
        return;
    restoreFrom(m_backups.at(row).path);
}

void RestoreDialog::restoreOtherFile()
{
    if (m_restoring)
        return;
    const QString path = prompts().openFileName(Filter);
    if (!path.isEmpty())
        restoreFrom(path);
}

void RestoreDialog::restoreFrom(const QString &path)
{
    // The questions yield to the event loop; a second press meanwhile must
    // not start a second restore.
    if (m_restoring)
        return;
    m_restoring = true;
    const auto finished = qScopeGuard([this] { m_restoring = false; });
    if (!data::InspectDatabase(path).valid) {
        prompts().message(NotADatabase);
        return;
    }
    // A copy made by a newer version would be read wrongly: refused here too.
    const data::DatabaseFileCheck check = data::CheckDatabaseFile(path);
    if (check.kind == data::DatabaseFileKind::TooNew) {
        prompts().message(data::DatabaseFileMessage(check, path));
        return;
    }
    if (!prompts().askYesNo(ReplaceQuestion, DefaultAnswer::No))
        return;
    switch (BackUpAndRestoreOrAsk(path)) {
    case data::RestoreOutcome::Restored:
        // A backup older than the program's version is brought up to it.
        if (!UpgradeOrAsk())
            prompts().message(data::UpgradeFailedMessage(data::DatabasePath()));
        emit restored();
        prompts().message(QStringLiteral("数据库已恢复！"));
        close();
        return;
    case data::RestoreOutcome::NotADatabase:
        prompts().message(NotADatabase);
        break;
    case data::RestoreOutcome::Failed:
        prompts().message(QStringLiteral("数据库恢复失败，数据库未作改动！"));
        break;
    case data::RestoreOutcome::BackupFailed:
    case data::RestoreOutcome::Cancelled:
        break;
    }
    // A backup may have been made, or the chosen one may be gone.
    listBackups();
}

} // namespace tombolix
