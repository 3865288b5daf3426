#include "common/gridview.h"
#include "common/indicator.h"
#include "common/prompts.h"
#include "console/addmem.h"
#include "console/fset.h"
#include "console/modi.h"
#include "console/modicon.h"
#include "data/attributestore.h"
#include "data/database.h"
#include "data/entrantwriter.h"
#include "data/rangestore.h"
#include "drawscreen/delaward.h"
#include "drawscreen/mf.h"
#include "grid/gridmodel.h"
#include "grid/gridops.h"
#include "support/testsupport.h"
#include "transfer/textcodec.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tombolix;
using grid::GridModel;

namespace {

using test::column;

using test::openWindow;

qint64 count(const QString &table, const QString &condition = QString())
{
    return data::CountRows(table, condition, QStringLiteral("*"));
}

void selectRows(FSet &console, int index, int first, int last)
{
    GridModel *grid = console.grid(index);
    grid->setRow(first);
    grid->setRowSel(last);
}

// QTest types ASCII only; Chinese goes in as the input method would put it.
void type(QLineEdit *edit, const QString &text)
{
    QVERIFY(edit);
    edit->setFocus();
    edit->insert(text);
}

void click(QWidget *window, const QString &name)
{
    auto *button = window->findChild<QPushButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

// Entrants with their attributes: each row the number, the name, then the
// values of the names given, stored as the import stores them.
void addWithAttributes(
    test::TestDatabase &db, qint64 draw, const QStringList &names, const QList<QStringList> &rows)
{
    QVERIFY(data::AttributeStore().placesOf(draw, names));
    for (const QStringList &row : rows)
        QVERIFY(data::AttributeStore().save(db.addEntrant(draw, row.at(0), row.at(1)), row.mid(2)));
}

// The stored numbers of all entrants, in ID order, and of one.
QStringList storedNumbers()
{
    QStringList numbers;
    for (data::Recordset rs = data::OpenRecordset(QStringLiteral("SELECT 号码 FROM 号码表 ORDER BY ID"));
         !rs.eof(); rs.moveNext())
        numbers << rs.field(0).toString();
    return numbers;
}

QString storedNumber(const QString &id)
{
    return data::LookupValue(QStringLiteral("号码表"), id, QStringLiteral("ID"), QStringLiteral("号码"))
        .toString();
}

// The console's own export of a tab, through the grid's menu as the
// operator opens it, into a file the prompts name.
void exportTab(FSet &console, int index, const QString &path, ScopedScriptedPrompts &prompts)
{
    prompts.queueFileName(path);
    grid::GridView *view = console.gridView(index);
    QTimer::singleShot(0, view, [] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *menu = qobject_cast<QMenu *>(window);
            if (menu && menu->isVisible() && menu->objectName() == QStringLiteral("M_Out")) {
                QAction *action = menu->findChild<QAction *>(QStringLiteral("M_OutMSF"));
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            }
        }
    });
    const QPoint cell = view->visualRect(console.grid(index)->index(2, 3)).center();
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, cell);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, cell);
}

// The console shown on its entrants tab, with the grid's view and its cell editor.
struct EntrantsTab
{
    FSet console;
    GridModel *grid = console.grid(2);
    grid::GridView *view = console.gridView(2);
    QLineEdit *editor = view->viewport()->findChild<QLineEdit *>(QStringLiteral("TT"));

    EntrantsTab()
    {
        console.show();
        if (!QTest::qWaitForWindowActive(&console))
            qWarning("the console did not become active");
        console.tabs()->setCurrentIndex(2);
    }

    // The centre of a cell, by data row (0 is the first) and column.
    QPoint cell(int dataRow, int col) const { return view->visualRect(grid->index(dataRow, col)).center(); }
    void clickCell(int dataRow, int col)
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(dataRow, col));
    }
    // Twice: the pointer may already stand where an earlier test left it.
    void moveAway()
    {
        const QPoint away = editor->geometry().center() + QPoint(0, 3 * editor->height());
        QTest::mouseMove(view->viewport(), away);
        QTest::mouseMove(view->viewport(), away + QPoint(1, 1));
    }
};

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsOnTheDrawsTab();
    void deletingDrawsTakesEverythingWithThem();
    void deletingAnAwardAsksTwice();
    void refusedDeletionChangesNothing_data();
    void refusedDeletionChangesNothing();
    void movingAwardsStoresTheOrder();
    void addingAnAwardNeedsADraw();
    void combosGoBackToTheNewestDraw();
    void theEntrantsTabExportsFromItsOwnButton();
    void inGridEditingWritesThrough();
    void fromAnEmptyDatabaseToAFinishedDraw();
    void shiftPressMarksFromTheCurrentRow();
    void columnsAreFittedToTheShownGrid();
    void pressesOnTheEntrantsGrid();
    void hidingTheCellEditorKeepsTheCurrentRow();
    void cellEditorWritesOnlyTheEntrantItWasOpenedOn();
    void aRefusedEditIsToldOnce();
    void keysThatMoveOnCloseTheCellEditorFirst_data();
    void keysThatMoveOnCloseTheCellEditorFirst();
    void refusedCellEditsKeepTheKeyAndAreToldOnce();
    void closingTheConsoleEndsTheProgramAtOnce();
    void anOpenEditorLocksTheTabs_data();
    void anOpenEditorLocksTheTabs();
    void gridMenuOffersTheExport();
    void exportWritesTheGridAsItStood();
    void attributeColumnsAreShownEditedSortedAndExported();
    void anAwardsRangeIsEditedStoredAndShown();
    void anAwardNobodyMayWinKeepsTheStageClosed();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestConsole::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
}

void TestConsole::cleanup()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->objectName() != QStringLiteral("FSet"))
            window->close();
    }
    delete m_prompts;
    delete m_db;
}

void TestConsole::startsOnTheDrawsTab()
{
    m_db->addDraw(QStringLiteral("一月抽奖"), QStringLiteral("30"));
    m_db->addDraw(QStringLiteral("年会 O'Brien's \"Party\""), QStringLiteral("50"), QStringLiteral("000****"),
        QStringLiteral("1"), QStringLiteral("8"));
    FSet console;
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    QCOMPARE(console.tabs()->currentIndex(), 0);
    GridModel *draws = console.grid(0);
    QCOMPARE(draws->Rows() - draws->FixedRows(), 2);
    QCOMPARE(column(*draws, 2),
        (QStringList { QStringLiteral("一月抽奖"), QStringLiteral("年会 O'Brien's \"Party\"") }));
    QCOMPARE(column(*draws, 1), (QStringList { "1", "2" }));
    QCOMPARE(draws->ColWidth(0), 0);
    QCOMPARE(draws->ColAlignment(3), grid::Align::RightBottom);
    QVERIFY(m_prompts->messages().isEmpty());
    test::saveShot(&console, QStringLiteral("FSet-draws"));
    for (int tab = 1; tab <= 4; ++tab) {
        console.tabs()->setCurrentIndex(tab);
        test::saveShot(&console, QStringLiteral("FSet-tab%1").arg(tab));
    }
}

