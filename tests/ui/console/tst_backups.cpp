#include "common/gridview.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "console/checkdialog.h"
#include "console/fset.h"
#include "console/restoredialog.h"
#include "console/startup.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/databasefile.h"
#include "data/drawstore.h"
#include "data/schema.h"
#include "drawscreen/delaward.h"
#include "drawscreen/mf.h"
#include "grid/gridmodel.h"
#include "support/testsupport.h"
#include "transfer/inputmap.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <QtEndian>
#include <memory>

using namespace tombolix;
using test::openWindow;

namespace {

const QString BackupFailed = QStringLiteral("数据库备份失败，是否仍然继续？");
const QString NotADatabase = QStringLiteral("所选文件不是有效的抽奖数据库，数据库未作改动！");
const QString ReplaceQuestion = QStringLiteral("恢复数据库将用所选备份替换现有的全部数据，是否继续？");

// Scripted answers that also keep the name the save dialog suggested, and
// can let the event loop run while a question is open, as a real one does.
class TestPrompts : public ScopedScriptedPrompts
{
public:
    QString suggested;
    bool yieldOnQuestions = false;

    QString saveFileName(const QString &filter, const QString &name) override
    {
        suggested = name;
        return ScriptedPrompts::saveFileName(filter, name);
    }
    bool askYesNo(const QString &text, DefaultAnswer defaultAnswer) override
    {
        if (yieldOnQuestions)
            QCoreApplication::processEvents();
        return ScriptedPrompts::askYesNo(text, defaultAnswer);
    }
};

// Every row of the five tables of a file, read on a read-only connection of
// its own: what is really in the file, not what the program believes.
QStringList rowsIn(const QString &path)
{
    const QString name = QStringLiteral("peek-") + QUuid::createUuid().toString(QUuid::Id128);
    QStringList lines;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.setDatabaseName(path);
        if (!db.open())
            return { QStringLiteral("cannot open ") + path };
        for (const char *table : { "奖次表", "奖项表", "号码表", "结果表", "预设表" }) {
            QSqlQuery query(db);
            if (!query.exec(
                    QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QString::fromUtf8(table)))) {
                lines << QStringLiteral("no table ") + QString::fromUtf8(table);
                continue;
            }
            while (query.next()) {
                QStringList cells;
                for (int i = 0; i < query.record().count(); ++i)
                    cells << query.value(i).toString();
                lines << QString::fromUtf8(table) + QStringLiteral(": ") + cells.join(QLatin1Char('|'));
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return lines;
}

// As a full disk would: room for `extra` pages more, none for a copy.
void fillTheDisk(qint64 extra = 0)
{
    QSqlQuery count(QStringLiteral("PRAGMA page_count"), data::connection());
    QVERIFY(count.next());
    const qint64 pages = count.value(0).toLongLong();
    count.finish();
    data::setPageLimitForTesting(pages + extra);
}

QStringList reasons()
{
    QStringList listed;
    for (const data::BackupFile &backup : data::ListBackups())
        listed << backup.reason;
    return listed;
}

void click(QWidget *window, const QString &name)
{
    QVERIFY2(window, qPrintable(name));
    auto *button = window->findChild<QPushButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

void clickCell(grid::GridView *view, int modelRow, int col)
{
    const QRect cell = view->visualRect(view->model()->index(modelRow, col));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
}

enum class Action
{
    DeleteDraws,
    DeleteAwards,
    DeleteEntrants,
    DeleteResults,
    DeleteDuplicates,
    Withdraw,
    Import,
};

// The windows one action was carried out in, and the dialog it leaves open.
struct Scene
{
    std::unique_ptr<FSet> console;
    std::unique_ptr<MF> screen;
    QPointer<QWidget> dialog;

    ~Scene()
    {
        if (dialog)
            dialog->close();
    }
};

} // namespace

Q_DECLARE_METATYPE(Action)

class TestBackups : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void destructiveActionsBackUpFirst_data();
    void destructiveActionsBackUpFirst();
    void aSecondImportPressDuringTheQuestionImportsOnce();
    void startUpBacksUpOncePerDay();
    void anOlderFileIsUpgradedQuietly();
    void aFileThatIsNotOursIsLeftAlone_data();
    void aFileThatIsNotOursIsLeftAlone();
    void aFailedUpgradeLeavesTheFileAsItWas();
    void backingUpByHand();
    void anOpenEditorLocksBackupAndRestore();
    void restoringABackup();
    void restoringRefusesWhatIsNoDatabase_data();
    void restoringRefusesWhatIsNoDatabase();

private:
    // Carries the action out through its windows. `go`: the operator says
    // yes to the action's own questions, or presses its OK; otherwise the
    // last question is answered No, or the dialog cancelled.
    void perform(Scene &scene, Action action, bool go);

    test::TestDatabase *m_db = nullptr;
    TestPrompts *m_prompts = nullptr;
    qint64 m_draw = 0;
    QString m_csv;
};

void TestBackups::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new TestPrompts;
}

