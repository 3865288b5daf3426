// A real process killed with SIGKILL: tombolix-drill runs the draw screen or
// the entrant import on a database of this test's, reports each step, and is
// killed at chosen moments. What the audience saw must be on disk, an import
// must be all or nothing, and the file must stay sound and usable.
//
// The kill moments are random; TOMBOLIX_CRASH_SEED repeats a run.

#include "data/database.h"
#include "draw/notaryrecord.h"
#include "draw/recordcheck.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <functional>
#include <map>

using namespace tombolix;

namespace {

constexpr int LineTimeoutMs = 20000;

QString drillProgram()
{
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tombolix-drill.exe");
#else
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tombolix-drill");
#endif
}

quint32 crashSeed()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("TOMBOLIX_CRASH_SEED").toUInt(&ok);
    return ok ? seed : 20240917u;
}

// One run of the drill, read line by line.
class Drill
{
public:
    explicit Drill(const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(environment);
        m_process.start(drillProgram(), arguments);
    }

    bool started() { return m_process.waitForStarted(LineTimeoutMs); }

    // Reads lines until one satisfies the predicate; false after the timeout
    // or when the drill ended.
    bool readUntil(const std::function<bool(const QString &)> &wanted, int timeoutMs = LineTimeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (m_process.canReadLine()) {
                const QString line = takeLine();
                if (wanted(line))
                    return true;
            }
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0 || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(int(std::min<qint64>(left, 100)));
        }
    }
    bool readUntilLine(const QString &prefix, int count = 1, int timeoutMs = LineTimeoutMs)
    {
        int seen = 0;
        return readUntil(
            [&](const QString &line) { return line.startsWith(prefix) && ++seen == count; }, timeoutMs);
    }
    // Whether a line has arrived, without waiting.
    bool poll(const QString &prefix)
    {
        m_process.waitForReadyRead(0);
        while (m_process.canReadLine()) {
            if (takeLine().startsWith(prefix))
                return true;
        }
        return false;
    }

    // SIGKILL, then whatever the drill had written before it died: those
    // lines were printed before the kill, so they count as seen.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(LineTimeoutMs);
        m_process.waitForReadyRead(0);
        while (m_process.canReadLine())
            takeLine();
    }
    bool killedBySignal() const { return m_process.exitStatus() == QProcess::CrashExit; }

    const QStringList &lines() const { return m_lines; }
    bool hasLine(const QString &prefix) const
    {
        return std::any_of(
            m_lines.begin(), m_lines.end(), [&](const QString &line) { return line.startsWith(prefix); });
    }
    // Everything the drill said, for a failure message.
    QString transcript()
    {
        m_errors += QString::fromUtf8(m_process.readAllStandardError());
        return m_lines.join(QLatin1Char('\n')) + QStringLiteral("\n--- stderr ---\n") + m_errors;
    }

private:
    QString takeLine()
    {
        QString line = QString::fromUtf8(m_process.readLine());
        if (line.endsWith(QLatin1Char('\n')))
            line.chop(1);
        if (line.endsWith(QLatin1Char('\r'))) // a Windows line end
            line.chop(1);
        m_lines << line;
        return line;
    }

    QProcess m_process;
    QStringList m_lines;
    QString m_errors;
};

// The winners' numbers of every "shown" line.
QStringList shownNumbers(const QStringList &lines)
{
    QStringList numbers;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("shown\t")) && line.size() > 6)
            numbers << line.mid(6).split(QLatin1Char(','));
    }
    return numbers;
}

// What the screen told the operator: a failed save says so.
QStringList messages(const QStringList &lines)
{
    QStringList messages;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("message\t")))
            messages << line.mid(8);
    }
    return messages;
}

// A connection of the test's own, opened afresh after every kill, so it finds
// the file exactly as the kill left it (a hot journal included).
class FileCheck
{
public:
    explicit FileCheck(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Name);
        db.setDatabaseName(path);
        m_open = db.open();
    }
    ~FileCheck() { QSqlDatabase::removeDatabase(Name); }

    bool isOpen() const { return m_open; }

    QString integrity() const
    {
        return values(QStringLiteral("PRAGMA integrity_check")).join(QLatin1Char('\n'));
    }

    QStringList values(const QString &sql, const QVariantList &binds = {}) const
    {
        QSqlQuery query(QSqlDatabase::database(Name, false));
        query.setForwardOnly(true);
        query.prepare(sql);
        for (const QVariant &value : binds)
            query.addBindValue(value);
        QStringList values;
        if (!query.exec())
            return { QStringLiteral("error: ") + sql };
        while (query.next())
            values << query.value(0).toString();
        return values;
    }

    bool run(const QString &sql, const QVariantList &binds = {}) const
    {
        QSqlQuery query(QSqlDatabase::database(Name, false));
        query.prepare(sql);
        for (const QVariant &value : binds)
            query.addBindValue(value);
        return query.exec();
    }

