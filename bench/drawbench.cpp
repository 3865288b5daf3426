// Figures of the draw screen: the pool, a tick, a repaint, a stop and
// continuing a draw.
#include "benchutil.h"
#include "common/settingsstore.h"
#include "data/database.h"
#include "data/resultstore.h"
#include "draw/boardlayout.h"
#include "draw/drawsession.h"
#include "drawscreen/boardlist.h"
#include "drawscreen/mf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tombolix::bench {

void benchPoolLoad()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000000);
    must(bool(
        data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET 定长='8', 屏蔽='000**' WHERE ID=?"), { draw })));
    const draw::DrawSettings settings = draw::ReadDrawSettings(draw);
    double grownMb = 0;
    size_t poolBytes = 0;
    const double seconds = medianSeconds(3, [&] {
        const double before = residentMegabytes();
        draw::EntrantPool pool;
        draw::LoadEntrantPool(pool, draw);
        draw::FormatDisplayTexts(pool, settings.P_Long, settings.P_Hide);
        grownMb = std::max(grownMb, residentMegabytes() - before);
        poolBytes = pool.memoryBytes();
    });
    report(QStringLiteral("pool_load_1m"), seconds, QStringLiteral("s"));
    report(
        QStringLiteral("pool_memory_1m"), std::max(grownMb, poolBytes / 1048576.0), QStringLiteral("MB"), 1);
}

void benchTick()
{
    draw::EntrantPool pool;
    fillPoolMostlyWon(pool);
    draw::RandomSource random(2);
    const int ticks = 100000;
    QStringList lines;
    const double seconds = medianSeconds(5, [&] {
        for (int t = 0; t < ticks; ++t) {
            lines.clear();
            for (qsizetype index : pool.pick(10, random))
                lines << pool.show(index);
        }
    });
    report(QStringLiteral("tick_10_of_1m_90pct_won"), seconds / ticks * 1e6, QStringLiteral("us"));
}

void benchPaint()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000);
    QSqlQuery award(data::connection());
    award.exec(
        QStringLiteral("INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示) VALUES (%1, 1, 'A', 30, 3, 1)")
            .arg(draw));
    MF screen(draw);
    screen.resize(1920, 1080);
    screen.show();
    QCoreApplication::processEvents();
    screen.ToggleRoll();
    screen.RollTick();
    if (screen.numberCaption().count(QLatin1Char('\n')) != 2)
        std::fprintf(stderr, "paint_tick_1080p: the number does not show 3 lines\n");

    QImage target(screen.canvas()->size(), QImage::Format_ARGB32_Premultiplied);
    const QRect area = screen.numberArea();
    const int repaints = 200;
    const double tick = medianSeconds(5, [&] {
        for (int i = 0; i < repaints; ++i) {
            QPainter painter(&target);
            painter.setClipRect(area);
            screen.paintCanvas(painter, area);
        }
    });
    const double full = medianSeconds(5, [&] {
        for (int i = 0; i < 20; ++i)
            screen.render(&target);
    });
    report(QStringLiteral("paint_tick_1080p"), tick / repaints * 1e3, QStringLiteral("ms"));
    report(QStringLiteral("paint_full_1080p"), full / 20 * 1e3, QStringLiteral("ms"));
    screen.ToggleRoll();
    screen.close();
}

// How long a key press waits while the numbers roll every millisecond.
void benchStopLatency()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 100000);
    QSqlQuery award(data::connection());
    award.exec(QStringLiteral(
        "INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示) VALUES (%1, 1, 'A', 100000, 3, 1)")
                   .arg(draw));
    must(bool(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET 速度='1' WHERE ID=?"), { draw })));
    MF screen(draw);
    screen.resize(1920, 1080);
    screen.show();
    std::vector<double> latencies;
    for (int round = 0; round < 7; ++round) {
        screen.ToggleRoll();
        QElapsedTimer rolling;
        rolling.start();
        while (rolling.elapsed() < 100)
            QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::postEvent(&screen, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
        QCoreApplication::postEvent(
            &screen, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier));
        while (screen.isRolling() && timer.elapsed() < 5000)
            QCoreApplication::processEvents();
        latencies.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(latencies.begin(), latencies.end());
    report(QStringLiteral("stop_latency_1ms_roll"), latencies[latencies.size() / 2], QStringLiteral("ms"));
    screen.close();
}

void benchStopRecord()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 20000);
    QSqlQuery query(data::connection());
    query.exec(QStringLiteral(
        "INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示) VALUES (%1, 1, '一等奖', 100000, 10, 1)")
                   .arg(draw));
    draw::DrawSession session;
    session.start(draw);
    if (!session.lockHallNumbers(QStringLiteral("3 14 159")))
        std::fprintf(stderr, "stop_record_10: the hall's numbers were not stored\n");
    // A board of about 500 winners, drawn as the stage draws them.
    const auto stop = [&] {
        if (!session.beginRound() || session.RollTick().size() != 10
            || session.StopAndRecord(true, false).recorded != 10) {
            std::fprintf(stderr, "stop_record_10: a round was not stored\n");
            std::exit(1);
        }
    };
    for (int round = 0; round < 50; ++round)
        stop();
    const double seconds = medianSeconds(9, stop);
    report(QStringLiteral("stop_record_10"), seconds * 1e3, QStringLiteral("ms"));
}

