#include "draw/stagescreen.h"

#include "common/settingsstore.h"

namespace tombolix::draw {

namespace {
const QString Section = QStringLiteral("DrawScreen");
const QString Key = QStringLiteral("Name");
} // namespace

StageScreenChoice ChooseStageScreen(
    const QStringList &screens, const QString &consoleScreen, const QString &stored)
{
    // An unplugged projector is no reason to refuse the draw: it is held on
    // the laptop, as if nothing had been chosen.
    if (stored.isEmpty() || stored == consoleScreen || !screens.contains(stored))
        return { consoleScreen, false };
    return { stored, true };
}

QString StoredStageScreen()
{
    return ReadRegValue(AppName, Section, Key, QString());
}

void StoreStageScreen(const QString &name)
{
    WriteRegValue(AppName, Section, Key, name);
}

QString StageScreenLabel(const QString &name, const QSize &size)
{
    return QStringLiteral("%1 (%2×%3)").arg(name).arg(size.width()).arg(size.height());
}

} // namespace tombolix::draw
