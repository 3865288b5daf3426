#include "common/prompts.h"
#include "console/addmem.h"
#include "console/checkdialog.h"
#include "data/database.h"
#include "draw/checks.h"
#include "grid/entrantgrid.h"
#include "grid/gridmodel.h"
#include "grid/gridops.h"
#include "support/testsupport.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

using namespace tombolix;
using grid::GridModel;

namespace {

using test::appendEntrantRow;
using test::column;

enum Column
{
    Key = 0,
    Cid = 1,
    Serial = 2,
    Number = 3,
    Name = 4
};

const QString SaveFailed = QStringLiteral("名单保存失败，数据未写入数据库！");
const QString NoDraw = QStringLiteral("请先选择抽奖名称！");

// CID, 号码 and 姓名 of an entrant; empty when there is none.
QVariantList entrant(qint64 id)
{
    QSqlQuery query(data::connection());
    query.prepare(QStringLiteral("SELECT CID, 号码, 姓名 FROM 号码表 WHERE ID=?"));
    query.addBindValue(id);
    if (query.exec() && query.next())
        return { query.value(0).toLongLong(), query.value(1), query.value(2) };
    return {};
}

qint64 entrantCount()
{
    QSqlQuery query(QStringLiteral("SELECT COUNT(*) FROM 号码表"), data::connection());
    return query.next() ? query.value(0).toLongLong() : -1;
}

void run(const QString &sql)
{
    QVERIFY2(data::ExecuteSql(sql), qPrintable(sql));
}

// Every UPDATE of 号码表 leaves the number it wrote in 更新记录.
void logUpdates()
{
    run(QStringLiteral("CREATE TABLE 更新记录 (号码 TEXT)"));
    run(QStringLiteral("CREATE TRIGGER log_update AFTER UPDATE ON 号码表 BEGIN "
                       "INSERT INTO 更新记录 VALUES (NEW.号码); END"));
}

QStringList loggedUpdates()
{
    QStringList numbers;
    QSqlQuery query(QStringLiteral("SELECT 号码 FROM 更新记录 ORDER BY rowid"), data::connection());
    while (query.next())
        numbers << query.value(0).toString();
    return numbers;
}

void refuseNumber(const QString &when, const QString &number)
{
    run(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %1 ON 号码表 WHEN NEW.号码=%2 "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END")
            .arg(when, data::sqlText(number)));
}

template<typename T> T *child(QWidget *parent, const char *name)
{
    T *widget = parent->findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

void click(QWidget *parent, const char *button)
{
    QTest::mouseClick(child<QPushButton>(parent, button), Qt::LeftButton);
}

// keyClicks knows only ASCII; Chinese is typed as key events carrying the text.
void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void settleDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString summary(QWidget *dialog)
{
    return child<QLabel>(dialog, "Summary")->text();
}

QStringList tableRow(QWidget *dialog, int row)
{
    const QAbstractItemModel *model = child<QTableView>(dialog, "List")->model();
    QStringList texts;
    for (int col = 0; col < model->columnCount(); ++col)
        texts << model->index(row, col).data().toString();
    return texts;
}

// A company list: one number three times (once with blanks around), one
// twice, one typed a digit short and one missing.
void addPhoneList(test::TestDatabase &db, qint64 draw)
{
    const char *rows[][2] = { { "13800138000", "王芳" }, { "13912345678", "李强" },
        { " 13800138000 ", "王芳" }, { "1371122334", "赵敏" }, { "13912345678", "李强（销售部）" },
        { "13800138000", "王芳" }, { "15000000001", "陈静" }, { "", "周杰" } };
    for (const auto &row : rows)
        db.addEntrant(draw, QString::fromUtf8(row[0]), QString::fromUtf8(row[1]));
}

// Each test's own database, prompts, a draw "年会" and an empty entrants grid.
struct Fixture
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    qint64 draw = db.addDraw(QStringLiteral("年会"));
    GridModel grid;

    Fixture()
    {
        grid::SetupGridHeader(
            grid, { "ID", "CID", "", "号码", "姓名" }, { "ID", "CID", "序号", "抽奖号码", "姓名" });
        grid.setFixedCols(3);
        grid.setTag(QStringLiteral("号码表"));
    }
};

} // namespace

