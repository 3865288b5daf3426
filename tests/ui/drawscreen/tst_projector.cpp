// The draw screen on a second screen. Run twice: with the laptop and a
// projector as two offscreen screens (the platform reads them from a
// configuration file written by main), and with the single screen of a
// plain offscreen run (TOMBOLIX_TEST_SCREENS=1).
#include "common/prompts.h"
#include "common/qtprompts.h"
#include "common/settingsstore.h"
#include "common/windowops.h"
#include "console/fset.h"
#include "draw/stagescreen.h"
#include "drawscreen/brdset.h"
#include "drawscreen/delaward.h"
#include "drawscreen/frmset.h"
#include "drawscreen/mf.h"
#include "drawscreen/stagescreenmenu.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFontDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tombolix;

namespace {

using test::openWindow;

const QString Laptop = QStringLiteral("LAPTOP");
const QString Projector = QStringLiteral("HDMI-1");
const QRect LaptopArea(0, 0, 1366, 768);
const QRect ProjectorArea(1366, 0, 1920, 1080);

// Clicks the console's start button and takes the first draw the chooser offers.
MF *enterThroughConsole(FSet &console)
{
    test::whenWindowOpens(&console, QStringLiteral("选择抽奖设置"), [](QWidget *chooser) {
        chooser->findChild<QComboBox *>(QStringLiteral("TT"))->setCurrentIndex(0);
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("Com_1")), Qt::LeftButton);
    });
    QTest::mouseClick(console.findChild<QPushButton *>(QStringLiteral("Entr")), Qt::LeftButton);
    return qobject_cast<MF *>(openWindow(MF::caption()));
}

StageScreenMenu *stageMenu(FSet &console)
{
    return console.findChild<StageScreenMenu *>(QStringLiteral("m_DrawScreen"));
}

QAction *screenAction(StageScreenMenu *menu, const QString &name)
{
    for (QAction *action : menu->actions()) {
        if (action->data().toString() == name)
            return action;
    }
    return nullptr;
}

QStringList checkedScreens(StageScreenMenu *menu)
{
    QStringList checked;
    for (QAction *action : menu->actions()) {
        if (action->isChecked())
            checked << action->data().toString();
    }
    return checked;
}

QString screenName(QWidget *window)
{
    return window && window->screen() ? window->screen()->name() : QString();
}

// The console on the laptop, where the operator sits.
void showOnLaptop(FSet &console)
{
    console.setGeometry(QRect(120, 80, 1000, 600));
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
}

void deleteDrawScreens()
{
    // A draw screen takes its own pop-up menu with it: hold guarded pointers.
    QList<QPointer<MF>> screens;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *screen = qobject_cast<MF *>(window))
            screens << screen;
    }
    for (const QPointer<MF> &screen : screens)
        delete screen.data();
}

} // namespace

// A laptop and a projector.
class TestProjector : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void platformHasTheLaptopAndTheProjector();
    void menuListsTheScreensAndStoresTheChoice();
    void drawOnTheProjectorLeavesTheConsoleInView();
    void dialogsOfTheDrawOpenOnTheConsolesScreen();
    void editorClosedDuringTheDrawKeepsTheConsoleLocked();
    void questionsOverTheProjectorAreAskedOnTheConsole();
    void nothingStoredKeepsTheDrawOnTheConsolesScreen();
    void unpluggedProjectorFallsBackToTheConsolesScreen();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
    qint64 m_draw = 0;
};

void TestProjector::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
    m_draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("20"));
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 2, 1);
    m_db->addEntrants(m_draw, 20);
}

void TestProjector::cleanup()
{
    deleteDrawScreens();
    delete m_prompts;
    delete m_db;
}

void TestProjector::platformHasTheLaptopAndTheProjector()
{
    QStringList names;
    for (QScreen *screen : QGuiApplication::screens())
        names << screen->name();
    names.sort();
    QCOMPARE(names, (QStringList { Projector, Laptop }));
}

