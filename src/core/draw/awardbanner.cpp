#include "draw/awardbanner.h"

#include "draw/drawsession.h"

#include <QStringList>
#include <algorithm>

namespace tombolix::draw {

QString AwardBannerText(const QString &name, const QString &prize, qint64 remaining, const QString &forWhom)
{
    QStringList parts;
    QString title = name.trimmed();
    if (!forWhom.isEmpty())
        title += QStringLiteral("（%1）").arg(forWhom);
    for (const QString &part : { title, prize.trimmed() }) {
        if (!part.isEmpty())
            parts << part;
    }
    parts << (remaining > 0 ? QStringLiteral("剩余 %1 名").arg(remaining) : QStringLiteral("已抽完"));
    return parts.join(QStringLiteral(" · "));
}

QString AwardBannerText(const DrawSession &session)
{
    if (const std::optional<BannerAward> award = session.bannerAward())
        return AwardBannerText(award->name, award->prize, award->remaining, award->forWhom);
    if (!session.DrawFinished())
        return QString();
    const QStringList unfilled = session.shortAwards();
    return unfilled.isEmpty() ? QStringLiteral("抽奖结束")
                              : QStringLiteral("抽奖结束 · 未抽满：") + unfilled.join(QStringLiteral("、"));
}

QRect PlaceAwardBanner(const QSize &screen, const QRect &frame, const QSize &banner, const QRect &across)
{
    const int margin = std::max(4, screen.height() / 48);
    int from = margin;
    int to = screen.width() - margin;
    if (!across.isEmpty()) {
        from = std::max(from, across.left());
        to = std::min(to, across.left() + across.width());
    }
    const int width = std::max(0, std::min(banner.width(), to - from));
    const int height = banner.height();
    const int centre = frame.isEmpty() ? screen.width() / 2 : frame.left() + frame.width() / 2;
    const int left = std::clamp(centre - width / 2, from, std::max(from, to - width));
    // Above a low frame the band reaches into the middle of the screen, where
    // the board may stand; the banner keeps to the top of it.
    const int band = std::min(frame.top(), std::max(height + 2 * margin, screen.height() / 5));
    if (band < height + 2 * margin)
        return QRect(left, margin, width, height);
    return QRect(left, (band - height) / 2, width, height);
}

} // namespace tombolix::draw
