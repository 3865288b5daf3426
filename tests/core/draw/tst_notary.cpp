// The checkable draw as an operator meets it: draws held through the session
// leave records that check, and each way a determined operator was found to
// steer a winner, with the program and the sqlite3 shell, is refused or
// shown; the rule's published test vectors.
#include "common/canonicaljson.h"
#include "common/notary.h"
#include "common/prompts.h"
#include "data/attributestore.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/rangestore.h"
#include "data/resultstore.h"
#include "draw/certificate.h"
#include "draw/commitment.h"
#include "draw/drawsession.h"
#include "draw/eligibility.h"
#include "draw/notaryrecord.h"
#include "draw/recordcheck.h"
#include "draw/recordreplay.h"
#include "support/testsupport.h"
#include "transfer/csvparse.h"
#include "transfer/gb18030.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <set>

using namespace tombolix;
using namespace tombolix::draw;

class TestNotary : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void heldDrawsCheck_data();
    void heldDrawsCheck();
    void noChangeToARecordPasses();
    void changesBetweenSittingsAreCommittedAndShown_data();
    void changesBetweenSittingsAreCommittedAndShown();
    void whatDecidesWinnersComesFromTheCommitment();
    void aRefusedWinnerStopsTheRound();
    void noRoundWithoutAStoredCommitment();
    void theSeedAloneDoesNotDecide();
    void everyCommittedListMeetsTheListFile();
    void deletingADrawDeletesItsRecord();
    void olderRecordsStillCheck();
    void dishonestRecordsAreRefused_data();
    void dishonestRecordsAreRefused();
    void testVectors();
    void rangesReadAsTheDocumentSays_data();
    void rangesReadAsTheDocumentSays();
    void aRangedDrawChecksWithItsListFile();
    void eachAwardIsUniformOverItsOwnSet();
    void bitmapsReadAsTheDocumentSays_data();
    void bitmapsReadAsTheDocumentSays();
    void aSetInManyPiecesIsWrittenAsBits();
    void theDocumentsExampleChecksAsItSays();

private:
    qint64 addStaff(int count, const QString &name = QStringLiteral("年会"));
    void saveRecord(const QByteArray &record, const QString &name, const QByteArray &listFile = QByteArray());
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestNotary::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
    SetHallNumbersForTesting(std::nullopt); // the hall speaks here as the stage asks it
}

void TestNotary::cleanup()
{
    delete m_prompts;
    delete m_db;
}

qint64 TestNotary::addStaff(int count, const QString &name)
{
    const qint64 draw = m_db->addDraw(name);
    for (int i = 1; i <= count; ++i)
        m_db->addEntrant(draw, QString::number(1000 + i), QStringLiteral("员工%1").arg(i));
    return draw;
}

// A fresh record for the document's own checker and the corpus, when asked
// for; with a list file, that beside it as NAME.list.csv.
void TestNotary::saveRecord(const QByteArray &record, const QString &name, const QByteArray &listFile)
{
    const QString folder = qEnvironmentVariable("TOMBOLIX_RECORD_OUT");
    QString file;
    for (QChar c : name)
        file += c.isLetterOrNumber() && c.unicode() < 128 ? c.toLower() : QLatin1Char('-');
    while (file.contains(QStringLiteral("--")))
        file.replace(QStringLiteral("--"), QStringLiteral("-"));
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return;
    QVERIFY(test::writeFile(QDir(folder).filePath(file + QStringLiteral(".json")), record));
    if (!listFile.isEmpty())
        QVERIFY(test::writeFile(QDir(folder).filePath(file + QStringLiteral(".list.csv")), listFile));
}

QByteArray finishedRecord(qint64 draw)
{
    if (!RevealSeed(draw))
        return QByteArray();
    return ExportRecord(draw).value_or(QByteArray());
}

// Honest draws, the awkward ones included, always check.
void TestNotary::heldDrawsCheck_data()
{
    QTest::addColumn<QString>("entrants"); // number|name per line
    QTest::addColumn<QString>("hall");
    QTest::newRow("plain") << QString() << QStringLiteral("3 14 159");
    QTest::newRow("an entrant without a number") << QStringLiteral("|无号之人") << QStringLiteral("2718");
    QTest::newRow("names with tab, line feed, quotes and emoji")
        << QStringLiteral("2001|张三\n2\t1002\t李四\n2002|\"王五\" \\ 😀\n2003|O'Brien")
        << QStringLiteral("1");
    QTest::newRow("one person listed twice")
        << QStringLiteral("2001|重复者\n2001|重复者") << QStringLiteral("42");
    QTest::newRow("without the hall's numbers") << QString() << QString();
    QTest::newRow("a name GB18030 editions map apart")
        << QStringLiteral("2001|\u1E3F\uE7C7") << QStringLiteral("9");
}

void TestNotary::heldDrawsCheck()
{
    QFETCH(QString, entrants);
    QFETCH(QString, hall);
    const qint64 draw = addStaff(10);
    EntrantList listed;
    for (int i = 1; i <= 10; ++i)
        listed.append({ QString::number(1000 + i), QStringLiteral("员工%1").arg(i) });
    for (const QString &line : entrants.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        const QString name = line.mid(bar + 1).replace(QStringLiteral("\\t"), QStringLiteral("\t"));
        m_db->addEntrant(draw, line.left(bar), name);
        listed.append({ line.left(bar), name });
    }
    const qint64 first = m_db->addAward(draw, 1, QStringLiteral("三等奖"), 3, 2, true, false);
    m_db->addAward(draw, 2, QStringLiteral("三等奖"), 2, 1, true, true); // two awards of one name
    m_db->addAward(draw, 3, QStringLiteral("一等奖"), 1, 1, true, false, QStringLiteral("电视"));
    QString code;
    {
        DrawSession session;
        QVERIFY(session.start(draw).problem.isEmpty());
        QVERIFY(session.codeOnShow());
        code = session.notaryCode();
        QCOMPARE(code.size(), 39); // eight groups of four
        QVERIFY(!session.beginRound()); // the hall's numbers come first
        QVERIFY(session.lockHallNumbers(hall));
        QVERIFY(session.beginRound());
        const StopOutcome round = session.StopAndRecord(true, false);
        QCOMPARE(round.recorded, 2);
        QVERIFY(!session.codeOnShow());
        // An absent winner withdrawn: the redraw is the award's next round.
        const QList<data::ResultRecord> stored = *data::ResultStore().forDraw(draw);
        QCOMPARE(
            session
                .WithdrawResults({ { stored.at(0).id, stored.at(0).number, stored.at(0).name } }, true, false)
                .deleted,
            1);
    }
    {
        // Continued on the same commitment, as after a crash.
        DrawSession session;
        QVERIFY(session.start(draw, Entry::Continue).problem.isEmpty());
        QCOMPARE(session.notaryCode(), code);
        QVERIFY(!session.needsHallNumbers());
        QVERIFY(test::drawToTheEnd(session) > 0);
        QVERIFY(session.revealSeed());
    }
    QCOMPARE(data::ResultStore().countForAward(draw, first), qint64(3));
    // A winner who turns down the prize after the party, on the results tab.
    QVERIFY(data::ResultStore().withdraw(
        { data::ResultStore().forDraw(draw)->constLast().id }, data::withdrawreason::ResultsTab));
    const QByteArray record = *ExportRecord(draw);
    const RecordCheck check = CheckRecord(record);
    QVERIFY2(check.passed(), qPrintable(check.problem));
    QVERIFY(check.summary.join(QLatin1Char('\n')).contains(code));
    QVERIFY(check.summary.join(QLatin1Char('\n'))
                .contains(hall.isEmpty() ? QStringLiteral("未输入现场随机数")
                                         : QStringLiteral("现场随机数：") + hall));
    // HR's list beside it, as a file saved in GB18030 with every cell quoted.
    const RecordCheck withList = CheckRecord(record, listed);
    QVERIFY2(withList.passed(), qPrintable(withList.problem));
    QString csv = QStringLiteral("号码,姓名\r\n");
    auto quoted = [](QString cell) {
        return QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    };
    for (const auto &[number, name] : listed)
        csv += quoted(number) + QLatin1Char(',') + quoted(name) + QStringLiteral("\r\n");
    saveRecord(record, QStringLiteral("honest-") + QString::fromLatin1(QTest::currentDataTag()),
        transfer::EncodeGb18030(csv));
}

