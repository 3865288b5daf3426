#include "common/conventions.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "data/database.h"
#include "drawscreen/boardlist.h"
#include "drawscreen/brdset.h"
#include "drawscreen/frmset.h"
#include "drawscreen/mf.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

using namespace tombolix;

namespace {

QAction *menuItem(MF &screen, const char *name)
{
    return test::menuAction(screen.contextMenu(), name);
}

// The dialog of its kind that is on show (a closed one waits for deletion).
template<typename Dialog> Dialog *shown(MF &screen)
{
    for (Dialog *dialog : screen.findChildren<Dialog *>()) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

void click(QWidget *window, const QString &name)
{
    auto *button = window->findChild<QPushButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList boxes(QWidget *dialog)
{
    QStringList texts;
    for (int i = 0; i < 4; ++i)
        texts << dialog->findChild<QLineEdit *>(QStringLiteral("TT_%1").arg(i))->text();
    return texts;
}

QStringList numbers(const QRectF &twips)
{
    return { numberText(twips.left()), numberText(twips.top()), numberText(twips.width()),
        numberText(twips.height()) };
}

qint64 results(qint64 draw)
{
    return data::CountRows(
        QStringLiteral("结果表"), QStringLiteral("CID=%1").arg(draw), QStringLiteral("ID"));
}

QString frameRecord(qint64 draw)
{
    return data::LookupValue(QStringLiteral("奖次表"), draw, QStringLiteral("ID"), QStringLiteral("FRM"))
        .toString();
}

QString storedBoard(const char *key)
{
    return ReadRegValue(AppName, QStringLiteral("ResultBrd"), QString::fromLatin1(key), QString());
}

// A point of twips in the draw screen's pixels.
QPoint pixels(const QPointF &twips)
{
    return QPoint(qRound(twips.x() / TwipsPerPixel), qRound(twips.y() / TwipsPerPixel));
}

// The operator's mouse on the draw screen, in the screen's pixels: a press
// goes to the widget under the pointer, and the moves and the release of a
// drag follow it there, as Qt's implicit grab does.
class Mouse
{
public:
    explicit Mouse(MF &screen)
        : m_screen(screen)
    { }

    QWidget *press(const QPoint &at, Qt::MouseButton button = Qt::LeftButton)
    {
        m_pressed = m_screen.childAt(at);
        if (!m_pressed)
            return nullptr;
        QTest::mousePress(m_pressed, button, Qt::NoModifier, local(at));
        return m_pressed;
    }
    void move(const QPoint &at) { QTest::mouseMove(m_pressed, local(at)); }
    void release(const QPoint &at, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseRelease(m_pressed, button, Qt::NoModifier, local(at));
        m_pressed = nullptr;
    }
    // Press, move there in two steps, release.
    void drag(const QPoint &from, const QPoint &to)
    {
        press(from);
        move(from + (to - from) / 2);
        move(to);
        release(to);
    }
    // A move with no button down, over whatever lies there; returns it.
    QWidget *hover(const QPoint &at)
    {
        QWidget *widget = m_screen.childAt(at);
        QMouseEvent event(QEvent::MouseMove, widget->mapFrom(&m_screen, QPointF(at)),
            QPointF(m_screen.mapToGlobal(at)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
        return widget;
    }

private:
    QPoint local(const QPoint &at) const { return m_pressed->mapFrom(&m_screen, at); }

    MF &m_screen;
    QWidget *m_pressed = nullptr;
};

} // namespace

class TestLayoutDrag : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void frameIsDraggedAndSizedWithoutARound();
    void frameDragIsStoredOnConfirmOnly();
    void frameStaysOnTheScreenAndGrippable();
    void cursorShowsTheGripWhileTheDialogIsOpen();
    void boardIsDraggedAndSizedFromTitleAndList();
    void boardIsTakenByAllOfItsList();
    void fitScreenPlacesTheFrameAsBuiltIn();

private:
    MF *openScreen(const QSize &size = QSize(1024, 768));

    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
    MF *m_screen = nullptr;
    qint64 m_draw = 0;
};

void TestLayoutDrag::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
    m_draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    m_db->addEntrants(m_draw, 40, 1001);
    // A draw without awards says 抽奖结束 in its banner, over the frame
    // dragged here; the banner is not what these tests drag.
    WriteViewOption(QStringLiteral("AwardBanner"), QStringLiteral("Show"), false);
}

void TestLayoutDrag::cleanup()
{
    delete m_screen;
    m_screen = nullptr;
    delete m_prompts;
    delete m_db;
}

MF *TestLayoutDrag::openScreen(const QSize &size)
{
    m_screen = new MF(m_draw);
    m_screen->setAttribute(Qt::WA_DeleteOnClose, false);
    m_screen->show();
    m_screen->showNormal();
    m_screen->resize(size);
    if (!QTest::qWaitForWindowExposed(m_screen))
        return nullptr;
    QTest::qWait(50);
    return m_screen;
}

void TestLayoutDrag::frameIsDraggedAndSizedWithoutARound()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 3, 1);
    MF &screen = *openScreen();
    Mouse mouse(screen);
    menuItem(screen, "M_FrmSet")->trigger();
    auto *dialog = shown<FRMSet>(screen);
    QVERIFY(dialog);
    const QRectF opened = screen.frameLayout().rect();

