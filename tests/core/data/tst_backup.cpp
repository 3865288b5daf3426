#include "common/prompts.h"
#include "data/backup.h"
#include "data/database.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace tombolix;
using namespace tombolix::data;

namespace {

qint64 countIn(const QString &path, const QString &table)
{
    qint64 count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && query.next())
                count = query.value(0).toLongLong();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peek"));
    return count;
}

const QString Question = QStringLiteral("数据库备份失败，是否仍然继续？");

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void backupHoldsTheRowsAndIsNamedForItsReason();
    void theNewestThirtyAreKept();
    void aFullDiskAsksAndLeavesNoFile();
    void dailyBackupOncePerDay();
    void inspectTellsDatabasesFromOtherFiles();
    void restoreReplacesOnlyWithADatabaseOfTheFiveTables();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestBackup::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
}

void TestBackup::cleanup()
{
    setPageLimitForTesting(0);
    delete m_prompts;
    delete m_db;
}

void TestBackup::backupHoldsTheRowsAndIsNamedForItsReason()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 250);
    const QDateTime at(QDate(2026, 12, 8), QTime(20, 30, 15));
    const QString path = BackupDatabase(backupreason::DeleteAwards, at);
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("Data-20261208-203015-删除奖项.mdb"));
    QCOMPARE(QFileInfo(path).absolutePath(),
        QFileInfo(m_db->path()).absoluteDir().filePath(QStringLiteral("备份")));
    QCOMPARE(countIn(path, QStringLiteral("号码表")), qint64(250));

    // A second one within the same second does not overwrite the first.
    const QString second = BackupDatabase(backupreason::DeleteAwards, at);
    QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("Data-20261208-203015-删除奖项-2.mdb"));
    const QList<BackupFile> listed = ListBackups();
    QCOMPARE(listed.size(), 2);
    QCOMPARE(listed.first().reason, backupreason::DeleteAwards);
    QCOMPARE(listed.first().time, at);
    QVERIFY(m_prompts->shown().isEmpty());
}

void TestBackup::theNewestThirtyAreKept()
{
    const QDateTime start(QDate(2026, 12, 1), QTime(9, 0));
    for (int i = 0; i < KeptBackups + 3; ++i)
        QVERIFY(!BackupDatabase(backupreason::Import, start.addSecs(60 * i)).isEmpty());
    const QList<BackupFile> kept = ListBackups();
    QCOMPARE(kept.size(), KeptBackups);
    QCOMPARE(kept.first().time, start.addSecs(60 * (KeptBackups + 2)));
    QCOMPARE(kept.last().time, start.addSecs(60 * 3));
    // Files of the operator's own in the folder are never pruned.
    QVERIFY(test::writeFile(QDir(BackupFolder()).filePath(QStringLiteral("我的备份.mdb")), "x"));
    QVERIFY(!BackupDatabase(backupreason::Import, start.addDays(1)).isEmpty());
    QVERIFY(QFileInfo::exists(QDir(BackupFolder()).filePath(QStringLiteral("我的备份.mdb"))));
}

void TestBackup::aFullDiskAsksAndLeavesNoFile()
{
    qint64 pages = 0;
    {
        QSqlQuery count(QStringLiteral("PRAGMA page_count"), connection());
        QVERIFY(count.next());
        pages = count.value(0).toLongLong();
    }
    setPageLimitForTesting(pages);
    QVERIFY(!BackUpBefore(backupreason::DeleteDraws)); // 否 is the answer when none is queued
    QCOMPARE(m_prompts->questions(), QStringList { Question });
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    QVERIFY(ListBackups().isEmpty());
    m_prompts->queueAnswer(true);
    QVERIFY(BackUpBefore(backupreason::DeleteDraws));
    setPageLimitForTesting(0);
}

void TestBackup::dailyBackupOncePerDay()
{
    const QDateTime morning(QDate(2026, 12, 8), QTime(8, 0));
    QVERIFY(BackUpDaily(morning));
    QVERIFY(BackUpDaily(morning.addSecs(3600)));
    QCOMPARE(ListBackups().size(), 1);
    QVERIFY(BackUpDaily(morning.addDays(1)));
    QCOMPARE(ListBackups().size(), 2);
    QCOMPARE(ListBackups().first().reason, backupreason::Daily);

    // No database file: nothing to back up, and nothing to ask.
    setDatabasePath(QDir(m_db->folder()).filePath(QStringLiteral("没有.mdb")));
    QVERIFY(BackUpDaily(morning.addDays(2)));
    QVERIFY(m_prompts->shown().isEmpty());
    setDatabasePath(m_db->path());
}

void TestBackup::inspectTellsDatabasesFromOtherFiles()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 7);
    const DatabaseSummary own = InspectDatabase(m_db->path());
    QVERIFY(own.valid);
    QCOMPARE(own.draws, qint64(1));
    QCOMPARE(own.entrants, qint64(7));
    QCOMPARE(own.results, qint64(0));

    const QString text = QDir(m_db->folder()).filePath(QStringLiteral("名单.mdb"));
    QVERIFY(test::writeFile(text, "号码,姓名\n1,张三\n"));
    QVERIFY(!InspectDatabase(text).valid);
    QVERIFY(!InspectDatabase(QDir(m_db->folder()).filePath(QStringLiteral("没有.mdb"))).valid);

    const QString partial = BackupDatabase(backupreason::Restore);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("cut"));
        db.setDatabaseName(partial);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("DROP TABLE 结果表")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("cut"));
    QVERIFY(!InspectDatabase(partial).valid);
}

void TestBackup::restoreReplacesOnlyWithADatabaseOfTheFiveTables()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 5);
    const QString before = BackupDatabase(backupreason::DeleteEntrants);
    QVERIFY(ExecuteSql(QStringLiteral("DELETE FROM 号码表")));
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(0));

    QCOMPARE(RestoreDatabase(before), RestoreOutcome::Restored);
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(5));
    m_db->addEntrant(draw, QStringLiteral("999")); // the restored file takes writes

    const QString text = QDir(m_db->folder()).filePath(QStringLiteral("名单.mdb"));
    QVERIFY(test::writeFile(text, "not a database"));
    QCOMPARE(RestoreDatabase(text), RestoreOutcome::NotADatabase);
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(6));
    QVERIFY(m_prompts->messages().isEmpty());
}

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