class TestEntrantEntry : public QObject
{
    Q_OBJECT

private slots:
    void writerHandlesEachRowState();
    void textsAreStoredExactly();
    void rowsLeftUnstored();
    void rangeIsStoredAllOrNothing_data();
    void rangeIsStoredAllOrNothing();
    void largeListsAreQuick();

    void everyKeystrokeWritesThrough();

    void addMemAppendsAndStores();
    void addMemRefusesWhatCannotBeStored();

    void duplicatesAreFoundAndCopiesDeleted();
    void oddLengths_data();
    void oddLengths();
    void duplicatesDialog();
    void lengthsDialog();
};

void TestEntrantEntry::writerHandlesEachRowState()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    const qint64 changed = db.addEntrant(db.addDraw(QStringLiteral("旧抽奖")), QStringLiteral("old"));
    const qint64 kept = db.addEntrant(draw, QStringLiteral("keep"));

    const int fresh = appendEntrantRow(grid, QString(), QStringLiteral("001"), QStringLiteral("张三"));
    const int zero = appendEntrantRow(grid, QStringLiteral("0"), QStringLiteral("002"));
    const int edited
        = appendEntrantRow(grid, QString::number(-changed), QStringLiteral("new"), QStringLiteral("新"));
    const int stored = appendEntrantRow(grid, QString::number(kept), QStringLiteral("grid"));

    QVERIFY(grid::SaveEntrantGridRows(grid, fresh, stored, draw));
    QVERIFY(prompts.shown().isEmpty());
    QCOMPARE(entrantCount(), 4);
    for (int row : { fresh, zero }) {
        QCOMPARE(entrant(grid.TextMatrix(row, Key).toLongLong()).mid(0, 2),
            (QVariantList { draw, grid.TextMatrix(row, Number) }));
        QCOMPARE(grid.TextMatrix(row, Cid), QString::number(draw));
    }
    // The edited entrant moves to the chosen draw.
    QCOMPARE(grid.TextMatrix(edited, Key), QString::number(changed));
    QCOMPARE(entrant(changed), (QVariantList { draw, "new", "新" }));
    QCOMPARE(entrant(kept).at(1).toString(), QStringLiteral("keep"));
    QCOMPARE(grid.TextMatrix(stored, Key), QString::number(kept));

    // Everything is stored now: a second save writes nothing.
    logUpdates();
    QVERIFY(grid::SaveEntrantGridRows(grid, fresh, stored, draw));
    QCOMPARE(entrantCount(), 4);
    QVERIFY(loggedUpdates().isEmpty());
}

void TestEntrantEntry::textsAreStoredExactly()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    const QStringList numbers { "  007 ", "12'34", "1'); DELETE FROM 号码表; --", "a\r\nb\\", "42" };
    const QStringList names { " 张 三　", "O'Brien \"Bob\"", "x',姓名='y", QString(3000, QChar(u'名')),
        QString() };
    for (int i = 0; i < numbers.size(); ++i) {
        appendEntrantRow(grid, QString(), numbers[i], names[i]);
        const qint64 id = db.addEntrant(draw, QStringLiteral("old"));
        appendEntrantRow(grid, QString::number(-id), numbers[i], names[i]);
    }
    QVERIFY(grid::SaveEntrantGridRows(grid, grid.FixedRows(), grid.Rows() - 1, draw));

    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
        const QVariantList record = entrant(grid.TextMatrix(r, Key).toLongLong());
        QCOMPARE(record.mid(1), (QVariantList { grid.TextMatrix(r, Number), grid.TextMatrix(r, Name) }));
        QVERIFY(!record.at(2).isNull()); // an empty name is empty text, not Null
    }
    QCOMPARE(entrantCount(), 2 * numbers.size());
    QVERIFY(prompts.shown().isEmpty());
}

