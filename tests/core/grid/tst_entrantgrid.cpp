#include "common/conventions.h"
#include "common/progress.h"
#include "common/prompts.h"
#include "data/attributestore.h"
#include "data/database.h"
#include "grid/entrantgrid.h"
#include "grid/gridops.h"
#include "support/testsupport.h"
#include "transfer/importer.h"
#include "transfer/workbookrows.h"

#include <QFile>
#include <QFontMetricsF>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;
using namespace tombolix::grid;
using State = data::EntrantRow::State;

namespace {

using test::appendEntrantRow;
using test::column;
using test::RecordingProgress;
using test::storedEntrants;

enum Column
{
    Key = 0,
    Cid = 1,
    Serial = 2,
    Number = 3,
    Name = 4
};

void setupEntrants(GridModel &grid)
{
    SetupGridHeader(grid, { "ID", "CID", "", "号码", "姓名" }, { "ID", "CID", "序号", "抽奖号码", "姓名" });
    grid.setTag(QStringLiteral("号码表"));
    grid.setFixedCols(3);
}

data::EntrantRow entrant(qint64 key, State state, const QString &number, const QString &name)
{
    data::EntrantRow row;
    row.key = key;
    row.state = state;
    row.number = number;
    row.name = name;
    return row;
}

} // namespace

class TestEntrantGrid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keyCellGivesTheState_data();
    void keyCellGivesTheState();
    void manyStoredRowsReachTheViewAsOneReset();
    void appendedRowsFollowTheGridsRows();
    void importShowsStoresAndDropsBlankRows();
    void failedImportLeavesTheGridAlone();
    void importStoresTheFurtherColumnsByName();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestEntrantGrid::init()
{
    m_db = new test::TestDatabase;
    QVERIFY(m_db->isValid());
    m_prompts = new ScopedScriptedPrompts;
}

void TestEntrantGrid::cleanup()
{
    delete m_prompts;
    delete m_db;
}

void TestEntrantGrid::keyCellGivesTheState_data()
{
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<qint64>("key");
    QTest::addColumn<State>("state");
    QTest::newRow("empty") << QString() << qint64(0) << State::New;
    QTest::newRow("zero") << QStringLiteral("0") << qint64(0) << State::New;
    QTest::newRow("not a number") << QStringLiteral("abc") << qint64(0) << State::New;
    QTest::newRow("negative") << QStringLiteral("-17") << qint64(17) << State::Changed;
    QTest::newRow("positive") << QStringLiteral("17") << qint64(17) << State::Saved;
    QTest::newRow("rounded half to even") << QStringLiteral("-2.5") << qint64(2) << State::Changed;
    QTest::newRow("large") << QStringLiteral("9000000001") << qint64(9000000001) << State::Saved;
}

void TestEntrantGrid::keyCellGivesTheState()
{
    QFETCH(QString, keyText);
    QFETCH(qint64, key);
    QFETCH(State, state);
    GridModel grid;
    setupEntrants(grid);
    const int row = appendEntrantRow(grid, keyText, QStringLiteral(" 0012 "), QStringLiteral("张三"));
    const data::EntrantRow entrant = EntrantRowAt(grid, row);
    QCOMPARE(entrant.key, key);
    QCOMPARE(entrant.state, state);
    QCOMPARE(entrant.number, QStringLiteral(" 0012 "));
    QCOMPARE(entrant.name, QStringLiteral("张三"));
}

// An import stores tens of thousands of rows at once; a view showing the grid
// must not be told of each key cell on its own.
void TestEntrantGrid::manyStoredRowsReachTheViewAsOneReset()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    GridModel grid;
    setupEntrants(grid);
    for (int i = 0; i < 3000; ++i)
        appendEntrantRow(grid, QString(), QString::number(10000 + i));
    const int blank = appendEntrantRow(grid, QString(), QStringLiteral(" "));
    QSignalSpy resets(&grid, &QAbstractItemModel::modelReset);
    QSignalSpy cells(&grid, &QAbstractItemModel::dataChanged);

    QVERIFY(SaveEntrantGridRows(grid, grid.FixedRows(), grid.Rows() - 1, draw));
    QCOMPARE(resets.size(), 1);
    QCOMPARE(cells.size(), 0);
    QCOMPARE(data::CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(3000));
    const QStringList keys = column(grid, Key);
    for (int i = 0; i < 3000; ++i)
        QCOMPARE(keys.at(i).toLongLong(), keys.at(0).toLongLong() + i);
    QCOMPARE(grid.TextMatrix(blank, Key), QString());
    QCOMPARE(grid.TextMatrix(blank, Cid), QString());
    QCOMPARE(grid.TextMatrix(blank - 1, Cid), QString::number(draw));
}

