#include "common/commandline.h"
#include "common/version.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;

namespace {

CommandLine parse(const QStringList &arguments)
{
    return ParseCommandLine(QStringList { QStringLiteral("tombolix") } + arguments);
}

struct Run
{
    int exitCode = -1;
    QString output;
    QString error;
};

// The built program with a home of its own, so it never touches the
// settings or data of whoever runs the tests.
QProcessEnvironment isolatedEnvironment(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

Run runProgram(const QStringList &arguments, const QString &home)
{
    QProcess process;
    process.setProcessEnvironment(isolatedEnvironment(home));
    process.start(QStringLiteral(TOMBOLIX_PROGRAM), arguments);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    // Windows ends a line of text output with CR LF.
    run.output = QString::fromUtf8(process.readAllStandardOutput())
                     .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    run.error = QString::fromUtf8(process.readAllStandardError())
                    .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return run;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void optionsAreRead();
    void whatIsNotUnderstoodEndsWithCodeTwo_data();
    void whatIsNotUnderstoodEndsWithCodeTwo();
    void theProgramAnswersVersionAndHelpAndRefusesTheRest();
    void theProgramUsesTheDatabaseNamed();
};

void TestCommandLine::optionsAreRead()
{
    CommandLine line = parse({});
    QVERIFY(!line.exitCode);
    QVERIFY(line.database.isEmpty());
    QVERIFY(line.output.isEmpty() && line.error.isEmpty());

    line = parse({ QStringLiteral("--database"), QStringLiteral("/srv/年会/Data.mdb") });
    QVERIFY(!line.exitCode);
    QCOMPARE(line.database, QStringLiteral("/srv/年会/Data.mdb"));
    QCOMPARE(parse({ QStringLiteral("--database=a.mdb") }).database, QStringLiteral("a.mdb"));
    // Qt's own options are left to the application.
    line = parse({ QStringLiteral("-platform"), QStringLiteral("windows"), QStringLiteral("-reverse"),
        QStringLiteral("--database"), QStringLiteral("a.mdb") });
    QVERIFY(!line.exitCode);
    QCOMPARE(line.database, QStringLiteral("a.mdb"));

    for (const QString &flag : { QStringLiteral("--version"), QStringLiteral("-v") }) {
        line = parse({ flag });
        QCOMPARE(line.exitCode, std::optional<int>(0));
        QCOMPARE(
            line.output, QStringLiteral("tombolix ") + QLatin1String(ProgramVersion) + QLatin1Char('\n'));
        QVERIFY(line.error.isEmpty());
    }
    for (const QString &flag : { QStringLiteral("--help"), QStringLiteral("-h") }) {
        line = parse({ flag, QStringLiteral("--database"), QStringLiteral("x.mdb") });
        QCOMPARE(line.exitCode, std::optional<int>(0));
        QVERIFY(line.output.contains(QStringLiteral("--database <文件>")));
        QVERIFY(line.output.contains(QStringLiteral("--version")));
    }
}

void TestCommandLine::whatIsNotUnderstoodEndsWithCodeTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    QTest::newRow("unknown long option")
        << QStringList { QStringLiteral("--bogus") } << QStringLiteral("“--bogus”");
    QTest::newRow("unknown word after one dash")
        << QStringList { QStringLiteral("-bogus") } << QStringLiteral("“--bogus”");
    QTest::newRow("unknown letter") << QStringList { QStringLiteral("-x") } << QStringLiteral("“-x”");
    QTest::newRow("unknown after a good one") << QStringList { QStringLiteral("--version"),
        QStringLiteral("--colour=red") } << QStringLiteral("“--colour”");
    QTest::newRow("stray argument") << QStringList { QStringLiteral("Data.mdb") }
                                    << QStringLiteral("“Data.mdb”");
    QTest::newRow("after the end of options")
        << QStringList { QStringLiteral("--"), QStringLiteral("--help") } << QStringLiteral("“--help”");
    QTest::newRow("database without a path")
        << QStringList { QStringLiteral("--database") } << QStringLiteral("“--database”");
    QTest::newRow("database with an empty path")
        << QStringList { QStringLiteral("--database=") } << QStringLiteral("“--database”");
}

void TestCommandLine::whatIsNotUnderstoodEndsWithCodeTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const CommandLine line = parse(arguments);
    QCOMPARE(line.exitCode, std::optional<int>(2));
    QVERIFY(line.output.isEmpty());
    QVERIFY2(line.error.startsWith(QStringLiteral("tombolix：")), qPrintable(line.error));
    QVERIFY2(line.error.contains(named), qPrintable(line.error));
    QVERIFY(line.error.contains(QStringLiteral("tombolix --help")));
}

void TestCommandLine::theProgramAnswersVersionAndHelpAndRefusesTheRest()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());

    Run run = runProgram({ QStringLiteral("--version") }, home.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, QStringLiteral("tombolix ") + QLatin1String(ProgramVersion) + QLatin1Char('\n'));

    run = runProgram({ QStringLiteral("--help") }, home.path());
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.output.contains(QStringLiteral("--database")));

    // Refused before any window or file: the program would otherwise stay
    // open and the wait above run out.
    run = runProgram({ QStringLiteral("--bogus") }, home.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.output.isEmpty());
    QVERIFY(run.error.contains(QStringLiteral("“--bogus”")));
    run = runProgram({ QStringLiteral("stray") }, home.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY(QDir(home.path()).isEmpty());
}

void TestCommandLine::theProgramUsesTheDatabaseNamed()
{
    QTemporaryDir home;
    QTemporaryDir elsewhere;
    test::TestDatabase empty;
    QVERIFY(home.isValid() && elsewhere.isValid() && empty.isValid());
    const QString named = QDir(elsewhere.path()).filePath(QStringLiteral("年会.mdb"));
    QVERIFY(QFile::copy(empty.path(), named));

    // The day's first start backs up the database it uses, beside it.
    QProcess process;
    process.setProcessEnvironment(isolatedEnvironment(home.path()));
    process.start(QStringLiteral(TOMBOLIX_PROGRAM), { QStringLiteral("--database"), named });
    QVERIFY(process.waitForStarted());
    const QDir backups(QDir(elsewhere.path()).filePath(QStringLiteral("备份")));
    QTRY_VERIFY_WITH_TIMEOUT(!backups.entryList(QDir::Files).isEmpty(), 20000);
    QCOMPARE(process.state(), QProcess::Running);
    process.kill();
    process.waitForFinished();
    QVERIFY(!QFileInfo::exists(home.path() + QStringLiteral("/.local/share/Tombolix")));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
