#include "common/settingsstore.h"
#include "draw/stagescreen.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;
using draw::ChooseStageScreen;

class TestStageScreen : public QObject
{
    Q_OBJECT

private slots:
    void choosesTheScreen_data();
    void choosesTheScreen();
    void choiceIsKeptInTheSettingsStore();
    void labelNamesTheScreenAndItsSize();
};

void TestStageScreen::choosesTheScreen_data()
{
    QTest::addColumn<QStringList>("screens");
    QTest::addColumn<QString>("console");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("consoleStaysVisible");

    const QStringList one { QStringLiteral("eDP-1") };
    const QStringList two { QStringLiteral("eDP-1"), QStringLiteral("HDMI-1") };
    const QString laptop = QStringLiteral("eDP-1");
    const QString projector = QStringLiteral("HDMI-1");
    QTest::newRow("one screen, nothing stored") << one << laptop << QString() << laptop << false;
    QTest::newRow("one screen, projector stored and gone") << one << laptop << projector << laptop << false;
    QTest::newRow("two screens, nothing stored") << two << laptop << QString() << laptop << false;
    QTest::newRow("two screens, projector stored") << two << laptop << projector << projector << true;
    QTest::newRow("two screens, console's screen stored") << two << laptop << laptop << laptop << false;
    QTest::newRow("two screens, another projector stored")
        << two << laptop << QStringLiteral("DP-2") << laptop << false;
    // The console moved onto the projector: the laptop, now the other
    // screen, takes the draw and the console stays on the projector.
    QTest::newRow("console moved to the stored screen's neighbour")
        << two << projector << laptop << laptop << true;
    QTest::newRow("stored name differs in case only")
        << two << laptop << QStringLiteral("hdmi-1") << laptop << false;
}

void TestStageScreen::choosesTheScreen()
{
    QFETCH(QStringList, screens);
    QFETCH(QString, console);
    QFETCH(QString, stored);
    QFETCH(QString, chosen);
    QFETCH(bool, consoleStaysVisible);
    const draw::StageScreenChoice choice = ChooseStageScreen(screens, console, stored);
    QCOMPARE(choice.screen, chosen);
    QCOMPARE(choice.consoleStaysVisible, consoleStaysVisible);
}

void TestStageScreen::choiceIsKeptInTheSettingsStore()
{
    QTemporaryDir dir;
    setSettingsFile(dir.filePath(QStringLiteral("settings.ini")));
    QCOMPARE(draw::StoredStageScreen(), QString());
    draw::StoreStageScreen(QStringLiteral("HDMI-1"));
    QCOMPARE(draw::StoredStageScreen(), QStringLiteral("HDMI-1"));
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("DrawScreen"), QStringLiteral("Name"), QString()),
        QStringLiteral("HDMI-1"));
    setSettingsFile(QString());
}

void TestStageScreen::labelNamesTheScreenAndItsSize()
{
    QCOMPARE(draw::StageScreenLabel(QStringLiteral("HDMI-1"), QSize(1920, 1080)),
        QStringLiteral("HDMI-1 (1920×1080)"));
    // Two X screens both called "screen" are told apart by their place, a
    // name of its own stays as it is.
    const QList<std::pair<QString, QRect>> screens { { QStringLiteral("screen"), QRect(0, 0, 1920, 1080) },
        { QStringLiteral("screen"), QRect(1920, 0, 1280, 720) },
        { QStringLiteral("HDMI-1"), QRect(0, 1080, 800, 600) } };
    QCOMPARE(draw::StageScreenKeys(screens),
        (QStringList {
            QStringLiteral("screen@0,0"), QStringLiteral("screen@1920,0"), QStringLiteral("HDMI-1") }));
    QCOMPARE(draw::StageScreenLabel(QStringLiteral("screen"), QRect(1920, 0, 1280, 720), true),
        QStringLiteral("screen (1280×720，位于 1920,0)"));
    const draw::StageScreenChoice choice = draw::ChooseStageScreen(
        draw::StageScreenKeys(screens), QStringLiteral("screen@0,0"), QStringLiteral("screen@1920,0"));
    QCOMPARE(choice.screen, QStringLiteral("screen@1920,0"));
    QVERIFY(choice.consoleStaysVisible);
}

QTEST_GUILESS_MAIN(TestStageScreen)
#include "tst_stagescreen.moc"
