#include "common/chinesetexts.h"
#include "common/qtprompts.h"
#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <functional>
#include <memory>

using namespace tombolix;

namespace {

// The visible labels of a dialog, to tell its own texts from Qt's.
QStringList labelTexts(const QWidget *dialog)
{
    QStringList texts;
    for (const QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->isVisible())
            texts << label->text();
    }
    return texts;
}

QString buttonText(const QWidget *dialog, QDialogButtonBox::StandardButton which)
{
    for (const QDialogButtonBox *box : dialog->findChildren<QDialogButtonBox *>()) {
        if (const QPushButton *button = box->button(which))
            return button->text();
    }
    return QStringLiteral("<no such button>");
}

// Runs `look` on the next modal dialog of type T once it shows, then closes
// it with Cancel, as an operator who only looked would.
template<typename T> void lookAtNextDialog(std::function<void(T *)> look)
{
    QTimer::singleShot(0, [look] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!dialog) {
            // Whatever opened instead is closed so the test fails rather than hangs.
            if (auto *other = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                other->reject();
            QFAIL("the expected dialog did not open");
        }
        look(dialog);
        dialog->reject();
    });
}

} // namespace

class TestChineseTexts : public QObject
{
    Q_OBJECT

private slots:
    void catalogueInstallsOnce();
    void standardButtonsAndEditMenusReadChinese();
    void messageBoxesKeepTheProgramsButtonsAndTranslateOk();
    void fileDialogsAreQtsOwnInChinese();
    void colourAndFontDialogsReadChinese();
};

