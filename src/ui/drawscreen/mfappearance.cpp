#include "appearance/stagelayout.h"
#include "appearance/stagenumber.h"
#include "appearance/stagescale.h"
#include "common/backupquestion.h"
#include "common/conventions.h"
#include "common/notary.h"
#include "common/prompts.h"
#include "common/qrcode.h"
#include "common/settingsstore.h"
#include "data/drawstore.h"
#include "data/resultstore.h"
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

using appearance::FrameLayout;
using namespace stage;

using appearance::FontSpec;

ClickLabel *MF::labelOf(Element element) const
{
    switch (element) {
    case Element::Title:
        return m_title;
    case Element::List:
        return m_list;
    case Element::Number:
        break;
    }
    return m_number;
}

namespace {

QString fontColumnOf(MF::Element element)
{
    switch (element) {
    case MF::Element::Title:
        return appearance::TitleFontColumn;
    case MF::Element::List:
        return appearance::ListFontColumn;
    case MF::Element::Number:
        break;
    }
    return appearance::NumberFontColumn;
}

} // namespace

FontSpec MF::elementFont(Element element) const
{
    return m_fonts[int(element)];
}

void MF::applyElementFont(Element element)
{
    const FontSpec &spec = m_fonts[int(element)];
    ClickLabel *label = labelOf(element);
    label->setFont(spec.font);
    const QColor colour = colorFromStored(spec.colour);
    if (element == Element::Number) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    } else {
        // The style sheet would override a font set on the label; state both.
        label->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
        label->setFont(spec.font);
    }
    if (element == Element::Title)
        m_list->setHeadingColour(colour); // the awards' headings in the title's colour
}

void MF::applyFonts()
{
    for (Element element : { Element::Title, Element::List, Element::Number }) {
        m_fontStored[int(element)] = appearance::ApplyStoredElementFont(
            m_session.drawId(), fontColumnOf(element), m_fonts[int(element)]);
        applyElementFont(element);
    }
    // The board is placed with the title at the size of its text and font.
    m_title->adjustSize();
    placeBoard();
    fitNumberLabel();
    m_canvas->update();
}

bool MF::chooseFont(Element element)
{
    FontSpec spec = m_fonts[int(element)];
    if (!ChooseElementFont(spec))
        return false;
    m_fonts[int(element)] = spec;
    m_fontStored[int(element)] = true;
    applyElementFont(element);
    if (!appearance::SaveElementFont(m_session.drawId(), fontColumnOf(element), spec))
        tellNotStored();
    // The board stays where it is, also where the operator has just typed a
    // place in the board dialog; the next activation places it afresh.
    fitNumberLabel();
    m_canvas->update();
    return true;
}