namespace {

// The time from opening the draw screen to the first tick of its roll.
double secondsToFirstTick(qint64 draw, draw::Entry entry)
{
    QElapsedTimer clock;
    clock.start();
    MF screen(draw, entry);
    screen.resize(1920, 1080);
    screen.show();
    QCoreApplication::processEvents();
    const QString before = screen.numberCaption();
    screen.ToggleRoll();
    while (screen.numberCaption() == before && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (screen.numberCaption() == before)
        std::fprintf(stderr, "resume: the roll never ticked\n");
    screen.close();
    return seconds;
}

// A draw of a million entrants with 500 winners stored, spread over five
// awards that allow no repeat, drawn as the stage draws them (its record
// names every one); the winners in `winners`.
qint64 addDrawWith500Won(ScratchDatabase &db, QList<draw::WinnerKey> &winners)
{
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000000);
    must(bool(
        data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET 定长='8', 屏蔽='000**' WHERE ID=?"), { draw })));
    for (int a = 0; a < 5; ++a) {
        must(bool(
            data::ExecuteSql(QStringLiteral("INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示, 重复) "
                                            "VALUES (?, ?, ?, ?, 10, 1, 0)"),
                { draw, a + 1, QStringLiteral("%1等奖").arg(5 - a),
                    a == 4 ? 200 : 100 }))); // the last one half drawn
    }
    draw::DrawSession session;
    session.start(draw);
    if (!session.lockHallNumbers(QStringLiteral("3 14 159")))
        std::fprintf(stderr, "resume: the hall's numbers were not stored\n");
    for (int round = 0; round < 50; ++round) {
        session.beginRound();
        if (session.StopAndRecord(true, false).recorded != 10)
            std::fprintf(stderr, "resume: a round was not stored\n");
    }
    const QList<data::ResultRecord> results
        = data::ResultStore().forDraw(draw).value_or(QList<data::ResultRecord> {});
    for (const data::ResultRecord &result : results)
        winners.append({ result.number, result.name });
    return draw;
}

} // namespace

// Entering a draw of a million entrants that has 500 winners stored, spread
// over five awards that allow no repeat, with 继续抽奖: the screen loads, the
// winners leave the pool, the board is built, the roll starts and ticks.
// Measured beside it: the same screen entered afresh, and the pass that
// takes the winners out of a loaded pool alone.
void benchResume()
{
    ScratchDatabase db;
    QList<draw::WinnerKey> winners;
    const qint64 draw = addDrawWith500Won(db, winners);

    std::vector<double> resumed, fresh;
    secondsToFirstTick(draw, draw::Entry::Continue); // warm-up
    for (int run = 0; run < 3; ++run)
        resumed.push_back(secondsToFirstTick(draw, draw::Entry::Continue));
    // Entered afresh, the draw's results are cleared: measured last.
    for (int run = 0; run < 3; ++run)
        fresh.push_back(secondsToFirstTick(draw, draw::Entry::Afresh));
    std::sort(resumed.begin(), resumed.end());
    std::sort(fresh.begin(), fresh.end());

    draw::EntrantPool loaded;
    draw::LoadEntrantPool(loaded, draw);
    std::vector<double> exclusion;
    for (int run = 0; run < 5; ++run) {
        draw::EntrantPool pool = loaded;
        QElapsedTimer clock;
        clock.start();
        const qsizetype removed = draw::RemoveWinners(pool, winners);
        exclusion.push_back(clock.nsecsElapsed() / 1e6);
        if (removed != 500)
            std::fprintf(
                stderr, "resume: %lld winners left the pool, not 500\n", static_cast<long long>(removed));
    }
    std::sort(exclusion.begin(), exclusion.end());

    report(QStringLiteral("resume_1m_500_won"), resumed[resumed.size() / 2], QStringLiteral("s"));
    report(QStringLiteral("resume_fresh_1m"), fresh[fresh.size() / 2], QStringLiteral("s"));
    report(
        QStringLiteral("resume_exclusion_500_of_1m"), exclusion[exclusion.size() / 2], QStringLiteral("ms"));
}

// The same draw entered with 继续抽奖 after 50 further wins of its last
// award were withdrawn: the withdrawn entrants stay out of the pool too.
void benchContinueWithdrawn()
{
    ScratchDatabase db;
    QList<draw::WinnerKey> winners;
    const qint64 draw = addDrawWith500Won(db, winners);
    QList<qint64> withdrawn;
    {
        draw::DrawSession session;
        session.start(draw, draw::Entry::Continue);
        for (int round = 0; round < 5; ++round) {
            session.beginRound();
            for (qint64 id : session.StopAndRecord(true, false).resultIds)
                withdrawn << id;
        }
    }
    if (!data::ResultStore().withdraw(withdrawn, data::withdrawreason::OnStage))
        std::fprintf(stderr, "continue: the withdrawals were not stored\n");

    std::vector<double> continued;
    secondsToFirstTick(draw, draw::Entry::Continue); // warm-up
    for (int run = 0; run < 3; ++run)
        continued.push_back(secondsToFirstTick(draw, draw::Entry::Continue));
    std::sort(continued.begin(), continued.end());
    report(QStringLiteral("continue_1m_500_won_50_withdrawn"), continued[continued.size() / 2],
        QStringLiteral("s"));
}

// The board after a stop with 500 winners listed, at 1920 x 1080: the list
// rebuilt from the results table, fitted and set on the draw screen's board,
// as a stop does it; in one column and in columns. Beside it, the fitting
// of the 500 lines alone.
void benchBoardRebuild()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000);
    {
        QSqlQuery award(data::connection());
        award.prepare(QStringLiteral(
            "INSERT INTO 奖项表 (CID, 顺序, 名称, 奖品, 数量, 同时, 显示) VALUES (?, ?, ?, ?, ?, 10, 1)"));
        for (int a = 0; a < 5; ++a) {
            award.addBindValue(draw);
            award.addBindValue(a + 1);
            award.addBindValue(QStringLiteral("%1等奖").arg(5 - a));
            award.addBindValue(QStringLiteral("奖品%1").arg(a + 1));
            award.addBindValue(a == 4 ? 200 : 100);
            award.exec();
        }
    }
    // 500 winners drawn as the stage draws them, under the draw's record:
    // results typed into the table would be set back to it on entry.
    {
        draw::DrawSession session;
        session.start(draw);
        if (!session.lockHallNumbers(QStringLiteral("3 14 159")))
            std::fprintf(stderr, "board_rebuild_500: the hall's numbers were not stored\n");
        for (int round = 0; round < 50; ++round) {
            if (!session.beginRound() || session.StopAndRecord(true, false).recorded != 10)
                std::fprintf(stderr, "board_rebuild_500: a round was not stored\n");
        }
    }

