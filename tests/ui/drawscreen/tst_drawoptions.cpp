#include "common/conventions.h"
#include "common/indicator.h"
#include "common/prompts.h"
#include "common/qtprompts.h"
#include "common/settingsstore.h"
#include "data/database.h"
#include "drawscreen/brdset.h"
#include "drawscreen/delaward.h"
#include "drawscreen/frmset.h"
#include "drawscreen/mf.h"
#include "grid/gridmodel.h"
#include "support/testsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <set>

using namespace tombolix;

namespace {

QAction *menuItem(MF &screen, const char *name)
{
    return test::menuAction(screen.contextMenu(), name);
}

template<typename Dialog> Dialog *openDialog(MF &screen)
{
    return screen.findChild<Dialog *>();
}

void click(QWidget *window, const QString &name)
{
    auto *button = window->findChild<QPushButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
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

// Opens 取消结果 the way the operator does.
DelAward *openWithdrawal(MF &screen)
{
    QTest::mouseClick(screen.findChild<QLabel *>(QStringLiteral("AwardUndo")), Qt::LeftButton);
    for (DelAward *dialog : screen.findChildren<DelAward *>()) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Ticks the mark cell of a grid row with a click on the view.
void tick(DelAward *dialog, int gridRow)
{
    auto *view = dialog->findChild<QAbstractItemView *>(QStringLiteral("MSF"));
    const QModelIndex cell = view->model()->index(dialog->grid()->modelRow(gridRow), 3);
    view->scrollTo(cell);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(cell).center());
}

// Plays a round with two clicks on the picture.
void playRound(MF &screen)
{
    QWidget *picture = screen.findChild<QWidget *>(QStringLiteral("bIMG"));
    QTest::mouseClick(picture, Qt::LeftButton);
    QTest::qWait(30);
    QTest::mouseClick(picture, Qt::LeftButton);
}

} // namespace

class TestDrawOptions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void menuItemsInOrderWithStoredChecks();
    void checkMarksAreStoredAndHideActsAtOnce();
    void fontsAreChosenStoredAndAppliedAtActivation();
    void layoutDialogEditsLiveAndStoresOnConfirm();
    void layoutDialogShowsTheStoredTextsAndTheChosenColour();
    void paintingLeavesTheFrameAsItStands();
    void boardDialogPlacesLiveAndStoresOnConfirm();
    void fontsAndRefreshKeepTheTypedPlacement();
    void noRoundWhileALayoutDialogIsOpen();
    void fontDialogKeepsBoldAndItalic();
    void activationResetsTheBoardTitle();
    void markupInNamesShowsAsTyped();
    void oneSettingsWindowOfEachKind();
    void withdrawingAWinnerRedrawsThePlace();
    void refusedWithdrawalChangesNothing();
    void aWithdrawalKeepsItsReason_data();
    void aWithdrawalKeepsItsReason();
    void withdrawalRebuildsTheBoardOfTheAwardThatWasCurrent();
    void pressedWhileWithdrawalsLoad_data();
    void pressedWhileWithdrawalsLoad();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
    qint64 m_draw = 0;
};

void TestDrawOptions::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
    m_draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("10"), QStringLiteral("0**"),
        QStringLiteral("0"), QStringLiteral("6"));
    for (int i = 1; i <= 12; ++i)
        m_db->addEntrant(m_draw, QString::number(100 + i), QStringLiteral("员工%1").arg(i));
}

void TestDrawOptions::cleanup()
{
    data::setReadOnlyForTesting(false);
    delete m_prompts;
    delete m_db;
}

void TestDrawOptions::menuItemsInOrderWithStoredChecks()
{
    WriteRegValue(AppName, QStringLiteral("ResultOrder"), QStringLiteral("Order"), QStringLiteral("true"));
    WriteRegValue(
        AppName, QStringLiteral("ResultOneAward"), QStringLiteral("OneAward"), QStringLiteral("True"));
    MF screen(m_draw);
    QStringList names;
    for (QAction *action : screen.contextMenu()->actions()) {
        if (!action->isSeparator())
            names << action->text();
    }
    QCOMPARE(names,
        (QStringList { QStringLiteral("只显示当前奖项名单"), QStringLiteral("公告标题字体"),
            QStringLiteral("公告内容字体"), QStringLiteral("抽奖号码字体"), QStringLiteral("当前奖项字体"),
            QStringLiteral("抽奖框设置"), QStringLiteral("公告板设置"), QStringLiteral("屏幕刷新"),
            QStringLiteral("隐藏公告"), QStringLiteral("名单反序"), QStringLiteral("号码后显示姓名"),
            QStringLiteral("显示当前奖项"), QStringLiteral("公告分栏"), QStringLiteral("静音"),
            QStringLiteral("退出抽奖") }));
    QVERIFY(menuItem(screen, "m_Order")->isChecked());
    QVERIFY(!menuItem(screen, "m_OneAward")->isChecked()); // "True" is not "true"
    QVERIFY(!menuItem(screen, "M_HideList")->isChecked());
    screen.resize(1024, 640);
    screen.show();
    screen.popupMenu(screen.mapToGlobal(QPoint(300, 300)));
    QTest::qWait(50);
    test::saveShot(screen.contextMenu(), QStringLiteral("MF-menu"));
    screen.contextMenu()->hide();
}

