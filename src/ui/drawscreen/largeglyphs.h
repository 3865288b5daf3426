#pragma once

namespace tombolix {

// The draw screen prints its number far larger than the 64 pixels up to which
// Qt keeps rendered glyphs; beyond that every glyph is filled from its outline
// at every repaint, several times the cost of a whole tick. Qt reads the
// limit once, at the first text it paints, so this comes before anything is
// shown. A limit set in the environment stays as set.
void AllowLargeCachedGlyphs();

} // namespace tombolix