void TestBackups::cleanup()
{
    data::setPageLimitForTesting(0);
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible())
            window->close();
    }
    delete m_prompts;
    delete m_db;
}

void TestBackups::perform(Scene &scene, Action action, bool go)
{
    const int questions = action == Action::DeleteAwards ? 2 : 1;
    auto answer = [&] {
        for (int i = 1; i < questions; ++i)
            m_prompts->queueAnswer(true);
        m_prompts->queueAnswer(go);
    };
    if (action == Action::Withdraw) {
        scene.screen = std::make_unique<MF>(m_draw);
        scene.screen->show();
        QTest::mouseClick(scene.screen->findChild<QLabel *>(QStringLiteral("AwardUndo")), Qt::LeftButton);
        auto *dialog = qobject_cast<DelAward *>(openWindow(DelAward::caption()));
        QVERIFY(dialog);
        scene.dialog = dialog;
        auto *view = dialog->findChild<grid::GridView *>(QStringLiteral("MSF"));
        clickCell(view, 0, 3); // ticks the first result
        QCOMPARE(dialog->grid()->TextMatrix(dialog->grid()->FixedRows(), 3), QStringLiteral("√"));
        click(dialog, go ? QStringLiteral("Com_0") : QStringLiteral("Com_1"));
        return;
    }

    scene.console = std::make_unique<FSet>();
    FSet &console = *scene.console;
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    const int tab = action == Action::DeleteDraws ? 0
        : action == Action::DeleteAwards          ? 1
        : action == Action::DeleteResults         ? 3
                                                  : 2;
    console.tabs()->setCurrentIndex(tab);
    switch (action) {
    case Action::DeleteDraws:
    case Action::DeleteAwards:
    case Action::DeleteEntrants:
    case Action::DeleteResults:
        clickCell(console.gridView(tab), 0, 2);
        answer();
        click(&console, QStringLiteral("Com_%1").arg(tab == 0 ? 2 : tab == 1 ? 12 : tab == 2 ? 23 : 30));
        break;
    case Action::DeleteDuplicates:
        click(&console, QStringLiteral("Com_21"));
        scene.dialog = openWindow(QStringLiteral("检查重复"));
        answer();
        click(scene.dialog, QStringLiteral("Delete"));
        break;
    case Action::Import: {
        m_prompts->queueFileName(m_csv);
        click(&console, QStringLiteral("Com_20"));
        auto *map = qobject_cast<InputMap *>(openWindow(InputMap::caption()));
        QVERIFY(map);
        scene.dialog = map;
        map->setSpec(0, QStringLiteral("A"));
        map->setSpec(1, QStringLiteral("B"));
        map->findChild<QLineEdit *>(QStringLiteral("T_0"))->setText(QStringLiteral("1"));
        map->findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(QStringLiteral("2"));
        click(map, go ? QStringLiteral("Com_0") : QStringLiteral("Com_1"));
        break;
    }
    case Action::Withdraw:
        break;
    }
}

void TestBackups::destructiveActionsBackUpFirst_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("staysOpen"); // the dialog, when the operator does not go on without a backup

    QTest::newRow("删除设置") << Action::DeleteDraws << data::backupreason::DeleteDraws << false;
    QTest::newRow("删除奖项") << Action::DeleteAwards << data::backupreason::DeleteAwards << false;
    QTest::newRow("删除数据 entrants")
        << Action::DeleteEntrants << data::backupreason::DeleteEntrants << false;
    QTest::newRow("删除数据 results") << Action::DeleteResults << data::backupreason::DeleteResults << false;
    QTest::newRow("检查重复") << Action::DeleteDuplicates << data::backupreason::DeleteDuplicates << true;
    QTest::newRow("删除无效获奖") << Action::Withdraw << data::backupreason::Withdraw << true;
    QTest::newRow("导入数据") << Action::Import << data::backupreason::Import << true;
}

