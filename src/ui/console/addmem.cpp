#include "console/addmem.h"

#include "common/dialogparts.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "grid/gridmodel.h"
#include "grid/entrantgrid.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tombolix {

namespace {

enum Column
{
    SerialColumn = 2,
    NumberColumn = 3,
    NameColumn = 4
};

} // namespace

AddMem::AddMem(grid::GridModel *entrants, std::function<qint64()> drawId, QWidget *parent)
    : QDialog(parent)
    , m_entrants(entrants)
    , m_drawId(std::move(drawId))
{
    setObjectName(QStringLiteral("AddMem"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_number = new QLineEdit(this);
    m_number->setObjectName(QStringLiteral("TT_0"));
    m_number->setMinimumWidth(240);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("TT_1"));

    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(10);
    fields->setColumnStretch(1, 1);
    fields->addWidget(new QLabel(QStringLiteral("抽奖号码："), this), 0, 0, Qt::AlignRight);
    fields->addWidget(m_number, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("相关人名："), this), 1, 0, Qt::AlignRight);
    fields->addWidget(m_name, 1, 1);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    const ButtonRow row = makeButtonRow(this, QStringLiteral("确    定"), QStringLiteral("Com_0"),
        QStringLiteral("取    消"), QStringLiteral("Com_1"));
    QPushButton *ok = row.ok;
    QPushButton *cancel = row.cancel;
    QHBoxLayout *buttons = row.layout;

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->setSpacing(12);
    layout->addLayout(fields);
    layout->addWidget(line);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &AddMem::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    adjustSize();
}

void AddMem::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed && !event->spontaneous()) {
        m_placed = true;
        CentreOnWorkArea(this);
    }
}

void AddMem::confirm()
{
    const qint64 drawId = m_drawId ? m_drawId() : 0;
    // Without a draw the row could not be stored and would vanish at the
    // next refresh of the tab.
    if (drawId <= 0) {
        prompts().message(QStringLiteral("请先选择抽奖名称！"));
        return;
    }
    // The writer skips an empty line, which would leave an unstored row.
    if (m_number->text().trimmed().isEmpty() && m_name->text().trimmed().isEmpty()) {
        prompts().message(QStringLiteral("请输入抽奖号码或相关人名！"));
        m_number->setFocus();
        return;
    }
    if (!m_entrants)
        return;

    const int row = m_entrants->addRow();
    m_entrants->setTextMatrix(row, SerialColumn, QString::number(row - m_entrants->FixedRows() + 1));
    m_entrants->setTextMatrix(row, NumberColumn, m_number->text());
    m_entrants->setTextMatrix(row, NameColumn, m_name->text());
    if (!grid::SaveEntrantGridRows(*m_entrants, row, row, drawId)) {
        // The writer has told the operator; the dialog stays for another try.
        m_entrants->removeGridRows(row, 1);
        return;
    }
    emit added(row);
    accept();
}

} // namespace tombolix
