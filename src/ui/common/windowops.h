#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

// Placing dialogs and waiting for a non-modal window to close.
namespace tombolix {

// Centres the window on the available area of its screen (the screen less its
// task bars).
void CentreOnWorkArea(QWidget *form);

// Shows a hidden window again with the geometry saveGeometry() gave. A
// window manager places a window being mapped by its own rules (openbox puts
// it in the top-left corner) and Qt then still believes the old place; for a
// moment after showing, a window found elsewhere is moved back.
void ShowWithGeometry(QWidget *window, const QByteArray &geometry);
// Keeps the window above the others, the draw screen included.
void MakeTopmost(QWidget *form);
// A window in the audience's view (the draw screen on a projector) has its
// dialogs and questions shown over the host instead, on the operator's
// screen. A null host, or the host's end, puts them back over the window.
void SetDialogHost(QWidget *window, QWidget *host);
// The window the dialogs of `window` open over: its host when it has one,
// otherwise the window itself.
QWidget *DialogHostOf(QWidget *window);
// Serves events until the window is closed (or hidden, or gone); returns at
// once when it is not shown, and when the program is quitting. Other windows
// stay responsive meanwhile.
void WaitUntilClosed(QWidget *form);

} // namespace tombolix
