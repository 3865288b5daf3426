#include "common/helpers.h"

#include "common/conventions.h"
#include "common/prompts.h"

namespace tombolix {

QString AskOpenFileName(QString &filter)
{
    if (filter.isEmpty())
        filter = ImportFilter;
    return prompts().openFileName(filter);
}

qint64 AskColour(qint64 start)
{
    const std::optional<QColor> chosen = prompts().colour(colorFromStored(start));
    if (!chosen)
        return -1;
    return storedFromColor(*chosen);
}

} // namespace tombolix