void TestBackups::destructiveActionsBackUpFirst()
{
    QFETCH(Action, action);
    QFETCH(QString, reason);
    QFETCH(bool, staysOpen);

    const qint64 other = m_db->addDraw(QStringLiteral("旧抽奖"));
    m_db->addAward(other, 1, QStringLiteral("纪念奖"), 1, 1);
    m_db->addEntrants(other, 2);
    m_draw = m_db->addDraw(QStringLiteral("年会")); // the newest: every tab shows it
    const qint64 award = m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 3, 1);
    m_db->addAward(m_draw, 2, QStringLiteral("二等奖"), 2, 1);
    m_db->addEntrant(m_draw, QStringLiteral("101"), QStringLiteral("张三"));
    m_db->addEntrant(m_draw, QStringLiteral("102"), QStringLiteral("李四"));
    m_db->addEntrant(m_draw, QStringLiteral("101"), QStringLiteral("张三"));
    QCOMPARE(test::holdRounds(m_draw).size(), size_t(1)); // one winner of 一等奖, in the record
    QVERIFY(data::ExecuteSql(
        QStringLiteral("INSERT INTO 预设表 (PID, AID, Code) VALUES (?, ?, '1')"), { m_draw, award }));
    m_csv = QDir(m_db->folder()).filePath(QStringLiteral("名单.csv"));
    QVERIFY(test::writeFile(m_csv, "201,新人甲\r\n202,新人乙\r\n"));
    const QStringList before = rowsIn(m_db->path());

    // The operator's own No, or Cancel: no backup, nothing changed.
    {
        Scene scene;
        perform(scene, action, false);
        QVERIFY(!m_prompts->questions().contains(BackupFailed));
        QVERIFY(data::ListBackups().isEmpty());
        QCOMPARE(rowsIn(m_db->path()), before);
    }

    // No room for the backup: the question comes, and its 否 changes nothing.
    m_prompts->clear();
    fillTheDisk();
    {
        Scene scene;
        perform(scene, action, true);
        QCOMPARE(m_prompts->questions().value(m_prompts->questions().size() - 1), BackupFailed);
        QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
        QCOMPARE(m_prompts->messages(), QStringList());
        QCOMPARE(bool(scene.dialog && scene.dialog->isVisible()), staysOpen);
        if (scene.console && scene.console->tabs()->currentIndex() == 2)
            QCOMPARE(scene.console->grid(2)->Rows() - 2, 3); // no row left the grid, none came in
    }
    data::setPageLimitForTesting(0);
    QVERIFY(data::ListBackups().isEmpty());
    QCOMPARE(rowsIn(m_db->path()), before);

    // Going on: one backup, named for the action, holding the rows as they were.
    m_prompts->clear();
    {
        Scene scene;
        perform(scene, action, true);
        QVERIFY(!m_prompts->questions().contains(BackupFailed));
        QCOMPARE(m_prompts->messages(),
            action == Action::Import ? QStringList { QStringLiteral("已导入2条记录。") } : QStringList());
    }
    QCOMPARE(reasons(), QStringList { reason });
    QCOMPARE(rowsIn(data::ListBackups().first().path), before);
    QVERIFY(rowsIn(m_db->path()) != before);
}