void TestDrawOptions::checkMarksAreStoredAndHideActsAtOnce()
{
    MF screen(m_draw);
    screen.show();
    menuItem(screen, "m_Order")->trigger();
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ResultOrder"), QStringLiteral("Order"), QString()),
        QStringLiteral("true"));
    menuItem(screen, "m_Order")->trigger();
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ResultOrder"), QStringLiteral("Order"), QString()),
        QStringLiteral("false"));
    auto *title = screen.findChild<QLabel *>(QStringLiteral("LL_0"));
    QVERIFY(title->isVisible());
    menuItem(screen, "M_HideList")->trigger();
    QVERIFY(!title->isVisible());
    QVERIFY(!screen.findChild<QLabel *>(QStringLiteral("LL_1"))->isVisible());
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ListHide"), QStringLiteral("Hide"), QString()),
        QStringLiteral("true"));
    menuItem(screen, "M_HideList")->trigger();
    QVERIFY(title->isVisible());
    menuItem(screen, "m_Exit")->trigger();
    QVERIFY(!screen.isVisible());
}

void TestDrawOptions::fontsAreChosenStoredAndAppliedAtActivation()
{
    {
        MF screen(m_draw);
        screen.show();
        m_prompts->queueFont(std::nullopt); // cancelled: nothing stored
        QVERIFY(!screen.chooseFont(MF::Element::List));
        QVERIFY(
            data::LookupValue(QStringLiteral("奖次表"), m_draw, QStringLiteral("ID"), QStringLiteral("L1"))
                .isNull());

        FontChoice choice;
        choice.font = QFont(QStringLiteral("WenQuanYi Micro Hei"));
        choice.font.setPointSizeF(30);
        choice.font.setUnderline(true);
        choice.colour = 0x00FF00;
        m_prompts->queueFont(choice);
        menuItem(screen, "M_CFont")->trigger();
        QVERIFY(
            data::LookupValue(QStringLiteral("奖次表"), m_draw, QStringLiteral("ID"), QStringLiteral("L2"))
                .toString()
                .startsWith(QStringLiteral("WenQuanYi Micro Hei】【")));
        QCOMPARE(screen.elementFont(MF::Element::Number).font.pointSizeF(), 30.0);
    }
    // The next draw screen applies it when it becomes active.
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET L0=? WHERE ID=?"),
        { QStringLiteral("Serif】【√】【】【44】【】【】【255"), m_draw }));
    MF screen(m_draw);
    screen.show();
    QApplication::setActiveWindow(&screen);
    QTRY_COMPARE(screen.elementFont(MF::Element::Title).font.pointSizeF(), 44.0);
    QCOMPARE(screen.elementFont(MF::Element::Title).colour, qint64(255));
    QCOMPARE(screen.elementFont(MF::Element::Number).colour, qint64(0x00FF00));
    QVERIFY(screen.elementFont(MF::Element::Number).font.underline());
}

