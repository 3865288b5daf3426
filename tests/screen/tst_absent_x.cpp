// An absent winner on a real X server, as the operator handles one: Delete
// after a round has landed, the question answered in the real box with a
// click or a key, the winner withdrawn as 未到场 and the place drawn again at
// once; a round of several opens the withdrawal window on its winners.
#include "common/prompts.h"
#include "common/qtprompts.h"
#include "data/database.h"
#include "draw/notaryrecord.h"
#include "draw/recordcheck.h"
#include "draw/rollcontrol.h"
#include "draw/stagepace.h"
#include "drawscreen/delaward.h"
#include "drawscreen/largeglyphs.h"
#include "drawscreen/mf.h"
#include "grid/gridmodel.h"
#include "support/testsupport.h"
#include "support/xscreen.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace tombolix;

namespace {

// The program's own question box, answered as the operator answers it: the
// screen is taken while it is up, then one of its buttons is clicked or a key
// pressed on it. What was asked is recorded as the scripted prompts record it.
class BoxPrompts : public ScopedScriptedPrompts
{
public:
    QString answer; // "是" or "否" clicks that button; "Return" or "Escape" is pressed
    QString shotName;
    QRect boxPlace; // where the box stood, on the screen

    bool askYesNo(const QString &text, DefaultAnswer defaultAnswer) override
    {
        (void)ScriptedPrompts::askYesNo(text, defaultAnswer); // recorded
        // The box is looked at and answered from the event loop it runs.
        QTimer look;
        int shownFor = 0;
        QObject::connect(&look, &QTimer::timeout, [this, &look, &shownFor] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || ++shownFor < 8)
                return;
            look.stop();
            boxPlace = box->frameGeometry();
            test::saveXShot(test::grabXScreen(), shotName);
            test::saveXShot(box->grab().toImage(), shotName + QStringLiteral("-box"));
            answerThe(box);
        });
        look.start(100);
        return QtPrompts().askYesNo(text, defaultAnswer);
    }

private:
    void answerThe(QMessageBox *box)
    {
        if (answer == QLatin1String("Return") || answer == QLatin1String("Escape")) {
            QTest::keyClick(box, answer == QLatin1String("Return") ? Qt::Key_Return : Qt::Key_Escape);
            return;
        }
        for (QAbstractButton *button : box->buttons()) {
            if (button->text().startsWith(answer))
                QTest::mouseClick(button, Qt::LeftButton);
        }
    }
};

QWidget *focused(MF &screen)
{
    return QApplication::focusWidget() ? QApplication::focusWidget() : &screen;
}

qint64 count(const QString &table, const QString &condition)
{
    return data::CountRows(table, condition, QStringLiteral("ID"));
}

// The draw's record, its seed revealed, passes the program's own check.
bool recordChecks(qint64 draw)
{
    if (!draw::RevealSeed(draw))
        return false;
    const draw::RecordCheck check = draw::CheckRecord(*draw::ExportRecord(draw));
    if (!check.passed())
        qWarning("%s", qPrintable(check.problem));
    return check.passed();
}

bool showStage(MF &screen)
{
    screen.setControlsIdleInterval(60 * 1000);
    screen.showFullScreen();
    if (!QTest::qWaitForWindowActive(&screen))
        return false;
    const QSize size = QGuiApplication::primaryScreen()->size();
    return QTest::qWaitFor([&] { return screen.size() == size; }, 15000);
}

// One round, started and stopped with Space, landed.
bool holdRound(MF &screen)
{
    QTest::keyClick(focused(screen), Qt::Key_Space);
    if (!screen.isRolling())
        return false;
    QTest::qWait(200);
    QTest::keyClick(focused(screen), Qt::Key_Space);
    return QTest::qWaitFor([&] { return !screen.isRolling() && !screen.isLanding(); }, 5000);
}

} // namespace

class TestAbsentOnX : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void theOneWinnerAbsentIsDrawnAgain_data();
    void theOneWinnerAbsentIsDrawnAgain();
    void aRoundOfSeveralOpensTheWithdrawalWindow();

private:
    test::TestDatabase *m_db = nullptr;
};

void TestAbsentOnX::init()
{
    m_db = new test::TestDatabase;
    draw::SetStagePaceForTesting(draw::StagePace {}); // the guard, the landing and the card, as on stage
}

void TestAbsentOnX::cleanup()
{
    delete m_db;
}

void TestAbsentOnX::theOneWinnerAbsentIsDrawnAgain_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("withdrawn");
    QTest::addColumn<int>("key");
    QTest::newRow("是") << QStringLiteral("是") << true << int(Qt::Key_Delete);
    QTest::newRow("否") << QStringLiteral("否") << false << int(Qt::Key_Delete);
    QTest::newRow("Enter") << QStringLiteral("Return") << false << int(Qt::Key_Delete);
    QTest::newRow("Esc") << QStringLiteral("Escape") << false << int(Qt::Key_Delete);
    // A presenter's remote: its blank-screen button sends B or ".".
    QTest::newRow("是 by B") << QStringLiteral("是") << true << int(Qt::Key_B);
    QTest::newRow("是 by .") << QStringLiteral("是") << true << int(Qt::Key_Period);
}

