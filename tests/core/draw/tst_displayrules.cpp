#include "draw/displayrules.h"

#include <QTest>

using namespace tombolix::draw;

class TestDisplayRules : public QObject
{
    Q_OBJECT

private slots:
    void fixLength_data();
    void fixLength();
    void maskText_data();
    void maskText();
    void paddingComesBeforeTheMask();
    void hugeLengthIsCappedToAScreenLine();
    void stageLineNamesTheEntrantOnlyWhenAsked();
};

void TestDisplayRules::fixLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("expected");
    QTest::newRow("digits padded with zeros") << "123" << 6 << "000123";
    QTest::newRow("letters padded with blanks") << "A12" << 6 << "   A12";
    QTest::newRow("chinese counts one each") << QStringLiteral("张三") << 6 << QStringLiteral("    张三");
    QTest::newRow("cut on the right") << "ABCDEFGH" << 6 << "ABCDEF";
    QTest::newRow("exact length") << "123456" << 6 << "123456";
    QTest::newRow("empty stays empty") << "" << 6 << "";
    QTest::newRow("length 0 unchanged") << "123" << 0 << "123";
    QTest::newRow("negative length unchanged") << "123" << -4 << "123";
    QTest::newRow("full-width digit is no digit") << QStringLiteral("１2") << 4 << QStringLiteral("  １2");
    QTest::newRow("leading blank pads with blanks") << " 12" << 5 << "   12";
    // A character outside the Basic Multilingual Plane is one character.
    QTest::newRow("supplementary char padded as one")
        << QStringLiteral("𠀋号") << 4 << QStringLiteral("  𠀋号");
    QTest::newRow("supplementary char never cut in half")
        << QStringLiteral("张𠀋𠀋李") << 2 << QStringLiteral("张𠀋");
    QTest::newRow("supplementary chars kept whole at the cut")
        << QStringLiteral("𠀋𠀋𠀋") << 3 << QStringLiteral("𠀋𠀋𠀋");
    QTest::newRow("lone surrogate kept as it is")
        << QString(QChar(0xD840)) + "1" << 3 << QStringLiteral(" ") + QChar(0xD840) + "1";
}

void TestDisplayRules::fixLength()
{
    QFETCH(QString, text);
    QFETCH(int, length);
    QFETCH(QString, expected);
    FixLength(text, length);
    QCOMPARE(text, expected);
}

void TestDisplayRules::maskText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("expected");
    QTest::newRow("middle stars") << "ABCDEFGHIJK"
                                  << "000****0000"
                                  << "ABC****HIJK";
    QTest::newRow("short text gets stars appended") << "AB"
                                                    << "000****0000"
                                                    << "AB****";
    QTest::newRow("partly short") << "ABCDEFG"
                                  << "000****0000"
                                  << "ABC****";
    QTest::newRow("single star") << "ABC"
                                 << "*"
                                 << "*BC";
    QTest::newRow("two stars on one char") << "A"
                                           << "**"
                                           << "**";
    QTest::newRow("scattered stars") << "1234567"
                                     << "*0*0*"
                                     << "*2*4*67";
    QTest::newRow("no star") << "ABC"
                             << "000"
                             << "ABC";
    QTest::newRow("empty mask") << "ABC"
                                << ""
                                << "ABC";
    QTest::newRow("empty text") << ""
                                << "***"
                                << "";
    QTest::newRow("chinese") << QStringLiteral("张三丰") << "0*" << QStringLiteral("张*丰");
    QTest::newRow("supplementary char masked whole")
        << QStringLiteral("张𠀋丰") << "0*" << QStringLiteral("张*丰");
    QTest::newRow("positions after a supplementary char")
        << QStringLiteral("𠀋1234") << "00**" << QStringLiteral("𠀋1**4");
    QTest::newRow("supplementary placeholder in the mask")
        << QStringLiteral("ABCD") << QStringLiteral("𠀋*") << QStringLiteral("A*CD");
    QTest::newRow("stars appended after a supplementary char")
        << QStringLiteral("𠀋") << "0**" << QStringLiteral("𠀋**");
}

void TestDisplayRules::maskText()
{
    QFETCH(QString, text);
    QFETCH(QString, mask);
    QFETCH(QString, expected);
    MaskText(text, mask);
    QCOMPARE(text, expected);
}

void TestDisplayRules::paddingComesBeforeTheMask()
{
    QCOMPARE(DisplayText(QStringLiteral("123"), 6, QStringLiteral("000****0000")), QStringLiteral("000****"));
    QCOMPARE(DisplayText(QStringLiteral("13800138000"), 11, QStringLiteral("000****0000")),
        QStringLiteral("138****8000"));
}

void TestDisplayRules::hugeLengthIsCappedToAScreenLine()
{
    // A 定长 typed as a telephone number must not try to build a line of
    // thirteen billion characters.
    for (const qint64 length : { qint64(13800138000), qint64(1000000), MaxFixedLength + 1 }) {
        QString digits = QStringLiteral("123");
        FixLength(digits, length);
        QCOMPARE(digits.size(), qsizetype(MaxFixedLength));
        QVERIFY(digits.endsWith(QStringLiteral("000123")));
        QCOMPARE(DisplayText(QStringLiteral("张三"), length, QString()).size(), qsizetype(MaxFixedLength));
    }
}

void TestDisplayRules::stageLineNamesTheEntrantOnlyWhenAsked()
{
    QCOMPARE(
        StageLine(QStringLiteral("0**123"), QStringLiteral("张三"), true), QStringLiteral("0**123  张三"));
    QCOMPARE(StageLine(QStringLiteral("0**123"), QStringLiteral("张三"), false), QStringLiteral("0**123"));
    // No name, or only blanks: no trailing blanks that would pull the number off centre.
    QCOMPARE(StageLine(QStringLiteral("0123"), QString(), true), QStringLiteral("0123"));
    QCOMPARE(StageLine(QStringLiteral("0123"), QStringLiteral("  "), true), QStringLiteral("0123"));
    QCOMPARE(StageLine(QStringLiteral("0123"), QStringLiteral(" 李四 "), true), QStringLiteral("0123  李四"));
}

QTEST_APPLESS_MAIN(TestDisplayRules)
#include "tst_displayrules.moc"
