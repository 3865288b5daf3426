#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

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

} // namespace tombolix::draw