    // Moved by 40 x 20 pixels: 600 x 300 twips, the size kept.
    const QPoint middle = pixels(opened.center());
    QCOMPARE(mouse.press(middle), screen.canvas());
    mouse.move(middle + QPoint(10, 5));
    QCOMPARE(screen.frameLayout().Left, float(opened.left() + 150)); // the frame follows the mouse
    mouse.move(middle + QPoint(40, 20));
    mouse.release(middle + QPoint(40, 20));
    const QRectF moved = opened.translated(600, 300);
    QCOMPARE(screen.frameLayout().rect(), moved);
    QCOMPARE(boxes(dialog), numbers(moved));
    QVERIFY(!screen.isRolling());

    // Sized by its bottom right corner, the top left corner kept.
    const QPoint corner = pixels(moved.bottomRight()) - QPoint(1, 1);
    mouse.drag(corner, corner + QPoint(60, 30));
    const QRectF sized(moved.topLeft(), QSizeF(moved.width() + 900, moved.height() + 450));
    QCOMPARE(screen.frameLayout().rect(), sized);
    QCOMPARE(boxes(dialog), numbers(sized));

    // Neither button on the frame reaches the round or the menu.
    mouse.press(middle, Qt::RightButton);
    mouse.release(middle, Qt::RightButton);
    QVERIFY(!screen.contextMenu()->isVisible());
    mouse.press(middle);
    mouse.release(middle);
    QTest::mouseDClick(screen.canvas(), Qt::LeftButton, Qt::NoModifier, middle);
    QTest::mouseRelease(screen.canvas(), Qt::LeftButton, Qt::NoModifier, middle);
    QVERIFY(!screen.isRolling());
    QCOMPARE(results(m_draw), 0);
    QCOMPARE(screen.frameLayout().rect(), sized); // a click is a drag of no distance

    // Elsewhere the right button opens the menu, and a slip of the left one
    // draws no one while the dialog is open.
    const QPoint away(pixels(sized.bottomLeft()) + QPoint(0, 80));
    mouse.press(away, Qt::RightButton);
    mouse.release(away, Qt::RightButton);
    QVERIFY(screen.contextMenu()->isVisible());
    screen.contextMenu()->hide();
    mouse.press(away);
    mouse.release(away);
    QVERIFY(!screen.isRolling());
    QCOMPARE(results(m_draw), 0);

    // 取消 keeps the dragged frame on screen and stores nothing; afterwards
    // a press on the frame is a press on the picture again.
    click(dialog, QStringLiteral("Com_1"));
    QVERIFY(frameRecord(m_draw).isEmpty());
    QCOMPARE(screen.frameLayout().rect(), sized);
    mouse.press(middle);
    mouse.move(middle + QPoint(50, 50));
    mouse.release(middle + QPoint(50, 50));
    QVERIFY(screen.isRolling());
    QCOMPARE(screen.frameLayout().rect(), sized);
    screen.ToggleRoll();
}

