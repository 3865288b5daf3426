// One evening of a ranged draw, held through the built program on a real X
// server as an operator holds it: the draw made in the console, its list
// imported from a workbook with the further columns as attributes, two awards
// added, the stage entered and every round drawn with keys, an absent winner
// withdrawn, and the record the program leaves checked by tombolix-verify
// against the same workbook.
#include "data/database.h"
#include "support/testsupport.h"
#include "support/xscreen.h"
#include "transfer/xlsxwriter.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;

namespace {

void key(const QString &name)
{
    test::xdotool({ QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80"), name });
    QTest::qWait(250);
}

void type(const QString &text)
{
    test::xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"), text });
    QTest::qWait(250);
}

// A click at a point of the screen.
void click(int x, int y)
{
    test::xdotool({ QStringLiteral("mousemove"), QString::number(x), QString::number(y),
        QStringLiteral("click"), QStringLiteral("1") });
    QTest::qWait(400);
}

// The list of the evening: 40 entrants, 员工 but for every fifth, a 来宾; the
// day each joined written as people write it in Excel: 2023/3/1, 2023-03-01,
// 2023年3月1日 as text, and one as the serial number of a date cell.
struct Entrant
{
    QString number;
    QString category;
    QDate joined;
};

QList<Entrant> writeList(const QString &path)
{
    transfer::ExportTable table;
    const QStringList header { QStringLiteral("抽奖号码"), QStringLiteral("姓名"), QStringLiteral("部门"),
        QStringLiteral("入职日期"), QStringLiteral("类别") };
    table.columnCount = int(header.size());
    table.headerRows = 1;
    table.numeric = { false, false, false, true, false };
    table.widths = { 1500, 1500, 1500, 2000, 1200 };
    for (const QString &caption : header)
        table.cells.push_back(caption);
    QList<Entrant> list;
    const QStringList departments { QStringLiteral("财务部"), QStringLiteral("研发部"),
        QStringLiteral("市场部") };
    for (int i = 1; i <= 40; ++i) {
        const Entrant entrant { QString::number(1000 + i),
            i % 5 == 0 ? QStringLiteral("来宾") : QStringLiteral("员工"),
            QDate(2021 + i % 4, 1 + i % 12, 1 + i % 28) };
        QString joined;
        const QDate &d = entrant.joined;
        if (i == 7)
            joined = QString::number(QDate(1899, 12, 30).daysTo(d));
        else if (i % 3 == 0)
            joined = QStringLiteral("%1/%2/%3").arg(d.year()).arg(d.month()).arg(d.day());
        else if (i % 3 == 1)
            joined = d.toString(QStringLiteral("yyyy-MM-dd"));
        else
            joined = QStringLiteral("%1年%2月%3日").arg(d.year()).arg(d.month()).arg(d.day());
        for (const QString &cell : { entrant.number, QStringLiteral("员工%1号").arg(i), departments.at(i % 3),
                 joined, entrant.category })
            table.cells.push_back(cell);
        list << entrant;
    }
    table.rowCount = 41;
    return transfer::ExportGridToWorkbook(table, path, QStringLiteral("名单")) ? list : QList<Entrant>();
}

qint64 count(const QString &database, const QString &sql)
{
    qint64 n = -1;
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        file.setDatabaseName(database);
        if (file.open()) {
            QSqlQuery query(sql, file);
            if (query.next())
                n = query.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    return n;
}

qint64 winners(const QString &database)
{
    return count(database, QStringLiteral("SELECT COUNT(*) FROM 结果表"));
}

// Space, as often as it takes (the card of the award, the start, the stop),
// until the draw holds this many winners, and the round has landed.
bool drawTo(const QString &database, qint64 target)
{
    for (int press = 0; press < 12; ++press) {
        key(QStringLiteral("space"));
        QTest::qWait(500);
        if (winners(database) == target) {
            QTest::qWait(2500);
            return true;
        }
    }
    return false;
}

void shot(const QString &name);

// The award editor, saving a range, says how many it reaches: seen, then
// answered.
void answerReach(const QString &name)
{
    const QString box = test::waitForXWindow(QStringLiteral("^澄曜抽奖软件$"));
    QTest::qWait(800);
    shot(name);
    if (!box.isEmpty())
        test::xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), box });
    key(QStringLiteral("Return"));
    QTest::qWait(500);
}

void shot(const QString &name)
{
    QTest::qWait(300);
    test::saveXShot(test::grabXScreen(), QStringLiteral("x-evening-") + name);
}

} // namespace

class TestEveningOnX : public QObject
{
    Q_OBJECT

private slots:
    void aRangedEveningChecks();
};