void TestEntrantEntry::rowsLeftUnstored()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    QVERIFY(grid::SaveEntrantGridRows(grid, 0, 100, draw)); // header rows only

    const int empty = appendEntrantRow(grid, QString(), QString());
    appendEntrantRow(grid, QStringLiteral("0"), QStringLiteral("  "), QStringLiteral(" "));
    const int numberOnly = appendEntrantRow(grid, QString(), QStringLiteral("7"));
    QVERIFY(grid::SaveEntrantGridRows(grid, numberOnly, empty, draw));
    QVERIFY(!grid::SaveEntrantGridRows(grid, empty, numberOnly, 0));
    QVERIFY(!grid::SaveEntrantGridRows(grid, empty, numberOnly, -3));
    QCOMPARE(entrantCount(), 0);
    QCOMPARE(column(grid, Key), (QStringList { "", "0", "" }));

    // An empty line must not become an entrant.
    QVERIFY(grid::SaveEntrantGridRows(grid, empty, numberOnly, draw));
    QCOMPARE(entrantCount(), 1);
    QCOMPARE(column(grid, Key), (QStringList { "", "0", "1" }));
    QCOMPARE(column(grid, Cid), (QStringList { "", "", QString::number(draw) }));
    QVERIFY(prompts.shown().isEmpty());
}

void TestEntrantEntry::rangeIsStoredAllOrNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("insert refused") << QStringLiteral("insert");
    QTest::newRow("update refused") << QStringLiteral("update");
    QTest::newRow("updated entrant gone") << QStringLiteral("gone");
}

void TestEntrantEntry::rangeIsStoredAllOrNothing()
{
    QFETCH(QString, fault);
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    const qint64 first = db.addEntrant(draw, QStringLiteral("100"));
    const qint64 second = db.addEntrant(draw, QStringLiteral("200"));

    const QStringList keys { "", QString::number(-first), fault == "insert" ? "" : QString::number(-second),
        "" };
    for (const char *number : { "301", "101", "bad", "302" })
        appendEntrantRow(grid, keys.at(grid.Rows() - grid.FixedRows()), QString::fromLatin1(number));
    const int top = grid.FixedRows();
    if (fault == QLatin1String("gone"))
        run(QStringLiteral("DELETE FROM 号码表 WHERE ID=%1").arg(second));
    else
        refuseNumber(fault.toUpper(), QStringLiteral("bad"));
    const qint64 before = entrantCount();

    QVERIFY(grid::SaveEntrantGridRows(grid, top, grid.Rows() - 1, draw).failed());
    QVERIFY(prompts.messages().isEmpty()); // the window that stored them says it
    QCOMPARE(entrantCount(), before);
    QCOMPARE(entrant(first).at(1).toString(), QStringLiteral("100"));
    QCOMPARE(column(grid, Key), keys);
    QCOMPARE(column(grid, Cid), QStringList(4, QString()));

    // Nothing is left half open: the sound rows store at once.
    QVERIFY(grid::SaveEntrantGridRows(grid, top, top + 1, draw));
    QCOMPARE(entrantCount(), before + 1);
    QCOMPARE(entrant(first).at(1).toString(), QStringLiteral("101"));
}

