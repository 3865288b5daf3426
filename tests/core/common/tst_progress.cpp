#include "common/progress.h"

#include <QTest>

using namespace tombolix;

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void formatDuration_data();
    void formatDuration();
    void shareIsCutToThousandths_data();
    void shareIsCutToThousandths();
    void timesAreEstimatedFromTheShare_data();
    void timesAreEstimatedFromTheShare();
    void nothingIsEstimatedBelowAThousandth();
    void sinkReceivesOnlyWhatIsShown();
};

void TestProgress::formatDuration_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "0:0";
    QTest::newRow("negative") << qint64(-5) << "0:0";
    QTest::newRow("minute and seconds") << qint64(65) << "1:5";
    QTest::newRow("hour minutes seconds") << qint64(3725) << "1:2:5";
    // Hours run up to 59 before the leading field counts a sixty.
    QTest::newRow("a day of hours") << qint64(86400) << "24:0:0";
    QTest::newRow("sixty hours") << qint64(216000) << "1:0:0:0";
}

void TestProgress::formatDuration()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(FormatDuration(seconds), text);
}

void TestProgress::shareIsCutToThousandths_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("permille");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<double>("bar");
    QTest::newRow("one decimal") << qint64(123) << qint64(1000) << qint64(123) << "12.3%" << 0.123;
    QTest::newRow("whole percent") << qint64(1) << qint64(2) << qint64(500) << "50%" << 0.5;
    QTest::newRow("cut, not rounded") << qint64(2) << qint64(3) << qint64(666) << "66.6%" << 2.0 / 3.0;
    QTest::newRow("below a thousandth") << qint64(9) << qint64(10000) << qint64(0) << "0%" << 0.0009;
    // The bar is clipped where it is drawn, not here.
    QTest::newRow("past the total") << qint64(41) << qint64(40) << qint64(1025) << "102.5%" << 1.025;
    QTest::newRow("no total") << qint64(5) << qint64(0) << qint64(0) << "0%" << 0.0;
    // A share below zero is cut down too, and keeps its sign under one percent.
    QTest::newRow("a tenth below zero")
        << qint64(-1) << qint64(3000) << qint64(-1) << "-0.1%" << -1.0 / 3000.0;
    QTest::newRow("below zero") << qint64(-1) << qint64(3) << qint64(-334) << "-33.4%" << -1.0 / 3.0;
    QTest::newRow("large counts") << qint64(3000000000) << qint64(4000000000) << qint64(750) << "75%" << 0.75;
}

void TestProgress::shareIsCutToThousandths()
{
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(qint64, permille);
    QFETCH(QString, percent);
    QFETCH(double, bar);
    const ProgressReading reading(done, total);
    QCOMPARE(reading.permille(), permille);
    QCOMPARE(reading.percentText(), percent);
    QCOMPARE(reading.barFraction(), bar);
    QCOMPARE(reading.countText(), QStringLiteral("(%1/%2)").arg(done).arg(total));
}

void TestProgress::timesAreEstimatedFromTheShare_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<qint64>("estimated");
    QTest::addColumn<QString>("times");
    QTest::newRow("a quarter") << qint64(50) << qint64(200) << qint64(10) << qint64(40) << "0:10/0:30/0:40";
    QTest::newRow("the cut share") << qint64(1) << qint64(3) << qint64(10) << qint64(30) << "0:10/0:20/0:30";
    // 9 / 0.144 = 62.5 and 3 / 0.4 = 7.5: halves go to the even neighbour.
    QTest::newRow("half down to even")
        << qint64(144) << qint64(1000) << qint64(9) << qint64(62) << "0:9/0:53/1:2";
    QTest::newRow("half up to even") << qint64(4) << qint64(10) << qint64(3) << qint64(8) << "0:3/0:5/0:8";
    QTest::newRow("just below a half")
        << qint64(3) << qint64(1000) << qint64(1) << qint64(333) << "0:1/5:32/5:33";
    // 100 / 1.025 rounds to 98: two seconds "remaining" below zero.
    QTest::newRow("past the total") << qint64(41) << qint64(40) << qint64(100) << qint64(98)
                                    << "1:40/0:0/1:38";
    QTest::newRow("nothing elapsed") << qint64(1) << qint64(2) << qint64(0) << qint64(0) << "0:0/0:0/0:0";
}

void TestProgress::timesAreEstimatedFromTheShare()
{
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(qint64, elapsed);
    QFETCH(qint64, estimated);
    QFETCH(QString, times);
    const ProgressReading reading(done, total);
    QVERIFY(reading.canEstimate());
    QCOMPARE(reading.estimatedSeconds(elapsed), estimated);
    QCOMPARE(reading.timesText(elapsed), times);
}

void TestProgress::nothingIsEstimatedBelowAThousandth()
{
    QVERIFY(!ProgressReading(9, 10000).canEstimate());
    QCOMPARE(ProgressReading(9, 10000).estimatedSeconds(30), qint64(0));
    QVERIFY(ProgressReading(10, 10000).canEstimate());
    QVERIFY(!ProgressReading(5, 0).canEstimate());
    QVERIFY(!ProgressReading(-1, 10).canEstimate());
}

namespace {

struct RecordingSink : ProgressSink
{
    void open(const QString &text, qint64 total) override
    {
        calls << QStringLiteral("open %1 %2").arg(text).arg(total);
    }
    void advance(qint64 step, const QString &text) override
    {
        calls << QStringLiteral("advance %1 %2").arg(step).arg(text);
    }
    void close() override { calls << QStringLiteral("close"); }
    QStringList calls;
};

} // namespace

// A scope opened without showing reports nothing; a shown one closes on every
// way out. Without a sink the operations do nothing.
void TestProgress::sinkReceivesOnlyWhatIsShown()
{
    RecordingSink sink;
    ProgressSink *previous = setProgressSink(&sink);
    {
        ProgressScope hidden(QStringLiteral("隐藏"), 3, false);
        hidden.advance();
    }
    {
        ProgressScope shown(QStringLiteral("读取"), 3);
        shown.advance(2, QStringLiteral("pages"));
    }
    QCOMPARE(sink.calls,
        (QStringList {
            QStringLiteral("open 读取 3"), QStringLiteral("advance 2 pages"), QStringLiteral("close") }));
    QCOMPARE(setProgressSink(previous), &sink);
    OpenProgress(QStringLiteral("无"), 1);
    AdvanceProgress(1, QString());
    CloseProgress();
    QCOMPARE(sink.calls.size(), 3);
}

QTEST_APPLESS_MAIN(TestProgress)
#include "tst_progress.moc"