void TestProjector::menuListsTheScreensAndStoresTheChoice()
{
    FSet console;
    showOnLaptop(console);
    StageScreenMenu *menu = stageMenu(console);
    QVERIFY(menu);
    QVERIFY(console.findChild<QMenu *>(QStringLiteral("m_File"))->actions().contains(menu->menuAction()));
    QVERIFY(menu->menuAction()->isVisible());
    QCOMPARE(menu->title(), QStringLiteral("抽奖画面显示在"));
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << action->text();
    texts.sort();
    QCOMPARE(
        texts, (QStringList { QStringLiteral("HDMI-1 (1920×1080)"), QStringLiteral("LAPTOP (1366×768)") }));
    // Nothing stored: the console's own screen, as with one screen.
    QCOMPARE(checkedScreens(menu), QStringList { Laptop });

    screenAction(menu, Projector)->trigger();
    QCOMPARE(draw::StoredStageScreen(), Projector);
    QCOMPARE(checkedScreens(menu), QStringList { Projector });
    menu->refresh();
    QCOMPARE(checkedScreens(menu), QStringList { Projector });

    screenAction(menu, Laptop)->trigger();
    QCOMPARE(draw::StoredStageScreen(), Laptop);
    QCOMPARE(checkedScreens(menu), QStringList { Laptop });

    if (!qEnvironmentVariableIsEmpty("TOMBOLIX_SHOTS")) {
        auto *file = console.findChild<QMenu *>(QStringLiteral("m_File"));
        file->popup(console.mapToGlobal(QPoint(10, 30)));
        QTest::qWait(50);
        test::saveShot(file, QStringLiteral("FSet-file-menu"));
        file->hide();
        menu->popup(console.mapToGlobal(QPoint(40, 40)));
        QTest::qWait(50);
        test::saveShot(menu, QStringLiteral("FSet-stage-screen-menu"));
        menu->hide();
    }
}

void TestProjector::drawOnTheProjectorLeavesTheConsoleInView()
{
    FSet console;
    showOnLaptop(console);
    screenAction(stageMenu(console), Projector)->trigger();
    const QRect placed = console.geometry();

    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QTRY_COMPARE(screenName(screen), Projector);
    QVERIFY(screen->isFullScreen());
    QTRY_COMPARE(screen->geometry(), ProjectorArea);
    QVERIFY(console.isVisible());
    QCOMPARE(screenName(&console), Laptop);
    // The console can be looked at, but what the draw stands on waits.
    QVERIFY(!console.tabs()->isEnabled());
    QVERIFY(!console.findChild<QAction *>(QStringLiteral("M_Restore"))->isEnabled());
    test::saveShot(screen, QStringLiteral("MF-stage-projector"));

    // A round on the projector is held as on one screen.
    QTest::mouseClick(screen->canvas(), Qt::LeftButton);
    QTest::qWait(60);
    QTest::mouseClick(screen->canvas(), Qt::LeftButton);
    QVERIFY(!screen->isRolling());
    QCOMPARE(screen->session().awardState().Remaining, 1);

    // A click on the console takes the keyboard there; the remote's keys
    // still reach the draw.
    QTest::mouseClick(console.findChild<QPushButton *>(QStringLiteral("Entr")), Qt::LeftButton);
    QApplication::setActiveWindow(&console);
    QTRY_VERIFY(console.isActiveWindow());
    QWidget *focused = QApplication::focusWidget() ? QApplication::focusWidget() : &console;
    QCOMPARE(focused->window(), &console);
    QTest::keyClick(focused, Qt::Key_PageDown);
    QVERIFY(screen->isRolling());
    QTest::qWait(60);
    QTest::keyClick(focused, Qt::Key_PageDown);
    QVERIFY(!screen->isRolling());
    QVERIFY(screen->session().DrawFinished());

    // The operator moved the console meanwhile: it stays where it is now.
    console.move(200, 100);
    const QRect moved = console.geometry();
    QVERIFY(moved != placed);
    QTest::mouseClick(screen->findChild<QWidget *>(QStringLiteral("lEnd")), Qt::LeftButton);
    QTRY_VERIFY(!openWindow(MF::caption()));
    QVERIFY(console.isVisible());
    QCOMPARE(console.geometry(), moved);
    QVERIFY(console.tabs()->isEnabled());
    QVERIFY(console.findChild<QAction *>(QStringLiteral("M_Restore"))->isEnabled());
}

