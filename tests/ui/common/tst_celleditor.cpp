#include "common/celleditor.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

using namespace tombolix;

namespace {

// A dialog with a table of 3 x 3 cells, a default button and a cell editor
// over the table.
struct Window
{
    QDialog dialog;
    QStandardItemModel model { 3, 3 };
    QTableView *view = new QTableView(&dialog);
    QPushButton *button = new QPushButton(QStringLiteral("确   定"), &dialog);
    CellEditor *editor = new CellEditor(view);

    Window()
    {
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(view);
        layout->addWidget(button);
        button->setDefault(true);
        view->setModel(&model);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                model.setItem(r, c, new QStandardItem(QStringLiteral("%1,%2").arg(r).arg(c)));
        }
        dialog.show();
        dialog.activateWindow();
        if (!QTest::qWaitForWindowActive(&dialog))
            qWarning("the dialog did not become active");
        view->setCurrentIndex(model.index(1, 0));
    }
};

} // namespace

class TestCellEditor : public QObject
{
    Q_OBJECT

private slots:
    void reportsEveryChangeWhileShown();
    void enterClosesAndGoesNoFurther_data();
    void enterClosesAndGoesNoFurther();
    void focusLossClosesOnlyWhenAsked();
};

void TestCellEditor::reportsEveryChangeWhileShown()
{
    Window window;
    CellEditor *editor = window.editor;
    QCOMPARE(editor->objectName(), QStringLiteral("TT"));
    QCOMPARE(editor->parentWidget(), window.view->viewport());
    QVERIFY(!editor->isVisible());
    QSignalSpy changes(editor, &CellEditor::cellTextChanged);
    editor->setText(QStringLiteral("hidden")); // not open: nothing to write
    QCOMPARE(changes.size(), 0);

    const QModelIndex cell = window.model.index(2, 1);
    editor->openOver(cell, QStringLiteral("2,1"));
    QVERIFY(editor->isVisible());
    QVERIFY(editor->hasFocus());
    const QRect area = window.view->visualRect(cell);
    QCOMPARE(editor->geometry(), QRect(area.x(), area.y(), area.width() + 1, area.height()));
    QCOMPARE(changes.size(), 1); // the cell's text differs from what the editor held
    QTest::keyClicks(editor, QStringLiteral("ab"));
    QCOMPARE(changes.size(), 3);
    QCOMPARE(changes.last().first().toString(), QStringLiteral("2,1ab"));

    editor->closeEditor();
    editor->openOver(cell, QStringLiteral("2,1ab")); // the same text: no change
    QCOMPARE(changes.size(), 3);
}

void TestCellEditor::enterClosesAndGoesNoFurther_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
}

// Enter closes the editor; the focus goes back to the view without moving its
// current row, and the dialog's default button is not pressed.
void TestCellEditor::enterClosesAndGoesNoFurther()
{
    QFETCH(int, key);
    Window window;
    QSignalSpy pressed(window.button, &QPushButton::clicked);
    window.editor->openOver(window.model.index(1, 2), QStringLiteral("x"));
    QTest::keyClick(window.editor, Qt::Key(key));
    QVERIFY(!window.editor->isVisible());
    QCOMPARE(QApplication::focusWidget(), window.view);
    QCOMPARE(window.view->currentIndex(), window.model.index(1, 0));
    QCOMPARE(pressed.size(), 0);
}

void TestCellEditor::focusLossClosesOnlyWhenAsked()
{
    Window window;
    const QModelIndex cell = window.model.index(0, 1);
    window.editor->openOver(cell, QString());
    QTest::keyClicks(window.editor, QStringLiteral("A"));
    window.button->setFocus();
    QVERIFY(window.editor->isVisible()); // the console's editor stays until the pointer leaves

    window.editor->setClosesOnFocusLoss(true);
    window.editor->openOver(cell, QString());
    QTest::keyClicks(window.editor, QStringLiteral("B"));
    window.button->setFocus();
    QVERIFY(!window.editor->isVisible());
    QCOMPARE(window.editor->text(), QStringLiteral("B"));
}

QTEST_MAIN(TestCellEditor)
#include "tst_celleditor.moc"