void TestDrawOptions::layoutDialogEditsLiveAndStoresOnConfirm()
{
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    // Before the first round the frame shows zeros as the draw shows its
    // numbers: six long (定长 6), masked with 0**.
    QCOMPARE(screen.numberCaption(), QStringLiteral("0**000"));
    menuItem(screen, "M_FrmSet")->trigger();
    auto *dialog = openDialog<FRMSet>(screen);
    QVERIFY(dialog);
    auto *width = dialog->findChild<QLineEdit *>(QStringLiteral("TT_2"));
    // The built-in frame as it is on this screen, 1280 x 720.
    QCOMPARE(width->text(), QStringLiteral("7949"));
    width->setText(QStringLiteral("6000"));
    QCOMPARE(screen.frameLayout().Width, 6000.0f); // at once, on screen
    dialog->findChild<QLineEdit *>(QStringLiteral("TT_3"))->setText(QString());
    QCOMPARE(screen.frameLayout().Height, 750.0f); // a cleared height is repaired at once
    test::saveShot(dialog, QStringLiteral("FRMSet"));
    click(dialog, QStringLiteral("Com_1"));
    QVERIFY(frameRecord(m_draw).isEmpty()); // cancelled: nothing stored
    QCOMPARE(screen.frameLayout().Width, 6000.0f); // but it stays on screen

    menuItem(screen, "M_FrmSet")->trigger();
    dialog = openDialog<FRMSet>(screen);
    dialog->findChild<QCheckBox *>(QStringLiteral("CK_0"))->setChecked(true);
    dialog->findChild<QCheckBox *>(QStringLiteral("CK_1"))->setChecked(true);
    dialog->findChild<QLineEdit *>(QStringLiteral("TT_0"))->setText(QStringLiteral("1500"));
    m_prompts->queueColour(QColor(255, 0, 0));
    QTest::mouseClick(dialog->findChild<QLabel *>(QStringLiteral("LClr")), Qt::LeftButton);
    QCOMPARE(screen.frameLayout().BackColor, 255);
    click(dialog, QStringLiteral("Com_0"));
    QCOMPARE(frameRecord(m_draw), QStringLiteral("1500】【2592】【6000】【750】【1】【255】【0"));
    test::saveShot(&screen, QStringLiteral("MF-custom-layout"));
}

void TestDrawOptions::layoutDialogShowsTheStoredTextsAndTheChosenColour()
{
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET FRM=? WHERE ID=?"),
        { QStringLiteral("12.3】【1920.7】【5175.1】【975】【】【255】【1"), m_draw }));
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    menuItem(screen, "M_FrmSet")->trigger();
    auto *dialog = openDialog<FRMSet>(screen);
    QVERIFY(dialog);
    QStringList shown;
    for (int i = 0; i < 4; ++i)
        shown << dialog->findChild<QLineEdit *>(QStringLiteral("TT_%1").arg(i))->text();
    QCOMPARE(shown,
        (QStringList { QStringLiteral("12.3"), QStringLiteral("1920.7"), QStringLiteral("5175.1"),
            QStringLiteral("975") }));

    // The chosen colour shows on the colour button and the swatch, and
    // becomes the frame's and the number's back colour.
    const QColor green(0, 160, 64);
    m_prompts->queueColour(green);
    auto *colourButton = dialog->findChild<QLabel *>(QStringLiteral("LClr"));
    QTest::mouseClick(colourButton, Qt::LeftButton);
    auto colourOf = [](QWidget *widget) { return QColor(widget->grab().toImage().pixel(1, 1)); };
    QCOMPARE(colourOf(colourButton), green);
    QCOMPARE(colourOf(dialog->findChild<QLabel *>(QStringLiteral("Shp"))), green);
    QCOMPARE(colorFromStored(screen.frameLayout().BackColor), green);
    QCOMPARE(screen.findChild<QLabel *>(QStringLiteral("LL_2"))->palette().color(QPalette::Window), green);
    test::saveShot(dialog, QStringLiteral("FRMSet-colour"));

    click(dialog, QStringLiteral("Com_0"));
    QCOMPARE(frameRecord(m_draw), QStringLiteral("12.3】【1920.7】【5175.1】【975】【0】【4235264】【1"));
}

// The frame is repaired, fitted and grown where it changes (loading, a tick,
// an edit); painting the screen, however often, changes none of it.
void TestDrawOptions::paintingLeavesTheFrameAsItStands()
{
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET FRM=? WHERE ID=?"),
        { QStringLiteral("840】【1920】【0】【10】【1】【255】【1"), m_draw }));
    m_db->addAward(m_draw, 1, QStringLiteral("A"), 6, 3);
    MF screen(m_draw);
    // Repaired on loading, before anything is painted: a later save stores it.
    QCOMPARE(screen.frameLayout().Width, 4500.0f);
    QCOMPARE(screen.frameLayout().Height, 750.0f);
    screen.resize(1280, 720);
    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    auto *number = screen.findChild<QLabel *>(QStringLiteral("LL_2"));

    auto paintTwice = [&screen] {
        for (int i = 0; i < 2; ++i) {
            const QImage painted = screen.grab().toImage();
            QVERIFY(!painted.isNull());
        }
    };
    const appearance::FrameLayout loaded = screen.frameLayout();
    const QRect label = number->geometry();
    paintTwice();
    QVERIFY(screen.frameLayout() == loaded);
    QCOMPARE(number->geometry(), label);

    // A tick of an auto-fitting frame grows it to the three lines on show.
    screen.ToggleRoll();
    screen.RollTick();
    QCOMPARE(screen.numberCaption().count(QStringLiteral("\r\n")), 2);
    const appearance::FrameLayout grown = screen.frameLayout();
    QVERIFY(grown.Height > 750.0f);
    const QString caption = screen.numberCaption();
    paintTwice();
    QVERIFY(screen.frameLayout() == grown);
    QCOMPARE(screen.numberCaption(), caption);

    // A frame changed without frameChanged() is painted as it stands; the
    // repair waits for frameChanged().
    screen.frameLayout().Width = 0;
    paintTwice();
    QCOMPARE(screen.frameLayout().Width, 0.0f);
    screen.frameChanged();
    QCOMPARE(screen.frameLayout().Width, 4500.0f);
    screen.ToggleRoll();
}