void TestLayoutDrag::frameDragIsStoredOnConfirmOnly()
{
    MF &screen = *openScreen();
    Mouse mouse(screen);
    menuItem(screen, "M_FrmSet")->trigger();
    auto *dialog = shown<FRMSet>(screen);
    QVERIFY(dialog);
    const QRectF before = screen.frameLayout().rect();
    const QPoint topLeft = pixels(before.topLeft());
    mouse.drag(topLeft, topLeft + QPoint(-20, 10));
    // 20 pixels left and 10 down, the opposite corner where it was.
    const QRectF expected(
        before.left() - 300, before.top() + 150, before.width() + 300, before.height() - 150);
    const QStringList dragged = boxes(dialog);
    QCOMPARE(dragged, numbers(expected));
    QVERIFY(frameRecord(m_draw).isEmpty());
    click(dialog, QStringLiteral("Com_0"));
    QCOMPARE(frameRecord(m_draw).section(appearance::FieldSeparator, 0, 3),
        dragged.join(appearance::FieldSeparator));
    QCOMPARE(screen.frameLayout().rect(), expected);
}

void TestLayoutDrag::frameStaysOnTheScreenAndGrippable()
{
    MF &screen = *openScreen();
    Mouse mouse(screen);
    menuItem(screen, "M_FrmSet")->trigger();
    auto *dialog = shown<FRMSet>(screen);
    QVERIFY(dialog);
    const QRectF opened = screen.frameLayout().rect();
    const QPoint middle = pixels(opened.center());
    mouse.drag(middle, middle + QPoint(-500, -500));
    QCOMPARE(screen.frameLayout().rect(), QRectF(QPointF(0, 0), opened.size()));

    // Dragged past the bottom right, it stops with its edge on the screen's.
    mouse.drag(pixels(opened.center()) - pixels(opened.topLeft()), QPoint(3000, 3000));
    QCOMPARE(screen.frameLayout().Left + screen.frameLayout().Width, float(1024 * TwipsPerPixel));
    QCOMPARE(screen.frameLayout().Top + screen.frameLayout().Height, float(768 * TwipsPerPixel));
    QCOMPARE(screen.frameLayout().Width, float(opened.width()));

    // Sized down past its own left edge: 16 pixels wide, never the 4500 twips
    // a width of 15 or less would be repaired to.
    const QRectF atCorner = screen.frameLayout().rect();
    const QPoint right = pixels(QPointF(atCorner.right(), atCorner.center().y())) - QPoint(1, 0);
    mouse.drag(right, right - QPoint(1000, 0));
    QCOMPARE(screen.frameLayout().Width, 240.0f);
    QCOMPARE(boxes(dialog).at(2), QStringLiteral("240"));
    QCOMPARE(screen.frameLayout().Left, float(atCorner.left()));
    click(dialog, QStringLiteral("Com_1"));
}

void TestLayoutDrag::cursorShowsTheGripWhileTheDialogIsOpen()
{
    MF &screen = *openScreen();
    Mouse mouse(screen);
    QWidget *canvas = screen.canvas();
    const bool tracking = canvas->hasMouseTracking();
    menuItem(screen, "M_FrmSet")->trigger();
    auto *dialog = shown<FRMSet>(screen);
    QVERIFY(dialog);
    const QRectF frame = screen.frameLayout().rect();
    QVERIFY(canvas->hasMouseTracking());
    const struct
    {
        QPointF twips;
        Qt::CursorShape shape;
    } cases[] = {
        { frame.center(), Qt::SizeAllCursor },
        { QPointF(frame.left(), frame.center().y()), Qt::SizeHorCursor },
        { QPointF(frame.right() + 60, frame.center().y()), Qt::SizeHorCursor },
        { QPointF(frame.center().x(), frame.bottom()), Qt::SizeVerCursor },
        { frame.topLeft(), Qt::SizeFDiagCursor },
        { frame.bottomRight(), Qt::SizeFDiagCursor },
        { frame.topRight(), Qt::SizeBDiagCursor },
        { frame.bottomLeft() + QPointF(0, 300), Qt::ArrowCursor },
    };
    for (const auto &c : cases) {
        QCOMPARE(mouse.hover(pixels(c.twips)), canvas);
        QCOMPARE(canvas->cursor().shape(), c.shape);
    }
    mouse.hover(pixels(frame.center()));
    click(dialog, QStringLiteral("Com_1"));
    // Closed: the mouse is the picture's again.
    QVERIFY(!canvas->testAttribute(Qt::WA_SetCursor));
    QCOMPARE(canvas->hasMouseTracking(), tracking);
    mouse.hover(pixels(frame.center()));
    QVERIFY(!canvas->testAttribute(Qt::WA_SetCursor));
}