void TestEntrantEntry::largeListsAreQuick()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    db.addEntrants(draw, 40000, 1, 8);
    // An import of 30,000 more: the first 500 repeat stored numbers, the last
    // 10 are a digit too long.
    for (int i = 0; i < 30000; ++i) {
        const QString number = i < 29990 ? QStringLiteral("%1").arg(39501 + i, 8, 10, QLatin1Char('0'))
                                         : QString::number(100000000 + i);
        appendEntrantRow(grid, QString(), number, QStringLiteral("员工%1").arg(i));
    }
    const int last = grid.Rows() - 1;

    QElapsedTimer clock;
    clock.start();
    QVERIFY(grid::SaveEntrantGridRows(grid, grid.FixedRows(), last, draw));
    const qint64 saved = clock.restart();
    const draw::DuplicateReport duplicates = draw::FindDuplicateNumbers(draw);
    const draw::LengthReport lengths = draw::FindOddLengths(draw, 0);
    const qint64 checked = clock.elapsed();
    qInfo("30000 rows stored in %lld ms, 70000 entrants checked in %lld ms", saved, checked);
    // A row-by-row pass over the stored entrants would take minutes; the
    // bounds leave room for a sanitizer build on a busy machine.
    QVERIFY2(
        saved < 15000 && checked < 20000, qPrintable(QStringLiteral("%1 / %2 ms").arg(saved).arg(checked)));

    QCOMPARE(entrantCount(), 70000);
    QCOMPARE(
        entrant(grid.TextMatrix(last, Key).toLongLong()).at(1).toString(), grid.TextMatrix(last, Number));
    QCOMPARE(grid.TextMatrix(last, Cid), QString::number(draw));
    QCOMPARE(duplicates.groups.size(), 500);
    QCOMPARE(duplicates.rows, 1000);
    QCOMPARE(lengths.expected, 8);
    QCOMPARE(lengths.odd.size(), 10);
}

void TestEntrantEntry::everyKeystrokeWritesThrough()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    const qint64 stored = db.addEntrant(draw, QString(), QStringLiteral("王芳"));
    logUpdates();
    const int row = appendEntrantRow(grid, QString::number(stored), QString(), QStringLiteral("王芳"));

    QStringList expected;
    for (const QString &text : { QStringLiteral("1"), QStringLiteral("13"), QStringLiteral("138") }) {
        QVERIFY(grid::EditEntrantCell(grid, row, Number, text, draw));
        QCOMPARE(loggedUpdates(), expected << text);
        QCOMPARE(grid.TextMatrix(row, Key), QString::number(stored));
    }
    // A stored entrant edited down to nothing is still updated.
    QVERIFY(grid::EditEntrantCell(grid, row, Number, QString(), draw));
    QVERIFY(grid::EditEntrantCell(grid, row, Name, QString(), draw));
    QCOMPARE(entrant(stored), (QVariantList { draw, "", "" }));

    // Fixed cells and header rows are not edited.
    QVERIFY(!grid::EditEntrantCell(grid, row, Serial, QStringLiteral("-5"), draw));
    QVERIFY(!grid::EditEntrantCell(grid, 1, Number, QStringLiteral("x"), draw));
    QCOMPARE(grid.TextMatrix(1, Number), QStringLiteral("抽奖号码"));

    // A refused keystroke keeps the row's key (the typed text stays in the
    // cell), and the next keystroke stores the row.
    refuseNumber(QStringLiteral("UPDATE"), QStringLiteral("9"));
    QVERIFY(grid::EditEntrantCell(grid, row, Number, QStringLiteral("9"), draw).failed());
    QCOMPARE(grid.TextMatrix(row, Key), QString::number(stored));
    QCOMPARE(grid.TextMatrix(row, Number), QStringLiteral("9"));
    QVERIFY(grid::EditEntrantCell(grid, row, Number, QStringLiteral("9"), draw).failed());
    QCOMPARE(grid.TextMatrix(row, Key), QString::number(stored));
    QVERIFY(grid::EditEntrantCell(grid, row, Number, QStringLiteral("99"), draw));
    QCOMPARE(grid.TextMatrix(row, Key), QString::number(stored));
    QCOMPARE(entrant(stored).at(1).toString(), QStringLiteral("99"));

    // A typed new row is inserted by its first keystroke, then updated.
    const int fresh = appendEntrantRow(grid, QString(), QString());
    QVERIFY(!grid::EditEntrantCell(grid, fresh, Name, QStringLiteral("张"), 0)); // no draw: grid only
    QCOMPARE(entrantCount(), 1);
    QVERIFY(grid::EditEntrantCell(grid, fresh, Name, QStringLiteral("张三"), draw));
    const qint64 id = grid.TextMatrix(fresh, Key).toLongLong();
    QVERIFY(grid::EditEntrantCell(grid, fresh, Name, QStringLiteral("张三丰"), draw));
    QCOMPARE(grid.TextMatrix(fresh, Key), QString::number(id));
    QCOMPARE(entrant(id), (QVariantList { draw, "", "张三丰" }));
    QCOMPARE(entrantCount(), 2);
}

