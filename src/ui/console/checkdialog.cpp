#include "console/checkdialog.h"

#include "common/backupquestion.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "data/backup.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>
#include <vector>

namespace tombolix {

// Read-only rows of text. A check may list every entrant of a large draw, so
// the rows live in one vector rather than in an item per cell.
class CheckReportModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Columns listed in centred hold counts and record numbers.
    void setContents(const QStringList &captions, std::vector<QStringList> rows, QList<int> centred)
    {
        beginResetModel();
        m_captions = captions;
        m_rows = std::move(rows);
        m_centred = std::move(centred);
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }

    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_captions.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return QVariant();
        if (role == Qt::TextAlignmentRole && m_centred.contains(index.column()))
            return int(Qt::AlignCenter);
        if (role != Qt::DisplayRole)
            return QVariant();
        return m_rows[size_t(index.row())].value(index.column());
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_captions.value(section);
        if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole && m_centred.contains(section))
            return int(Qt::AlignCenter);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    QStringList m_captions;
    std::vector<QStringList> m_rows;
    QList<int> m_centred;
};

namespace {

const QString NoDrawChosen = QStringLiteral("请先选择抽奖名称！");
const QString DeleteQuestion = QStringLiteral("是否删除多余的重复号码（每个号码保留第一条）？");

// Fitted columns leave the texts touching the grid lines.
constexpr int ColumnPadding = 18;

void fitColumns(QTableView *table)
{
    table->resizeColumnsToContents();
    for (int col = 0; col < table->model()->columnCount(); ++col)
        table->setColumnWidth(col, table->columnWidth(col) + ColumnPadding);
}

} // namespace

CheckDialog::CheckDialog(Kind kind, qint64 drawId, qint64 fixedLength, QWidget *parent)
    : QDialog(parent)
    , m_kind(kind)
    , m_drawId(drawId)
    , m_fixedLength(fixedLength)
{
    setObjectName(QStringLiteral("CheckDialog"));
    setWindowTitle(kind == Kind::Duplicates ? QStringLiteral("检查重复") : QStringLiteral("检查号长"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    QFont summaryFont = m_summary->font();
    summaryFont.setBold(true);
    summaryFont.setPointSizeF(summaryFont.pointSizeF() * 1.15);
    m_summary->setFont(summaryFont);
    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("Detail"));
    m_detail->setWordWrap(true);

    m_model = new CheckReportModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("List"));
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 8);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->setMinimumSize(520, 300);

    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("Close"));
    close->setDefault(true);
    auto *buttons = new QHBoxLayout;
    if (kind == Kind::Duplicates) {
        m_delete = new QPushButton(QStringLiteral("删除多余的重复号码"), this);
        m_delete->setObjectName(QStringLiteral("Delete"));
        m_delete->setAutoDefault(false);
        buttons->addWidget(m_delete);
        connect(m_delete, &QPushButton::clicked, this, &CheckDialog::deleteCopies);
    }
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 14);
    layout->setSpacing(10);
    layout->addWidget(m_summary);
    layout->addWidget(m_detail);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);

    connect(close, &QPushButton::clicked, this, &QDialog::close);
    // Focus on the list would frame its first cell as if it were chosen.
    close->setFocus();

    runCheck();
}

CheckDialog *CheckDialog::showDuplicates(QWidget *parent, qint64 drawId)
{
    return open(Kind::Duplicates, parent, drawId, 0);
}

CheckDialog *CheckDialog::showLengths(QWidget *parent, qint64 drawId, qint64 fixedLength)
{
    return open(Kind::Lengths, parent, drawId, fixedLength);
}

CheckDialog *CheckDialog::open(Kind kind, QWidget *parent, qint64 drawId, qint64 fixedLength)
{
    if (drawId <= 0) {
        prompts().message(NoDrawChosen);
        return nullptr;
    }
    auto *dialog = new CheckDialog(kind, drawId, fixedLength, parent);
    const bool read = kind == Kind::Duplicates ? dialog->m_duplicates.read : dialog->m_lengths.read;
    if (!read) {
        delete dialog;
        return nullptr;
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void CheckDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed && !event->spontaneous()) {
        m_placed = true;
        CentreOnWorkArea(this);
    }
}

bool CheckDialog::runCheck()
{
    if (m_kind == Kind::Duplicates) {
        m_duplicates = draw::FindDuplicateNumbers(m_drawId);
        showDuplicateReport();
        return m_duplicates.read;
    }
    m_lengths = draw::FindOddLengths(m_drawId, m_fixedLength);
    showLengthReport();
    return m_lengths.read;
}