private:
    static inline const QString Name = QStringLiteral("crash-check");
    bool m_open = false;
};

// The sizes of the database file and its journals; -1 for one missing.
QString fileState(const QString &path)
{
    QString state;
    for (const char *suffix : { "", "-journal", "-wal" }) {
        const QFileInfo info(path + QLatin1String(suffix));
        state += QString::number(info.exists() ? info.size() : -1) + QLatin1Char(' ');
    }
    return state;
}

struct Award
{
    qint64 id;
    int count;
    int perRound;
};

QString row(int i)
{
    static const QString surnames = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗");
    static const QString given = QStringLiteral("伟芳娜秀敏静丽强磊军洋勇艳杰娟涛明超兰霞");
    return QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')) + QLatin1Char(',') + surnames.at(i % 20)
        + given.at((i / 20) % 20) + given.at((i / 400) % 20);
}

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drawKilledAnywhereKeepsWhatWasShown();
    void drawKilledThenContinuedFinishesExactly();
    void aWithdrawalKilledAfterItStaysOut();
    void killedAroundTheHallsNumbersGoesOnUnderOneCommitment();
    void importKilledHalfwayIsAllOrNothing();

private:
    QRandomGenerator m_random;
};

void TestCrash::initTestCase()
{
    const quint32 seed = crashSeed();
    qInfo("kill moments from seed %u (TOMBOLIX_CRASH_SEED repeats them)", seed);
    m_random.seed(seed);
    QVERIFY2(QFileInfo::exists(drillProgram()), "tombolix-drill is built beside the test");
}