void TestConsole::deletingDrawsTakesEverythingWithThem()
{
    QList<qint64> draws;
    for (int i = 1; i <= 5; ++i) {
        const qint64 draw = m_db->addDraw(QStringLiteral("抽奖%1").arg(i));
        draws << draw;
        const qint64 award = m_db->addAward(draw, 1, QStringLiteral("奖"), 1, 1);
        m_db->addEntrants(draw, 3);
        QVERIFY(data::ExecuteSql(
            QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码) VALUES (?, ?, '1')"), { draw, award }));
        QVERIFY(data::ExecuteSql(
            QStringLiteral("INSERT INTO 预设表 (PID, AID, Code) VALUES (?, ?, '1')"), { draw, award }));
    }
    FSet console;
    console.show();
    selectRows(console, 0, 4, 3); // positions 3 and 2, given backwards
    m_prompts->queueAnswer(false);
    console.pressButton(2);
    QCOMPARE(m_prompts->questions(), QStringList { QStringLiteral("您确认要删除抽奖内容：第2行至第3行？") });
    QCOMPARE(count(QStringLiteral("奖次表")), qint64(5));

    m_prompts->queueAnswer(true);
    console.pressButton(2);
    QCOMPARE(count(QStringLiteral("奖次表")), qint64(3));
    for (int i : { 1, 2 }) {
        const QString cid = QStringLiteral("CID=%1").arg(draws[i]);
        QCOMPARE(count(QStringLiteral("奖项表"), cid), qint64(0));
        QCOMPARE(count(QStringLiteral("号码表"), cid), qint64(0));
        QCOMPARE(count(QStringLiteral("结果表"), cid), qint64(0));
        QCOMPARE(count(QStringLiteral("预设表"), QStringLiteral("PID=%1").arg(draws[i])), qint64(0));
    }
    QCOMPARE(count(QStringLiteral("号码表")), qint64(9));
    GridModel *grid = console.grid(0);
    QCOMPARE(column(*grid, 1), (QStringList { "1", "2", "3" }));
    QCOMPARE(column(*grid, 2),
        (QStringList { QStringLiteral("抽奖1"), QStringLiteral("抽奖4"), QStringLiteral("抽奖5") }));
}

void TestConsole::deletingAnAwardAsksTwice()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const qint64 a = m_db->addAward(draw, 1, QStringLiteral("A"), 1, 1);
    m_db->addAward(draw, 2, QStringLiteral("B"), 1, 1);
    QVERIFY(data::ExecuteSql(
        QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码) VALUES (?, ?, '1')"), { draw, a }));
    QVERIFY(data::ExecuteSql(
        QStringLiteral("INSERT INTO 预设表 (PID, AID, Code) VALUES (?, ?, '1')"), { draw, a }));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(1);
    const QStringList questions { QStringLiteral("您确认要删除奖项内容：第1行至第1行？"),
        QStringLiteral("您确定要删除第1至第1行？") };

    // A No at either question deletes nothing, the award's winners included.
    for (int yeses = 0; yeses < 2; ++yeses) {
        m_prompts->clear();
        selectRows(console, 1, 2, 2);
        for (int i = 0; i < yeses; ++i)
            m_prompts->queueAnswer(true);
        click(&console, QStringLiteral("Com_12"));
        QCOMPARE(m_prompts->questions(), questions.mid(0, yeses + 1));
        QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
        QCOMPARE(count(QStringLiteral("奖项表")), qint64(2));
        QCOMPARE(count(QStringLiteral("结果表")), qint64(1));
        QCOMPARE(count(QStringLiteral("预设表")), qint64(1));
        QCOMPARE(column(*console.grid(1), 2), (QStringList { "A", "B" }));
    }

    m_prompts->queueAnswer(true);
    m_prompts->queueAnswer(true);
    click(&console, QStringLiteral("Com_12"));
    QCOMPARE(count(QStringLiteral("奖项表")), qint64(1));
    QCOMPARE(count(QStringLiteral("结果表")), qint64(0));
    QCOMPARE(count(QStringLiteral("预设表")), qint64(0));
    QCOMPARE(column(*console.grid(1), 2), QStringList { QStringLiteral("B") });
    QCOMPARE(column(*console.grid(1), 1), QStringList { QStringLiteral("1") });
}

void TestConsole::refusedDeletionChangesNothing_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("refusing");
    QTest::newRow("draw row refused") << 0 << QStringLiteral("奖次表");
    QTest::newRow("a draw's presets refused") << 0 << QStringLiteral("预设表");
    QTest::newRow("award row refused") << 1 << QStringLiteral("奖项表");
    QTest::newRow("an award's presets refused") << 1 << QStringLiteral("预设表");
    QTest::newRow("entrant rows refused") << 2 << QStringLiteral("号码表");
    QTest::newRow("result rows refused") << 3 << QStringLiteral("结果表");
}

void TestConsole::refusedDeletionChangesNothing()
{
    QFETCH(int, tab);
    QFETCH(QString, refusing);
    for (int i = 1; i <= 2; ++i) {
        const qint64 draw = m_db->addDraw(QStringLiteral("抽奖%1").arg(i));
        for (int order = 1; order <= 2; ++order) {
            const qint64 award = m_db->addAward(draw, order, QStringLiteral("奖%1").arg(order), 1, 1);
            QVERIFY(data::ExecuteSql(
                QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码) VALUES (?, ?, '1')"), { draw, award }));
            QVERIFY(data::ExecuteSql(
                QStringLiteral("INSERT INTO 预设表 (PID, AID, Code) VALUES (?, ?, '1')"), { draw, award }));
        }
        m_db->addEntrants(draw, 3);
    }
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON %1 "
                                            "BEGIN SELECT RAISE(ABORT, 'kept'); END")
                                 .arg(refusing)));
    const QStringList tables { "奖次表", "奖项表", "号码表", "结果表", "预设表" };
    QList<qint64> before;
    for (const QString &table : tables)
        before << count(table);
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(tab);
    GridModel *grid = console.grid(tab);
    const QStringList shown = column(*grid, 2);
    selectRows(console, tab, 2, 3);
    const QString deleteButton = QStringList { "Com_2", "Com_12", "Com_23", "Com_30" }.at(tab);
    m_prompts->queueAnswer(true);
    m_prompts->queueAnswer(true);
    click(&console, deleteButton);

    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("删除失败，数据库未作改动！") });
    for (int i = 0; i < tables.size(); ++i)
        QCOMPARE(count(tables[i]), before[i]);
    QCOMPARE(column(*grid, 2), shown);
    QCOMPARE(count(QStringLiteral("撤销表")), qint64(0));

    // Allowed again, the rows go; results deleted here are kept as withdrawn.
    QVERIFY(data::ExecuteSql(QStringLiteral("DROP TRIGGER refuse")));
    m_prompts->queueAnswer(true);
    m_prompts->queueAnswer(true);
    selectRows(console, tab, 2, 3);
    click(&console, deleteButton);
    QCOMPARE(grid->Rows() - grid->FixedRows(), int(shown.size()) - 2);
    QCOMPARE(count(QStringLiteral("撤销表"), QStringLiteral("原因='删除结果'")), qint64(tab == 3 ? 2 : 0));
}