void TestDrawOptions::boardDialogPlacesLiveAndStoresOnConfirm()
{
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    menuItem(screen, "M_BRD")->trigger();
    auto *dialog = openDialog<BRDSet>(screen);
    QVERIFY(dialog);
    const QRectF before = screen.boardTitleTwips();
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("TT_0"))->text(),
        QString::number(qRound(before.left())));
    dialog->findChild<QLineEdit *>(QStringLiteral("TT_3"))->setText(QStringLiteral("600"));
    auto *list = screen.findChild<QLabel *>(QStringLiteral("LL_1"));
    QCOMPARE(list->y() * 15, qRound(before.top() + 600));
    dialog->findChild<QLineEdit *>(QStringLiteral("TT_0"))->setText(QStringLiteral("300"));
    QCOMPARE(screen.findChild<QLabel *>(QStringLiteral("LL_0"))->x(), 20);
    test::saveShot(dialog, QStringLiteral("BRDSet"));
    click(dialog, QStringLiteral("Com_0"));
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Left"), QString()),
        QStringLiteral("300"));
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Height"), QString()),
        QStringLiteral("600"));
}

void TestDrawOptions::fontsAndRefreshKeepTheTypedPlacement()
{
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    QApplication::setActiveWindow(&screen);
    menuItem(screen, "M_BRD")->trigger();
    auto *dialog = openDialog<BRDSet>(screen);
    QVERIFY(dialog);
    const QStringList typed { QStringLiteral("300"), QStringLiteral("1500"), QStringLiteral("6000"),
        QStringLiteral("900") };
    for (int i = 0; i < 4; ++i) {
        auto *box = dialog->findChild<QLineEdit *>(QStringLiteral("TT_%1").arg(i));
        box->selectAll();
        QTest::keyClicks(box, typed.at(i));
    }
    auto *title = screen.findChild<QLabel *>(QStringLiteral("LL_0"));
    auto *list = screen.findChild<QLabel *>(QStringLiteral("LL_1"));
    const QRect titlePlace(20, 100, 400, 60); // the typed twips in pixels
    QCOMPARE(title->geometry(), titlePlace);
    const QRect listPlace = list->geometry();
    QCOMPARE(listPlace.top(), 160);

    FontChoice big;
    big.font = QFont(QStringLiteral("WenQuanYi Micro Hei"));
    big.font.setPointSizeF(48);
    big.colour = 0x00FFFF;
    m_prompts->queueFont(big);
    m_prompts->queueFont(big);
    click(dialog, QStringLiteral("Com_1")); // 标题
    click(dialog, QStringLiteral("Com_2")); // 内容
    QCOMPARE(screen.elementFont(MF::Element::Title).font.pointSizeF(), 48.0);
    QCOMPARE(screen.elementFont(MF::Element::List).font.pointSizeF(), 48.0);
    QCOMPARE(title->geometry(), titlePlace);
    QCOMPARE(list->geometry(), listPlace);

    menuItem(screen, "M_Refresh")->trigger();
    QCOMPARE(title->geometry(), titlePlace);
    QCOMPARE(list->geometry(), listPlace);

    // The screen activated again, as a click on it does, keeps the typed place.
    QWidget elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    QApplication::setActiveWindow(&screen);
    QTRY_VERIFY(screen.isActiveWindow());
    QCOMPARE(title->geometry(), titlePlace);
    QCOMPARE(list->geometry(), listPlace);
}

void TestDrawOptions::noRoundWhileALayoutDialogIsOpen()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 3, 1);
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    QApplication::setActiveWindow(&screen);
    for (const char *item : { "M_FrmSet", "M_BRD" }) {
        menuItem(screen, item)->trigger();
        QWidget *dialog = qobject_cast<QWidget *>(screen.findChild<FRMSet *>());
        if (QByteArray(item) == "M_BRD")
            dialog = screen.findChild<BRDSet *>();
        QVERIFY(dialog && dialog->isVisible());
        QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, QPoint(1200, 700));
        QTest::keyClick(&screen, Qt::Key_Space);
        QTest::mouseClick(screen.findChild<QLabel *>(QStringLiteral("lStart")), Qt::LeftButton);
        QVERIFY2(!screen.isRolling(), item);
        dialog->close();
        QTest::keyClick(&screen, Qt::Key_Space);
        QVERIFY2(screen.isRolling(), item);
        QTest::keyClick(&screen, Qt::Key_Space);
    }
    QCOMPARE(results(m_draw), qint64(2));
}

