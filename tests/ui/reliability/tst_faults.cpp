#include "common/prompts.h"
#include "console/fset.h"
#include "console/modi.h"
#include "console/modicon.h"
#include "console/startup.h"
#include "data/database.h"
#include "data/schema.h"
#include "draw/drawsession.h"
#include "drawscreen/enterdraw.h"
#include "drawscreen/mf.h"
#include "grid/entrantgrid.h"
#include "grid/gridmodel.h"
#include "grid/gridops.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

using namespace tombolix;
using namespace Qt::StringLiterals;

namespace {

// Windows keeps a file that is open from being deleted or replaced: there a
// database cannot go from under the program that way.
#ifdef Q_OS_WIN
constexpr bool OpenFilesCanGo = false;
#else
constexpr bool OpenFilesCanGo = true;
#endif

enum class Fault
{
    Deleted,
    ReadOnly,
    Locked,
    Full
};

const QString ConnectionFailed = u"无法建立数据库连接！"_s;
const QString EditorSaveFailed = u"保存失败，请检查数据库！"_s;
const QString ResultSaveFailed = u"抽奖结果保存失败（数据库无法写入），本轮不算。请检查数据库后再抽。"_s;
// The board's statement is long; its start is what tells it apart.
const QString BoardReadFailed = u"数据库打开错误(SELECT 结果表.*"_s;

// A statement run on the file through a connection of its own, which sees
// what really reached the disk rather than what the program's connection
// believes. Read-only unless told otherwise; it never creates the file.
QList<QVariantList> onDisk(const QString &path, const QString &sql, bool write = false)
{
    const QString name = u"inspect-"_s + QUuid::createUuid().toString(QUuid::Id128);
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        if (!write)
            db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql)) {
                while (query.next()) {
                    QVariantList row;
                    for (int i = 0; i < query.record().count(); ++i)
                        row << query.value(i);
                    rows << row;
                }
            } else {
                rows << QVariantList { u"failed: "_s + sql };
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

QString integrity(const QString &path)
{
    const QList<QVariantList> rows = onDisk(path, u"PRAGMA integrity_check"_s);
    return rows.size() == 1 ? rows.first().first().toString() : u"%1 rows"_s.arg(rows.size());
}

qint64 countOnDisk(const QString &path, const QString &table, qint64 draw)
{
    const QList<QVariantList> rows
        = onDisk(path, u"SELECT COUNT(*) FROM %1 WHERE CID=%2"_s.arg(table).arg(draw));
    return rows.size() == 1 ? rows.first().first().toLongLong() : -1;
}

// Every row of the five tables: what was stored before a fault must all be
// there after it.
QStringList everything(const QString &path)
{
    QStringList lines;
    for (const QString &table : { u"奖次表"_s, u"奖项表"_s, u"号码表"_s, u"结果表"_s, u"预设表"_s }) {
        for (const QVariantList &row : onDisk(path, u"SELECT * FROM "_s + table + u" ORDER BY rowid"_s)) {
            QStringList cells;
            for (const QVariant &value : row)
                cells << value.toString();
            lines << table + u": "_s + cells.join(u'|');
        }
    }
    return lines;
}

QStringList shortened(const QStringList &messages)
{
    QStringList result;
    for (const QString &message : messages)
        result << (message.startsWith(BoardReadFailed) ? BoardReadFailed : message);
    return result;
}

// Brings one fault about and takes it away again.
class FaultInjector
{
public:
    explicit FaultInjector(const test::TestDatabase &db)
        : m_path(db.path())
        , m_backup(db.folder() + u"/Data.backup"_s)
    { }
    ~FaultInjector() { remove(); }

    bool apply(Fault fault);
    bool remove();

private:
    QString m_path;
    QString m_backup;
    std::optional<Fault> m_active;
};

const QString HolderConnection = u"other-program"_s;

bool FaultInjector::apply(Fault fault)
{
    m_active = fault;
    switch (fault) {
    case Fault::Deleted:
        // Someone deletes the file while the program has it open; a copy made
        // beforehand lets it be put back.
        return QFile::copy(m_path, m_backup) && QFile::remove(m_path);
    case Fault::ReadOnly:
        data::setReadOnlyForTesting(true);
        return true;
    case Fault::Locked: {
        // Another program in the middle of a long write.
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, HolderConnection);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=0"_s);
        db.setDatabaseName(m_path);
        if (!db.open())
            return false;
        QSqlQuery begin(db);
        return begin.exec(u"BEGIN EXCLUSIVE"_s);
    }
    case Fault::Full: {
        // No room left for a single page more.
        qint64 pages = 0;
        {
            QSqlQuery count(u"PRAGMA page_count"_s, data::connection());
            if (!count.next())
                return false;
            pages = count.value(0).toLongLong();
        }
        data::setPageLimitForTesting(pages);
        return true;
    }
    }
    return false;
}

