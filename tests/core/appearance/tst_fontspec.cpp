#include "appearance/fontspec.h"
#include "common/prompts.h"
#include "data/database.h"
#include "support/testsupport.h"

#include <QTest>

using namespace tombolix;
using namespace tombolix::appearance;

class TestFontSpec : public QObject
{
    Q_OBJECT

private slots:
    void recordApplies();
    void shortOrEmptyRecordsChangeNothing_data();
    void shortOrEmptyRecordsChangeNothing();
    void refusedFieldsKeepTheirValues();
    void recordRoundTrip();
    void loadAndSaveThroughTheDatabase();
};

void TestFontSpec::recordApplies()
{
    FontSpec spec;
    spec.font.setItalic(true);
    QVERIFY(ApplyFontRecord(QStringLiteral("楷体_GB2312】【√】【】【72】【】【】【255"), spec));
    QCOMPARE(spec.font.family(), QStringLiteral("楷体_GB2312"));
    QVERIFY(spec.font.bold());
    QVERIFY(!spec.font.italic());
    QCOMPARE(spec.font.pointSizeF(), 72.0);
    QVERIFY(!spec.font.strikeOut());
    QVERIFY(!spec.font.underline());
    QCOMPARE(spec.colour, qint64(255));
    // A bold field of a single blank is not bold.
    ApplyFontRecord(QStringLiteral("宋体】【 】【√】【10.5】【√】【√】【0"), spec);
    QVERIFY(!spec.font.bold());
    QVERIFY(spec.font.italic());
    QCOMPARE(spec.font.pointSizeF(), 10.5);
    QVERIFY(spec.font.strikeOut());
    QVERIFY(spec.font.underline());
}

void TestFontSpec::shortOrEmptyRecordsChangeNothing_data()
{
    QTest::addColumn<QString>("record");
    QTest::newRow("empty") << "";
    QTest::newRow("six fields") << QStringLiteral("宋体】【√】【】【72】【】【");
    QTest::newRow("garbage") << QStringLiteral("这不是字体");
}

void TestFontSpec::shortOrEmptyRecordsChangeNothing()
{
    QFETCH(QString, record);
    FontSpec spec;
    spec.font = QFont(QStringLiteral("Serif"), 20);
    spec.colour = 0x00D7FF;
    const FontSpec before = spec;
    QVERIFY(!ApplyFontRecord(record, spec));
    QCOMPARE(spec.font, before.font);
    QCOMPARE(spec.colour, before.colour);
}

void TestFontSpec::refusedFieldsKeepTheirValues()
{
    FontSpec spec;
    spec.font.setPointSizeF(30);
    spec.colour = 77;
    QVERIFY(ApplyFontRecord(QStringLiteral("】【】【】【-4】【】【】【99999999999】【extra"), spec));
    QCOMPARE(spec.font.pointSizeF(), 30.0);
    QCOMPARE(spec.colour, qint64(77));
    ApplyFontRecord(QStringLiteral("x】【】【】【abc】【】【】【-2147483633"), spec);
    QCOMPARE(spec.font.pointSizeF(), 30.0);
    QCOMPARE(spec.colour, qint64(-2147483633)); // a system colour, kept signed
}

void TestFontSpec::recordRoundTrip()
{
    FontSpec spec;
    spec.font = QFont(QStringLiteral("WenQuanYi Micro Hei"));
    spec.font.setPointSizeF(36);
    spec.font.setBold(true);
    spec.font.setUnderline(true);
    spec.colour = 0x00D7FF;
    const QString record = FontRecord(spec);
    QCOMPARE(record, QStringLiteral("WenQuanYi Micro Hei】【√】【】【36】【】【√】【55295"));
    FontSpec back;
    QVERIFY(ApplyFontRecord(record, back));
    QCOMPARE(FontRecord(back), record);
}

void TestFontSpec::loadAndSaveThroughTheDatabase()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 draw = db.addDraw(QStringLiteral("年会"));
    FontSpec built;
    built.font.setPointSizeF(20);
    QCOMPARE(LoadElementFont(draw, NumberFontColumn, built).font.pointSizeF(), 20.0); // nothing stored
    FontSpec chosen = built;
    chosen.font.setPointSizeF(48);
    chosen.colour = 0xFF;
    QVERIFY(SaveElementFont(draw, TitleFontColumn, chosen));
    QCOMPARE(LoadElementFont(draw, TitleFontColumn, built).font.pointSizeF(), 48.0);
    QCOMPARE(LoadElementFont(draw, ListFontColumn, built).font.pointSizeF(), 20.0);
    QVERIFY(!SaveElementFont(draw, QStringLiteral("FRM=''; --"), chosen)); // not a font column: not written
    QVERIFY(data::LookupValue(QStringLiteral("奖次表"), draw, QStringLiteral("ID"), QStringLiteral("FRM"))
                .isNull());
    QVERIFY(prompts.messages().isEmpty());
}

QTEST_MAIN(TestFontSpec)
#include "tst_fontspec.moc"
