// The number on the stage: what one tick of a five-winner round with names
// costs to repaint on a 1920 x 1080 and a 3840 x 2160 screen. The figures
// name the platform they were painted on: large text takes another path on
// a real X server than off screen.
#include "benchutil.h"
#include "common/settingsstore.h"
#include "data/database.h"
#include "drawscreen/mf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace tombolix::bench {

namespace {

// A draw of 300 entrants whose award draws five at a time, numbers of four.
qint64 addFiveLineDraw(ScratchDatabase &db)
{
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 300);
    must(bool(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET 定长='4' WHERE ID=?"), { draw })));
    must(bool(data::ExecuteSql(
        QStringLiteral(
            "INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示) VALUES (?, 1, '一等奖', 100, 5, 1)"),
        { draw })));
    return draw;
}

void measureStageTicks(const QString &name, const QSize &size, bool autoFit)
{
    ScratchDatabase db;
    const qint64 draw = addFiveLineDraw(db);
    if (autoFit) // the frame grows to the lines, printed at the full size of 90 pixels
        must(bool(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET FRM=? WHERE ID=?"),
            { QStringLiteral("1575】【2700】【9703】【1371】【1】【3146288】【1"), draw })));
    WriteViewOption(QStringLiteral("NumberName"), QStringLiteral("Show"), true);
    MF screen(draw);
    screen.show();
    screen.resize(size);
    QCoreApplication::processEvents();
    screen.ToggleRoll();
    screen.RollTick();
    if (screen.numberCaption().count(QLatin1Char('\n')) != 4
        || screen.numberCaption().count(QLatin1Char(' ')) < 10)
        std::fprintf(stderr, "%s: the number does not show 5 lines with names\n", qPrintable(name));

    // Each tick shows fresh lines; its repaint covers the area it invalidates,
    // the lines before united with the lines now, as the screen asks for.
    QImage target(screen.canvas()->size(), QImage::Format_ARGB32_Premultiplied);
    const int ticks = 300;
    std::vector<double> paints, layouts;
    for (int run = 0; run < 6; ++run) {
        double paint = 0, layout = 0;
        QElapsedTimer clock;
        for (int t = 0; t < ticks; ++t) {
            const QRect before = screen.numberArea();
            clock.start();
            screen.RollTick();
            layout += clock.nsecsElapsed() / 1e6;
            const QRect area = before.united(screen.numberArea());
            clock.start();
            QPainter painter(&target);
            painter.setClipRect(area);
            screen.paintCanvas(painter, area);
            painter.end();
            paint += clock.nsecsElapsed() / 1e6;
        }
        if (run > 0) { // the first run warms the caches up
            paints.push_back(paint / ticks);
            layouts.push_back(layout / ticks);
        }
    }
    std::sort(paints.begin(), paints.end());
    std::sort(layouts.begin(), layouts.end());
    const QString platform = QStringLiteral(" (") + QGuiApplication::platformName() + QLatin1Char(')');
    report(QStringLiteral("paint_tick_") + name, paints[paints.size() / 2], QStringLiteral("ms") + platform);
    report(
        QStringLiteral("tick_lines_") + name, layouts[layouts.size() / 2], QStringLiteral("ms") + platform);
    screen.ToggleRoll();
    screen.close();
}

// Times every paint of the canvas it watches: the paint itself, run inside.
class PaintClock : public QObject
{
public:
    std::vector<double> paints;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        QElapsedTimer clock;
        clock.start();
        static_cast<QObject *>(watched)->event(event);
        paints.push_back(clock.nsecsElapsed() / 1e6);
        return true;
    }
};

} // namespace

// A stop of a five-winner round with names landing on its winners on a
// 1920 x 1080 screen: the slowest paint of the canvas from the stop to the
// end of the emphasis, over ten stops. Meant for the X server (on-x.sh).
void benchStopLanding()
{
    ScratchDatabase db;
    const qint64 draw = addFiveLineDraw(db);
    WriteViewOption(QStringLiteral("NumberName"), QStringLiteral("Show"), true);
    MF screen(draw);
    screen.setGeometry(QRect(QPoint(0, 0), QSize(1920, 1080)));
    screen.show();
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 500)
        QCoreApplication::processEvents();
    if (!screen.session().needsHallNumbers() || !screen.lockHallNumbers(QStringLiteral("3 14 159")))
        std::fprintf(stderr, "stop_landing: the hall's numbers were not taken\n");
    PaintClock clock;
    screen.canvas()->installEventFilter(&clock);
    std::vector<double> slowest;
    std::vector<double> landings;
    for (int stop = 0; stop < 10; ++stop) {
        screen.ToggleRoll();
        wait.start();
        while (wait.elapsed() < 200)
            QCoreApplication::processEvents();
        clock.paints.clear();
        QElapsedTimer landing;
        landing.start();
        screen.ToggleRoll();
        while (screen.isLanding())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        landings.push_back(landing.nsecsElapsed() / 1e6);
        wait.start();
        while (wait.elapsed() < 1600) // the emphasis, then the guard
            QCoreApplication::processEvents();
        if (clock.paints.size() < 8)
            std::fprintf(stderr, "stop_landing: only %zu paints\n", clock.paints.size());
        slowest.push_back(*std::max_element(clock.paints.begin(), clock.paints.end()));
        if (qEnvironmentVariableIsSet("LANDING_PAINTS")) {
            for (double p : clock.paints)
                std::fprintf(stderr, "%.2f ", p);
            std::fprintf(stderr, "\n");
        }
    }
    std::sort(slowest.begin(), slowest.end());
    std::sort(landings.begin(), landings.end());
    const QString platform = QStringLiteral(" (") + QGuiApplication::platformName() + QLatin1Char(')');
    report(QStringLiteral("stop_landing_1080p_5_lines_names"), slowest[slowest.size() / 2],
        QStringLiteral("ms slowest frame") + platform);
    report(QStringLiteral("stop_landing_1080p_5_lines_names_length"), landings[landings.size() / 2],
        QStringLiteral("ms") + platform);
    screen.close();
}

void benchStageNumber()
{
    measureStageTicks(QStringLiteral("1080p_5_lines_names"), QSize(1920, 1080), false);
    measureStageTicks(QStringLiteral("1080p_5_lines_names_autofit"), QSize(1920, 1080), true);
}

void benchStageNumber2160()
{
    measureStageTicks(QStringLiteral("2160p_5_lines_names"), QSize(3840, 2160), false);
}

} // namespace tombolix::bench