bool FaultInjector::remove()
{
    if (!m_active)
        return true;
    const Fault fault = *m_active;
    m_active.reset();
    switch (fault) {
    case Fault::Deleted:
        // Copied back: the same rows in a file that is not the one opened.
        return QFile::copy(m_backup, m_path) && QFile::remove(m_backup);
    case Fault::ReadOnly:
        data::setReadOnlyForTesting(false);
        return true;
    case Fault::Locked: {
        bool released = false;
        {
            QSqlDatabase db = QSqlDatabase::database(HolderConnection, false);
            QSqlQuery rollback(db);
            released = rollback.exec(u"ROLLBACK"_s);
            rollback.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(HolderConnection);
        return released;
    }
    case Fault::Full:
        data::setPageLimitForTesting(0);
        return true;
    }
    return false;
}

// Starts the only draw as the console's start button does; whileChoosing runs
// with the chooser open and its list already read.
MF *enterDraw(const std::function<void()> &whileChoosing = {})
{
    QObject choosing; // the looking ends with this function
    test::whenWindowOpens(&choosing, u"选择抽奖设置"_s, [whileChoosing](QWidget *chooser) {
        if (whileChoosing)
            whileChoosing();
        QTest::mouseClick(chooser->findChild<QPushButton *>(u"Com_1"_s), Qt::LeftButton);
    });
    return EnterDraw(nullptr);
}

template<typename T = QLineEdit> T *child(QWidget *window, const QString &name)
{
    T *widget = window->findChild<T *>(name);
    if (!widget)
        qFatal("no child %s", qPrintable(name));
    return widget;
}

void click(QWidget *window, const QString &name)
{
    QTest::mouseClick(child<QPushButton>(window, name), Qt::LeftButton);
}

void addFaultColumn()
{
    QTest::addColumn<Fault>("fault");
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestDatabaseFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void deletedOrReplacedFileIsNoticed();
    void enteringADraw_data();
    void enteringADraw();
    void aFullDiskAtEntryDrawsNoOne();
    void recordingWinners_data();
    void recordingWinners();
    void theStageOutlivesAFileThatWentAway();
    void noFileIsToldOnceInTheConsole();
    void savingEditors_data();
    void savingEditors();
    void importingEntrants_data();
    void importingEntrants();
    void theStageSaysWhatItCouldNotKeep();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
    FaultInjector *m_faults = nullptr;
};

void TestDatabaseFaults::init()
{
    m_db = new test::TestDatabase;
    QVERIFY(m_db->isValid());
    m_prompts = new ScopedScriptedPrompts;
    m_faults = new FaultInjector(*m_db);
    // Every write under the lock waits this long before it gives up.
    data::setBusyTimeout(100);
}

void TestDatabaseFaults::cleanup()
{
    // Deleting a draw screen deletes its own top-level children, so the list
    // is taken as guarded pointers first.
    QList<QPointer<QWidget>> windows;
    for (QWidget *window : QApplication::topLevelWidgets())
        windows << window;
    for (const QPointer<QWidget> &window : windows) {
        if (qobject_cast<MF *>(window.data()))
            delete window.data();
    }
    delete m_faults;
    data::setBusyTimeout(5000);
    delete m_prompts;
    delete m_db;
}

void TestDatabaseFaults::deletedOrReplacedFileIsNoticed()
{
    if (!OpenFilesCanGo)
        QSKIP("Windows keeps an open database from being deleted or replaced");
    const QString path = m_db->path();
    QVERIFY(data::ExecuteSql(u"INSERT INTO 奖次表 (抽奖内容) VALUES ('甲')"_s));

    // A transaction under way when the file goes must not report it stored.
    {
        data::Transaction transaction;
        QVERIFY(transaction.isActive());
        QVERIFY(data::ExecuteSql(u"INSERT INTO 奖次表 (抽奖内容) VALUES ('乙')"_s));
        QVERIFY(QFile::remove(path));
        QVERIFY(!transaction.commit());
    }
    QVERIFY(!data::ExecuteSql(u"INSERT INTO 奖次表 (抽奖内容) VALUES ('丙')"_s));
    QCOMPARE(m_prompts->messages(), QStringList { ConnectionFailed });
    QVERIFY(!QFile::exists(path));

    // Rebuilt under the same name, the new file is the one written.
    QVERIFY(schema::createEmptyDatabase(path));
    QVERIFY(data::ExecuteSql(u"INSERT INTO 奖次表 (抽奖内容) VALUES ('丁')"_s));
    QCOMPARE(onDisk(path, u"SELECT 抽奖内容 FROM 奖次表"_s), QList<QVariantList> { { u"丁"_s } });

    // A file moved over it while open is told from it by its inode, though the
    // name never went missing.
    const QString other = m_db->folder() + u"/other.mdb"_s;
    QVERIFY(schema::createEmptyDatabase(other));
    QVERIFY(onDisk(other, u"INSERT INTO 奖次表 (抽奖内容) VALUES ('戊')"_s, true).isEmpty());
    QCOMPARE(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    QVERIFY(data::ExecuteSql(u"INSERT INTO 奖次表 (抽奖内容) VALUES ('己')"_s));
    QCOMPARE(onDisk(path, u"SELECT 抽奖内容 FROM 奖次表 ORDER BY ID"_s),
        (QList<QVariantList> { { u"戊"_s }, { u"己"_s } }));
    QCOMPARE(m_prompts->messages(), QStringList { ConnectionFailed });
    QCOMPARE(integrity(path), u"ok"_s);
}

// Started with no database at all, the console says so in one clear box;
// clicking through its tabs, each refreshing several grids, adds none.
void TestDatabaseFaults::noFileIsToldOnceInTheConsole()
{
    data::setDatabasePath(m_db->folder() + u"/没有的/Data.mdb"_s);
    const std::unique_ptr<FSet> console = StartConsole(QDateTime::currentDateTime());
    QVERIFY(console);
    console->show();
    QTabBar *tabs = console->tabs()->tabBar();
    for (int round = 0; round < 2; ++round) {
        for (int tab = 0; tab < tabs->count(); ++tab)
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
    }
    QCOMPARE(m_prompts->messages(), QStringList { ConnectionFailed });
    data::setDatabasePath(m_db->path());
}

void TestDatabaseFaults::enteringADraw_data()
{
    addFaultColumn();
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("opens");

    const QString earlier = u"重新开始将删除这2条抽奖结果，是否继续？"_s;
    if (OpenFilesCanGo)
        QTest::newRow("deleted") << Fault::Deleted << QStringList() << QStringList { ConnectionFailed }
                                 << false;
    QTest::newRow("read-only")
        << Fault::ReadOnly << QStringList { earlier }
        << QStringList { u"公证承诺无法保存到数据库（磁盘可能已满，或文件只读、被锁定），抽奖未开始，请检查数据库！"_s }
        << false;
    // Another program's long write keeps none from reading (the file is in
    // WAL mode): only the writes fail, as on a read-only file.
    QTest::newRow("locked")
        << Fault::Locked << QStringList { earlier }
        << QStringList { u"公证承诺无法保存到数据库（磁盘可能已满，或文件只读、被锁定），抽奖未开始，请检查数据库！"_s }
        << false;
    // Deleting rows takes no new page, so a full disk still lets a draw start
    // afresh, once the operator agrees to go on without the backup it has no
    // room for.
    QTest::newRow("full") << Fault::Full << QStringList { earlier, u"数据库备份失败，是否仍然继续？"_s }
                          << QStringList() << true;
}

void TestDatabaseFaults::enteringADraw()
{
    QFETCH(Fault, fault);
    QFETCH(QStringList, questions);
    QFETCH(QStringList, messages);
    QFETCH(bool, opens);

    const qint64 draw = m_db->addDraw(u"年会"_s);
    const qint64 award = m_db->addAward(draw, 1, u"一等奖"_s, 3, 1);
    m_db->addEntrants(draw, 5);
    for (const QString &number : { u"1"_s, u"2"_s })
        QVERIFY(data::ExecuteSql(
            u"INSERT INTO 结果表 (CID, WID, 号码) VALUES (?, ?, ?)"_s, { draw, award, number }));
    const QStringList before = everything(m_db->path());

    m_prompts->queueChoice(u"重新开始"_s);
    m_prompts->queueAnswer(true); // yes, start afresh
    m_prompts->queueAnswer(true); // and without a backup, if it cannot be made
    bool applied = false;
    QPointer<MF> screen = enterDraw([&] { applied = m_faults->apply(fault); });
    QVERIFY(applied);
    QCOMPARE(m_prompts->questions(), questions);
    QCOMPARE(m_prompts->messages(), messages);
    QCOMPARE(!screen.isNull(), opens);
    QVERIFY(m_faults->remove());
    QCOMPARE(integrity(m_db->path()), u"ok"_s);
    if (opens) {
        QCOMPARE(countOnDisk(m_db->path(), u"结果表"_s, draw), qint64(0));
        return;
    }
    QCOMPARE(everything(m_db->path()), before);

    m_prompts->clear();
    m_prompts->queueChoice(u"重新开始"_s);
    m_prompts->queueAnswer(true);
    screen = enterDraw();
    QVERIFY(screen);
    QCOMPARE(m_prompts->messages(), QStringList());
    QCOMPARE(countOnDisk(m_db->path(), u"结果表"_s, draw), qint64(0));
}

// A disk with no room for the commitment (five thousand entrants' list kept
// with it): a message, no stage, no round drawn from anything else; once
// there is room, the draw is entered as ever.
void TestDatabaseFaults::aFullDiskAtEntryDrawsNoOne()
{
    const qint64 draw = m_db->addDraw(u"年会"_s);
    m_db->addAward(draw, 1, u"一等奖"_s, 3, 1);
    m_db->addEntrants(draw, 5000);
    QVERIFY(m_faults->apply(Fault::Full));
    QPointer<MF> screen = enterDraw();
    QVERIFY(!screen);
    QCOMPARE(m_prompts->messages(),
        QStringList {
            u"公证承诺无法保存到数据库（磁盘可能已满，或文件只读、被锁定），抽奖未开始，请检查数据库！"_s });
    QVERIFY(m_faults->remove());
    QCOMPARE(integrity(m_db->path()), u"ok"_s);
    QCOMPARE(countOnDisk(m_db->path(), u"公证记录表"_s, draw), qint64(0));
    m_prompts->clear();
    screen = enterDraw();
    QVERIFY(screen);
    QVERIFY(m_prompts->messages().isEmpty());
    screen->close();
}

void TestDatabaseFaults::recordingWinners_data()
{
    addFaultColumn();
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("readable");

    // When nothing can be read either, the board cannot be rebuilt: there is
    // no file to read it from.
    if (OpenFilesCanGo)
        QTest::newRow("deleted") << Fault::Deleted << QStringList { ConnectionFailed } << false;
    QTest::newRow("read-only") << Fault::ReadOnly << QStringList {} << true;
    QTest::newRow("locked") << Fault::Locked << QStringList {} << true; // the board is read all the same
    QTest::newRow("full") << Fault::Full << QStringList {} << true;
}

void TestDatabaseFaults::recordingWinners()
{
    QFETCH(Fault, fault);
    QFETCH(QStringList, messages);
    QFETCH(bool, readable);

    const qint64 draw = m_db->addDraw(u"年会"_s);
    m_db->addAward(draw, 1, u"一等奖"_s, 6, 2);
    // Names longer than a page: every result row needs room a full disk lacks.
    for (int i = 1; i <= 10; ++i)
        m_db->addEntrant(draw, QString::number(1000 + i), u"员工%1"_s.arg(i) + QString(2000, u'名'));
    draw::DrawSession session(std::make_unique<draw::RandomSource>(7));
    test::startDraw(session, draw);
    session.beginRound();
    session.RollTick();
    QCOMPARE(session.StopAndRecord(true, false).recorded, 2);
    const QStringList before = everything(m_db->path());

    QVERIFY(m_faults->apply(fault));
    // Once one row fails, SQLite may have rolled back the round's
    // transaction: no winner of the round may slip into the table on its own.
    session.beginRound();
    session.RollTick();
    const draw::StopOutcome lost = session.StopAndRecord(true, false);
    QCOMPARE(lost.recorded, 0);
    QCOMPARE(lost.problem, ResultSaveFailed); // the screen shows it
    QVERIFY(lost.numberText.isEmpty());
    QCOMPARE(shortened(m_prompts->messages()), messages);
    // Winners not stored stay in the draw, and the award still wants them.
    QCOMPARE(session.pool().eligibleCount(), 8);
    QCOMPARE(session.awardState().Remaining, qint64(4));
    if (readable)
        QCOMPARE(lost.board.text.count(u"(员工"_s), 2);

    QVERIFY(m_faults->remove());
    QCOMPARE(integrity(m_db->path()), u"ok"_s);
    QCOMPARE(everything(m_db->path()), before);

    m_prompts->clear();
    session.beginRound();
    session.RollTick();
    const draw::StopOutcome stored = session.StopAndRecord(true, false);
    QCOMPARE(stored.recorded, 2);
    QCOMPARE(m_prompts->messages(), QStringList());
    QCOMPARE(stored.board.text.count(u"(员工"_s), 4);
    QCOMPARE(countOnDisk(m_db->path(), u"结果表"_s, draw), qint64(4));
}

// A stick pulled out mid-draw: every activation of the stage reads the
// draw's fonts and fails. It is told once, not once per activation (the box's
// closing activates the stage again); 结束抽奖 stays in reach, and once the
// file is back the draw goes on.
void TestDatabaseFaults::theStageOutlivesAFileThatWentAway()
{
    if (!OpenFilesCanGo)
        QSKIP("Windows keeps an open database from being deleted");
    const qint64 draw = m_db->addDraw(u"年会"_s);
    m_db->addAward(draw, 1, u"一等奖"_s, 6, 1);
    m_db->addEntrants(draw, 10);
    MF screen(draw);
    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    QVERIFY(m_faults->apply(Fault::Deleted));
    for (int i = 0; i < 20; ++i) {
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&screen, &activate);
    }
    QCOMPARE(m_prompts->messages().size(), 1);
    QVERIFY(m_faults->remove());
    m_prompts->clear();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&screen, &activate);
    QTest::mouseClick(screen.canvas(), Qt::LeftButton);
    QTest::qWait(30);
    QTest::mouseClick(screen.canvas(), Qt::LeftButton);
    QCOMPARE(countOnDisk(m_db->path(), u"结果表"_s, draw), qint64(1));
    QCOMPARE(m_prompts->messages(), QStringList());
    QTest::mouseClick(screen.findChild<QWidget *>(u"lEnd"_s), Qt::LeftButton);
    QVERIFY(!screen.isVisible());
}

