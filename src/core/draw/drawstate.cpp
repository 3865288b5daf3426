#include "draw/drawstate.h"

namespace tombolix::draw {

QString ChosenDraw;
QString CurrentDraw;

} // namespace tombolix::draw
