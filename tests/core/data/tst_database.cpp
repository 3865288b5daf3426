#include "common/prompts.h"
#include "data/database.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTest>
#include <QThread>

using namespace tombolix;
using namespace tombolix::data;

class TestDatabaseRoutines : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lookupValueByNumberAndText();
    void lookupValueWithoutMatchIsEmptyTextNotNull();
    void lookupValueOfNullColumnIsNull();
    void countRowsWithAndWithoutCondition();
    void countRowsOfBadStatementIsZeroWithMessage();
    void failedStatementIsShownWithItsValues();
    void sumColumnOverNoRowsIsZero();
    void sumColumnAddsUp();
    void fillIdListOrderAndText();
    void idListOfEmptyTableIsEmpty();
    void executeSqlReportsWhetherItRan();
    void jetConditionsWork();
    void tableExistsIsExactAndCaseSensitive();
    void recordsetReadsForwardAndCountsAll();
    void autoNumbersAreNeverReused();
    void leadingZerosStayText();
    void settingsColumnsRoundTrip();
    void hostileTextsAreStoredUnchanged_data();
    void hostileTextsAreStoredUnchanged();
    void quotedTextCannotChangeAStatement();
    void transactionStoresAllOrNothing();
    void tableRowsTakeABoundCondition();
    void rowsDeletedByKeyAllOrNothing();
    void twoThreadsWriteAtOnce();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestDatabaseRoutines::init()
{
    m_db = new test::TestDatabase;
    QVERIFY(m_db->isValid());
    m_prompts = new ScopedScriptedPrompts;
}

void TestDatabaseRoutines::cleanup()
{
    delete m_prompts;
    delete m_db;
}

void TestDatabaseRoutines::lookupValueByNumberAndText()
{
    const qint64 id = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("80"));
    QCOMPARE(
        LookupValue(QStringLiteral("奖次表"), id, QStringLiteral("ID"), QStringLiteral("速度")).toString(),
        QStringLiteral("80"));
    QCOMPARE(LookupValue(QStringLiteral("奖次表"), QString::number(id), QStringLiteral("ID"),
                 QStringLiteral("抽奖内容"))
                 .toString(),
        QStringLiteral("年会"));
    QCOMPARE(LookupValue(QStringLiteral("奖次表"), QStringLiteral("年会"), QStringLiteral("抽奖内容"),
                 QStringLiteral("ID"))
                 .toLongLong(),
        id);
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestDatabaseRoutines::lookupValueWithoutMatchIsEmptyTextNotNull()
{
    const QVariant value
        = LookupValue(QStringLiteral("奖次表"), 999, QStringLiteral("ID"), QStringLiteral("速度"));
    QVERIFY(!value.isNull());
    QCOMPARE(value.typeId(), int(QMetaType::QString));
    QCOMPARE(value.toString(), QString());
}

void TestDatabaseRoutines::lookupValueOfNullColumnIsNull()
{
    const qint64 id = m_db->addDraw(QStringLiteral("x"));
    QVERIFY(LookupValue(QStringLiteral("奖次表"), id, QStringLiteral("ID"), QStringLiteral("FRM")).isNull());
}

void TestDatabaseRoutines::countRowsWithAndWithoutCondition()
{
    const qint64 a = m_db->addDraw(QStringLiteral("a"));
    const qint64 b = m_db->addDraw(QStringLiteral("b"));
    m_db->addEntrants(a, 10);
    m_db->addEntrants(b, 5);
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(15));
    QCOMPARE(CountRows(QStringLiteral("号码表"), QStringLiteral("TRUE"), QStringLiteral("*")), qint64(15));
    QCOMPARE(CountRows(
                 QStringLiteral("号码表"), QStringLiteral("CID=") + QString::number(b), QStringLiteral("ID")),
        qint64(5));
    QCOMPARE(CountRows(QStringLiteral("号码表"), QStringLiteral("FALSE"), QStringLiteral("ID")), qint64(0));
}

void TestDatabaseRoutines::countRowsOfBadStatementIsZeroWithMessage()
{
    QCOMPARE(CountRows(QStringLiteral("没有这个表"), QString(), QStringLiteral("*")), qint64(0));
    QCOMPARE(
        m_prompts->messages(), QStringList { QStringLiteral("数据库打开错误(SELECT * FROM 没有这个表)！") });
}