void TestDatabaseFaults::savingEditors_data()
{
    addFaultColumn();
    QTest::addColumn<QStringList>("drawMessages");
    QTest::addColumn<QStringList>("awardMessages");

    // The draw editor reads before it writes; a new award is written at once.
    if (OpenFilesCanGo)
        QTest::newRow("deleted") << Fault::Deleted << QStringList { ConnectionFailed } // told once
                                 << QStringList { EditorSaveFailed };
    QTest::newRow("read-only") << Fault::ReadOnly << QStringList { EditorSaveFailed }
                               << QStringList { EditorSaveFailed };
    QTest::newRow("locked") << Fault::Locked << QStringList { EditorSaveFailed }
                            << QStringList { EditorSaveFailed };
    QTest::newRow("full") << Fault::Full << QStringList { EditorSaveFailed }
                          << QStringList { EditorSaveFailed };
}

void TestDatabaseFaults::savingEditors()
{
    QFETCH(Fault, fault);
    QFETCH(QStringList, drawMessages);
    QFETCH(QStringList, awardMessages);

    const qint64 draw = m_db->addDraw(u"年会"_s);
    m_db->addAward(draw, 1, u"一等奖"_s, 1, 1);
    const QStringList before = everything(m_db->path());

    // Both editors are open and filled in when the fault strikes. The texts
    // are longer than a page, so storing them needs room a full disk lacks.
    const QString name = u"2026年会"_s + QString(2000, u'抽');
    const QString prize = QString(2000, u'礼');
    QPointer<Modi> drawEditor = new Modi;
    drawEditor->show();
    drawEditor->setDrawId(draw);
    child(drawEditor, u"TT_4"_s)->setText(name);
    QPointer<ModiCon> awardEditor = new ModiCon;
    awardEditor->setDrawId(draw);
    awardEditor->show();
    child(awardEditor, u"TT_0"_s)->setText(u"二等奖"_s);
    child(awardEditor, u"TT_1"_s)->setText(u"3"_s);
    child(awardEditor, u"TT_3"_s)->setText(u"1"_s);
    child<QPlainTextEdit>(awardEditor, u"TT_2"_s)->setPlainText(prize);
    QSignalSpy saved(awardEditor.data(), &ModiCon::saved);

    QVERIFY(m_faults->apply(fault));
    click(drawEditor, u"Com_1"_s);
    QCOMPARE(m_prompts->messages(), drawMessages);
    QVERIFY(drawEditor && drawEditor->isVisible());
    m_prompts->clear();
    click(awardEditor, u"Com_1"_s);
    QCOMPARE(m_prompts->messages(), awardMessages);
    QVERIFY(awardEditor && awardEditor->isVisible());
    QCOMPARE(saved.count(), 0);

    QVERIFY(m_faults->remove());
    QCOMPARE(integrity(m_db->path()), u"ok"_s);
    QCOMPARE(everything(m_db->path()), before);

    m_prompts->clear();
    click(drawEditor, u"Com_1"_s);
    click(awardEditor, u"Com_1"_s);
    QCOMPARE(m_prompts->messages(), QStringList());
    QCOMPARE(saved.count(), 1);
    QTRY_VERIFY(drawEditor.isNull() && awardEditor.isNull());
    QCOMPARE(onDisk(m_db->path(), u"SELECT 抽奖内容 FROM 奖次表"_s), QList<QVariantList> { { name } });
    QCOMPARE(onDisk(m_db->path(), u"SELECT 名称, 奖品 FROM 奖项表 ORDER BY ID"_s),
        (QList<QVariantList> { { u"一等奖"_s, QString() }, { u"二等奖"_s, prize } }));
}