void TestConsole::movingAwardsStoresTheOrder()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    for (const char *name : { "A", "B", "C" })
        m_db->addAward(draw, int(name[0] - 'A' + 1), QString::fromLatin1(name), 1, 1);
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(1);
    GridModel *grid = console.grid(1);
    grid->setRow(4); // C
    console.pressButton(13);
    QCOMPARE(column(*grid, 2), (QStringList { "A", "C", "B" }));
    QCOMPARE(column(*grid, 1), (QStringList { "1", "2", "3" }));
    QCOMPARE(grid->Row(), 3); // the moved award stays selected
    QCOMPARE(data::LookupValue(QStringLiteral("奖项表"), QStringLiteral("C"), QStringLiteral("名称"),
                 QStringLiteral("顺序"))
                 .toLongLong(),
        qint64(2));
    QCOMPARE(data::LookupValue(QStringLiteral("奖项表"), QStringLiteral("B"), QStringLiteral("名称"),
                 QStringLiteral("顺序"))
                 .toLongLong(),
        qint64(3));
    console.pressButton(13);
    QCOMPARE(column(*grid, 2), (QStringList { "C", "A", "B" }));
    console.pressButton(13); // already first: nothing
    QCOMPARE(column(*grid, 2), (QStringList { "C", "A", "B" }));
    grid->setRow(4);
    console.pressButton(14); // already last: nothing
    QCOMPARE(column(*grid, 2), (QStringList { "C", "A", "B" }));
    console.SST_Click(); // what is stored comes back the same
    QCOMPARE(column(*grid, 2), (QStringList { "C", "A", "B" }));
}

void TestConsole::addingAnAwardNeedsADraw()
{
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(1);
    QCOMPARE(console.chosenDraw(1), qint64(0));
    QCOMPARE(console.combo(1)->count(), 0);
    console.pressButton(10);
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("请选择抽奖名称后再添加奖项！") });
    console.pressButton(11); // nothing selected: nothing happens
    console.pressButton(12);
    QVERIFY(m_prompts->questions().isEmpty());
}

void TestConsole::combosGoBackToTheNewestDraw()
{
    const qint64 older = m_db->addDraw(QStringLiteral("旧"));
    const qint64 newer = m_db->addDraw(QStringLiteral("新"));
    m_db->addAward(older, 1, QStringLiteral("旧奖"), 1, 1);
    m_db->addEntrants(older, 3);
    m_db->addEntrants(newer, 2);
    FSet console;
    console.show();
    // The entrants tab counts the chosen draw's entrants, as they change.
    auto *entrantCount = console.findChild<QLabel *>(QStringLiteral("EntrantCount"));
    console.tabs()->setCurrentIndex(2);
    QTRY_COMPARE(entrantCount->text(), QStringLiteral("共2人"));
    console.combo(2)->setCurrentIndex(1);
    console.comboClick(2);
    QTRY_COMPARE(entrantCount->text(), QStringLiteral("共3人"));
    selectRows(console, 2, 2, 3);
    m_prompts->queueAnswer(true);
    click(&console, QStringLiteral("Com_23"));
    QTRY_COMPARE(entrantCount->text(), QStringLiteral("共1人"));
    console.tabs()->setCurrentIndex(1);
    QCOMPARE(console.chosenDraw(1), newer);
    QCOMPARE(console.grid(1)->Rows(), 2);
    console.combo(1)->setCurrentIndex(1);
    console.comboClick(1);
    QCOMPARE(console.chosenDraw(1), older);
    QCOMPARE(column(*console.grid(1), 2), QStringList { QStringLiteral("旧奖") });
    console.tabs()->setCurrentIndex(2);
    console.tabs()->setCurrentIndex(1);
    QCOMPARE(console.chosenDraw(1), newer);
    QCOMPARE(console.chosenDraw(2), newer);
}

void TestConsole::inGridEditingWritesThrough()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const qint64 id = m_db->addEntrant(draw, QStringLiteral("001"), QStringLiteral("甲"));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    GridModel *grid = console.grid(2);
    grid::GridView *view = console.gridView(2);
    const QRect cell = view->visualRect(grid->index(0, 4));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    auto *editor = view->viewport()->findChild<QLineEdit *>(QStringLiteral("TT"));
    QVERIFY(editor);
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->text(), QStringLiteral("甲"));
    QTest::keyClicks(editor, QStringLiteral("'s"));
    QCOMPARE(grid->TextMatrix(2, 4), QStringLiteral("甲's"));
    QCOMPARE(grid->TextMatrix(2, 0), QString::number(id));
    QCOMPARE(data::LookupValue(QStringLiteral("号码表"), id, QStringLiteral("ID"), QStringLiteral("姓名"))
                 .toString(),
        QStringLiteral("甲's"));
    test::saveShot(&console, QStringLiteral("FSet-cell-editor"));
    QTest::mouseMove(view->viewport(), cell.center() + QPoint(0, 80));
    QVERIFY(!editor->isVisible());
    // The fixed columns are not editable.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(grid->index(0, 2)).center());
    QVERIFY(!editor->isVisible());
}

