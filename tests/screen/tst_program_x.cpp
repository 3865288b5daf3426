// The built program, started the ordinary way on a real X server and driven
// the way an operator drives it: a click on the console's start button, Enter
// in the chooser, Space to start and stop, a click on the picture, a key held
// down. What it shows is taken from the X server, what it stored is read
// from its database.
#include "appearance/stagelayout.h"
#include "common/conventions.h"
#include "data/database.h"
#include "data/resultstore.h"
#include "support/testsupport.h"
#include "support/xscreen.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;

namespace {

constexpr double Twips = TwipsPerPixel;

// The window's place on the screen: "X Y WIDTH HEIGHT".
QRect windowGeometry(const QString &window)
{
    const QString shell
        = test::xdotool({ QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window });
    QRect place;
    for (const QString &line : shell.split(QLatin1Char('\n'))) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        const int value = line.section(QLatin1Char('='), 1).toInt();
        if (key == QLatin1String("X"))
            place.moveLeft(value);
        else if (key == QLatin1String("Y"))
            place.moveTop(value);
        else if (key == QLatin1String("WIDTH"))
            place.setWidth(value);
        else if (key == QLatin1String("HEIGHT"))
            place.setHeight(value);
    }
    return place;
}

// Where the console's big red start button is, found as a person finds it:
// by its colour.
QPoint startButton(const QImage &shot, const QRect &console)
{
    QList<QPoint> red;
    const QRect inside = console.intersected(shot.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb p = shot.pixel(x, y);
            if (qRed(p) > 100 && qRed(p) < 215 && qGreen(p) < 50 && qBlue(p) < 70 && qRed(p) > 2 * qBlue(p))
                red << QPoint(x, y);
        }
    }
    if (red.size() < 2000) // the button is 110 pixels square
        return QPoint();
    QList<int> xs, ys;
    for (const QPoint &p : red) {
        xs << p.x();
        ys << p.y();
    }
    std::sort(xs.begin(), xs.end());
    std::sort(ys.begin(), ys.end());
    return QPoint(xs.at(xs.size() / 2), ys.at(ys.size() / 2));
}

qint64 results(const QString &database)
{
    data::setDatabasePath(database);
    const qint64 count = data::ResultStore().countForDraw(1).value_or(-1);
    data::CloseConnection();
    return count;
}

void key(const QString &name)
{
    test::xdotool({ QStringLiteral("key"), name });
}

} // namespace

class TestProgramOnX : public QObject
{
    Q_OBJECT

private slots:
    void drawOnTheStage();
    void aFileThatIsNotOursIsToldAndLeftAlone_data();
    void aFileThatIsNotOursIsToldAndLeftAlone();
    void aSecondCopyOnTheSameFileIsRefused();
};

