// tombolix-drill: runs the real draw screen or the real entrant import on a
// database of the caller's choosing and reports each step on stdout, so that
// tst_crash can kill it with SIGKILL at a known moment and then look at what
// reached the file.
//
//   tombolix-drill draw DBPATH DRAWID
//       committed<TAB>code     once the screen is open: its 公证码
//       hall<TAB>numbers       after typing the hall's numbers, when asked
//       rolling                after each start
//       shown<TAB>n1,n2,...    after each stop: the stored numbers of the
//                              winners now on screen
//       finished               once every award is drawn
//       message<TAB>text       whatever the screen told the operator, in a
//                              box or in the stage's notice
//   tombolix-drill restart DBPATH DRAWID
//       the same on the draw started again (重新开始), its results cleared
//   tombolix-drill continue DBPATH DRAWID
//       enters the draw as the console's start button does, chooses it in
//       the chooser and answers 继续抽奖, then reports as the draw does
//       asked<TAB>text         each choice the operator was offered
//       not entered            when no draw screen opened
//   tombolix-drill withdraw DBPATH DRAWID
//       holds one round, then withdraws its winner through 取消结果
//       withdrawn<TAB>number   once the withdrawal window has closed
//   tombolix-drill import DBPATH DRAWID CSVPATH
//       started                before the import
//       done<TAB>N             after it, N the rows stored
//       failed<TAB>E           instead, when the import reported error E
//
// After its last line the drill waits for the kill; a watchdog ends it after
// a few minutes so a test that died first leaves no process behind.

#include "common/conventions.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "data/database.h"
#include "draw/stagepace.h"
#include "drawscreen/delaward.h"
#include "drawscreen/enterdraw.h"
#include "drawscreen/getproject.h"
#include "drawscreen/hallnumbers.h"
#include "drawscreen/mf.h"
#include "grid/entrantgrid.h"
#include "grid/gridmodel.h"
#include "grid/gridops.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

using namespace tombolix;

namespace {

constexpr int WatchdogMs = 5 * 60 * 1000;

// One line on stdout, flushed at once: the test acts on it while this process
// goes on, so it must not sit in a buffer.
void say(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// Runs the event loop for a while, so the rolling timer ticks and the screen
// repaints as it would in front of an audience.
void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int usage()
{
    std::fputs("usage: tombolix-drill draw DBPATH DRAWID\n"
               "       tombolix-drill continue DBPATH DRAWID\n"
               "       tombolix-drill withdraw DBPATH DRAWID\n"
               "       tombolix-drill import DBPATH DRAWID CSVPATH\n",
        stderr);
    return 2;
}

// Reports what the program told the operator since the last call: a failed
// save says so in a message box, and the test wants to see it.
void reportMessages(const ScriptedPrompts &prompts, qsizetype &reported, MF &screen, QString &noticed)
{
    const QStringList messages = prompts.messages();
    for (; reported < messages.size(); ++reported)
        say(QStringLiteral("message\t") + messages.at(reported));
    const auto *notice = screen.findChild<QLabel *>(QStringLiteral("stageNotice"));
    if (notice && notice->isVisible() && notice->text() != noticed) {
        noticed = notice->text();
        say(QStringLiteral("message\t") + noticed);
    }
}

// The first start of a commitment asks for the hall's numbers: typed as the
// tables call them, then Enter.
void giveHallNumbers(MF &screen)
{
    say(QStringLiteral("committed\t") + screen.session().notaryCode());
    if (!screen.session().needsHallNumbers())
        return;
    screen.ToggleRoll();
    pump(20);
    const QString numbers = QString::number(QCoreApplication::applicationPid() % 100000);
    for (QChar digit : numbers) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (digit.unicode() - '0'), Qt::NoModifier, digit);
        QApplication::sendEvent(&screen, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_0 + (digit.unicode() - '0'), Qt::NoModifier, digit);
        QApplication::sendEvent(&screen, &release);
        pump(5);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&screen, &enter);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&screen, &up);
    if (!screen.session().needsHallNumbers())
        say(QStringLiteral("hall\t") + numbers);
}

int holdDraw(QApplication &app, const ScriptedPrompts &prompts, MF &screen)
{
    qsizetype reported = 0;
    QString noticed;
    giveHallNumbers(screen);

    // The screen shows display texts; what counts is the number stored for
    // each. They are taken now, before a win takes an entrant's text out of
    // the pool. A display text shared by two entrants (a mask can do that)
    // cannot name its number, so it is printed as shown and the test, which
    // knows its numbers, will not find it.
    QHash<QString, QString> numberOfShown;
    QSet<QString> ambiguous;
    const draw::EntrantPool &pool = screen.session().pool();
    for (qsizetype i = 1; i <= pool.size(); ++i) {
        if (!pool.isEligible(i))
            continue;
        const QString shown = pool.show(i);
        if (numberOfShown.contains(shown))
            ambiguous.insert(shown);
        numberOfShown.insert(shown, pool.number(i));
    }

    for (int round = 0; !screen.session().DrawFinished(); ++round) {
        screen.ToggleRoll();
        if (!screen.isRolling())
            break;
        say(QStringLiteral("rolling"));
        // Rounds of different lengths, so kills land on ticks, stops and
        // commits alike.
        pump(15 + (round % 4) * 8);
        screen.ToggleRoll();
        while (screen.isRolling())
            pump(10); // a timed round stops by itself
        QStringList numbers;
        const QString caption = screen.numberCaption();
        if (!caption.isEmpty()) {
            for (const QString &line : caption.split(QStringLiteral("\r\n")))
                numbers << (ambiguous.contains(line) ? line : numberOfShown.value(line, line));
        }
        reportMessages(prompts, reported, screen, noticed);
        say(QStringLiteral("shown\t") + numbers.join(QLatin1Char(',')));
    }
    say(QStringLiteral("finished"));
    return app.exec();
}

