#include "common/dialogparts.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace tombolix {

ButtonRow makeButtonRow(QWidget *dialog, const QString &okText, const QString &okName,
    const QString &cancelText, const QString &cancelName)
{
    ButtonRow row;
    row.ok = new QPushButton(okText, dialog);
    row.ok->setObjectName(okName);
    row.ok->setDefault(true);
    row.cancel = new QPushButton(cancelText, dialog);
    row.cancel->setObjectName(cancelName);
    row.layout = new QHBoxLayout;
    row.layout->addStretch(1);
    row.layout->addWidget(row.ok);
    row.layout->addWidget(row.cancel);
    return row;
}

} // namespace tombolix