void TestDrawOptions::fontDialogKeepsBoldAndItalic()
{
    // Qt's own dialogs, as the operator sees them: Enter confirms the font
    // dialog unchanged, then the colour dialog.
    QtPrompts real;
    Prompts *scripted = setPrompts(&real);
    const auto restore = qScopeGuard([scripted] { setPrompts(scripted); });
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    QApplication::setActiveWindow(&screen);
    QVERIFY(screen.elementFont(MF::Element::Title).font.bold());
    int dialogs = 0;
    QStringList offered; // the fonts offered whose family has a bold face, and whether as bold
    QTimer confirm;
    QObject::connect(&confirm, &QTimer::timeout, [&dialogs, &offered] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            if (auto *dialog = qobject_cast<QFontDialog *>(modal)) {
                const QFont font = dialog->currentFont();
                if (QFontDatabase::styles(font.family()).contains(QStringLiteral("Bold")))
                    offered << font.family() + (font.bold() ? QStringLiteral(" bold") : QString());
            }
            QTest::keyClick(modal, Qt::Key_Return);
            ++dialogs;
        }
    });
    confirm.start(50);
    menuItem(screen, "M_TFont")->trigger();
    QCOMPARE(dialogs, 2);
    for (const QString &font : std::as_const(offered))
        QVERIFY2(font.endsWith(QStringLiteral(" bold")), qPrintable(font));
    QVERIFY(screen.elementFont(MF::Element::Title).font.bold());
    const QStringList stored
        = data::LookupValue(QStringLiteral("奖次表"), m_draw, QStringLiteral("ID"), QStringLiteral("L0"))
              .toString()
              .split(QStringLiteral("】【"));
    QCOMPARE(stored.value(1), QStringLiteral("√"));

    // A face without bold or italic of its own keeps them as they were.
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET L1=? WHERE ID=?"),
        { QStringLiteral("WenQuanYi Micro Hei】【√】【√】【20】【】【】【16777215"), m_draw }));
    QWidget elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    QApplication::setActiveWindow(&screen);
    QTRY_VERIFY(screen.elementFont(MF::Element::List).font.italic());
    menuItem(screen, "M_ConFont")->trigger();
    QCOMPARE(dialogs, 4);
    QVERIFY(screen.elementFont(MF::Element::List).font.bold());
    QVERIFY(screen.elementFont(MF::Element::List).font.italic());
}

void TestDrawOptions::activationResetsTheBoardTitle()
{
    WriteRegValue(
        AppName, QStringLiteral("ResultOneAward"), QStringLiteral("OneAward"), QStringLiteral("true"));
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 3, 1);
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    QApplication::setActiveWindow(&screen);
    auto *title = screen.findChild<QLabel *>(QStringLiteral("LL_0"));
    playRound(screen);
    QCOMPARE(title->text(), QStringLiteral("一等奖获奖名单"));

    QWidget elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    QApplication::setActiveWindow(&screen);
    QTRY_COMPARE(title->text(), QStringLiteral("获奖名单"));
    // The next stop names the award again.
    playRound(screen);
    QCOMPARE(title->text(), QStringLiteral("一等奖获奖名单"));
}