void TestEveningOnX::aRangedEveningChecks()
{
    const QString program = qEnvironmentVariable("TOMBOLIX_PROGRAM");
    QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
    QTemporaryDir files;
    const QString listFile = files.filePath(QStringLiteral("名单.xlsx"));
    const QList<Entrant> list = writeList(listFile);
    QCOMPARE(list.size(), 40);
    QString database;
    test::TestDatabase db;
    database = db.path();
    data::CloseConnection();

    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(home.filePath(QStringLiteral("run")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
    QProcess tombolix;
    tombolix.setProcessEnvironment(environment);
    tombolix.setProcessChannelMode(QProcess::ForwardedChannels);
    tombolix.start(program, { QStringLiteral("--database"), database });
    QVERIFY(tombolix.waitForStarted());
    const auto stop = qScopeGuard([&tombolix] {
        tombolix.kill();
        tombolix.waitForFinished();
    });
    const QString console = test::waitForXWindow(QStringLiteral("^澄曜抽奖软件[0-9.]+$"));
    QVERIFY2(!console.isEmpty(), "no console");
    QTest::qWait(500);
    test::xdotool({ QStringLiteral("windowmove"), console, QStringLiteral("0"), QStringLiteral("0") });
    QTest::qWait(500);
    shot(QStringLiteral("console"));
    click(63, 75); // 新建抽奖
    QVERIFY(!test::waitForXWindow(QStringLiteral(".*")).isEmpty());
    shot(QStringLiteral("new-draw"));
    type(QStringLiteral("年会"));
    shot(QStringLiteral("new-draw-typed"));
    key(QStringLiteral("Return"));
    shot(QStringLiteral("new-draw-saved"));
    click(189, 41); // 抽奖数据
    click(411, 75); // 导入数据
    QVERIFY2(!test::waitForXWindow(QStringLiteral("^打开$")).isEmpty(), "no file dialog");
    QTest::qWait(1000);
    shot(QStringLiteral("open-dialog"));
    type(listFile);
    key(QStringLiteral("Return"));
    shot(QStringLiteral("sheets"));
    key(QStringLiteral("Return"));
    shot(QStringLiteral("mapping"));
    click(844, 675); // 抽奖号's 对应列号
    type(QStringLiteral("A"));
    click(844, 698); // 姓名's
    type(QStringLiteral("B"));
    click(700, 760); // away from the cells
    shot(QStringLiteral("mapping-filled"));
    click(1233, 857); // 确定
    shot(QStringLiteral("imported"));
    QTRY_COMPARE_WITH_TIMEOUT(
        count(database, QStringLiteral("SELECT COUNT(*) FROM 号码表")), qint64(40), 10000);
    key(QStringLiteral("Return"));
    shot(QStringLiteral("imported-told"));
    // The awards and who may win them, through the award editor: 一等奖 for
    // staff who joined by a day, 三等奖 for all but a 不参与名单.
    const QString joinedBy = QStringLiteral("2023-06-30");
    const QStringList excluded { QStringLiteral("1002"), QStringLiteral("1003"), QStringLiteral("1011"),
        QStringLiteral("9999") };
    click(116, 41); // 奖项设置
    shot(QStringLiteral("awards-tab"));
    click(411, 75); // 添加奖项
    QVERIFY2(!test::waitForXWindow(QStringLiteral("^添加/修改奖项设置$")).isEmpty(), "no award editor");
    shot(QStringLiteral("award-editor"));
    type(QStringLiteral("一等奖"));
    key(QStringLiteral("Tab"));
    key(QStringLiteral("ctrl+a"));
    type(QStringLiteral("1"));
    click(815, 628); // 添加条件: the new row's attribute takes the keys
    type(QStringLiteral("类别"));
    key(QStringLiteral("Tab"));
    key(QStringLiteral("Tab")); // 等于其中之一
    type(QStringLiteral("员工"));
    key(QStringLiteral("Tab"));
    key(QStringLiteral("Tab"));
    key(QStringLiteral("space")); // 添加条件
    type(QStringLiteral("入职日期"));
    key(QStringLiteral("Tab"));
    key(QStringLiteral("Down")); // 日期不晚于
    key(QStringLiteral("Tab"));
    type(joinedBy);
    shot(QStringLiteral("award-editor-range"));
    key(QStringLiteral("Return"));
    answerReach(QStringLiteral("award-saved"));
    click(411, 75); // 添加奖项
    QVERIFY2(!test::waitForXWindow(QStringLiteral("^添加/修改奖项设置$")).isEmpty(), "no award editor");
    QTest::qWait(300);
    type(QStringLiteral("三等奖"));
    key(QStringLiteral("Tab"));
    key(QStringLiteral("ctrl+a"));
    type(QStringLiteral("6"));
    key(QStringLiteral("Tab"));
    key(QStringLiteral("ctrl+a"));
    type(QStringLiteral("3"));
    click(959, 705); // 不参与名单
    type(excluded.join(QLatin1Char(' ')));
    shot(QStringLiteral("award-editor-excluded"));
    click(1027, 770); // 确定
    answerReach(QStringLiteral("award-excluded-saved"));
    shot(QStringLiteral("awards"));
    QTRY_COMPARE_WITH_TIMEOUT(
        count(database, QStringLiteral("SELECT COUNT(*) FROM 抽奖范围表")), qint64(2), 5000);
    QCOMPARE(count(database, QStringLiteral("SELECT COUNT(*) FROM 不参与名单表")), qint64(4));

    click(1035, 109); // 开始抽奖
    QVERIFY2(!test::waitForXWindow(QStringLiteral("^选择抽奖设置$")).isEmpty(), "no chooser");
    QTest::qWait(300);
    key(QStringLiteral("Return"));
    // Before the stage the console says how many each ranged award may draw from.
    const QString counts = test::waitForXWindow(QStringLiteral("^澄曜抽奖软件$"));
    QVERIFY2(!counts.isEmpty(), "no counts before the stage");
    QTest::qWait(800);
    shot(QStringLiteral("counts"));
    test::xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), counts });
    key(QStringLiteral("Return"));
    const QString stage = test::waitForXWindow(QStringLiteral("^澄曜抽奖软件操作界面$"));
    QVERIFY2(!stage.isEmpty(),
        tombolix.state() == QProcess::NotRunning ? "the program ended before the draw screen"
                                                 : "no draw screen");
    QTest::qWait(1500);
    shot(QStringLiteral("stage"));
    key(QStringLiteral("space"));
    type(QStringLiteral("3 14 159"));
    shot(QStringLiteral("hall-numbers"));
    key(QStringLiteral("Return"));
    QVERIFY(drawTo(database, 1));
    shot(QStringLiteral("first-prize"));
    key(QStringLiteral("Delete"));
    const QString box = test::waitForXWindow(QStringLiteral("^澄曜抽奖软件$"));
    QVERIFY2(!box.isEmpty(), "no question");
    QTest::qWait(1500);
    shot(QStringLiteral("absent-question"));
    key(QStringLiteral("shift+Tab"));
    shot(QStringLiteral("absent-question-yes"));
    key(QStringLiteral("space"));
    QTRY_COMPARE(
        count(database, QStringLiteral("SELECT COUNT(*) FROM 撤销表 WHERE 原因='未到场'")), qint64(1));
    QTest::qWait(600);
    shot(QStringLiteral("redrawn-rolling"));
    QVERIFY(drawTo(database, 1));
    QVERIFY(drawTo(database, 4));
    shot(QStringLiteral("third-prize"));
    QVERIFY(drawTo(database, 7));
    key(QStringLiteral("alt+F4"));
    shot(QStringLiteral("record-told"));
    key(QStringLiteral("Return"));
    shot(QStringLiteral("end"));
    test::xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), console });
    key(QStringLiteral("alt+F4"));
    QTRY_COMPARE_WITH_TIMEOUT(tombolix.state(), QProcess::NotRunning, 15000);

    // Every winner could win what they won.
    QHash<QString, Entrant> byNumber;
    for (const Entrant &entrant : list)
        byNumber.insert(entrant.number, entrant);
    QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("end"));
    file.setDatabaseName(database);
    QVERIFY(file.open());
    QSqlQuery won(
        QStringLiteral("SELECT 号码, 奖项表.名称 FROM 结果表 JOIN 奖项表 ON 奖项表.ID=结果表.WID"), file);
    QVERIFY2(won.isActive(), qPrintable(won.lastError().text()));
    QStringList firsts, thirds;
    while (won.next()) {
        const QString number = won.value(0).toString();
        QVERIFY2(byNumber.contains(number), qPrintable(number));
        (won.value(1).toString() == QStringLiteral("一等奖") ? firsts : thirds) << number;
    }
    won.finish();
    file.close();
    QCOMPARE(firsts.size(), 1);
    QCOMPARE(thirds.size(), 6);
    for (const QString &number : firsts) {
        QCOMPARE(byNumber.value(number).category, QStringLiteral("员工"));
        QVERIFY2(
            byNumber.value(number).joined <= QDate::fromString(joinedBy, Qt::ISODate), qPrintable(number));
    }
    for (const QString &number : thirds)
        QVERIFY2(!excluded.contains(number), qPrintable(number));
    QCOMPARE(count(database,
                 QStringLiteral("SELECT COUNT(*) FROM 撤销表 JOIN 奖项表 ON 奖项表.ID=撤销表.WID "
                                "WHERE 原因='未到场' AND 奖项表.名称='一等奖'")),
        qint64(1));

    // The record the program left beside its database passes the outsider's
    // check against the same workbook, ranges and all.
    const QFileInfoList records = QDir(QFileInfo(database).dir().filePath(QStringLiteral("公证记录")))
                                      .entryInfoList({ QStringLiteral("*.json") }, QDir::Files);
    QCOMPARE(records.size(), 1);
    QProcess verify;
    verify.start(QFileInfo(program).dir().filePath(QStringLiteral("tombolix-verify")),
        { records.constFirst().filePath(), listFile });
    QVERIFY(verify.waitForFinished(60000));
    const QString said = QString::fromUtf8(verify.readAllStandardOutput() + verify.readAllStandardError());
    QVERIFY2(verify.exitCode() == 0, qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("验证通过")), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("按范围算出的一致")), qPrintable(said));
}

QTEST_MAIN(TestEveningOnX)
#include "tst_evening_x.moc"