// Any single byte changed, an entry moved, a result deleted by hand.
void TestNotary::noChangeToARecordPasses()
{
    const qint64 draw = addStaff(8);
    m_db->addAward(draw, 1, QStringLiteral("二等奖"), 3, 2);
    DrawSession session;
    test::startDraw(session, draw);
    test::drawToTheEnd(session);
    const QByteArray record = finishedRecord(draw);
    QVERIFY(CheckRecord(record).passed());
    for (qsizetype i = 0; i < record.size(); ++i) {
        QByteArray changed = record;
        changed[i] = char(changed.at(i) ^ (changed.at(i) == '\\' ? 0x02 : 0x01));
        if (CheckRecord(changed).passed())
            QFAIL(qPrintable(QStringLiteral("byte %1 changed passes: …%2…")
                                 .arg(i)
                                 .arg(QString::fromUtf8(changed.mid(std::max<qsizetype>(0, i - 30), 60)))));
    }
    QVERIFY(data::ExecuteSql(
        QStringLiteral("DELETE FROM 结果表 WHERE ID=(SELECT MAX(ID) FROM 结果表 WHERE CID=?)"), { draw }));
    const RecordCheck deleted = CheckRecord(*ExportRecord(draw));
    QCOMPARE(deleted.check, 8);
}

// What a party does between two sittings, and what an operator with the
// sqlite3 shell might do: the next entry says what differs, brings the
// database back to the record, reveals the old seed and commits afresh,
// with the reason on the stage; the record still checks.
void TestNotary::changesBetweenSittingsAreCommittedAndShown_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<bool>("restart");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("difference");
    QTest::newRow("latecomer") << QStringList { QStringLiteral(
        "INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (1, '2001', '迟到者')") }
                               << false << QStringLiteral("名单已改动：+1 2001 迟到者") << QString();
    QTest::newRow("latecomer whose name would write a line of its own") << QStringList {
        QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (1, '2002', "
                       "'迟到者' || char(10) || '现场随机数：1 2 3，请与现场报出的数字核对')")
    } << false << QStringLiteral("名单已改动：+1 2002 迟到者") << QString();
    QTest::newRow("name corrected") << QStringList { QStringLiteral(
        "UPDATE 号码表 SET 姓名='员工1（更正）' WHERE 号码='1001'") }
                                    << false
                                    << QStringLiteral("名单已改动：+1 1001 员工1（更正）；-1 1001 员工1")
                                    << QString();
    QTest::newRow("award added") << QStringList { QStringLiteral(
        "INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示, 重复, 奖品) VALUES (1, 3, '老板加奖', 3, 1, "
        "1, 1, '红包')") } << false
                                 << QStringLiteral("新增 老板加奖") << QString();
    // As the console deletes an award: its results with it.
    QTest::newRow("award deleted")
        << QStringList { QStringLiteral(
                             "DELETE FROM 结果表 WHERE WID IN (SELECT ID FROM 奖项表 WHERE 顺序=1)"),
               QStringLiteral("DELETE FROM 奖项表 WHERE 顺序=1") }
        << false << QStringLiteral("删除 三等奖") << QString();
    QTest::newRow("count raised") << QStringList { QStringLiteral("UPDATE 奖项表 SET 数量=4 WHERE 顺序=1") }
                                  << false << QStringLiteral("三等奖 数量 2→4") << QString();
    QTest::newRow("order swapped") << QStringList { QStringLiteral("UPDATE 奖项表 SET 顺序=3-顺序") } << false
                                   << QStringLiteral("抽奖顺序改变") << QString();
    QTest::newRow("started again") << QStringList {} << true << QStringLiteral("重新开始") << QString();
    QTest::newRow("withdrawal typed in by hand") << QStringList { QStringLiteral(
        "INSERT INTO 撤销表 (CID, WID, 结果ID, 号码, 姓名, 时间, 原因) SELECT 1, 1, 999, 号码, 姓名, '', '' "
        "FROM 号码表 WHERE ID > 1") } << false << QStringLiteral("数据库与公证记录不符")
                                                 << QStringLiteral("撤销表中有 11 条记录中没有的撤销");
    QTest::newRow("result deleted by hand")
        << QStringList { QStringLiteral("DELETE FROM 结果表") } << false
        << QStringLiteral("数据库与公证记录不符") << QStringLiteral("已按记录恢复");
    QTest::newRow("result added by hand") << QStringList { QStringLiteral(
        "INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES (1, 2, '1012', '员工12')") }
                                          << false << QStringLiteral("数据库与公证记录不符")
                                          << QStringLiteral("结果表中有 1 条记录中没有的结果（1012 员工12）");
}

void TestNotary::changesBetweenSittingsAreCommittedAndShown()
{
    QFETCH(QStringList, changes);
    QFETCH(bool, restart);
    QFETCH(QString, reason);
    QFETCH(QString, difference);
    const qint64 draw = addStaff(12);
    QCOMPARE(draw, qint64(1));
    m_db->addAward(draw, 1, QStringLiteral("三等奖"), 2, 1, true, false);
    m_db->addAward(draw, 2, QStringLiteral("二等奖"), 3, 1, true, false);
    QString codeBefore;
    {
        DrawSession session;
        test::startDraw(session, draw);
        codeBefore = session.notaryCode();
        QVERIFY(session.beginRound());
        QCOMPARE(session.StopAndRecord(true, false).recorded, 1);
    }
    for (const QString &change : changes)
        QVERIFY(data::ExecuteSql(change));
    DrawSession session;
    const StartReport report = session.start(draw, restart ? Entry::Restart : Entry::Continue);
    QVERIFY2(report.problem.isEmpty(), qPrintable(report.problem));
    QVERIFY(report.committedNow);
    QVERIFY2(session.commitment()->reason.contains(reason), qPrintable(session.commitment()->reason));
    QCOMPARE(session.commitment()->number, 2);
    QVERIFY(!difference.isEmpty() || report.differences.isEmpty());
    if (!difference.isEmpty())
        QVERIFY2(report.differences.join(QLatin1Char('\n')).contains(difference),
            qPrintable(report.differences.join(QLatin1Char('\n'))));
    QVERIFY(session.codeOnShow());
    QVERIFY(session.notaryCode() != codeBefore);
    QVERIFY(session.needsHallNumbers()); // the hall speaks again for the new commitment
    QVERIFY(session.lockHallNumbers(QStringLiteral("55")));
    test::drawToTheEnd(session);
    QVERIFY(session.revealSeed());
    // Entering again changes nothing more: the database agrees with the record.
    {
        DrawSession again;
        const StartReport quiet = again.start(draw, Entry::Continue);
        QVERIFY(quiet.differences.isEmpty());
    }
    const QByteArray record = *ExportRecord(draw);
    const RecordCheck check = CheckRecord(record);
    QVERIFY2(check.passed(), qPrintable(check.problem));
    QVERIFY2(check.summary.join(QLatin1Char('\n')).contains(reason),
        qPrintable(check.summary.join(QLatin1Char('\n'))));
    for (const QString &line : check.summary)
        QVERIFY2(!line.contains(QLatin1Char('\n')), qPrintable(line));
    saveRecord(record, QStringLiteral("honest-") + QString::fromLatin1(QTest::currentDataTag()));
}

// Raising an award's count or size, or its order, by SQL while the screen
// is open changes nothing: the rounds follow the commitment.
void TestNotary::whatDecidesWinnersComesFromTheCommitment()
{
    const qint64 draw = addStaff(20);
    const qint64 first = m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    const qint64 second = m_db->addAward(draw, 2, QStringLiteral("二等奖"), 2, 2);
    DrawSession session;
    test::startDraw(session, draw);
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖项表 SET 数量=3, 同时=3 WHERE ID=?"), { first }));
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖项表 SET 顺序=0 WHERE ID=?"), { second }));
    QVERIFY(session.beginRound());
    const StopOutcome round = session.StopAndRecord(true, false);
    QCOMPARE(round.recorded, 1);
    QCOMPARE(data::ResultStore().countForAward(draw, first), qint64(1));
    QCOMPARE(session.WID(), QString::number(second));
    test::drawToTheEnd(session);
    QCOMPARE(data::ResultStore().countForAward(draw, second), qint64(2));
    QVERIFY(session.revealSeed());
    QVERIFY(CheckRecord(*ExportRecord(draw)).passed());
}

// A trigger that refuses a chosen winner's row stops the round with a
// message naming the person; nobody else is drawn in their place.
void TestNotary::aRefusedWinnerStopsTheRound()
{
    const qint64 draw = addStaff(30);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 3);
    DrawSession session;
    test::startDraw(session, draw);
    // Who the round draws, worked out as anyone can; then that person's row
    // is refused, as a trigger typed into the sqlite3 shell would.
    const std::optional<Commitment> &commitment = session.commitment();
    notary::DerivedStream stream(commitment->hallKey, commitment->awards.first().id, 1);
    EntrantPool copy = session.pool();
    const QString refused
        = copy.name(copy.pickInOrder(3, stream, commitment->awards.first().eligible).front());
    QVERIFY(
        data::ExecuteSql(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 结果表 WHEN NEW.姓名='%1' "
                                        "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                             .arg(refused)));
    for (int attempt = 0; attempt < 2; ++attempt) {
        QVERIFY(session.beginRound());
        const StopOutcome stop = session.StopAndRecord(true, false);
        QCOMPARE(stop.recorded, 0);
        QVERIFY2(stop.problem.contains(refused), qPrintable(stop.problem));
        QCOMPARE(data::ResultStore().countForDraw(draw), std::optional<qint64>(0));
    }
    QVERIFY(data::ExecuteSql(QStringLiteral("DROP TRIGGER refuse")));
    QVERIFY(session.beginRound());
    QCOMPARE(session.StopAndRecord(true, false).recorded, 3);
    QCOMPARE(data::ResultStore().forDraw(draw)->constFirst().name, refused);
    QVERIFY(session.revealSeed());
    QVERIFY(CheckRecord(*ExportRecord(draw)).passed());
}

// A commitment the database refuses (a trigger, a full disk) stops the
// entry: no round rolls from picks anyone could steer.
void TestNotary::noRoundWithoutAStoredCommitment()
{
    const qint64 draw = addStaff(10);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TRIGGER nocommit BEFORE INSERT ON 公证记录表 "
                                            "BEGIN SELECT RAISE(ABORT, 'no'); END")));
    DrawSession session;
    const StartReport report = session.start(draw);
    QVERIFY(report.problem.contains(QStringLiteral("公证承诺无法保存")));
    QVERIFY(!session.beginRound());
    QCOMPARE(session.StopAndRecord(true, false).recorded, 0);
    QCOMPARE(data::ResultStore().countForDraw(draw), std::optional<qint64>(0));
}

