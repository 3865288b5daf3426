#include "drawscreen/enterdraw.h"

#include "common/backupquestion.h"
#include "common/conventions.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "data/backup.h"
#include "draw/certificate.h"
#include "draw/commitment.h"
#include "draw/entryplan.h"
#include "draw/stagescreen.h"
#include "drawscreen/getproject.h"
#include "drawscreen/mf.h"
#include "drawscreen/stagescreenmenu.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <optional>

namespace tombolix {

namespace {

// One chooser and one draw screen at a time. The console waits for the
// chooser in a local event loop, so a second press on the start button
// arrives in the middle of the first.
bool g_entering = false;
QPointer<GetProject> g_chooser;
QPointer<MF> g_screen;

void bringForward(QWidget *window)
{
    window->raise();
    window->activateWindow();
}

struct StagePlace
{
    QScreen *screen = nullptr;
    bool consoleStaysVisible = false;
};

// The screen the operator chose for the draw when it is plugged in, else the
// console's own.
StagePlace stagePlaceFor(QWidget *console)
{
    QScreen *consoleScreen = console ? console->screen() : nullptr;
    const QList<QScreen *> screens = QGuiApplication::screens();
    const QStringList keys = StageScreenKeys(screens);
    const draw::StageScreenChoice choice = draw::ChooseStageScreen(keys,
        consoleScreen ? keys.value(qsizetype(screens.indexOf(consoleScreen))) : QString(),
        draw::StoredStageScreen());
    if (choice.consoleStaysVisible && console) {
        for (qsizetype i = 0; i < screens.size(); ++i) {
            if (keys.at(i) == choice.screen)
                return { screens.at(i), true };
        }
    }
    return { consoleScreen, false };
}

// With the draw on a projector the console stays in view, and a click on it
// takes the keyboard there: a presenter's remote would then page through
// the console. Keys pressed in the console go to the draw while it is held;
// shortcuts with Ctrl or Alt stay the console's.
class ConsoleKeysToStage : public QObject
{
public:
    ConsoleKeysToStage(QWidget *console, MF *screen)
        : QObject(screen)
        , m_console(console)
        , m_screen(screen)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || !m_console || widget->window() != m_console || !m_screen->isVisible())
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        QKeyEvent forwarded(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat());
        forwarded.setTimestamp(key->timestamp());
        QCoreApplication::sendEvent(m_screen, &forwarded);
        return true;
    }

private:
    QPointer<QWidget> m_console;
    MF *m_screen;
};

} // namespace

bool DrawScreenOpenFor(long long drawId)
{
    return g_screen && g_screen->session().drawId() == drawId;
}