void TestDatabaseFaults::importingEntrants_data()
{
    addFaultColumn();
    QTest::addColumn<QStringList>("messages");

    // The import window then says ListSaveFailed for a range not stored.
    if (OpenFilesCanGo)
        QTest::newRow("deleted") << Fault::Deleted << QStringList { ConnectionFailed };
    QTest::newRow("read-only") << Fault::ReadOnly << QStringList {};
    QTest::newRow("locked") << Fault::Locked << QStringList {};
    QTest::newRow("full") << Fault::Full << QStringList {};
}

void TestDatabaseFaults::importingEntrants()
{
    QFETCH(Fault, fault);
    QFETCH(QStringList, messages);

    const qint64 draw = m_db->addDraw(u"年会"_s);
    m_db->addEntrants(draw, 5);
    // Enough rows to need new pages, which a full disk does not have.
    constexpr int Rows = 3000;
    QByteArray text;
    for (int i = 1; i <= Rows; ++i)
        text += u"%1,员工%1\r\n"_s.arg(10000 + i).toUtf8();
    const QString csv = m_db->folder() + u"/名单.csv"_s;
    QFile file(csv);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    grid::GridModel grid;
    grid::SetupGridHeader(grid, { u"ID"_s, u"CID"_s, QString(), u"号码"_s, u"姓名"_s },
        { u"ID"_s, u"CID"_s, u"序号"_s, u"抽奖号码"_s, u"姓名"_s });
    grid.setTag(u"号码表"_s);
    grid.setFixedCols(3);
    const int gridRows = grid.Rows();
    const QStringList before = everything(m_db->path());
    const QStringList specs { u"A"_s, u"B"_s };

    QVERIFY(m_faults->apply(fault));
    const grid::ImportResult failed = grid::ImportEntrants(grid, csv, QString(), 1, Rows, specs, draw);
    QCOMPARE(failed.error, grid::ImportResult::NotStored);
    QCOMPARE(failed.stored, 0);
    QCOMPARE(grid.Rows(), gridRows);
    QCOMPARE(m_prompts->messages(), messages);

    QVERIFY(m_faults->remove());
    QCOMPARE(integrity(m_db->path()), u"ok"_s);
    QCOMPARE(everything(m_db->path()), before);

    m_prompts->clear();
    const grid::ImportResult imported = grid::ImportEntrants(grid, csv, QString(), 1, Rows, specs, draw);
    QCOMPARE(imported.error, 0);
    QCOMPARE(imported.stored, Rows);
    QCOMPARE(m_prompts->messages(), QStringList());
    QCOMPARE(countOnDisk(m_db->path(), u"号码表"_s, draw), qint64(5 + Rows));
}

