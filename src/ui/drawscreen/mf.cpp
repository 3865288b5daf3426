#include "drawscreen/mf.h"

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

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    emit pressed(event->button(), event->globalPosition().toPoint());
    event->accept();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Qt would hand it on as another press: start, then an instant stop.
    event->accept();
}

DrawCanvas::DrawCanvas(MF *screen)
    : QWidget(screen)
    , m_screen(screen)
{
    setObjectName(QStringLiteral("bIMG"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DrawCanvas::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    m_screen->paintCanvas(painter, event->rect());
}

void DrawCanvas::mousePressEvent(QMouseEvent *event)
{
    emit pressed(event->button(), event->globalPosition().toPoint());
    event->accept();
}

void DrawCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Its press has started or stopped the roll already; one click, one toggle.
    event->accept();
}

MF::MF(qint64 drawId, std::unique_ptr<draw::RandomSource> random, QWidget *parent)
    : MF(drawId, draw::Entry::Afresh, std::move(random), parent)
{ }

MF::MF(qint64 drawId, draw::Entry entry, std::unique_ptr<draw::RandomSource> random, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_control(new draw::RollControl(std::move(random), this))
    , m_session(m_control->session())
{
    setObjectName(QStringLiteral("MF"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    // Titles, banner and number are bold: in a family whose bold is real.
    setFont(StageFont(font()));
    buildControls();

    // The view options of the board, as the operator left them.
    m_reverseOrder = ReadViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order"));
    m_oneAward = ReadViewOption(QStringLiteral("ResultOneAward"), QStringLiteral("OneAward"));
    m_hideBoard = ReadViewOption(QStringLiteral("ListHide"), QStringLiteral("Hide"));
    m_muted = ReadViewOption(draw::SoundSection, draw::MuteKey);
    m_session.setNamesShown(ReadViewOption(QStringLiteral("NumberName"), QStringLiteral("Show")));
    m_showBanner = ReadViewOption(QStringLiteral("AwardBanner"), QStringLiteral("Show"), true);

    m_fonts[int(Element::Title)] = { m_title->font(), storedFromColor(TitleColour) };
    m_fonts[int(Element::List)] = { m_list->font(), storedFromColor(ListColour) };
    m_fonts[int(Element::Number)] = { m_number->font(), storedFromColor(NumberColour) };
    buildMenu();

    m_control->setBoardOrder(!m_reverseOrder, m_oneAward);
    followTheRoll();
    m_startReport = m_control->start(drawId, entry);
    showPlaceholder();
    setSound(std::make_unique<StageSoundPlayer>());
    if (entry == draw::Entry::Continue)
        showBoard(m_session.lastRoundBoard(!m_reverseOrder, m_oneAward));
    setUpBanner();
    const draw::DrawSettings &settings = m_session.settings();
    m_background = draw::BuiltInBackground();
    if (!settings.P_Jpg.isEmpty())
        m_background = draw::LoadPictureIfExists(settings.P_Jpg);
    m_frame = appearance::LoadFrameLayout(drawId);
    m_builtInFrame = !appearance::DrawHasFrameLayout(drawId);
    // A stored frame too narrow or too low is repaired before anything fits
    // or paints it; a later save stores the repair.
    appearance::RepairFrameSize(m_frame);
    fitNumberLabel();
    resize(1024, 768);
}

MF::~MF() = default;

ClickLabel *MF::makeLabel(const QString &name, const QString &text)
{
    auto *label = new ClickLabel(this);
    label->setObjectName(name);
    // Award, prize, entrant and draw texts are shown as typed, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

// The screen's parts, made in the order they stack: the canvas at the back,
// the board, the number and the commands, the banner and the slide, the
// notice and the hall's panel in front.
void MF::buildControls()
{
    m_canvas = new DrawCanvas(this);
    connect(m_canvas, &DrawCanvas::pressed, this, &MF::onPressed);

    m_boardArea = new QWidget(this);
    m_boardArea->setObjectName(QStringLiteral("SHP"));
    m_boardArea->setAttribute(Qt::WA_TransparentForMouseEvents);

    buildBoardAndNumber();
    buildCommands();
    buildSlides();
    buildNoticeAndHall();
    buildTimers();
}

void MF::buildBoardAndNumber()
{
    m_title = makeLabel(QStringLiteral("LL_0"), QStringLiteral("获奖名单"));
    m_title->setFont(pixelFont(font(), TitlePixels, true));
    m_title->setStyleSheet(QStringLiteral("color: %1;").arg(TitleColour.name()));
    m_title->adjustSize();

    m_list = new BoardList(this);
    m_list->setObjectName(QStringLiteral("LL_1"));
    m_list->setBackdrop(m_canvas);
    m_list->setTextFormat(Qt::PlainText);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setFont(pixelFont(font(), ListPixels, false));
    m_list->setStyleSheet(QStringLiteral("color: %1;").arg(ListColour.name()));
    m_list->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The number is printed on the canvas; the label keeps its text, font
    // and colour, and its box decides where the text goes.
    m_number = makeLabel(QStringLiteral("LL_2"), QStringLiteral("00000000000"));
    m_number->setFont(pixelFont(font(), NumberPixels, true));
    QPalette palette = m_number->palette();
    palette.setColor(QPalette::WindowText, NumberColour);
    m_number->setPalette(palette);
    m_number->hide();
    m_numberLines = QStringList { m_number->text() };
}

void MF::buildCommands()
{
    const QString commandStyle
        = QStringLiteral("QLabel { color: white; background: rgba(20, 0, 4, 150); border: 1px solid #d4af37;"
                         " border-radius: 6px; padding: 6px 18px; }"
                         "QLabel:hover { color: #ffd700; background: rgba(60, 0, 10, 190); }");
    m_start = makeLabel(QStringLiteral("lStart"), QStringLiteral("开始抽奖"));
    m_end = makeLabel(QStringLiteral("lEnd"), QStringLiteral("结束抽奖"));
    m_undo = makeLabel(QStringLiteral("AwardUndo"), QStringLiteral("取消结果"));
    for (ClickLabel *label : { m_start, m_end, m_undo }) {
        label->setFont(pixelFont(font(), CommandPixels, false));
        label->setStyleSheet(commandStyle);
        label->setCursor(Qt::PointingHandCursor);
        label->adjustSize();
    }

    connect(m_title, &ClickLabel::pressed, this, &MF::onPressed);
    connect(m_list, &ClickLabel::pressed, this, &MF::onPressed);
    connect(m_start, &ClickLabel::pressed, this, [this](Qt::MouseButton button) {
        if (button == Qt::LeftButton)
            ToggleRoll();
    });
    connect(m_end, &ClickLabel::pressed, this, [this](Qt::MouseButton button) {
        if (button == Qt::LeftButton)
            close();
    });
    connect(m_undo, &ClickLabel::pressed, this, [this](Qt::MouseButton button) {
        if (button == Qt::LeftButton)
            showAwardUndo();
    });
    m_fader = new ControlsFader(this, { m_start, m_end, m_undo });
    // While numbers roll, a press anywhere stops them, out of sight or not.
    m_fader->setPressWhileFaded([this] {
        if (isRolling())
            ToggleRoll();
    });
}

void MF::buildSlides()
{
    m_banner = new BannerLabel(this);
    m_banner->setObjectName(QStringLiteral("awardBanner"));
    m_banner->setTextFormat(Qt::PlainText);
    m_banner->setFocusPolicy(Qt::NoFocus);
    m_banner->setAlignment(Qt::AlignCenter);
    m_banner->setWordWrap(true);
    connect(m_banner, &ClickLabel::pressed, this, &MF::onPressed);
    // A slide over the number frame, where nothing else is painted before a
    // round: the 公证码 before the first round of each commitment, large
    // enough to photograph from the middle of the hall, with its QR code;
    // the next award's card between awards. Presses go through it.
    m_slide = new QFrame(this);
    m_slide->setObjectName(QStringLiteral("stageSlide"));
    m_slide->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_slide->setStyleSheet(QStringLiteral(
        "QFrame#stageSlide { background: rgb(24, 4, 6); border: 2px solid rgba(255, 215, 64, 170);"
        " border-radius: 16px; } QLabel { background: transparent; border: none; color: #fff4d6; }"));
    m_slide->hide();
    m_notary = new SlideText(m_slide);
    m_notary->setObjectName(QStringLiteral("notaryCode"));
    m_notary->setTextFormat(Qt::PlainText);
    m_notary->setFocusPolicy(Qt::NoFocus);
    m_notary->setWordWrap(false);
    m_commitmentQr = new QLabel(m_slide);
    m_commitmentQr->setObjectName(QStringLiteral("commitmentQr"));
    m_card = new CardText(m_slide);
    m_card->setObjectName(QStringLiteral("awardCard"));
    m_card->setTextFormat(Qt::PlainText);
    m_card->setAlignment(Qt::AlignCenter);
    m_card->hide();
}

void MF::buildNoticeAndHall()
{
    // What the stage tells once beside the draw (an award that cannot be
    // filled): at the foot of the screen, for a while, taking no input.
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("stageNotice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setWordWrap(true);
    m_notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_notice->setStyleSheet(QStringLiteral(
        "QLabel { color: #fff4d6; background: rgba(0, 0, 0, 150); border-radius: 8px; padding: 6px 14px; }"));
    m_notice->hide();
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    m_noticeTimer->setInterval(12000);
    connect(m_noticeTimer, &QTimer::timeout, m_notice, &QWidget::hide);
    m_hall = new HallNumbersPanel(this);
    connect(
        m_hall, &HallNumbersPanel::lockAsked, this, [this](const QString &typed) { lockHallNumbers(typed); });
    connect(m_hall, &HallNumbersPanel::closedWithoutLocking, this, [this] { setFocus(); });
}

void MF::buildTimers()
{
    m_pageTimer = new QTimer(this);
    m_pageTimer->setObjectName(QStringLiteral("numberPages"));
    connect(m_pageTimer, &QTimer::timeout, this, &MF::turnNumberPage);
    // The winners just landed: the frame's edge glows twice for the hall.
    m_emphasis = new QVariantAnimation(this);
    m_emphasis->setObjectName(QStringLiteral("emphasis"));
    m_emphasis->setStartValue(0.0);
    m_emphasis->setEndValue(1.0);
    connect(m_emphasis, &QVariantAnimation::valueChanged, this, [this] { m_canvas->update(emphasisArea()); });
    connect(m_emphasis, &QVariantAnimation::finished, this, [this] { m_canvas->update(emphasisArea()); });
}

void MF::onPressed(Qt::MouseButton button, const QPoint &globalPos)
{
    if (button == Qt::LeftButton)
        ToggleRoll();
    else
        popupMenu(globalPos);
}

void MF::showPlaceholder()
{
    // Zeros as long as the draw's numbers are shown, masked as they are.
    const draw::DrawSettings &settings = m_session.settings();
    if (settings.P_Long <= 0)
        return;
    QString zeros = QStringLiteral("0");
    draw::FixLength(zeros, settings.P_Long);
    draw::MaskText(zeros, settings.P_Hide);
    m_number->setText(zeros);
    m_numberLines = QStringList { zeros };
}

bool MF::isRolling() const
{
    return m_control->isRolling();
}

bool MF::isLanding() const
{
    return m_control->isLanding();
}

QWidget *MF::canvas() const
{
    return m_canvas;
}

QString MF::numberCaption() const
{
    return m_number->text();
}

void MF::ToggleRoll()
{
    // The layout dialogs take the presses on the screen for moving and
    // sizing; a slip must not start or stop a round behind them.
    if (!m_session.DrawFinished()) {
        for (const QPointer<QDialog> &open : { m_frmSet, m_brdSet }) {
            if (open && open->isVisible())
                return;
        }
    }
    m_control->press();
}

// What the roll does, shown as it happens.
void MF::followTheRoll()
{
    connect(m_control, &draw::RollControl::hallNumbersWanted, this, [this] {
        if (!m_hall->isVisible())
            m_hall->open();
    });
    connect(m_control, &draw::RollControl::awardShown, this, &MF::refreshAwardBanner);
    connect(m_control, &draw::RollControl::notice, this, &MF::showNotice);
    connect(m_control, &draw::RollControl::rollStarted, this, [this] {
        m_numberPage = 0;
        m_sound->startRoll();
        showRollState();
        placeNotaryCode();
    });
    connect(m_control, &draw::RollControl::rolled, this, &MF::showRolled);
    connect(m_control, &draw::RollControl::rollStopped, this, [this] {
        showRollState();
        m_sound->stopRoll();
    });
    connect(m_control, &draw::RollControl::landingStep, this, [this](const QStringList &lines) {
        setNumberLines(lines);
        refreshNumberArea();
    });
    connect(m_control, &draw::RollControl::landed, this, &MF::showLanded);
}

int MF::EmphasisWidth() const
{
    return std::max(4, height() / 120);
}

QRect MF::emphasisArea() const
{
    const int width = EmphasisWidth() + 2;
    return toPixels(m_frame.rect()).adjusted(-width, -width, width, width);
}

void MF::RollTick()
{
    m_control->tick();
}

void MF::showRolled(const QStringList &lines)
{
    m_shownResults.clear();
    setNumberLines(lines);
    if (m_frame.autoFit() && std::abs(m_numberLabel.height() + 20 - m_frame.Height) > 0.01)
        m_frame.Height = float(m_numberLabel.height() + 20);
    refreshNumberArea();
}

void MF::showLanded(const draw::StopOutcome &outcome)
{
    // A stop that names nobody (no award left to draw) has nothing to celebrate.
    if (outcome.recorded > 0) {
        m_sound->fanfare();
        if (const int glow = draw::CurrentStagePace().emphasisMs; glow > 0) {
            m_emphasis->setDuration(glow);
            m_emphasis->start();
        }
    }
    applyStop(outcome);
    if (!outcome.problem.isEmpty())
        prompts().message(outcome.problem);
    if (m_closeWanted && m_loading == 0) {
        m_closeWanted = false;
        close();
    }
}

bool MF::lockHallNumbers(const QString &numbers)
{
    if (!m_session.needsHallNumbers())
        return false;
    if (numbers.isEmpty()
        && !prompts().askYesNo(
            QStringLiteral("没有输入现场随机数。不用现场随机数，本次抽奖的中奖结果将只取决于本机产生的种子，"
                           "公证记录和证书会写明这一点。确定不用现场随机数吗？"),
            DefaultAnswer::No))
        return false;
    if (!m_session.lockHallNumbers(numbers)) {
        prompts().message(QStringLiteral("现场随机数无法保存到数据库，抽奖不能开始，请检查数据库！"));
        return false;
    }
    m_hall->hide();
    setFocus();
    placeNotaryCode();
    return true;
}

bool MF::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate)
        m_heldKeys.clear(); // a key let go elsewhere is not reported here
    if (event->type() == QEvent::WindowActivate) {
        // A title naming the last award is reset until the next stop names one.
        m_title->setText(QStringLiteral("获奖名单"));
        applyFonts();
    }
    return QWidget::event(event);
}

void MF::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    // While the hall's numbers are typed in, the keys are theirs.
    if (m_hall->isVisible() && m_hall->takeKey(event))
        return;
    // A key held down must not start and stop the roll over and over.
    if (!m_heldKeys.press(event->key(), event->timestamp(), event->isAutoRepeat()))
        return;
    // Esc is where an operator's hand goes to get out of the way; it must not
    // draw anyone. It brings the controls back instead.
    if (event->key() == Qt::Key_Escape) {
        m_fader->wake();
        return;
    }
    const bool absentAsked = m_control->absentWinners().ask != draw::RollControl::AbsentAsk::Nothing;
    if (draw::KeyMarksAbsent(event->key()) || (absentAsked && draw::KeyMarksAbsentAfterRound(event->key()))) {
        markAbsent();
        return;
    }
    if (!draw::KeyTogglesRoll(event->key()))
        return;
    ToggleRoll();
}

void MF::keyReleaseEvent(QKeyEvent *event)
{
    m_heldKeys.release(event->key(), event->timestamp(), event->isAutoRepeat());
    event->accept();
}

void MF::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int extra = int(std::lround(40 / Twips));
    m_canvas->setGeometry(0, 0, width() + extra, height());
    m_boardArea->setGeometry(toPixels(draw::PlaceBoardArea(toTwips(m_canvas->size()))));
    m_scaledBackground = draw::ScaledToCover(m_background, m_canvas->size());
    m_canvas->lower();
    if (m_hall->isVisible())
        m_hall->setGeometry(rect());
    if (m_notice->isVisible())
        placeNotice();
    applyStageScale();
    placeBoard();
}

void MF::closeEvent(QCloseEvent *event)
{
    if (m_loading > 0) {
        // Deleting the screen now would delete the loading window under it.
        m_closeWanted = true;
        event->ignore();
        return;
    }
    // A timed round ends by itself within seconds: the screen closes after
    // its stop rather than asking a question the stop would make stale.
    if ((isRolling() && m_session.settings().P_Timer >= 1) || isLanding()) {
        m_closeWanted = true;
        event->ignore();
        return;
    }
    if (isRolling()
        && !prompts().askYesNo(
            QStringLiteral("本轮抽奖尚未停止，结束抽奖将放弃本轮。是否结束抽奖？"), DefaultAnswer::No)) {
        event->ignore();
        return;
    }
    m_control->halt();
    m_sound->stopRoll();
    // A draw that has ended reveals its seed and leaves its record and
    // certificate in 公证记录 beside the database, for anyone to check; the
    // operator is told where, to hand them on.
    if (m_session.DrawFinished() && m_session.hasRecord()) {
        const std::optional<draw::NotaryFiles> files
            = draw::WriteNotaryFiles(m_session.drawId(), draw::NotaryRecordPathAtTheEnd(m_session.drawId()));
        if (files)
            prompts().message(QStringLiteral("公证记录已保存：%1\n公证证书：%2")
                                  .arg(QDir::toNativeSeparators(files->record),
                                      QDir::toNativeSeparators(files->certificate)));
        else
            prompts().message(QStringLiteral("公证记录未能保存，请在“抽奖结果”页导出公证记录。"));
    }
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace tombolix
