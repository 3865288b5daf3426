#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

// What a real X server shows, as the X server itself reports it, and the
// input a person would give it: for the tests that run on the xcb platform
// under Xvfb.
namespace tombolix::test {

// The whole screen, taken with xwd from the X server named by DISPLAY; a null
// image when that fails.
QImage grabXScreen();
// An image in the X Window Dump format (ZPixmap, 24 or 32 bits a pixel).
QImage readXwd(const QByteArray &bytes);

// Pixels within `tolerance` of `ink` on every channel, inside `area`.
int inkPixels(const QImage &image, const QRect &area, const QColor &ink, int tolerance = 40);
// The smallest rectangle holding every such pixel; null when there is none.
QRect inkBounds(const QImage &image, const QRect &area, const QColor &ink, int tolerance = 40);

// Runs xdotool with these arguments and returns what it printed, trimmed;
// false in `ok` when it failed or took longer than the timeout.
QString xdotool(const QStringList &arguments, bool *ok = nullptr, int timeoutMs = 20000);
// Waits until a window whose name matches the pattern is mapped; its id, or
// an empty text after the timeout.
QString waitForXWindow(const QString &namePattern, int timeoutMs = 20000);

// Saves a picture of the X screen into TOMBOLIX_SHOTS, when it names a folder.
void saveXShot(const QImage &image, const QString &name);

} // namespace tombolix::test
