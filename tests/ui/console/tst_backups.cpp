#include "common/gridview.h"
#include "common/prompts.h"
#include "console/checkdialog.h"
#include "console/fset.h"
#include "console/startup.h"
#include "data/backup.h"
#include "data/database.h"
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
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUuid>
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
    QVERIFY(data::ExecuteSql(QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES (?, ?, ?, ?)"),
        { m_draw, award, QStringLiteral("102"), QStringLiteral("李四") }));
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
        QCOMPARE(m_prompts->messages(), QStringList());
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

QTEST_MAIN(TestBackups)
#include "tst_backups.moc"