void TestEntrantEntry::addMemAppendsAndStores()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    db.addEntrants(draw, 3, 1, 11);
    QCOMPARE(grid::FillGrid(grid, QStringLiteral("CID=%1").arg(draw), QStringLiteral("号码"), false), 3);

    QPointer<AddMem> dialog = new AddMem(&grid, [&f] { return f.draw; });
    QSignalSpy added(dialog.data(), &AddMem::added);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("添加名单"));
    QVERIFY(!dialog->isModal());
    QTest::keyClicks(child<QLineEdit>(dialog, "TT_0"), QStringLiteral("13912345678"));
    type(child<QLineEdit>(dialog, "TT_1"), QStringLiteral("李强"));
    test::saveShot(dialog, QStringLiteral("AddMem"));
    click(dialog, "Com_0");
    settleDeletes();

    QVERIFY(dialog.isNull());
    const int row = grid.FixedRows() + 3;
    QCOMPARE(grid.Rows(), row + 1);
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.at(0).at(0).toInt(), row);
    QCOMPARE(grid.TextMatrix(row, Serial), QStringLiteral("4"));
    QCOMPARE(grid.TextMatrix(row, Cid), QString::number(draw));
    QCOMPARE(entrant(grid.TextMatrix(row, Key).toLongLong()), (QVariantList { draw, "13912345678", "李强" }));
    QCOMPARE(entrantCount(), 4);
    QVERIFY(prompts.shown().isEmpty());
}

void TestEntrantEntry::addMemRefusesWhatCannotBeStored()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    qint64 chosen = 0;
    QPointer<AddMem> dialog = new AddMem(&grid, [&chosen] { return chosen; });
    QSignalSpy added(dialog.data(), &AddMem::added);
    dialog->show();
    QTest::keyClicks(child<QLineEdit>(dialog, "TT_0"), QStringLiteral("bad"));

    click(dialog, "Com_0"); // no draw chosen
    chosen = draw;
    refuseNumber(QStringLiteral("INSERT"), QStringLiteral("bad"));
    click(dialog, "Com_0"); // the database refuses
    child<QLineEdit>(dialog, "TT_0")->setText(QStringLiteral("  "));
    click(dialog, "Com_0"); // nothing typed
    QCOMPARE(prompts.messages(),
        (QStringList { NoDraw, SaveFailed, QStringLiteral("请输入抽奖号码或相关人名！") }));

    settleDeletes();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(grid.Rows(), grid.FixedRows());
    QCOMPARE(entrantCount(), 0);
    QCOMPARE(added.count(), 0);
    click(dialog, "Com_1");
    settleDeletes();
    QVERIFY(dialog.isNull());
}

