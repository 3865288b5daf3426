#pragma once

#include <QMenu>

class QActionGroup;
class QScreen;

namespace tombolix {

// The console's choice of the screen the draw is held on: each screen by
// name and size, the one in use checked. Shown while more than one screen is
// plugged in; with one there is nothing to choose and it is hidden.
class StageScreenMenu : public QMenu
{
    Q_OBJECT

public:
    explicit StageScreenMenu(QWidget *console);

    static QString caption() { return QStringLiteral("抽奖画面显示在"); }

    // Lists the screens as they are now.
    void refresh();

private:
    QWidget *m_console;
    QActionGroup *m_group;
};

// How each screen is known (see draw::StageScreenKeys): its name, or its
// name and place where two share a name.
QStringList StageScreenKeys(const QList<QScreen *> &screens);

} // namespace tombolix