void TestBackups::aSecondImportPressDuringTheQuestionImportsOnce()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const QString csv = QDir(m_db->folder()).filePath(QStringLiteral("名单.csv"));
    QVERIFY(test::writeFile(csv, "201,新人甲\r\n202,新人乙\r\n"));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    m_prompts->queueFileName(csv);
    click(&console, QStringLiteral("Com_20"));
    auto *map = qobject_cast<InputMap *>(openWindow(InputMap::caption()));
    QVERIFY(map);
    map->setSpec(0, QStringLiteral("A"));
    map->setSpec(1, QStringLiteral("B"));
    map->findChild<QLineEdit *>(QStringLiteral("T_0"))->setText(QStringLiteral("1"));
    map->findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(QStringLiteral("2"));

    // Room for the rows, not for a copy; the second press arrives while the
    // backup question is open.
    fillTheDisk(8);
    m_prompts->yieldOnQuestions = true;
    m_prompts->queueAnswer(true);
    QPointer<QPushButton> ok = map->findChild<QPushButton *>(QStringLiteral("Com_0"));
    QTimer::singleShot(0, [ok] {
        if (ok)
            QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_VERIFY(!openWindow(InputMap::caption()));
    QCOMPARE(m_prompts->questions(), QStringList { BackupFailed });
    QCOMPARE(test::storedEntrants(draw),
        (QStringList { QStringLiteral("201|新人甲"), QStringLiteral("202|新人乙") }));
    QCOMPARE(console.grid(2)->Rows() - 2, 2);
}

void TestBackups::startUpBacksUpOncePerDay()
{
    m_db->addEntrants(m_db->addDraw(QStringLiteral("年会")), 3);
    const QDateTime morning(QDate(2026, 12, 8), QTime(8, 30));
    QVERIFY(StartConsole(morning));
    QCOMPARE(reasons(), QStringList { data::backupreason::Daily });
    QVERIFY(StartConsole(morning.addSecs(4 * 3600)));
    QCOMPARE(data::ListBackups().size(), 1);
    QCOMPARE(rowsIn(data::ListBackups().first().path), rowsIn(m_db->path()));

    // A failing backup on the next day asks; 否 opens no console.
    fillTheDisk();
    QVERIFY(!StartConsole(morning.addDays(1)));
    QCOMPARE(m_prompts->questions(), QStringList { BackupFailed });
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    m_prompts->queueAnswer(true);
    QVERIFY(StartConsole(morning.addDays(1)));
    QCOMPARE(data::ListBackups().size(), 1);
    QVERIFY(m_prompts->messages().isEmpty());
}

namespace {

// A database as version 1.12 of the program kept it (schema version 0): a
// draw 2025年会 of three entrants and an award of two, one of them drawn.
const QString Landed = QStringLiteral(TOMBOLIX_TEST_DATA "/Data-1.12.mdb");

// Every file in the folder, with its bytes.
QMap<QString, QByteArray> folderContents(const QString &folder)
{
    QMap<QString, QByteArray> contents;
    const QFileInfoList entries
        = QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo &entry : entries)
        contents[entry.fileName()]
            = entry.isFile() ? test::readFile(entry.filePath()) : QByteArray("<folder>");
    return contents;
}

int fileVersion(const QString &path)
{
    const data::DatabaseSummary summary = data::InspectDatabase(path, false);
    return summary.valid ? summary.version : -1;
}

} // namespace

