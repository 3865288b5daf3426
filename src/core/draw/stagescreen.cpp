#include "draw/stagescreen.h"

#include "common/settingsstore.h"

#include <algorithm>

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

QStringList StageScreenKeys(const QList<std::pair<QString, QRect>> &screens)
{
    QStringList keys;
    for (const auto &[name, geometry] : screens) {
        const bool shared = std::count_if(screens.cbegin(), screens.cend(),
                                [&name = name](const auto &other) { return other.first == name; })
            > 1;
        keys << (shared ? QStringLiteral("%1@%2,%3").arg(name).arg(geometry.x()).arg(geometry.y()) : name);
    }
    return keys;
}

QString StageScreenLabel(const QString &name, const QRect &geometry, bool withPlace)
{
    if (!withPlace)
        return StageScreenLabel(name, geometry.size());
    return QStringLiteral("%1 (%2×%3，位于 %4,%5)")
        .arg(name)
        .arg(geometry.width())
        .arg(geometry.height())
        .arg(geometry.x())
        .arg(geometry.y());
}

} // namespace tombolix::draw
