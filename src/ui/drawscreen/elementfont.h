#pragma once

#include "appearance/fontspec.h"

namespace tombolix {

// The font dialog for a draw-screen element, with strikeout, underline and
// colour; the choice is applied. False, with nothing changed, when cancelled.
bool ChooseElementFont(appearance::FontSpec &spec);

} // namespace tombolix