// The operator (and whoever reads a screenshot of the box) sees the
// statement as it ran, with its values, not with placeholders.
void TestDatabaseRoutines::failedStatementIsShownWithItsValues()
{
    Recordset rs = OpenRecordset(
        QStringLiteral("SELECT * FROM 没有这个表 WHERE ID=? AND 名称=? AND 备注='?' AND 值=?"),
        { 5, QStringLiteral("O'Brien"), 2.5 });
    QVERIFY(!rs.isOpen());
    QCOMPARE(m_prompts->messages(),
        QStringList { QStringLiteral("数据库打开错误(SELECT * FROM 没有这个表 WHERE ID=5 AND 名称='O''Brien' "
                                     "AND 备注='?' AND 值=2.5)！") });
    m_prompts->clear();

    // A lookup that fails shows the statement the draw screen would have run;
    // with no file to open, every lookup says that, once until one succeeds.
    QCOMPARE(LookupValue(QStringLiteral("没有这个表"), QStringLiteral("12"), QStringLiteral("ID"),
                 QStringLiteral("速度"))
                 .toString(),
        QString());
    QCOMPARE(m_prompts->messages(),
        QStringList { QStringLiteral("数据库打开错误(SELECT * FROM 没有这个表 WHERE ID='12')！") });
    m_prompts->clear();
    setDatabasePath(QDir(m_db->folder()).filePath(QStringLiteral("missing.mdb")));
    QCOMPARE(
        LookupValue(QStringLiteral("奖次表"), 5, QStringLiteral("ID"), QStringLiteral("速度")).toString(),
        QString());
    QCOMPARE(LookupValue(
                 QStringLiteral("奖次表"), QStringLiteral("12"), QStringLiteral("ID"), QStringLiteral("速度"))
                 .toString(),
        QString());
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("无法建立数据库连接！") });
    setDatabasePath(m_db->path());

    QCOMPARE(StatementText(QStringLiteral("UPDATE t SET a=?, b=?, c=? WHERE d=\"?\" AND e=?"),
                 { QVariant(), true, qint64(13800138000), QStringLiteral("x") }),
        QStringLiteral("UPDATE t SET a=NULL, b=TRUE, c=13800138000 WHERE d=\"?\" AND e='x'"));
}

void TestDatabaseRoutines::sumColumnOverNoRowsIsZero()
{
    QCOMPARE(SumColumn(QStringLiteral("奖项表"), QStringLiteral("数量"), QStringLiteral("TRUE")), 0.0);
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestDatabaseRoutines::sumColumnAddsUp()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("a"));
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    m_db->addAward(draw, 2, QStringLiteral("二等奖"), 9, 3);
    m_db->addAward(draw + 1, 1, QStringLiteral("别的"), 100, 1);
    QCOMPARE(SumColumn(QStringLiteral("奖项表"), QStringLiteral("数量"), QStringLiteral("TRUE")), 112.0);
    QCOMPARE(SumColumn(QStringLiteral("奖项表"), QStringLiteral("数量"),
                 QStringLiteral("CID=") + QString::number(draw)),
        12.0);
}

void TestDatabaseRoutines::fillIdListOrderAndText()
{
    // IDs 3, 7 and 5 are listed 7, 5, 3.
    for (int id : { 3, 7, 5 })
        QVERIFY(ExecuteSql(QStringLiteral("INSERT INTO 奖次表 (ID, 抽奖内容) VALUES (?, ?)"),
            { id, QStringLiteral("抽奖%1").arg(id) }));
    const QStringList items
        = IdListItems(QStringLiteral("奖次表"), QStringLiteral("ID"), QStringLiteral("抽奖内容"), QString());
    QCOMPARE(items,
        (QStringList { QStringLiteral("7‖抽奖7"), QStringLiteral("5‖抽奖5"), QStringLiteral("3‖抽奖3") }));
    QCOMPARE(MakeIdListItem(12, QStringLiteral("张三's \"Party\"")), QStringLiteral("12‖张三's \"Party\""));
}

