#include "common/helpers.h"
#include "common/prompts.h"
#include "common/qtprompts.h"
#include "drawscreen/elementfont.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>

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
    void elementFontStartsFromTheElement();
    void messageBoxesShowPlainTextWithTheAskedDefault();
    void choiceBoxKeepsItsButtonsDefaultAndEscape();
    void saveDialogLeavesTheOverwriteQuestionToTheCaller();
};

void TestPrompts::scriptedAnswersComeFromTheQueue()
{
    ScriptedPrompts scripted;
    scripted.queueAnswer(true);
    scripted.queueAnswer(false);
    scripted.queueFileName(QStringLiteral("/tmp/a.csv"));
    scripted.queueColour(QColor(Qt::red));
    FontChoice choice { QFont(QStringLiteral("Serif"), 20), 0xFF };
    scripted.queueFont(choice);

    QVERIFY(scripted.askYesNo(QStringLiteral("第一问")));
    QVERIFY(!scripted.askYesNo(QStringLiteral("第二问")));
    scripted.message(QStringLiteral("完成"));
    QCOMPARE(scripted.openFileName(QStringLiteral("CSV|*.csv")), QStringLiteral("/tmp/a.csv"));
    QCOMPARE(scripted.colour(Qt::black), std::optional<QColor>(QColor(Qt::red)));
    const auto font = scripted.font(FontChoice {});
    QVERIFY(font.has_value());
    QCOMPARE(font->font.pointSize(), 20);
    QCOMPARE(font->colour, qint64(0xFF));

    QCOMPARE(scripted.questions(), (QStringList { QStringLiteral("第一问"), QStringLiteral("第二问") }));
    QCOMPARE(scripted.messages(), QStringList { QStringLiteral("完成") });
    QCOMPARE(scripted.shown().size(), 6);
    QCOMPARE(scripted.shown().at(3).kind, QStringLiteral("open"));

    scripted.queueChoice(QStringLiteral("重新开始"));
    scripted.queueChoice(QStringLiteral("不存在的按钮"));

    const QStringList buttons { QStringLiteral("继续抽奖"), QStringLiteral("重新开始"),
        QStringLiteral("取消") };
    QCOMPARE(scripted.askChoice(QStringLiteral("选一个"), buttons, 0, 2), 1);
    // A button the choice does not offer is taken as the escape button.
    QCOMPARE(scripted.askChoice(QStringLiteral("再选"), buttons, 0, 2), 2);
    QCOMPARE(scripted.choices(), (QStringList { QStringLiteral("选一个"), QStringLiteral("再选") }));
    QCOMPARE(scripted.lastChoice().buttons, buttons);
    QCOMPARE(scripted.lastChoice().defaultButton, 0);
    QCOMPARE(scripted.lastChoice().escapeButton, 2);
    QCOMPARE(scripted.questions().size(), 2); // a choice is not a Yes/No question
}

void TestPrompts::scriptedDefaultsAreNoAndCancel()
{
    ScriptedPrompts scripted;
    QVERIFY(!scripted.askYesNo(QStringLiteral("?")));
    QVERIFY(scripted.openFileName(QString()).isEmpty());
    QVERIFY(scripted.saveFileName(QString(), QStringLiteral("a.xlsx")).isEmpty());
    QVERIFY(!scripted.colour(Qt::white).has_value());
    QVERIFY(!scripted.font(FontChoice {}).has_value());
    const QStringList buttons { QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙") };
    QCOMPARE(scripted.askChoice(QStringLiteral("?"), buttons, 0, 1), 1); // the escape button
    QCOMPARE(scripted.lastChoice().kind, QStringLiteral("choice"));
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
    QCOMPARE(outer.messages(), QStringList { QStringLiteral("outer") });
    setPrompts(nullptr);
    QVERIFY(!prompts().askYesNo(QStringLiteral("no one answers"))); // the stand-in says No
    QCOMPARE(prompts().askChoice(QStringLiteral("no one chooses"),
                 { QStringLiteral("继续"), QStringLiteral("删除"), QStringLiteral("取消") }, 1, 2),
        2);
}

void TestPrompts::filtersBecomeQtFilters()
{
    QCOMPARE(QtPrompts::qtFilter(
                 QStringLiteral("Microsoft Office Excel 工作簿(*.xls)|*.xls|CSV (逗号分隔)(*.csv)|*.csv")),
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

// The font dialog opens on the element's own font, or on 宋体 for an element
// without a face; a cancel leaves the element as it was.
void TestPrompts::elementFontStartsFromTheElement()
{
    ScopedScriptedPrompts scripted;
    appearance::FontSpec faceless;
    faceless.font.setFamilies({});
    faceless.colour = 255;
    QVERIFY(faceless.font.family().isEmpty());
    QVERIFY(!ChooseElementFont(faceless));
    QCOMPARE(scripted.texts(QStringLiteral("font")), QStringList { QStringLiteral("宋体") });
    QVERIFY(faceless.font.family().isEmpty());
    QCOMPARE(faceless.colour, qint64(255));

    appearance::FontSpec title { QFont(QStringLiteral("Serif"), 40), 255 };
    FontChoice chosen { QFont(QStringLiteral("Sans"), 20), 0x00FF00 };
    chosen.font.setUnderline(true);
    scripted.queueFont(chosen);
    QVERIFY(ChooseElementFont(title));
    QCOMPARE(scripted.texts(QStringLiteral("font")).last(), QStringLiteral("Serif"));
    QCOMPARE(title.font, chosen.font);
    QCOMPARE(title.colour, qint64(0x00FF00));
}

// What the real boxes show: texts taken from the database (an award named
// <b>一等奖</b>) appear as typed, and a destructive question defaults to No.
void TestPrompts::messageBoxesShowPlainTextWithTheAskedDefault()
{
    QtPrompts real;
    struct Seen
    {
        Qt::TextFormat format = Qt::AutoText;
        QString text;
        QString defaultButton;
    } seen;
    auto answerNextBox = [&seen](bool pressDefault) {
        QTimer::singleShot(0, [&seen, pressDefault] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen.format = box->textFormat();
            seen.text = box->text();
            seen.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            if (pressDefault && box->defaultButton())
                box->defaultButton()->click();
            else
                box->reject();
        });
    };

    answerNextBox(true);
    real.message(QStringLiteral("<b>一等奖</b>"));
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.text, QStringLiteral("<b>一等奖</b>"));

    answerNextBox(true);
    QVERIFY(!real.askYesNo(QStringLiteral("删除<i>全部</i>结果？"), DefaultAnswer::No));
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.defaultButton, QStringLiteral("否(&N)"));

    answerNextBox(true);
    QVERIFY(real.askYesNo(QStringLiteral("继续？")));
    QCOMPARE(seen.defaultButton, QStringLiteral("是(&Y)"));

    ScriptedPrompts scripted;
    scripted.askYesNo(QStringLiteral("删除？"), DefaultAnswer::No);
    QCOMPARE(scripted.lastDefaultAnswer(), DefaultAnswer::No);
    scripted.askYesNo(QStringLiteral("继续？"));
    QCOMPARE(scripted.lastDefaultAnswer(), DefaultAnswer::Yes);
}