void TestCrash::drawKilledAnywhereKeepsWhatWasShown()
{
    test::TestDatabase db;
    QVERIFY(db.isValid());
    const qint64 draw = db.addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    const std::vector<Award> awards = {
        { db.addAward(draw, 1, QStringLiteral("三等奖"), 12, 4), 12, 4 },
        { db.addAward(draw, 2, QStringLiteral("二等奖"), 6, 2), 6, 2 },
        { db.addAward(draw, 3, QStringLiteral("一等奖"), 3, 1), 3, 1 },
    };
    db.addEntrants(draw, 300, 1, 4);
    data::CloseConnection(); // the drill is the only writer
    const int rounds = 3 + 3 + 3;
    const int widestRound = 4;
    // Each run after the first starts the draw again (重新开始), as the
    // console does once the operator agrees.
    const QStringList arguments = { QStringLiteral("restart"), db.path(), QString::number(draw) };

    int hotJournals = 0;
    const int kills = 8;
    for (int run = 0; run < kills; ++run) {
        const bool midRoll = run % 2 == 0;
        const int round = 1 + int(m_random.bounded(rounds));
        const int waitMs = midRoll ? int(m_random.bounded(40)) : 0;
        const QString moment = QStringLiteral("run %1: kill %2 %3")
                                   .arg(run)
                                   .arg(midRoll ? QStringLiteral("%1 ms into roll").arg(waitMs)
                                                : QStringLiteral("right after the stop of round"))
                                   .arg(round);

        Drill drill(arguments);
        QVERIFY2(drill.started(), qPrintable(moment));
        QVERIFY2(drill.readUntilLine(midRoll ? QStringLiteral("rolling") : QStringLiteral("shown"), round),
            qPrintable(moment + QLatin1Char('\n') + drill.transcript()));
        if (waitMs > 0)
            QThread::msleep(ulong(waitMs));
        drill.kill();
        QVERIFY2(drill.killedBySignal(), qPrintable(moment));
        if (QFile::exists(db.path() + QStringLiteral("-journal")))
            ++hotJournals;

        const QStringList shown = shownNumbers(drill.lines());
        const QString context = moment + QLatin1Char('\n') + drill.transcript();
        QVERIFY2(messages(drill.lines()).isEmpty(), qPrintable(context));
        FileCheck file(db.path());
        QVERIFY2(file.isOpen(), qPrintable(context));
        QCOMPARE(file.integrity(), QStringLiteral("ok"));
        const QStringList stored
            = file.values(QStringLiteral("SELECT 号码 FROM 结果表 WHERE CID=?"), { draw });
        for (const QString &number : shown)
            QVERIFY2(stored.contains(number),
                qPrintable(number + QStringLiteral(" shown, not stored; ") + context));
        // A kill between a round's commit and its line leaves that one round
        // stored but unseen; never more.
        QVERIFY2(stored.size() >= shown.size() && stored.size() - shown.size() <= widestRound,
            qPrintable(context));
        QCOMPARE(QSet<QString>(stored.begin(), stored.end()).size(), stored.size());
        for (const Award &award : awards) {
            const int drawn
                = file.values(QStringLiteral("SELECT ID FROM 结果表 WHERE WID=?"), { award.id }).size();
            QVERIFY2(drawn <= award.count, qPrintable(context));
        }
    }
    qInfo("%d of %d kills left a hot journal behind", hotJournals, kills);

    // After all that the program still holds a whole draw on the same file.
    Drill drill(arguments);
    QVERIFY(drill.started());
    QVERIFY2(drill.readUntilLine(QStringLiteral("finished")), qPrintable(drill.transcript()));
    drill.kill();
    const QStringList shown = shownNumbers(drill.lines());
    QCOMPARE(shown.size(), 12 + 6 + 3);
    QVERIFY2(messages(drill.lines()).isEmpty(), qPrintable(drill.transcript()));
    FileCheck file(db.path());
    QCOMPARE(file.integrity(), QStringLiteral("ok"));
    QStringList stored = file.values(QStringLiteral("SELECT 号码 FROM 结果表 WHERE CID=?"), { draw });
    QStringList expected = shown;
    stored.sort();
    expected.sort();
    QCOMPARE(stored, expected);
    QCOMPARE(QSet<QString>(stored.begin(), stored.end()).size(), stored.size());
    for (const Award &award : awards)
        QCOMPARE(file.values(QStringLiteral("SELECT ID FROM 结果表 WHERE WID=?"), { award.id }).size(),
            award.count);
}

