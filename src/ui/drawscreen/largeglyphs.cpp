#include "drawscreen/largeglyphs.h"

#include <QtGlobal>

namespace tombolix {

namespace {

// Qt's own limit, up to which cached glyphs are drawn.
constexpr int SafeCachedGlyphSize = 64;

} // namespace

void KeepLargeTextPainted()
{
    bool ok = false;
    const int limit = qEnvironmentVariableIntValue("QT_MAX_CACHED_GLYPH_SIZE", &ok);
    if (qEnvironmentVariableIsSet("QT_MAX_CACHED_GLYPH_SIZE") && (!ok || limit > SafeCachedGlyphSize))
        qunsetenv("QT_MAX_CACHED_GLYPH_SIZE");
}

} // namespace tombolix