void TestProgramOnX::drawOnTheStage()
{
    const QString program = qEnvironmentVariable("TOMBOLIX_PROGRAM");
    QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));

    QString database;
    test::TestDatabase db;
    {
        const qint64 draw = db.addDraw(QStringLiteral("年会"), QStringLiteral("20"), QString(),
            QStringLiteral("0"), QStringLiteral("5"));
        QCOMPARE(draw, 1);
        db.addAward(draw, 1, QStringLiteral("三等奖"), 10, 1, true, false, QStringLiteral("小米手环9"));
        db.addAward(draw, 2, QStringLiteral("一等奖"), 1, 1, true, false, QStringLiteral("iPhone 16 Pro"));
        data::Transaction transaction;
        for (int i = 1; i <= 300; ++i)
            db.addEntrant(draw, QString::number(1000 + i), QStringLiteral("员工%1号").arg(i));
        QVERIFY(transaction.commit());
        database = db.path();
        data::CloseConnection();
    }

    // A home of its own: settings, data folder and runtime folder.
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
    test::saveXShot(test::grabXScreen(), QStringLiteral("x-program-console"));
    // Moved where this operator keeps it: it must come back there.
    test::xdotool({ QStringLiteral("windowmove"), console, QStringLiteral("300"), QStringLiteral("120") });
    QTest::qWait(500);
    const QRect consolePlace = windowGeometry(console);
    const QPoint start = startButton(test::grabXScreen(), windowGeometry(console));
    QVERIFY2(!start.isNull(), "no start button on the console");
    test::xdotool({ QStringLiteral("mousemove"), QString::number(start.x()), QString::number(start.y()),
        QStringLiteral("click"), QStringLiteral("1") });
    QVERIFY2(!test::waitForXWindow(QStringLiteral("^选择抽奖设置$")).isEmpty(), "no chooser");
    QTest::qWait(300);
    key(QStringLiteral("Return"));
    const QString stage = test::waitForXWindow(QStringLiteral("^澄曜抽奖软件操作界面$"));
    QVERIFY2(!stage.isEmpty(), "no draw screen");
    const QSize screen = QGuiApplication::primaryScreen()->size();
    QTRY_COMPARE_WITH_TIMEOUT(windowGeometry(stage).size(), screen, 10000);
    QTest::qWait(500);
    const QImage before = test::grabXScreen();
    test::saveXShot(before, QStringLiteral("x-program-before-the-first-round"));
    // The QR code beside the 公证码 reads, as a phone reads it, as the whole
    // hash of the commitment the record holds.
    {
        QTemporaryDir scratch;
        const QString picture = scratch.filePath(QStringLiteral("stage.png"));
        QVERIFY(before.save(picture));
        QProcess zbar;
        zbar.start(QStringLiteral("zbarimg"), { QStringLiteral("--raw"), QStringLiteral("-q"), picture });
        QVERIFY(zbar.waitForFinished(30000));
        const QString read = QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("qr"));
        file.setDatabaseName(database);
        QVERIFY(file.open());
        QSqlQuery hash(QStringLiteral("SELECT 公证码 FROM 公证种子表"), file);
        QVERIFY(hash.next());
        QCOMPARE(read, QStringLiteral("TOMBOLIX-V2 ") + hash.value(0).toString());
        hash.finish();
        file.close();
    }

    // The first Space asks for the hall's numbers: typed as the tables call
    // them, shown large, locked with Enter.
    key(QStringLiteral("space"));
    QTest::qWait(300);
    test::xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"),
        QStringLiteral("3 14 159") });
    QTest::qWait(300);
    const QImage typed = test::grabXScreen();
    test::saveXShot(typed, QStringLiteral("x-program-hall-numbers"));
    const QRect middle(screen.width() / 5, screen.height() / 3, screen.width() * 3 / 5, screen.height() / 3);
    QVERIFY2(test::inkPixels(typed, middle, QColor(255, 255, 255)) > middle.width() * middle.height() / 100,
        "the hall's numbers are not on the stage");
    QCOMPARE(results(database), 0);
    key(QStringLiteral("Return"));
    QTest::qWait(300);

    // Space starts, Space stops: the number is on the screen and stored.
    key(QStringLiteral("space"));
    QTest::qWait(400);
    key(QStringLiteral("space"));
    QTRY_COMPARE(results(database), 1);
    QTest::qWait(1300); // stored at the stop, landed on within a second
    const QImage shot = test::grabXScreen();
    test::saveXShot(
        shot, QStringLiteral("x-program-%1x%2-after-space").arg(screen.width()).arg(screen.height()));
    const QRectF frameTwips = appearance::BuiltInStageLayout(QSizeF(screen)).frame;
    const QRect frame = QRectF(frameTwips.left() / Twips, frameTwips.top() / Twips,
        frameTwips.width() / Twips, frameTwips.height() / Twips)
                            .toAlignedRect();
    const int ink = test::inkPixels(shot, frame, QColor(255, 215, 0));
    QVERIFY2(ink > frame.width() * frame.height() / 50,
        qPrintable(QStringLiteral("%1 pixels of the number in the frame").arg(ink)));
    // The 公证码 stands over the frame until the first round, then leaves.
    const QRect corner = frame;
    const QColor code(255, 244, 214); // its pale ink on the slide
    const int codeBefore = test::inkPixels(before, corner, code);
    const int codeAfter = test::inkPixels(shot, corner, code);
    QVERIFY2(codeBefore > 300 && codeAfter < codeBefore / 10,
        qPrintable(QStringLiteral("公证码 pixels %1 before the first round, %2 after")
                       .arg(codeBefore)
                       .arg(codeAfter)));

    // Two presses of Space 60 ms apart, as a hurried hand gives them: the
    // first stops, the second comes too soon after it to start a round.
    key(QStringLiteral("space"));
    QTest::qWait(400);
    test::xdotool({ QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60"),
        QStringLiteral("space"), QStringLiteral("space") });
    QTRY_COMPARE(results(database), 2);
    QTest::qWait(2000); // the landing, then the guard after it
    QCOMPARE(results(database), 2);
    key(QStringLiteral("space"));
    QTest::qWait(400);
    key(QStringLiteral("space"));
    QTRY_COMPARE(results(database), 3);
    QTest::qWait(2000);

    // A click on the picture starts, another stops.
    const QPoint picture(screen.width() / 10, screen.height() * 17 / 20);
    test::xdotool({ QStringLiteral("mousemove"), QString::number(picture.x()), QString::number(picture.y()),
        QStringLiteral("click"), QStringLiteral("1") });
    QTest::qWait(400);
    test::xdotool({ QStringLiteral("click"), QStringLiteral("1") });
    QTRY_COMPARE(results(database), 4);
    QTest::qWait(2000);

    // Space held down for a second and a half, as a nervous hand does, with
    // the X server repeating it: the round starts once and rolls on.
    test::xdotool({ QStringLiteral("keydown"), QStringLiteral("space") });
    QTest::qWait(1500);
    test::xdotool({ QStringLiteral("keyup"), QStringLiteral("space") });
    QTest::qWait(500);
    QCOMPARE(results(database), 4);
    key(QStringLiteral("space"));
    QTRY_COMPARE(results(database), 5);
    QTest::qWait(500);
    QCOMPARE(results(database), 5);

    // Closed the way the window manager closes windows, the stage gives the
    // screen back to the console, where the operator had it.
    key(QStringLiteral("alt+F4"));
    QCOMPARE(test::waitForXWindow(QStringLiteral("^澄曜抽奖软件[0-9.]+$")), console);
    QTest::qWait(500);
    QCOMPARE(windowGeometry(console), consolePlace);
}