// A draw killed again and again, each time entered anew with 继续抽奖 as
// the operator would after a crash, and at last finished: what was shown is
// stored, no one wins again after a win that allows no repeat, and every
// award ends with exactly its count.
void TestCrash::drawKilledThenContinuedFinishesExactly()
{
    test::TestDatabase db;
    QVERIFY(db.isValid());
    const qint64 draw = db.addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    struct ContinuedAward : Award
    {
        bool repeat;
    };
    const std::vector<ContinuedAward> awards = {
        { { db.addAward(draw, 1, QStringLiteral("三等奖"), 12, 4), 12, 4 }, false },
        { { db.addAward(draw, 2, QStringLiteral("幸运奖"), 6, 2, true, true), 6, 2 }, true },
        { { db.addAward(draw, 3, QStringLiteral("一等奖"), 3, 1), 3, 1 }, false },
    };
    // Few entrants, so winners of the award that allows repeats come up again.
    db.addEntrants(draw, 30, 1, 4);
    data::CloseConnection(); // the drill is the only writer
    const int widestRound = 4;

    // Rounds still to hold, from what the file holds.
    const auto roundsLeft = [&](const FileCheck &file) {
        int rounds = 0;
        for (const ContinuedAward &award : awards) {
            const int left = award.count
                - int(file.values(QStringLiteral("SELECT ID FROM 结果表 WHERE WID=?"), { award.id }).size());
            rounds += (left + award.perRound - 1) / award.perRound;
        }
        return rounds;
    };
    // The numbers drawn again after a win that allowed no repeat.
    const auto wonAgain = [&](const FileCheck &file) {
        QStringList again;
        QSet<QString> gone;
        const QStringList rows = file.values(
            QStringLiteral(
                "SELECT 结果表.号码 || '|' || 奖项表.重复 FROM 结果表 JOIN 奖项表 ON 结果表.WID=奖项表.ID "
                "WHERE 结果表.CID=? ORDER BY 结果表.ID"),
            { draw });
        for (const QString &row : rows) {
            const QString number = row.section(QLatin1Char('|'), 0, 0);
            if (gone.contains(number))
                again << number;
            if (row.section(QLatin1Char('|'), 1) != QLatin1String("1"))
                gone.insert(number);
        }
        return again;
    };

    QStringList shownSoFar;
    int rounds = 3 + 3 + 3;
    const int kills = 5;
    for (int run = 0; run < kills && rounds > 0; ++run) {
        // The first run holds the draw from its start; the others continue it.
        const QString mode = run == 0 ? QStringLiteral("draw") : QStringLiteral("continue");
        const bool midRoll = run % 2 == 1;
        const int round = 1 + int(m_random.bounded(rounds));
        const int waitMs = midRoll ? int(m_random.bounded(40)) : 0;
        const QString moment = QStringLiteral("run %1 (%2): kill %3 %4")
                                   .arg(run)
                                   .arg(mode)
                                   .arg(midRoll ? QStringLiteral("%1 ms into roll").arg(waitMs)
                                                : QStringLiteral("right after the stop of round"))
                                   .arg(round);
        qint64 storedBefore = 0;
        {
            FileCheck file(db.path());
            storedBefore = file.values(QStringLiteral("SELECT ID FROM 结果表 WHERE CID=?"), { draw }).size();
        }

        Drill drill({ mode, db.path(), QString::number(draw) });
        QVERIFY2(drill.started(), qPrintable(moment));
        QVERIFY2(drill.readUntilLine(midRoll ? QStringLiteral("rolling") : QStringLiteral("shown"), round),
            qPrintable(moment + QLatin1Char('\n') + drill.transcript()));
        if (waitMs > 0)
            QThread::msleep(ulong(waitMs));
        drill.kill();
        QVERIFY2(drill.killedBySignal(), qPrintable(moment));
        const QString context = moment + QLatin1Char('\n') + drill.transcript();
        if (run > 0) {
            QVERIFY2(drill.hasLine(QStringLiteral("asked\t该抽奖已有%1条抽奖结果。").arg(storedBefore)),
                qPrintable(context));
        }
        QVERIFY2(messages(drill.lines()).isEmpty(), qPrintable(context));

        const QStringList shown = shownNumbers(drill.lines());
        shownSoFar << shown;
        FileCheck file(db.path());
        QVERIFY2(file.isOpen(), qPrintable(context));
        QCOMPARE(file.integrity(), QStringLiteral("ok"));
        const QStringList stored
            = file.values(QStringLiteral("SELECT 号码 FROM 结果表 WHERE CID=?"), { draw });
        // Every appearance on screen is a stored win (a winner of 幸运奖 may
        // appear, and be stored, more than once).
        for (const QString &number : shownSoFar)
            QVERIFY2(stored.count(number) >= shownSoFar.count(number),
                qPrintable(number + QStringLiteral(" shown, not stored; ") + context));
        // Per run, at most the round cut off between its commit and its line
        // is stored unseen.
        QVERIFY2(stored.size() - storedBefore >= shown.size()
                && stored.size() - storedBefore - shown.size() <= widestRound,
            qPrintable(context));
        QCOMPARE(wonAgain(file), QStringList());
        for (const ContinuedAward &award : awards) {
            const int drawn
                = file.values(QStringLiteral("SELECT ID FROM 结果表 WHERE WID=?"), { award.id }).size();
            QVERIFY2(drawn <= award.count, qPrintable(context));
        }
        rounds = roundsLeft(file);
    }

    // Entered once more with 继续抽奖, the draw is held to its end.
    qint64 storedBefore = 0;
    {
        FileCheck file(db.path());
        storedBefore = file.values(QStringLiteral("SELECT ID FROM 结果表 WHERE CID=?"), { draw }).size();
    }
    Drill drill({ QStringLiteral("continue"), db.path(), QString::number(draw) });
    QVERIFY(drill.started());
    QVERIFY2(drill.readUntilLine(QStringLiteral("finished")), qPrintable(drill.transcript()));
    drill.kill();
    QVERIFY2(drill.hasLine(QStringLiteral("asked\t该抽奖已有%1条抽奖结果。").arg(storedBefore)),
        qPrintable(drill.transcript()));
    QVERIFY2(messages(drill.lines()).isEmpty(), qPrintable(drill.transcript()));
    const QStringList shown = shownNumbers(drill.lines());
    shownSoFar << shown;
    FileCheck file(db.path());
    QCOMPARE(file.integrity(), QStringLiteral("ok"));
    const QStringList stored = file.values(QStringLiteral("SELECT 号码 FROM 结果表 WHERE CID=?"), { draw });
    QCOMPARE(stored.size(), 12 + 6 + 3);
    QCOMPARE(stored.size() - storedBefore, shown.size()); // nothing killed this time: all seen
    for (const QString &number : shownSoFar)
        QVERIFY2(stored.count(number) >= shownSoFar.count(number), qPrintable(number));
    QCOMPARE(wonAgain(file), QStringList());
    for (const ContinuedAward &award : awards)
        QCOMPARE(file.values(QStringLiteral("SELECT ID FROM 结果表 WHERE WID=?"), { award.id }).size(),
            award.count);

    // Through every kill, each round followed from the seed committed at the
    // start: the record checks.
    QVERIFY(draw::RevealSeed(draw));
    const draw::RecordCheck check = draw::CheckRecord(*draw::ExportRecord(draw));
    QVERIFY2(check.passed(), qPrintable(check.problem));
}

