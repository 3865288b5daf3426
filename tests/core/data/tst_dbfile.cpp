#include "common/prompts.h"
#include "data/database.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;
using namespace tombolix::data;

// What happens around the database file itself: missing, not a database,
// made by the build, kept by the build.
class TestDatabaseFile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void missingFileGivesMessagesAndNoFile();
    void randomBytesGiveMessages();
    void routinesRecoverOnceTheFileIsBack();
    void buildToolMakesTheFiveTables();
    void buildToolKeepsAnExistingFile();
    void databaseLiesBesideTheExecutables();

private:
    static QString mkdbTool()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/tombolix-mkdb");
    }
};

void TestDatabaseFile::cleanup()
{
    setDatabasePath(QString());
}

void TestDatabaseFile::missingFileGivesMessagesAndNoFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    setDatabasePath(path);
    ScopedScriptedPrompts prompts;

    // With no file every routine fails, and the operator is told that once,
    // whichever routine needed the file first, not a box per statement.
    QCOMPARE(CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("*")), qint64(0));
    QVERIFY(!OpenConnection());
    QCOMPARE(
        LookupValue(QStringLiteral("奖次表"), 1, QStringLiteral("ID"), QStringLiteral("速度")).toString(),
        QString());
    QVERIFY(!ExecuteSql(QStringLiteral("DELETE FROM 结果表 WHERE CID=1")));
    QCOMPARE(prompts.messages(), QStringList { QStringLiteral("无法建立数据库连接！") });
    prompts.clear();

    QVERIFY(!TableExists(QStringLiteral("奖次表")));
    QVERIFY(IdListItems(QStringLiteral("奖次表"), QStringLiteral("ID"), QStringLiteral("抽奖内容"), QString())
                .isEmpty());
    QCOMPARE(SumColumn(QStringLiteral("奖项表"), QStringLiteral("数量"), QStringLiteral("TRUE")), 0.0);

    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestDatabaseFile::randomBytesGiveMessages()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray noise(8192, '\0');
    QRandomGenerator generator(7);
    for (char &byte : noise)
        byte = char(generator.bounded(256));
    file.write(noise);
    file.close();
    setDatabasePath(path);
    ScopedScriptedPrompts prompts;

    QVERIFY(!OpenConnection());
    QCOMPARE(CountRows(QStringLiteral("奖次表"), QStringLiteral("TRUE"), QStringLiteral("*")), qint64(0));
    QCOMPARE(prompts.messages(), QStringList { QStringLiteral("无法建立数据库连接！") });
    // The file is left exactly as it was.
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), noise);
}

void TestDatabaseFile::routinesRecoverOnceTheFileIsBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    setDatabasePath(path);
    ScopedScriptedPrompts prompts;
    QVERIFY(!TableExists(QStringLiteral("奖次表")));
    QVERIFY(schema::createEmptyDatabase(path));
    QVERIFY(TableExists(QStringLiteral("奖次表")));
    QVERIFY(ExecuteSql(QStringLiteral("INSERT INTO 奖次表 (抽奖内容) VALUES ('a')")));
    QCOMPARE(CountRows(QStringLiteral("奖次表"), QString(), QStringLiteral("*")), qint64(1));
}

void TestDatabaseFile::buildToolMakesTheFiveTables()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    QCOMPARE(QProcess::execute(mkdbTool(), { path }), 0);
    setDatabasePath(path);
    ScopedScriptedPrompts prompts;
    for (const char *name : { "奖次表", "奖项表", "号码表", "结果表", "预设表" })
        QVERIFY2(TableExists(QString::fromUtf8(name)), name);
    QVERIFY(prompts.messages().isEmpty());
}

void TestDatabaseFile::buildToolKeepsAnExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    QCOMPARE(QProcess::execute(mkdbTool(), { path }), 0);
    setDatabasePath(path);
    QVERIFY(ExecuteSql(QStringLiteral("INSERT INTO 奖次表 (抽奖内容) VALUES ('operator''s draw')")));
    CloseConnection();

    QCOMPARE(QProcess::execute(mkdbTool(), { path }), 0); // the next build
    QCOMPARE(LookupValue(QStringLiteral("奖次表"), QStringLiteral("operator's draw"),
                 QStringLiteral("抽奖内容"), QStringLiteral("抽奖内容"))
                 .toString(),
        QStringLiteral("operator's draw"));

    // Not even a file that is not a database is replaced.
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    QFile file(other);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a database");
    file.close();
    QCOMPARE(QProcess::execute(mkdbTool(), { other }), 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("not a database"));
}

void TestDatabaseFile::databaseLiesBesideTheExecutables()
{
    QVERIFY(QFileInfo::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/Data.mdb")));
}

QTEST_GUILESS_MAIN(TestDatabaseFile)
#include "tst_dbfile.moc"