void TestBackups::anOlderFileIsUpgradedQuietly()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Data.mdb"));
    QVERIFY(QFile::copy(Landed, path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    data::setDatabasePath(path);
    // The banner's font that version kept in the user's settings.
    WriteStoredDrawSetting(1, QStringLiteral("L3"), QStringLiteral("黑体】【√】【】【40】【】【】【255"));
    const QStringList before = rowsIn(path);

    StartRefusal refusal = StartRefusal::Declined;
    const std::unique_ptr<FSet> console = StartConsole(QDateTime::currentDateTime(), &refusal);
    QVERIFY(console);
    QCOMPARE(refusal, StartRefusal::None);
    QVERIFY(m_prompts->shown().isEmpty()); // nothing to say when all goes well
    QCOMPARE(fileVersion(path), schema::CurrentVersion);
    QCOMPARE(rowsIn(path), before);
    QCOMPARE(reasons(), (QStringList { data::backupreason::Daily, data::backupreason::Upgrade }));
    QCOMPARE(fileVersion(data::ListBackups().constLast().path), 0); // the file as it was
    // The setting travels with the file now, and the user's settings forget it.
    QCOMPARE(data::DrawStore().extraSetting(1, QStringLiteral("L3")),
        QStringLiteral("黑体】【√】【】【40】【】【】【255"));
    QVERIFY(StoredDrawSettings().isEmpty());
    // Opened again, it is current: no second upgrade, no second backup of it;
    // and a file of this version keeps its settings itself: one left in the
    // user's settings is no setting of its draw 1.
    WriteStoredDrawSetting(1, QStringLiteral("L2"), QStringLiteral("宋体】【√】【】【20】【】【】【0"));
    QVERIFY(StartConsole(QDateTime::currentDateTime()));
    QCOMPARE(data::ListBackups().size(), 2);
    QCOMPARE(data::DrawStore().extraSetting(1, QStringLiteral("L2")), QString());
    QCOMPARE(StoredDrawSettings().value(1).keys(), QStringList { QStringLiteral("L2") });
}

void TestBackups::aFileThatIsNotOursIsLeftAlone_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("told");
    QByteArray jet(4096, '\0');
    jet.replace(4, 15, "Standard Jet DB");
    QByteArray ace(4096, '\0');
    ace.replace(4, 15, "Standard ACE DB");
    QByteArray newer = test::readFile(Landed);
    qToBigEndian<qint32>(7, newer.data() + 60);
    const QString moveIt = QStringLiteral("请把它移到别处保存，或用 --database 指定另一个数据文件。");
    QTest::newRow("Access (Jet)") << jet
                                  << QStringLiteral(" 是旧版 Access 数据库，本程序不能直接打开。") + moveIt;
    QTest::newRow("Access (ACE)") << ace
                                  << QStringLiteral(" 是旧版 Access 数据库，本程序不能直接打开。") + moveIt;
    QTest::newRow("zero bytes") << QByteArray()
                                << QStringLiteral(" 是一个空文件，不是本程序的数据库。") + moveIt;
    QTest::newRow("text") << QByteArray("工号,姓名\n1001,张三\n")
                          << QStringLiteral(" 不是本程序的数据库。") + moveIt;
    // Another program's SQLite file in WAL mode: refused with nothing
    // created beside it (no -shm, no -wal).
    QByteArray wal;
    {
        QTemporaryDir scratch;
        const QString other = scratch.filePath(QStringLiteral("other.db"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("wal"));
            db.setDatabaseName(other);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("PRAGMA journal_mode=WAL")));
            QVERIFY(query.exec(QStringLiteral("CREATE TABLE notes (x)")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("wal"));
        wal = test::readFile(other);
    }
    QCOMPARE(wal.at(18), char(2));
    QTest::newRow("another program's SQLite in WAL mode")
        << wal << QStringLiteral(" 是 SQLite 数据库，但其中没有本程序的数据表。") + moveIt;
    QTest::newRow("a newer version's")
        << newer
        << QStringLiteral(" 由较新版本的程序建立（数据库版本 7），本程序只能打开版本 %1 "
                          "及以前的数据文件。请用新版程序打开它，或用 --database "
                          "指定另一个数据文件。")
               .arg(schema::CurrentVersion);
}

void TestBackups::aFileThatIsNotOursIsLeftAlone()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, told);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Data.mdb"));
    QVERIFY(test::writeFile(path, bytes));
    data::setDatabasePath(path);
    const QMap<QString, QByteArray> before = folderContents(folder.path());

    StartRefusal refusal = StartRefusal::None;
    QVERIFY(!StartConsole(QDateTime::currentDateTime(), &refusal));
    QCOMPARE(refusal, StartRefusal::NotOurFile);
    QCOMPARE(m_prompts->messages(),
        QStringList { QStringLiteral("数据文件 ") + QDir::toNativeSeparators(path) + told });
    QVERIFY(m_prompts->questions().isEmpty());
    // Its bytes as they were, and nothing new beside it: no 备份 folder.
    QCOMPARE(folderContents(folder.path()), before);
}