void TestLayoutDrag::boardIsDraggedAndSizedFromTitleAndList()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 3, 1);
    MF &screen = *openScreen();
    Mouse mouse(screen);
    auto *title = screen.findChild<QLabel *>(QStringLiteral("LL_0"));
    auto *list = screen.findChild<QLabel *>(QStringLiteral("LL_1"));
    menuItem(screen, "M_BRD")->trigger();
    auto *dialog = shown<BRDSet>(screen);
    QVERIFY(dialog);
    const QRectF opened = screen.boardTitleTwips();
    QCOMPARE(boxes(dialog), numbers(opened));

    // Taken by the title and moved 30 pixels left, 15 down.
    const QPoint middle = pixels(opened.center());
    QCOMPARE(mouse.press(middle), title);
    mouse.move(middle + QPoint(-30, 15));
    mouse.release(middle + QPoint(-30, 15));
    const QRectF moved = opened.translated(-450, 225);
    QCOMPARE(boxes(dialog), numbers(moved));
    QCOMPARE(screen.boardTitleTwips(), moved);
    QCOMPARE(list->geometry().top(), title->geometry().bottom() + 1); // the list hangs below the title

    // The title's bottom edge, taken just below it on the list, sets the title's height.
    const QPoint bottom = pixels(QPointF(moved.center().x(), moved.bottom())) + QPoint(0, 3);
    QCOMPARE(mouse.press(bottom), list);
    mouse.move(bottom + QPoint(0, 20));
    mouse.release(bottom + QPoint(0, 20));
    const QRectF taller(moved.topLeft(), QSizeF(moved.width(), moved.height() + 300));
    QCOMPARE(boxes(dialog), numbers(taller));
    QCOMPARE(list->geometry().top() * TwipsPerPixel, qRound(taller.bottom()));

    // The list's right edge, far below the title, sets the board's width;
    // a press in the list's middle moves the whole board.
    const QPoint right = pixels(QPointF(taller.right(), taller.bottom() + 3000)) - QPoint(2, 0);
    QCOMPARE(mouse.press(right), list);
    mouse.move(right + QPoint(50, 0));
    mouse.release(right + QPoint(50, 0));
    const QRectF wider(taller.topLeft(), QSizeF(taller.width() + 750, taller.height()));
    QCOMPARE(boxes(dialog), numbers(wider));
    const QPoint inList = pixels(QPointF(wider.center().x(), wider.bottom() + 2000));
    mouse.drag(inList, inList + QPoint(-10, -10));
    const QRectF placed = wider.translated(-150, -150);
    QCOMPARE(boxes(dialog), numbers(placed));
    QCOMPARE(title->geometry().width() * TwipsPerPixel, qRound(placed.width()));
    QCOMPARE(list->geometry().left(), title->geometry().left());
    QCOMPARE(list->geometry().width(), title->geometry().width());

    // No button on the board starts a round or opens the menu.
    mouse.press(inList, Qt::RightButton);
    mouse.release(inList, Qt::RightButton);
    QVERIFY(!screen.contextMenu()->isVisible());
    QVERIFY(!screen.isRolling());
    QCOMPARE(results(m_draw), 0);
    QVERIFY(storedBoard("Left").isEmpty());

    click(dialog, QStringLiteral("Com_0"));
    QCOMPARE((QStringList {
                 storedBoard("Left"), storedBoard("Top"), storedBoard("Width"), storedBoard("Height") }),
        numbers(placed));
    // Closed: a press on the board is a press again.
    mouse.press(inList);
    mouse.release(inList);
    QVERIFY(screen.isRolling());
    screen.ToggleRoll();
}