void TestAbsentOnX::theOneWinnerAbsentIsDrawnAgain()
{
    QFETCH(QString, answer);
    QFETCH(bool, withdrawn);
    QFETCH(int, key);
    BoxPrompts prompts;
    prompts.answer = answer;
    prompts.shotName = QStringLiteral("x-absent-question-%1").arg(QString::fromUtf8(QTest::currentDataTag()));
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("20"));
    m_db->addEntrant(draw, QStringLiteral("1234"), QStringLiteral("张三"));
    m_db->addEntrants(draw, 30, 2001);
    // The award is complete with its one round: without the key the next
    // press would show the next award's card.
    const qint64 third = m_db->addAward(draw, 1, QStringLiteral("三等奖"), 1, 1);
    m_db->addAward(draw, 2, QStringLiteral("一等奖"), 1, 1);
    MF screen(draw);
    QVERIFY(showStage(screen));

    QTest::keyClick(focused(screen), Qt::Key_Delete); // before any round: nothing
    QVERIFY(!screen.isRolling());
    QVERIFY(holdRound(screen));
    qint64 first = 0;
    QString winner;
    {
        data::Recordset won = data::OpenRecordset(
            QStringLiteral("SELECT ID, 号码 || ' ' || 姓名 FROM 结果表 WHERE CID=? AND WID=?"),
            { draw, third });
        QVERIFY(!won.eof());
        first = won.field(0).toLongLong();
        winner = won.field(1).toString();
    } // a statement left open would keep the backup from being written
    QTest::keyClick(focused(screen), Qt::Key(key));
    QVERIFY2(prompts.questions().size() == 1, qPrintable(prompts.questions().join(QLatin1Char('|'))));
    QCOMPARE(prompts.lastDefaultAnswer(), DefaultAnswer::No);
    QCOMPARE(prompts.questions().constFirst(), winner + QStringLiteral(" 未到场？"));
    QVERIFY2(QRect(QPoint(0, 0), screen.size()).contains(prompts.boxPlace), "the box is off the stage");

    const QString absent = QStringLiteral("CID=%1 AND 原因='未到场'").arg(draw);
    if (!withdrawn) {
        QVERIFY(!screen.isRolling());
        QCOMPARE(count(QStringLiteral("结果表"), QStringLiteral("ID=%1").arg(first)), qint64(1));
        QCOMPARE(count(QStringLiteral("撤销表"), QStringLiteral("CID=%1").arg(draw)), qint64(0));
        QVERIFY(recordChecks(draw));
        return;
    }
    // Withdrawn with its reason, and the award rolls again at once for it.
    QCOMPARE(count(QStringLiteral("结果表"), QStringLiteral("ID=%1").arg(first)), qint64(0));
    QCOMPARE(
        count(QStringLiteral("撤销表"), absent + QStringLiteral(" AND 结果ID=%1").arg(first)), qint64(1));
    QVERIFY(screen.isRolling());
    QCOMPARE(screen.session().WID(), QString::number(third));
    QVERIFY(
        screen.findChild<QLabel *>(QStringLiteral("awardBanner"))->text().contains(QStringLiteral("三等奖")));
    QTest::qWait(300);
    test::saveXShot(test::grabXScreen(), QStringLiteral("x-absent-redrawn-rolling"));
    QTest::keyClick(focused(screen), Qt::Key_Delete); // while rolling: nothing
    QVERIFY(screen.isRolling());
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QTest::keyClick(focused(screen), Qt::Key_Delete); // while landing: nothing
    QCOMPARE(prompts.questions().size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!screen.isLanding(), 5000);
    QCOMPARE(
        count(QStringLiteral("结果表"), QStringLiteral("CID=%1 AND WID=%2").arg(draw).arg(third)), qint64(1));
    QVERIFY(recordChecks(draw));
    const QByteArray record = *draw::ExportRecord(draw);
    QVERIFY(record.contains(QStringLiteral("\"reason\":\"未到场\"").toUtf8()));
}

void TestAbsentOnX::aRoundOfSeveralOpensTheWithdrawalWindow()
{
    ScopedScriptedPrompts prompts;
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("20"));
    m_db->addEntrants(draw, 40, 1001);
    m_db->addAward(draw, 1, QStringLiteral("三等奖"), 2, 2);
    const qint64 second = m_db->addAward(draw, 2, QStringLiteral("二等奖"), 6, 3);
    MF screen(draw);
    QVERIFY(showStage(screen));
    QVERIFY(holdRound(screen));
    QTest::qWait(800); // past the guard against a second press
    QTest::keyClick(focused(screen), Qt::Key_Space); // the card of 二等奖
    QVERIFY(holdRound(screen));
    QTest::keyClick(focused(screen), Qt::Key_Delete);
    QVERIFY(prompts.questions().isEmpty());
    auto *window = screen.findChild<DelAward *>();
    QVERIFY(window && window->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::qWait(300);
    test::saveXShot(test::grabXScreen(), QStringLiteral("x-absent-withdrawal-window"));
    // The round's three winners head the list, the earlier award's two below.
    QStringList round;
    for (data::Recordset rs = data::OpenRecordset(
             QStringLiteral("SELECT ID FROM 结果表 WHERE CID=? AND WID=? ORDER BY ID"), { draw, second });
         !rs.eof(); rs.moveNext())
        round << rs.field(0).toString();
    QCOMPARE(round.size(), 3);
    const grid::GridModel *grid = window->grid();
    QStringList listed;
    for (int r = grid->FixedRows(); r < grid->Rows(); ++r)
        listed << grid->TextMatrix(r, 0);
    QCOMPARE(listed.size(), 5);
    QCOMPARE(listed.mid(0, 3), round);
    QVERIFY(!screen.isRolling());
    window->close();
}

int main(int argc, char *argv[])
{
    KeepLargeTextPainted(); // as the program starts
    QApplication app(argc, argv);
    TestAbsentOnX test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_absent_x.moc"