int runDraw(QApplication &app, const ScriptedPrompts &prompts, qint64 drawId, draw::Entry entry)
{
    MF screen(drawId, entry);
    screen.setAttribute(Qt::WA_DeleteOnClose, false);
    screen.show();
    return holdDraw(app, prompts, screen);
}

// The way back after a crash: the start button, the chooser, 继续抽奖.
int runContinue(QApplication &app, ScriptedPrompts &prompts, qint64 drawId)
{
    QTimer::singleShot(50, [drawId] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (!window->isVisible() || window->windowTitle() != GetProject::caption())
                continue;
            auto *draws = window->findChild<QComboBox *>(QStringLiteral("TT"));
            for (int i = 0; i < draws->count(); ++i) {
                if (integerValue(draws->itemText(i)) == drawId)
                    draws->setCurrentIndex(i);
            }
            window->findChild<QPushButton *>(QStringLiteral("Com_1"))->click();
        }
    });
    prompts.queueChoice(QStringLiteral("继续抽奖"));
    MF *screen = EnterDraw(nullptr);
    for (const QString &choice : prompts.choices())
        say(QStringLiteral("asked\t") + choice);
    if (!screen) {
        say(QStringLiteral("not entered"));
        return app.exec();
    }
    return holdDraw(app, prompts, *screen);
}

// One round, and its winner withdrawn as the operator does: 取消结果, a tick
// in the winner's row, 确定.
int runWithdraw(QApplication &app, qint64 drawId)
{
    MF screen(drawId);
    screen.setAttribute(Qt::WA_DeleteOnClose, false);
    screen.show();
    giveHallNumbers(screen);
    screen.ToggleRoll();
    pump(30);
    screen.ToggleRoll();
    screen.showAwardUndo();
    auto *dialog = screen.findChild<DelAward *>();
    if (!dialog || dialog->grid()->Rows() <= dialog->grid()->FixedRows())
        return 1;
    grid::GridModel *results = dialog->grid();
    const int row = results->Rows() - 1; // the newest result
    const QString number = results->TextMatrix(row, 6);
    results->setTextMatrix(row, 3, QStringLiteral("√"));
    dialog->findChild<QPushButton *>(QStringLiteral("Com_0"))->click();
    say(QStringLiteral("withdrawn\t") + number);
    return app.exec();
}

int countLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    int lines = int(bytes.count('\n'));
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        ++lines;
    return lines;
}

int runImport(QApplication &app, qint64 drawId, const QString &csv)
{
    // The entrant grid as the console lays it out.
    grid::GridModel entrants;
    grid::SetupGridHeader(
        entrants, { "ID", "CID", "", "号码", "姓名" }, { "ID", "CID", "序号", "抽奖号码", "姓名" });
    entrants.setTag(QStringLiteral("号码表"));
    entrants.setFixedCols(3);

    const int rows = countLines(csv);
    say(QStringLiteral("started"));
    const grid::ImportResult result = grid::ImportEntrants(
        entrants, csv, QString(), 1, std::max(rows, 1), { QStringLiteral("A"), QStringLiteral("B") }, drawId);
    if (result.error != 0)
        say(QStringLiteral("failed\t%1").arg(result.error));
    else
        say(QStringLiteral("done\t%1").arg(result.stored));
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return usage();
    const QString mode = args.at(1);
    const QString dbPath = args.at(2);
    bool ok = false;
    const qint64 drawId = args.at(3).toLongLong(&ok);
    if (!ok || !QFileInfo(dbPath).isFile())
        return usage();

    data::setDatabasePath(dbPath);
    setSettingsFile(QFileInfo(dbPath).dir().filePath(QStringLiteral("drill.ini")));
    // Rounds follow each other as fast as the kills want them.
    draw::SetStagePaceForTesting(draw::StagePace { 0, 0, 0, false });
    ScriptedPrompts prompts;
    setPrompts(&prompts);
    QTimer::singleShot(WatchdogMs, &app, [] { std::_Exit(3); });

    if (mode == QLatin1String("restart") && args.size() == 4)
        return runDraw(app, prompts, drawId, draw::Entry::Restart);
    if (mode == QLatin1String("draw") && args.size() == 4)
        return runDraw(app, prompts, drawId, draw::Entry::Afresh);
    if (mode == QLatin1String("continue") && args.size() == 4)
        return runContinue(app, prompts, drawId);
    if (mode == QLatin1String("withdraw") && args.size() == 4)
        return runWithdraw(app, drawId);
    if (mode == QLatin1String("import") && args.size() == 5)
        return runImport(app, drawId, args.at(4));
    return usage();
}
