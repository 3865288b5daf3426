#pragma once

#include <QString>

// The draw chosen for the screen, shared by the chooser, the console and the
// draw screen.
namespace tombolix::draw {

// The chooser's result: the chosen ID list item, or "" when cancelled.
extern QString ChosenDraw;
// The ID list item of the draw being entered; its leading number is the ID.
extern QString CurrentDraw;

} // namespace tombolix::draw
