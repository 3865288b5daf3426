// Figures of what the stage shows beside the draw: the award banner.
#include "benchutil.h"
#include "data/database.h"
#include "drawscreen/mf.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSqlQuery>
#include <cstdio>

namespace tombolix::bench {

// A tick's repaint where the frame stands at the very top, so the banner
// (with its shadow) lies in the repainted area, against the same screen with
// the banner hidden.
void benchBannerRepaint()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000);
    QSqlQuery award(data::connection());
    award.exec(QStringLiteral("INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示, 奖品) "
                              "VALUES (%1, 1, '一等奖', 30, 3, 1, 'iPhone 16 Pro')")
                   .arg(draw));
    MF screen(draw);
    screen.resize(1920, 1080);
    screen.show();
    QCoreApplication::processEvents();
    screen.frameLayout().Top = 0;
    screen.frameChanged();
    screen.ToggleRoll();
    screen.RollTick();
    auto *banner = screen.findChild<QLabel *>(QStringLiteral("awardBanner"));
    if (!banner || !banner->isVisible() || !banner->geometry().intersects(screen.numberArea())) {
        std::fprintf(stderr, "banner_repaint_1080p: the banner is not in the repainted area\n");
        return;
    }

    const int repaints = 100;
    auto measure = [&] {
        return medianSeconds(5, [&] {
            for (int i = 0; i < repaints; ++i)
                screen.canvas()->repaint(screen.numberArea());
        });
    };
    const double shown = measure();
    QAction *option = nullptr;
    for (QAction *action : screen.contextMenu()->actions()) {
        if (action->objectName() == QLatin1String("m_Banner"))
            option = action;
    }
    if (option)
        option->trigger();
    const double hidden = measure();
    if (option)
        option->trigger();

    // What a stop adds when the banner's text changes: the text and its
    // shadow rendered afresh.
    const int renders = 20;
    int count = 0;
    const double render = medianSeconds(5, [&] {
        for (int i = 0; i < renders; ++i) {
            banner->setText(QStringLiteral("一等奖 · iPhone 16 Pro · 剩余 %1 名").arg(++count));
            banner->repaint();
        }
    });
    report(QStringLiteral("banner_repaint_1080p"), shown / repaints * 1e3, QStringLiteral("ms"));
    report(QStringLiteral("banner_repaint_1080p_hidden"), hidden / repaints * 1e3, QStringLiteral("ms"));
    report(QStringLiteral("banner_render_1080p"), render / renders * 1e3, QStringLiteral("ms"));
    screen.close();
}

} // namespace tombolix::bench