void TestBackups::aFailedUpgradeLeavesTheFileAsItWas()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Data.mdb"));
    QVERIFY(QFile::copy(Landed, path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    // Someone made a table of the upgrade's name by hand.
    data::setDatabasePath(path);
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TABLE 抽奖设置表 (x)")));
    data::CloseConnection();
    const QByteArray before = test::readFile(path);

    StartRefusal refusal = StartRefusal::None;
    QVERIFY(!StartConsole(QDateTime::currentDateTime(), &refusal));
    QCOMPARE(refusal, StartRefusal::UpgradeFailed);
    QCOMPARE(m_prompts->messages(), QStringList { data::UpgradeFailedMessage(path) });
    data::CloseConnection();
    QCOMPARE(test::readFile(path), before);
}

void TestBackups::backingUpByHand()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 5);
    FSet console;
    console.show();
    QAction *backUp = console.findChild<QAction *>(QStringLiteral("M_Backup"));
    QVERIFY(backUp);
    QCOMPARE(backUp->text(), QStringLiteral("备份数据库…"));
    QTemporaryDir elsewhere;
    const QString path = QDir(elsewhere.path()).filePath(QStringLiteral("年会备份.mdb"));
    const QString written = QStringLiteral("数据库已备份到：") + QDir::toNativeSeparators(path);

    // Cancelling the save dialog writes nothing.
    backUp->trigger();
    QCOMPARE(
        m_prompts->texts(QStringLiteral("save")), QStringList { QStringLiteral("数据库文件(*.mdb)|*.mdb") });
    QVERIFY(QRegularExpression(QStringLiteral("^Data-\\d{8}-\\d{6}\\.mdb$"))
                .match(m_prompts->suggested)
                .hasMatch());
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(m_prompts->messages().isEmpty());

    m_prompts->queueFileName(path);
    backUp->trigger();
    QCOMPARE(m_prompts->messages(), QStringList { written });
    QVERIFY(m_prompts->questions().isEmpty());
    QCOMPARE(rowsIn(path), rowsIn(m_db->path()));
    const QStringList fiveEntrants = rowsIn(path);

    // An existing file stays unless the operator says to replace it.
    m_db->addEntrants(draw, 2, 100);
    m_prompts->clear();
    m_prompts->queueFileName(path);
    backUp->trigger();
    QCOMPARE(m_prompts->questions(), QStringList { QStringLiteral("该文件已存在，是否覆盖？") });
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    QVERIFY(m_prompts->messages().isEmpty());
    QCOMPARE(rowsIn(path), fiveEntrants);

    // No room: the old copy is kept, and the operator is told nothing was written.
    fillTheDisk();
    m_prompts->clear();
    m_prompts->queueFileName(path);
    m_prompts->queueAnswer(true);
    backUp->trigger();
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("数据库备份失败，没有写入任何文件！") });
    QCOMPARE(rowsIn(path), fiveEntrants);
    data::setPageLimitForTesting(0);

    m_prompts->clear();
    m_prompts->queueFileName(path);
    m_prompts->queueAnswer(true);
    backUp->trigger();
    QCOMPARE(m_prompts->messages(), QStringList { written });
    QCOMPARE(rowsIn(path), rowsIn(m_db->path()));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // A copy by hand is the operator's own: not among the automatic ones.
    QVERIFY(data::ListBackups().isEmpty());
}

void TestBackups::anOpenEditorLocksBackupAndRestore()
{
    FSet console;
    console.show();
    click(&console, QStringLiteral("Com_0")); // the draw editor
    QWidget *editor = openWindow(QStringLiteral("添加/修改抽奖设置"));
    QVERIFY(editor);
    for (const char *name : { "M_Backup", "M_Restore" }) {
        QAction *action = console.findChild<QAction *>(QString::fromLatin1(name));
        QVERIFY(!action->isEnabled());
        action->trigger();
    }
    QVERIFY(m_prompts->shown().isEmpty());
    QVERIFY(!openWindow(RestoreDialog::caption()));
    click(editor, QStringLiteral("Com_2"));
    QTRY_VERIFY(!openWindow(QStringLiteral("添加/修改抽奖设置")));
    for (const char *name : { "M_Backup", "M_Restore" })
        QVERIFY(console.findChild<QAction *>(QString::fromLatin1(name))->isEnabled());
}

