#pragma once

class QWidget;

namespace tombolix {

class MF;

// The console's start button: lets the operator choose a draw, checks it,
// continues it where it stopped or, when the operator asks, clears its
// earlier results, opens the draw screen on the console's screen and hides
// the console until the draw screen closes; on the screen chosen for the
// draw (a projector), when it is another, with the console left in view.
// Returns the draw screen, or nullptr when nothing was started.
MF *EnterDraw(QWidget *console);

// Whether the draw's screen is open now: its seed is still in use.
bool DrawScreenOpenFor(long long drawId);

} // namespace tombolix
