#include "drawscreen/stagescreenmenu.h"

#include "draw/stagescreen.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QScreen>

namespace tombolix {

StageScreenMenu::StageScreenMenu(QWidget *console)
    : QMenu(caption(), console)
    , m_console(console)
    , m_group(new QActionGroup(this))
{
    setObjectName(QStringLiteral("m_DrawScreen"));
    m_group->setExclusive(true);
    connect(m_group, &QActionGroup::triggered, this,
        [](QAction *action) { draw::StoreStageScreen(action->data().toString()); });
    // A projector is often plugged in after the program has started; the
    // check follows the console when it is moved to another screen.
    connect(qApp, &QGuiApplication::screenAdded, this, &StageScreenMenu::refresh);
    connect(qApp, &QGuiApplication::screenRemoved, this, &StageScreenMenu::refresh);
    connect(this, &QMenu::aboutToShow, this, &StageScreenMenu::refresh);
    refresh();
}

QStringList StageScreenKeys(const QList<QScreen *> &screens)
{
    QList<std::pair<QString, QRect>> named;
    for (const QScreen *screen : screens)
        named.append({ screen->name(), screen->geometry() });
    return draw::StageScreenKeys(named);
}

void StageScreenMenu::refresh()
{
    const QList<QAction *> old = m_group->actions();
    for (QAction *action : old) {
        m_group->removeAction(action);
        removeAction(action);
        action->deleteLater(); // a menu may be triggering it right now
    }
    const QList<QScreen *> screens = QGuiApplication::screens();
    const QStringList keys = StageScreenKeys(screens);
    const QScreen *consoleScreen = m_console ? m_console->screen() : QGuiApplication::primaryScreen();
    const QString inUse = draw::ChooseStageScreen(keys,
        consoleScreen ? keys.value(qsizetype(screens.indexOf(consoleScreen))) : QString(),
        draw::StoredStageScreen())
                              .screen;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        QScreen *screen = screens.at(i);
        QAction *action = addAction(
            draw::StageScreenLabel(screen->name(), screen->geometry(), keys.at(i) != screen->name()));
        action->setData(keys.at(i));
        action->setCheckable(true);
        action->setChecked(keys.at(i) == inUse);
        m_group->addAction(action);
    }
    menuAction()->setVisible(screens.size() > 1);
}

} // namespace tombolix