// Killed once the commitment stands (the hall not asked yet), and once the
// hall's numbers are in: continued, the draw goes on under that commitment,
// its code unchanged, the hall asked once, and its record checks.
void TestCrash::killedAroundTheHallsNumbersGoesOnUnderOneCommitment()
{
    test::TestDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    db.addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    db.addEntrants(draw, 30);
    data::CloseConnection(); // the drill is the only writer
    auto lineOf = [](const Drill &drill, const QString &prefix) {
        for (const QString &line : drill.lines()) {
            if (line.startsWith(prefix))
                return line.mid(prefix.size());
        }
        return QString();
    };
    QString code;
    {
        Drill drill({ QStringLiteral("draw"), db.path(), QString::number(draw) });
        QVERIFY(drill.started());
        QVERIFY2(drill.readUntilLine(QStringLiteral("committed")), qPrintable(drill.transcript()));
        drill.kill();
        code = lineOf(drill, QStringLiteral("committed\t"));
        QVERIFY(!code.isEmpty());
    }
    QString numbers;
    {
        Drill drill({ QStringLiteral("continue"), db.path(), QString::number(draw) });
        QVERIFY(drill.started());
        QVERIFY2(drill.readUntilLine(QStringLiteral("hall")), qPrintable(drill.transcript()));
        drill.kill();
        QCOMPARE(lineOf(drill, QStringLiteral("committed\t")), code);
        numbers = lineOf(drill, QStringLiteral("hall\t"));
    }
    {
        Drill drill({ QStringLiteral("continue"), db.path(), QString::number(draw) });
        QVERIFY(drill.started());
        QVERIFY2(drill.readUntilLine(QStringLiteral("finished")), qPrintable(drill.transcript()));
        drill.kill();
        QCOMPARE(lineOf(drill, QStringLiteral("committed\t")), code);
        QVERIFY2(!drill.hasLine(QStringLiteral("hall")), qPrintable(drill.transcript()));
    }
    QVERIFY(draw::RevealSeed(draw));
    const draw::RecordCheck check = draw::CheckRecord(*draw::ExportRecord(draw));
    QVERIFY2(check.passed(), qPrintable(check.problem));
    QVERIFY(check.summary.join(QLatin1Char('\n')).contains(QStringLiteral("现场随机数：") + numbers));
}

