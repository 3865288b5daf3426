#include "common/backupquestion.h"
#include "common/prompts.h"
#include "data/backup.h"
#include "data/database.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
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

// As a full disk would: no room for a page more.
void fillTheDisk()
{
    QSqlQuery count(QStringLiteral("PRAGMA page_count"), connection());
    QVERIFY(count.next());
    setPageLimitForTesting(count.value(0).toLongLong());
}

QStringList reasonsListed()
{
    QStringList reasons;
    for (const BackupFile &backup : ListBackups())
        reasons << backup.reason;
    return reasons;
}

qint64 entrantsStored()
{
    return CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*"));
}

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
    void backupsOfOneSecondKeepTheirOrderAcrossReasons();
    void restoringTheOldestBackupOutlivesItsPruning();
    void restoreAsksWhenTheBackupBeforeItFails();
    void aCopyReplacesAnOldFileOnlyWhenComplete();

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
    QVERIFY(BackUpDailyOrAsk(morning));
    QVERIFY(BackUpDailyOrAsk(morning.addSecs(3600)));
    QCOMPARE(ListBackups().size(), 1);
    QVERIFY(BackUpDailyOrAsk(morning.addDays(1)));
    QCOMPARE(ListBackups().size(), 2);
    QCOMPARE(ListBackups().first().reason, backupreason::Daily);

    // No database file: nothing to back up, and nothing to ask.
    setDatabasePath(QDir(m_db->folder()).filePath(QStringLiteral("没有.mdb")));
    QVERIFY(BackUpDailyOrAsk(morning.addDays(2)));
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

    // Without the integrity check the same files are told apart, and counted alike.
    const DatabaseSummary quick = InspectDatabase(m_db->path(), false);
    QVERIFY(quick.valid);
    QCOMPARE(quick.entrants, qint64(7));
    QVERIFY(!InspectDatabase(text, false).valid);
    QVERIFY(!InspectDatabase(partial, false).valid);
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

void TestBackup::backupsOfOneSecondKeepTheirOrderAcrossReasons()
{
    const QDateTime at(QDate(2026, 12, 8), QTime(20, 30, 15));
    const QStringList made { QFileInfo(BackupDatabase(backupreason::DeleteDraws, at)).fileName(),
        QFileInfo(BackupDatabase(backupreason::Restore, at)).fileName(),
        QFileInfo(BackupDatabase(backupreason::DeleteDraws, at)).fileName() };
    QCOMPARE(made,
        (QStringList { QStringLiteral("Data-20261208-203015-删除设置.mdb"),
            QStringLiteral("Data-20261208-203015-恢复数据库-2.mdb"),
            QStringLiteral("Data-20261208-203015-删除设置-3.mdb") }));
    BackupDatabase(backupreason::Import, at.addSecs(-1));
    QCOMPARE(reasonsListed(),
        (QStringList { backupreason::DeleteDraws, backupreason::Restore, backupreason::DeleteDraws,
            backupreason::Import }));
    QCOMPARE(QFileInfo(ListBackups().first().path).fileName(), made.last());

    // Pruning goes by the same order: the newest of the second stay.
    for (int i = 0; i < KeptBackups - 2; ++i)
        BackupDatabase(backupreason::Withdraw, at.addSecs(1 + i));
    const QList<BackupFile> kept = ListBackups();
    QCOMPARE(kept.size(), KeptBackups);
    QCOMPARE((QStringList { QFileInfo(kept.at(KeptBackups - 2).path).fileName(),
                 QFileInfo(kept.last().path).fileName() }),
        (QStringList { made.at(2), made.at(1) }));
}

void TestBackup::restoringTheOldestBackupOutlivesItsPruning()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 3);
    const QDateTime start(QDate(2026, 12, 1), QTime(9, 0));
    const QString oldest = BackupDatabase(backupreason::DeleteEntrants, start);
    m_db->addEntrants(draw, 4, 100);
    for (int i = 1; i < KeptBackups; ++i)
        BackupDatabase(backupreason::Import, start.addSecs(60 * i));
    QCOMPARE(ListBackups().last().path, oldest);

    // The backup before restoring prunes the chosen file; the copy put in
    // place was taken before.
    QCOMPARE(BackUpAndRestoreOrAsk(oldest), RestoreOutcome::Restored);
    QCOMPARE(entrantsStored(), qint64(3));
    QVERIFY(!QFileInfo::exists(oldest));
    QCOMPARE(ListBackups().size(), KeptBackups);
    QCOMPARE(ListBackups().first().reason, backupreason::Restore);
    QCOMPARE(countIn(ListBackups().first().path, QStringLiteral("号码表")), qint64(7));
    QVERIFY(m_prompts->shown().isEmpty());
    QCOMPARE(QDir(m_db->folder()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("restoring")),
        QStringList());
}

void TestBackup::restoreAsksWhenTheBackupBeforeItFails()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 2);
    const QString before = BackupDatabase(backupreason::DeleteEntrants);
    m_db->addEntrants(draw, 5, 100);

    fillTheDisk();
    QCOMPARE(BackUpAndRestoreOrAsk(before), RestoreOutcome::Cancelled);
    QCOMPARE(m_prompts->questions(), QStringList { Question });
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    QCOMPARE(entrantsStored(), qint64(7));
    QCOMPARE(ListBackups().size(), 1);

    m_prompts->queueAnswer(true);
    QCOMPARE(BackUpAndRestoreOrAsk(before), RestoreOutcome::Restored);
    setPageLimitForTesting(0);
    QCOMPARE(entrantsStored(), qint64(2));
    QCOMPARE(QDir(m_db->folder()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("restoring")),
        QStringList());

    // A file that is no database is refused before anything is asked or backed up.
    m_prompts->clear();
    const QString text = QDir(m_db->folder()).filePath(QStringLiteral("名单.mdb"));
    QVERIFY(test::writeFile(text, "not a database"));
    QCOMPARE(BackUpAndRestoreOrAsk(text), RestoreOutcome::NotADatabase);
    QCOMPARE(BackUpAndRestoreOrAsk(text + QStringLiteral(".none")), RestoreOutcome::NotADatabase);
    QVERIFY(m_prompts->shown().isEmpty());
    QCOMPARE(ListBackups().size(), 1);
}

void TestBackup::aCopyReplacesAnOldFileOnlyWhenComplete()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 6);
    QTemporaryDir elsewhere;
    const QString path = QDir(elsewhere.path()).filePath(QStringLiteral("年会备份.mdb"));
    QVERIFY(test::writeFile(path, "an older copy"));

    fillTheDisk();
    QVERIFY(!SaveDatabaseCopy(path));
    setPageLimitForTesting(0);
    QCOMPARE(test::readFile(path), QByteArray("an older copy"));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { QFileInfo(path).fileName() });

    QVERIFY(SaveDatabaseCopy(path));
    QCOMPARE(countIn(path, QStringLiteral("号码表")), qint64(6));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { QFileInfo(path).fileName() });

    // Not over the database itself, and not into a folder that is not there.
    QVERIFY(!SaveDatabaseCopy(m_db->path()));
    QVERIFY(!SaveDatabaseCopy(QDir(elsewhere.path()).filePath(QStringLiteral("没有/备份.mdb"))));
    QCOMPARE(entrantsStored(), qint64(6));
    QVERIFY(m_prompts->shown().isEmpty());
}

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