void TestBackups::restoringABackup()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 5);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    const QStringList withTheDraw = rowsIn(m_db->path());
    data::BackupDatabase(data::backupreason::Import, QDateTime(QDate(2026, 12, 1), QTime(9, 0)));

    FSet console;
    console.show();
    // The draw goes, and with it everything of it; its backup is the newest.
    clickCell(console.gridView(0), 0, 2);
    m_prompts->queueAnswer(true);
    click(&console, QStringLiteral("Com_2"));
    QCOMPARE(console.grid(0)->Rows() - 2, 0);
    console.tabs()->setCurrentIndex(2);
    QCOMPARE(console.grid(2)->Rows() - 2, 0);
    const QStringList withoutIt = rowsIn(m_db->path());
    m_prompts->clear();

    console.findChild<QAction *>(QStringLiteral("M_Restore"))->trigger();
    auto *dialog = qobject_cast<RestoreDialog *>(openWindow(RestoreDialog::caption()));
    QVERIFY(dialog);
    QVERIFY(!console.tabs()->isEnabled());
    auto *list = dialog->findChild<QTableWidget *>(QStringLiteral("Backups"));
    QCOMPARE(list->rowCount(), 2);
    auto rowText = [list](int row) {
        QStringList cells;
        for (int col = 1; col < list->columnCount(); ++col)
            cells << (list->item(row, col) ? list->item(row, col)->text() : QString());
        return cells;
    };
    QCOMPARE(rowText(0), (QStringList { data::backupreason::DeleteDraws, "1", "5", "0" }));
    QCOMPARE(rowText(1), (QStringList { data::backupreason::Import, "1", "5", "0" }));
    QCOMPARE(list->item(1, 0)->text(), QStringLiteral("2026-12-01 09:00:00"));
    auto *restore = dialog->findChild<QPushButton *>(QStringLiteral("RestoreChosen"));
    QVERIFY(!restore->isEnabled()); // nothing chosen yet
    test::saveShot(dialog, QStringLiteral("RestoreDialog"));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0, 1)).center());
    QVERIFY(restore->isEnabled());
    click(dialog, QStringLiteral("RestoreChosen")); // and No to the question
    QCOMPARE(m_prompts->questions(), QStringList { ReplaceQuestion });
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    QCOMPARE(rowsIn(m_db->path()), withoutIt);
    QCOMPARE(data::ListBackups().size(), 2);
    QVERIFY(openWindow(RestoreDialog::caption()));

    m_prompts->clear();
    m_prompts->queueAnswer(true);
    click(dialog, QStringLiteral("RestoreChosen"));
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("数据库已恢复！") });
    QCOMPARE(rowsIn(m_db->path()), withTheDraw);
    // The database as it was before is the newest backup now.
    QCOMPARE(reasons().first(), data::backupreason::Restore);
    QCOMPARE(rowsIn(data::ListBackups().first().path), withoutIt);
    QTRY_VERIFY(!openWindow(RestoreDialog::caption()));
    QVERIFY(console.tabs()->isEnabled());
    // The console shows what was restored, on the tab it was on.
    QCOMPARE(console.tabs()->currentIndex(), 2);
    QCOMPARE(console.grid(2)->Rows() - 2, 5);
    console.tabs()->setCurrentIndex(0);
    QCOMPARE(test::column(*console.grid(0), 2), QStringList { QStringLiteral("年会") });
}

void TestBackups::restoringRefusesWhatIsNoDatabase_data()
{
    QTest::addColumn<bool>("database"); // a database missing a table, or a text file
    QTest::newRow("a text file") << false;
    QTest::newRow("a database without 结果表") << true;
}

void TestBackups::restoringRefusesWhatIsNoDatabase()
{
    QFETCH(bool, database);
    m_db->addEntrants(m_db->addDraw(QStringLiteral("年会")), 3);
    const QStringList before = rowsIn(m_db->path());
    QTemporaryDir elsewhere;
    const QString path = QDir(elsewhere.path()).filePath(QStringLiteral("别处.mdb"));
    if (database) {
        QVERIFY(data::CopyDatabaseTo(path));
        const QString name = QStringLiteral("cut");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("DROP TABLE 结果表")));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    } else {
        QVERIFY(test::writeFile(path, "抽奖号码,姓名\r\n101,张三\r\n"));
    }

    FSet console;
    console.show();
    console.findChild<QAction *>(QStringLiteral("M_Restore"))->trigger();
    QWidget *dialog = openWindow(RestoreDialog::caption());
    QVERIFY(dialog);
    m_prompts->queueFileName(path);
    m_prompts->queueAnswer(true);
    click(dialog, QStringLiteral("RestoreOther"));
    QCOMPARE(
        m_prompts->texts(QStringLiteral("open")), QStringList { QStringLiteral("数据库文件(*.mdb)|*.mdb") });
    QCOMPARE(m_prompts->messages(), QStringList { NotADatabase });
    QVERIFY(m_prompts->questions().isEmpty());
    QCOMPARE(rowsIn(m_db->path()), before);
    QVERIFY(data::ListBackups().isEmpty());
    QVERIFY(openWindow(RestoreDialog::caption()));
}

QTEST_MAIN(TestBackups)
#include "tst_backups.moc"
