#include "common/prompts.h"
#include "data/attributestore.h"
#include "data/database.h"
#include "data/entrantstore.h"
#include "data/entrantwriter.h"
#include "support/testsupport.h"

#include <QHash>
#include <QSqlQuery>
#include <QTest>

using namespace tombolix;
using namespace tombolix::data;
using State = EntrantRow::State;

namespace {

EntrantRow row(qint64 key, State state, const QString &number, const QString &name = QString())
{
    EntrantRow entrant;
    entrant.key = key;
    entrant.state = state;
    entrant.number = number;
    entrant.name = name;
    return entrant;
}

// Key, state, number and name of each row, for comparing whole ranges.
QStringList describe(const std::vector<EntrantRow> &rows)
{
    QStringList texts;
    for (const EntrantRow &entrant : rows)
        texts << QStringLiteral("%1 %2 %3|%4")
                     .arg(entrant.key)
                     .arg(int(entrant.state))
                     .arg(entrant.number, entrant.name);
    return texts;
}

// CID, 号码 and 姓名 of an entrant; empty when there is none.
QVariantList entrant(qint64 id)
{
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT CID, 号码, 姓名 FROM 号码表 WHERE ID=?"));
    query.addBindValue(id);
    if (query.exec() && query.next())
        return { query.value(0).toLongLong(), query.value(1), query.value(2) };
    return {};
}

qint64 entrantCount()
{
    return CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*"));
}

void run(const QString &sql)
{
    QVERIFY2(ExecuteSql(sql), qPrintable(sql));
}

} // namespace

class TestEntrantWriter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void storesByStateAndMarksSaved();
    void nothingToStoreOrNoDraw();
    void bulkIdsAreTheOnesAssigned_data();
    void bulkIdsAreTheOnesAssigned();
    void failureLeavesRowsAsTheyCame_data();
    void failureLeavesRowsAsTheyCame();
    void attributesComeBackAsStored_data();
    void attributesComeBackAsStored();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestEntrantWriter::init()
{
    m_db = new test::TestDatabase;
    QVERIFY(m_db->isValid());
    m_prompts = new ScopedScriptedPrompts;
}

void TestEntrantWriter::cleanup()
{
    delete m_prompts;
    delete m_db;
}

// New rows are inserted and take their IDs, changed rows are updated (and
// moved to the draw), saved rows and blank new rows are left alone. Saving
// the same rows again writes nothing.
void TestEntrantWriter::storesByStateAndMarksSaved()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const qint64 moved = m_db->addEntrant(m_db->addDraw(QStringLiteral("旧抽奖")), QStringLiteral("old"));
    const qint64 kept = m_db->addEntrant(draw, QStringLiteral("keep"));
    std::vector<EntrantRow> rows { row(0, State::New, QStringLiteral(" 007 "), QStringLiteral("O'Brien")),
        row(0, State::New, QStringLiteral("  "), QStringLiteral(" ")),
        row(moved, State::Changed, QStringLiteral("new"), QStringLiteral("新")),
        row(kept, State::Saved, QStringLiteral("not stored")),
        row(0, State::New, QString(), QStringLiteral("张三")) };

    QVERIFY(SaveEntrantRows(rows, draw));
    QVERIFY(m_prompts->shown().isEmpty());
    QCOMPARE(entrantCount(), 4);
    QVERIFY(rows[0].key > kept);
    QCOMPARE(rows[4].key, rows[0].key + 1);
    QCOMPARE(entrant(rows[0].key), (QVariantList { draw, " 007 ", "O'Brien" }));
    QCOMPARE(entrant(rows[4].key), (QVariantList { draw, "", "张三" })); // empty text, not Null
    QCOMPARE(entrant(moved), (QVariantList { draw, "new", "新" }));
    QCOMPARE(entrant(kept).at(1).toString(), QStringLiteral("keep"));
    const std::vector<State> states { State::Saved, State::New, State::Saved, State::Saved, State::Saved };
    for (size_t i = 0; i < rows.size(); ++i)
        QCOMPARE(rows[i].state, states[i]);
    QCOMPARE(rows[1].key, qint64(0));
    QCOMPARE(rows[2].key, moved);

    run(QStringLiteral(
        "CREATE TRIGGER refuse_all BEFORE UPDATE ON 号码表 BEGIN SELECT RAISE(ABORT, 'x'); END"));
    const QStringList before = describe(rows);
    QVERIFY(SaveEntrantRows(rows, draw));
    QCOMPARE(describe(rows), before);
    QCOMPARE(entrantCount(), 4);
    QVERIFY(m_prompts->shown().isEmpty());
}