// Placed afresh, the list spans the board area, wider than the title above it.
void TestLayoutDrag::boardIsTakenByAllOfItsList()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 3, 1);
    MF &screen = *openScreen();
    Mouse mouse(screen);
    auto *list = screen.findChild<BoardList *>(QStringLiteral("LL_1"));
    menuItem(screen, "M_BRD")->trigger();
    auto *dialog = shown<BRDSet>(screen);
    QVERIFY(dialog);
    const QRectF opened = screen.boardTitleTwips();
    const QPoint aside = list->room().topLeft() + QPoint(5, 50);
    QVERIFY(aside.x() * TwipsPerPixel < opened.left() - 8 * TwipsPerPixel); // beside the title's column
    QCOMPARE(mouse.hover(aside), list);
    QCOMPARE(list->cursor().shape(), Qt::SizeAllCursor);
    QCOMPARE(mouse.press(aside), list);
    mouse.move(aside + QPoint(20, 10));
    mouse.release(aside + QPoint(20, 10));
    QCOMPARE(boxes(dialog), numbers(opened.translated(300, 150)));
    QVERIFY(!screen.isRolling());

    // With the board hidden, there is nothing to take.
    menuItem(screen, "M_HideList")->trigger();
    const QPoint title = pixels(screen.boardTitleTwips().center());
    QCOMPARE(mouse.press(title), screen.canvas());
    mouse.release(title);
    QVERIFY(!screen.isRolling());
    QCOMPARE(boxes(dialog), numbers(opened.translated(300, 150)));
    menuItem(screen, "M_HideList")->trigger();
    click(dialog, QStringLiteral("Com_0"));
    QVERIFY(!list->testAttribute(Qt::WA_SetCursor));
}

void TestLayoutDrag::fitScreenPlacesTheFrameAsBuiltIn()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 5, 5);
    m_db->addAward(m_draw, 2, QStringLiteral("二等奖"), 1, 1);
    MF &screen = *openScreen(QSize(1920, 1080));
    QCOMPARE(screen.size(), QSize(1920, 1080));
    menuItem(screen, "M_FrmSet")->trigger();
    auto *dialog = shown<FRMSet>(screen);
    QVERIFY(dialog);
    const QRectF builtIn = screen.frameLayout().rect();
    click(dialog, QStringLiteral("fitScreen"));
    const QRectF fitted = screen.frameLayout().rect();
    QCOMPARE(fitted.topLeft(), builtIn.topLeft());
    QCOMPARE(fitted.width(), builtIn.width());
    QCOMPARE(boxes(dialog), numbers(fitted));
    // Five lines of the number font, printed as the frame prints them, or
    // down to the screen's foot when they need more.
    const QFontMetricsF metrics(screen.elementFont(MF::Element::Number).font);
    const double pitch = metrics.height() * TwipsPerPixel - 20;
    QVERIFY(fitted.bottom() <= (1080 - 54) * TwipsPerPixel);
    QVERIFY(fitted.bottom() == (1080 - 54) * TwipsPerPixel || fitted.height() > 5 * pitch + 40);
    QVERIFY(fitted.height() < 6 * pitch + 40);
    // Clear of the banner and the board's title.
    for (const char *name : { "awardBanner", "LL_0" }) {
        const QRect other = screen.findChild<QWidget *>(QString::fromLatin1(name))->geometry();
        QVERIFY2(!QRectF(other.x() * 15.0, other.y() * 15.0, other.width() * 15.0, other.height() * 15.0)
                      .intersects(fitted),
            name);
    }
    click(dialog, QStringLiteral("Com_0"));
    QCOMPARE(frameRecord(m_draw).section(appearance::FieldSeparator, 0, 3),
        boxes(dialog).join(appearance::FieldSeparator));

    // A round of five shows its five winners in the fitted frame.
    Mouse mouse(screen);
    const QPoint picture(100, 1000);
    mouse.press(picture);
    mouse.release(picture);
    QTest::qWait(60);
    mouse.press(picture);
    mouse.release(picture);
    QCOMPARE(screen.numberCaption().split(QStringLiteral("\r\n")).size(), 5);
    QTest::qWait(50);
    test::saveShot(&screen, QStringLiteral("MF-stage-fit-screen"));

    // The next award draws one at a time: a frame for one line.
    menuItem(screen, "M_FrmSet")->trigger();
    dialog = shown<FRMSet>(screen);
    QVERIFY(dialog);
    click(dialog, QStringLiteral("fitScreen"));
    const QRectF single = screen.frameLayout().rect();
    QCOMPARE(single.width(), fitted.width());
    QVERIFY(single.height() > pitch + 40 && single.height() < 2 * pitch + 40);
    QCOMPARE(single.top(), fitted.top());
    click(dialog, QStringLiteral("Com_1"));
}

QTEST_MAIN(TestLayoutDrag)
#include "tst_layoutdrag.moc"
