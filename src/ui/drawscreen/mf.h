#pragma once

#include "appearance/fontspec.h"
#include "appearance/framelayout.h"
#include "draw/drawsession.h"
#include "draw/heldkeys.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <optional>

class QAction;
class QDialog;
class QFrame;
class QMenu;
class QTimer;
class QVariantAnimation;

namespace tombolix {

namespace draw {
class RollControl;
class StageSound;
} // namespace draw
class BannerLabel;
class HallNumbersPanel;
class SlideText;
class CardText;

// A label that reports mouse presses to the draw screen. The press of a
// double-click has been reported already; the double-click itself is not a
// second press.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void pressed(Qt::MouseButton button, const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

class MF;
class BoardList;
class ControlsFader;

// The background picture, with the number frame and the number painted over it.
class DrawCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit DrawCanvas(MF *screen);

signals:
    void pressed(Qt::MouseButton button, const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    MF *m_screen;
};

// The draw screen: numbers roll over the background picture until stopped,
// and the entrants shown become the winners of the current award.
class MF : public QWidget
{
    Q_OBJECT

public:
    explicit MF(
        qint64 drawId, std::unique_ptr<draw::RandomSource> random = nullptr, QWidget *parent = nullptr);
    // Continuing, the screen opens as the draw's last stop left it: the
    // stored winners on the board and out of the pool, finished when every
    // award is complete.
    MF(qint64 drawId, draw::Entry entry, std::unique_ptr<draw::RandomSource> random = nullptr,
        QWidget *parent = nullptr);
    ~MF() override;

    static QString caption() { return QStringLiteral("澄曜抽奖软件操作界面"); }

    // Start or stop, as a click or a key does.
    void ToggleRoll();
    bool isRolling() const;
    // A stop landing on its winners: they are stored, the frame slows to them.
    bool isLanding() const;
    // One tick of the rolling timer: a fresh pick on show.
    void RollTick();

    draw::DrawSession &session() { return m_session; }
    // The roll this screen shows: start, stop, landing and the awards' order.
    draw::RollControl &rollControl() { return *m_control; }
    // What entering the draw told: why it cannot be drawn, what the database
    // had that the record did not.
    const draw::StartReport &startReport() const { return m_startReport; }

    // The hall's numbers, asked for by the first start of a commitment: the
    // panel the operator types them into, and what its Enter does (empty
    // numbers only after the operator confirms going on without them).
    HallNumbersPanel *hallPanel() const { return m_hall; }
    bool lockHallNumbers(const QString &numbers);
    const appearance::FrameLayout &frameLayout() const { return m_frame; }
    QString numberCaption() const;
    // The built-in picture, or the draw's own when its file could be read.
    bool hasBackground() const { return !m_background.isNull(); }

    // The board's elements whose fonts the operator chooses.
    enum class Element
    {
        Title,
        List,
        Number,
    };
    appearance::FontSpec elementFont(Element element) const;
    // The font dialog for an element; a confirmed choice is shown and stored
    // with the draw. False when cancelled.
    bool chooseFont(Element element);

    // The banner that names the current award to the room; its font is kept
    // with the draw's settings. The text follows the award after every stop
    // and withdrawal.
    appearance::FontSpec bannerFont() const { return m_bannerFont; }
    bool chooseBannerFont();
    void refreshAwardBanner();

    // How long the pointer may rest before the operator's controls fade (ms).
    void setControlsIdleInterval(int ms);

    // The context menu (right button), and the two view options that shape
    // the board's list (the third hides the board).
    QMenu *contextMenu() const { return m_menu; }
    void popupMenu(const QPoint &globalPos);
    bool reverseOrder() const { return m_reverseOrder; }
    bool oneAwardOnly() const { return m_oneAward; }

    // The roll loop and the fanfare; a new one gets the draw's files and the
    // mute option. The screen makes its own; tests hand in a silent one.
    void setSound(std::unique_ptr<draw::StageSound> sound);
    bool muted() const { return m_muted; }

    // The number frame, edited live by the layout dialog: change it, then
    // call frameChanged() to repair a size of 15 twips or less, refit and
    // repaint.
    appearance::FrameLayout &frameLayout() { return m_frame; }
    void frameChanged();
    // Stores the frame with the draw and applies what was stored.
    void saveFrameLayout();

    // The board title's rectangle (twips) and its live placement: the list
    // sits right below the title, as wide, reaching past the screen.
    QRectF boardTitleTwips() const;
    void placeBoardTitle(const QRectF &twips);

    // Shows a rebuilt board; a board that could not be read leaves the list as it was.
    void showBoard(const draw::BoardText &board);
    // Withdraws results (see DrawSession::WithdrawResults) and shows what
    // follows: the board, the banner, and the frame without the withdrawn
    // winners. The number withdrawn, -1 when the database refused.
    int withdrawResults(const std::vector<draw::DrawSession::WithdrawnResult> &results,
        const QString &reason = QStringLiteral("取消结果"));
    // Opens the result withdrawal dialog.
    void showAwardUndo();
    // The key for an absent winner (Delete), after a round has landed: its
    // one winner is asked about ("1234 张三 未到场？", default 否) and, once
    // confirmed, withdrawn as 未到场 and its place drawn at once; a round of
    // several opens the withdrawal dialog with them listed first.
    void markAbsent();