void TestEntrantWriter::nothingToStoreOrNoDraw()
{
    std::vector<EntrantRow> none;
    QVERIFY(SaveEntrantRows(none, 0));

    std::vector<EntrantRow> rows { row(0, State::New, QStringLiteral("1")) };
    QVERIFY(!SaveEntrantRows(rows, 0));
    QVERIFY(!SaveEntrantRows(rows, -3));
    QCOMPARE(rows[0].state, State::New);
    QCOMPARE(entrantCount(), 0);
    QVERIFY(m_prompts->shown().isEmpty());
}

void TestEntrantWriter::failureLeavesRowsAsTheyCame_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("insert refused") << QStringLiteral("insert");
    QTest::newRow("update refused") << QStringLiteral("update");
    QTest::newRow("changed entrant gone") << QStringLiteral("gone");
}

// One bad row anywhere in the range: nothing is stored, no row changes, and
// the result says the database refused (the window tells the operator).
void TestEntrantWriter::failureLeavesRowsAsTheyCame()
{
    QFETCH(QString, fault);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const qint64 first = m_db->addEntrant(draw, QStringLiteral("100"));
    const qint64 second = m_db->addEntrant(draw, QStringLiteral("200"));
    std::vector<EntrantRow> rows { row(0, State::New, QStringLiteral("301")),
        row(first, State::Changed, QStringLiteral("101")),
        fault == QLatin1String("insert") ? row(0, State::New, QStringLiteral("bad"))
                                         : row(second, State::Changed, QStringLiteral("bad")),
        row(0, State::New, QStringLiteral("302")) };
    if (fault == QLatin1String("gone"))
        run(QStringLiteral("DELETE FROM 号码表 WHERE ID=%1").arg(second));
    else
        run(QStringLiteral("CREATE TRIGGER refuse BEFORE %1 ON 号码表 WHEN NEW.号码='bad' "
                           "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                .arg(fault.toUpper()));
    const qint64 stored = entrantCount();
    const QStringList before = describe(rows);

    QVERIFY(SaveEntrantRows(rows, draw).failed());
    QVERIFY(m_prompts->messages().isEmpty());
    QCOMPARE(describe(rows), before);
    QCOMPARE(entrantCount(), stored);
    QCOMPARE(entrant(first).at(1).toString(), QStringLiteral("100"));

    // Nothing is left half open: the sound rows store at once.
    rows.resize(2);
    QVERIFY(SaveEntrantRows(rows, draw));
    QCOMPARE(entrantCount(), stored + 1);
    QCOMPARE(entrant(first).at(1).toString(), QStringLiteral("101"));
}

void TestEntrantWriter::bulkIdsAreTheOnesAssigned_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("consecutive") << QString();
    // Another row slips in between the inserted ones: their IDs leave a gap.
    QTest::newRow("gap") << QStringLiteral(
        "CREATE TRIGGER slip AFTER INSERT ON 号码表 WHEN NEW.号码='gap' "
        "BEGIN INSERT INTO 号码表 (CID, 号码) VALUES (-1, 'slipped'); END");
    // A row slips in before every inserted one: the IDs step by two, which
    // the first and last alone would not show when the first were guessed.
    QTest::newRow("every other") << QStringLiteral(
        "CREATE TRIGGER slip BEFORE INSERT ON 号码表 WHEN NEW.CID>0 "
        "BEGIN INSERT INTO 号码表 (CID, 号码) VALUES (-1, 'slipped'); END");
}

void TestEntrantWriter::bulkIdsAreTheOnesAssigned()
{
    QFETCH(QString, trigger);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrant(draw, QStringLiteral("before"));
    if (!trigger.isEmpty())
        run(trigger);
    std::vector<EntrantRow> rows;
    for (int i = 0; i < 700; ++i) {
        const QString number = i == 300 ? QStringLiteral("gap") : QString::number(10000 + i);
        rows.push_back(row(0, State::New, number, QStringLiteral("名%1").arg(i)));
        if (i % 50 == 0)
            rows.push_back(row(0, State::New, QString(), QStringLiteral(" ")));
    }

    QVERIFY(SaveEntrantRows(rows, draw));
    QVERIFY(m_prompts->shown().isEmpty());
    QHash<QString, qint64> assigned;
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT ID, 号码 FROM 号码表 WHERE CID=?"));
    query.addBindValue(draw);
    QVERIFY(query.exec());
    while (query.next())
        assigned.insert(query.value(1).toString(), query.value(0).toLongLong());
    QCOMPARE(assigned.size(), 701);
    for (const EntrantRow &entrant : rows) {
        if (entrant.number.isEmpty()) {
            QCOMPARE(entrant.state, State::New);
            continue;
        }
        QCOMPARE(entrant.state, State::Saved);
        QCOMPARE(entrant.key, assigned.value(entrant.number));
    }
}

// Any text is a value: the separator and the escape of the stored text
// itself, empty values between others, emoji, every kind of space, a value
// of a hundred thousand characters. What goes in comes back; a changed row's
// values replace the entrant's, and its deletion takes them along.
void TestEntrantWriter::attributesComeBackAsStored_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("stored"); // trailing empty values are not kept
    const QString us = QString(QChar(0x1F));
    const QString esc = QString(QChar(0x1B));
    QTest::newRow("plain") << QStringList { "销售部", "2020-01-05", "A" }
                           << QStringList { "销售部", "2020-01-05", "A" };
    const QStringList marks { us, esc, esc + us, us + esc + esc, "a" + esc };
    QTest::newRow("separator and escape") << marks << marks;
    QTest::newRow("empty between") << QStringList { "", "x", "", "", "z" }
                                   << QStringList { "", "x", "", "", "z" };
    QTest::newRow("empty at the end") << QStringList { "x", "", "" } << QStringList { "x" };
    const QStringList odd { "😀👍🏽", " \t\u3000 a\u00A0", "\r\n\x01\u200B",
        QString(100000, QChar(0x9F8D)) };
    QTest::newRow("emoji, spaces, controls, long") << odd << odd;
}