void TestDatabaseRoutines::idListOfEmptyTableIsEmpty()
{
    QVERIFY(IdListItems(QStringLiteral("奖次表"), QStringLiteral("ID"), QStringLiteral("抽奖内容"), QString())
                .isEmpty());
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestDatabaseRoutines::executeSqlReportsWhetherItRan()
{
    QVERIFY(ExecuteSql(QStringLiteral("DELETE FROM 结果表 WHERE CID=5")));
    QVERIFY(!ExecuteSql(QStringLiteral("DELETE FROM 无此表 WHERE CID=5")));
    QVERIFY(!ExecuteSql(QStringLiteral("this is not sql")));
    QVERIFY(m_prompts->messages().isEmpty()); // failures of a statement are silent
}

void TestDatabaseRoutines::jetConditionsWork()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("a"));
    m_db->addEntrants(draw, 3);
    // A quoted number is accepted by an integer column.
    QVERIFY(ExecuteSql(
        QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES ('%1', '2', '001', '')").arg(draw)));
    QCOMPARE(CountRows(QStringLiteral("结果表"), QStringLiteral("CID=%1 AND WID=2").arg(draw),
                 QStringLiteral("ID")),
        qint64(1));
    Recordset rs = OpenRecordset(QStringLiteral("SELECT * FROM 号码表 WHERE FALSE"));
    QVERIFY(rs.isOpen());
    QVERIFY(rs.eof());
    QVERIFY(ExecuteSql(QStringLiteral("DELETE FROM 号码表 WHERE TRUE")));
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(0));
}

void TestDatabaseRoutines::tableExistsIsExactAndCaseSensitive()
{
    for (const char *name : { "奖次表", "奖项表", "号码表", "结果表", "预设表" })
        QVERIFY2(TableExists(QString::fromUtf8(name)), name);
    QVERIFY(!TableExists(QStringLiteral("奖次")));
    QVERIFY(!TableExists(QStringLiteral("sqlite_sequence_x")));
    QVERIFY(ExecuteSql(QStringLiteral("CREATE TABLE Extra (ID INTEGER)")));
    QVERIFY(TableExists(QStringLiteral("Extra")));
    QVERIFY(!TableExists(QStringLiteral("extra")));
}

void TestDatabaseRoutines::recordsetReadsForwardAndCountsAll()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("a"));
    m_db->addEntrants(draw, 25);
    Recordset rs = OpenRecordset(QStringLiteral("SELECT * FROM 号码表 WHERE CID=? ORDER BY ID"), { draw });
    QVERIFY(rs.isOpen());
    QCOMPARE(rs.recordCount(), qint64(25));
    int seen = 0;
    for (; !rs.eof(); rs.moveNext())
        ++seen;
    QCOMPARE(seen, 25);
    QCOMPARE(rs.recordCount(), qint64(25)); // still the full count at the end
    QCOMPARE(rs.field(QStringLiteral("号码")), QVariant());
    CloseRecordset(rs);
    QVERIFY(!rs.isOpen());
}

void TestDatabaseRoutines::autoNumbersAreNeverReused()
{
    const qint64 first = m_db->addDraw(QStringLiteral("a"));
    const qint64 second = m_db->addDraw(QStringLiteral("b"));
    QVERIFY(ExecuteSql(QStringLiteral("DELETE FROM 奖次表 WHERE ID=?"), { second }));
    const qint64 third = m_db->addDraw(QStringLiteral("c"));
    QVERIFY(third > second);
    QVERIFY(second > first);
}

void TestDatabaseRoutines::leadingZerosStayText()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("a"));
    const qint64 id = m_db->addEntrant(draw, QStringLiteral("0012"), QStringLiteral("甲"));
    QCOMPARE(
        LookupValue(QStringLiteral("号码表"), id, QStringLiteral("ID"), QStringLiteral("号码")).toString(),
        QStringLiteral("0012"));
}