// Four entrants for four places: the draw can only be finished by drawing the
// withdrawn winner again, which it must not.
void TestCrash::aWithdrawalKilledAfterItStaysOut()
{
    test::TestDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    db.addAward(draw, 1, QStringLiteral("一等奖"), 4, 1);
    db.addEntrants(draw, 4);
    data::CloseConnection(); // the drill is the only writer

    Drill withdraw({ QStringLiteral("withdraw"), db.path(), QString::number(draw) });
    QVERIFY(withdraw.started());
    QVERIFY2(withdraw.readUntilLine(QStringLiteral("withdrawn")), qPrintable(withdraw.transcript()));
    withdraw.kill();
    QVERIFY(withdraw.killedBySignal());
    QString absent;
    for (const QString &line : withdraw.lines()) {
        if (line.startsWith(QStringLiteral("withdrawn\t")))
            absent = line.section(QLatin1Char('\t'), 1);
    }
    QVERIFY(!absent.isEmpty());
    {
        FileCheck file(db.path());
        QCOMPARE(file.values(QStringLiteral("SELECT 号码 FROM 结果表 WHERE CID=?"), { draw }), QStringList());
        QCOMPARE(file.values(QStringLiteral("SELECT 号码 || '|' || 原因 FROM 撤销表 WHERE CID=?"), { draw }),
            QStringList { absent + QStringLiteral("|未到场") });
    }

    // Continued after the crash, the withdrawn winner stays out.
    Drill go({ QStringLiteral("continue"), db.path(), QString::number(draw) });
    QVERIFY(go.started());
    QVERIFY2(go.readUntilLine(QStringLiteral("finished")), qPrintable(go.transcript()));
    go.kill();
    FileCheck file(db.path());
    const QStringList stored = file.values(QStringLiteral("SELECT 号码 FROM 结果表 WHERE CID=?"), { draw });
    QCOMPARE(stored.size(), 3);
    QVERIFY2(!stored.contains(absent), qPrintable(go.transcript()));
    QCOMPARE(messages(go.lines()),
        QStringList { QStringLiteral("剩余可抽人数不足：一等奖 还差4名，可抽的只有3人。") });
}