void CheckDialog::showDuplicateReport()
{
    const draw::DuplicateReport &report = m_duplicates;
    std::vector<QStringList> rows;
    rows.reserve(size_t(report.rows));
    for (const draw::DuplicateGroup &group : report.groups) {
        const QString count = QString::number(group.ids.size());
        for (int i = 0; i < group.ids.size(); ++i) {
            rows.push_back({ group.number, count, QString::number(group.ids.at(i)), group.names.value(i),
                i == 0 ? QStringLiteral("保留") : QStringLiteral("多余") });
        }
    }
    // Entrants who share a name under different numbers follow, for the
    // operator to look at: they are never deleted.
    for (const draw::SharedName &shared : report.sharedNames) {
        const QString count = QString::number(shared.ids.size());
        for (int i = 0; i < shared.ids.size(); ++i) {
            rows.push_back({ shared.numbers.value(i), count, QString::number(shared.ids.at(i)), shared.name,
                QStringLiteral("同名，号码不同（仅供核对）") });
        }
    }
    m_model->setContents({ QStringLiteral("抽奖号码"), QStringLiteral("次数"), QStringLiteral("记录号"),
                             QStringLiteral("姓名"), QStringLiteral("说明") },
        std::move(rows), { 1, 2 });
    fitColumns(m_table);

    const QString sameNames = report.sharedNames.isEmpty()
        ? QString()
        : QStringLiteral("另有 %1 个姓名由不同号码的人共用，列在后面，仅供核对。")
              .arg(report.sharedNames.size());
    if (report.groups.isEmpty()) {
        m_summary->setText(QStringLiteral("未发现重复号码。") + sameNames);
        m_detail->setText(QStringLiteral("号码前后的空格不计，空号码不参加比较。"));
    } else {
        m_summary->setText(
            QStringLiteral("共有 %1 个号码重复，涉及 %2 条记录。").arg(report.groups.size()).arg(report.rows)
            + sameNames);
        m_detail->setText(
            QStringLiteral("号码前后的空格不计。每个号码记录号最小的一条为第一条，其余为多余的重复号码。"));
    }
    m_delete->setEnabled(!report.groups.isEmpty());
}

void CheckDialog::showLengthReport()
{
    const draw::LengthReport &report = m_lengths;
    std::vector<QStringList> rows;
    rows.reserve(size_t(report.odd.size()));
    for (const draw::OddLength &entrant : report.odd) {
        rows.push_back(
            { QString::number(entrant.id), QString::number(entrant.length), entrant.number, entrant.name });
    }
    m_model->setContents({ QStringLiteral("记录号"), QStringLiteral("长度"), QStringLiteral("抽奖号码"),
                             QStringLiteral("姓名") },
        std::move(rows), { 0, 1 });
    fitColumns(m_table);

    const int odd = int(report.odd.size());
    if (report.total == 0) {
        m_summary->setText(QStringLiteral("该抽奖还没有名单。"));
    } else if (report.expected == 0) {
        m_summary->setText(QStringLiteral("共有 %1 条记录没有抽奖号码。").arg(odd));
    } else if (odd == 0) {
        m_summary->setText(QStringLiteral("所有号码长度均为 %1 位。").arg(report.expected));
    } else {
        m_summary->setText(
            QStringLiteral("共有 %1 条记录的号码长度不是 %2 位。").arg(odd).arg(report.expected));
    }

    if (report.rule == draw::LengthRule::FixedLength) {
        m_detail->setText(
            QStringLiteral("按抽奖设置的号码长度 %1 位检查，号码前后的空格不计。").arg(report.expected));
    } else if (report.expected > 0) {
        m_detail->setText(QStringLiteral(
            "抽奖设置未定号码长度，按最常见的长度 %1 位检查（%2 条记录），号码前后的空格不计。")
                              .arg(report.expected)
                              .arg(report.expectedRows));
    } else {
        m_detail->clear();
    }
    m_detail->setVisible(!m_detail->text().isEmpty());
}

void CheckDialog::deleteCopies()
{
    if (m_duplicates.groups.isEmpty() || !prompts().askYesNo(DeleteQuestion, DefaultAnswer::No))
        return;
    if (!BackUpBefore(data::backupreason::DeleteDuplicates))
        return;
    const int deleted = draw::DeleteDuplicateCopies(m_duplicates);
    if (deleted < 0) {
        prompts().message(QStringLiteral("删除失败，数据库未作改动！"));
        return;
    }
    emit changed();
    runCheck();
    if (m_duplicates.read)
        m_detail->setText(QStringLiteral("已删除 %1 条多余的重复号码。").arg(deleted));
}

} // namespace tombolix