// Appended rows carry their state in the key cell, are numbered on from the
// rows already there, and the columns are fitted to the font's measure.
void TestEntrantGrid::appendedRowsFollowTheGridsRows()
{
    GridModel grid;
    setupEntrants(grid);
    const int kept
        = appendEntrantRow(grid, QStringLiteral("7"), QStringLiteral("0001"), QStringLiteral("老员工"));
    grid.setTextMatrix(kept, Serial, QStringLiteral("1"));
    const QString longName = QStringLiteral("欧阳娜娜（销售部华东区）");
    const std::vector<data::EntrantRow> rows { entrant(0, State::New, QStringLiteral("0012"), longName),
        entrant(0, State::New, QString(), QString()),
        entrant(5, State::Changed, QStringLiteral("x"), QString()),
        entrant(6, State::Saved, QStringLiteral("y"), QStringLiteral("乙")) };
    QFont font;
    font.setPointSize(20);

    QCOMPARE(AppendEntrantRows(grid, rows, font), kept + 1);
    QCOMPARE(column(grid, Key), QStringList({ "7", "", "", "-5", "6" }));
    QCOMPARE(column(grid, Serial), QStringList({ "1", "2", "3", "4", "5" }));
    QCOMPARE(column(grid, Number), QStringList({ "0001", "0012", "", "x", "y" }));
    QCOMPARE(column(grid, Name), QStringList({ "老员工", longName, "", "", "乙" }));
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
        QCOMPARE(EntrantRowAt(grid, r).state, r == kept ? State::Saved : rows[size_t(r - kept - 1)].state);
    QCOMPARE(grid.ColWidth(Key), 0);
    QCOMPARE(grid.ColWidth(Name),
        int(roundHalfEven(QFontMetricsF(font).horizontalAdvance(longName) * TwipsPerPixel + 100)));
}

// The rows read are shown, stored for the draw, and the blank ones leave the
// grid again; a workbook's progress counts the rows already shown.
void TestEntrantGrid::importShowsStoresAndDropsBlankRows()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const qint64 old = m_db->addEntrant(draw, QStringLiteral("0001"), QStringLiteral("老员工"));
    GridModel grid;
    setupEntrants(grid);
    FillGrid(grid, QStringLiteral("CID=%1").arg(draw), QStringLiteral("ID"), false);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("名单.csv"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("工号,姓名\r\n1001,张三\r\n\r\n1003,\"王,五\"\r\n");
    file.close();

    const ImportResult result = ImportEntrants(grid, csv, QString(), 2, 6, { "A", "B" }, draw);
    QCOMPARE(result.error, 0);
    QCOMPARE(result.appended, 5);
    QCOMPARE(result.stored, 2);
    QCOMPARE(storedEntrants(draw), QStringList({ "0001|老员工", "1001|张三", "1003|王,五" }));
    QCOMPARE(column(grid, Number), QStringList({ "0001", "1001", "1003" }));
    QCOMPARE(column(grid, Serial), QStringList({ "1", "2", "3" }));
    QCOMPARE(column(grid, Cid), QStringList(3, QString::number(draw)));
    QCOMPARE(grid.TextMatrix(2, Key), QString::number(old));
    QCOMPARE(grid.TextMatrix(4, Key).toLongLong(), grid.TextMatrix(3, Key).toLongLong() + 1);

    RecordingProgress progress;
    const ImportResult workbook = ImportEntrants(grid, QStringLiteral(TOMBOLIX_TEST_DATA "/entrants.xlsx"),
        QStringLiteral("名单"), 2, 6, { "A", "B" }, draw);
    QCOMPARE(workbook.error, 0);
    QCOMPARE(workbook.stored, 4);
    QVERIFY2(progress.opened.contains(QStringLiteral("正在读取EXCEL数据…… 8")),
        qPrintable(progress.opened.join(";")));
    QCOMPARE(column(grid, Serial).last(), QStringLiteral("7"));
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestEntrantGrid::failedImportLeavesTheGridAlone()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    GridModel grid;
    setupEntrants(grid);
    appendEntrantRow(grid, QStringLiteral("3"), QStringLiteral("7"));
    grid.setColWidth(Number, 1234);

    const ImportResult missing = ImportEntrants(
        grid, m_db->folder() + QStringLiteral("/none.csv"), QString(), 1, 10, { "A", "B" }, draw);
    QCOMPARE(missing.error, 5);
    QCOMPARE(transfer::ImportErrorMessage(QStringLiteral("none.csv"), missing.error),
        QStringLiteral("文件打开错误！"));
    QVERIFY(m_prompts->messages().isEmpty());
    const ImportResult wrongSheet = ImportEntrants(grid, QStringLiteral(TOMBOLIX_TEST_DATA "/entrants.xlsx"),
        QStringLiteral("Sheet9"), 1, 10, { "A", "B" }, draw);
    QCOMPARE(wrongSheet.error, 9);
    QCOMPARE(grid.Rows(), grid.FixedRows() + 1);
    QCOMPARE(grid.ColWidth(Number), 1234);
    QCOMPARE(storedEntrants(draw), QStringList());
}

