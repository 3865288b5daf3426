#include "console/editordialog.h"

#include "common/conventions.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "data/records.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tombolix {

EditorDialog::EditorDialog(const QString &name, const QString &caption, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(name);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    // finished covers every way out: accept, reject, Esc and the close box.
    connect(this, &QDialog::finished, this, &EditorDialog::closedEditor);
}

void EditorDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed && !event->spontaneous()) {
        m_placed = true;
        CentreOnWorkArea(this);
    }
}

void EditorDialog::loadRow(qint64)
{ }

void EditorDialog::addIdBox()
{
    m_id = addHiddenBox(QStringLiteral("ID"), QStringLiteral("0"));
    connect(m_id, &QLineEdit::textChanged, this, [this] {
        if (rowId() > 0)
            loadRow(rowId());
    });
}

qint64 EditorDialog::rowId() const
{
    return m_id ? integerValue(m_id->text()) : 0;
}

void EditorDialog::setRowId(qint64 id)
{
    if (m_id)
        m_id->setText(QString::number(id));
}

QLineEdit *EditorDialog::addHiddenBox(const QString &name, const QString &text)
{
    auto *box = new QLineEdit(text, this);
    box->setObjectName(name);
    box->hide();
    return box;
}

QGridLayout *EditorDialog::addFieldGrid(int stretchColumn, QWidget *owner)
{
    auto *fields = new QGridLayout(owner);
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(10);
    fields->setColumnStretch(stretchColumn, 1);
    return fields;
}

QLabel *EditorDialog::fieldLabel(const QString &text, Qt::Alignment vertical)
{
    auto *label = new QLabel(text, this);
    label->setAlignment(Qt::AlignRight | vertical);
    return label;
}

ButtonRow EditorDialog::addButtons(const QString &okName, const QString &cancelName)
{
    const ButtonRow row
        = makeButtonRow(this, QStringLiteral("确    定"), okName, QStringLiteral("取    消"), cancelName);
    connect(row.ok, &QPushButton::clicked, this, [this] { confirm(); });
    connect(row.cancel, &QPushButton::clicked, this, &QDialog::reject);
    return row;
}

void EditorDialog::stackFields(QLayout *fields, const ButtonRow &buttons)
{
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->setSpacing(12);
    layout->addLayout(fields);
    layout->addWidget(line);
    layout->addLayout(buttons.layout);
}

bool EditorDialog::reportSave(const data::SaveResult &result)
{
    if (result.status == data::SaveResult::NotWritten)
        prompts().message(QStringLiteral("保存失败，请检查数据库！"));
    return result.saved();
}

} // namespace tombolix
