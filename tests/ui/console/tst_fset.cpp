#include "common/prompts.h"
#include "console/about.h"
#include "console/fset.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>

using namespace tombolix;

namespace {

// The title the platform puts on the window: the window's own, followed by
// " — " and the application display name when one is set and the title does
// not already end with it. Unset, the display name follows the application
// name, which is how a set one is told apart.
QString platformTitle(const QWidget &window)
{
    const QString title = window.windowHandle()->title();
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(name + QStringLiteral("-probe"));
    const QString display = QGuiApplication::applicationDisplayName();
    const bool displaySet = display != QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(name);
    if (!displaySet || title.endsWith(display))
        return title;
    return title + QStringLiteral(" \u2014 ") + display;
}

} // namespace

class TestFSet : public QObject
{
    Q_OBJECT

private slots:
    void startsWithCaptionAndStartButton();
    void titleBarShowsTheCaptionAlone();
    void closingEndsTheProgram();
    void versionShowsInTheAboutBoxAndTheGuide();
};

void TestFSet::startsWithCaptionAndStartButton()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    FSet console;
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    QCOMPARE(console.windowTitle(), QStringLiteral("澄曜抽奖软件1.12"));
    auto *entr = console.findChild<QPushButton *>(QStringLiteral("Entr"));
    QVERIFY(entr);
    QCOMPARE(entr->text(), QStringLiteral("开  始\n\n抽  奖"));
    QSignalSpy entered(&console, &FSet::enterDrawRequested);
    // The chooser opens; cancelling it leaves the console as it was.
    QTimer::singleShot(100, this, [] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowTitle() == QStringLiteral("选择抽奖设置"))
                QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("Com_0")), Qt::LeftButton);
        }
    });
    QTest::mouseClick(entr, Qt::LeftButton);
    QCOMPARE(entered.count(), 1);
    QVERIFY(console.isVisible());
    QVERIFY(prompts.messages().isEmpty());
    test::saveShot(&console, QStringLiteral("FSet-start"));
}

void TestFSet::titleBarShowsTheCaptionAlone()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    FSet::nameApplication(); // as the program starts
    FSet console;
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    QCOMPARE(platformTitle(console), QStringLiteral("澄曜抽奖软件1.12"));
}

void TestFSet::closingEndsTheProgram()
{
    FSet console;
    console.show();
    QWidget other; // another window does not keep the program alive
    other.show();
    QTimer::singleShot(0, &console, &QWidget::close);
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

// The version is filled in at build time; a placeholder left standing would
// show as typed.
void TestFSet::versionShowsInTheAboutBoxAndTheGuide()
{
    test::TestDatabase db;
    About about;
    QCOMPARE(about.findChild<QLabel *>(QStringLiteral("Version"))->text(), QStringLiteral("版本 1.12"));
    FSet console;
    const QString guide = console.findChild<QTextBrowser *>(QStringLiteral("THelp"))->toPlainText();
    QVERIFY(guide.contains(QStringLiteral("版本 1.12 · 澄曜软件工作室")));
    QVERIFY(!guide.contains(QStringLiteral("PROJECT_VERSION")));
}

QTEST_MAIN(TestFSet)
#include "tst_fset.moc"
