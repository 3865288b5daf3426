#include "draw/enterdraw.h"

#include "common/conventions.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "console/getproject.h"
#include "data/database.h"
#include "draw/drawstate.h"
#include "draw/mf.h"

#include <QPointer>
#include <QScreen>

namespace tombolix {

MF *EnterDraw(QWidget *console)
{
    auto *chooser = new GetProject(console);
    chooser->show();
    WaitWhileFormOpen(GetProject::caption());
    if (draw::ChosenDraw.isEmpty())
        return nullptr;

    draw::CurrentDraw = draw::ChosenDraw;
    const qint64 drawId = integerValue(draw::CurrentDraw);

    // Winners wanted and entrants available, over the whole database.
    const qint64 total = roundHalfEven(data::SumColumn(QStringLiteral("奖项表"), QStringLiteral("数量"), QStringLiteral("TRUE")));
    const qint64 entrants = data::CountRows(QStringLiteral("号码表"), QStringLiteral("TRUE"), QStringLiteral("*"));
    if (entrants < total && !prompts().askYesNo(QStringLiteral("获奖人数多于参与抽奖人数，是否继续抽奖？")))
        return nullptr;

    // Entering a draw starts it afresh; results already drawn are not wiped
    // without asking.
    const qint64 earlier = data::CountRows(QStringLiteral("结果表"), QStringLiteral("CID=") + QString::number(drawId),
                                           QStringLiteral("ID"));
    if (earlier > 0
        && !prompts().askYesNo(QStringLiteral("该抽奖已有") + QString::number(earlier)
                               + QStringLiteral("条抽奖结果，重新开始抽奖将删除这些结果，是否继续？")))
        return nullptr;
    data::ExecuteSql(QStringLiteral("DELETE FROM 结果表 WHERE CID=?"), {drawId});

    auto *screen = new MF(drawId);
    QPointer<QWidget> guard(console);
    QObject::connect(screen, &MF::closed, screen, [guard] {
        if (guard)
            guard->show();
    });
    if (console && console->screen())
        screen->setGeometry(console->screen()->geometry());
    screen->setWindowFlag(Qt::FramelessWindowHint);
    screen->showFullScreen();
    screen->activateWindow();
    screen->setFocus();
    if (console)
        console->hide();
    return screen;
}

} // namespace tombolix
