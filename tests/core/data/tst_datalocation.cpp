#include "common/prompts.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/datalocation.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace tombolix;
using namespace tombolix::data;

namespace {

// Every file and folder under the folder, for telling that nothing was made.
QStringList everythingUnder(const QString &folder)
{
    QStringList entries;
    QDirIterator it(
        folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << it.next();
    entries.sort();
    return entries;
}

} // namespace

class TestDataLocation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void theRequestedPathComesFirst();
    void aDatabaseBesideTheProgramIsUsedWhereItIs();
    void otherwiseTheShippedDatabaseIsCopiedOnceForTheUser();
    void aCopyThatCannotBeMadeLeavesNothingAndTheConnectionFails();
    void backupsGoBesideTheDatabaseInUse();
    void anInstalledProgramFindsWhatItShips();

private:
    QTemporaryDir *m_dir = nullptr;
    test::TestDatabase *m_shipped = nullptr;
    DataLocationInputs m_inputs;
};

void TestDataLocation::init()
{
    m_dir = new QTemporaryDir;
    m_shipped = new test::TestDatabase;
    QVERIFY(m_dir->isValid() && m_shipped->isValid());
    setDatabasePath(QString());
    const QDir root(m_dir->path());
    QVERIFY(root.mkpath(QStringLiteral("usr/bin")));
    m_inputs.requested.clear();
    m_inputs.programFolder = root.filePath(QStringLiteral("usr/bin"));
    m_inputs.userFolder = root.filePath(QStringLiteral("home/.local/share/Tombolix/Tombolix"));
    m_inputs.shippedDatabase = m_shipped->path();
}

void TestDataLocation::cleanup()
{
    setDatabasePath(QString());
    delete m_shipped;
    delete m_dir;
}

void TestDataLocation::theRequestedPathComesFirst()
{
    QVERIFY(test::writeFile(QDir(m_inputs.programFolder).filePath(QStringLiteral("Data.mdb")), "beside"));
    const QString named = QDir(m_dir->path()).filePath(QStringLiteral("活动/年会.mdb"));
    QVERIFY(QDir().mkpath(QFileInfo(named).path()));
    QVERIFY(test::writeFile(named, "named"));

    m_inputs.requested = named;
    DataLocation location = ChooseDataLocation(m_inputs);
    QCOMPARE(location.path, named);
    QVERIFY(location.ready);

    // A relative path is taken from the working folder, once, so a later
    // change of folder does not move the database.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QFileInfo(named).path()));
    m_inputs.requested = QStringLiteral("年会.mdb");
    location = ChooseDataLocation(m_inputs);
    QDir::setCurrent(previous);
    QCOMPARE(location.path, named);

    // A path that names no file is still the operator's choice: it fails as a
    // missing database does and nothing is copied anywhere.
    m_inputs.requested = QDir(m_dir->path()).filePath(QStringLiteral("nowhere/Data.mdb"));
    location = ChooseDataLocation(m_inputs);
    QCOMPARE(location.path, m_inputs.requested);
    QVERIFY(!location.ready);
    QVERIFY(!QFileInfo::exists(QFileInfo(m_inputs.requested).path()));
    QVERIFY(!QFileInfo::exists(m_inputs.userFolder));
}

void TestDataLocation::aDatabaseBesideTheProgramIsUsedWhereItIs()
{
    const QString beside = QDir(m_inputs.programFolder).filePath(QStringLiteral("Data.mdb"));
    QVERIFY(test::writeFile(beside, "beside"));
    const DataLocation location = ChooseDataLocation(m_inputs);
    QCOMPARE(location.path, beside);
    QVERIFY(location.ready);
    QVERIFY(!QFileInfo::exists(m_inputs.userFolder));

    // A folder of that name is no database.
    QVERIFY(QFile::remove(beside));
    QVERIFY(QDir().mkdir(beside));
    QCOMPARE(
        ChooseDataLocation(m_inputs).path, QDir(m_inputs.userFolder).filePath(QStringLiteral("Data.mdb")));
}