void TestCrash::importKilledHalfwayIsAllOrNothing()
{
    test::TestDatabase db;
    QVERIFY(db.isValid());
    constexpr int Rows = 200000;
    QStringList expected;
    expected.reserve(Rows);
    {
        QFile csv(QDir(db.folder()).filePath(QStringLiteral("entrants.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        QByteArray bytes = "\xEF\xBB\xBF";
        for (int i = 1; i <= Rows; ++i) {
            const QString line = row(i);
            expected << line;
            bytes += line.toUtf8() + "\r\n";
        }
        QCOMPARE(csv.write(bytes), qint64(bytes.size()));
    }
    const QString csvPath = QDir(db.folder()).filePath(QStringLiteral("entrants.csv"));
    std::vector<qint64> draws;
    for (int i = 0; i < 6; ++i)
        draws.push_back(db.addDraw(QStringLiteral("年会%1").arg(i)));
    data::CloseConnection();
    std::map<qint64, int> stored; // rows each draw held after its run

    const auto imported = [](const FileCheck &file, qint64 draw) {
        return file.values(
            QStringLiteral("SELECT 号码 || ',' || 姓名 FROM 号码表 WHERE CID=? ORDER BY ID"), { draw });
    };
    // After a kill the draw holds every row of the file or none, and what the
    // other draws held has not moved.
    const auto checkAfterKill = [&](qint64 draw, const QString &context) {
        FileCheck file(db.path());
        QVERIFY2(file.isOpen(), qPrintable(context));
        QCOMPARE(file.integrity(), QStringLiteral("ok"));
        const QStringList rows = imported(file, draw);
        QVERIFY2(rows.isEmpty() || rows.size() == Rows,
            qPrintable(QStringLiteral("%1 rows; ").arg(rows.size()) + context));
        if (!rows.isEmpty())
            QVERIFY2(rows == expected, qPrintable(context));
        for (const auto &[other, count] : stored)
            QCOMPARE(file.values(QStringLiteral("SELECT COUNT(*) FROM 号码表 WHERE CID=?"), { other }),
                QStringList { QString::number(count) });
        stored[draw] = int(rows.size());
    };
    const auto startImport = [&](Drill &drill) {
        QVERIFY(drill.started());
        QVERIFY2(drill.readUntilLine(QStringLiteral("started")), qPrintable(drill.transcript()));
    };
    // Waits until the import's first write reaches the disk, whatever the
    // journal mode: ms after "started", or -1 when it finished first.
    const auto waitForWriting = [&](Drill &drill, const QElapsedTimer &clock) -> qint64 {
        const QString before = fileState(db.path());
        while (clock.elapsed() < 60000) {
            if (fileState(db.path()) != before)
                return clock.elapsed();
            if (drill.poll(QStringLiteral("done")))
                return -1;
            QThread::msleep(1);
        }
        return -1;
    };
    const auto arguments = [&](qint64 draw) {
        return QStringList { QStringLiteral("import"), db.path(), QString::number(draw), csvPath };
    };

    // Killed soon after it began: still reading the file.
    {
        Drill drill(arguments(draws[0]));
        startImport(drill);
        if (QTest::currentTestFailed())
            return;
        QThread::msleep(ulong(m_random.bounded(20)));
        drill.kill();
        QVERIFY(drill.killedBySignal());
        checkAfterKill(draws[0], QStringLiteral("killed soon after the start\n") + drill.transcript());
        if (QTest::currentTestFailed())
            return;
    }

    // A whole import on the same file, timed: how long reading and writing
    // take decides where the next kills fall.
    qint64 total = 0;
    qint64 writing = 0;
    {
        Drill drill(arguments(draws[1]));
        startImport(drill);
        if (QTest::currentTestFailed())
            return;
        QElapsedTimer clock;
        clock.start();
        const qint64 writeStart = waitForWriting(drill, clock);
        QVERIFY2(
            drill.hasLine(QStringLiteral("done")) || drill.readUntilLine(QStringLiteral("done"), 1, 60000),
            qPrintable(drill.transcript()));
        total = clock.elapsed();
        writing = writeStart < 0 ? total / 2 : total - writeStart;
        QCOMPARE(drill.lines().last(), QStringLiteral("done\t%1").arg(Rows));
        drill.kill();
        checkAfterKill(draws[1], drill.transcript());
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(stored[draws[1]], Rows);
        qInfo("an import of %d rows took %lld ms, %lld ms of it writing", Rows, total, writing);
    }

    // Killed while it writes: the transaction is open and, once the page
    // cache spills, part of it is in the file itself. The second time the
    // program, not this test, is the first to open what the kill left.
    const auto killWhileWriting = [&](qint64 draw) {
        const qint64 waitMs = m_random.bounded(std::max<qint64>(1, writing));
        Drill drill(arguments(draw));
        startImport(drill);
        if (QTest::currentTestFailed())
            return QString();
        QElapsedTimer clock;
        clock.start();
        waitForWriting(drill, clock);
        QThread::msleep(ulong(waitMs));
        drill.kill();
        const bool hot = QFile::exists(db.path() + QStringLiteral("-journal"));
        return QStringLiteral("killed %1 ms into writing%2\n")
                   .arg(waitMs)
                   .arg(hot ? QStringLiteral(", hot journal left") : QString())
            + drill.transcript();
    };
    {
        const QString context = killWhileWriting(draws[2]);
        if (QTest::currentTestFailed())
            return;
        qInfo("%s", qPrintable(context.section(QLatin1Char('\n'), 0, 0)));
        checkAfterKill(draws[2], context);
        if (QTest::currentTestFailed())
            return;
    }

    // Killed at any moment of the whole import.
    {
        const qint64 waitMs = m_random.bounded(std::max<qint64>(1, total));
        Drill drill(arguments(draws[3]));
        startImport(drill);
        if (QTest::currentTestFailed())
            return;
        QThread::msleep(ulong(waitMs));
        drill.kill();
        checkAfterKill(
            draws[3], QStringLiteral("killed %1 ms after the start\n").arg(waitMs) + drill.transcript());
        if (QTest::currentTestFailed())
            return;
    }

    const QString lastKill = killWhileWriting(draws[4]);
    if (QTest::currentTestFailed())
        return;
    qInfo("%s", qPrintable(lastKill.section(QLatin1Char('\n'), 0, 0)));
    {
        const QString small = QDir(db.folder()).filePath(QStringLiteral("small.csv"));
        QFile csv(small);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write((row(1) + QStringLiteral("\r\n") + row(2) + QStringLiteral("\r\n") + row(3)).toUtf8());
        csv.close();
        Drill drill({ QStringLiteral("import"), db.path(), QString::number(draws[5]), small });
        QVERIFY(drill.started());
        QVERIFY2(drill.readUntilLine(QStringLiteral("done")), qPrintable(drill.transcript()));
        QCOMPARE(drill.lines().last(), QStringLiteral("done\t3"));
        drill.kill();
    }
    checkAfterKill(draws[4], lastKill);
    if (QTest::currentTestFailed())
        return;
    FileCheck file(db.path());
    QCOMPARE(imported(file, draws[5]), expected.mid(0, 3));
}

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