void TestConsole::fromAnEmptyDatabaseToAFinishedDraw()
{
    FSet console;
    console.show();

    // A draw, through the draw editor.
    console.pressButton(0);
    QWidget *modi = openWindow(QStringLiteral("添加/修改抽奖设置"));
    QVERIFY(modi);
    QVERIFY(!console.tabs()->tabBar()->isEnabled());
    type(modi->findChild<QLineEdit *>(QStringLiteral("TT_4")), QStringLiteral("2026 年会"));
    test::saveShot(modi, QStringLiteral("Modi-new"));
    click(modi, QStringLiteral("Com_1"));
    QTRY_VERIFY(!openWindow(QStringLiteral("添加/修改抽奖设置")));
    QVERIFY(console.tabs()->tabBar()->isEnabled());
    QCOMPARE(console.grid(0)->Rows() - 2, 1);

    // Two awards, through the award editor.
    console.tabs()->setCurrentIndex(1);
    const struct
    {
        const char *name;
        const char *count;
        const char *perRound;
    } awards[] = { { "二等奖", "5", "5" }, { "一等奖", "2", "1" } };
    for (const auto &award : awards) {
        console.pressButton(10);
        QWidget *editor = openWindow(QStringLiteral("添加/修改奖项设置"));
        QVERIFY(editor);
        type(editor->findChild<QLineEdit *>(QStringLiteral("TT_0")), QString::fromUtf8(award.name));
        auto *total = editor->findChild<QLineEdit *>(QStringLiteral("TT_1"));
        total->clear();
        QTest::keyClicks(total, QString::fromLatin1(award.count));
        auto *perRound = editor->findChild<QLineEdit *>(QStringLiteral("TT_3"));
        perRound->clear();
        QTest::keyClicks(perRound, QString::fromLatin1(award.perRound));
        test::saveShot(editor, QStringLiteral("ModiCon-new"));
        click(editor, QStringLiteral("Com_1"));
        QTRY_VERIFY(!openWindow(QStringLiteral("添加/修改奖项设置")));
    }
    QCOMPARE(
        column(*console.grid(1), 2), (QStringList { QStringLiteral("二等奖"), QStringLiteral("一等奖") }));
    QCOMPARE(column(*console.grid(1), 5), (QStringList { QStringLiteral("√"), QStringLiteral("√") }));

    // Twenty typed entrants, through the add dialog.
    console.tabs()->setCurrentIndex(2);
    for (int i = 1; i <= 20; ++i) {
        console.pressButton(24);
        QWidget *add = openWindow(QStringLiteral("添加名单"));
        QVERIFY(add);
        QTest::keyClicks(
            add->findChild<QLineEdit *>(QStringLiteral("TT_0")), QStringLiteral("%1").arg(800 + i));
        type(add->findChild<QLineEdit *>(QStringLiteral("TT_1")), QStringLiteral("员工%1").arg(i));
        if (i == 20)
            test::saveShot(add, QStringLiteral("AddMem"));
        click(add, QStringLiteral("Com_0"));
        QTRY_VERIFY(!openWindow(QStringLiteral("添加名单")));
    }
    QCOMPARE(console.grid(2)->Rows() - 2, 20);
    QCOMPARE(count(QStringLiteral("号码表")), qint64(20));
    test::saveShot(&console, QStringLiteral("FSet-entrants"));

    // Hold the draw.
    test::whenWindowOpens(&console, QStringLiteral("选择抽奖设置"), [](QWidget *chooser) {
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("Com_1")), Qt::LeftButton);
    });
    click(&console, QStringLiteral("Entr"));
    auto *screen = qobject_cast<MF *>(openWindow(MF::caption()));
    QVERIFY(screen);
    int rounds = 0;
    while (!screen->session().DrawFinished() && rounds < 20) {
        screen->ToggleRoll();
        QTest::qWait(20);
        screen->ToggleRoll();
        ++rounds;
    }
    QCOMPARE(rounds, 3); // five at once, then one and one
    QCOMPARE(count(QStringLiteral("结果表")), qint64(7));
    screen->close();
    QTRY_VERIFY(console.isVisible());

    console.tabs()->setCurrentIndex(3);
    GridModel *results = console.grid(3);
    QCOMPARE(results->Rows() - 2, 7);
    QCOMPARE(column(*results, 3).count(QStringLiteral("二等奖")), 5);
    QCOMPARE(column(*results, 3).count(QStringLiteral("一等奖")), 2);
    test::saveShot(&console, QStringLiteral("FSet-results"));
    QVERIFY(test::OtherThanRecordSaved(m_prompts->messages()).isEmpty());

    // The finance officer checks the record the end of the draw left with the
    // entrant list the console exports, as it stands and sorted by name.
    const QFileInfoList records = QDir(QFileInfo(m_db->path()).dir().filePath(QStringLiteral("公证记录")))
                                      .entryInfoList({ QStringLiteral("*.json") });
    QCOMPARE(records.size(), 1);
    console.tabs()->setCurrentIndex(2);
    QTemporaryDir lists;
    exportTab(console, 2, lists.filePath(QStringLiteral("名单.xlsx")), *m_prompts);
    QHeaderView *header = console.gridView(2)->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(4) + header->sectionSize(4) / 2, 4));
    exportTab(console, 2, lists.filePath(QStringLiteral("名单.csv")), *m_prompts);
    for (const QString &name : { QStringLiteral("名单.xlsx"), QStringLiteral("名单.csv") }) {
        QProcess verify;
        verify.start(QStringLiteral(TOMBOLIX_VERIFY), { records.at(0).filePath(), lists.filePath(name) });
        QVERIFY(verify.waitForFinished(60000));
        const QString said = QString::fromUtf8(verify.readAllStandardOutput());
        QVERIFY2(verify.exitCode() == 0 && said.contains(QStringLiteral("（20 人")), qPrintable(name + said));
    }
}

void TestConsole::shiftPressMarksFromTheCurrentRow()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 6, 6);
    m_db->addEntrants(draw, 6, 101);
    test::holdRounds(draw, 1);
    MF screen(draw, draw::Entry::Continue);
    auto *dialog = new DelAward(&screen);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    auto *view = dialog->findChild<grid::GridView *>(QStringLiteral("MSF"));
    QVERIFY(view);
    GridModel *grid = dialog->grid();
    const int mark = 3;
    auto press = [&](int row, Qt::KeyboardModifiers modifiers) {
        const QRect cell = view->visualRect(grid->index(grid->modelRow(row), mark));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, cell.center());
    };

    press(3, {});
    QCOMPARE(column(*grid, mark), (QStringList { "", "√", "", "", "", "" }));
    QTest::keyClick(view, Qt::Key_Down); // onto an unmarked row
    QCOMPARE(grid->Row(), 4);
    press(6, Qt::ShiftModifier); // the range takes the opposite of the current mark
    QCOMPARE(column(*grid, mark), (QStringList { "", "√", "√", "√", "√", "" }));
    press(2, Qt::ShiftModifier); // from a marked row the range is cleared
    QCOMPARE(column(*grid, mark), QStringList(6, QString()));
    press(4, Qt::ShiftModifier | Qt::ControlModifier); // not Shift alone: one row
    QCOMPARE(column(*grid, mark), (QStringList { "", "", "√", "", "", "" }));
}

void TestConsole::columnsAreFittedToTheShownGrid()
{
    const QString name = QStringLiteral("二〇二六年度全体员工新春联欢晚会幸运大抽奖");
    m_db->addDraw(name);
    FSet console;
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    grid::GridView *view = console.gridView(0);
    const int text = QFontMetrics(console.font()).horizontalAdvance(name);
    QVERIFY2(view->columnWidth(2) >= text,
        qPrintable(QStringLiteral("%1 < %2").arg(view->columnWidth(2)).arg(text)));
    test::saveShot(&console, QStringLiteral("FSet-long-name"));
}

