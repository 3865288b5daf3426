#include "common/indicator.h"
#include "common/progress.h"
#include "console/about.h"
#include "support/testsupport.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>

using namespace tombolix;

namespace {

const QString Exporting = QStringLiteral("正在将数据导出到EXCEL文件 …");
const QString Formatting = QStringLiteral("正在做交易数据表格进行格式设置……");

// A progress whose clock the test moves by hand.
struct ClockedProgress
{
    ClockedProgress()
    {
        progress.setClock([this] { return now; });
    }
    qint64 now = 1000;
    IndicatorProgress progress;
};

void runPosted(std::function<void()> work)
{
    QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
}

} // namespace

class TestIndicator : public QObject
{
    Q_OBJECT

private slots:
    void percentIsCutToTenthsOfAPercent_data();
    void percentIsCutToTenthsOfAPercent();
    void pagesShowsCountsAndTimes_data();
    void pagesShowsCountsAndTimes();
    void otherTextsTouchOnlyTheOperation();
    void barIsPaintedFromStateAndClipped();
    void totalOfZeroShowsZeroPercent();
    void reopenRestartsAndCloseLeavesTheCount();
    void handlersDuringTheYieldKeepTheCountRight();
    void servesAsTheInstalledSink();
    void theOperatorCannotDismissTheWindow();
    void aboutBox();
};

void TestIndicator::percentIsCutToTenthsOfAPercent_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<QList<qint64>>("steps");
    QTest::addColumn<QString>("percent");
    QTest::newRow("one decimal") << qint64(1000) << QList<qint64> { 123 } << "12.3%";
    QTest::newRow("whole percent") << qint64(100) << QList<qint64> { 20, 30 } << "50%";
    QTest::newRow("cut, not rounded") << qint64(3) << QList<qint64> { 1, 1 } << "66.6%";
    QTest::newRow("below a thousandth") << qint64(10000) << QList<qint64> { 9 } << "0%";
    QTest::newRow("past the total") << qint64(40) << QList<qint64> { 40, 1 } << "102.5%";
}

void TestIndicator::percentIsCutToTenthsOfAPercent()
{
    QFETCH(qint64, total);
    QFETCH(QList<qint64>, steps);
    QFETCH(QString, percent);
    IndicatorProgress progress;
    progress.open(Exporting, total);
    for (qint64 step : steps)
        progress.advance(step, QString());
    QCOMPARE(progress.percentText(), percent);
}

void TestIndicator::pagesShowsCountsAndTimes_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("step");
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("times");
    QTest::newRow("a quarter") << qint64(200) << qint64(50) << qint64(10) << "(50/200)"
                               << "0:10/0:30/0:40";
    QTest::newRow("hours") << qint64(100) << qint64(1) << qint64(40) << "(1/100)"
                           << "0:40/1:6:0/1:6:40";
    // 9 / 0.144 = 62.5 and 3 / 0.4 = 7.5: halves go to the even neighbour.
    QTest::newRow("half down to even") << qint64(1000) << qint64(144) << qint64(9) << "(144/1000)"
                                       << "0:9/0:53/1:2";
    QTest::newRow("half up to even") << qint64(10) << qint64(4) << qint64(3) << "(4/10)"
                                     << "0:3/0:5/0:8";
    // 100 / 1.025 rounds to 98: two seconds "remaining" below zero.
    QTest::newRow("past the total") << qint64(40) << qint64(41) << qint64(100) << "(41/40)"
                                    << "1:40/0:0/1:38";
    QTest::newRow("below a thousandth") << qint64(10000) << qint64(9) << qint64(30) << ""
                                        << "";
}

void TestIndicator::pagesShowsCountsAndTimes()
{
    QFETCH(qint64, total);
    QFETCH(qint64, step);
    QFETCH(qint64, elapsed);
    QFETCH(QString, count);
    QFETCH(QString, times);
    ClockedProgress clocked;
    clocked.progress.open(Formatting, total);
    clocked.now += elapsed;
    clocked.progress.advance(step, QStringLiteral("Pages")); // in any case
    QCOMPARE(clocked.progress.countText(), count);
    QCOMPARE(clocked.progress.timesText(), times);
    QCOMPARE(clocked.progress.operationText(), Formatting);
}

void TestIndicator::otherTextsTouchOnlyTheOperation()
{
    ClockedProgress clocked;
    IndicatorProgress &progress = clocked.progress;
    progress.open(Formatting, 100);
    clocked.now += 2;
    progress.advance(10, QStringLiteral("pages"));
    const QString times = progress.timesText();

    clocked.now += 50;
    progress.advance(40, QString());
    QCOMPARE(progress.percentText(), QStringLiteral("50%"));
    QCOMPARE(progress.operationText(), Formatting);
    QCOMPARE(progress.countText(), QStringLiteral("(10/100)"));
    QCOMPARE(progress.timesText(), times);

    progress.advance(1, QStringLiteral("正在读取EXCEL数据……"));
    QCOMPARE(progress.operationText(), QStringLiteral("正在读取EXCEL数据……"));
    QCOMPARE(progress.countText(), QStringLiteral("(10/100)"));
}

