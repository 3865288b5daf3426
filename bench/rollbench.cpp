// The roll as the audience sees it: a draw of a million entrants rolling
// every 10 ms on an offscreen draw screen the size of a projector.
#include "benchutil.h"
#include "data/database.h"
#include "drawscreen/mf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace tombolix::bench {

namespace {

constexpr int RollMs = 10;
constexpr int RollingMs = 5000;

// Serves events for the rolling time while `timer` runs, noting the moment
// of each of its ticks (after the tick's own work, so that the intervals
// carry the ticks' costs as they vary), and returns the 95th percentile of
// how far the intervals between two ticks stray from the interval asked for.
double intervalJitter(QTimer *timer, const char *name)
{
    std::vector<qint64> times;
    times.reserve(2 * RollingMs / RollMs);
    QElapsedTimer clock;
    const QMetaObject::Connection noted
        = QObject::connect(timer, &QTimer::timeout, timer, [&] { times.push_back(clock.nsecsElapsed()); });
    clock.start();
    timer->start();
    QEventLoop loop;
    QTimer::singleShot(RollingMs, &loop, &QEventLoop::quit);
    loop.exec();
    timer->stop();
    QObject::disconnect(noted);

    std::vector<double> deviations;
    for (size_t i = 1; i < times.size(); ++i)
        deviations.push_back(std::abs(double(times[i] - times[i - 1]) / 1e6 - RollMs));
    if (deviations.size() < size_t(RollingMs / RollMs / 2)) {
        std::fprintf(stderr, "%s: only %zu ticks in %d ms\n", name, times.size(), RollingMs);
        if (deviations.empty())
            return 0;
    }
    std::sort(deviations.begin(), deviations.end());
    const size_t at = size_t(std::ceil(0.95 * double(deviations.size()))) - 1;
    return deviations[std::min(at, deviations.size() - 1)];
}

} // namespace

// roll_jitter_10ms: the roll of a draw of a million entrants at 速度 10 on a
// 1920 x 1080 draw screen, 5 s: the 95th percentile of how far each interval
// between two ticks strays from 10 ms. roll_jitter_10ms_bare_timer: the same
// for a precise 10 ms timer that does nothing, in the same process just
// before, which is what the machine itself allows. roll_tick_1m: one tick's
// own work (the pick from the million, the number's lines and the request to
// repaint its area), its paint excluded.
void benchRollJitter()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000000);
    must(bool(data::ExecuteSql(QStringLiteral("INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示) "
                                              "VALUES (?, 1, '一等奖', 100, 5, 1)"),
        { draw })));
    must(bool(data::ExecuteSql(
        QStringLiteral("UPDATE 奖次表 SET 速度=? WHERE ID=?"), { QString::number(RollMs), draw })));

    MF screen(draw);
    screen.resize(1920, 1080);
    screen.show();
    QCoreApplication::processEvents();
    auto *scr = screen.findChild<QTimer *>(QStringLiteral("Scr"));
    if (!scr || scr->interval() != RollMs || scr->timerType() != Qt::PreciseTimer) {
        std::fprintf(stderr, "roll_jitter_10ms: the rolling timer is not a precise %d ms timer\n", RollMs);
        return;
    }

    const int ticks = 2000;
    const double tickSeconds = medianSeconds(5, [&] {
        for (int i = 0; i < ticks; ++i)
            screen.RollTick();
        QCoreApplication::processEvents(); // the one paint the ticks asked for
    });

    QTimer bare;
    bare.setTimerType(Qt::PreciseTimer);
    bare.setInterval(RollMs);
    const double bareJitter = intervalJitter(&bare, "roll_jitter_10ms_bare_timer");

    // The roll as a click starts it; its ticks run on the screen's own timer.
    screen.ToggleRoll();
    scr->stop();
    const double rollJitter = intervalJitter(scr, "roll_jitter_10ms");
    screen.ToggleRoll();

    report(QStringLiteral("roll_jitter_10ms"), rollJitter, QStringLiteral("ms"), 3);
    report(QStringLiteral("roll_jitter_10ms_bare_timer"), bareJitter, QStringLiteral("ms"), 3);
    report(QStringLiteral("roll_tick_1m"), tickSeconds / ticks * 1e6, QStringLiteral("us"));
    screen.close();
}

} // namespace tombolix::bench