void TestConsole::pressesOnTheEntrantsGrid()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    for (const char *name : { "Bob", "Ann", "Cid" })
        m_db->addEntrant(draw, QStringLiteral("00") + QLatin1Char(name[0]), QString::fromLatin1(name));
    EntrantsTab tab;
    QHeaderView *header = tab.view->horizontalHeader();

    // Right of the last caption counts for the last column.
    const int right = header->sectionViewportPosition(4) + header->sectionSize(4) + 20;
    QVERIFY(right < header->viewport()->width());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(right, header->height() / 2));
    QCOMPARE(tab.grid->TextMatrix(1, 4), QStringLiteral("姓名△"));
    QCOMPARE(column(*tab.grid, 4), (QStringList { "Cid", "Bob", "Ann" }));
    QCOMPARE(column(*tab.grid, 2), (QStringList { "1", "2", "3" }));

    // The cell editor opens when the press is released on the same cell.
    QTest::mousePress(tab.view->viewport(), Qt::LeftButton, {}, tab.cell(0, 3));
    QVERIFY(!tab.editor->isVisible());
    QTest::mouseRelease(tab.view->viewport(), Qt::LeftButton, {}, tab.cell(0, 3));
    QVERIFY(tab.editor->isVisible());
    QCOMPARE(tab.editor->text(), QStringLiteral("00C"));
    tab.moveAway();
    QTest::mousePress(tab.view->viewport(), Qt::LeftButton, {}, tab.cell(1, 3));
    QTest::mouseRelease(tab.view->viewport(), Qt::LeftButton, {}, tab.cell(0, 3));
    QVERIFY(!tab.editor->isVisible());
}

void TestConsole::hidingTheCellEditorKeepsTheCurrentRow()
{
    m_db->addEntrants(m_db->addDraw(QStringLiteral("年会")), 4, 1, 3);
    EntrantsTab tab;

    // Moving the pointer away, and Enter, close the editor where it stands.
    for (int way = 0; way < 2; ++way) {
        tab.clickCell(1, 4);
        QVERIFY(tab.editor->isVisible());
        if (way == 0)
            tab.moveAway();
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!tab.editor->isVisible());
        QCOMPARE(tab.grid->Row(), 3);
        QCOMPARE(tab.grid->RowSel(), 3);
        QCOMPARE(tab.view->currentIndex().row(), 1);
    }
    click(&tab.console, QStringLiteral("Com_23"));
    QCOMPARE(m_prompts->questions(), QStringList { QStringLiteral("您确定要删除第2至第2行？") });
    QCOMPARE(count(QStringLiteral("号码表")), qint64(4));
}

void TestConsole::cellEditorWritesOnlyTheEntrantItWasOpenedOn()
{
    m_db->addEntrants(m_db->addDraw(QStringLiteral("年会")), 60, 1, 3); // more than the grid shows at once
    EntrantsTab tab;
    const QStringList stored = column(*tab.grid, 3);
    QHeaderView *header = tab.view->horizontalHeader();
    QScrollBar *scroll = tab.view->verticalScrollBar();

    // Whatever reorders, refills or scrolls the grid closes the editor first,
    // so no key reaches an entrant afterwards.
    const QPoint caption(
        header->sectionViewportPosition(3) + header->sectionSize(3) / 2, header->height() / 2);
    const std::function<void()> changes[] = {
        [&] { QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, caption); },
        [&] { tab.console.comboClick(2); },
        [&] { tab.console.SST_Click(); },
        [&] { scroll->setValue(scroll->maximum()); },
    };
    for (const auto &change : changes) {
        tab.clickCell(0, 3);
        QVERIFY(tab.editor->isVisible());
        change();
        QTest::keyClicks(tab.editor, QStringLiteral("9"));
        QCOMPARE(storedNumbers(), stored);
        QVERIFY(!tab.editor->isVisible());
    }

    // Rows that move under an open editor do not take its keys.
    tab.clickCell(0, 3);
    const QString opened = tab.grid->TextMatrix(2, 0);
    grid::SortGridByColumn(*tab.grid, 3);
    QVERIFY(tab.grid->TextMatrix(2, 0) != opened);
    QTest::keyClicks(tab.editor, QStringLiteral("9"));
    QCOMPARE(storedNumber(opened), tab.editor->text());
    QCOMPARE(storedNumbers().count(tab.editor->text()), 1);
}

// Every keystroke stores the cell; a database that refuses them is told of
// once, not once per key.
void TestConsole::aRefusedEditIsToldOnce()
{
    m_db->addEntrants(m_db->addDraw(QStringLiteral("年会")), 3);
    EntrantsTab tab;
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON 号码表 "
                                            "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    tab.clickCell(0, 3);
    QVERIFY(tab.editor->isVisible());
    QTest::keyClicks(tab.editor, QStringLiteral("999"));
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("名单保存失败，数据未写入数据库！") });
}

void TestConsole::keysThatMoveOnCloseTheCellEditorFirst_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("row"); // the grid's current row after it, a data row
    QTest::newRow("Tab") << int(Qt::Key_Tab) << 5;
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << 5;
    QTest::newRow("Down") << int(Qt::Key_Down) << 6;
    QTest::newRow("Up") << int(Qt::Key_Up) << 4;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << -1;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 0;
}

// Typing goes to the entrant under the editor; a key that moves to another
// cell closes the editor there, and the next keys reach no entrant unseen.
void TestConsole::keysThatMoveOnCloseTheCellEditorFirst()
{
    QFETCH(int, key);
    QFETCH(int, row);
    m_db->addEntrants(m_db->addDraw(QStringLiteral("年会")), 40, 1, 3);
    EntrantsTab tab;
    const QStringList stored = column(*tab.grid, 3);
    tab.clickCell(5, 3);
    QVERIFY(tab.editor->isVisible());
    const QString edited = tab.grid->TextMatrix(tab.grid->FixedRows() + 5, 0);
    QTest::keyClicks(tab.editor, QStringLiteral("7"));
    QTest::keyClick(tab.editor, Qt::Key(key), key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    QVERIFY(!tab.editor->isVisible());
    const int current = tab.grid->Row() - tab.grid->FixedRows();
    if (row >= 0)
        QCOMPARE(current, row);
    else
        QVERIFY(current > 6);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("9"));
    QCOMPARE(storedNumber(edited), stored.at(5) + QStringLiteral("7"));
    QStringList expected = stored;
    expected[5] += QStringLiteral("7");
    QCOMPARE(storedNumbers(), expected);
}