void TestDatabaseRoutines::settingsColumnsRoundTrip()
{
    const qint64 draw
        = m_db->addDraw(QStringLiteral("a"), QStringLiteral("080"), QString(), QStringLiteral("1x"));
    QCOMPARE(
        LookupValue(QStringLiteral("奖次表"), draw, QStringLiteral("ID"), QStringLiteral("速度")).toString(),
        QStringLiteral("080"));
    QCOMPARE(
        LookupValue(QStringLiteral("奖次表"), draw, QStringLiteral("ID"), QStringLiteral("定时")).toString(),
        QStringLiteral("1x"));
    QVERIFY(ExecuteSql(QStringLiteral("UPDATE 奖次表 SET 定长=? WHERE ID=?"), { 8, draw }));
    QCOMPARE(
        LookupValue(QStringLiteral("奖次表"), draw, QStringLiteral("ID"), QStringLiteral("定长")).toString(),
        QStringLiteral("8"));
}

void TestDatabaseRoutines::hostileTextsAreStoredUnchanged_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("apostrophe") << "O'Brien";
    QTest::newRow("number with quote") << "12'34";
    QTest::newRow("both quotes") << QStringLiteral("张三's \"Party\"");
    QTest::newRow("injection") << "x'); DELETE FROM 号码表; --";
    QTest::newRow("or true") << "' OR '1'='1";
    QTest::newRow("line breaks") << "a\r\nb\nc";
    QTest::newRow("comma and semicolon") << "a,b;c";
    QTest::newRow("backslash") << "C:\\pic\\a'b.jpg";
}

void TestDatabaseRoutines::hostileTextsAreStoredUnchanged()
{
    QFETCH(QString, text);
    const qint64 draw = m_db->addDraw(QStringLiteral("keep"));
    m_db->addEntrants(draw, 3);
    // Quoted into the statement.
    QVERIFY(ExecuteSql(QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (%1, %2, %3)")
                           .arg(draw)
                           .arg(sqlText(text), sqlText(text))));
    // Bound.
    QVERIFY(ExecuteSql(
        QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (?, ?, ?)"), { draw, text, text }));
    QCOMPARE(
        CountRows(QStringLiteral("号码表"), QStringLiteral("号码=") + sqlText(text), QStringLiteral("ID")),
        qint64(2));
    QCOMPARE(LookupValue(QStringLiteral("号码表"), text, QStringLiteral("号码"), QStringLiteral("姓名"))
                 .toString(),
        text);
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(5));
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestDatabaseRoutines::quotedTextCannotChangeAStatement()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("keep"));
    m_db->addEntrants(draw, 4);
    QVERIFY(ExecuteSql(
        QStringLiteral("DELETE FROM 号码表 WHERE 号码=") + sqlText(QStringLiteral("x' OR '1'='1"))));
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(4));
    QCOMPARE(sqlText(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
}

void TestDatabaseRoutines::transactionStoresAllOrNothing()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("a"));
    {
        Transaction transaction;
        QVERIFY(transaction.isActive());
        QVERIFY(ExecuteSql(QStringLiteral("INSERT INTO 号码表 (CID, 号码) VALUES (?, '1')"), { draw }));
        // dropped without commit
    }
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(0));
    {
        Transaction transaction;
        QVERIFY(ExecuteSql(QStringLiteral("INSERT INTO 号码表 (CID, 号码) VALUES (?, '1')"), { draw }));
        QVERIFY(transaction.commit());
    }
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(1));
}

void TestDatabaseRoutines::tableRowsTakeABoundCondition()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("a"));
    m_db->addEntrant(draw, QStringLiteral("2"), QStringLiteral("O'Brien"));
    m_db->addEntrant(draw, QStringLiteral("1"), QStringLiteral("O'Brien"));
    m_db->addEntrant(draw, QStringLiteral("3"), QStringLiteral("' OR '1'='1"));
    m_db->addEntrant(draw + 1, QStringLiteral("0"), QStringLiteral("O'Brien"));
    QStringList numbers;
    for (Recordset rs = OpenTableRows(QStringLiteral("号码表"),
             { QStringLiteral("CID=? AND 姓名=?"), { draw, QStringLiteral("O'Brien") } },
             QStringLiteral("号码"));
         !rs.eof(); rs.moveNext())
        numbers << rs.field(QStringLiteral("号码")).toString();
    QCOMPARE(numbers, (QStringList { QStringLiteral("1"), QStringLiteral("2") }));
    QCOMPARE(OpenTableRows(QStringLiteral("号码表"), {}, QString()).recordCount(), qint64(4));

    QVERIFY(!OpenTableRows(
        QStringLiteral("没有这个表"), { QStringLiteral("CID=?"), { draw } }, QStringLiteral("号码"))
                 .isOpen());
    QCOMPARE(m_prompts->messages(),
        QStringList { QStringLiteral("数据库打开错误(SELECT * FROM 没有这个表 WHERE CID=%1 ORDER BY 号码)！")
                          .arg(draw) });
}