// An operator who reads the seed before the party cannot tell who wins: the
// winners follow the hall's numbers too.
void TestNotary::theSeedAloneDoesNotDecide()
{
    const qint64 draw = addStaff(500);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    DrawSession session;
    session.start(draw);
    const std::optional<Commitment> &commitment = session.commitment();
    QSet<qsizetype> winners;
    for (const QString &numbers :
        { QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3 1"), QStringLiteral("31") }) {
        notary::DerivedStream stream(
            notary::HallKey(commitment->seed, numbers), commitment->awards.first().id, 1);
        winners.insert(session.pool().pickInOrder(1, stream).front());
    }
    QVERIFY(winners.size() >= 3);
}

// A person listed twenty times for one sitting and taken off the list
// afterwards: the list file HR holds shows the first list was not theirs.
void TestNotary::everyCommittedListMeetsTheListFile()
{
    const qint64 draw = addStaff(10);
    for (int copy = 0; copy < 19; ++copy)
        m_db->addEntrant(draw, QStringLiteral("1003"), QStringLiteral("员工3"));
    m_db->addAward(draw, 1, QStringLiteral("三等奖"), 1, 1);
    m_db->addAward(draw, 2, QStringLiteral("一等奖"), 1, 1);
    {
        DrawSession session;
        test::startDraw(session, draw);
        QVERIFY(session.beginRound());
        QCOMPARE(session.StopAndRecord(true, false).recorded, 1);
    }
    QVERIFY(data::ExecuteSql(QStringLiteral("DELETE FROM 号码表 WHERE ID > 10")));
    {
        DrawSession session;
        test::startDraw(session, draw, Entry::Continue);
        test::drawToTheEnd(session);
        QVERIFY(session.revealSeed());
    }
    EntrantList hr;
    for (int i = 1; i <= 10; ++i)
        hr.append({ QString::number(1000 + i), QStringLiteral("员工%1").arg(i) });
    const QByteArray record = *ExportRecord(draw);
    QVERIFY(CheckRecord(record).passed());
    const RecordCheck withList = CheckRecord(record, hr);
    QCOMPARE(withList.check, 9);
    QVERIFY2(withList.problem.contains(QStringLiteral("第1次承诺"))
            && withList.problem.contains(QStringLiteral("1003 员工3×19")),
        qPrintable(withList.problem));
    // In the corpus with HR's list beside it: refused with it.
    QByteArray csv = "\xEF\xBB\xBF抽奖号码,姓名\r\n";
    for (const auto &[number, name] : hr)
        csv += (number + QLatin1Char(',') + name + QStringLiteral("\r\n")).toUtf8();
    saveRecord(record, QStringLiteral("dishonest-listed-twenty-times"), csv);
}

void TestNotary::deletingADrawDeletesItsRecord()
{
    const qint64 draw = addStaff(5);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    DrawSession session;
    test::startDraw(session, draw);
    QVERIFY(data::DrawStore().remove({ draw }));
    for (const char *table : { "公证种子表", "公证记录表", "公证名单表" })
        QCOMPARE(data::CountRows(
                     QString::fromUtf8(table), QStringLiteral("CID=%1").arg(draw), QStringLiteral("*")),
            qint64(0));
}

// Records version 1.12 wrote keep checking, and what was wrong with them
// before is refused now.
void TestNotary::olderRecordsStillCheck()
{
    const QDir folder(QStringLiteral(TOMBOLIX_TEST_DATA "/records"));
    const QStringList files = folder.entryList({ QStringLiteral("v1-*.json") });
    QVERIFY(!files.isEmpty());
    for (const QString &name : files) {
        const RecordCheck check = CheckRecord(test::readFile(folder.filePath(name)));
        QVERIFY2(check.passed() == name.startsWith(QLatin1String("v1-honest")),
            qPrintable(name + QStringLiteral("：") + check.problem));
        // 重新开始 that cleared the results is told, as under the new rule.
        if (name == QLatin1String("v1-honest-restart.json"))
            QVERIFY(check.summary.contains(QStringLiteral("　重新开始：此前的结果和撤销已清除")));
    }
}

namespace {

// The record as the rule's hashes chain it again after a change: a well-formed
// record, as a determined operator would make one.
QByteArray rechained(QJsonObject record)
{
    const bool v1 = record.value(QLatin1String("format")).toString() == QLatin1String(notary::RecordFormatV1);
    QJsonArray entries = record.value(QLatin1String("entries")).toArray();
    QString previous = notary::GenesisHash();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QJsonObject entry = entries.at(i).toObject();
        entry.insert(QStringLiteral("sequence"), i + 1);
        entry.insert(QStringLiteral("previous"), previous);
        const QString type = entry.value(QLatin1String("type")).toString();
        const QString time = entry.value(QLatin1String("time")).toString();
        if (v1) {
            const QJsonValue content = entry.value(QLatin1String("content"));
            const QString text
                = content.isObject() ? QString::fromUtf8(json::Canonical(content)) : content.toString();
            entry.insert(QStringLiteral("content"), text);
            previous = notary::v1::EntryHash(previous, i + 1, type, time, text);
        } else {
            previous = notary::EntryHash(
                previous, i + 1, type, time, json::Canonical(entry.value(QLatin1String("content"))));
        }
        entry.insert(QStringLiteral("hash"), previous);
        entries.replace(i, entry);
    }
    record.insert(QStringLiteral("entries"), entries);
    return v1 ? QJsonDocument(record).toJson() : json::Canonical(record) + '\n';
}

// The content of entry i, as an object, for either rule.
QJsonObject contentOf(const QJsonArray &entries, qsizetype i)
{
    const QJsonValue content = entries.at(i).toObject().value(QLatin1String("content"));
    return content.isObject()
        ? content.toObject()
        : json::ParseCanonicalObject(content.toString().toUtf8()).value_or(QJsonObject {});
}

void setContent(QJsonArray &entries, qsizetype i, const QJsonObject &content)
{
    QJsonObject entry = entries.at(i).toObject();
    entry.insert(QStringLiteral("content"), content);
    entries.replace(i, entry);
}

qsizetype indexOf(const QJsonArray &entries, const QString &type, int nth = 0)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).toObject().value(QLatin1String("type")).toString() == type && nth-- == 0)
            return i;
    }
    return -1;
}