void TestConsole::refusedCellEditsKeepTheKeyAndAreToldOnce()
{
    m_db->addEntrants(m_db->addDraw(QStringLiteral("年会")), 3, 1, 3);
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON 号码表 "
                                            "BEGIN SELECT RAISE(ABORT, 'read only'); END")));
    EntrantsTab tab;
    const QString key = tab.grid->TextMatrix(2, 0);

    for (int opening = 1; opening <= 2; ++opening) {
        tab.clickCell(0, 3);
        QVERIFY(tab.editor->isVisible());
        QTest::keyClicks(tab.editor, QStringLiteral("98"));
        QCOMPARE(m_prompts->messages(), QStringList(opening, data::EntrantSaveFailedMessage()));
        QCOMPARE(tab.grid->TextMatrix(2, 0), key);
        tab.moveAway();
    }
    QCOMPARE(storedNumber(key), QStringLiteral("001"));

    // The row still names its entrant, so deleting it deletes the record.
    m_prompts->queueAnswer(true);
    click(&tab.console, QStringLiteral("Com_23"));
    QCOMPARE(m_prompts->questions(), QStringList { QStringLiteral("您确定要删除第1至第1行？") });
    QCOMPARE(count(QStringLiteral("号码表")), qint64(2));
    QCOMPARE(count(QStringLiteral("号码表"), QStringLiteral("ID=") + key), qint64(0));
}

// The close box of the console ends the program: the editor open on it and
// a draw screen rolling beside it are left as they are, their closing steps
// not run, nothing asked with the console gone.
void TestConsole::closingTheConsoleEndsTheProgramAtOnce()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    m_db->addEntrants(draw, 5);
    FSet console;
    console.show();
    selectRows(console, 0, 2, 2);
    click(&console, QStringLiteral("Com_1"));
    QPointer<QWidget> editor = openWindow(Modi::caption());
    QVERIFY(editor);
    MF screen(draw);
    screen.setAttribute(Qt::WA_DeleteOnClose, false);
    screen.show();
    screen.ToggleRoll();
    QVERIFY(screen.isRolling());

    QTimer::singleShot(0, &console, [&console] {
        QCoreApplication::postEvent(console.windowHandle(), new QCloseEvent); // the close box
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); }); // a quit held up by a window
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(m_prompts->shown().isEmpty());
    QVERIFY(editor && editor->isVisible());
    QVERIFY(screen.isRolling());
    QCOMPARE(count(QStringLiteral("结果表")), qint64(0));
    editor->close();
    screen.ToggleRoll();
}

void TestConsole::anOpenEditorLocksTheTabs_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("others"); // buttons of the same tab
    QTest::addColumn<QString>("cancel");
    QTest::newRow("new draw") << 0 << "Com_0" << Modi::caption() << QStringList { "Com_0", "Com_1", "Com_2" }
                              << "Com_2";
    QTest::newRow("changed draw") << 0 << "Com_1" << Modi::caption() << QStringList { "Com_0", "Com_2" }
                                  << "Com_2";
    QTest::newRow("new award") << 1 << "Com_10" << ModiCon::caption()
                               << QStringList { "Com_10", "Com_11", "Com_12", "Com_13" } << "Com_2";
    QTest::newRow("added entrant") << 2 << "Com_24" << AddMem::caption() << QStringList { "Com_24", "Com_23" }
                                   << "Com_1";
    // The checks' windows hold what they found until they close.
    QTest::newRow("duplicates check") << 2 << "Com_21" << QStringLiteral("检查重复")
                                      << QStringList { "Com_21", "Com_22", "Com_23" } << "Close";
    QTest::newRow("length check") << 2 << "Com_22" << QStringLiteral("检查号长")
                                  << QStringList { "Com_21", "Com_22", "Com_23" } << "Close";
}

void TestConsole::anOpenEditorLocksTheTabs()
{
    QFETCH(int, tab);
    QFETCH(QString, opener);
    QFETCH(QString, caption);
    QFETCH(QStringList, others);
    QFETCH(QString, cancel);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    m_db->addAward(draw, 2, QStringLiteral("二等奖"), 1, 1);
    m_db->addEntrants(draw, 2);
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(tab);
    grid::GridView *view = console.gridView(tab);
    const QRect firstRow = view->visualRect(console.grid(tab)->index(0, 2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, firstRow.center());
    auto windows = [&caption] {
        int open = 0;
        for (QWidget *window : QApplication::topLevelWidgets())
            open += window->isVisible() && window->windowTitle() == caption ? 1 : 0;
        return open;
    };

    click(&console, opener);
    QWidget *editor = openWindow(caption);
    QVERIFY(editor);
    QVERIFY(!console.tabs()->isEnabled());
    test::saveShot(&console, QStringLiteral("FSet-locked-tab%1").arg(tab));
    // Nothing on the tabs, nor the menu, acts while the editor is open.
    for (const QString &button : others) {
        m_prompts->queueAnswer(true);
        click(&console, button);
    }
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, firstRow.center());
    console.findChild<QAction *>(QStringLiteral("M_New"))->trigger();
    QCOMPARE(windows(), 1);
    QVERIFY(openWindow(caption == Modi::caption() ? ModiCon::caption() : Modi::caption()) == nullptr);
    QVERIFY(m_prompts->questions().isEmpty());
    QCOMPARE(count(QStringLiteral("奖次表")), qint64(1));
    QCOMPARE(count(QStringLiteral("奖项表")), qint64(2));
    QCOMPARE(count(QStringLiteral("号码表")), qint64(2));

    click(editor, cancel);
    QTRY_COMPARE(windows(), 0);
    QVERIFY(console.tabs()->isEnabled());
    QVERIFY(console.findChild<QAction *>(QStringLiteral("M_New"))->isEnabled());
}

void TestConsole::gridMenuOffersTheExport()
{
    m_db->addDraw(QStringLiteral("年会"));
    FSet console;
    console.show();
    grid::GridView *view = console.gridView(0);
    QStringList items;
    QTimer::singleShot(0, this, [&items] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *menu = qobject_cast<QMenu *>(window);
            if (!menu || !menu->isVisible() || menu->objectName() != QStringLiteral("M_Out"))
                continue;
            for (QAction *action : menu->actions())
                items << action->objectName() + QLatin1Char(' ') + action->text();
            menu->close();
        }
    });
    const QPoint cell = view->visualRect(console.grid(0)->index(0, 2)).center();
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, cell);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, cell);
    QCOMPARE(items, QStringList { QStringLiteral("M_OutMSF 导出表格") });
}