// A font or frame chosen on the stage that the database refuses stays on
// show, and the operator hears it was not kept: before, the frame fell back
// to the stored one without a word.
void TestDatabaseFaults::theStageSaysWhatItCouldNotKeep()
{
    const qint64 draw = m_db->addDraw(u"年会"_s);
    m_db->addAward(draw, 1, u"一等奖"_s, 1, 1);
    m_db->addEntrants(draw, 3);
    MF screen(draw);
    screen.show();
    QVERIFY(m_faults->apply(Fault::ReadOnly));
    FontChoice choice { QFont(u"Serif"_s), 255 };
    choice.font.setPointSizeF(33);
    m_prompts->queueFont(choice);
    QVERIFY(screen.chooseFont(MF::Element::Title));
    QCOMPARE(screen.elementFont(MF::Element::Title).font.pointSizeF(), 33.0);
    m_prompts->queueFont(choice);
    QVERIFY(screen.chooseBannerFont());
    const float wide = screen.frameLayout().Width + 1500;
    screen.frameLayout().Width = wide;
    screen.saveFrameLayout();
    QCOMPARE(screen.frameLayout().Width, wide);
    QCOMPARE(m_prompts->messages(), QStringList(3, EditorSaveFailed));
    QVERIFY(m_faults->remove());
}

QTEST_MAIN(TestDatabaseFaults)
#include "tst_faults.moc"
