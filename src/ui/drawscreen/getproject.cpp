#include "drawscreen/getproject.h"

#include "common/conventions.h"
#include "common/dialogparts.h"
#include "common/idlist.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "data/storesupport.h"
#include "data/tables.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tombolix {

GetProject::GetProject(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("GetProject"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("抽奖名称："), this), 0, 0);
    m_draws = new QComboBox(this);
    m_draws->setObjectName(QStringLiteral("TT"));
    m_draws->setMinimumWidth(320);
    m_draws->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    layout->addWidget(m_draws, 0, 1);

    const ButtonRow buttons = makeButtonRow(this, QStringLiteral("确    定"), QStringLiteral("Com_1"),
        QStringLiteral("取    消"), QStringLiteral("Com_0"));
    QPushButton *ok = buttons.ok;
    QPushButton *cancel = buttons.cancel;
    layout->addLayout(buttons.layout, 1, 0, 1, 2);

    connect(ok, &QPushButton::clicked, this, &GetProject::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);

    data::FillDrawList(m_draws);
    adjustSize();
    MakeTopmost(this);
    CentreOnWorkArea(this);
}

void GetProject::confirm()
{
    // The console stays usable while this waits; the draw may have been
    // deleted there meanwhile.
    const QString item = m_draws->currentText();
    if (!item.isEmpty()) {
        const std::optional<bool> exists
            = data::rowExists(data::Database::run(), data::draws::Table, data::draws::Id, integerValue(item));
        if (!exists) {
            // Unreadable: the database routine has told the operator, and
            // nothing can be entered from a file that cannot be read.
            close();
            return;
        }
        if (!*exists) {
            prompts().message(QStringLiteral("该抽奖设置已被删除，请重新选择！"));
            m_draws->clear();
            data::FillDrawList(m_draws);
            return;
        }
    }
    if (!item.isEmpty())
        emit chosen(item);
    close();
}

} // namespace tombolix