// Before the catalogue a button box speaks English; once it is installed,
// the box already on screen turns Chinese, and a second install adds nothing.
void TestChineseTexts::catalogueInstallsOnce()
{
    QDialogButtonBox shown(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(shown.button(QDialogButtonBox::Ok)->text(), QStringLiteral("OK"));

    QVERIFY(installChineseTranslations(*qApp));
    QVERIFY(installChineseTranslations(*qApp));
    QCOMPARE(qApp->findChildren<QTranslator *>().size(), 1);

    QCoreApplication::processEvents(); // the language change reaches the widgets
    QCOMPARE(shown.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(shown.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    // The numbers keep the locale's format: only the texts change language.
    QCOMPARE(QLocale().toString(1234.5, 'f', 1), QLocale::system().toString(1234.5, 'f', 1));
}

void TestChineseTexts::standardButtonsAndEditMenusReadChinese()
{
    QVERIFY(installChineseTranslations(*qApp));
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes
        | QDialogButtonBox::No | QDialogButtonBox::Open | QDialogButtonBox::Save | QDialogButtonBox::Close
        | QDialogButtonBox::Apply);
    const QList<std::pair<QDialogButtonBox::StandardButton, QString>> expected {
        { QDialogButtonBox::Ok, QStringLiteral("确定") },
        { QDialogButtonBox::Cancel, QStringLiteral("取消") },
        { QDialogButtonBox::Yes, QStringLiteral("是(&Y)") },
        { QDialogButtonBox::No, QStringLiteral("否(&N)") },
        { QDialogButtonBox::Open, QStringLiteral("打开") },
        { QDialogButtonBox::Save, QStringLiteral("保存") },
        { QDialogButtonBox::Close, QStringLiteral("关闭") },
        { QDialogButtonBox::Apply, QStringLiteral("应用") },
    };
    for (const auto &[which, text] : expected)
        QCOMPARE(box.button(which)->text(), text);

    // The right-button menu of every text box in the editors.
    QLineEdit edit(QStringLiteral("一等奖"));
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList actions;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            actions << action->text().section(QLatin1Char('\t'), 0, 0);
    }
    QVERIFY2(actions.contains(QStringLiteral("复制(&C)")), qPrintable(actions.join(u' ')));
    QVERIFY2(actions.contains(QStringLiteral("全选")), qPrintable(actions.join(u' ')));
}

// The program's own 是/否 captions stay exactly as they are; the one standard
// button it shows, the OK of a message, read "OK" before and now reads 确定.
void TestChineseTexts::messageBoxesKeepTheProgramsButtonsAndTranslateOk()
{
    QVERIFY(installChineseTranslations(*qApp));
    QtPrompts real;
    QStringList seen;
    auto readNextBox = [&seen] {
        QTimer::singleShot(0, [&seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen.clear();
            for (const QAbstractButton *button : box->buttons())
                seen << button->text();
            seen.sort();
            box->reject();
        });
    };

    readNextBox();
    real.message(QStringLiteral("导入完成"));
    QCOMPARE(seen, QStringList { QStringLiteral("确定") });

    readNextBox();
    real.askYesNo(QStringLiteral("是否删除？"), DefaultAnswer::No);
    QCOMPARE(seen, (QStringList { QStringLiteral("否(&N)"), QStringLiteral("是(&Y)") }));
}

// Qt's own dialog, not the desktop's: its accept button reads 打开 to open
// and 保存 to save, and its labels are Chinese too.
void TestChineseTexts::fileDialogsAreQtsOwnInChinese()
{
    QVERIFY(installChineseTranslations(*qApp));
    QTemporaryDir dir;
    QVERIFY(test::writeFile(dir.filePath(QStringLiteral("员工名单.csv")), "号码,姓名\n"));
    QVERIFY(test::writeFile(dir.filePath(QStringLiteral("年会抽奖.xlsx")), "x"));

    QtPrompts real;
    bool native = true;
    QString accept;
    QString cancel;
    QStringList labels;
    lookAtNextDialog<QFileDialog>([&](QFileDialog *dialog) {
        native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
        dialog->setDirectory(dir.path());
        accept = buttonText(dialog, QDialogButtonBox::Open);
        cancel = buttonText(dialog, QDialogButtonBox::Cancel);
        labels = labelTexts(dialog);
        QTest::qWait(200); // the folder's files are listed by a thread of their own
        test::saveShot(dialog, QStringLiteral("QtPrompts-open"));
    });
    QCOMPARE(real.openFileName(QStringLiteral("CSV (逗号分隔)(*.csv)|*.csv")), QString());
    QVERIFY(!native);
    QCOMPARE(accept, QStringLiteral("打开(&O)"));
    QCOMPARE(cancel, QStringLiteral("取消"));
    QVERIFY2(labels.contains(QStringLiteral("查找范围：")), qPrintable(labels.join(u' ')));
    QVERIFY2(labels.contains(QStringLiteral("文件名称(&N)：")), qPrintable(labels.join(u' ')));
    QVERIFY2(labels.contains(QStringLiteral("文件类型：")), qPrintable(labels.join(u' ')));

    native = true;
    lookAtNextDialog<QFileDialog>([&](QFileDialog *dialog) {
        native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
        accept = buttonText(dialog, QDialogButtonBox::Save);
        cancel = buttonText(dialog, QDialogButtonBox::Cancel);
    });
    QCOMPARE(real.saveFileName(QStringLiteral("CSV (逗号分隔)(*.csv)|*.csv"), QStringLiteral("名单.csv")),
        QString());
    QVERIFY(!native);
    QCOMPARE(accept, QStringLiteral("保存(&S)"));
    QCOMPARE(cancel, QStringLiteral("取消"));
}

void TestChineseTexts::colourAndFontDialogsReadChinese()
{
    QVERIFY(installChineseTranslations(*qApp));
    QtPrompts real;
    bool native = true;
    QString ok;
    QString cancel;
    QStringList labels;
    lookAtNextDialog<QColorDialog>([&](QColorDialog *dialog) {
        native = !dialog->testOption(QColorDialog::DontUseNativeDialog);
        ok = buttonText(dialog, QDialogButtonBox::Ok);
        cancel = buttonText(dialog, QDialogButtonBox::Cancel);
        labels = labelTexts(dialog);
        test::saveShot(dialog, QStringLiteral("QtPrompts-colour"));
    });
    QVERIFY(!real.colour(Qt::red).has_value());
    QVERIFY(!native);
    QCOMPARE(ok, QStringLiteral("确定"));
    QCOMPARE(cancel, QStringLiteral("取消"));
    QVERIFY2(labels.contains(QStringLiteral("基本颜色(&B)")), qPrintable(labels.join(u' ')));

    native = true;
    lookAtNextDialog<QFontDialog>([&](QFontDialog *dialog) {
        native = !dialog->testOption(QFontDialog::DontUseNativeDialog);
        ok = buttonText(dialog, QDialogButtonBox::Ok);
        cancel = buttonText(dialog, QDialogButtonBox::Cancel);
        labels = labelTexts(dialog);
        test::saveShot(dialog, QStringLiteral("QtPrompts-font"));
    });
    // Cancelled in the font dialog: no colour is asked for after it.
    QVERIFY(!real.font(FontChoice { QFont(QStringLiteral("Serif"), 20), 0xFF }).has_value());
    QVERIFY(!native);
    QCOMPARE(ok, QStringLiteral("确定"));
    QCOMPARE(cancel, QStringLiteral("取消"));
    QVERIFY2(labels.contains(QStringLiteral("字体(&F)")), qPrintable(labels.join(u' ')));
    QVERIFY2(labels.contains(QStringLiteral("大小(&S)")), qPrintable(labels.join(u' ')));
}

QTEST_MAIN(TestChineseTexts)
#include "tst_chinesetexts.moc"