// Changes one thing of the record the way the attack does.
QJsonObject attacked(QJsonObject record, const QString &attack)
{
    QJsonArray entries = record.value(QLatin1String("entries")).toArray();
    const bool v1 = record.value(QLatin1String("format")).toString() == QLatin1String(notary::RecordFormatV1);
    const QString commitType = v1 ? QStringLiteral("entered") : QStringLiteral("commit");
    const qsizetype commit = indexOf(entries, commitType);
    const qsizetype round = indexOf(entries, QStringLiteral("round"));
    const qsizetype withdrawal = indexOf(entries, QStringLiteral("withdrawal"));
    QJsonObject c;
    auto edit = [&](qsizetype i, const std::function<void(QJsonObject &)> &change) {
        QJsonObject content = contentOf(entries, i);
        change(content);
        setContent(entries, i, content);
    };
    auto winners = [](QJsonObject &content) { return content.value(QLatin1String("winners")).toArray(); };
    if (attack == QLatin1String("excluded-one-more")) {
        edit(commit, [](QJsonObject &content) {
            QJsonArray excluded = content.value(QLatin1String("excluded")).toArray();
            qint64 free = 1;
            while (excluded.contains(free))
                ++free;
            excluded.append(free);
            QList<qint64> sorted;
            for (const QJsonValue &each : excluded)
                sorted << each.toInteger();
            std::sort(sorted.begin(), sorted.end());
            QJsonArray again;
            for (qint64 each : sorted)
                again.append(each);
            content.insert(QStringLiteral("excluded"), again);
        });
    } else if (attack == QLatin1String("excluded-one-less")) {
        edit(indexOf(entries, commitType, 1), [](QJsonObject &content) {
            QJsonArray excluded = content.value(QLatin1String("excluded")).toArray();
            excluded.removeFirst();
            content.insert(QStringLiteral("excluded"), excluded);
        });
    } else if (attack == QLatin1String("round-larger-than-award")) {
        edit(round, [&](QJsonObject &content) {
            QJsonArray list = winners(content);
            QJsonObject extra = list.first().toObject();
            extra.insert(QStringLiteral("result"), 9999);
            list.append(extra);
            content.insert(QStringLiteral("winners"), list);
        });
    } else if (attack == QLatin1String("round-beyond-count")) {
        QJsonObject entry = entries.at(round).toObject();
        QJsonObject content = contentOf(entries, round);
        content.insert(QStringLiteral("round"), 99);
        entry.insert(QStringLiteral("content"), content);
        entries.insert(indexOf(entries, QStringLiteral("reveal")), entry);
    } else if (attack == QLatin1String("empty-round")) {
        edit(round, [](QJsonObject &content) { content.insert(QStringLiteral("winners"), QJsonArray()); });
    } else if (attack == QLatin1String("one-result-for-two-winners")) {
        edit(round, [&](QJsonObject &content) {
            QJsonArray list = winners(content);
            QJsonObject second = list.at(1).toObject();
            second.insert(QStringLiteral("result"), list.at(0).toObject().value(QLatin1String("result")));
            list.replace(1, second);
            content.insert(QStringLiteral("winners"), list);
        });
    } else if (attack == QLatin1String("repeated-results-row")) {
        QJsonArray results = record.value(QLatin1String("results")).toArray();
        results.insert(1, results.at(0));
        record.insert(QStringLiteral("results"), results);
    } else if (attack == QLatin1String("withdrawal-of-another-person")) {
        edit(withdrawal,
            [](QJsonObject &content) { content.insert(QStringLiteral("name"), QStringLiteral("别人")); });
    } else if (attack == QLatin1String("withdrawal-in-another-award")) {
        edit(withdrawal, [](QJsonObject &content) {
            content.insert(QStringLiteral("award"), content.value(QLatin1String("award")).toInteger() + 1);
        });
    } else if (attack == QLatin1String("withdrawal-before-any-commitment")) {
        entries.prepend(entries.at(withdrawal));
    } else if (attack == QLatin1String("round-after-the-seed-was-revealed")) {
        entries.append(entries.at(round));
    } else if (attack == QLatin1String("commitment-never-revealed")) {
        entries.removeAt(indexOf(entries, QStringLiteral("reveal"), 0) >= 0 ? entries.size() - 1 : -1);
    } else if (attack == QLatin1String("empty-record")) {
        entries = QJsonArray();
    } else if (attack == QLatin1String("junk-in-the-seed")) {
        edit(indexOf(entries, QStringLiteral("reveal")), [](QJsonObject &content) {
            QString seed = content.value(QLatin1String("seed")).toString();
            seed[5] = QLatin1Char('g');
            content.insert(QStringLiteral("seed"), seed);
        });
    } else if (attack == QLatin1String("another-seed-revealed")) {
        edit(indexOf(entries, QStringLiteral("reveal")), [](QJsonObject &content) {
            content.insert(QStringLiteral("seed"), QString(64, QLatin1Char('a')));
        });
    } else if (attack == QLatin1String("any-rule-name")) {
        record.insert(QStringLiteral("rule"), QStringLiteral("tombolix-draw-v9"));
    } else if (attack == QLatin1String("time-1970") || attack == QLatin1String("not-a-time")) {
        QJsonObject entry = entries.at(round).toObject();
        entry.insert(QStringLiteral("time"),
            attack == QLatin1String("time-1970") ? QStringLiteral("1970") : QStringLiteral("not a time"));
        entries.replace(round, entry);
    } else if (attack == QLatin1String("awards-drawn-out-of-order")) {
        edit(commit, [](QJsonObject &content) {
            QJsonArray awards = content.value(QLatin1String("awards")).toArray();
            const QJsonValue first = awards.takeAt(0);
            awards.append(first);
            content.insert(QStringLiteral("awards"), awards);
        });
    } else if (attack == QLatin1String("eligible-count-wrong")) {
        edit(round, [](QJsonObject &content) {
            content.insert(
                QStringLiteral("eligible"), content.value(QLatin1String("eligible")).toInteger() + 1);
        });
    } else if (attack == QLatin1String("another-winner")) {
        edit(round, [&](QJsonObject &content) {
            QJsonArray list = winners(content);
            QJsonObject first = list.at(0).toObject();
            const QJsonArray people = record.value(QLatin1String("lists"))
                                          .toArray()
                                          .at(0)
                                          .toObject()
                                          .value(QLatin1String("entrants"))
                                          .toArray();
            qint64 position = first.value(QLatin1String("position")).toInteger() % people.size() + 1;
            first.insert(QStringLiteral("position"), position);
            first.insert(QStringLiteral("number"), people.at(position - 1).toArray().at(0));
            first.insert(QStringLiteral("name"), people.at(position - 1).toArray().at(1));
            list.replace(0, first);
            content.insert(QStringLiteral("winners"), list);
        });
    } else if (attack == QLatin1String("hall-numbers-changed")) {
        edit(indexOf(entries, QStringLiteral("hall")),
            [](QJsonObject &content) { content.insert(QStringLiteral("numbers"), QStringLiteral("8")); });
    } else if (attack == QLatin1String("no-hall-numbers")) {
        entries.removeAt(indexOf(entries, QStringLiteral("hall")));
    } else if (attack == QLatin1String("hall-numbers-twice")) {
        entries.insert(
            indexOf(entries, QStringLiteral("hall")), entries.at(indexOf(entries, QStringLiteral("hall"))));
    } else if (attack == QLatin1String("number-as-text")) {
        edit(round,
            [](QJsonObject &content) { content.insert(QStringLiteral("round"), QStringLiteral("1")); });
    } else if (attack == QLatin1String("winner-without-result")) {
        edit(round, [&](QJsonObject &content) {
            QJsonArray list = winners(content);
            QJsonObject first = list.at(0).toObject();
            first.insert(QStringLiteral("result"), QJsonValue());
            list.replace(0, first);
            content.insert(QStringLiteral("winners"), list);
        });
    } else if (attack == QLatin1String("member-added")) {
        edit(
            round, [](QJsonObject &content) { content.insert(QStringLiteral("note"), QStringLiteral("x")); });
    } else if (attack == QLatin1String("another-draw")) {
        edit(commit, [](QJsonObject &content) { content.insert(QStringLiteral("draw"), 99); });
    } else if (attack == QLatin1String("list-changed")) {
        QJsonArray lists = record.value(QLatin1String("lists")).toArray();
        QJsonObject first = lists.at(0).toObject();
        QJsonArray people = first.value(QLatin1String("entrants")).toArray();
        people.replace(0, QJsonArray { people.at(0).toArray().at(0), QStringLiteral("换人") });
        first.insert(QStringLiteral("entrants"), people);
        lists.replace(0, first);
        record.insert(QStringLiteral("lists"), lists);
    } else if (attack == QLatin1String("result-altered") || attack == QLatin1String("result-missing")) {
        QJsonArray results = record.value(QLatin1String("results")).toArray();
        if (attack == QLatin1String("result-missing")) {
            results.removeLast();
        } else {
            QJsonObject first = results.at(0).toObject();
            first.insert(QStringLiteral("name"), QStringLiteral("别人"));
            results.replace(0, first);
        }
        record.insert(QStringLiteral("results"), results);
    } else if (attack == QLatin1String("first-commitment-cleared")) {
        edit(commit, [](QJsonObject &content) { content.insert(QStringLiteral("cleared"), true); });
    } else if (attack == QLatin1String("commitment-while-another-stands")) {
        entries.removeAt(indexOf(entries, QStringLiteral("reveal")));
    } else if (attack == QLatin1String("withdrawn-twice")) {
        entries.insert(withdrawal + 1, entries.at(withdrawal));
    } else if (attack == QLatin1String("a-list-no-one-used")) {
        QJsonArray lists = record.value(QLatin1String("lists")).toArray();
        lists.append(
            QJsonObject { { QStringLiteral("added"),
                              QJsonArray { QJsonArray { QStringLiteral("1"), QStringLiteral("x") } } },
                { QStringLiteral("changed"), QJsonArray() }, { QStringLiteral("removed"), QJsonArray() } });
        record.insert(QStringLiteral("lists"), lists);
    } else if (attack == QLatin1String("round-number-skipped")) {
        edit(round, [](QJsonObject &content) { content.insert(QStringLiteral("round"), 2); });
    } else if (attack == QLatin1String("award-open-to-fewer")) {
        edit(commit, [](QJsonObject &content) {
            QJsonArray awards = content.value(QLatin1String("awards")).toArray();
            QJsonObject first = awards.at(0).toObject();
            QJsonArray spans = first.value(QLatin1String("eligible")).toArray();
            QJsonArray span = spans.at(0).toArray();
            span.replace(0, span.at(0).toInteger() + 1);
            spans.replace(0, span);
            first.insert(QStringLiteral("eligible"), spans);
            awards.replace(0, first);
            content.insert(QStringLiteral("awards"), awards);
        });
    }
    Q_UNUSED(c)
    record.insert(QStringLiteral("entries"), entries);
    return record;
}

} // namespace