void TestDrawOptions::markupInNamesShowsAsTyped()
{
    WriteRegValue(
        AppName, QStringLiteral("ResultOneAward"), QStringLiteral("OneAward"), QStringLiteral("true"));
    const qint64 draw = m_db->addDraw(QStringLiteral("<h1>年会</h1>"));
    m_db->addEntrant(draw, QStringLiteral("<u>001</u>"), QStringLiteral("<i>张三</i>"));
    m_db->addAward(draw, 1, QStringLiteral("<b>一等奖</b>"), 1, 1, true, false,
        QStringLiteral("<font color=red>汽车</font>"));
    MF screen(draw);
    screen.resize(1280, 720);
    screen.show();
    playRound(screen);

    // A label shows its text as typed when it measures as that text in plain
    // form would; as markup, the tags vanish and the lines run together.
    auto showsAsTyped = [](QLabel *label) {
        QLabel plain;
        plain.setTextFormat(Qt::PlainText);
        plain.setFont(label->font());
        plain.setStyleSheet(label->styleSheet());
        plain.setText(label->text());
        return plain.sizeHint() == label->sizeHint();
    };
    auto *title = screen.findChild<QLabel *>(QStringLiteral("LL_0"));
    auto *board = screen.findChild<QLabel *>(QStringLiteral("LL_1"));
    auto *number = screen.findChild<QLabel *>(QStringLiteral("LL_2"));
    QCOMPARE(title->text(), QStringLiteral("<b>一等奖</b>获奖名单"));
    QCOMPARE(board->text(),
        QStringLiteral("<b>一等奖</b>(奖品：<font color=red>汽车</font>)\r\n"
                       "     <u>001</u>(<i>张三</i>)\r\n"));
    QCOMPARE(number->text(), QStringLiteral("<u>001</u>"));
    for (QLabel *label : { title, board, number })
        QVERIFY2(showsAsTyped(label), qPrintable(label->objectName()));
    test::saveShot(&screen, QStringLiteral("MF-markup-names"));
}

template<typename Dialog> int visibleCount(MF &screen)
{
    int visible = 0;
    for (Dialog *dialog : screen.findChildren<Dialog *>())
        visible += dialog->isVisible();
    return visible;
}

void TestDrawOptions::oneSettingsWindowOfEachKind()
{
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    menuItem(screen, "M_FrmSet")->trigger();
    menuItem(screen, "M_FrmSet")->trigger();
    menuItem(screen, "M_BRD")->trigger();
    menuItem(screen, "M_BRD")->trigger();
    auto *undo = screen.findChild<QLabel *>(QStringLiteral("AwardUndo"));
    QTest::mouseClick(undo, Qt::LeftButton);
    QTest::mouseClick(undo, Qt::LeftButton);
    QCOMPARE(visibleCount<FRMSet>(screen), 1);
    QCOMPARE(visibleCount<BRDSet>(screen), 1);
    QCOMPARE(visibleCount<DelAward>(screen), 1);

    // Once closed, the menu opens it again.
    click(openDialog<FRMSet>(screen), QStringLiteral("Com_1"));
    QCOMPARE(visibleCount<FRMSet>(screen), 0);
    menuItem(screen, "M_FrmSet")->trigger();
    QCOMPARE(visibleCount<FRMSet>(screen), 1);
}

void TestDrawOptions::withdrawingAWinnerRedrawsThePlace()
{
    const qint64 award = m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 3, 3);
    MF screen(m_draw, std::make_unique<draw::RandomSource>(5));
    screen.resize(1280, 720);
    screen.show();
    screen.ToggleRoll();
    screen.ToggleRoll();
    QCOMPARE(results(m_draw), qint64(3));
    QVERIFY(screen.session().DrawFinished());
    const std::vector<qsizetype> winners
        = screen.session().picks().empty() ? std::vector<qsizetype>() : screen.session().picks();

    QTest::mouseClick(screen.findChild<QLabel *>(QStringLiteral("AwardUndo")), Qt::LeftButton);
    auto *dialog = openDialog<DelAward>(screen);
    QVERIFY(dialog);
    grid::GridModel *grid = dialog->grid();
    QCOMPARE(grid->Rows() - grid->FixedRows(), 3);
    // The displayed number is masked and padded ("0**102"), the stored one is not.
    const QString number = grid->TextMatrix(2, 6);
    const QString name = grid->TextMatrix(2, 7);
    QVERIFY(!number.contains(QLatin1Char('*')));
    grid->setTextMatrix(2, 3, QStringLiteral("√"));
    test::saveShot(dialog, QStringLiteral("DelAward"));
    click(dialog, QStringLiteral("Com_0"));

    QCOMPARE(results(m_draw), qint64(2));
    QVERIFY(!screen.session().DrawFinished());
    QCOMPARE(screen.session().awardState().Remaining, qint64(1));
    QCOMPARE(screen.session().WID(), QString::number(award));
    // The withdrawn winner is out of the pool: 12 entrants, 3 won, 1 withdrawn.
    QCOMPARE(screen.session().pool().eligibleCount(), 9);
    for (qsizetype i = 1; i <= screen.session().pool().size(); ++i) {
        if (screen.session().pool().number(i) == number && screen.session().pool().name(i) == name)
            QVERIFY(!screen.session().pool().isEligible(i));
    }
    QCOMPARE(screen.findChild<QLabel *>(QStringLiteral("LL_1"))->text().count(QStringLiteral("\r\n")), 3);

    // The replacement: one line, someone new.
    screen.ToggleRoll();
    screen.ToggleRoll();
    QCOMPARE(results(m_draw), qint64(3));
    QCOMPARE(screen.numberCaption().split(QStringLiteral("\r\n")).size(), 1);
    std::set<QString> stored;
    for (data::Recordset rs
         = data::OpenRecordset(QStringLiteral("SELECT 号码 FROM 结果表 WHERE CID=?"), { m_draw });
         !rs.eof(); rs.moveNext())
        stored.insert(rs.field(0).toString());
    QCOMPARE(stored.size(), size_t(3));
    QVERIFY(stored.count(number) == 0);
    QVERIFY(screen.session().DrawFinished());
    Q_UNUSED(winners);
}