void TestIndicator::barIsPaintedFromStateAndClipped()
{
    IndicatorProgress progress;
    progress.open(Exporting, 40);
    QWidget *bar = progress.window()->findChild<QWidget *>(QStringLiteral("Pic"));
    const int width = bar->width();
    const int middle = bar->height() / 2;
    auto isBlue = [](QColor c) { return c.blue() > 150 && c.red() < 100; };

    progress.advance(20, QString());
    const QImage half = bar->grab().toImage();
    QVERIFY(isBlue(half.pixelColor(width / 4, middle)));
    QVERIFY(!isBlue(half.pixelColor(width * 3 / 4, middle)));

    progress.advance(21, QString());
    QCOMPARE(progress.barFraction(), 41.0 / 40.0);
    QCOMPARE(bar->width(), width);
    QVERIFY(isBlue(bar->grab().toImage().pixelColor(width - 4, middle)));
}

// The workbook export passes 0 for a grid with only its header row.
void TestIndicator::totalOfZeroShowsZeroPercent()
{
    IndicatorProgress progress;
    progress.open(Exporting, 0);
    progress.advance(1, QString());
    progress.advance(1, QStringLiteral("pages"));
    QCOMPARE(progress.percentText(), QStringLiteral("0%"));
    QCOMPARE(progress.barFraction(), 0.0);
    QCOMPARE(progress.countText(), QString());
}

void TestIndicator::reopenRestartsAndCloseLeavesTheCount()
{
    ClockedProgress clocked;
    IndicatorProgress &progress = clocked.progress;
    progress.open(QStringLiteral("正在读取EXCEL数据……"), 100);
    Indicator *window = progress.window();
    QVERIFY(window->isVisible());
    clocked.now += 20;
    progress.advance(60, QStringLiteral("pages"));

    // The workbook reader replaces a provisional total by the real one.
    clocked.now += 5;
    progress.open(Exporting, 400);
    QCOMPARE(progress.window(), window);
    QCOMPARE(progress.current(), 0);
    QCOMPARE(progress.barFraction(), 0.0);
    QCOMPARE(progress.operationText(), Exporting);
    QCOMPARE(progress.percentText(), QStringLiteral("60%")); // until the next advance
    clocked.now += 10;
    progress.advance(100, QStringLiteral("pages"));
    QCOMPARE(progress.countText(), QStringLiteral("(100/400)"));
    QCOMPARE(progress.timesText(), QStringLiteral("0:10/0:30/0:40")); // timed from the reopening

    progress.close();
    QVERIFY(!progress.window());
    progress.advance(20, QString());
    QVERIFY(progress.window() && !progress.window()->isVisible());
    QCOMPARE(progress.operationText(), QStringLiteral("进度条指示器"));
    QCOMPARE(progress.percentText(), QStringLiteral("30%")); // the count goes on
    progress.open(Formatting, 5);
    QVERIFY(progress.window()->isVisible());
}

void TestIndicator::handlersDuringTheYieldKeepTheCountRight()
{
    IndicatorProgress progress;

    // An advance that slips in while open yields counts against the new total.
    runPosted([&] { progress.advance(5, QString()); });
    progress.open(Exporting, 10);
    QCOMPARE(progress.current(), 5);
    QCOMPARE(progress.percentText(), QStringLiteral("50%"));

    // A handler's own advance does not serve the queue again from inside the
    // yield that runs it.
    QStringList order;
    runPosted([&] {
        progress.advance(1, QString());
        order << QStringLiteral("first done");
    });
    runPosted([&] { order << QStringLiteral("second"); });
    progress.advance(1, QString());
    QCOMPARE(order, (QStringList { QStringLiteral("first done"), QStringLiteral("second") }));
    QCOMPARE(progress.current(), 7);

    // A close during the yield leaves nothing dangling.
    runPosted([&] { progress.close(); });
    progress.advance(1, QString());
    QVERIFY(!progress.window());
    progress.advance(1, QString());
    QCOMPARE(progress.current(), 9);
}

void TestIndicator::servesAsTheInstalledSink()
{
    {
        IndicatorProgress progress;
        setProgressSink(&progress);
        {
            ProgressScope scope(Exporting, 8);
            scope.advance();
            scope.advance(1, QStringLiteral("pages"));
            QCOMPARE(progress.percentText(), QStringLiteral("25%"));
            QCOMPARE(progress.countText(), QStringLiteral("(2/8)"));
        }
        QVERIFY(!progress.window());
    }
    QCOMPARE(setProgressSink(nullptr), nullptr); // the destroyed sink took itself out
}

void TestIndicator::theOperatorCannotDismissTheWindow()
{
    IndicatorProgress progress;
    progress.open(Exporting, 10);
    Indicator *window = progress.window();
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(window->isVisible());
    QCloseEvent fromTheCloseBox;
    QSpontaneKeyEvent::setSpontaneous(&fromTheCloseBox);
    qApp->notify(window, &fromTheCloseBox);
    QVERIFY(!fromTheCloseBox.isAccepted());
    QVERIFY(window->isVisible());
    QVERIFY(window->close()); // the program itself may close it
}

void TestIndicator::aboutBox()
{
    ClockedProgress clocked;
    clocked.progress.open(Formatting, 1200);
    clocked.now += 83;
    clocked.progress.advance(446, QStringLiteral("pages"));
    test::saveShot(clocked.progress.window(), QStringLiteral("Indicator"));

    About about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    test::saveShot(&about, QStringLiteral("About"));
    QTest::mouseClick(about.findChild<QPushButton *>(QStringLiteral("OK")), Qt::LeftButton);
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
}

QTEST_MAIN(TestIndicator)
#include "tst_indicator.moc"