void TestProgramOnX::aFileThatIsNotOursIsToldAndLeftAlone_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray jet(8192, '\0');
    jet.replace(4, 15, "Standard Jet DB");
    QTest::newRow("an Access database named Data.mdb") << jet;
    QTest::newRow("a zero-byte Data.mdb") << QByteArray();
}

void TestProgramOnX::aFileThatIsNotOursIsToldAndLeftAlone()
{
    QFETCH(QByteArray, bytes);
    const QString program = qEnvironmentVariable("TOMBOLIX_PROGRAM");
    QTemporaryDir folder;
    const QString database = folder.filePath(QStringLiteral("Data.mdb"));
    QVERIFY(test::writeFile(database, bytes));
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    QProcess tombolix;
    tombolix.setProcessEnvironment(environment);
    tombolix.start(program, { QStringLiteral("--database"), database });
    QVERIFY(tombolix.waitForStarted());
    const auto stop = qScopeGuard([&tombolix] {
        tombolix.kill();
        tombolix.waitForFinished();
    });

    // The operator reads what the file is and presses Enter.
    const QString box = test::waitForXWindow(QStringLiteral("^澄曜抽奖软件$"));
    QVERIFY2(!box.isEmpty(), "no message");
    QTest::qWait(300);
    test::saveXShot(
        test::grabXScreen(), QStringLiteral("x-program-not-our-file-%1").arg(bytes.isEmpty() ? 0 : 1));
    test::xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), box });
    test::xdotool({ QStringLiteral("key"), QStringLiteral("Return") });
    QVERIFY(tombolix.waitForFinished(15000));
    QCOMPARE(tombolix.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tombolix.exitCode(), 3);
    // The file as it was, alone in its folder.
    QCOMPARE(test::readFile(database), bytes);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList { QStringLiteral("Data.mdb") });
}

// Two copies of the program on one Data.mdb would draw one winner twice: the
// second is told where the file is open and ends; once the first is killed,
// its lock is stale and the program starts again.
void TestProgramOnX::aSecondCopyOnTheSameFileIsRefused()
{
    const QString program = qEnvironmentVariable("TOMBOLIX_PROGRAM");
    test::TestDatabase db;
    const QString database = db.path();
    data::CloseConnection();
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    auto startOn = [&](QProcess &process) {
        process.setProcessEnvironment(environment);
        process.start(program, { QStringLiteral("--database"), database });
        return process.waitForStarted();
    };
    QProcess first;
    QVERIFY(startOn(first));
    const auto stopFirst = qScopeGuard([&first] {
        first.kill();
        first.waitForFinished();
    });
    QVERIFY2(!test::waitForXWindow(QStringLiteral("^澄曜抽奖软件[0-9.]+$")).isEmpty(), "no console");

    QProcess second;
    QVERIFY(startOn(second));
    const QString box = test::waitForXWindow(QStringLiteral("^澄曜抽奖软件$"));
    QVERIFY2(!box.isEmpty(), "the second copy said nothing");
    QTest::qWait(300);
    test::saveXShot(test::grabXScreen(), QStringLiteral("x-program-second-copy"));
    test::xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), box });
    test::xdotool({ QStringLiteral("key"), QStringLiteral("Return") });
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitCode(), 3);

    first.kill(); // as a crash would: its lock stays behind
    first.waitForFinished();
    QVERIFY(QFileInfo::exists(database + QStringLiteral(".lock")));
    QProcess third;
    QVERIFY(startOn(third));
    const auto stopThird = qScopeGuard([&third] {
        third.kill();
        third.waitForFinished();
    });
    QVERIFY2(
        !test::waitForXWindow(QStringLiteral("^澄曜抽奖软件[0-9.]+$")).isEmpty(), "no console after a crash");
    QCOMPARE(third.state(), QProcess::Running);
}

QTEST_MAIN(TestProgramOnX)
#include "tst_program_x.moc"
