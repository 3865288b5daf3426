#pragma once

#include <QRect>
#include <QSize>
#include <QString>

// The banner that tells the room which award is being drawn.
namespace tombolix::draw {

class DrawSession;

// "一等奖（仅限员工） · iPhone 16 Pro · 剩余 1 名": the award's name, who may
// win it when not everyone may, its prize when it has one, and how many
// winners it still draws, "已抽完" when none.
QString AwardBannerText(
    const QString &name, const QString &prize, qint64 remaining, const QString &forWhom = QString());
// The session's banner. After a stop it names the award whose winners are on
// show, complete or not, until the next round starts or results are
// withdrawn; then the current award. "抽奖结束" once the draw is finished
// with no winners on show, naming the awards left unfilled; empty while no award is current (a draw without
// awards before its first stop).
QString AwardBannerText(const DrawSession &session);

// Where the banner goes on a screen of `screen` pixels whose number frame
// covers `frame`: centred over the frame in the band above it and near the
// top, never lower than the top fifth, so the board below stays clear; at
// the top when the band is too low for it. It keeps within the columns
// `across` spans (the screen less its margins when empty), moving aside
// rather than out of them; a text wider than those is given their width.
QRect PlaceAwardBanner(
    const QSize &screen, const QRect &frame, const QSize &banner, const QRect &across = QRect());

} // namespace tombolix::draw
