#include "common/helpers.h"
#include "common/prompts.h"
#include "common/qtprompts.h"

#include <QTest>

using namespace tombolix;

class TestPrompts : public QObject
{
    Q_OBJECT

private slots:
    void scriptedAnswersComeFromTheQueue();
    void scriptedDefaultsAreNoAndCancel();
    void scopedPromptsRestoreThePrevious();
    void filtersBecomeQtFilters();
    void dialogHelpers();
    void assignFromTextFollowsTheTarget();
};

void TestPrompts::scriptedAnswersComeFromTheQueue()
{
    ScriptedPrompts scripted;
    scripted.queueAnswer(true);
    scripted.queueAnswer(false);
    scripted.queueFileName(QStringLiteral("/tmp/a.csv"));
    scripted.queueColour(QColor(Qt::red));
    FontChoice choice{QFont(QStringLiteral("Serif"), 20), 0xFF};
    scripted.queueFont(choice);

    QVERIFY(scripted.askYesNo(QStringLiteral("第一问")));
    QVERIFY(!scripted.askYesNo(QStringLiteral("第二问")));
    scripted.message(QStringLiteral("完成"));
    QCOMPARE(scripted.openFileName(QStringLiteral("CSV|*.csv")), QStringLiteral("/tmp/a.csv"));
    QCOMPARE(scripted.colour(Qt::black), std::optional<QColor>(QColor(Qt::red)));
    const auto font = scripted.font(FontChoice{});
    QVERIFY(font.has_value());
    QCOMPARE(font->font.pointSize(), 20);
    QCOMPARE(font->colour, qint64(0xFF));

    QCOMPARE(scripted.questions(), (QStringList{QStringLiteral("第一问"), QStringLiteral("第二问")}));
    QCOMPARE(scripted.messages(), QStringList{QStringLiteral("完成")});
    QCOMPARE(scripted.shown().size(), 6);
    QCOMPARE(scripted.shown().at(3).kind, QStringLiteral("open"));
}

void TestPrompts::scriptedDefaultsAreNoAndCancel()
{
    ScriptedPrompts scripted;
    QVERIFY(!scripted.askYesNo(QStringLiteral("?")));
    QVERIFY(scripted.openFileName(QString()).isEmpty());
    QVERIFY(scripted.saveFileName(QString(), QStringLiteral("a.xlsx")).isEmpty());
    QVERIFY(!scripted.colour(Qt::white).has_value());
    QVERIFY(!scripted.font(FontChoice{}).has_value());
}

void TestPrompts::scopedPromptsRestoreThePrevious()
{
    ScriptedPrompts outer;
    setPrompts(&outer);
    {
        ScopedScriptedPrompts inner;
        prompts().message(QStringLiteral("inner"));
        QCOMPARE(inner.messages().size(), 1);
    }
    prompts().message(QStringLiteral("outer"));
    QCOMPARE(outer.messages(), QStringList{QStringLiteral("outer")});
    setPrompts(nullptr);
    QVERIFY(!prompts().askYesNo(QStringLiteral("no one answers"))); // the stand-in says No
}

void TestPrompts::filtersBecomeQtFilters()
{
    QCOMPARE(QtPrompts::qtFilter(QStringLiteral("Microsoft Office Excel 工作簿(*.xls)|*.xls|CSV (逗号分隔)(*.csv)|*.csv")),
             QStringLiteral("Microsoft Office Excel 工作簿（*.xls） (*.xls);;CSV （逗号分隔）（*.csv） (*.csv)"));
    QCOMPARE(QtPrompts::qtFilter(QStringLiteral("图片|*.jpg;*.jpeg")), QStringLiteral("图片 (*.jpg *.jpeg)"));
    QCOMPARE(QtPrompts::qtFilter(QString()), QString());
}

void TestPrompts::dialogHelpers()
{
    ScopedScriptedPrompts scripted;
    QString filter;
    scripted.queueFileName(QStringLiteral("/data/名单.CSV"));
    QCOMPARE(AskOpenFileName(filter), QStringLiteral("/data/名单.CSV"));
    QCOMPARE(filter, ImportFilter); // an empty filter becomes the import filter
    QString pictures = QStringLiteral("JPEG图片(*.jpg)|*.jpg");
    QCOMPARE(AskOpenFileName(pictures), QString()); // cancelled
    QCOMPARE(scripted.texts(QStringLiteral("open")).last(), pictures);

    scripted.queueColour(QColor(255, 0, 0));
    QCOMPARE(AskColour(0xFF0000), qint64(0xFF));
    QCOMPARE(scripted.texts(QStringLiteral("colour")).last(), QStringLiteral("#0000ff")); // started from blue
    QCOMPARE(AskColour(0), qint64(-1));
}

void TestPrompts::assignFromTextFollowsTheTarget()
{
    QVariant flag = false;
    AssignFromText(flag, QStringLiteral("√"));
    QCOMPARE(flag, QVariant(true));
    AssignFromText(flag, QStringLiteral("0"));
    QCOMPARE(flag, QVariant(true)); // any text that is not blank
    AssignFromText(flag, QStringLiteral("  "));
    QCOMPARE(flag, QVariant(false));
    QVariant size = 9.0;
    AssignFromText(size, QStringLiteral("10.5"));
    QCOMPARE(size.toDouble(), 10.5);
    AssignFromText(size, QStringLiteral("big"));
    QCOMPARE(size.toDouble(), 0.0);
}

QTEST_MAIN(TestPrompts)
#include "tst_prompts.moc"
