#include "console/addmem.h"

#include "common/prompts.h"
#include "grid/entrantgrid.h"
#include "grid/gridmodel.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

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
    : EditorDialog(QStringLiteral("AddMem"), caption(), parent)
    , m_entrants(entrants)
    , m_drawId(std::move(drawId))
{
    m_number = new QLineEdit(this);
    m_number->setObjectName(QStringLiteral("TT_0"));
    m_number->setMinimumWidth(240);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("TT_1"));

    QGridLayout *fields = addFieldGrid(1);
    fields->addWidget(new QLabel(QStringLiteral("抽奖号码："), this), 0, 0, Qt::AlignRight);
    fields->addWidget(m_number, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("相关人名："), this), 1, 0, Qt::AlignRight);
    fields->addWidget(m_name, 1, 1);
    const QStringList attributes = entrants ? grid::AttributeNamesOf(*entrants) : QStringList();
    for (qsizetype k = 0; k < attributes.size(); ++k) {
        auto *box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("TT_A%1").arg(k));
        fields->addWidget(
            new QLabel(attributes.at(k) + QStringLiteral("："), this), 2 + int(k), 0, Qt::AlignRight);
        fields->addWidget(box, 2 + int(k), 1);
        m_attributes << box;
    }

    stackFields(fields, addButtons(QStringLiteral("Com_0"), QStringLiteral("Com_1")));
    adjustSize();
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
    // The grid's columns are those the boxes were made for while the dialog
    // holds the console.
    for (qsizetype k = 0; k < m_attributes.size(); ++k) {
        if (grid::FirstAttributeColumn + k < m_entrants->Cols())
            m_entrants->setTextMatrix(row, grid::FirstAttributeColumn + int(k), m_attributes.at(k)->text());
    }
    const data::EntrantSave saved = grid::SaveEntrantGridRows(*m_entrants, row, row, drawId);
    if (!saved) {
        // The dialog stays for another try.
        m_entrants->removeGridRows(row, 1);
        if (saved.failed())
            prompts().message(data::EntrantSaveFailedMessage());
        return;
    }
    emit added(row);
    accept();
}

} // namespace tombolix