void TestProjector::dialogsOfTheDrawOpenOnTheConsolesScreen()
{
    FSet console;
    showOnLaptop(console);
    screenAction(stageMenu(console), Projector)->trigger();
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QTRY_COMPARE(screenName(screen), Projector);
    QCOMPARE(DialogHostOf(screen), &console);

    auto checkOnLaptop = [](const QString &caption) {
        QWidget *dialog = nullptr;
        QTRY_VERIFY((dialog = openWindow(caption)));
        QCOMPARE(screenName(dialog), Laptop);
        // Centred on the laptop's work area, in full view of the operator.
        QVERIFY2(LaptopArea.contains(dialog->frameGeometry()), qPrintable(caption));
        const QPoint offCentre = dialog->frameGeometry().center() - LaptopArea.center();
        QVERIFY2(qAbs(offCentre.x()) <= 2 && qAbs(offCentre.y()) <= 2, qPrintable(caption));
        dialog->close();
        QTRY_VERIFY(!openWindow(caption));
    };
    screen->contextMenu()->findChild<QAction *>(QStringLiteral("M_FrmSet"))->trigger();
    checkOnLaptop(FRMSet::caption());
    screen->contextMenu()->findChild<QAction *>(QStringLiteral("M_BRD"))->trigger();
    checkOnLaptop(BRDSet::caption());
    QTest::mouseClick(screen->findChild<QWidget *>(QStringLiteral("AwardUndo")), Qt::LeftButton);
    checkOnLaptop(DelAward::caption());

    // Editing the frame from the laptop still changes the projected frame.
    screen->contextMenu()->findChild<QAction *>(QStringLiteral("M_FrmSet"))->trigger();
    QWidget *frmSet = nullptr;
    QTRY_VERIFY((frmSet = openWindow(FRMSet::caption())));
    auto *width = frmSet->findChild<QLineEdit *>(QStringLiteral("TT_2"));
    width->selectAll();
    QTest::keyClicks(width, QStringLiteral("6000"));
    QCOMPARE(screen->frameLayout().Width, 6000.0f);

    // The frame's colour dialog, the real one, opens over the dialog that
    // asked for it, on the laptop.
    QtPrompts real;
    setPrompts(&real);
    frmSet->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), frmSet);
    QString colourScreen;
    bool wasColourDialog = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
        wasColourDialog = dialog;
        if (!dialog)
            return;
        colourScreen = screenName(dialog);
        dialog->reject();
    });
    QTest::mouseClick(frmSet->findChild<QWidget *>(QStringLiteral("LClr")), Qt::LeftButton);
    setPrompts(m_prompts);
    QVERIFY(wasColourDialog);
    QCOMPARE(colourScreen, Laptop);
    frmSet->close();
}

// The draw editor, open when the draw began, is closed while it is held.
void TestProjector::editorClosedDuringTheDrawKeepsTheConsoleLocked()
{
    FSet console;
    showOnLaptop(console);
    screenAction(stageMenu(console), Projector)->trigger();
    console.pressButton(0); // 新建抽奖
    QWidget *editor = nullptr;
    QTRY_VERIFY((editor = openWindow(QStringLiteral("添加/修改抽奖设置"))));
    QVERIFY(!console.tabs()->isEnabled());
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    editor->close();
    QTRY_VERIFY(!openWindow(QStringLiteral("添加/修改抽奖设置")));
    QVERIFY(!console.tabs()->isEnabled());
    QVERIFY(!console.findChild<QAction *>(QStringLiteral("M_Restore"))->isEnabled());
    QTest::mouseClick(screen->findChild<QWidget *>(QStringLiteral("lEnd")), Qt::LeftButton);
    QTRY_VERIFY(console.tabs()->isEnabled());
}

// The real message boxes and font dialog: asked while the draw screen on
// the projector is the active window, they open over the console.
void TestProjector::questionsOverTheProjectorAreAskedOnTheConsole()
{
    FSet console;
    showOnLaptop(console);
    screenAction(stageMenu(console), Projector)->trigger();
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QTRY_COMPARE(QApplication::activeWindow(), screen);

    QtPrompts real;
    setPrompts(&real);
    QString boxScreen;
    QWidget *boxParent = nullptr;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        QVERIFY(box);
        boxScreen = screenName(box);
        boxParent = box->parentWidget();
        box->close();
    });
    real.message(QStringLiteral("抽奖结果保存失败，该号码未计入获奖名单！"));
    QCOMPARE(boxParent, &console);
    QCOMPARE(boxScreen, Laptop);

    // The number's font, chosen from the draw screen's own menu.
    screen->activateWindow(); // as the right-button press on it does
    QTRY_COMPARE(QApplication::activeWindow(), screen);
    QString fontScreen;
    bool wasFontDialog = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFontDialog *>(QApplication::activeModalWidget());
        wasFontDialog = dialog;
        if (!dialog)
            return;
        fontScreen = screenName(dialog);
        dialog->reject();
    });
    screen->contextMenu()->findChild<QAction *>(QStringLiteral("M_CFont"))->trigger();
    setPrompts(m_prompts);
    QVERIFY(wasFontDialog);
    QCOMPARE(fontScreen, Laptop);
}