void TestDatabaseRoutines::rowsDeletedByKeyAllOrNothing()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("a"));
    m_db->addEntrants(draw, 5);
    const QStringList ids = [] {
        QStringList all;
        for (Recordset rs = OpenRecordset(QStringLiteral("SELECT ID FROM 号码表 ORDER BY ID")); !rs.eof();
             rs.moveNext())
            all << rs.field(0).toString();
        return all;
    }();
    // A key that is not a key matches nothing, whatever it holds.
    QVERIFY(DeleteRowsByKey(QStringLiteral("号码表"), QStringLiteral("ID"),
        { ids[0], QStringLiteral("1 OR 1=1"), QStringLiteral("' OR '1'='1"), ids[2] }));
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(3));

    QVERIFY(ExecuteSql(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON 号码表 WHEN OLD.ID=%1 "
                                      "BEGIN SELECT RAISE(ABORT, 'kept'); END")
                           .arg(ids[4])));
    QVERIFY(!DeleteRowsByKey(QStringLiteral("号码表"), QStringLiteral("ID"), { ids[1], ids[3], ids[4] }));
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(3));
    QVERIFY(m_prompts->messages().isEmpty());

    setDatabasePath(QDir(m_db->folder()).filePath(QStringLiteral("missing.mdb")));
    QVERIFY(!DeleteRowsByKey(QStringLiteral("号码表"), QStringLiteral("ID"), { ids[1] }));
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("无法建立数据库连接！") });
    setDatabasePath(m_db->path());
}

// A second thread works on a database of its own on the same file: each
// writes its rows in transactions while the other does, and reads while the
// other holds its write open. Nothing is lost and nothing is told to the
// operator from a thread without windows.
void TestDatabaseRoutines::twoThreadsWriteAtOnce()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    constexpr int Rounds = 40;
    constexpr int Rows = 25;
    const auto writeRows = [&](Database &db, const QString &prefix) {
        int stored = 0;
        for (int round = 0; round < Rounds; ++round) {
            Transaction transaction(db);
            if (!transaction.isActive())
                return stored;
            bool ran = true;
            for (int row = 0; row < Rows && ran; ++row)
                ran = db.execute(QStringLiteral("INSERT INTO 号码表 (CID, 号码) VALUES (?, ?)"),
                    { draw, prefix + QString::number(round * Rows + row) });
            // A moment with the write open, for the other to read meanwhile.
            QThread::usleep(200);
            if (ran && transaction.commit())
                stored += Rows;
        }
        return stored;
    };
    int fromWorker = 0;
    bool workerRead = true;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        Database own(m_db->path());
        fromWorker = writeRows(own, QStringLiteral("w"));
        workerRead = own.select(QStringLiteral("SELECT COUNT(*) FROM 号码表")).isOpen();
        workerRead = workerRead && !own.lastFailure();
    }));
    worker->start();
    const int fromHere = writeRows(Database::run(), QStringLiteral("m"));
    QVERIFY(worker->wait(60000));
    QCOMPARE(fromHere, Rounds * Rows);
    QCOMPARE(fromWorker, Rounds * Rows);
    QVERIFY(workerRead);
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(2 * Rounds * Rows));
    QVERIFY(m_prompts->messages().isEmpty());

    // A reader is not kept waiting by another connection's exclusive write.
    Database other(m_db->path());
    QVERIFY(other.execute(QStringLiteral("BEGIN EXCLUSIVE")));
    QVERIFY(other.execute(QStringLiteral("INSERT INTO 号码表 (CID, 号码) VALUES (?, 'x')"), { draw }));
    setBusyTimeout(0);
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(2 * Rounds * Rows));
    setBusyTimeout(5000);
    QVERIFY(other.execute(QStringLiteral("ROLLBACK")));
}

QTEST_GUILESS_MAIN(TestDatabaseRoutines)
#include "tst_database.moc"
