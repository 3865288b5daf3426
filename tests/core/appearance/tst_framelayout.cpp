#include "appearance/framelayout.h"
#include "common/prompts.h"
#include "data/database.h"
#include "support/testsupport.h"

#include <QTest>

using namespace tombolix;
using namespace tombolix::appearance;

class TestFrameLayout : public QObject
{
    Q_OBJECT

private slots:
    void builtInLayout();
    void recordRoundTrip();
    void shortOrEmptyRecordsChangeNothing_data();
    void shortOrEmptyRecordsChangeNothing();
    void refusedFieldsKeepTheirValues();
    void garbageReadsAsZeroes();
    void loadAndSaveThroughTheDatabase();
    void fitting();
    void repairOfTinyFrames();
    void printedLinesAreCentred();
};

void TestFrameLayout::builtInLayout()
{
    const FrameLayout layout;
    QCOMPARE(layout.rect(), QRectF(840, 1920, 5175, 975));
    QCOMPARE(layout.Opaque, qint16(1));
    QVERIFY(!layout.autoFit());
}

void TestFrameLayout::recordRoundTrip()
{
    FrameLayout layout;
    ApplyFrameRecord(QStringLiteral("840】【1920】【5175】【975】【1】【255】【1"), layout);
    QCOMPARE(layout.BackColor, 255);
    QVERIFY(layout.autoFit());
    QCOMPARE(FrameRecord(layout), QStringLiteral("840】【1920】【5175】【975】【1】【255】【1"));

    layout.Left = 12.5f;
    layout.Width = 0.1f;
    layout.BackColor = qint32(0x8000000F);
    QCOMPARE(FrameRecord(layout), QStringLiteral("12.5】【1920】【0.1】【975】【1】【-2147483633】【1"));
    FrameLayout back;
    ApplyFrameRecord(FrameRecord(layout), back);
    QCOMPARE(back, layout);
}

void TestFrameLayout::shortOrEmptyRecordsChangeNothing_data()
{
    QTest::addColumn<QString>("record");
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << "   ";
    QTest::newRow("six fields") << QStringLiteral("1】【2】【3】【4】【1】【255");
    QTest::newRow("other separator") << "1,2,3,4,1,255,0";
}

void TestFrameLayout::shortOrEmptyRecordsChangeNothing()
{
    QFETCH(QString, record);
    FrameLayout layout;
    ApplyFrameRecord(record, layout);
    QCOMPARE(layout, FrameLayout());
}

void TestFrameLayout::refusedFieldsKeepTheirValues()
{
    FrameLayout layout;
    // Opaque 2 and a colour beyond 32 bits are refused; the rest applies.
    ApplyFrameRecord(
        QStringLiteral("100】【200】【-5】【400】【0】【99999999999】【2】【extra】【fields"), layout);
    QCOMPARE(layout.Left, 100.0f);
    QCOMPARE(layout.Top, 200.0f);
    QCOMPARE(layout.Width, 5175.0f); // a negative width is refused
    QCOMPARE(layout.Height, 400.0f);
    QCOMPARE(layout.AutoFit, QStringLiteral("0"));
    QCOMPARE(layout.BackColor, FrameLayout().BackColor);
    QCOMPARE(layout.Opaque, qint16(1));
}

void TestFrameLayout::garbageReadsAsZeroes()
{
    FrameLayout layout;
    ApplyFrameRecord(QStringLiteral("x】【y】【z】【w】【a】【b】【c"), layout);
    QCOMPARE(layout.rect(), QRectF(0, 0, 0, 0));
    QCOMPARE(layout.BackColor, 0);
    QCOMPARE(layout.Opaque, qint16(0));
    QVERIFY(!layout.autoFit());
}

void TestFrameLayout::loadAndSaveThroughTheDatabase()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 draw = db.addDraw(QStringLiteral("年会"));
    QCOMPARE(LoadFrameLayout(draw), FrameLayout()); // Null record
    FrameLayout layout;
    layout.Width = 0;
    RepairFrameSize(layout);
    QVERIFY(SaveFrameLayout(layout, draw));
    QCOMPARE(data::LookupValue(QStringLiteral("奖次表"), draw, QStringLiteral("ID"), QStringLiteral("FRM"))
                 .toString(),
        QStringLiteral("840】【1920】【4500】【975】【】【%1】【1").arg(FrameLayout().BackColor));
    QCOMPARE(LoadFrameLayout(draw).Width, 4500.0f);
    QVERIFY(prompts.messages().isEmpty());
}

void TestFrameLayout::fitting()
{
    FrameLayout layout;
    QCOMPARE(FitNumberLabel(layout, QSizeF(1000, 500)), QRectF(840, 1920, 5175, 955));
    layout.AutoFit = QStringLiteral("1");
    QCOMPARE(FitNumberLabel(layout, QSizeF(1000, 500)), QRectF(840 + (5175 - 1000) / 2.0, 1920, 1000, 500));
    layout.AutoFit = QStringLiteral("0");
    QCOMPARE(FitNumberLabel(layout, QSizeF(1000, 500)).width(), 5175.0);
}

void TestFrameLayout::repairOfTinyFrames()
{
    FrameLayout layout;
    QVERIFY(!RepairFrameSize(layout));
    layout.Width = 15;
    layout.Height = 0;
    QVERIFY(RepairFrameSize(layout));
    QCOMPARE(layout.Width, 4500.0f);
    QCOMPARE(layout.Height, 750.0f);
}

void TestFrameLayout::printedLinesAreCentred()
{
    // Three lines in a font whose "1" is 480 twips high: pitch 460, block
    // 1400; the first line starts 700 twips above the label's middle.
    const QRectF label(1000, 2000, 6000, 3000);
    const auto lines
        = PrintFrameText(label, { QStringLiteral("1"), QStringLiteral("22"), QStringLiteral("333") }, 480,
            [](const QString &line) { return 200.0 * line.size(); });
    QCOMPARE(lines.size(), size_t(3));
    QCOMPARE(lines[0].top, label.center().y() - 700);
    QCOMPARE(lines[1].top - lines[0].top, 460.0);
    QCOMPARE(lines[2].top - lines[1].top, 460.0);
    QCOMPARE(lines[0].left, 1000 + (6000 - 200) / 2.0);
    QCOMPARE(lines[2].left, 1000 + (6000 - 600) / 2.0);
    QVERIFY(PrintFrameText(label, {}, 480, [](const QString &) { return 0.0; }).empty());
}

QTEST_GUILESS_MAIN(TestFrameLayout)
#include "tst_framelayout.moc"