void TestNotary::dishonestRecordsAreRefused_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("attack");
    QTest::addColumn<int>("check");
    const QList<std::tuple<const char *, const char *, int>> attacks {
        { "held", "excluded-one-more", 5 },
        { "latecomer", "excluded-one-less", 5 },
        { "held", "round-larger-than-award", 6 },
        { "held", "round-beyond-count", 6 },
        { "held", "empty-round", 6 },
        { "held", "one-result-for-two-winners", 6 },
        { "held", "repeated-results-row", 1 },
        { "held", "withdrawal-of-another-person", 7 },
        { "held", "withdrawal-in-another-award", 7 },
        { "held", "withdrawal-before-any-commitment", 3 },
        { "held", "round-after-the-seed-was-revealed", 3 },
        { "held", "commitment-never-revealed", 4 },
        { "held", "empty-record", 3 },
        { "held", "junk-in-the-seed", 1 },
        { "held", "another-seed-revealed", 4 },
        { "held", "any-rule-name", 1 },
        { "held", "time-1970", 1 },
        { "held", "not-a-time", 1 },
        { "held", "awards-drawn-out-of-order", 6 },
        { "held", "eligible-count-wrong", 6 },
        { "held", "another-winner", 6 },
        { "held", "hall-numbers-changed", 6 },
        { "held", "no-hall-numbers", 3 },
        { "held", "hall-numbers-twice", 3 },
        { "held", "number-as-text", 1 },
        { "held", "winner-without-result", 1 },
        { "held", "member-added", 1 },
        { "held", "another-draw", 5 },
        { "held", "list-changed", 5 },
        { "held", "result-altered", 8 },
        { "held", "result-missing", 8 },
        { "held", "first-commitment-cleared", 5 },
        { "latecomer", "commitment-while-another-stands", 3 },
        { "held", "withdrawn-twice", 7 },
        { "held", "a-list-no-one-used", 5 },
        { "held", "round-number-skipped", 6 },
        { "held", "award-open-to-fewer", 5 },
        { "v1-honest-withdrawn-and-continued", "excluded-one-more", 5 },
        { "v1-honest-withdrawn-and-continued", "round-larger-than-award", 6 },
        { "v1-honest-withdrawn-and-continued", "withdrawal-before-any-commitment", 3 },
        { "v1-honest-withdrawn-and-continued", "withdrawal-of-another-person", 7 },
        { "v1-honest-withdrawn-and-continued", "commitment-never-revealed", 4 },
        { "v1-honest-withdrawn-and-continued", "empty-round", 6 },
        { "v1-honest-withdrawn-and-continued", "time-1970", 1 },
        { "v1-honest-withdrawn-and-continued", "repeated-results-row", 1 },
        { "v1-honest-latecomer", "excluded-one-less", 5 },
    };
    for (const auto &[base, attack, check] : attacks)
        QTest::addRow("%s: %s", base, attack)
            << QString::fromLatin1(base) << QString::fromLatin1(attack) << check;
}

void TestNotary::dishonestRecordsAreRefused()
{
    QFETCH(QString, base);
    QFETCH(QString, attack);
    QFETCH(int, check);
    QByteArray honest;
    if (base.startsWith(QLatin1String("v1-"))) {
        honest = test::readFile(QStringLiteral(TOMBOLIX_TEST_DATA "/records/%1.json").arg(base));
    } else {
        // Three awards, a withdrawal and its redraw; or a latecomer added
        // between two sittings.
        const qint64 draw = addStaff(12);
        m_db->addAward(draw, 1, QStringLiteral("三等奖"), 3, 2, true, false);
        m_db->addAward(draw, 2, QStringLiteral("二等奖"), 2, 1, true, false);
        {
            DrawSession session;
            test::startDraw(session, draw, Entry::Afresh, QStringLiteral("3 14 159"));
            QVERIFY(session.beginRound());
            QCOMPARE(session.StopAndRecord(true, false).recorded, 2);
            const QList<data::ResultRecord> stored = *data::ResultStore().forDraw(draw);
            if (base == QLatin1String("held"))
                session.WithdrawResults(
                    { { stored.at(0).id, stored.at(0).number, stored.at(0).name } }, true, false);
            else
                QVERIFY(data::ExecuteSql(
                    QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (?, '2001', '迟到者')"),
                    { draw }));
        }
        DrawSession session;
        test::startDraw(session, draw, Entry::Continue, QStringLiteral("27"));
        test::drawToTheEnd(session);
        QVERIFY(session.revealSeed());
        honest = *ExportRecord(draw);
    }
    QVERIFY(CheckRecord(honest).passed());
    const QJsonObject record = QJsonDocument::fromJson(honest).object();
    const QByteArray dishonest = rechained(attacked(record, attack));
    QVERIFY2(dishonest != honest, "the attack changed nothing");
    const RecordCheck refused = CheckRecord(dishonest);
    QVERIFY2(!refused.passed(), qPrintable(attack));
    QVERIFY2(refused.check == check,
        qPrintable(QStringLiteral("check %1: %2").arg(refused.check).arg(refused.problem)));
    saveRecord(dishonest,
        QStringLiteral("%1dishonest-%2")
            .arg(base.startsWith(QLatin1String("v1-")) ? QStringLiteral("v1-") : QString(), attack));
}

// The figures docs/verifiable-draw.md publishes; tests/notary/verify_document.py
// reproduces them from the document alone.
void TestNotary::testVectors()
{
    QByteArray seed;
    for (int i = 0; i < 32; ++i)
        seed.append(char(i));
    QCOMPARE(notary::Commitment(seed),
        QStringLiteral("630dcd2966c4336691125448bbb25b4ff412a49c732db2c8abc1b8581bd710dd"));
    QByteArray enc;
    notary::AppendEnc(enc, QStringView(u"张三"));
    QCOMPARE(enc.toHex(' '), QByteArray("36 3a e5 bc a0 e4 b8 89"));
    notary::ListFingerprint three;
    three.add(u"1001", u"张三");
    three.add(u"1002", u"李四");
    three.add(u"1003", u"王五");
    notary::ListFingerprint one;
    one.add(u"1001", u"张三\n2\t1002\t李四");
    notary::ListFingerprint two;
    two.add(u"1001", u"张三");
    two.add(u"1002", u"李四");
    notary::v1::Fingerprint oneV1;
    oneV1.add(u"1001", u"张三\n2\t1002\t李四");
    notary::v1::Fingerprint twoV1;
    twoV1.add(u"1001", u"张三");
    twoV1.add(u"1002", u"李四");
    QCOMPARE(oneV1.result(), twoV1.result()); // the fault rule v2 mends
    const QString trickOne = one.result();
    const QString trickTwo = two.result();
    QVERIFY(trickOne != trickTwo);
    // A name longer than the fingerprint's buffer hashes as enc says too.
    const QString longName(30000, QChar(0x5F20));
    notary::ListFingerprint withLongName;
    withLongName.add(u"1001", longName);
    withLongName.add(u"1002", u"李四");
    QByteArray encoded;
    notary::AppendEnc(encoded, QByteArrayView("tombolix-list-v2"));
    for (QStringView text :
        { QStringView(u"1001"), QStringView(longName), QStringView(u"1002"), QStringView(u"李四") })
        notary::AppendEnc(encoded, text);
    QCOMPARE(withLongName.result(), notary::Hex(notary::Sha256(encoded)));
    const QByteArray hallKey = notary::HallKey(seed, QStringLiteral("3 14 159"));
    notary::DerivedStream stream(hallKey, 1, 1);
    const quint64 first = stream.next();
    EntrantPool pool;
    for (int i = 1; i <= 3; ++i)
        pool.append(i, QString::number(1000 + i), QString());
    notary::DerivedStream roundStream(hallKey, 1, 1);
    const std::vector<qsizetype> picks = pool.pickInOrder(2, roundStream);
    const QByteArray canonical
        = json::Canonical(QJsonObject { { QStringLiteral("b"), QJsonArray { 1, true, QJsonValue() } },
            { QStringLiteral("a"), QStringLiteral("\u0001\"é\n") } });
    QCOMPARE(
        three.result(), QStringLiteral("078a35616de1543c72cf4981bd30613a2198f4489fcc6a72db1442150a3e6e93"));
    QCOMPARE(trickOne, QStringLiteral("42196a0112256d4e8c545b74849167e6325fae05bf83c48fc66db45c209e4fe0"));
    QCOMPARE(trickTwo, QStringLiteral("d35f5404561f40b19cf73741c8283b81997fb2aab7be6aa10020ec27ca9c1383"));
    QCOMPARE(hallKey.toHex(), QByteArray("6e33c77256715b700dabe7938a729c96e0de8d77ddbfee449e1500a8bde81b92"));
    QCOMPARE(first, quint64(6358510860501863063ULL));
    QCOMPARE(picks, (std::vector<qsizetype> { 3, 1 }));
    QCOMPARE(canonical, QByteArray("{\"a\":\"\\u0001\\\"\xc3\xa9\\n\",\"b\":[1,true,null]}"));
    QCOMPARE(canonical.size(), 38);
    const QByteArray revealContent = "{\"seed\":\"" + seed.toHex() + "\"}";
    QCOMPARE(
        notary::EntryHash(notary::GenesisHash(), 1, u"reveal", u"2026-12-09T19:30:02+08:00", revealContent),
        QStringLiteral("b74738de6e0f54c47cedbfb8bd6bb73428abb72edef36a2bdf7ad0ac9104c2e0"));

    // Appendix A: the older rule's hashes.
    notary::v1::Fingerprint threeV1;
    threeV1.add(u"1001", u"张三");
    threeV1.add(u"1002", u"李四");
    threeV1.add(u"1003", u"王五");
    const QString fingerprintV1 = threeV1.result();
    QCOMPARE(
        fingerprintV1, QStringLiteral("f3237defde26172f07b92d025d09e2239081a9ab73bb5595fca8b1e1f31c61a4"));
    const QString digest = notary::v1::AwardsDigest(
        { { 1, 1, QStringLiteral("一等奖"), QStringLiteral("电视"), 1, 1, false } });
    QCOMPARE(digest, QStringLiteral("f045239b62efdfab3867862eb199e330d4c938d5311b1b2ef5ee56f9bc7c6e73"));
    QCOMPARE(notary::v1::NotaryCode(notary::Commitment(seed), fingerprintV1, digest),
        QStringLiteral("63BEE46C45F9C92E"));
    notary::DerivedStream v1Stream = notary::DerivedStream::v1(seed, 1, 1);
    QCOMPARE(notary::v1::EntryHash(notary::GenesisHash(), 1, QStringLiteral("reveal"),
                 QStringLiteral("2026-12-09T19:30:02"), QString::fromLatin1(revealContent)),
        QStringLiteral("7693829cde3d6f9f96d7c2dd85b61435c3c2f3fee375ec424915560e3f8d242b"));
    QCOMPARE(v1Stream.next(), quint64(17140080388182672802ULL));
    notary::DerivedStream v1Round = notary::DerivedStream::v1(seed, 1, 1);
    QCOMPARE(pool.pickInOrder(2, v1Round), (std::vector<qsizetype> { 2, 1 }));
}

