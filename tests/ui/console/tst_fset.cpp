#include "common/desktop.h"
#include "common/prompts.h"
#include "console/about.h"
#include "console/fset.h"
#include "data/database.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QMenu>
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
    void theAboutBoxTellsWhereTheDataIs();
    void theFileMenuOpensTheDataFolder();
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
    // The windows carry the program's own icon, at the sizes a desktop asks.
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("io.github.tombolix.Tombolix"));
    const QIcon icon = console.windowIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes().size(), 7);
    QCOMPARE(icon.pixmap(QSize(256, 256)).size(), QSize(256, 256));
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

void TestFSet::theAboutBoxTellsWhereTheDataIs()
{
    test::TestDatabase db;
    const QString path = QDir::toNativeSeparators(db.path());
    {
        About about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto *line = about.findChild<QLabel *>(QStringLiteral("DataFile"));
        QVERIFY(line);
        QCOMPARE(line->text(), path);
        QCOMPARE(line->toolTip(), path);
        QVERIFY(line->isVisible());
        QVERIFY(about.rect().contains(
            line->geometry().translated(line->parentWidget()->mapTo(&about, QPoint()))));
        test::saveShot(&about, QStringLiteral("About-datafile"));
    }

    // A deep folder keeps the box its width: the middle of the path gives way.
    const QString deep
        = QDir(db.folder()).filePath(QStringLiteral("年会资料/").repeated(20) + QStringLiteral("Data.mdb"));
    data::setDatabasePath(deep);
    About about;
    const int width = about.width();
    auto *line = about.findChild<QLabel *>(QStringLiteral("DataFile"));
    QCOMPARE(line->toolTip(), QDir::toNativeSeparators(deep));
    QVERIFY(line->text().size() < deep.size());
    QVERIFY(line->text().startsWith(QDir::toNativeSeparators(db.folder()).left(4)));
    QVERIFY(line->text().endsWith(QStringLiteral("Data.mdb")));
    data::setDatabasePath(QString());
    About shallow;
    QCOMPARE(shallow.width(), width);
}

void TestFSet::theFileMenuOpensTheDataFolder()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    ScopedUrlRecorder desktop;
    FSet console;
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    auto *file = console.findChild<QMenu *>(QStringLiteral("m_File"));
    QVERIFY(file);
    QAction *open = nullptr;
    for (QAction *action : file->actions()) {
        if (action->text() == QStringLiteral("打开数据文件所在文件夹"))
            open = action;
    }
    QVERIFY(open);
    QCOMPARE(open->objectName(), QStringLiteral("M_DataFolder"));

    open->trigger();
    QCOMPARE(desktop.opened(), QList<QUrl> { QUrl::fromLocalFile(db.folder()) });
    QVERIFY(prompts.messages().isEmpty());

    // A desktop with no file manager to take it: the operator is told where
    // the folder is instead.
    desktop.setResult(false);
    open->trigger();
    QCOMPARE(desktop.opened().size(), 2);
    QCOMPARE(prompts.messages(),
        QStringList { QStringLiteral("无法打开文件夹：") + QDir::toNativeSeparators(db.folder()) });
}

QTEST_MAIN(TestFSet)
#include "tst_fset.moc"