void TestDrawOptions::aWithdrawalKeepsItsReason_data()
{
    QTest::addColumn<QString>("choice"); // the radio button's object name; empty: as the window opens
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("kept"); // in 撤销表 and the record; empty: refused until a note is written
    QTest::newRow("as it opens") << QString() << QString() << QStringLiteral("未到场");
    QTest::newRow("absent, with a note") << QStringLiteral("reasonAbsent") << QStringLiteral(" 电话未接通 ")
                                         << QStringLiteral("未到场：电话未接通");
    QTest::newRow("not eligible") << QStringLiteral("reasonIneligible") << QString()
                                  << QStringLiteral("不符合条件");
    QTest::newRow("other, said") << QStringLiteral("reasonOther") << QStringLiteral("奖品已当场兑换")
                                 << QStringLiteral("其他：奖品已当场兑换");
    QTest::newRow("other, unsaid") << QStringLiteral("reasonOther") << QStringLiteral("  ") << QString();
}

// The operator says why a win goes; 撤销表 and the draw's record keep it.
void TestDrawOptions::aWithdrawalKeepsItsReason()
{
    QFETCH(QString, choice);
    QFETCH(QString, note);
    QFETCH(QString, kept);
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 1, 1);
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    playRound(screen);
    DelAward *dialog = openWithdrawal(screen);
    QVERIFY(dialog);
    tick(dialog, dialog->grid()->FixedRows()); // the one winner
    if (!choice.isEmpty())
        QTest::mouseClick(dialog->findChild<QRadioButton *>(choice), Qt::LeftButton);
    dialog->findChild<QLineEdit *>(QStringLiteral("reasonNote"))
        ->insert(note); // typed through the input method
    click(dialog, QStringLiteral("Com_0"));
    if (kept.isEmpty()) {
        QCOMPARE(m_prompts->messages(),
            QStringList { QStringLiteral("撤销原因选了“其他”，请在说明中写明原因。") });
        QVERIFY(dialog->isVisible());
        QCOMPARE(results(m_draw), qint64(1));
        return;
    }
    QCOMPARE(results(m_draw), qint64(0));
    QCOMPARE(
        data::LookupValue(QStringLiteral("撤销表"), m_draw, QStringLiteral("CID"), QStringLiteral("原因"))
            .toString(),
        kept);
    const QVariant entry = data::OpenRecordset(
        QStringLiteral("SELECT 内容 FROM 公证记录表 WHERE CID=? AND 类型='withdrawal'"), { m_draw })
                               .field(0);
    QCOMPARE(QJsonDocument::fromJson(entry.toString().toUtf8())
                 .object()
                 .value(QStringLiteral("reason"))
                 .toString(),
        kept);
}

void TestDrawOptions::refusedWithdrawalChangesNothing()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 3, 3);
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    playRound(screen);
    QCOMPARE(results(m_draw), qint64(3));
    QVERIFY(screen.session().DrawFinished());
    auto *board = screen.findChild<QLabel *>(QStringLiteral("LL_1"));
    const QString boardBefore = board->text();
    const qsizetype eligibleBefore = screen.session().pool().eligibleCount();

    DelAward *dialog = openWithdrawal(screen);
    QVERIFY(dialog);
    tick(dialog, 2);
    tick(dialog, 3);
    auto unchanged = [&] {
        QVERIFY(dialog->isVisible());
        QCOMPARE(results(m_draw), qint64(3));
        QCOMPARE(screen.session().pool().eligibleCount(), eligibleBefore);
        QCOMPARE(board->text(), boardBefore);
        QVERIFY(screen.session().DrawFinished());
        QCOMPARE(screen.session().awardState().Remaining, qint64(0));
    };

    // A database that cannot be written: said so, the window stays.
    data::setReadOnlyForTesting(true);
    click(dialog, QStringLiteral("Com_0"));
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("删除失败，数据库未作改动！") });
    unchanged();
    data::setReadOnlyForTesting(false);

    // One of the two refused: neither goes.
    const qint64 refused = integerValue(dialog->grid()->TextMatrix(3, 0));
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TABLE kept (ID INTEGER)")));
    QVERIFY(data::ExecuteSql(QStringLiteral("INSERT INTO kept (ID) VALUES (?)"), { refused }));
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON 结果表 "
                                            "WHEN OLD.ID IN (SELECT ID FROM kept) "
                                            "BEGIN SELECT RAISE(ABORT, 'kept'); END")));
    m_prompts->clear();
    click(dialog, QStringLiteral("Com_0"));
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("删除失败，数据库未作改动！") });
    unchanged();
    QVERIFY(data::ExecuteSql(QStringLiteral("DROP TRIGGER keep")));

    // Once the database takes it, both go and the window closes.
    m_prompts->clear();
    click(dialog, QStringLiteral("Com_0"));
    QVERIFY(m_prompts->messages().isEmpty());
    QCOMPARE(results(m_draw), qint64(1));
    QVERIFY(!screen.session().DrawFinished());
    QCOMPARE(screen.session().awardState().Remaining, qint64(2));
    QTRY_VERIFY(!dialog->isVisible());
}