// The export writes behind the progress window, which lets queued presses
// run: a sort of the same grid meanwhile must not mix two orders in the file.
void TestConsole::exportWritesTheGridAsItStood()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const qint64 award = m_db->addAward(draw, 1, QStringLiteral("一等奖"), 400, 1);
    {
        data::Transaction transaction;
        QSqlQuery insert(data::connection());
        QVERIFY(
            insert.prepare(QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES (?, ?, ?, ?)")));
        for (int i = 1; i <= 400; ++i) {
            insert.addBindValue(draw);
            insert.addBindValue(award);
            insert.addBindValue(QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')));
            insert.addBindValue(QStringLiteral("员工%1").arg(i));
            QVERIFY(insert.exec());
        }
        QVERIFY(transaction.commit());
    }
    IndicatorProgress progress;
    ProgressSink *previous = setProgressSink(&progress);
    FSet console;
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    console.tabs()->setCurrentIndex(3);
    GridModel *grid = console.grid(3);
    const QStringList numbers = column(*grid, 5);
    QCOMPARE(numbers.size(), 400);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("结果.csv"));
    m_prompts->queueFileName(path);
    // A press on the "抽奖号码" caption, queued: it arrives while the file is
    // being written.
    QHeaderView *header = console.gridView(3)->horizontalHeader();
    const QPointF at(header->sectionViewportPosition(5) + header->sectionSize(5) / 2, 4);
    const QPointF global = header->viewport()->mapToGlobal(at);
    QCoreApplication::postEvent(header->viewport(),
        new QMouseEvent(
            QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(header->viewport(),
        new QMouseEvent(
            QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    click(&console, QStringLiteral("Com_31"));
    setProgressSink(previous);

    QVERIFY(column(*grid, 5) != numbers); // the press did sort the grid
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList exported;
    const QStringList lines
        = transfer::DecodeText(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(1))
        exported << line.section(QLatin1Char(','), 3, 3);
    QCOMPARE(exported, numbers);
}

// The entrants' export is a button of the tab, not only a right-click away.
void TestConsole::theEntrantsTabExportsFromItsOwnButton()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrant(draw, QStringLiteral("1001"), QStringLiteral("甲"));
    m_db->addEntrant(draw, QStringLiteral("1002"), QStringLiteral("乙"));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("名单.csv"));
    m_prompts->queueFileName(path);
    auto *button = console.findChild<QPushButton *>(QStringLiteral("Com_25"));
    QCOMPARE(button->text(), QStringLiteral("导出数据"));
    click(&console, QStringLiteral("Com_25"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = transfer::DecodeText(file.readAll());
    QVERIFY(text.contains(QStringLiteral("1001")) && text.contains(QStringLiteral("乙")));
}

// The draw's attributes stand after the name under their own captions: a
// value typed into one is stored, an edit of the number leaves them be, a
// press on the caption sorts the rows by them, and the tab's export has them.
void TestConsole::attributeColumnsAreShownEditedSortedAndExported()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    std::vector<data::EntrantRow> rows(3);
    const QStringList numbers { "1001", "1002", "1003" };
    const QStringList names { "甲", "乙", "丙" };
    const QStringList departments { "销售部", "研发部", "" };
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].number = numbers.at(int(i));
        rows[i].name = names.at(int(i));
        rows[i].attributes = QStringList { departments.at(int(i)) };
    }
    QVERIFY(data::SaveEntrantRows(rows, draw, { "部门" }));
    EntrantsTab tab;
    GridModel *grid = tab.grid;
    QCOMPARE(grid->TextMatrix(1, 5), QStringLiteral("部门"));
    QCOMPARE(column(*grid, 5), departments);

    tab.clickCell(2, 5);
    QVERIFY(tab.editor->isVisible());
    type(tab.editor, QStringLiteral("行政部"));
    tab.moveAway();
    tab.clickCell(0, 3);
    QTest::keyClicks(tab.editor, QStringLiteral("9"));
    tab.moveAway();
    data::AttributeStore store;
    QCOMPARE(store.valuesOf(rows[2].key), std::optional<QStringList>(QStringList { "行政部" }));
    QCOMPARE(store.valuesOf(rows[0].key), std::optional<QStringList>(QStringList { "销售部" }));
    QCOMPARE(storedNumber(QString::number(rows[0].key)), QStringLiteral("10019"));

    QHeaderView *header = tab.view->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(5) + header->sectionSize(5) / 2, 4));
    QStringList sorted { "销售部", "研发部", "行政部" };
    std::sort(sorted.begin(), sorted.end());
    const QStringList shown = column(*grid, 5);
    QVERIFY2(shown == sorted || shown == QStringList(sorted.crbegin(), sorted.crend()),
        qPrintable(shown.join(',')));
    QCOMPARE(column(*grid, 4).at(int(shown.indexOf("行政部"))), QStringLiteral("丙"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("名单.csv"));
    m_prompts->queueFileName(path);
    click(&tab.console, QStringLiteral("Com_25"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = transfer::DecodeText(file.readAll()).split(QStringLiteral("\r\n"));
    QVERIFY2(lines.at(0).startsWith(QStringLiteral("序号,抽奖号码,姓名,部门")), qPrintable(lines.at(0)));
    QVERIFY2(lines.contains(QStringLiteral("%1,1003,丙,行政部").arg(shown.indexOf("行政部") + 1)),
        qPrintable(lines.join('|')));
}

// The operator limits an award to staff who joined by a day, through the
// award editor: the day is written any way people write one, a day that is
// no day is refused and named, the list of numbers left out is pasted; the
// operator is told who may win it, and the awards tab says it in words.
void TestConsole::anAwardsRangeIsEditedStoredAndShown()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    addWithAttributes(*m_db, draw, { QStringLiteral("类别"), QStringLiteral("入职日期") },
        {
            { "801", "甲", "员工", "2024-03-01" }, { "802", "乙", "员工", "2026-01-05" }, // joined too late
            { "803", "丙", "来宾", "2020-01-01" },
            { "804", "丁", "员工", "2025/13/40" }, // no day: told, never guessed
            { "805", "戊", "员工", "2025-12-09" }, // on the day itself
        });
    const qint64 award = m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(1);
    selectRows(console, 1, 2, 2);
    console.pressButton(11);
    QWidget *editor = openWindow(ModiCon::caption());
    QVERIFY(editor);
    QVERIFY(editor->findChild<QLabel *>(QStringLiteral("RangeEveryone"))->isVisible());

    const auto fill = [&](int row, const QString &attribute, int kind, const QString &values) {
        const auto combos = editor->findChildren<QComboBox *>(QStringLiteral("RangeAttribute"));
        QCOMPARE(combos.at(row)->findText(attribute) >= 0, true); // the draw's names are offered
        combos.at(row)->setCurrentIndex(combos.at(row)->findText(attribute));
        editor->findChildren<QComboBox *>(QStringLiteral("RangeKind")).at(row)->setCurrentIndex(kind);
        auto *box = editor->findChildren<QLineEdit *>(QStringLiteral("RangeValues")).at(row);
        QVERIFY(box->isVisible());
        box->clear();
        type(box, values);
    };
    click(editor, QStringLiteral("RangeAdd"));
    fill(0, QStringLiteral("类别"), 0, QStringLiteral("员工"));
    click(editor, QStringLiteral("RangeAdd"));
    // The new row takes the keys, what is typed replacing the name it offers.
    QInputMethodEvent typed;
    typed.setCommitString(QStringLiteral("入职日期"));
    QVERIFY(editor->focusWidget());
    QApplication::sendEvent(editor->focusWidget(), &typed);
    QCOMPARE(editor->findChildren<QComboBox *>(QStringLiteral("RangeAttribute")).at(1)->currentText(),
        QStringLiteral("入职日期"));
    fill(1, QStringLiteral("入职日期"), 1, QStringLiteral("2025/13/40"));
    click(editor, QStringLiteral("Com_1"));
    QCOMPARE(m_prompts->messages().value(0),
        QStringLiteral(
            "第2个条件“入职日期 日期不晚于 2025/13/40”中的“2025/13/40”不是日期。请修改抽奖范围后再保存。"));
    QVERIFY(editor->isVisible());
    QCOMPARE(data::RangeStore().ofAward(award), data::AwardRange());

    fill(1, QStringLiteral("入职日期"), 1, QStringLiteral("2025年12月9日"));
    auto *list = editor->findChild<QPlainTextEdit *>(QStringLiteral("ExcludedNumbers"));
    list->setFocus();
    list->insertPlainText(QStringLiteral("801、9001\n 801 "));
    QCOMPARE(
        editor->findChild<QLabel *>(QStringLiteral("ExcludedCount"))->text(), QStringLiteral("共 2 个号码"));
    test::saveShot(editor, QStringLiteral("ModiCon-range"));
    m_prompts->clear();
    click(editor, QStringLiteral("Com_1"));
    QTRY_VERIFY(!openWindow(ModiCon::caption()));
    const data::AwardRange stored {
        { { QStringLiteral("类别"), draw::ConditionKind::OneOf, { "员工" } },
            { QStringLiteral("入职日期"), draw::ConditionKind::OnOrBefore, { "2025-12-09" } } },
        { "801", "9001" }
    };
    QCOMPARE(data::RangeStore().ofAward(award), std::optional(stored));
    const QString words = QStringLiteral("仅限 类别=员工，入职日期≤2025-12-09，不参与名单 2 个号码除外");
    QCOMPARE(m_prompts->messages(),
        QStringList { QStringLiteral("此奖项可抽 1 人（%1）。\n以下值无法读取，这些人不符合条件：\n"
                                     "第4行 804 丁：入职日期“2025/13/40”不是日期\n"
                                     "不参与名单中有 1 个号码不在此抽奖的名单中：9001")
                          .arg(words) });
    GridModel *awards = console.grid(1);
    QCOMPARE(awards->TextMatrix(1, awards->Cols() - 1), QStringLiteral("抽奖范围"));
    QCOMPARE(column(*awards, awards->Cols() - 1), QStringList { words });

    // Opened again, it shows the range; a condition removed is gone.
    selectRows(console, 1, 2, 2);
    console.pressButton(11);
    editor = openWindow(ModiCon::caption());
    QVERIFY(editor);
    QCOMPARE(editor->findChildren<QLineEdit *>(QStringLiteral("RangeValues")).at(1)->text(),
        QStringLiteral("2025-12-09"));
    QTest::mouseClick(
        editor->findChildren<QPushButton *>(QStringLiteral("RangeRemove")).at(1), Qt::LeftButton);
    click(editor, QStringLiteral("Com_1"));
    QTRY_VERIFY(!openWindow(ModiCon::caption()));
    QCOMPARE(column(*awards, awards->Cols() - 1),
        QStringList { QStringLiteral("仅限 类别=员工，不参与名单 2 个号码除外") });
}

// The draw's own list is typed into the draw editor; entering the draw says
// how many may win each award with a range, and an award nobody may win
// keeps the stage closed until its range is put right.
void TestConsole::anAwardNobodyMayWinKeepsTheStageClosed()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    addWithAttributes(*m_db, draw, { QStringLiteral("类别") },
        { { "801", "甲", "员工" }, { "802", "乙", "员工" }, { "803", "丙", "来宾" } });
    const qint64 first = m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    const qint64 second = m_db->addAward(draw, 2, QStringLiteral("二等奖"), 1, 1);
    const auto only = [](const char *category) {
        return data::AwardRange {
            { { QStringLiteral("类别"), draw::ConditionKind::OneOf, { QString::fromUtf8(category) } } }, {}
        };
    };
    QVERIFY(data::RangeStore().saveAward(draw, first, only("员工")));
    QVERIFY(data::RangeStore().saveAward(draw, second, only("顾问")));
    FSet console;
    console.show();

    selectRows(console, 0, 2, 2);
    console.pressButton(1);
    QWidget *modi = openWindow(Modi::caption());
    QVERIFY(modi);
    auto *list = modi->findChild<QPlainTextEdit *>(QStringLiteral("ExcludedNumbers"));
    list->setFocus();
    list->insertPlainText(QStringLiteral("802 9999"));
    click(modi, QStringLiteral("Com_1"));
    QTRY_VERIFY(!openWindow(Modi::caption()));
    QCOMPARE(data::RangeStore().drawExclusions(draw), std::optional(QStringList { "802", "9999" }));
    QCOMPARE(m_prompts->messages(),
        QStringList { QStringLiteral(
            "不参与名单中有 1 个号码不在此抽奖的名单中：9999。这些号码也已保存，不影响抽奖。") });

    const auto enter = [&] {
        m_prompts->clear();
        test::whenWindowOpens(&console, QStringLiteral("选择抽奖设置"), [](QWidget *chooser) {
            QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("Com_1")), Qt::LeftButton);
        });
        click(&console, QStringLiteral("Entr"));
        return qobject_cast<MF *>(openWindow(MF::caption()));
    };
    const QString firstLine = QStringLiteral("一等奖：可抽 1 人（仅限 类别=员工，不参与名单 2 个号码除外）");
    QVERIFY(!enter());
    QCOMPARE(m_prompts->messages(),
        QStringList { QStringLiteral("二等奖 的抽奖范围内没有可抽的人，请修改抽奖范围。\n\n") + firstLine
            + QStringLiteral("\n二等奖：可抽 0 人（仅限 类别=顾问，不参与名单 2 个号码除外）") });
    QCOMPARE(count(QStringLiteral("公证记录表")), qint64(0));

    QVERIFY(data::RangeStore().saveAward(draw, second, only("来宾")));
    MF *screen = enter();
    QVERIFY(screen);
    QCOMPARE(m_prompts->messages().value(0),
        QStringLiteral("各奖项的抽奖范围：\n") + firstLine
            + QStringLiteral("\n二等奖：可抽 1 人（仅限 类别=来宾，不参与名单 2 个号码除外）"));
    QCOMPARE(screen->session().bannerAward()->forWhom, QStringLiteral("仅限员工"));
    screen->close();
    QTRY_VERIFY(console.isVisible());
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
