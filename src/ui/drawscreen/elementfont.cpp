#include "drawscreen/elementfont.h"

#include "common/prompts.h"

namespace tombolix {

bool ChooseElementFont(appearance::FontSpec &spec)
{
    FontChoice start { spec.font, spec.colour };
    if (start.font.family().isEmpty())
        start.font.setFamily(QStringLiteral("宋体"));
    const std::optional<FontChoice> chosen = prompts().font(start);
    if (!chosen)
        return false;
    spec.font = chosen->font;
    spec.colour = chosen->colour;
    return true;
}

} // namespace tombolix
