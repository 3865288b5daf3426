#include "common/helpers.h"
#include "common/prompts.h"
#include "common/qtprompts.h"
#include "drawscreen/elementfont.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
}

void TestPrompts::scriptedDefaultsAreNoAndCancel()
{
    ScriptedPrompts scripted;
    QVERIFY(!scripted.askYesNo(QStringLiteral("?")));
    QVERIFY(scripted.openFileName(QString()).isEmpty());
    QVERIFY(scripted.saveFileName(QString(), QStringLiteral("a.xlsx")).isEmpty());
    QVERIFY(!scripted.colour(Qt::white).has_value());
    QVERIFY(!scripted.font(FontChoice {}).has_value());
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