void TestDrawOptions::withdrawalRebuildsTheBoardOfTheAwardThatWasCurrent()
{
    WriteRegValue(
        AppName, QStringLiteral("ResultOneAward"), QStringLiteral("OneAward"), QStringLiteral("true"));
    const qint64 first = m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 2, 2);
    const qint64 special = m_db->addAward(m_draw, 2, QStringLiteral("特别奖"), 1, 1);
    MF screen(m_draw);
    screen.resize(1280, 720);
    screen.show();
    playRound(screen);
    playRound(screen);
    QVERIFY(screen.session().DrawFinished());
    QCOMPARE(screen.session().WID(), QString::number(special));
    auto *title = screen.findChild<QLabel *>(QStringLiteral("LL_0"));
    auto *board = screen.findChild<QLabel *>(QStringLiteral("LL_1"));
    QCOMPARE(title->text(), QStringLiteral("特别奖获奖名单"));
    const QString specialBoard = board->text();

    // Withdraw a winner of the first award, which is not the current one.
    DelAward *dialog = openWithdrawal(screen);
    QVERIFY(dialog);
    int row = dialog->grid()->FixedRows();
    while (dialog->grid()->TextMatrix(row, 4) != QStringLiteral("一等奖"))
        ++row;
    tick(dialog, row);
    click(dialog, QStringLiteral("Com_0"));

    // The board is rebuilt for the award that was current, then the first
    // award, short of a winner again, becomes current.
    QCOMPARE(board->text(), specialBoard);
    QCOMPARE(title->text(), QStringLiteral("特别奖获奖名单"));
    QCOMPARE(screen.session().WID(), QString::number(first));
    QCOMPARE(screen.session().awardState().Remaining, qint64(1));
    QVERIFY(!screen.session().DrawFinished());
}

// The withdrawal window fits its columns with the progress window, which lets
// queued input run: an "结束抽奖" pressed meanwhile must not delete the draw
// screen, and the window with it, under the loading. It ends the draw once the
// loading is done. A second "取消结果" opens no second window.
void TestDrawOptions::pressedWhileWithdrawalsLoad_data()
{
    QTest::addColumn<QString>("pressed");
    QTest::newRow("结束抽奖") << QStringLiteral("lEnd");
    QTest::newRow("取消结果") << QStringLiteral("AwardUndo");
}

void TestDrawOptions::pressedWhileWithdrawalsLoad()
{
    QFETCH(QString, pressed);
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 400, 10, true, true);
    test::holdRounds(m_draw, 30); // 300 wins, some people more than once
    IndicatorProgress progress;
    ProgressSink *previous = setProgressSink(&progress);

    QPointer<MF> screen = new MF(m_draw);
    screen->resize(1280, 720);
    screen->show();
    QWidget *queued = screen->findChild<QLabel *>(pressed);
    const QPointF inside(4, 4);
    QCoreApplication::postEvent(queued,
        new QMouseEvent(QEvent::MouseButtonPress, inside, queued->mapToGlobal(inside), Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier));
    QTest::mouseClick(screen->findChild<QLabel *>(QStringLiteral("AwardUndo")), Qt::LeftButton);
    if (pressed == QLatin1String("lEnd")) {
        QTRY_VERIFY(!screen);
    } else {
        QTest::qWait(100);
        QCOMPARE(screen->findChildren<DelAward *>().size(), 1);
        delete screen;
    }
    setProgressSink(previous);
    QCOMPARE(results(m_draw), qint64(300));
}

QTEST_MAIN(TestDrawOptions)
#include "tst_drawoptions.moc"