namespace {

// The draw the operator picks in the chooser; 0 when none was picked.
qint64 chooseDraw(QWidget *console)
{
    auto *chooser = new GetProject(console);
    g_chooser = chooser;
    QString chosen;
    QObject::connect(
        chooser, &GetProject::chosen, chooser, [&chosen](const QString &draw) { chosen = draw; });
    chooser->show();
    WaitUntilClosed(chooser);
    return chosen.isEmpty() ? 0 : integerValue(chosen);
}

// How the draw is entered, as the operator answers what the plan asks;
// nothing when the operator turned back.
std::optional<draw::Entry> askEntry(qint64 drawId, const draw::EntryPlan &plan)
{
    // Who may win the awards with a range comes first; an award nobody may
    // win keeps the stage closed.
    if (!plan.refusal.isEmpty()) {
        prompts().message(plan.refusal + QStringLiteral("\n\n") + plan.reach);
        return std::nullopt;
    }
    if (!plan.reach.isEmpty())
        prompts().message(QStringLiteral("各奖项的抽奖范围：\n") + plan.reach);
    if (plan.tooFewEntrants
        && !prompts().askYesNo(QStringLiteral("获奖人数多于参与抽奖人数，是否继续抽奖？")))
        return std::nullopt;
    auto restartAsked = [&plan] {
        if (!plan.restartRefusal.isEmpty()) {
            prompts().message(QStringLiteral("不能重新开始：\n") + plan.restartRefusal);
            return false;
        }
        return prompts().askYesNo(plan.restartQuestion, DefaultAnswer::No)
            && BackUpBefore(data::backupreason::Restart);
    };
    switch (plan.ask) {
    case draw::EntryPlan::Ask::Nothing:
        return draw::Entry::Afresh;
    case draw::EntryPlan::Ask::RecordUnusable:
        if (!prompts().askYesNo(plan.question, DefaultAnswer::No) || !restartAsked())
            return std::nullopt;
        if (!draw::ClearRecordForRestart(drawId, plan.keepRecordAs)) {
            prompts().message(QStringLiteral("原有公证记录无法保存或清除，抽奖未开始，请检查数据库！"));
            return std::nullopt;
        }
        return draw::Entry::Restart;
    case draw::EntryPlan::Ask::ContinueOrRestart:
        break;
    }
    enum
    {
        Continue,
        Restart,
        Cancel
    };
    const int chosen = prompts().askChoice(plan.question,
        { QStringLiteral("继续抽奖"), QStringLiteral("重新开始"), QStringLiteral("取消") }, Continue, Cancel);
    if (chosen == Cancel)
        return std::nullopt;
    if (chosen == Continue)
        return draw::Entry::Continue;
    if (!restartAsked())
        return std::nullopt;
    return draw::Entry::Restart;
}

// The draw screen, entered; nothing when the draw could not be committed to
// (no round is drawn without a commitment in force).
MF *openScreen(qint64 drawId, draw::Entry entry)
{
    auto *screen = new MF(drawId, entry);
    const draw::StartReport &started = screen->startReport();
    if (!started.problem.isEmpty()) {
        prompts().message(started.problem);
        delete screen;
        return nullptr;
    }
    if (!started.differences.isEmpty())
        prompts().message(QStringLiteral("数据库与此抽奖的公证记录不符：\n%"
                                         "1\n已按公证记录改正，并重新承诺；舞台上会显示新的公证码和原因。")
                              .arg(started.differences.join(QLatin1Char('\n'))));
    return screen;
}

// Puts the screen on the stage's screen, full, and the console out of the
// way (or beside it, when the draw is on a projector).
void showOnStage(MF *screen, QWidget *console)
{
    QPointer<QWidget> guard(console);
    const StagePlace place = stagePlaceFor(console);
    // Shown again without a stated place, a window goes wherever the window
    // manager likes, often the screen's corner; the console comes back where
    // and as it was, maximized or not.
    const QByteArray consolePlace = console ? console->saveGeometry() : QByteArray();
    const bool consoleStaysVisible = place.consoleStaysVisible;
    QObject::connect(screen, &MF::closed, screen, [guard, consolePlace, consoleStaysVisible] {
        if (!guard)
            return;
        if (consoleStaysVisible) {
            bringForward(guard); // where the operator has left it meanwhile
            return;
        }
        if (guard->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
            guard->show(); // the state places it
            return;
        }
        ShowWithGeometry(guard, consolePlace);
    });
    if (place.screen) {
        screen->setScreen(place.screen);
        screen->setGeometry(place.screen->geometry());
    }
    // On a projector the console stays in view on the operator's screen,
    // and the draw screen's dialogs and questions are shown there.
    if (place.consoleStaysVisible) {
        SetDialogHost(screen, console);
        new ConsoleKeysToStage(console, screen);
    }
    screen->setWindowFlag(Qt::FramelessWindowHint);
    screen->showFullScreen();
    screen->activateWindow();
    screen->setFocus();
    if (console && !place.consoleStaysVisible)
        console->hide();
}

} // namespace

MF *EnterDraw(QWidget *console)
{
    if (g_screen && g_screen->isVisible()) {
        bringForward(g_screen);
        return nullptr;
    }
    if (g_entering) {
        if (g_chooser)
            bringForward(g_chooser);
        return nullptr;
    }
    g_entering = true;
    const auto entered = qScopeGuard([] { g_entering = false; });

    const qint64 drawId = chooseDraw(console);
    if (drawId == 0)
        return nullptr;
    const std::optional<draw::EntryFacts> facts = draw::ReadEntryFacts(drawId);
    if (!facts)
        return nullptr;
    const std::optional<draw::Entry> entry = askEntry(drawId, draw::PlanEntry(drawId, *facts));
    if (!entry)
        return nullptr;
    MF *screen = openScreen(drawId, *entry);
    if (!screen)
        return nullptr;
    g_screen = screen;
    showOnStage(screen, console);
    return screen;
}

} // namespace tombolix