// docs/verifiable-draw.md carries a whole record and what the checker prints
// for it. TOMBOLIX_EXAMPLE_OUT makes a new one (a draw of five entrants, one
// without a number, two awards, the hall's numbers, a withdrawal, a latecomer
// between two sittings); otherwise the one in docs/ is checked against the
// document's text.
// The document's vectors for who may win: dates as people and spreadsheets
// write them, numbers, and the words of a range.
void TestNotary::rangesReadAsTheDocumentSays_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("date"); // as YYYY-MM-DD, empty for none
    QTest::addColumn<QString>("number"); // normal form, empty for none
    const QString none;
    for (const char *same : { "45662", "45662.99", "2025-01-05", "2025/1/5", "2025.01.05", "2025年1月5日",
             "2025-1-5T09:30:00", " 2025/1/5 9:30 " })
        QTest::newRow(same) << QString::fromUtf8(same) << QStringLiteral("2025-01-05")
                            << NormalNumber(QString::fromUtf8(same)).value_or(QString());
    for (const char *no : { "9999", "2025", "73051", "202501", "12345678", "2025-02-29", "1899-12-31",
             "2025/1-5", "2025-01-05 24:00", "2025-01-05 9:5", "2025年1月5", "", "5 Jan 2025" })
        QTest::newRow(no) << QString::fromUtf8(no) << none
                          << NormalNumber(QString::fromUtf8(no)).value_or(none);
    QTest::newRow("leap day") << QStringLiteral("2000-02-29") << QStringLiteral("2000-02-29") << none;
    QTest::newRow("first serial") << QStringLiteral("10000") << QStringLiteral("1927-05-18")
                                  << QStringLiteral("10000");
    QTest::newRow("last serial") << QStringLiteral("0073050") << QStringLiteral("2099-12-31")
                                 << QStringLiteral("73050");
    QTest::newRow("+007.50") << QStringLiteral("+007.50") << none << QStringLiteral("7.5");
    QTest::newRow("-0.0") << QStringLiteral("-0.0") << none << QStringLiteral("0");
    for (const char *no : { "1e3", "1,000", ".5", "5." })
        QTest::newRow(no) << QString::fromUtf8(no) << none << none;
}

