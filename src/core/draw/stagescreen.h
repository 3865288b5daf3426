#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <utility>

// Which screen the draw screen is held on. On a stage the laptop drives a
// projector as a second screen: the audience sees the draw there while the
// operator keeps the console, and every question it asks, on the laptop.
// Screens are known by their platform names, so this works without windows.
namespace tombolix::draw {

struct StageScreenChoice
{
    // The screen the draw screen fills.
    QString screen;
    // True when that is not the console's screen: the console stays in
    // view on its own screen instead of hiding behind the draw screen.
    bool consoleStaysVisible = false;
};

// The stored screen when it is plugged in now; otherwise, and when nothing
// is stored, the console's screen, as with a single screen.
StageScreenChoice ChooseStageScreen(
    const QStringList &screens, const QString &consoleScreen, const QString &stored);

// The screen the operator chose for the draw screen, empty when none.
QString StoredStageScreen();
void StoreStageScreen(const QString &name);

// A screen as the menu lists it: "HDMI-1 (1920×1080)".
QString StageScreenLabel(const QString &name, const QSize &size);

// How each screen is known: its name, or, where two screens share a name
// (X servers call each "screen"), the name and the place of its top left
// corner, "screen@1920,0". The menu labels such a screen with its place too:
// "screen (1920×1080，位于 1920,0)".
QStringList StageScreenKeys(const QList<std::pair<QString, QRect>> &screens);
QString StageScreenLabel(const QString &name, const QRect &geometry, bool withPlace);

} // namespace tombolix::draw