// The three-button box: its buttons stand in the order asked whatever the
// platform's button order, Enter presses the asked default, Esc the escape
// button, and the text is plain.
void TestPrompts::choiceBoxKeepsItsButtonsDefaultAndEscape()
{
    QtPrompts real;
    const QStringList buttons { QStringLiteral("继续抽奖"), QStringLiteral("重新开始"),
        QStringLiteral("取消") };
    struct Seen
    {
        Qt::TextFormat format = Qt::AutoText;
        QString text;
        QStringList leftToRight;
        QString defaultButton;
        QString escapeButton;
        bool sideBySide = false;
    } seen;
    auto pressOnNextBox = [&seen](Qt::Key key) {
        QTimer::singleShot(0, [&seen, key] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen.format = box->textFormat();
            seen.text = box->text();
            QList<QAbstractButton *> shown = box->buttons();
            std::sort(shown.begin(), shown.end(),
                [](QAbstractButton *a, QAbstractButton *b) { return a->x() < b->x(); });
            seen.sideBySide = shown.first()->x() < shown.last()->x();
            seen.leftToRight.clear();
            for (QAbstractButton *button : shown)
                seen.leftToRight << button->text();
            seen.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            seen.escapeButton = box->escapeButton() ? box->escapeButton()->text() : QString();
            if (seen.text.startsWith(QStringLiteral("该抽奖")))
                test::saveShot(box, QStringLiteral("QtPrompts-choice"));
            QTest::keyClick(box, key);
        });
    };

    pressOnNextBox(Qt::Key_Return);
    QCOMPARE(real.askChoice(QStringLiteral("该抽奖已有<b>8</b>条抽奖结果。"), buttons, 0, 2), 0);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.text, QStringLiteral("该抽奖已有<b>8</b>条抽奖结果。"));
    QVERIFY(seen.sideBySide);
    QCOMPARE(seen.leftToRight, buttons);
    QCOMPARE(seen.defaultButton, QStringLiteral("继续抽奖"));
    QCOMPARE(seen.escapeButton, QStringLiteral("取消"));

    pressOnNextBox(Qt::Key_Escape);
    QCOMPARE(real.askChoice(QStringLiteral("?"), buttons, 0, 2), 2);

    // Another default and escape, as asked.
    pressOnNextBox(Qt::Key_Return);
    QCOMPARE(real.askChoice(QStringLiteral("?"), buttons, 1, 0), 1);
    QCOMPARE(seen.defaultButton, QStringLiteral("重新开始"));
    QCOMPARE(seen.escapeButton, QStringLiteral("继续抽奖"));
}

// Choosing an existing file in the save dialog returns at once: the export
// asks "该文件已存在，是否覆盖？" itself, so a box from the dialog would be a
// second question about the same file.
void TestPrompts::saveDialogLeavesTheOverwriteQuestionToTheCaller()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("名单.csv"));
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();

    QtPrompts real;
    bool dialogAsked = false;
    // Any box shown while the dialog is open is the dialog's own question.
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&dialogAsked] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible()) {
                dialogAsked = true;
                if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                    yes->click();
            }
        }
    });
    watcher.start(20);
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(
        real.saveFileName(QStringLiteral("CSV (逗号分隔)(*.csv)|*.csv"), QStringLiteral("名单.csv")), path);
    QVERIFY(!dialogAsked);
}

QTEST_MAIN(TestPrompts)
#include "tst_prompts.moc"