void TestNotary::rangesReadAsTheDocumentSays()
{
    QFETCH(QString, text);
    QFETCH(QString, date);
    QFETCH(QString, number);
    const std::optional<QDate> read = ReadDate(text);
    QCOMPARE(read ? read->toString(QStringLiteral("yyyy-MM-dd")) : QString(), date);
    QCOMPARE(NormalNumber(text).value_or(QString()), number);
    if (QTest::currentDataTag() == QByteArray("45662")) {
        QVERIFY(CompareNumbers(QStringLiteral("10"), QStringLiteral("9.99")) > 0);
        const AwardRange range {
            { { QStringLiteral("类别"), ConditionKind::OneOf, { QStringLiteral("员工") } },
                { QStringLiteral("入职日期"), ConditionKind::OnOrBefore, { QStringLiteral("2025-12-09") } } },
            { QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3") }
        };
        QCOMPARE(RangeWords(range),
            QStringLiteral("仅限 类别=员工，入职日期≤2025-12-09，不参与名单 3 个号码除外"));
    }
}

namespace {
// Sixty entrants: 1001-1040 staff, 1041-1060 guests, joined at one date a
// week apart, written the ways HR's files write dates.
struct RangedDraw
{
    qint64 draw = 0;
    qint64 first = 0, third = 0;
    QList<qint64> ids;
    QByteArray csv;
};

QList<QStringList> csvRows(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    transfer::CsvLines lines(text);
    QList<QStringList> rows;
    while (const std::optional<QStringList> record = transfer::NextCsvRecord(lines, nullptr))
        rows.append(*record);
    return rows;
}

RangedDraw makeRangedDraw(test::TestDatabase &db)
{
    RangedDraw made;
    made.draw = db.addDraw(QStringLiteral("年会"));
    const QList<int> places = *data::AttributeStore().placesOf(
        made.draw, { QStringLiteral("部门"), QStringLiteral("入职日期"), QStringLiteral("类别") });
    Q_UNUSED(places);
    QString csv = QStringLiteral("抽奖号码,姓名,部门,入职日期,类别\r\n");
    const QDate start(2024, 1, 1);
    for (int i = 1; i <= 60; ++i) {
        const QString number = QString::number(1000 + i);
        const QString name = QStringLiteral("人员%1").arg(i);
        const QDate joined = start.addDays(7 * i);
        const QString written = i % 3 == 0 ? QString::number(QDate(1899, 12, 30).daysTo(joined))
            : i % 3 == 1                   ? joined.toString(QStringLiteral("yyyy/M/d"))
                                           : joined.toString(QStringLiteral("yyyy年M月d日"));
        const QString kind = i <= 40 ? QStringLiteral("员工") : QStringLiteral("来宾");
        const QString department = i % 2 ? QStringLiteral("销售部") : QStringLiteral("市场部 ");
        const qint64 id = db.addEntrant(made.draw, number, name);
        made.ids << id;
        if (!data::AttributeStore().save(id, { department, written, kind }))
            qWarning("attributes not stored");
        csv += QStringLiteral("%1,%2,%3,%4,%5\r\n").arg(number, name, department, written, kind);
    }
    made.csv = "\xEF\xBB\xBF" + csv.toUtf8();
    made.first = db.addAward(made.draw, 1, QStringLiteral("一等奖"), 3, 1);
    made.third = db.addAward(made.draw, 2, QStringLiteral("三等奖"), 10, 5);
    // 一等奖 for staff who joined by the end of June 2024 (1001-1025);
    // 三等奖 for everyone but the organisers 1001-1005, and 9999 who is not in the draw.
    const AwardRange staff {
        { { QStringLiteral("类别"), ConditionKind::OneOf, { QStringLiteral("员工") } },
            { QStringLiteral("入职日期"), ConditionKind::OnOrBefore, { QStringLiteral("2024/6/30") } } },
        {}
    };
    if (!data::RangeStore().saveAward(made.draw, made.first, staff)
        || !data::RangeStore().saveAward(made.draw, made.third,
            AwardRange { {},
                { QStringLiteral("1003"), QStringLiteral("1004"), QStringLiteral("1005"),
                    QStringLiteral("9999") } })
        || !data::RangeStore().saveDrawExclusions(
            made.draw, { QStringLiteral("1001"), QStringLiteral("1002") }))
        qWarning("ranges not stored");
    return made;
}

QJsonObject awardOf(const QJsonObject &commit, int i)
{
    return commit.value(QLatin1String("awards")).toArray().at(i).toObject();
}
} // namespace

// A draw whose awards only some may win: every winner comes from the
// award's set, the record states the ranges and checks, alone and with
// HR's file; a range widened or worded otherwise, or a file that gives
// other people the attribute, is refused.
void TestNotary::aRangedDrawChecksWithItsListFile()
{
    const RangedDraw made = makeRangedDraw(*m_db);
    {
        DrawSession session;
        test::startDraw(session, made.draw);
        QCOMPARE(session.commitment()->award(made.first)->range,
            QStringLiteral("仅限 类别=员工，入职日期≤2024-06-30，不参与名单 2 个号码除外"));
        QVERIFY(session.beginRound());
        QCOMPARE(session.StopAndRecord(true, false).recorded, 1);
    }
    // An entrant's attribute changed between sittings: the award's set
    // changes, so the draw is committed to afresh and says why.
    const qint64 late = made.ids.at(49);
    QVERIFY(data::AttributeStore().save(
        late, { QStringLiteral("销售部"), QStringLiteral("2024-01-02"), QStringLiteral("员工") }));
    {
        DrawSession session;
        const StartReport report = test::startDraw(session, made.draw, Entry::Continue);
        QVERIFY(report.committedNow);
        QVERIFY2(session.commitment()->reason.contains(QStringLiteral("人员属性已改动")),
            qPrintable(session.commitment()->reason));
        test::drawToTheEnd(session);
        QVERIFY(session.revealSeed());
    }
    QString csv = QString::fromUtf8(made.csv);
    csv.replace(QStringLiteral("1050,人员50,市场部 ,2024年12月16日,来宾"),
        QStringLiteral("1050,人员50,市场部 ,2024-01-02,员工"));
    const QByteArray changedRecord = *ExportRecord(made.draw);
    QVERIFY(CheckRecord(changedRecord).passed());
    // Against any one of HR's files it fails, by design, naming the
    // commitment and the person: the file before the change, and after it.
    const RecordCheck before = CheckRecord(changedRecord, ListFileOfRows(csvRows(made.csv)));
    const RecordCheck after = CheckRecord(changedRecord, ListFileOfRows(csvRows(csv.toUtf8())));
    QCOMPARE(before.check, 10);
    QCOMPARE(after.check, 10);
    QVERIFY2(before.problem.contains(QStringLiteral("第2次承诺"))
            && before.problem.contains(QStringLiteral("1050 人员50")),
        qPrintable(before.problem));
    QVERIFY2(after.problem.contains(QStringLiteral("第1次承诺")), qPrintable(after.problem));
    saveRecord(
        changedRecord, QStringLiteral("dishonest-a-guest-made-staff-after-the-list-was-given"), made.csv);

    // The same draw held in one sitting.
    const RangedDraw held = makeRangedDraw(*m_db);
    {
        DrawSession session;
        test::startDraw(session, held.draw);
        test::drawToTheEnd(session);
        QVERIFY(session.revealSeed());
    }
    const QByteArray honestCsv = held.csv;
    const QList<data::ResultRecord> results = *data::ResultStore().forDraw(held.draw);
    QCOMPARE(results.size(), 13);
    for (const data::ResultRecord &won : results) {
        const int i = won.number.toInt() - 1000;
        QVERIFY2(i > 2, qPrintable(won.number)); // the draw's own list
        QVERIFY2(won.awardId == held.first ? i <= 25 : i > 5, qPrintable(won.number));
    }
    const QByteArray record = *ExportRecord(held.draw);
    const ListFile file = ListFileOfRows(csvRows(honestCsv));
    const RecordCheck check = CheckRecord(record, file);
    QVERIFY2(check.passed(), qPrintable(check.problem));
    const QString summary = check.summary.join(QLatin1Char('\n'));
    QVERIFY2(summary.contains(QStringLiteral(
                 "范围：仅限 类别=员工，入职日期≤2024-06-30，不参与名单 2 个号码除外（可中奖 23 人）"))
            && summary.contains(QStringLiteral("范围：不参与名单 6 个号码除外"))
            && summary.contains(QStringLiteral("按范围算出的一致")),
        qPrintable(summary));
    saveRecord(record, QStringLiteral("honest-awards-only-some-may-win"), honestCsv);
    // A file without the column cannot tell.
    QByteArray noColumn = honestCsv;
    noColumn.replace("入职日期", "入职");
    QCOMPARE(CheckRecord(record, ListFileOfRows(csvRows(noColumn))).check, 10);

    QJsonObject parsed = QJsonDocument::fromJson(record).object();
    const QJsonArray entries = parsed.value(QLatin1String("entries")).toArray();
    const qsizetype commitAt = indexOf(entries, QStringLiteral("commit"));
    const struct
    {
        const char *name;
        int check; // without the file, with it
        int withFile;
        std::function<void(QJsonObject &first, QJsonObject &third)> attack;
    } attacks[] = {
        // The rounds drawn under it no longer follow: refused with or without the file.
        { "a guest let into the staff award", 6, 6,
            [](QJsonObject &first, QJsonObject &) {
                first.insert(
                    QStringLiteral("eligible"), QJsonArray { QJsonArray { 3, 25 }, QJsonArray { 45, 45 } });
            } },
        { "an organiser let into an award that leaves them out", 5, 5,
            [](QJsonObject &, QJsonObject &third) {
                third.insert(QStringLiteral("eligible"), QJsonArray { QJsonArray { 1, 60 } });
            } },
        { "a range worded otherwise", 5, 5,
            [](QJsonObject &first, QJsonObject &) {
                first.insert(QStringLiteral("range"), QStringLiteral("仅限 类别=员工"));
            } },
        { "a range whose words drop the date", 5, 5,
            [](QJsonObject &first, QJsonObject &) {
                QJsonArray conditions = first.value(QLatin1String("conditions")).toArray();
                conditions.removeLast();
                first.insert(QStringLiteral("conditions"), conditions);
            } },
        { "a condition not in its one form", 1, 1,
            [](QJsonObject &first, QJsonObject &) {
                QJsonArray conditions = first.value(QLatin1String("conditions")).toArray();
                QJsonObject date = conditions.last().toObject();
                date.insert(QStringLiteral("values"), QJsonArray { QStringLiteral("2024/6/30") });
                conditions.replace(conditions.size() - 1, date);
                first.insert(QStringLiteral("conditions"), conditions);
            } },
        { "the exclusion list emptied", 5, 5,
            [](QJsonObject &, QJsonObject &third) {
                third.insert(QStringLiteral("excludedNumbers"), QJsonArray {});
            } },
    };
    for (const auto &attack : attacks) {
        QJsonArray changed = entries;
        QJsonObject content = contentOf(changed, commitAt);
        QJsonArray awards = content.value(QLatin1String("awards")).toArray();
        QJsonObject first = awardOf(content, 0), third = awardOf(content, 1);
        attack.attack(first, third);
        awards.replace(0, first);
        awards.replace(1, third);
        content.insert(QStringLiteral("awards"), awards);
        setContent(changed, commitAt, content);
        QJsonObject forged = parsed;
        forged.insert(QStringLiteral("entries"), changed);
        const QByteArray bytes = rechained(forged);
        const RecordCheck alone = CheckRecord(bytes);
        const RecordCheck withFile = CheckRecord(bytes, file);
        QVERIFY2(attack.check == 0 ? alone.passed() : alone.check == attack.check,
            qPrintable(QStringLiteral("%1: %2 %3")
                           .arg(QString::fromUtf8(attack.name))
                           .arg(alone.check)
                           .arg(alone.problem)));
        QVERIFY2(withFile.check == attack.withFile,
            qPrintable(QStringLiteral("%1: %2 %3")
                           .arg(QString::fromUtf8(attack.name))
                           .arg(withFile.check)
                           .arg(withFile.problem)));
        saveRecord(bytes, QStringLiteral("dishonest-") + QString::fromUtf8(attack.name), honestCsv);
    }
}

// Chi-square over many rounds: every member of an award's own set is
// equally likely, nobody outside it ever wins.
void TestNotary::eachAwardIsUniformOverItsOwnSet()
{
    const RangedDraw made = makeRangedDraw(*m_db);
    EntrantPool pool;
    LoadEntrantPool(pool, made.draw);
    const std::optional<QList<record::CommittedAward>> awards = CurrentAwards(made.draw, pool);
    QVERIFY(awards && awards->size() == 2);
    PositionSet everyone;
    everyone.assign(pool.size(), true);
    for (const record::CommittedAward &award : *awards) {
        const qsizetype members = everyone.countIn(award.eligible);
        QCOMPARE(members, award.id == made.first ? qsizetype(23) : qsizetype(55));
        QHash<qsizetype, int> won;
        const int rounds = 200 * int(members);
        for (int round = 1; round <= rounds; ++round) {
            notary::DerivedStream stream(
                QByteArray(32, char(round % 251)) + QByteArray::number(round), award.id, round);
            for (qsizetype p : DrawRound(everyone, award.eligible, 1, stream, nullptr)) {
                won[p] += 1;
                everyone.insert(p);
            }
        }
        QCOMPARE(qsizetype(won.size()), members);
        double chi = 0;
        for (int count : won)
            chi += (count - 200.0) * (count - 200.0) / 200.0;
        // The 99.9th percentile of chi-square with 22 and 54 degrees of freedom.
        QVERIFY2(chi < (members == 23 ? 48.3 : 90.6), qPrintable(QString::number(chi)));
    }
}

// The document's vectors for an award's set written as bits: one form of a
// set only, nothing beyond the list.
void TestNotary::bitmapsReadAsTheDocumentSays_data()
{
    QTest::addColumn<int>("entrants");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("spans"); // "refused" when the form is not one
    const QString set = QStringLiteral("1-1,3-5,9-9");
    const QString refused = QStringLiteral("refused");
    QTest::newRow("ten") << 10 << QStringLiteral("HQE=") << set;
    QTest::newRow("nine") << 9 << QStringLiteral("HQE=") << set;
    QTest::newRow("sixteen") << 16 << QStringLiteral("HQE=") << set;
    QTest::newRow("none of none") << 0 << QString() << QString();
    QTest::newRow("beyond the list") << 9 << QStringLiteral("HQM=") << refused;
    QTest::newRow("unused bits") << 9 << QStringLiteral("HQF=") << refused;
    QTest::newRow("no padding") << 9 << QStringLiteral("HQE") << refused;
    QTest::newRow("twice") << 9 << QStringLiteral("HQE=HQE=") << refused;
    QTest::newRow("a space") << 9 << QStringLiteral("HQ E=") << refused;
    QTest::newRow("three bytes") << 9 << QStringLiteral("HQEA") << refused;
    QTest::newRow("three bytes of sixteen") << 16 << QStringLiteral("HQEA") << refused;
    QTest::newRow("url alphabet") << 12 << QStringLiteral("_w8=") << refused;
}

void TestNotary::bitmapsReadAsTheDocumentSays()
{
    QFETCH(int, entrants);
    QFETCH(QString, text);
    QFETCH(QString, spans);
    const std::optional<Ranges> read = record::EligibleOf(QJsonValue(text), entrants);
    QStringList shown;
    for (const auto &[first, last] : read ? read->spans : std::vector<std::pair<qsizetype, qsizetype>>())
        shown << QStringLiteral("%1-%2").arg(first).arg(last);
    QCOMPARE(read ? shown.join(QLatin1Char(',')) : QStringLiteral("refused"), spans);
    if (read)
        QCOMPARE(record::EligibleOf(record::EligibleValue(*read, entrants), entrants), read);
}

// Staff and guests alternate over 3,000 people: the staff award's set is in
// 1,500 pieces and goes into the record as bits; it checks alone and with
// HR's file, and a guest's bit set afterwards is refused.
void TestNotary::aSetInManyPiecesIsWrittenAsBits()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    QVERIFY(data::AttributeStore().placesOf(draw, { QStringLiteral("类别") }));
    QString csv = QStringLiteral("抽奖号码,姓名,类别\r\n");
    {
        data::Transaction transaction;
        for (int i = 1; i <= 3000; ++i) {
            const QString kind = i % 2 ? QStringLiteral("员工") : QStringLiteral("来宾");
            const qint64 id
                = m_db->addEntrant(draw, QString::number(10000 + i), QStringLiteral("人员%1").arg(i));
            QVERIFY(data::AttributeStore().save(id, { kind }));
            csv += QStringLiteral("%1,人员%2,%3\r\n").arg(10000 + i).arg(i).arg(kind);
        }
        QVERIFY(transaction.commit());
    }
    const qint64 award = m_db->addAward(draw, 1, QStringLiteral("一等奖"), 20, 5);
    QVERIFY(data::RangeStore().saveAward(draw, award,
        AwardRange { { { QStringLiteral("类别"), ConditionKind::OneOf, { QStringLiteral("员工") } } }, {} }));
    {
        DrawSession session;
        test::startDraw(session, draw);
        test::drawToTheEnd(session);
        QVERIFY(session.revealSeed());
    }
    const QByteArray record = *ExportRecord(draw);
    const QJsonObject parsed = QJsonDocument::fromJson(record).object();
    QJsonArray entries = parsed.value(QLatin1String("entries")).toArray();
    QJsonObject commit = contentOf(entries, 0);
    const QJsonValue bits = awardOf(commit, 0).value(QLatin1String("eligible"));
    QVERIFY(bits.isString());
    QCOMPARE(bits.toString().size(), 500);
    const ListFile list = ListFileOfRows(csvRows(csv.toUtf8()));
    QVERIFY(CheckRecord(record).passed());
    const RecordCheck withFile = CheckRecord(record, list);
    QVERIFY2(withFile.passed(), qPrintable(withFile.problem));
    QVERIFY2(withFile.summary.join(QLatin1Char(10)).contains(QStringLiteral("可中奖 1500 人")),
        qPrintable(withFile.summary.join(QLatin1Char(10))));
    saveRecord(record, QStringLiteral("honest-a-set-in-many-pieces"), csv.toUtf8());

    QByteArray widened = QByteArray::fromBase64(bits.toString().toLatin1());
    widened[0] = char(quint8(widened[0]) | 0x02); // position 2, a guest
    QJsonArray awards = commit.value(QLatin1String("awards")).toArray();
    QJsonObject first = awards.at(0).toObject();
    first.insert(QStringLiteral("eligible"), QString::fromLatin1(widened.toBase64()));
    awards.replace(0, first);
    commit.insert(QStringLiteral("awards"), awards);
    setContent(entries, 0, commit);
    QJsonObject forged = parsed;
    forged.insert(QStringLiteral("entries"), entries);
    const QByteArray guest = rechained(forged);
    // The rounds drawn under the set no longer follow.
    QCOMPARE(CheckRecord(guest).check, 6);
    QCOMPARE(CheckRecord(guest, list).check, 6);
    saveRecord(guest, QStringLiteral("dishonest-a-guest-among-the-bits"), csv.toUtf8());
}

