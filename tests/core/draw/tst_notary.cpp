// The checkable draw: a draw held through the session, continued and with
// a withdrawal, exports a record the checker accepts, and no change to it
// passes; the derived picks are fair; the rule's published test vectors.
#include "common/notary.h"
#include "common/prompts.h"
#include "data/database.h"
#include "data/resultstore.h"
#include "draw/drawsession.h"
#include "draw/notaryrecord.h"
#include "support/testsupport.h"

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
    void aHeldDrawVerifiesAndNoChangePasses();
    void changesBetweenSessionsStillCheck_data();
    void changesBetweenSessionsStillCheck();
    void derivedPicksAreFairAndDistinct();
    void testVectors();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestNotary::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
}

void TestNotary::cleanup()
{
    delete m_prompts;
    delete m_db;
}

void TestNotary::aHeldDrawVerifiesAndNoChangePasses()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    for (int i = 1; i <= 12; ++i)
        m_db->addEntrant(draw, QString::number(1000 + i), QStringLiteral("员工%1").arg(i));
    const qint64 first = m_db->addAward(draw, 1, QStringLiteral("三等奖"), 3, 2, true, false);
    m_db->addAward(draw, 2, QStringLiteral("幸运奖"), 2, 2, true, true);

    {
        DrawSession session;
        session.start(draw);
        QVERIFY(session.codeOnShow());
        QCOMPARE(session.notaryCode().size(), 19);
        session.beginRound();
        session.RollTick();
        const StopOutcome round = session.StopAndRecord(true, false);
        QCOMPARE(round.recorded, 2);
        QVERIFY(!session.codeOnShow());
        // The audience sees what is stored.
        const QList<data::ResultRecord> stored = *data::ResultStore::forDraw(draw);
        QStringList numbers;
        for (const data::ResultRecord &result : stored)
            numbers << result.number;
        QCOMPARE(round.numberText, numbers.join(QStringLiteral("\r\n")));
        // An absent winner withdrawn: the redraw is the award's next round.
        const DrawSession::WithdrawOutcome gone = session.WithdrawResults(
            { { stored.at(0).id, stored.at(0).number, stored.at(0).name } }, true, false);
        QCOMPARE(gone.deleted, 1);
    }
    {
        // Continued on the same seed, as after a crash.
        DrawSession session;
        session.start(draw, Entry::Continue);
        QVERIFY(!session.codeOnShow());
        while (!session.DrawFinished()) {
            QVERIFY(session.beginRound());
            QVERIFY(session.StopAndRecord(true, false).recorded > 0);
        }
        QVERIFY(session.revealSeed());
    }
    QCOMPARE(data::ResultStore::countForAward(draw, first), qint64(3));

    const QJsonObject record = *ExportRecord(draw);
    const Verification passed = VerifyRecord(record);
    QVERIFY2(passed.passed, qPrintable(passed.problem));
    // A fresh record for the document's own checker, when asked for.
    if (const QString out = qEnvironmentVariable("TOMBOLIX_RECORD_OUT"); !out.isEmpty())
        QVERIFY(test::writeFile(out, QJsonDocument(record).toJson()));
    QList<std::pair<QString, QString>> list;
    for (int i = 1; i <= 11; ++i)
        list.append({ QString::number(1000 + i), QStringLiteral("员工%1").arg(i) });
    QVERIFY(!VerifyRecord(record, list).passed); // one entrant short
    list.append({ QStringLiteral("1012"), QStringLiteral("员工12") });
    QVERIFY(VerifyRecord(record, list).passed);

    // Any single byte changed, an entry moved, a result deleted by hand.
    const QByteArray bytes = QJsonDocument(record).toJson(QJsonDocument::Compact);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        QByteArray changed = bytes;
        changed[i] = char(changed.at(i) ^ (changed.at(i) == '\\' ? 0x02 : 0x01));
        const QJsonDocument document = QJsonDocument::fromJson(changed);
        if (document.isObject() && VerifyRecord(document.object()).passed)
            QFAIL(qPrintable(QStringLiteral("byte %1 changed passes: …%2…")
                                 .arg(i)
                                 .arg(QString::fromUtf8(changed.mid(std::max<qsizetype>(0, i - 30), 60)))));
    }
    QJsonObject reordered = record;
    QJsonArray entries = record.value(QLatin1String("entries")).toArray();
    const QJsonValue second = entries.at(1);
    entries.replace(1, entries.at(2));
    entries.replace(2, second);
    reordered.insert(QStringLiteral("entries"), entries);
    QVERIFY(!VerifyRecord(reordered).passed);
    QVERIFY(data::ExecuteSql(
        QStringLiteral("DELETE FROM 结果表 WHERE ID=(SELECT MAX(ID) FROM 结果表 WHERE CID=?)"), { draw }));
    const Verification deleted = VerifyRecord(*ExportRecord(draw));
    QVERIFY(!deleted.passed);
    QVERIFY2(deleted.problem.contains(QStringLiteral("已不在结果表中")), qPrintable(deleted.problem));
}

// What happens at parties between two sittings of a draw: a latecomer
// joins the list, the boss adds an award, an award is made to allow repeat
// winners. The draw continued afterwards still checks.
void TestNotary::changesBetweenSessionsStillCheck_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("latecomer") << QStringLiteral(
        "INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (1, '2001', '迟到者')");
    QTest::newRow("award added") << QStringLiteral(
        "INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示, 重复, 奖品) VALUES (1, 3, '老板加奖', 3, 1, "
        "1, 1, '红包')");
    QTest::newRow("repeats allowed") << QStringLiteral("UPDATE 奖项表 SET 重复=1 WHERE 顺序=2");
    QTest::newRow("count raised") << QStringLiteral("UPDATE 奖项表 SET 数量=4 WHERE 顺序=1");
}