    for (bool columns : { false, true }) {
        WriteViewOption(QStringLiteral("ResultColumns"), QStringLiteral("Columns"), columns);
        MF screen(draw, draw::Entry::Continue);
        screen.resize(1920, 1080);
        screen.show();
        QCoreApplication::processEvents();
        auto *list = screen.findChild<BoardList *>(QStringLiteral("LL_1"));
        const double seconds
            = medianSeconds(9, [&] { screen.showBoard(screen.session().WinnersText(true, false)); });
        if (list->text().count(QLatin1Char('\n')) != 505 || list->fit().placed.isEmpty())
            std::fprintf(stderr, "board_rebuild_500: the board does not list 505 lines\n");
        report(columns ? QStringLiteral("board_rebuild_500_columns") : QStringLiteral("board_rebuild_500"),
            seconds * 1e3, QStringLiteral("ms"));
        screen.close();
    }

    const draw::BoardText board = draw::WinnersText(draw, 0, true, false, 0, QString());
    draw::BoardFitRequest request;
    request.area = QSizeF(820, 520);
    request.lineHeight = 34;
    request.columns = true;
    request.columnGap = 30;
    request.lineWidth = [](qsizetype) { return 260.0; };
    const int fits = 1000;
    const double seconds = medianSeconds(5, [&] {
        for (int i = 0; i < fits; ++i)
            draw::FitBoard(board.lines, request);
    });
    report(QStringLiteral("board_fit_500"), seconds / fits * 1e6, QStringLiteral("us"));
}

} // namespace tombolix::bench