void TestNotary::theDocumentsExampleChecksAsItSays()
{
    const QString out = qEnvironmentVariable("TOMBOLIX_EXAMPLE_OUT");
    if (!out.isEmpty()) {
        const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
        const QStringList people { QStringLiteral("1001|张三"), QStringLiteral("1002|李四"),
            QStringLiteral("|王五"), QStringLiteral("1004|赵六"), QStringLiteral("1005|钱七") };
        for (const QString &person : people)
            m_db->addEntrant(
                draw, person.section(QLatin1Char('|'), 0, 0), person.section(QLatin1Char('|'), 1));
        m_db->addAward(draw, 1, QStringLiteral("二等奖"), 2, 2, true, false, QStringLiteral("耳机"));
        m_db->addAward(draw, 2, QStringLiteral("一等奖"), 1, 1, true, false, QStringLiteral("电视"));
        {
            DrawSession session;
            test::startDraw(session, draw, Entry::Afresh, QStringLiteral("3 14 159"));
            QVERIFY(session.beginRound());
            QCOMPARE(session.StopAndRecord(true, false).recorded, 2);
            const QList<data::ResultRecord> stored = *data::ResultStore().forDraw(draw);
            QCOMPARE(session
                         .WithdrawResults(
                             { { stored.at(0).id, stored.at(0).number, stored.at(0).name } }, true, false)
                         .deleted,
                1);
        }
        m_db->addEntrant(draw, QStringLiteral("1006"), QStringLiteral("孙八"));
        DrawSession session;
        test::startDraw(session, draw, Entry::Continue, QStringLiteral("2 7"));
        test::drawToTheEnd(session);
        QVERIFY(session.revealSeed());
        QVERIFY(test::writeFile(out, *ExportRecord(draw)));
        return;
    }
    const QByteArray record
        = test::readFile(QStringLiteral(TOMBOLIX_TEST_DATA "/../../docs/verifiable-draw-example.json"));
    const RecordCheck check = CheckRecord(record);
    QVERIFY2(check.passed(), qPrintable(check.problem));
    const QString document = QString::fromUtf8(
        test::readFile(QStringLiteral(TOMBOLIX_TEST_DATA "/../../docs/verifiable-draw.md")));
    const QString printed = QStringLiteral("验证通过\n") + check.summary.join(QLatin1Char('\n'));
    QVERIFY2(
        document.contains(QStringLiteral("```\n") + printed + QStringLiteral("\n```")), qPrintable(printed));
}

QTEST_GUILESS_MAIN(TestNotary)
#include "tst_notary.moc"
