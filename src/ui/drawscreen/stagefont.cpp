#include "drawscreen/stagefont.h"

#include <QFontDatabase>

namespace tombolix {

QStringList BoldChineseFamilies()
{
    // Noto Sans CJK on Linux (fonts-noto-cjk), Microsoft YaHei on every
    // Windows since Vista (msyhbd.ttc), then the same designs under their
    // other names.
    return { QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
        QStringLiteral("Source Han Sans CN"), QStringLiteral("Microsoft YaHei"), QStringLiteral("微软雅黑"),
        QStringLiteral("PingFang SC") };
}

QFont StageFont(const QFont &base)
{
    const QStringList families = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString &family : BoldChineseFamilies()) {
        if (!families.contains(family))
            continue;
        if (!QFontDatabase::styles(family).contains(QStringLiteral("Bold")))
            continue;
        QFont font = base;
        font.setFamilies({ family });
        return font;
    }
    return base;
}

} // namespace tombolix
