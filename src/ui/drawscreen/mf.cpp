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

namespace {

constexpr double Twips = TwipsPerPixel;

QRect toPixels(const QRectF &twips)
{
    const int x1 = int(std::lround(twips.left() / Twips));
    const int y1 = int(std::lround(twips.top() / Twips));
    const int x2 = int(std::lround(twips.right() / Twips));
    const int y2 = int(std::lround(twips.bottom() / Twips));
    return QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1));
}

QRectF toTwips(const QRect &pixels)
{
    return QRectF(pixels.x() * Twips, pixels.y() * Twips, pixels.width() * Twips, pixels.height() * Twips);
}

QSizeF toTwips(const QSize &pixels)
{
    return QSizeF(pixels.width() * Twips, pixels.height() * Twips);
}

const QColor NumberColour(255, 215, 0);
const QColor TitleColour(255, 215, 0);
const QColor ListColour(255, 255, 255);
const QColor EmptyBackground(48, 4, 12);
const QColor BannerColour(255, 215, 0);
constexpr double BannerPixels = 46; // at 768 pixels high

// Built-in font sizes in pixels on a screen 768 pixels high. The number's
// digits fill half the built-in frame's height, so a hall reads them from the
// back with room around them.
constexpr int TitlePixels = 42;
constexpr int ListPixels = 26;
constexpr int NumberPixels = 104;
// In columns, a full board's list steps down to no less than this (28 pixels
// at 1080), still read from the back of a hall.
constexpr int SmallestListPixels = 20;
// A round's lines in the frame are printed no smaller (34 pixels at 1080);
// more than fit at this size are shown in pages.
constexpr int SmallestNumberPixels = 24;
constexpr int CommandPixels = 16;