// A CSV list's 部门, 入职日期 and 类别 go into the grid and are stored with
// the entrants; a workbook imported next into the same draw brings 入职日期
// again (in another place) and 手机 anew: both are placed by name, and a
// date cell keeps the text the preview shows.
void TestEntrantGrid::importStoresTheFurtherColumnsByName()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    GridModel grid;
    setupEntrants(grid);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("名单.csv"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("工号,姓名,部门,入职日期,类别\r\n1001,张三,销售部,2020-01-05,A\r\n"
               "1002,李四,,2021/3/4,\"B,C\"\r\n1003,王五,\"研发\r\n二部\",,\r\n");
    file.close();
    const QStringList names { "部门", "入职日期", "类别" };
    const ImportResult result
        = ImportEntrants(grid, csv, QString(), 2, 4, { "A", "B", "C", "D", "E" }, names, draw);
    QCOMPARE(result.stored, 3);
    QCOMPARE(AttributeNamesOf(grid), names);
    QCOMPARE(column(grid, 6), QStringList({ "2020-01-05", "2021/3/4", "" }));
    data::AttributeStore store;
    const auto valuesOf = [&](int row) { return store.valuesOf(grid.TextMatrix(row, Key).toLongLong()); };
    QCOMPARE(valuesOf(2), std::optional<QStringList>({ "销售部", "2020-01-05", "A" }));
    QCOMPARE(valuesOf(3), std::optional<QStringList>({ "", "2021/3/4", "B,C" }));
    QCOMPARE(
        valuesOf(4), std::optional<QStringList>(QStringList { "研发//二部" })); // line breaks as the name's

    const QString xlsx = QStringLiteral(TOMBOLIX_TEST_DATA "/entrants.xlsx");
    QList<QStringList> preview;
    QCOMPARE(transfer::PreviewWorkbookRows(xlsx, QStringLiteral("名单"), preview), 0);
    const ImportResult workbook = ImportEntrants(
        grid, xlsx, QStringLiteral("名单"), 2, 3, { "A", "B", "E", "D" }, { "入职日期", "手机" }, draw);
    QCOMPARE(workbook.stored, 2);
    QCOMPARE(store.names(draw), std::optional<QStringList>({ "部门", "入职日期", "类别", "手机" }));
    QCOMPARE(AttributeNamesOf(grid), store.names(draw).value());
    QVERIFY(!preview.at(1).at(4).isEmpty());
    QCOMPARE(valuesOf(5), std::optional<QStringList>({ "", preview.at(1).at(4), "", preview.at(1).at(3) }));
    QCOMPARE(grid.TextMatrix(6, 6), preview.at(2).at(4));
    QCOMPARE(grid.TextMatrix(2, 8), QString()); // the CSV's rows have no 手机
}

QTEST_MAIN(TestEntrantGrid)
#include "tst_entrantgrid.moc"
