#include "drawscreen/largeglyphs.h"

#include <QByteArray>
#include <QtGlobal>

namespace tombolix {

void AllowLargeCachedGlyphs()
{
    // The built-in number is 180 pixels high on a 4K screen.
    if (!qEnvironmentVariableIsSet("QT_MAX_CACHED_GLYPH_SIZE"))
        qputenv("QT_MAX_CACHED_GLYPH_SIZE", QByteArrayLiteral("256"));
}

} // namespace tombolix