QFont pixelFont(const QFont &base, int pixels, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

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

void MF::buildControls()
{
    m_canvas = new DrawCanvas(this);
    connect(m_canvas, &DrawCanvas::pressed, this, &MF::onPressed);

    m_boardArea = new QWidget(this);
    m_boardArea->setObjectName(QStringLiteral("SHP"));
    m_boardArea->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto makeLabel = [this](const QString &name, const QString &text) {
        auto *label = new ClickLabel(this);
        label->setObjectName(name);
        // Award, prize, entrant and draw texts are shown as typed, never as markup.
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        label->setFocusPolicy(Qt::NoFocus);
        return label;
    };

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

void MF::applyStop(const draw::StopOutcome &outcome)
{
    m_numberPage = 0;
    setNumberLines(
        outcome.numberText.isEmpty() ? QStringList() : outcome.numberText.split(QStringLiteral("\r\n")));
    m_shownResults = outcome.resultIds;
    showBoard(outcome.board);
    refreshAwardBanner();
    refreshNumberArea();
}

void MF::setNumberLines(const QStringList &lines)
{
    m_numberLines = lines;
    m_number->setText(lines.join(QStringLiteral("\r\n")));
    fitNumberLabel();
}

void MF::fitNumberLabel()
{
    if (m_builtInFrame)
        growBuiltInFrame();
    QSizeF textSize;
    if (m_frame.autoFit()) {
        const QFontMetricsF metrics(m_number->font());
        double width = 0;
        for (const QString &line : m_numberLines)
            width = std::max(width, metrics.horizontalAdvance(line));
        textSize
            = QSizeF(width * Twips, metrics.height() * Twips * std::max<qsizetype>(1, m_numberLines.size()));
        // The frame grows no wider than it is and no lower than the screen's
        // bottom; beyond that the lines are printed smaller.
        textSize.setWidth(std::min(textSize.width(), double(m_frame.Width)));
        if (height() > 0)
            textSize.setHeight(
                std::min(textSize.height(), std::max(0.0, height() * Twips - double(m_frame.Top) - 20)));
    }
    m_numberLabel = appearance::FitNumberLabel(m_frame, textSize);
    m_number->setGeometry(toPixels(m_numberLabel));
    // The number's back colour follows the frame's.
    QPalette palette = m_number->palette();
    palette.setColor(QPalette::Window, colorFromStored(quint32(m_frame.BackColor)));
    m_number->setPalette(palette);
    layOutNumber();
    // A frame grown for a longer round may stand where the board's columns went.
    if ((m_list->columns() || m_builtInBoard) && toPixels(m_frame.rect()) != m_frameAtBoardFit)
        fitBoardList();
}

void MF::growBuiltInFrame()
{
    // The built-in frame holds one line; a round of several gets a line's
    // pitch more for each, so every number keeps the size the room can read.
    // Near the screen's bottom it grows no further, and the lines shrink.
    const double pitch = QFontMetricsF(m_number->font()).height() * Twips - 20;
    m_frame.setRect(appearance::BuiltInFrameFor(QSizeF(size()), m_numberLines.size(), pitch));
}

void MF::layOutNumber()
{
    // Measured on ink: a line box is taller than the digits in it, and one
    // line at the built-in size fits although its box does not.
    auto measure = [](const QFont &font, const QStringList &lines) {
        const QFontMetricsF metrics(font);
        appearance::NumberInk ink;
        ink.lineHeight = metrics.height() * Twips;
        ink.ascent = metrics.ascent() * Twips;
        for (const QString &line : lines) {
            const QRectF box = metrics.tightBoundingRect(line);
            ink.inkAbove = std::max(ink.inkAbove, -box.top() * Twips);
            ink.inkBelow = std::max(ink.inkBelow, box.bottom() * Twips);
            ink.widestLine = std::max(ink.widestLine, metrics.horizontalAdvance(line) * Twips);
        }
        return ink;
    };
    // Shrinking is a paint-time size: the stored number font stays as chosen.
    QFont font = m_number->font();
    // Lines as wide as the frame would touch its rounded sides.
    const QSizeF room(std::min(m_numberLabel.width(), m_frame.Width * 0.94), m_numberLabel.height());
    double scale = appearance::NumberFitScale(room, m_numberLines.size(), measure(font, m_numberLines));
    int pixels = QFontInfo(font).pixelSize();

    // Lines that would print below the floor go in pages of as many as fit
    // at the floor, so that each is read from the back of the hall.
    QStringList lines = m_numberLines;
    m_numberPages = 1;
    if (scale < 1 && m_numberLines.size() > 1 && m_numberFloorPixels > 0
        && pixels * scale < m_numberFloorPixels) {
        QFont floor = font;
        floor.setPixelSize(std::min(pixels, m_numberFloorPixels));
        const appearance::NumberInk ink = measure(floor, m_numberLines);
        qsizetype low = 1;
        qsizetype high = m_numberLines.size();
        while (low < high) {
            const qsizetype middle = low + (high - low + 1) / 2;
            if (appearance::NumberFitScale(room, middle, ink) >= 1)
                low = middle;
            else
                high = middle - 1;
        }
        const qsizetype perPage = low;
        m_numberPages = int((m_numberLines.size() + perPage - 1) / perPage);
        m_numberPage = std::clamp(m_numberPage, 0, m_numberPages - 1);
        lines = m_numberLines.mid(qsizetype(m_numberPage) * perPage, perPage);
        font = floor;
        pixels = QFontInfo(font).pixelSize();
        scale = appearance::NumberFitScale(room, lines.size(), measure(font, lines));
    } else {
        m_numberPage = 0;
    }
    // Metrics do not shrink quite in proportion; a second look settles it.
    for (int attempt = 0; scale < 1 && pixels > 1 && attempt < 6; ++attempt) {
        pixels = std::max(1, std::min(pixels - 1, int(std::floor(pixels * scale))));
        font.setPixelSize(pixels);
        scale = appearance::NumberFitScale(room, lines.size(), measure(font, lines));
    }
    if (!m_pageTimer) {
        // still being built
    } else if (m_numberPages > 1 && !isRolling() && !isLanding()) {
        if (!m_pageTimer->isActive() && draw::CurrentStagePace().pageTurnMs > 0)
            m_pageTimer->start(draw::CurrentStagePace().pageTurnMs);
    } else {
        m_pageTimer->stop();
    }

    m_printFont = font;
    const QFontMetricsF metrics(font);
    m_printAscent = metrics.ascent();
    m_printLineHeight = metrics.height();
    m_printedLines = appearance::PrintFrameText(m_numberLabel, lines, metrics.height() * Twips,
        [&metrics](const QString &line) { return metrics.horizontalAdvance(line) * Twips; });
    QRectF area;
    m_printedArea = QRect();
    // A line's box reaches above and below its ink, beyond the frame in a
    // family of tall line spacing; what is painted is the ink and the part
    // of the boxes within the frame.
    const QRectF frame(toPixels(m_frame.rect()));
    for (const appearance::PrintedLine &line : m_printedLines) {
        const QPointF origin(line.left / Twips, line.top / Twips);
        const QRectF box(origin, QSizeF(metrics.horizontalAdvance(line.text), m_printLineHeight));
        const QRectF ink
            = metrics.tightBoundingRect(line.text).translated(origin.x(), origin.y() + m_printAscent);
        area = area.united(box.intersected(frame)).united(ink);
    }
    if (!area.isEmpty())
        m_printedArea = area.toAlignedRect().adjusted(-3, -3, 3, 3); // antialiasing
}

void MF::turnNumberPage()
{
    if (m_numberPages < 2 || isRolling() || isLanding()) {
        m_pageTimer->stop();
        return;
    }
    m_numberPage = (m_numberPage + 1) % m_numberPages;
    layOutNumber();
    refreshNumberArea();
}

QRect MF::numberAreaPixels() const
{
    // The frame and the printed lines; refreshNumberArea adds what was there before.
    return toPixels(m_frame.rect())
        .united(m_printedArea)
        .adjusted(-2, -2, 2, 2)
        .intersected(m_canvas->rect());
}

void MF::refreshNumberArea()
{
    const QRect area = numberAreaPixels();
    m_canvas->update(area.united(m_paintedNumberArea));
    m_paintedNumberArea = area;
}

void MF::paintCanvas(QPainter &painter, const QRect &area) const
{
    if (m_scaledBackground.isNull())
        painter.fillRect(area, EmptyBackground);
    else
        painter.drawPixmap(area, m_scaledBackground, area);

    const QRect frame = toPixels(m_frame.rect());
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_frame.Opaque >= 1 && frame.intersects(area)) {
        const QColor colour = colorFromStored(quint32(m_frame.BackColor));
        painter.setPen(colour);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(frame), 12.5, 12.5);
    }

    if (m_emphasis->state() == QAbstractAnimation::Running) {
        // Two pulses of a golden edge around the frame.
        const double t = m_emphasis->currentValue().toDouble();
        const double glow = std::pow(std::sin(t * 2 * M_PI), 2);
        const int width = EmphasisWidth();
        QColor gold(255, 215, 64);
        gold.setAlphaF(glow);
        painter.setPen(QPen(gold, width));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(frame).adjusted(-width / 2.0, -width / 2.0, width / 2.0, width / 2.0),
            12.5 + width / 2.0, 12.5 + width / 2.0);
    }
    if (m_numberPages > 1 && frame.intersects(area)) {
        // Which page of how many, at the frame's foot, small beside the lines.
        QFont small = m_printFont;
        small.setPixelSize(std::max(12, QFontInfo(m_printFont).pixelSize() / 2));
        painter.setFont(small);
        painter.setPen(m_number->palette().color(QPalette::WindowText));
        const int pad = std::max(4, frame.height() / 80);
        painter.drawText(frame.adjusted(pad, pad, -3 * pad, -pad), Qt::AlignRight | Qt::AlignBottom,
            QStringLiteral("第%1/%2页 · 共%3名")
                .arg(m_numberPage + 1)
                .arg(m_numberPages)
                .arg(m_numberLines.size()));
    }
    if (!m_printedArea.intersects(area))
        return;
    painter.setFont(m_printFont);
    painter.setPen(m_number->palette().color(QPalette::WindowText));
    for (const appearance::PrintedLine &line : m_printedLines) {
        const double top = line.top / Twips;
        if (top > area.bottom() || top + m_printLineHeight < area.top())
            continue; // only the lines that can be seen are drawn
        painter.drawText(QPointF(line.left / Twips, top + m_printAscent), line.text);
    }
}

