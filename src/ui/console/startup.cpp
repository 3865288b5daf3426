#include "console/startup.h"

#include "console/fset.h"
#include "data/backup.h"

namespace tombolix {

std::unique_ptr<FSet> StartConsole(const QDateTime &now)
{
    if (!data::BackUpDaily(now))
        return nullptr;
    return std::make_unique<FSet>();
}

} // namespace tombolix