    // The part of the canvas a tick repaints: the frame and the number.
    QRect numberArea() const { return numberAreaPixels(); }
    // The number as it is printed: the number font, drawn smaller while the
    // round's lines would not fit the frame, and the lines' places (twips).
    const QFont &printedNumberFont() const { return m_printFont; }
    const std::vector<appearance::PrintedLine> &printedNumberLines() const { return m_printedLines; }
    // A round more than the frame holds at a readable size shows in pages,
    // turning by themselves once it has landed; every line is on one page.
    int numberPages() const { return m_numberPages; }
    int numberPage() const { return m_numberPage; }
    QWidget *canvas() const;

    // Paints the background, the frame and the number (the canvas's content)
    // as they stand; painting changes nothing, so every change to the frame
    // or the number is settled where it is made.
    void paintCanvas(QPainter &painter, const QRect &area) const;

signals:
    void closed();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    ClickLabel *makeLabel(const QString &name, const QString &text);
    void buildBoardAndNumber();
    void buildCommands();
    void buildSlides();
    void buildNoticeAndHall();
    void buildTimers();
    void showPlaceholder();
    void followTheRoll();
    void showRolled(const QStringList &lines);
    // The stop's winners, shown with an emphasis once the landing is done.
    void showLanded(const draw::StopOutcome &outcome);
    int EmphasisWidth() const;
    QRect emphasisArea() const;
    void setNumberLines(const QStringList &lines);
    void applyStop(const draw::StopOutcome &outcome);
    void placeBoard();
    // Hands the board's list the room it may paint in, below its top.
    void fitBoardList();
    void buildMenu();
    void applyFonts();
    void applyElementFont(Element element);
    ClickLabel *labelOf(Element element) const;
    void fitNumberLabel();
    void refreshNumberArea();
    QRect numberAreaPixels() const;
    void layOutNumber();
    QStringList numberPageToPrint(const QSizeF &room, QFont &font, double &scale);
    void printNumber(const QFont &font, const QStringList &lines);
    void growBuiltInFrame();
    // The built-in frame and the fonts the draw keeps none of its own for
    // follow the screen's size.
    void applyStageScale();
    void onPressed(Qt::MouseButton button, const QPoint &globalPos);
    void setUpBanner();
    void applyBannerFont();
    void placeBanner();
    void showRollState();
    // Shows the open dialog of its kind, or a new one when none is open.
    template<typename Dialog> void showOnce(QPointer<QDialog> &open);

    draw::RollControl *m_control;
    draw::DrawSession &m_session;
    appearance::FrameLayout m_frame;
    QRectF m_numberLabel; // twips
    QStringList m_numberLines;
    std::vector<qint64> m_shownResults; // after a stop: the result each line stands for
    QPixmap m_background;
    QPixmap m_scaledBackground;
    QRect m_paintedNumberArea;
    bool m_builtInFrame = false; // no stored layout, no edit: the frame follows the screen
    bool m_fontStored[3] = {};
    QFont m_printFont;
    double m_printAscent = 0;
    double m_printLineHeight = 0;
    std::vector<appearance::PrintedLine> m_printedLines;
    QRect m_printedArea; // pixels: the ink and the boxes of the printed lines
    int m_numberFloorPixels = 0; // the number's lines are never printed smaller
    int m_numberPages = 1;
    int m_numberPage = 0;
    QTimer *m_pageTimer = nullptr;
    void turnNumberPage();
    draw::HeldKeys m_heldKeys;
    bool m_reverseOrder = false;
    bool m_oneAward = false;
    bool m_hideBoard = false;
    bool m_muted = false;
    std::unique_ptr<draw::StageSound> m_sound;
    appearance::FontSpec m_fonts[3];
    QMenu *m_menu = nullptr;

    DrawCanvas *m_canvas = nullptr;
    QWidget *m_boardArea = nullptr;
    ClickLabel *m_title = nullptr;
    BoardList *m_list = nullptr;
    QRect m_listPlace; // where the list was placed, before columns widen it
    bool m_builtInBoard = true; // no board rectangle stored
    QRect m_frameAtBoardFit; // the frame the board's columns were fitted beside
    ClickLabel *m_number = nullptr;
    ClickLabel *m_start = nullptr;
    ClickLabel *m_end = nullptr;
    ClickLabel *m_undo = nullptr;
    BannerLabel *m_banner = nullptr;
    SlideText *m_notary = nullptr; // the 公证码 and what it is, on the slide
    QFrame *m_slide = nullptr;
    CardText *m_card = nullptr; // the next award's card, on the slide
    QRect slideArea() const;
    void placeAwardCard(const QSize &area, int pad);
    QLabel *m_commitmentQr = nullptr; // the QR code of the commitment beside the 公证码
    HallNumbersPanel *m_hall = nullptr;
    draw::StartReport m_startReport;
    void placeNotaryCode();
    void placeNotaryText(const QSize &area, int pad, int textLeft);
    void showNotice(const QString &text);
    // "保存失败，请检查数据库！": a choice on show that the database refused.
    void tellNotStored();
    void placeNotice();
    QLabel *m_notice = nullptr;
    QTimer *m_noticeTimer = nullptr;
    appearance::FontSpec m_bannerFont;
    bool m_bannerFontStored = false;
    bool m_showBanner = true;
    ControlsFader *m_fader = nullptr;
    QVariantAnimation *m_emphasis = nullptr;
    QPointer<QDialog> m_frmSet;
    QPointer<QDialog> m_brdSet;
    QPointer<QDialog> m_delAward;
    // A dialog that loads with the progress window lets queued input run; a
    // close asked for meanwhile waits until the loading is done.
    int m_loading = 0;
    bool m_closeWanted = false;
    QSet<QPointer<QDialog> *> m_opening; // dialogs being built
};

} // namespace tombolix