void MF::placeBoard()
{
    const QSizeF image = toTwips(m_canvas->size());
    draw::BoardInput input;
    input.image = image;
    input.area = toTwips(m_boardArea->geometry());
    input.titleSize = toTwips(m_title->size());
    input.endSize = toTwips(m_end->size());
    input.startSize = toTwips(m_start->size());
    input.left = ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Left"), QString());
    input.top = ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Top"), QString());
    input.width = ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Width"), QString());
    input.height = ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Height"), QString());
    input.hidden = m_hideBoard;
    draw::BoardPlacement placement = draw::ResultBrd(input);
    // Without a stored rectangle the board stands in the built-in look's column.
    m_builtInBoard = input.left.isEmpty();
    if (m_builtInBoard) {
        const appearance::StageLayout layout = appearance::BuiltInStageLayout(QSizeF(size()));
        placement = draw::BuiltInBoardPlacement(toTwips(layout.board.toAlignedRect()), input,
            QPointF(layout.commandsRight, layout.commandsBottom) * Twips);
    }
    m_list->setCentred(m_builtInBoard);

    m_title->setGeometry(toPixels(placement.title));
    m_list->setGeometry(toPixels(placement.list));
    m_end->move(toPixels(placement.end).topLeft());
    m_start->move(toPixels(placement.start).topLeft());
    m_undo->move(m_start->x() - m_undo->width() - 12, int(std::lround(placement.undoTop / Twips)));
    m_title->setVisible(placement.boardVisible);
    m_list->setVisible(placement.boardVisible);
    m_start->show();
    m_end->show();
    m_undo->show();
    m_start->raise();
    m_end->raise();
    m_undo->raise();
    m_listPlace = m_list->geometry();
    // While the board dialog is open the board stands where its boxes say,
    // typed but not stored yet.
    if (auto *dialog = qobject_cast<BRDSet *>(m_brdSet.data()); dialog && dialog->isVisible()) {
        const QRectF typed = dialog->boxesRect();
        if (!typed.isEmpty())
            placeBoardTitle(typed);
    }
    fitBoardList();
    placeBanner();
    placeNotaryCode();
}

