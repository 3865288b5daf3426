#include "drawscreen/enterdraw.h"

#include "common/backupquestion.h"
#include "common/conventions.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "data/awardstore.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/entrantstore.h"
#include "data/resultstore.h"
#include "data/storesupport.h"
#include "draw/certificate.h"
#include "draw/commitment.h"
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

    auto *chooser = new GetProject(console);
    g_chooser = chooser;
    QString chosen;
    QObject::connect(
        chooser, &GetProject::chosen, chooser, [&chosen](const QString &draw) { chosen = draw; });
    chooser->show();
    WaitWhileFormOpen(GetProject::caption());
    if (chosen.isEmpty())
        return nullptr;
    const qint64 drawId = integerValue(chosen);

    // Entering stops at the first count that cannot be read (the database
    // routine has told the operator): read as 0 it would skip the questions
    // below and delete earlier results unasked.
    if (!data::OpenConnection())
        return nullptr;

    // Winners wanted and entrants that can be drawn, of this draw: others'
    // entrants can never win here.
    const std::optional<double> total = data::AwardStore().totalWinners(drawId);
    if (!total)
        return nullptr;
    const std::optional<qint64> entrants = data::EntrantStore().countDrawable(drawId);
    if (!entrants)
        return nullptr;
    if (*entrants < roundHalfEven(*total)
        && !prompts().askYesNo(QStringLiteral("获奖人数多于参与抽奖人数，是否继续抽奖？")))
        return nullptr;

    // A draw held in parts (or cut short by a crash) goes on where it
    // stopped; starting again wipes an evening's winners, so it is asked
    // twice and backed up first.
    const std::optional<qint64> earlier = data::ResultStore().countForDraw(drawId);
    if (!earlier)
        return nullptr;
    // Withdrawn wins count too: going on keeps their entrants out, starting
    // again lets them win.
    const std::optional<QList<data::ResultRecord>> withdrawn = data::ResultStore().withdrawnInDraw(drawId);
    if (!withdrawn)
        return nullptr;
    const draw::RecordState record = draw::InspectRecord(drawId);
    if (!record.readable)
        return nullptr;
    const QString count = QString::number(*earlier);
    auto restartAsked = [&count] {
        return prompts().askYesNo(
                   QStringLiteral("重新开始将删除这") + count + QStringLiteral("条抽奖结果，是否继续？"),
                   DefaultAnswer::No)
            && BackUpBefore(data::backupreason::Restart);
    };
    draw::Entry entry = draw::Entry::Afresh;
    if (record.kind == draw::RecordState::Kind::Broken || record.kind == draw::RecordState::Kind::OlderRule) {
        // Nothing can be drawn on a record that no longer checks; the
        // rounds of an older rule's record stay checkable from its file.
        const QString keepAs = draw::NotaryRecordPathAtTheEnd(drawId);
        const QString why = record.kind == draw::RecordState::Kind::Broken
            ? QStringLiteral("此抽奖的公证记录已损坏（%1），不能在其上继续抽奖。").arg(record.problem)
            : QStringLiteral("此抽奖的公证记录是旧版本按旧规则写的，不能在其上继续抽奖；原记录将保存为 %1。")
                  .arg(QDir::toNativeSeparators(keepAs));
        if (!prompts().askYesNo(why + QStringLiteral("是否重新开始？"), DefaultAnswer::No) || !restartAsked())
            return nullptr;
        if (!draw::ClearRecordForRestart(drawId, keepAs)) {
            prompts().message(QStringLiteral("原有公证记录无法保存或清除，抽奖未开始，请检查数据库！"));
            return nullptr;
        }
        entry = draw::Entry::Restart;
    } else if (*earlier > 0 || !withdrawn->isEmpty() || record.hasWins) {
        QString held = QStringLiteral("该抽奖已有") + count + QStringLiteral("条抽奖结果。");
        if (!withdrawn->isEmpty())
            held += QStringLiteral("另有%1条结果已撤销。").arg(withdrawn->size());
        enum
        {
            Continue,
            Restart,
            Cancel
        };
        const int chosen = prompts().askChoice(held,
            { QStringLiteral("继续抽奖"), QStringLiteral("重新开始"), QStringLiteral("取消") }, Continue,
            Cancel);
        if (chosen == Cancel)
            return nullptr;
        if (chosen == Continue)
            entry = draw::Entry::Continue;
        else if (!restartAsked())
            return nullptr;
        else
            entry = draw::Entry::Restart;
    }

    auto *screen = new MF(drawId, entry);
    // No round is drawn without a commitment in force: a draw that could not
    // be committed to is not shown at all.
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
    g_screen = screen;
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
    return screen;
}

} // namespace tombolix
