#include "common/conventions.h"

#include <QTest>

using namespace tombolix;

class TestConventions : public QObject
{
    Q_OBJECT

private slots:
    void numericValueOfText_data();
    void numericValueOfText();
    void roundingIsHalfToEven_data();
    void roundingIsHalfToEven();
    void integerValueCombinesBoth();
    void numericValueOfColumnValues();
    void flags();
    void twipsAndPixels();
    void coloursRoundTrip();
    void numberTextHasNoNeedlessDecimals();
};

void TestConventions::numericValueOfText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "42" << 42.0;
    QTest::newRow("leading blanks") << "  \t7" << 7.0;
    QTest::newRow("trailing text") << "12abc" << 12.0;
    QTest::newRow("stops at id separator") << QStringLiteral("15‖年会") << 15.0;
    QTest::newRow("negative") << "-17" << -17.0;
    QTest::newRow("plus") << "+3" << 3.0;
    QTest::newRow("fraction") << "10.5" << 10.5;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("exponent") << "1E3" << 1000.0;
    QTest::newRow("dangling exponent") << "12E" << 12.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("chinese") << QStringLiteral("一百") << 0.0;
    QTest::newRow("full-width digits are not digits") << QStringLiteral("１２") << 0.0;
    QTest::newRow("overflow is not a number") << "1e999" << 0.0;
}

void TestConventions::numericValueOfText()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(numericValue(text), value);
}

void TestConventions::roundingIsHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("rounded");
    QTest::newRow("0.5") << 0.5 << qint64(0);
    QTest::newRow("1.5") << 1.5 << qint64(2);
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("3.5") << 3.5 << qint64(4);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("-3.5") << -3.5 << qint64(-4);
    QTest::newRow("2.4999") << 2.4999 << qint64(2);
    QTest::newRow("2.5001") << 2.5001 << qint64(3);
    QTest::newRow("-0.4") << -0.4 << qint64(0);
    QTest::newRow("huge clamps") << 1e300 << qint64(9000000000000000000LL);
}

void TestConventions::roundingIsHalfToEven()
{
    QFETCH(double, value);
    QFETCH(qint64, rounded);
    QCOMPARE(roundHalfEven(value), rounded);
}

void TestConventions::integerValueCombinesBoth()
{
    QCOMPARE(integerValue(QStringLiteral("2.5 speed")), qint64(2));
    QCOMPARE(integerValue(QStringLiteral("abc")), qint64(0));
    QCOMPARE(integerValue(QStringLiteral("-17")), qint64(-17));
    QCOMPARE(integerValue(QVariant()), qint64(0));
}

void TestConventions::numericValueOfColumnValues()
{
    QCOMPARE(numericValue(QVariant(qint64(70000))), 70000.0);
    QCOMPARE(numericValue(QVariant(QStringLiteral("80ms"))), 80.0);
    QCOMPARE(numericValue(QVariant(2.25)), 2.25);
    QCOMPARE(numericValue(QVariant(QMetaType(QMetaType::QString))), 0.0); // Null
}

void TestConventions::flags()
{
    QCOMPARE(flagText(true), QStringLiteral("√"));
    QCOMPARE(flagText(false), QString());
    QVERIFY(flagFromText(QStringLiteral("√")));
    QVERIFY(flagFromText(QStringLiteral("0"))); // any text that is not blank
    QVERIFY(!flagFromText(QStringLiteral("  ")));
    QVERIFY(!flagFromColumn(QVariant())); // Null is No
    QVERIFY(!flagFromColumn(QVariant(QMetaType(QMetaType::LongLong))));
    QVERIFY(!flagFromColumn(QVariant(0)));
    QVERIFY(flagFromColumn(QVariant(1)));
    QVERIFY(flagFromColumn(QVariant(-1))); // Access stores Yes as -1
}

void TestConventions::twipsAndPixels()
{
    QCOMPARE(twipsToPixels(1440), 96);
    QCOMPARE(twipsToPixels(600), 40);
    QCOMPARE(twipsToPixels(7.5), 0); // half a pixel rounds to even
    QCOMPARE(twipsToPixels(22.5), 2);
    QCOMPARE(pixelsToTwips(40), 600.0);
}

void TestConventions::coloursRoundTrip()
{
    // 0x00BBGGRR: pure red is 0xFF, pure blue 0xFF0000.
    QCOMPARE(colorFromStored(0x0000FF), QColor(255, 0, 0));
    QCOMPARE(colorFromStored(0xFF0000), QColor(0, 0, 255));
    QCOMPARE(colorFromStored(0x80C0FF), QColor(255, 192, 128));
    QCOMPARE(storedFromColor(QColor(255, 192, 128)), qint64(0x80C0FF));
    for (qint64 value : { qint64(0), qint64(0xFFFFFF), qint64(0x123456), qint64(0x00FF00) })
        QCOMPARE(storedFromColor(colorFromStored(value)), value);
    QVERIFY(colorFromStored(0x8000000F).isValid()); // a system colour
    QCOMPARE(colorFromStored(-5000000000LL), QColor(Qt::black)); // beyond 32 bits
    QCOMPARE(colorFromStored(qint32(0x8000000F)), colorFromStored(0x8000000F)); // signed form
}

void TestConventions::numberTextHasNoNeedlessDecimals()
{
    QCOMPARE(numberText(12.0), QStringLiteral("12"));
    QCOMPARE(numberText(13800138000.0), QStringLiteral("13800138000"));
    QCOMPARE(numberText(10.5), QStringLiteral("10.5"));
    QCOMPARE(numberText(-3.0), QStringLiteral("-3"));
}

QTEST_GUILESS_MAIN(TestConventions)
#include "tst_conventions.moc"
