#pragma once

namespace tombolix {

// Qt 6.4 paints nothing of a glyph larger than 64 pixels once its glyph
// cache is allowed to hold glyphs that large (QT_MAX_CACHED_GLYPH_SIZE): the
// number, the banner and, on large screens, the board would vanish from the
// stage. A raised limit in the environment is taken away before the first
// text is painted; large glyphs are then filled from their outlines, which
// the stage affords.
void KeepLargeTextPainted();

} // namespace tombolix