void TestNotary::changesBetweenSessionsStillCheck()
{
    QFETCH(QString, change);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    QCOMPARE(draw, qint64(1));
    for (int i = 1; i <= 12; ++i)
        m_db->addEntrant(draw, QString::number(1000 + i), QStringLiteral("员工%1").arg(i));
    m_db->addAward(draw, 1, QStringLiteral("三等奖"), 2, 1, true, false);
    m_db->addAward(draw, 2, QStringLiteral("二等奖"), 3, 1, true, false);
    QString codeBefore;
    {
        DrawSession session;
        session.start(draw);
        codeBefore = session.notaryCode();
        QVERIFY(session.beginRound());
        QCOMPARE(session.StopAndRecord(true, false).recorded, 1);
    }
    QVERIFY(data::ExecuteSql(change));
    DrawSession session;
    session.start(draw, Entry::Continue);
    // The changed draw is committed to afresh before its next round.
    QVERIFY(session.codeOnShow());
    QVERIFY(session.notaryCode() != codeBefore);
    while (!session.DrawFinished()) {
        QVERIFY(session.beginRound());
        QVERIFY(session.StopAndRecord(true, false).recorded > 0);
    }
    QVERIFY(session.revealSeed());
    const QJsonObject record = *ExportRecord(draw);
    const Verification verification = VerifyRecord(record);
    QVERIFY2(verification.passed, qPrintable(verification.problem));
    if (const QString out = qEnvironmentVariable("TOMBOLIX_RECORD_OUT");
        !out.isEmpty() && QTest::currentDataTag() == QByteArray("latecomer"))
        QVERIFY(test::writeFile(out + QStringLiteral(".latecomer"), QJsonDocument(record).toJson()));
    // The list the draw began with travels in the record and is checked too.
    QJsonObject earlier = record.value(QLatin1String("earlierLists")).toObject();
    QCOMPARE(earlier.size(), QTest::currentDataTag() == QByteArray("latecomer") ? 1 : 0);
    if (!earlier.isEmpty()) {
        QJsonArray list = earlier.begin()->toArray();
        list.removeLast();
        earlier.insert(earlier.begin().key(), list);
        QJsonObject changed = record;
        changed.insert(QStringLiteral("earlierLists"), earlier);
        QVERIFY(!VerifyRecord(changed).passed);
    }
}

void TestNotary::derivedPicksAreFairAndDistinct()
{
    EntrantPool pool;
    for (int i = 1; i <= 20; ++i)
        pool.append(i, QString::number(i), QString());
    pool.makeIneligible(7);
    const QByteArray seed = notary::NewSeed();
    // One winner in each of 38000 rounds: every eligible entrant about as often.
    std::vector<int> counts(21, 0);
    for (int round = 1; round <= 38000; ++round) {
        notary::DerivedStream stream(seed, 1, round);
        const std::vector<qsizetype> pick = pool.pickInOrder(1, stream);
        QCOMPARE(pick.size(), size_t(1));
        ++counts[size_t(pick[0])];
    }
    QCOMPARE(counts[7], 0);
    double chiSquare = 0;
    for (int i = 1; i <= 20; ++i) {
        if (i != 7)
            chiSquare += (counts[size_t(i)] - 2000.0) * (counts[size_t(i)] - 2000.0) / 2000.0;
    }
    QVERIFY2(chiSquare < 45.0, qPrintable(QString::number(chiSquare))); // 18 degrees of freedom, p < 0.001
    // A round of all who are eligible: each once.
    notary::DerivedStream stream(seed, 2, 1);
    const std::vector<qsizetype> all = pool.pickInOrder(100, stream);
    QCOMPARE(std::set<qsizetype>(all.begin(), all.end()).size(), size_t(19));
    QCOMPARE(pool.eligibleCount(), 19);
}

// The figures docs/verifiable-draw.md publishes for an implementation to
// reproduce; tests/notary/verify_document.py reproduces them from the document.
void TestNotary::testVectors()
{
    QByteArray seed;
    for (int i = 0; i < 32; ++i)
        seed.append(char(i));
    QCOMPARE(notary::Commitment(seed),
        QStringLiteral("630dcd2966c4336691125448bbb25b4ff412a49c732db2c8abc1b8581bd710dd"));
    notary::Fingerprint fingerprint;
    fingerprint.add(QStringLiteral("1001"), QStringLiteral("张三"));
    fingerprint.add(QStringLiteral("1002"), QStringLiteral("李四"));
    fingerprint.add(QStringLiteral("1003"), QStringLiteral("王五"));
    const QString awards
        = notary::AwardsDigest({ { 1, 1, QStringLiteral("一等奖"), QStringLiteral("电视"), 1, 1, false } });
    const QString code = notary::NotaryCode(notary::Commitment(seed), fingerprint.result(), awards);
    notary::DerivedStream stream(seed, 1, 1);
    const quint64 firstNumber = stream.next();
    EntrantPool pool;
    for (int i = 1; i <= 3; ++i)
        pool.append(i, QString::number(1000 + i), QString());
    notary::DerivedStream roundStream(seed, 1, 1);
    const std::vector<qsizetype> picks = pool.pickInOrder(2, roundStream);
    qInfo("fingerprint %s", qPrintable(fingerprint.result()));
    qInfo("awards %s", qPrintable(awards));
    qInfo("code %s", qPrintable(notary::GroupedCode(code)));
    qInfo("first %llu picks %lld %lld", firstNumber, qint64(picks[0]), qint64(picks[1]));
}

QTEST_GUILESS_MAIN(TestNotary)
#include "tst_notary.moc"
