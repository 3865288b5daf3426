// Figures of the draw screen: the pool, a tick, a repaint and a stop.
#include "benchutil.h"
#include "data/database.h"
#include "draw/drawsession.h"
#include "drawscreen/mf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace tombolix::bench {

void benchPoolLoad()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000000);
    data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET 定长='8', 屏蔽='000**' WHERE ID=?"), { draw });
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
    pool.reserve(1000000);
    for (int i = 1; i <= 1000000; ++i)
        pool.append(i, QString::number(i), QString());
    draw::RandomSource random(1);
    for (qsizetype index : pool.pick(900000, random))
        pool.makeIneligible(index);
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
    data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET 速度='1' WHERE ID=?"), { draw });
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
    const qint64 award = query.lastInsertId().toLongLong();
    {
        data::Transaction transaction;
        for (int i = 0; i < 500; ++i)
            query.exec(
                QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES (%1, %2, '%3', '员工')")
                    .arg(draw)
                    .arg(award)
                    .arg(100000 + i));
        transaction.commit();
    }
    draw::DrawSession session;
    session.start(draw);
    const double seconds = medianSeconds(9, [&] {
        session.beginRound();
        session.RollTick();
        session.StopAndRecord(true, false);
        // Keep the board at about 500 winners.
        QSqlQuery trim(data::connection());
        trim.exec(QStringLiteral(
            "DELETE FROM 结果表 WHERE ID IN (SELECT ID FROM 结果表 ORDER BY ID DESC LIMIT 10)"));
    });
    report(QStringLiteral("stop_record_10"), seconds * 1e3, QStringLiteral("ms"));
}

} // namespace tombolix::bench