void TestEntrantEntry::duplicatesAreFoundAndCopiesDeleted()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    const qint64 elsewhere = db.addEntrant(db.addDraw(QStringLiteral("另一场")), QStringLiteral("100"));
    const qint64 a1 = db.addEntrant(draw, QStringLiteral("100"), QStringLiteral("甲"));
    const qint64 b1 = db.addEntrant(draw, QStringLiteral("200"), QStringLiteral("乙"));
    const qint64 a2 = db.addEntrant(draw, QStringLiteral(" 100"), QStringLiteral("甲二"));
    db.addEntrant(draw, QStringLiteral("1000"));
    db.addEntrant(draw, QString(), QStringLiteral("空一"));
    db.addEntrant(draw, QStringLiteral("  "), QStringLiteral("空二"));
    const qint64 b2 = db.addEntrant(draw, QStringLiteral("200\t"), QStringLiteral("乙二"));
    const qint64 a3 = db.addEntrant(draw, QStringLiteral("100 "), QStringLiteral("甲三"));
    // An ideographic space, as a Chinese input method types it: found and
    // deleted by one rule of white space.
    const qint64 a4 = db.addEntrant(draw, QStringLiteral("100\u3000"), QStringLiteral("甲四"));
    // Two 张伟 under different numbers: named for information, never deleted.
    const qint64 z1 = db.addEntrant(draw, QStringLiteral("500"), QStringLiteral("张伟"));
    const qint64 z2 = db.addEntrant(draw, QStringLiteral("600"), QStringLiteral("张伟 "));

    const draw::DuplicateReport report = draw::FindDuplicateNumbers(draw);
    QVERIFY(report.read);
    QCOMPARE(report.rows, 6);
    QCOMPARE(report.groups.size(), 2);
    QCOMPARE(report.groups[0].number, QStringLiteral("100"));
    QCOMPARE(report.groups[0].ids, (QList<qint64> { a1, a2, a3, a4 }));
    QCOMPARE(report.groups[0].names, (QStringList { "甲", "甲二", "甲三", "甲四" }));
    QCOMPARE(report.groups[1].number, QStringLiteral("200"));
    QCOMPARE(report.groups[1].ids, (QList<qint64> { b1, b2 }));
    QCOMPARE(report.sharedNames.size(), 1);
    QCOMPARE(report.sharedNames[0].name, QStringLiteral("张伟"));
    QCOMPARE(report.sharedNames[0].ids, (QList<qint64> { z1, z2 }));
    QCOMPARE(report.sharedNames[0].numbers, (QStringList { "500", "600" }));

    QCOMPARE(draw::DeleteDuplicateCopies(report), 4);
    QVERIFY(draw::FindDuplicateNumbers(draw).groups.isEmpty());
    for (qint64 id : { a2, a3, a4, b2 })
        QVERIFY(entrant(id).isEmpty());
    for (qint64 id : { a1, b1, elsewhere, z1, z2 })
        QVERIFY(!entrant(id).isEmpty());
    QCOMPARE(entrantCount(), 8);

    // A deletion the database refuses half-way leaves every copy.
    for (const char *number : { "300", "300", "400" })
        db.addEntrant(draw, QString::fromLatin1(number));
    const qint64 lastCopy = db.addEntrant(draw, QStringLiteral("400"));
    run(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON 号码表 WHEN OLD.ID=%1 "
                       "BEGIN SELECT RAISE(ABORT, 'kept'); END")
            .arg(lastCopy));
    QCOMPARE(draw::DeleteDuplicateCopies(draw::FindDuplicateNumbers(draw)), -1);
    QCOMPARE(entrantCount(), 12);
    QVERIFY(prompts.shown().isEmpty());
}

void TestEntrantEntry::oddLengths_data()
{
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<qint64>("fixed");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QStringList>("odd");

    const QStringList phones { "13800138000", "1391234567", " 15000000001 ", "", "13700001111",
        "137000011112" };
    QTest::newRow("most common") << phones << qint64(0) << 11
                                 << QStringList { "1391234567", "", "137000011112" };
    QTest::newRow("fixed") << phones << qint64(10) << 10
                           << QStringList { "13800138000", " 15000000001 ", "", "13700001111",
                                  "137000011112" };
    QTest::newRow("tie goes to longer") << QStringList { "1234", "123456", "4321", "654321", "  " }
                                        << qint64(-1) << 6 << QStringList { "1234", "4321", "  " };
    QTest::newRow("huge fixed length read as the ceiling")
        << QStringList { QString(64, QLatin1Char('7')), QString(65, QLatin1Char('7')), "123" } << qint64(1e15)
        << 64 << QStringList { QString(65, QLatin1Char('7')), "123" };
    QTest::newRow("blanks outnumber")
        << QStringList { "", "", "", "12", " " } << qint64(0) << 2 << QStringList { "", "", "", " " };
}