void TestDataLocation::otherwiseTheShippedDatabaseIsCopiedOnceForTheUser()
{
    // As installed: owned by the system and read-only.
    QVERIFY(QFile::setPermissions(
        m_inputs.shippedDatabase, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    const QString copy = QDir(m_inputs.userFolder).filePath(QStringLiteral("Data.mdb"));

    DataLocation location = ChooseDataLocation(m_inputs);
    QCOMPARE(location.path, copy);
    QVERIFY(location.ready);
    QCOMPARE(test::readFile(copy), test::readFile(m_inputs.shippedDatabase));
    QVERIFY(QFileInfo(copy).permissions() & QFileDevice::WriteOwner);
    QCOMPARE(everythingUnder(m_inputs.userFolder), QStringList { copy });

    // The copy is the operator's from then on: a draw stored in it stays, and
    // the program opens it and writes to it.
    setDatabasePath(location.path);
    {
        ScopedScriptedPrompts prompts;
        QVERIFY(ExecuteSql(
            QStringLiteral("INSERT INTO 奖次表 (抽奖内容) VALUES (?)"), { QStringLiteral("年会") }));
        QVERIFY(prompts.messages().isEmpty());
    }
    CloseConnection();
    location = ChooseDataLocation(m_inputs);
    QCOMPARE(location.path, copy);
    setDatabasePath(location.path);
    QCOMPARE(CountRows(QStringLiteral("奖次表"), QString(), QStringLiteral("*")), 1);
}

void TestDataLocation::aCopyThatCannotBeMadeLeavesNothingAndTheConnectionFails()
{
    const QStringList before = everythingUnder(m_dir->path());

    // Nothing shipped: there is nothing to copy, and no database is made.
    DataLocationInputs inputs = m_inputs;
    inputs.shippedDatabase = QDir(m_dir->path()).filePath(QStringLiteral("usr/share/tombolix/Data.mdb"));
    DataLocation location = ChooseDataLocation(inputs);
    QVERIFY(!location.ready);
    QCOMPARE(location.path, QDir(m_inputs.userFolder).filePath(QStringLiteral("Data.mdb")));
    QCOMPARE(everythingUnder(m_dir->path()), before);

    // The user's data folder cannot be made: a file stands where a folder
    // above it should be. (Permissions would not stop a test run as root.)
    const QString blocker = QDir(m_dir->path()).filePath(QStringLiteral("home/.local/share"));
    QVERIFY(QDir().mkpath(QFileInfo(blocker).path()));
    QVERIFY(test::writeFile(blocker, "not a folder"));
    const QStringList withBlocker = everythingUnder(m_dir->path());
    location = ChooseDataLocation(m_inputs);
    QVERIFY(!location.ready);
    QCOMPARE(everythingUnder(m_dir->path()), withBlocker);

    // A folder nobody may write in, not even root.
    if (QFileInfo(QStringLiteral("/proc/self")).isDir()) {
        DataLocationInputs readOnly = m_inputs;
        readOnly.userFolder = QStringLiteral("/proc/self/Tombolix");
        location = ChooseDataLocation(readOnly);
        QVERIFY(!location.ready);
        QCOMPARE(location.path, QStringLiteral("/proc/self/Tombolix/Data.mdb"));
        QVERIFY(!QFileInfo::exists(readOnly.userFolder));
    }

    // The folder exists but may not be written: the copy fails, the folder
    // stays as it was and no partial file is left.
    QVERIFY(QFile::remove(blocker));
    QVERIFY(QDir().mkpath(m_inputs.userFolder));
    QVERIFY(QFile::setPermissions(m_inputs.userFolder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
#ifdef Q_OS_UNIX
    const bool permissionsHold = ::geteuid() != 0;
#else
    const bool permissionsHold = false; // read-only folders do not stop a Windows program writing in them
#endif
    if (permissionsHold) {
        location = ChooseDataLocation(m_inputs);
        QVERIFY(!location.ready);
        QVERIFY(QFileInfo(m_inputs.userFolder).isDir());
        QVERIFY(everythingUnder(m_inputs.userFolder).isEmpty());
    }
    QVERIFY(QFile::setPermissions(
        m_inputs.userFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

    // Every routine then reports the missing database as it always has, and
    // still creates nothing.
    setDatabasePath(location.path);
    ScopedScriptedPrompts prompts;
    QVERIFY(!OpenConnection());
    QCOMPARE(prompts.messages(), QStringList { QStringLiteral("无法建立数据库连接！") });
    QVERIFY(BackUpDaily());
    QVERIFY(!QFileInfo::exists(location.path));
    QVERIFY(everythingUnder(m_inputs.userFolder).isEmpty());
}

void TestDataLocation::backupsGoBesideTheDatabaseInUse()
{
    setDatabasePath(ChooseDataLocation(m_inputs).path);
    QCOMPARE(QFileInfo(BackupFolder()).absolutePath(), QFileInfo(m_inputs.userFolder).absoluteFilePath());
    QVERIFY(!BackupDatabase(backupreason::Daily).isEmpty());
    QVERIFY(!everythingUnder(BackupFolder()).isEmpty());
    QVERIFY(!QFileInfo::exists(QDir(m_inputs.programFolder).filePath(BackupFolder().section('/', -1))));
}

// Installed as bin/tombolix and share/tombolix/Data.mdb under one prefix; the
// user's folder under the names the program gives itself.
void TestDataLocation::anInstalledProgramFindsWhatItShips()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tombolix"));
    QCoreApplication::setApplicationName(QStringLiteral("Tombolix"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(QDir(m_dir->path()).filePath(QStringLiteral("data"))));
    const DataLocationInputs inputs = DataLocationInputsOfThisRun(QStringLiteral("x.mdb"));
    QCOMPARE(inputs.requested, QStringLiteral("x.mdb"));
    QCOMPARE(inputs.programFolder, QCoreApplication::applicationDirPath());
    QDir prefix(QCoreApplication::applicationDirPath());
    QVERIFY(prefix.cdUp());
    QCOMPARE(inputs.shippedDatabase, prefix.filePath(QStringLiteral("share/tombolix/Data.mdb")));
#ifdef Q_OS_WIN
    // The user's roaming application data, which Windows names itself.
    QVERIFY2(inputs.userFolder.endsWith(QStringLiteral("/AppData/Roaming/Tombolix/Tombolix")),
        qPrintable(inputs.userFolder));
#else
    QCOMPARE(inputs.userFolder, QDir(m_dir->path()).filePath(QStringLiteral("data/Tombolix/Tombolix")));
#endif
}

QTEST_GUILESS_MAIN(TestDataLocation)
#include "tst_datalocation.moc"