void TestProjector::nothingStoredKeepsTheDrawOnTheConsolesScreen()
{
    FSet console;
    showOnLaptop(console);
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QTRY_COMPARE(screenName(screen), Laptop);
    QTRY_COMPARE(screen->geometry(), LaptopArea);
    QVERIFY(!console.isVisible());
    QCOMPARE(DialogHostOf(screen), screen);
    QTest::mouseClick(screen->findChild<QWidget *>(QStringLiteral("lEnd")), Qt::LeftButton);
    QTRY_VERIFY(console.isVisible());
}

void TestProjector::unpluggedProjectorFallsBackToTheConsolesScreen()
{
    draw::StoreStageScreen(QStringLiteral("DP-2")); // the projector of another hall
    FSet console;
    showOnLaptop(console);
    QCOMPARE(checkedScreens(stageMenu(console)), QStringList { Laptop });
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QTRY_COMPARE(screenName(screen), Laptop);
    QVERIFY(!console.isVisible());
    QVERIFY(m_prompts->messages().isEmpty()); // silently
    QCOMPARE(draw::StoredStageScreen(), QStringLiteral("DP-2")); // back next time it is plugged in
}

// One screen, as most evenings.
class TestOneScreen : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void noScreenToChooseHidesTheMenu();
    void storedProjectorIsIgnoredAndTheConsoleHides();
    void dialogHostGoesWithItsWindows();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestOneScreen::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
}

void TestOneScreen::cleanup()
{
    deleteDrawScreens();
    delete m_prompts;
    delete m_db;
}

void TestOneScreen::noScreenToChooseHidesTheMenu()
{
    QCOMPARE(QGuiApplication::screens().size(), 1);
    FSet console;
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    StageScreenMenu *menu = stageMenu(console);
    QVERIFY(menu);
    QVERIFY(!menu->menuAction()->isVisible());
    QCOMPARE(menu->actions().size(), 1);
}

void TestOneScreen::storedProjectorIsIgnoredAndTheConsoleHides()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 5);
    draw::StoreStageScreen(QStringLiteral("HDMI-1")); // yesterday's stage
    FSet console;
    console.setGeometry(QRect(160, 120, 900, 600));
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    const QRect placed = console.geometry();
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QCOMPARE(screen->screen(), console.screen());
    QVERIFY(!console.isVisible());
    QCOMPARE(DialogHostOf(screen), screen);
    QTest::mouseClick(screen->findChild<QWidget *>(QStringLiteral("lEnd")), Qt::LeftButton);
    QTRY_VERIFY(console.isVisible());
    QCOMPARE(console.geometry(), placed);
    QVERIFY(console.tabs()->isEnabled());
}

void TestOneScreen::dialogHostGoesWithItsWindows()
{
    QWidget window;
    QCOMPARE(DialogHostOf(&window), &window);
    QCOMPARE(DialogHostOf(nullptr), nullptr);
    {
        QWidget host;
        SetDialogHost(&window, &host);
        QCOMPARE(DialogHostOf(&window), &host);
    }
    QCOMPARE(DialogHostOf(&window), &window); // the host has gone
    QWidget other;
    SetDialogHost(&window, &other);
    SetDialogHost(&window, nullptr);
    QCOMPARE(DialogHostOf(&window), &window);
    {
        QWidget shortLived;
        SetDialogHost(&shortLived, &other);
    }
    // A window that has gone leaves nothing behind for a new one at its address.
    QWidget later;
    QCOMPARE(DialogHostOf(&later), &later);
}

int main(int argc, char *argv[])
{
    // The platform reads its screens when the application is made.
    QTemporaryDir dir;
    const bool twoScreens = qgetenv("TOMBOLIX_TEST_SCREENS") != "1";
    if (twoScreens) {
        const QString config = dir.filePath(QStringLiteral("screens.json"));
        test::writeFile(config,
            QByteArrayLiteral(
                "{\"screens\": ["
                "{\"name\": \"LAPTOP\", \"x\": 0, \"y\": 0, \"width\": 1366, \"height\": 768},"
                "{\"name\": \"HDMI-1\", \"x\": 1366, \"y\": 0, \"width\": 1920, \"height\": 1080}"
                "]}"));
        // The platform's options are split at colons, which a Windows drive
        // letter has: name the file relative to its own folder.
        QDir::setCurrent(dir.path());
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=screens.json");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    if (twoScreens) {
        TestProjector test;
        return QTest::qExec(&test, argc, argv);
    }
    TestOneScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_projector.moc"
