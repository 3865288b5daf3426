#include "appearance/stagelayout.h"
#include "appearance/stagenumber.h"
#include "appearance/stagescale.h"
#include "common/conventions.h"
#include "common/notary.h"
#include "common/prompts.h"
#include "common/qrcode.h"
#include "common/settingsstore.h"
#include "data/drawstore.h"
#include "draw/awardbanner.h"
#include "draw/certificate.h"
#include "draw/displayrules.h"
#include "draw/rollcontrol.h"
#include "draw/stagepace.h"
#include "drawscreen/bannerlabel.h"
#include "drawscreen/boardlist.h"
#include "drawscreen/brdset.h"
#include "drawscreen/controlsfader.h"
#include "drawscreen/delaward.h"
#include "drawscreen/elementfont.h"
#include "drawscreen/frmset.h"
#include "drawscreen/hallnumbers.h"
#include "drawscreen/mf.h"
#include "drawscreen/picture.h"
#include "drawscreen/slidetext.h"
#include "drawscreen/stagefont.h"
#include "drawscreen/stageparts.h"
#include "drawscreen/stagesoundplayer.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVariantAnimation>
#include <cmath>

namespace tombolix {

using appearance::FontSpec;
using appearance::FrameLayout;
using namespace stage;

namespace {

// The banner's text in lines no wider than `room`, broken where its parts
// meet (" · "), so a name or a prize is not split while the whole fits in
// lines; a part wider than the room alone is left to the label's wrapping.
QString bannerLines(const QString &text, const QFontMetrics &metrics, int room)
{
    const QString separator = QStringLiteral(" · ");
    QStringList lines;
    for (const QString &part : text.split(separator)) {
        if (!lines.isEmpty() && metrics.horizontalAdvance(lines.back() + separator + part) <= room)
            lines.back() += separator + part;
        else
            lines << part;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void MF::setUpBanner()
{
    m_bannerFont = { pixelFont(font(), int(BannerPixels), true), storedFromColor(BannerColour) };
    m_bannerFontStored = appearance::ApplyFontRecord(
        data::DrawStore().extraSetting(m_session.drawId(), QStringLiteral("L3")), m_bannerFont);
    applyBannerFont();
    refreshAwardBanner();
}

void MF::applyBannerFont()
{
    QPalette palette = m_banner->palette();
    palette.setColor(QPalette::WindowText, colorFromStored(m_bannerFont.colour));
    m_banner->setPalette(palette);
    m_banner->setFont(m_bannerFont.font);
}

bool MF::chooseBannerFont()
{
    FontSpec spec = m_bannerFont;
    if (!ChooseElementFont(spec))
        return false;
    m_bannerFont = spec;
    m_bannerFontStored = true;
    applyBannerFont();
    if (!data::DrawStore().setExtraSetting(
            m_session.drawId(), QStringLiteral("L3"), appearance::FontRecord(spec)))
        tellNotStored();
    placeBanner();
    return true;
}

void MF::refreshAwardBanner()
{
    m_banner->setText(draw::AwardBannerText(m_session));
    placeBanner();
    placeNotaryCode();
}

void MF::showNotice(const QString &text)
{
    if (text.isEmpty())
        return;
    m_notice->setText(text);
    placeNotice();
    m_notice->show();
    m_notice->raise();
    m_noticeTimer->start();
}

void MF::placeNotice()
{
    QFont font = this->font();
    font.setPixelSize(std::max(14, height() / 36));
    m_notice->setFont(font);
    const int width = std::min(m_notice->sizeHint().width(), this->width() * 3 / 4);
    const int height = m_notice->heightForWidth(width);
    m_notice->setGeometry(
        (this->width() - width) / 2, this->height() - height - this->height() / 9, width, height);
}

QRect MF::slideArea() const
{
    // Over the number frame, at least a good part of the screen, between
    // the screen's left edge and the board's own column, never off the screen.
    constexpr int Margin = 8;
    const QRect frame = toPixels(m_frame.rect());
    int right = width() - Margin;
    for (const QWidget *board :
        { static_cast<const QWidget *>(m_title), static_cast<const QWidget *>(m_list) }) {
        const QRect place = board == m_list ? m_listPlace : board->geometry();
        if (board->isVisibleTo(this) && !place.isEmpty() && place.left() > frame.center().x())
            right = std::min(right, place.left() - Margin);
    }
    right = std::max(right, frame.right());
    const QSize least(width() * 11 / 20, height() * 7 / 20);
    QRect area(
        QPoint(0, 0), frame.size().expandedTo(least).boundedTo(QSize(right - Margin, height() - 2 * Margin)));
    area.moveCenter(frame.center());
    area.moveLeft(std::clamp(area.left(), Margin, std::max(Margin, right - area.width())));
    area.moveTop(std::clamp(area.top(), Margin, std::max(Margin, height() - area.height() - Margin)));
    // Below the banner, which may take two lines for an award only some may
    // win: the hall reads both.
    if (m_banner && m_banner->isVisibleTo(this)) {
        const QRect banner = m_banner->geometry();
        if (banner.intersects(area) && banner.bottom() + Margin < height() - Margin) {
            const int top = banner.bottom() + Margin;
            area.setHeight(std::min(area.height(), height() - Margin - top));
            area.moveTop(std::max(area.top(), top));
        }
    }
    return area;
}

void MF::placeNotaryCode()
{
    // Neither covers a round rolling or landing in the frame.
    const bool idle = !isRolling() && !isLanding();
    const bool code = idle && m_session.codeOnShow();
    const bool card = idle && !code && m_control->cardShown();
    m_notary->setVisible(code);
    m_commitmentQr->setVisible(code);
    m_card->setVisible(card);
    const QRect area = code || card ? slideArea() : QRect();
    if (m_slide->isVisibleTo(this) != (code || card) || (!area.isNull() && m_slide->geometry() != area)) {
        m_slide->setVisible(code || card);
        if (!area.isNull())
            m_slide->setGeometry(area);
        fitBoardList(); // the board's columns keep clear of it
    }
    if (area.isNull())
        return;
    m_slide->raise();
    const int pad = std::max(8, area.height() / 14);
    if (card) {
        placeAwardCard(area.size(), pad);
        return;
    }
    const draw::Commitment &commitment = *m_session.commitment();
    // The commitment in full as a QR code at the left, for a phone at the
    // front of the hall; the code in words beside it.
    const int side = std::max(96, std::min(area.height() - 2 * pad, area.width() / 3));
    const QString made = commitment.entryHash + QLatin1Char('@') + QString::number(side);
    if (m_commitmentQr->property("made").toString() != made) {
        if (const std::optional<QrCode> qr
            = MakeQrCode(notary::CommitmentQrText(commitment.entryHash).toUtf8()))
            m_commitmentQr->setPixmap(QPixmap::fromImage(QrImage(*qr, side)));
        m_commitmentQr->setProperty("made", made);
    }
    const QSize qr = m_commitmentQr->pixmap().size();
    m_commitmentQr->setGeometry(QRect(QPoint(pad, (area.height() - qr.height()) / 2), qr));
    placeNotaryText(area.size(), pad, pad + qr.width() + pad);
}

// The code in words, right of its QR code: its two halves as large as they
// fit, what it is, and the commitment's number, reason and hall numbers.
void MF::placeNotaryText(const QSize &area, int pad, int textLeft)
{
    const draw::Commitment &commitment = *m_session.commitment();
    const int textWidth = std::max(50, area.width() - textLeft - pad);
    const QString codeLine = QStringLiteral("公证码 ") + m_session.notaryCode();
    QFont font = this->font();
    font.setBold(true);
    // Half the code to a line, as large as it fits, at most a sixth of the
    // slide's height.
    const QString grouped = m_session.notaryCode();
    const QString halves[] = { grouped.left(19), grouped.mid(20) };
    int pixels = std::max(12, (area.height() - 2 * pad) / 6);
    auto fits = [&] {
        const QFontMetrics metrics(font);
        return std::all_of(std::begin(halves), std::end(halves),
            [&](const QString &half) { return metrics.horizontalAdvance(half) <= textWidth; });
    };
    for (font.setPixelSize(pixels); pixels > 12 && !fits(); font.setPixelSize(pixels))
        --pixels;
    QFont small = font;
    small.setBold(false);
    small.setPixelSize(std::max(12, pixels * 2 / 5));
    const QFontMetrics smallMetrics(small);
    QStringList lines { codeLine, QString() };
    // What the code is, whole: on two lines where one is too narrow for it.
    const QString said = QStringLiteral("本次抽奖的中奖结果由此码承诺，抽奖结束后可凭它核对每一位中奖者");
    if (smallMetrics.horizontalAdvance(said) <= textWidth) {
        lines << said;
    } else {
        const qsizetype comma = said.indexOf(QStringLiteral("，")) + 1;
        for (const QString &part : { said.left(comma), said.mid(comma) })
            lines << smallMetrics.elidedText(part, Qt::ElideRight, textWidth);
    }
    if (commitment.number > 1) {
        // One line, however long the reason: the code stays whole above it.
        lines << smallMetrics.elidedText(
            QStringLiteral("第%1次承诺：%2").arg(commitment.number).arg(commitment.reason), Qt::ElideRight,
            textWidth);
    }
    if (commitment.hallGiven)
        lines << (commitment.hallNumbers.isEmpty()
                ? QStringLiteral("未使用现场随机数")
                : QStringLiteral("现场随机数 %1（已锁定）").arg(commitment.hallNumbers));
    m_notary->setFirstLineFont(font);
    m_notary->setFont(small);
    m_notary->setText(lines.join(QLatin1Char('\n')));
    m_notary->setGeometry(QRect(textLeft, pad, textWidth, area.height() - 2 * pad));
}

void MF::placeAwardCard(const QSize &area, int pad)
{
    const std::optional<draw::BannerAward> next = m_session.bannerAward();
    QStringList lines { QStringLiteral("下一个奖项") };
    if (next) {
        lines << next->name.trimmed();
        if (!next->forWhom.isEmpty())
            lines << next->forWhom;
        if (!next->prize.trimmed().isEmpty())
            lines << next->prize.trimmed();
        lines << QStringLiteral("共 %1 名").arg(next->remaining);
    }
    m_card->setText(lines.join(QLatin1Char('\n')));
    QFont font = this->font();
    font.setBold(true);
    int pixels = std::max(12, (area.height() - 2 * pad) / std::max<int>(4, int(lines.size()) + 1));
    for (font.setPixelSize(pixels); pixels > 12; font.setPixelSize(--pixels)) {
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const QString &line : std::as_const(lines))
            widest = std::max(widest, metrics.horizontalAdvance(line));
        // A card that names whom the award is for has a line more.
        if (widest <= area.width() - 2 * pad
            && metrics.lineSpacing() * lines.size() <= area.height() - 2 * pad)
            break;
    }
    m_card->setFont(font);
    m_card->setGeometry(QRect(QPoint(pad, pad), area - QSize(2 * pad, 2 * pad)));
}

void MF::placeBanner()
{
    if (!m_bannerFontStored) {
        // The built-in font is sized for the room: it grows with the screen.
        const int pixels
            = std::max(8, int(std::lround(BannerPixels * appearance::StageScaleFor(QSizeF(size())).y)));
        if (m_bannerFont.font.pixelSize() != pixels) {
            m_bannerFont.font.setPixelSize(pixels);
            applyBannerFont();
        }
    }
    const QString text = m_banner->text();
    m_banner->setShownLines(QString());
    m_banner->setVisible(m_showBanner && !text.isEmpty());
    if (!m_banner->isVisibleTo(this))
        return;
    const QFontMetrics metrics(m_banner->font());
    const int pad = metrics.height() / 2;
    const QSize natural(metrics.horizontalAdvance(text) + 2 * pad, metrics.height() + pad / 2);
    // Over the frame, and clear of the picture's top corners.
    const appearance::StageLayout layout = appearance::BuiltInStageLayout(QSizeF(size()));
    const QRect across(QPoint(int(std::lround(layout.stage.left())), 0),
        QPoint(width() - int(std::lround(layout.stage.left())) - 1, height() - 1));
    QRect place = draw::PlaceAwardBanner(size(), toPixels(m_frame.rect()), natural, across);
    if (place.width() < natural.width()) {
        const QString lines = bannerLines(text, metrics, place.width() - 2 * pad);
        m_banner->setShownLines(lines);
        const int lineCount = int(lines.count(QLatin1Char('\n'))) + 1;
        place.setHeight(std::max(
            { natural.height(), lineCount * metrics.height(), m_banner->heightForWidth(place.width()) }));
    }
    m_banner->setGeometry(place);
    m_banner->raise();
}

void MF::showRollState()
{
    QString text = QStringLiteral("开始抽奖");
    if (isRolling()) {
        // A timed round ends by itself; a click cannot stop it.
        text = m_session.settings().P_Timer >= 1 ? QStringLiteral("抽奖中…") : QStringLiteral("停止抽奖");
    }
    // The layout dialogs take the screen's presses for moving and sizing:
    // they cannot open while a round needs its stop.
    for (const char *name : { "M_FrmSet", "M_BRD" }) {
        if (QAction *action = m_menu ? m_menu->findChild<QAction *>(QString::fromLatin1(name)) : nullptr)
            action->setEnabled(!isRolling());
    }
    if (m_start->text() == text)
        return;
    // The label grows or shrinks to the left: it keeps its distance from 结束抽奖.
    const int right = m_start->x() + m_start->width();
    m_start->setText(text);
    m_start->adjustSize();
    m_start->move(right - m_start->width(), m_start->y());
    m_undo->move(m_start->x() - m_undo->width() - 12, m_undo->y());
}

void MF::setControlsIdleInterval(int ms)
{
    m_fader->setIdleInterval(ms);
}

} // namespace tombolix
