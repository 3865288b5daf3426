#pragma once

#include <QString>

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace tombolix {

// The row of command buttons a dialog ends with, right-aligned; the first is
// the default button.
struct ButtonRow
{
    QHBoxLayout *layout = nullptr;
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
};
ButtonRow makeButtonRow(QWidget *dialog, const QString &okText, const QString &okName,
    const QString &cancelText, const QString &cancelName);

} // namespace tombolix