void MF::buildMenu()
{
    m_menu = new QMenu(QStringLiteral("设置"), this);
    m_menu->setObjectName(QStringLiteral("m_Set"));
    auto add = [this](const char *name, const QString &text, auto &&handler) {
        QAction *action = m_menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QAction *oneAward = add("m_OneAward", QStringLiteral("只显示当前奖项名单"), [this](bool on) {
        m_oneAward = on;
        m_control->setBoardOrder(!m_reverseOrder, m_oneAward);
        WriteViewOption(QStringLiteral("ResultOneAward"), QStringLiteral("OneAward"), on);
    });
    add("M_TFont", QStringLiteral("公告标题字体"), [this] { chooseFont(Element::Title); });
    add("M_ConFont", QStringLiteral("公告内容字体"), [this] { chooseFont(Element::List); });
    add("M_CFont", QStringLiteral("抽奖号码字体"), [this] { chooseFont(Element::Number); });
    add("M_AFont", QStringLiteral("当前奖项字体"), [this] { chooseBannerFont(); });
    add("M_FrmSet", QStringLiteral("抽奖框设置"), [this] { showOnce<FRMSet>(m_frmSet); });
    add("M_BRD", QStringLiteral("公告板设置"), [this] { showOnce<BRDSet>(m_brdSet); });
    add("M_Refresh", QStringLiteral("屏幕刷新"), [this] {
        m_canvas->update();
        update();
    });
    QAction *hide = add("M_HideList", QStringLiteral("隐藏公告"), [this](bool on) {
        m_hideBoard = on;
        WriteViewOption(QStringLiteral("ListHide"), QStringLiteral("Hide"), on);
        m_title->setVisible(!on);
        m_list->setVisible(!on);
    });
    QAction *order = add("m_Order", QStringLiteral("名单反序"), [this](bool on) {
        m_reverseOrder = on;
        m_control->setBoardOrder(!m_reverseOrder, m_oneAward);
        WriteViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order"), on);
    });
    QAction *names = add("m_Names", QStringLiteral("号码后显示姓名"), [this](bool on) {
        m_session.setNamesShown(on);
        WriteViewOption(QStringLiteral("NumberName"), QStringLiteral("Show"), on);
    });
    names->setCheckable(true);
    names->setChecked(m_session.namesShown());
    QAction *banner = add("m_Banner", QStringLiteral("显示当前奖项"), [this](bool on) {
        m_showBanner = on;
        WriteViewOption(QStringLiteral("AwardBanner"), QStringLiteral("Show"), on);
        placeBanner();
    });
    banner->setCheckable(true);
    banner->setChecked(m_showBanner);
    m_list->setColumns(ReadViewOption(QStringLiteral("ResultColumns"), QStringLiteral("Columns")));
    QAction *columns = add("m_Columns", QStringLiteral("公告分栏"), [this](bool on) {
        WriteViewOption(QStringLiteral("ResultColumns"), QStringLiteral("Columns"), on);
        m_list->setColumns(on);
        fitBoardList();
    });
    columns->setCheckable(true);
    columns->setChecked(m_list->columns());
    QAction *mute = add("m_Mute", QStringLiteral("静音"), [this](bool on) {
        m_muted = on;
        WriteViewOption(draw::SoundSection, draw::MuteKey, on);
        m_sound->setMuted(on);
    });
    mute->setCheckable(true);
    mute->setChecked(m_muted);
    m_menu->addSeparator();
    add("m_Exit", QStringLiteral("退出抽奖"), [this] { close(); });
    for (QAction *action : { oneAward, hide, order })
        action->setCheckable(true);
    oneAward->setChecked(m_oneAward);
    hide->setChecked(m_hideBoard);
    order->setChecked(m_reverseOrder);
}

void MF::setSound(std::unique_ptr<draw::StageSound> sound)
{
    if (m_sound)
        m_sound->stopRoll();
    m_sound = std::move(sound);
    m_sound->setMuted(m_muted);
    m_sound->setFiles(data::DrawStore().extraSetting(m_session.drawId(), draw::RollSoundKey),
        data::DrawStore().extraSetting(m_session.drawId(), draw::StopSoundKey));
    if (isRolling())
        m_sound->startRoll();
}

void MF::popupMenu(const QPoint &globalPos)
{
    m_menu->popup(globalPos);
}

void MF::frameChanged()
{
    // Edited by the operator, the frame stays where it was put.
    m_builtInFrame = false;
    appearance::RepairFrameSize(m_frame);
    fitNumberLabel();
    refreshNumberArea();
    m_canvas->update();
    placeBanner();
}

void MF::applyStageScale()
{
    const appearance::StageScale scale = appearance::StageScaleFor(QSizeF(size()));
    if (m_builtInFrame)
        m_frame.setRect(appearance::BuiltInStageLayout(QSizeF(size())).frame);
    const int builtInPixels[] = { TitlePixels, ListPixels, NumberPixels };
    for (Element element : { Element::Title, Element::List, Element::Number }) {
        if (m_fontStored[int(element)])
            continue; // a font the operator chose is shown as chosen
        m_fonts[int(element)].font.setPixelSize(
            appearance::ScaledFontPixels(builtInPixels[int(element)], scale));
        applyElementFont(element);
    }
    m_list->setSmallestPixelSize(appearance::ScaledFontPixels(SmallestListPixels, scale));
    m_numberFloorPixels = appearance::ScaledFontPixels(SmallestNumberPixels, scale);
    // The operator's controls grow with the screen too, to be hit at 4K.
    const int commandPixels = appearance::ScaledFontPixels(CommandPixels, scale);
    for (ClickLabel *label : { m_start, m_end, m_undo }) {
        if (label->font().pixelSize() != commandPixels) {
            label->setFont(pixelFont(font(), commandPixels, false));
            label->adjustSize();
        }
    }
    m_title->adjustSize();
    fitNumberLabel();
}

void MF::saveFrameLayout()
{
    // A frame the database refused stays as edited, on show, and the
    // operator hears it was not kept; read back, it would fall back unsaid.
    if (!appearance::SaveFrameLayout(m_frame, m_session.drawId())) {
        tellNotStored();
        frameChanged();
        return;
    }
    m_frame = appearance::LoadFrameLayout(m_session.drawId(), m_frame);
    frameChanged();
}

void MF::tellNotStored()
{
    prompts().message(QStringLiteral("保存失败，请检查数据库！"));
}

QRectF MF::boardTitleTwips() const
{
    return toTwips(m_title->geometry());
}

void MF::placeBoardTitle(const QRectF &twips)
{
    m_builtInBoard = false;
    m_list->setCentred(false);
    m_title->setGeometry(toPixels(twips));
    m_list->setGeometry(toPixels(QRectF(twips.left(), twips.top() + twips.height(), twips.width(), 50000)));
    m_listPlace = m_list->geometry();
    fitBoardList();
}

void MF::showBoard(const draw::BoardText &board)
{
    if (board.ok)
        m_list->setBoard(board.text, board.lines);
    if (board.title) {
        m_title->setText(*board.title);
        m_title->adjustSize();
    }
}

int MF::withdrawResults(const std::vector<draw::DrawSession::WithdrawnResult> &results, const QString &reason)
{
    const draw::DrawSession::WithdrawOutcome outcome = m_control->withdraw(results, reason);
    if (outcome.failed)
        return -1;
    showBoard(outcome.board);
    refreshAwardBanner();
    // A withdrawn winner still in the frame leaves it; the rest of the round stays.
    if (!isRolling() && !m_shownResults.empty() && m_shownResults.size() == size_t(m_numberLines.size())) {
        QStringList lines;
        std::vector<qint64> ids;
        for (size_t i = 0; i < m_shownResults.size(); ++i) {
            const qint64 id = m_shownResults[i];
            const bool withdrawn = std::any_of(results.begin(), results.end(),
                [id](const draw::DrawSession::WithdrawnResult &result) { return result.id == id; });
            if (!withdrawn) {
                lines << m_numberLines.at(qsizetype(i));
                ids.push_back(id);
            }
        }
        if (ids.size() != m_shownResults.size()) {
            setNumberLines(lines);
            m_shownResults = ids;
            refreshNumberArea();
        }
    }
    return outcome.deleted;
}

void MF::showAwardUndo()
{
    // A round that rolls is drawn for the award it began with; a withdrawal
    // meanwhile would reopen an earlier award under it. It waits for the stop.
    if (isRolling() || isLanding()) {
        prompts().message(QStringLiteral("本轮抽奖还在进行，请先停止本轮，再取消结果。"));
        return;
    }
    showOnce<DelAward>(m_delAward);
}

namespace {

// "1234 张三 未到场？": the winner as stored, number then name.
QString absentQuestion(const draw::DrawSession::WithdrawnResult &winner)
{
    QStringList who { winner.number, winner.name };
    who.removeAll(QString());
    return who.join(QLatin1Char(' ')) + QStringLiteral(" 未到场？");
}

} // namespace

void MF::markAbsent()
{
    using Ask = draw::RollControl::AbsentAsk;
    const draw::RollControl::AbsentWinners absent = m_control->absentWinners();
    if (absent.ask == Ask::Nothing)
        return;
    // The withdrawal window open already is where the operator is choosing.
    if (m_delAward && m_delAward->isVisible()) {
        m_delAward->raise();
        m_delAward->activateWindow();
        return;
    }
    if (absent.ask == Ask::WhichOfThem) {
        showOnce<DelAward>(m_delAward);
        std::vector<qint64> ids;
        for (const draw::DrawSession::WithdrawnResult &winner : absent.winners)
            ids.push_back(winner.id);
        if (auto *dialog = qobject_cast<DelAward *>(m_delAward.data()))
            dialog->putFirst(ids);
        return;
    }
    const draw::DrawSession::WithdrawnResult winner = absent.winners.front();
    const bool confirmed = prompts().askYesNo(absentQuestion(winner), DefaultAnswer::No);
    // The stage takes the keys again, whatever the answer.
    activateWindow();
    setFocus();
    const draw::RollControl::AbsentWinners now = m_control->absentWinners();
    if (!confirmed || now.ask != Ask::TheOne || now.winners.front().id != winner.id)
        return;
    // As the withdrawal window does: a backup first, the reason kept.
    if (!BackUpBefore(data::backupreason::Withdraw))
        return;
    if (withdrawResults({ winner }, data::withdrawreason::Absent) < 0) {
        prompts().message(QStringLiteral("删除失败，数据库未作改动！"));
        return;
    }
    m_control->redrawFreedPlace();
}

template<typename Dialog> void MF::showOnce(QPointer<QDialog> &open)
{
    // Two of a kind would edit the same frame, board or results against each
    // other; a closed one is on its way out and is not shown again.
    if (open && open->isVisible()) {
        open->raise();
        open->activateWindow();
        return;
    }
    // A dialog loading with the progress window lets a second press of the
    // same command run meanwhile; it finds this one on its way.
    if (m_opening.contains(&open))
        return;
    m_opening.insert(&open);
    ++m_loading;
    open = new Dialog(this);
    --m_loading;
    m_opening.remove(&open);
    open->show();
    if (m_closeWanted && m_loading == 0) {
        m_closeWanted = false;
        close();
    }
}

} // namespace tombolix