void TestEntrantWriter::attributesComeBackAsStored()
{
    QFETCH(QStringList, values);
    QFETCH(QStringList, stored);
    QCOMPARE(DecodeAttributes(EncodeAttributes(values)), stored);
    QCOMPARE(DecodeAttribute(EncodeAttributes(values), 1), values.value(1));

    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    QStringList names;
    for (qsizetype k = 0; k < values.size(); ++k)
        names << QStringLiteral("属性%1").arg(k);
    std::vector<EntrantRow> rows { row(0, State::New, QStringLiteral("1001"), QStringLiteral("张三")),
        row(0, State::New, QStringLiteral("1002"), QStringLiteral("李四")) };
    rows[0].attributes = values;
    QVERIFY(SaveEntrantRows(rows, draw, names));
    AttributeStore store;
    QCOMPARE(store.names(draw), std::optional<QStringList>(names));
    QCOMPARE(store.valuesOf(rows[0].key), std::optional<QStringList>(stored));
    QCOMPARE(store.valuesOf(rows[1].key), std::optional<QStringList>(QStringList()));
    // The same through a connection of SQLite's own, as the stage reads them
    // beside the pool on a thread of its own.
    QStringList seen { QStringLiteral("none") };
    QVERIFY(ForEachValueWithinDraw(m_db->path(), draw, [&](qint64 id, QStringView text) {
        if (id == rows[0].key)
            seen = DecodeAttributes(text.toString());
    }));
    QCOMPARE(seen, stored);

    // Edited in the grid: the grid holds all of the draw's names.
    QStringList reversed(values.crbegin(), values.crend());
    rows[0].state = State::Changed;
    rows[0].attributes = reversed;
    QVERIFY(SaveEntrantRows(rows, draw, names));
    while (!reversed.isEmpty() && reversed.constLast().isEmpty())
        reversed.removeLast();
    QCOMPARE(store.valuesOf(rows[0].key), std::optional<QStringList>(reversed));

    QCOMPARE(EntrantStore().remove({ rows[0].key }), std::optional<int>(1));
    QCOMPARE(CountRows(QStringLiteral("人员属性表"), QString(), QStringLiteral("*")), 0);
}

QTEST_GUILESS_MAIN(TestEntrantWriter)
#include "tst_entrantwriter.moc"
