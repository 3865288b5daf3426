#pragma once

#include "appearance/framelayout.h"
#include "draw/drawsession.h"

#include <QLabel>
#include <QPixmap>
#include <QWidget>

class QTimer;

namespace tombolix {

// A label that reports mouse presses to the draw screen.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void pressed(Qt::MouseButton button, const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

class MF;

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

private:
    MF *m_screen;
};

// The draw screen: numbers roll over the background picture until stopped,
// and the entrants shown become the winners of the current award.
class MF : public QWidget
{
    Q_OBJECT

public:
    explicit MF(qint64 drawId, std::unique_ptr<draw::RandomSource> random = nullptr, QWidget *parent = nullptr);
    ~MF() override;

    static QString caption() { return QStringLiteral("澄曜抽奖软件操作界面"); }

    // Start or stop, as a click or a key does.
    void ToggleRoll();
    bool isRolling() const { return m_rolling; }
    // One tick of the rolling timer: a fresh pick on show.
    void RollTick();

    draw::DrawSession &session() { return m_session; }
    const appearance::FrameLayout &frameLayout() const { return m_frame; }
    QString numberCaption() const;
    // The built-in picture, or the draw's own when its file could be read.
    bool hasBackground() const { return !m_background.isNull(); }

    // The part of the canvas a tick repaints: the frame and the number.
    QRect numberArea() const { return numberAreaPixels(); }
    QWidget *canvas() const;

    // Paints the background, the frame and the number (the canvas's content).
    void paintCanvas(QPainter &painter, const QRect &area);

signals:
    void closed();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void stopRound();
    void setNumberLines(const QStringList &lines);
    void applyStop(const draw::StopOutcome &outcome);
    void placeBoard();
    void fitNumberLabel();
    void refreshNumberArea();
    QRect numberAreaPixels() const;
    void onPressed(Qt::MouseButton button);

    draw::DrawSession m_session;
    appearance::FrameLayout m_frame;
    QRectF m_numberLabel; // twips
    QStringList m_numberLines;
    QPixmap m_background;
    QPixmap m_scaledBackground;
    QRect m_paintedNumberArea;
    bool m_rolling = false;
    bool m_reverseOrder = false;
    bool m_oneAward = false;
    bool m_hideBoard = false;

    DrawCanvas *m_canvas = nullptr;
    QWidget *m_boardArea = nullptr;
    ClickLabel *m_title = nullptr;
    ClickLabel *m_list = nullptr;
    ClickLabel *m_number = nullptr;
    ClickLabel *m_start = nullptr;
    ClickLabel *m_end = nullptr;
    ClickLabel *m_undo = nullptr;
    QTimer *m_scr = nullptr;
    QTimer *m_fin = nullptr;
};

} // namespace tombolix