void TestEntrantEntry::oddLengths()
{
    QFETCH(QStringList, numbers);
    QFETCH(qint64, fixed);
    QFETCH(int, expected);
    QFETCH(QStringList, odd);
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    db.addEntrants(db.addDraw(QStringLiteral("另一场")), 5, 1, 3);
    for (const QString &number : numbers)
        db.addEntrant(draw, number);

    const draw::LengthReport report = draw::FindOddLengths(draw, fixed);
    QVERIFY(report.read);
    QCOMPARE(report.total, numbers.size());
    QCOMPARE(report.expected, expected);
    QCOMPARE(report.rule == draw::LengthRule::FixedLength, fixed > 0);
    QStringList found;
    for (const draw::OddLength &entrant : report.odd) {
        found << entrant.number;
        QCOMPARE(entrant.length, int(entrant.number.trimmed().size()));
    }
    QCOMPARE(found, odd);
}

void TestEntrantEntry::duplicatesDialog()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    addPhoneList(db, draw);

    QPointer<CheckDialog> dialog = CheckDialog::showDuplicates(nullptr, draw);
    QVERIFY(dialog);
    QSignalSpy changed(dialog.data(), &CheckDialog::changed);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("检查重复"));
    QCOMPARE(summary(dialog), QStringLiteral("共有 2 个号码重复，涉及 5 条记录。"));
    QCOMPARE(child<QTableView>(dialog, "List")->model()->rowCount(), 5);
    QCOMPARE(tableRow(dialog, 0), (QStringList { "13800138000", "3", "1", "王芳", "保留" }));
    QCOMPARE(tableRow(dialog, 4), (QStringList { "13912345678", "2", "5", "李强（销售部）", "多余" }));
    test::saveShot(dialog, QStringLiteral("CheckDialog-duplicates"));

    const QString question = QStringLiteral("是否删除多余的重复号码（每个号码保留第一条）？");
    click(dialog, "Delete"); // answered No
    QCOMPARE(prompts.questions(), QStringList { question });
    QCOMPARE(entrantCount(), 8);
    // Corrected meanwhile, entrant 5 is no copy any more and is kept.
    run(QStringLiteral("UPDATE 号码表 SET 号码='13912345679' WHERE ID=5"));
    prompts.queueAnswer(true);
    click(dialog, "Delete");
    QCOMPARE(entrantCount(), 6);
    QCOMPARE(data::LookupValue(QStringLiteral("号码表"), 5, QStringLiteral("ID"), QStringLiteral("号码"))
                 .toString(),
        QStringLiteral("13912345679"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(summary(dialog), QStringLiteral("未发现重复号码。"));
    QVERIFY(!child<QPushButton>(dialog, "Delete")->isEnabled());

    click(dialog, "Close");
    settleDeletes();
    QVERIFY(dialog.isNull());
}

void TestEntrantEntry::lengthsDialog()
{
    Fixture f;
    auto &[db, prompts, draw, grid] = f;
    addPhoneList(db, draw);

    QPointer<CheckDialog> dialog = CheckDialog::showLengths(nullptr, draw, 0);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("检查号长"));
    QVERIFY(!dialog->findChild<QPushButton *>(QStringLiteral("Delete")));
    QCOMPARE(summary(dialog), QStringLiteral("共有 2 条记录的号码长度不是 11 位。"));
    QCOMPARE(tableRow(dialog, 0), (QStringList { "4", "10", "1371122334", "赵敏" }));
    QCOMPARE(tableRow(dialog, 1), (QStringList { "8", "0", "", "周杰" }));
    test::saveShot(dialog, QStringLiteral("CheckDialog-lengths"));
    dialog->close();

    run(QStringLiteral("DELETE FROM 号码表 WHERE 号码 IS NULL OR length(trim(号码))<>11"));
    dialog = CheckDialog::showLengths(nullptr, draw, 0);
    QCOMPARE(summary(dialog), QStringLiteral("所有号码长度均为 11 位。"));
    dialog->close();
    QVERIFY(prompts.shown().isEmpty());

    // Without a draw nothing opens.
    QVERIFY(!CheckDialog::showDuplicates(nullptr, 0));
    QVERIFY(!CheckDialog::showLengths(nullptr, -2, 11));
    QCOMPARE(prompts.messages(), (QStringList { NoDraw, NoDraw }));
    settleDeletes();
}

QTEST_MAIN(TestEntrantEntry)
#include "tst_entrantentry.moc"
