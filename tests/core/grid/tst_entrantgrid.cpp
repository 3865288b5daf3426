#include "common/prompts.h"
#include "data/database.h"
#include "grid/entrantgrid.h"
#include "grid/gridops.h"
#include "support/testsupport.h"

#include <QSignalSpy>
#include <QTest>

using namespace tombolix;
using namespace tombolix::grid;
using State = data::EntrantRow::State;

namespace {

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

int appendRow(GridModel &grid, const QString &key, const QString &number, const QString &name = QString())
{
    const int row = grid.addRow();
    grid.setTextMatrix(row, Key, key);
    grid.setTextMatrix(row, Number, number);
    grid.setTextMatrix(row, Name, name);
    return row;
}

QStringList column(const GridModel &grid, int col)
{
    QStringList texts;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
        texts << grid.TextMatrix(r, col);
    return texts;
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
    const int row = appendRow(grid, keyText, QStringLiteral(" 0012 "), QStringLiteral("张三"));
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
        appendRow(grid, QString(), QString::number(10000 + i));
    const int blank = appendRow(grid, QString(), QStringLiteral(" "));
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

QTEST_MAIN(TestEntrantGrid)
#include "tst_entrantgrid.moc"