void MF::fitBoardList()
{
    // The list ends above the command labels where they sit below its top,
    // and never below the screen. In columns a list placed by the operator
    // may reach the screen's right edge, and any list may take free room to
    // its left, below whatever stands there, before its font gives way.
    if (m_listPlace.isNull())
        return; // not placed yet: the first resize places and fits it
    constexpr int Margin = 8;
    const appearance::StageLayout layout = appearance::BuiltInStageLayout(QSizeF(size()));
    const int edge = m_builtInBoard ? int(std::lround(layout.edge)) : Margin;
    auto bottomAbove = [this, edge](int left, int right, int top) {
        int bottom = height() - edge;
        for (const QWidget *command : { m_start, m_end, m_undo }) {
            const QRect place = command->geometry();
            if (place.bottom() >= top && place.left() <= right && place.right() >= left)
                bottom = std::min(bottom, place.top() - Margin);
        }
        return bottom;
    };
    QRect list = m_listPlace;
    if (m_list->columns() && !m_builtInBoard)
        list.setRight(std::max(list.right(), width() - Margin - 1));
    const int bottom = bottomAbove(list.left(), list.right(), list.top());
    const QRect room(list.left(), list.top(), list.width(), std::max(0, bottom - list.top()));

    // The built-in board, in one column, goes on under the frame when its
    // column is full, rather than leave that room empty and winners out.
    m_list->setOverflow(m_builtInBoard);
    QRect spare;
    if (m_list->columns() || m_builtInBoard) {
        const int left = m_builtInBoard ? int(std::lround(layout.stage.left())) : Margin;
        const int right = room.left() - Margin;
        int top = room.top();
        QList<QRect> standing { toPixels(m_frame.rect()) };
        if (m_slide->isVisibleTo(this)) // the 公证码 or the next award stands over the frame
            standing << m_slide->geometry();
        for (const QWidget *widget : { static_cast<QWidget *>(m_banner), static_cast<QWidget *>(m_title) }) {
            if (widget->isVisibleTo(this))
                standing << widget->geometry();
        }
        for (const QRect &place : std::as_const(standing)) {
            if (place.right() >= left && place.left() <= right && place.bottom() >= top)
                top = std::max(top, place.bottom() + 2 * Margin);
        }
        const int spareBottom = bottomAbove(left, right, top);
        if (right > left && spareBottom > top)
            spare = QRect(QPoint(left, top), QPoint(right, spareBottom));
    }
    m_frameAtBoardFit = toPixels(m_frame.rect());
    const QRect covered = spare.isEmpty() ? list : list.united(spare);
    if (m_list->geometry() != covered)
        m_list->setGeometry(covered);
    m_list->setSpare(spare);
    m_list->setRoom(room.isEmpty() ? QRect() : room.intersected(rect()));
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

namespace tombolix {

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
    appearance::SaveElementFont(m_session.drawId(), fontColumnOf(element), spec);
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
    appearance::SaveFrameLayout(m_frame, m_session.drawId());
    m_frame = appearance::LoadFrameLayout(m_session.drawId(), m_frame);
    frameChanged();
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

namespace tombolix {

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
    data::DrawStore().setExtraSetting(m_session.drawId(), QStringLiteral("L3"), appearance::FontRecord(spec));
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

    const int textLeft = pad + qr.width() + pad;
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
        if (widest <= area.width() - 2 * pad)
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
    if (place.width() < natural.width())
        place.setHeight(std::max(natural.height(), m_banner->heightForWidth(place.width())));
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
