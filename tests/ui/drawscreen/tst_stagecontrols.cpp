#include "common/prompts.h"
#include "common/settingsstore.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/resultstore.h"
#include "draw/stagepace.h"
#include "drawscreen/delaward.h"
#include "drawscreen/mf.h"
#include "grid/gridmodel.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QVariantAnimation>

using namespace tombolix;

namespace {

const char *const Controls[] = { "lStart", "lEnd", "AwardUndo" };

QLabel *label(MF &screen, const char *name)
{
    return screen.findChild<QLabel *>(QString::fromLatin1(name));
}

QString bannerText(MF &screen)
{
    return label(screen, "awardBanner")->text();
}

QAction *menuItem(MF &screen, const char *name)
{
    return test::menuAction(screen.contextMenu(), name);
}

void click(MF &screen, const char *name)
{
    QTest::mouseClick(screen.findChild<QWidget *>(QString::fromLatin1(name)), Qt::LeftButton);
}

qint64 results(qint64 draw)
{
    return data::CountRows(
        QStringLiteral("结果表"), QStringLiteral("CID=%1").arg(draw), QStringLiteral("ID"));
}

// How visible an operator control is: 1 shown, 0 faded out.
double opacityOf(MF &screen, const char *name)
{
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(label(screen, name)->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

bool controlsFaded(MF &screen)
{
    for (const char *name : Controls) {
        if (opacityOf(screen, name) > 0.001 || !label(screen, name)->isVisible())
            return false;
    }
    return true;
}

bool controlsShown(MF &screen)
{
    for (const char *name : Controls) {
        if (opacityOf(screen, name) < 0.999 || !label(screen, name)->isVisible())
            return false;
    }
    return true;
}

// Shows the screen at the size the room sees and makes it the active window
// with the keyboard focus.
void showStage(MF &screen)
{
    screen.showNormal();
    screen.resize(1920, 1080);
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    QApplication::setActiveWindow(&screen);
    screen.setFocus();
    QTest::qWait(50);
}

QWidget *focused(MF &screen)
{
    return QApplication::focusWidget() ? QApplication::focusWidget() : &screen;
}

// The frame's rectangle on screen.
QRect framePixels(MF &screen)
{
    const QRectF twips = screen.frameLayout().rect();
    return QRect(
        int(twips.left() / 15), int(twips.top() / 15), int(twips.width() / 15), int(twips.height() / 15));
}

} // namespace

class TestStageControls : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void bannerFollowsTheDrawToItsEnd();
    void bannerShowsAtOnceOnAContinuedDraw();
    void bannerOptionActsAtOnceAndIsRemembered();
    void bannerIsGoldOverASoftShadow();
    void bannerFontIsKeptWithTheDraw();
    void controlsFadeAndComeBackWhenThePointerMoves();
    void fadedControlsShowFirstKeysStillWork();
    void endingARollingRoundAsksFirst();
    void theStopLandsOnTheStoredWinners();
    void theNextAwardIsAnnouncedBeforeItRolls();
    void escapeDrawsNoOneAndShowsTheControls();
    void otherKeysToggleTheRoll();
    void startCaptionTellsWhatAClickDoes();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestStageControls::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
}

void TestStageControls::cleanup()
{
    delete m_prompts;
    delete m_db;
}

void TestStageControls::bannerFollowsTheDrawToItsEnd()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("2026年会"), QStringLiteral("20"));
    for (int i = 1; i <= 30; ++i)
        m_db->addEntrant(draw, QString::number(8000 + i), QStringLiteral("员工%1").arg(i));
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 2, true, false, QStringLiteral("iPhone 16 Pro"));
    m_db->addAward(draw, 2, QStringLiteral("二等奖"), 1, 1);
    const qint64 third
        = m_db->addAward(draw, 3, QStringLiteral("三等奖"), 1, 1, true, false, QStringLiteral("购物卡"));
    MF screen(draw);
    showStage(screen);
    QLabel *banner = label(screen, "awardBanner");
    QVERIFY(banner->isVisible());
    QCOMPARE(bannerText(screen), QStringLiteral("一等奖 · iPhone 16 Pro · 剩余 3 名"));
    // The room sees it above the number frame, clear of the board.
    QVERIFY(!banner->geometry().intersects(framePixels(screen)));
    QVERIFY(!banner->geometry().intersects(label(screen, "LL_0")->geometry()));
    QVERIFY(banner->geometry().bottom() < framePixels(screen).top());
    QVERIFY(banner->width() >= banner->fontMetrics().horizontalAdvance(bannerText(screen)));
    QCOMPARE(banner->font().pixelSize(), 65); // 46 at 768 pixels high, grown with the screen

    // A round of two: the count goes down only at the stop. A click on the
    // banner counts as a click on the picture.
    click(screen, "awardBanner");
    QVERIFY(screen.isRolling());
    QTest::qWait(60);
    QCOMPARE(bannerText(screen), QStringLiteral("一等奖 · iPhone 16 Pro · 剩余 3 名"));
    click(screen, "bIMG");
    QCOMPARE(bannerText(screen), QStringLiteral("一等奖 · iPhone 16 Pro · 剩余 1 名"));

    // The last place of the first award: while its winner is on show the
    // banner names it; the next round names the second award.
    click(screen, "bIMG");
    QTest::qWait(30);
    click(screen, "bIMG");
    QCOMPARE(bannerText(screen), QStringLiteral("一等奖 · iPhone 16 Pro · 已抽完"));
    click(screen, "bIMG");
    QCOMPARE(bannerText(screen), QStringLiteral("二等奖 · 剩余 1 名"));
    QTRY_VERIFY(screen.numberCaption() != QStringLiteral("00000000000") && !screen.numberCaption().isEmpty());
    click(screen, "bIMG");
    QCOMPARE(bannerText(screen), QStringLiteral("二等奖 · 已抽完"));

    click(screen, "bIMG");
    QCOMPARE(bannerText(screen), QStringLiteral("三等奖 · 购物卡 · 剩余 1 名"));
    QTest::qWait(30);
    click(screen, "bIMG");
    QVERIFY(screen.session().DrawFinished());
    QCOMPARE(bannerText(screen), QStringLiteral("三等奖 · 购物卡 · 已抽完"));
    QVERIFY(banner->isVisible());
    QVERIFY(!banner->geometry().intersects(framePixels(screen)));
    QTest::qWait(50);
    test::saveShot(&screen, QStringLiteral("MF-stage-finished"));

    // Withdrawing the last winner, still in the frame, makes the third award
    // current again.
    click(screen, "AwardUndo");
    DelAward *dialog = screen.findChild<DelAward *>();
    QVERIFY(dialog);
    grid::GridModel *grid = dialog->grid();
    int row = grid->FixedRows();
    while (row < grid->Rows() && grid->TextMatrix(row, 0) != QString()
        && data::LookupValue(QStringLiteral("结果表"), grid->TextMatrix(row, 0).toLongLong(),
               QStringLiteral("ID"), QStringLiteral("WID"))
                .toLongLong()
            != third)
        ++row;
    QVERIFY(row < grid->Rows());
    grid->setTextMatrix(row, 3, QStringLiteral("√"));
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Com_0")), Qt::LeftButton);
    QCOMPARE(results(draw), qint64(4));
    QCOMPARE(bannerText(screen), QStringLiteral("三等奖 · 购物卡 · 剩余 1 名"));
    // The withdrawn winner leaves the frame with the result.
    QCOMPARE(screen.numberCaption(), QString());
    QVERIFY(screen.printedNumberLines().empty());
    dialog->close();
}

void TestStageControls::bannerShowsAtOnceOnAContinuedDraw()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("续抽"));
    m_db->addEntrants(draw, 20);
    const qint64 first = m_db->addAward(draw, 1, QStringLiteral("一等奖"), 2, 2);
    const qint64 second
        = m_db->addAward(draw, 2, QStringLiteral("二等奖"), 3, 1, true, false, QStringLiteral("蓝牙耳机"));
    test::holdRounds(draw, 2); // both of 一等奖, one of 二等奖
    Q_UNUSED(first)
    {
        MF screen(draw, draw::Entry::Continue);
        QCOMPARE(bannerText(screen), QStringLiteral("二等奖 · 蓝牙耳机 · 剩余 2 名"));
        screen.show();
        QVERIFY(label(screen, "awardBanner")->isVisible());
    }
    test::holdRounds(draw, 2); // the rest of 二等奖
    QCOMPARE(data::ResultStore().countForAward(draw, second), qint64(3));
    MF finished(draw, draw::Entry::Continue);
    QCOMPARE(bannerText(finished), QStringLiteral("抽奖结束"));
}

void TestStageControls::bannerOptionActsAtOnceAndIsRemembered()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("选项"));
    m_db->addEntrants(draw, 10);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    {
        MF screen(draw);
        screen.show();
        QAction *option = menuItem(screen, "m_Banner");
        QVERIFY(option && option->isCheckable());
        QVERIFY(option->isChecked()); // on with nothing stored
        QVERIFY(label(screen, "awardBanner")->isVisible());

        option->trigger();
        QVERIFY(!label(screen, "awardBanner")->isVisible());
        QCOMPARE(ReadRegValue(AppName, QStringLiteral("AwardBanner"), QStringLiteral("Show"), QString()),
            QStringLiteral("false"));
        // A stop changes the text but does not bring a hidden banner back.
        screen.ToggleRoll();
        screen.ToggleRoll();
        QCOMPARE(bannerText(screen), QStringLiteral("一等奖 · 剩余 2 名"));
        QVERIFY(!label(screen, "awardBanner")->isVisible());
    }
    MF screen(draw);
    screen.show();
    QVERIFY(!menuItem(screen, "m_Banner")->isChecked());
    QVERIFY(!label(screen, "awardBanner")->isVisible());
    menuItem(screen, "m_Banner")->trigger();
    QVERIFY(label(screen, "awardBanner")->isVisible());
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("AwardBanner"), QStringLiteral("Show"), QString()),
        QStringLiteral("true"));
}

void TestStageControls::bannerIsGoldOverASoftShadow()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("阴影"));
    m_db->addEntrants(draw, 10);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1, true, false, QStringLiteral("iPhone 16 Pro"));
    MF screen(draw);
    showStage(screen);
    QLabel *banner = label(screen, "awardBanner");
    const QRect place = banner->geometry();
    const QImage shown = screen.grab(place).toImage();
    menuItem(screen, "m_Banner")->trigger();
    const QImage picture = screen.grab(place).toImage();
    menuItem(screen, "m_Banner")->trigger();

    int gold = 0;
    int shaded = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QColor over = shown.pixelColor(x, y);
            const QColor under = picture.pixelColor(x, y);
            if (over.red() > 200 && over.green() > 170 && over.blue() < 90)
                ++gold;
            else if (over.lightness() + 30 < under.lightness())
                ++shaded;
        }
    }
    // Both the letters and a shadow around them, which thins out: most of the
    // band stays the picture.
    QVERIFY2(gold > 2000, qPrintable(QString::number(gold)));
    QVERIFY2(shaded > gold / 4, qPrintable(QString::number(shaded)));
    QVERIFY2(gold + shaded < shown.width() * shown.height() / 2, qPrintable(QString::number(gold + shaded)));
}

void TestStageControls::bannerFontIsKeptWithTheDraw()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("字体"));
    const qint64 other = m_db->addDraw(QStringLiteral("别的"));
    m_db->addEntrants(draw, 10);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    {
        MF screen(draw);
        screen.resize(1024, 768);
        screen.show();
        QCOMPARE(label(screen, "awardBanner")->font().pixelSize(), 46);
        QVERIFY(label(screen, "awardBanner")->font().bold());

        m_prompts->queueFont(std::nullopt);
        menuItem(screen, "M_AFont")->trigger();
        QCOMPARE(data::DrawStore().extraSetting(draw, QStringLiteral("L3")), QString());

        FontChoice choice;
        choice.font = QFont(QStringLiteral("WenQuanYi Micro Hei"));
        choice.font.setPointSizeF(54);
        choice.font.setItalic(true);
        choice.colour = 0x0000FF; // red
        m_prompts->queueFont(choice);
        const QList<QAction *> actions = screen.contextMenu()->actions();
        QCOMPARE(
            actions.indexOf(menuItem(screen, "M_AFont")), actions.indexOf(menuItem(screen, "M_CFont")) + 1);
        menuItem(screen, "M_AFont")->trigger();
        QCOMPARE(data::DrawStore().extraSetting(draw, QStringLiteral("L3")),
            QStringLiteral("WenQuanYi Micro Hei】【】【√】【54】【】【】【255"));
        QCOMPARE(label(screen, "awardBanner")->font().pointSizeF(), 54.0);
        QCOMPARE(data::DrawStore().extraSetting(other, QStringLiteral("L3")), QString());
        // Nothing goes into the draw's row.
        QVERIFY(data::LookupValue(QStringLiteral("奖次表"), draw, QStringLiteral("ID"), QStringLiteral("L0"))
                    .isNull());
    }
    // The next screen reads it and keeps it at any size: the operator chose it.
    MF screen(draw);
    showStage(screen);
    QCOMPARE(screen.bannerFont().font.pointSizeF(), 54.0);
    QCOMPARE(screen.bannerFont().colour, qint64(255));
    QVERIFY(label(screen, "awardBanner")->font().italic());
    QCOMPARE(label(screen, "awardBanner")->font().pointSizeF(), 54.0);
    QCOMPARE(label(screen, "awardBanner")->palette().color(QPalette::WindowText), QColor(Qt::red));
}

void TestStageControls::controlsFadeAndComeBackWhenThePointerMoves()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("淡出"));
    m_db->addEntrants(draw, 10);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    MF screen(draw);
    showStage(screen);
    QVERIFY(controlsShown(screen));
    screen.setControlsIdleInterval(150);
    QVERIFY(controlsShown(screen));
    QTRY_VERIFY(controlsFaded(screen));

    // A move over the picture, a child of the screen, brings them back.
    QTest::mouseMove(screen.canvas(), QPoint(400, 400));
    QVERIFY(controlsShown(screen));
    QTRY_VERIFY(controlsFaded(screen));
    QTest::mouseMove(&screen, QPoint(600, 500));
    QVERIFY(controlsShown(screen));
    // Kept while the pointer goes on moving, each move within the interval
    // of the last: in all longer than one interval.
    screen.setControlsIdleInterval(600);
    QElapsedTimer sinceMove;
    for (int i = 0; i < 4; ++i) {
        sinceMove.start();
        QTest::qWait(250);
        const bool inTime = sinceMove.elapsed() < 600; // a loaded machine may sleep longer
        if (inTime)
            QVERIFY(controlsShown(screen));
        QTest::mouseMove(&screen, QPoint(600 + 10 * i, 520));
        QVERIFY(controlsShown(screen));
    }
    QTRY_VERIFY(controlsFaded(screen));
    QVERIFY(!screen.isRolling());
    QCOMPARE(results(draw), qint64(0));
}

void TestStageControls::fadedControlsShowFirstKeysStillWork()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("淡出"), QStringLiteral("10"));
    m_db->addEntrants(draw, 10);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    MF screen(draw);
    screen.setControlsIdleInterval(150);
    showStage(screen);
    QTRY_VERIFY(controlsFaded(screen));

    // A click where a faded control sits shows the controls, and does no
    // more: the operator could not see what it would do. Once shown, a
    // control acts.
    click(screen, "lStart");
    QVERIFY(!screen.isRolling());
    QVERIFY(controlsShown(screen));
    click(screen, "lStart");
    QVERIFY(screen.isRolling());
    // While numbers roll, any press stops them, on a faded control too; the
    // layout dialogs, which take the screen's presses, cannot open meanwhile.
    QVERIFY(!screen.contextMenu()->findChild<QAction *>(QStringLiteral("M_FrmSet"))->isEnabled());
    QVERIFY(!screen.contextMenu()->findChild<QAction *>(QStringLiteral("M_BRD"))->isEnabled());
    QTRY_VERIFY(controlsFaded(screen));
    click(screen, "lStart");
    QVERIFY(!screen.isRolling());
    QCOMPARE(results(draw), qint64(1));
    QVERIFY(screen.contextMenu()->findChild<QAction *>(QStringLiteral("M_FrmSet"))->isEnabled());
    QTRY_VERIFY(controlsFaded(screen));
    click(screen, "lEnd");
    QVERIFY(screen.isVisible());
    QTRY_VERIFY(controlsFaded(screen));

    // Keys go on working while the controls are out of sight, and leave them so.
    QTRY_VERIFY(controlsFaded(screen));
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QVERIFY(screen.isRolling());
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QVERIFY(!screen.isRolling());
    QCOMPARE(results(draw), qint64(2));
    QVERIFY(controlsFaded(screen));
}

void TestStageControls::endingARollingRoundAsksFirst()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("结束"), QStringLiteral("10"));
    m_db->addEntrants(draw, 10);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    MF screen(draw);
    screen.setAttribute(Qt::WA_DeleteOnClose, false);
    showStage(screen);
    click(screen, "lStart");
    QVERIFY(screen.isRolling());
    // No, the default, keeps the round rolling.
    click(screen, "lEnd");
    QCOMPARE(m_prompts->questions(),
        QStringList { QStringLiteral("本轮抽奖尚未停止，结束抽奖将放弃本轮。是否结束抽奖？") });
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    QVERIFY(screen.isVisible());
    QVERIFY(screen.isRolling());
    // Yes ends the draw and records nothing of the round.
    m_prompts->queueAnswer(true);
    click(screen, "lEnd");
    QVERIFY(!screen.isVisible());
    QCOMPARE(results(draw), qint64(0));

    // A timed round ends by itself: 结束抽奖 closes after its stop, the
    // round stored, rather than ask a question the stop would make stale.
    const qint64 timed
        = m_db->addDraw(QStringLiteral("定时"), QStringLiteral("10"), QString(), QStringLiteral("3"));
    m_db->addEntrants(timed, 10);
    m_db->addAward(timed, 1, QStringLiteral("一等奖"), 3, 1);
    MF timedScreen(timed);
    timedScreen.setAttribute(Qt::WA_DeleteOnClose, false);
    showStage(timedScreen);
    click(timedScreen, "lStart");
    QVERIFY(timedScreen.isRolling());
    click(timedScreen, "lEnd");
    QVERIFY(timedScreen.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!timedScreen.isVisible(), 5000);
    QCOMPARE(results(timed), qint64(1));
    QCOMPARE(m_prompts->questions().size(), 2);
}

void TestStageControls::theStopLandsOnTheStoredWinners()
{
    draw::SetStagePaceForTesting(draw::StagePace {}); // the stage's own timing
    const qint64 draw = m_db->addDraw(QStringLiteral("落定"), QStringLiteral("10"));
    m_db->addEntrants(draw, 50);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 10, 5);
    MF screen(draw);
    showStage(screen);
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QVERIFY(screen.isRolling());
    QTest::qWait(150);
    QElapsedTimer landing;
    landing.start();
    QTest::keyClick(focused(screen), Qt::Key_Space);
    // Stored at the stop; the frame then slows down to them, every press
    // meanwhile passing by.
    QCOMPARE(results(draw), qint64(5));
    QVERIFY(screen.isLanding());
    QStringList frames { screen.numberCaption() };
    while (screen.isLanding() && landing.elapsed() < 3000) {
        QTest::qWait(5);
        if (frames.constLast() != screen.numberCaption())
            frames << screen.numberCaption();
        QTest::keyClick(focused(screen), Qt::Key_Space);
    }
    QVERIFY2(landing.elapsed() < 1500, qPrintable(QString::number(landing.elapsed())));
    QVERIFY2(frames.size() >= 5, qPrintable(frames.join(QLatin1Char('|'))));
    QVERIFY(!screen.isRolling());
    QStringList stored;
    for (data::Recordset rs
         = data::OpenRecordset(QStringLiteral("SELECT 号码 FROM 结果表 WHERE CID=? ORDER BY ID"), { draw });
         !rs.eof(); rs.moveNext())
        stored << rs.field(0).toString();
    QCOMPARE(screen.numberCaption().split(QStringLiteral("\r\n")), stored);
    QCOMPARE(screen.findChild<QVariantAnimation *>(QStringLiteral("emphasis"))->state(),
        QAbstractAnimation::Running);
    // The winners stay for the hall a moment before the next start is taken.
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QVERIFY(!screen.isRolling());
    QTest::qWait(800);
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QVERIFY(screen.isRolling());
}

void TestStageControls::theNextAwardIsAnnouncedBeforeItRolls()
{
    draw::SetStagePaceForTesting(draw::StagePace { 0, 0, 0, true });
    const qint64 draw = m_db->addDraw(QStringLiteral("下一个"), QStringLiteral("10"));
    m_db->addEntrants(draw, 20);
    m_db->addAward(draw, 1, QStringLiteral("三等奖"), 1, 1);
    m_db->addAward(draw, 2, QStringLiteral("二等奖"), 2, 2, true, false, QStringLiteral("华为 Mate 70 Pro"));
    MF screen(draw);
    showStage(screen);
    auto *card = screen.findChild<QLabel *>(QStringLiteral("awardCard"));
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QCOMPARE(results(draw), qint64(1));
    QVERIFY(!card->isVisible());
    // 三等奖 is done: the next press shows the next award's card, the one
    // after it starts 二等奖 and takes the card away.
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QVERIFY(!screen.isRolling());
    QVERIFY(card->isVisible());
    QCOMPARE(card->text(), QStringLiteral("下一个奖项\n二等奖\n华为 Mate 70 Pro\n共 2 名"));
    QVERIFY(framePixels(screen).intersects(card->parentWidget()->geometry()));
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QVERIFY(screen.isRolling());
    QVERIFY(!card->isVisible());
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QCOMPARE(results(draw), qint64(3));
    // The draw has ended: no card.
    QTest::keyClick(focused(screen), Qt::Key_Space);
    QVERIFY(!card->isVisible());
}

void TestStageControls::escapeDrawsNoOneAndShowsTheControls()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("退出键"), QStringLiteral("10"));
    m_db->addEntrants(draw, 10);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    MF screen(draw);
    screen.setControlsIdleInterval(600);
    showStage(screen);
    QTRY_VERIFY(controlsFaded(screen));

    QTest::keyClick(focused(screen), Qt::Key_Escape);
    QVERIFY(!screen.isRolling());
    QVERIFY(controlsShown(screen));
    // Kept for a full interval from the last Esc, longer than from the first.
    QTest::qWait(400);
    QTest::keyClick(focused(screen), Qt::Key_Escape);
    QElapsedTimer sinceEscape;
    sinceEscape.start();
    QTest::qWait(400);
    if (sinceEscape.elapsed() < 600) // a loaded machine may sleep longer
        QVERIFY(controlsShown(screen));
    QTRY_VERIFY(controlsFaded(screen));

    // While rolling, Esc leaves the round rolling; the next key stops it.
    QTest::keyClick(focused(screen), Qt::Key_Return);
    QVERIFY(screen.isRolling());
    QTest::keyClick(focused(screen), Qt::Key_Escape);
    QTest::keyPress(focused(screen), Qt::Key_Escape);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(focused(screen), &repeat);
    QTest::keyRelease(focused(screen), Qt::Key_Escape);
    QTest::qWait(40);
    QVERIFY(screen.isRolling());
    QCOMPARE(results(draw), qint64(0));
    QVERIFY(controlsShown(screen));
    QTest::keyClick(focused(screen), Qt::Key_Return);
    QVERIFY(!screen.isRolling());
    QCOMPARE(results(draw), qint64(1));
}

void TestStageControls::otherKeysToggleTheRoll()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("按键"), QStringLiteral("10"));
    m_db->addEntrants(draw, 30);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 20, 1);
    MF screen(draw);
    showStage(screen);
    qint64 recorded = 0;
    // The keys a presenter's remote and a hurried hand send.
    // B (a remote's blank-screen button) starts the first round; after a
    // round it asks about an absent winner instead (tst_absent_x).
    for (const Qt::Key key : { Qt::Key_B, Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_PageDown,
             Qt::Key_PageUp, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down }) {
        QTest::keyClick(focused(screen), key);
        QVERIFY2(screen.isRolling(), qPrintable(QString::number(key, 16)));
        QTest::keyClick(focused(screen), key);
        QVERIFY2(!screen.isRolling(), qPrintable(QString::number(key, 16)));
        QCOMPARE(results(draw), ++recorded);
    }
}

void TestStageControls::startCaptionTellsWhatAClickDoes()
{
    const qint64 manual = m_db->addDraw(QStringLiteral("手动"), QStringLiteral("10"));
    m_db->addEntrants(manual, 10);
    m_db->addAward(manual, 1, QStringLiteral("一等奖"), 3, 1);
    {
        MF screen(manual);
        showStage(screen);
        QLabel *start = label(screen, "lStart");
        QLabel *undo = label(screen, "AwardUndo");
        const int right = start->geometry().right();
        QCOMPARE(start->text(), QStringLiteral("开始抽奖"));
        click(screen, "lStart");
        QCOMPARE(start->text(), QStringLiteral("停止抽奖"));
        QVERIFY(start->width() >= start->fontMetrics().horizontalAdvance(start->text()));
        // It keeps its place beside 结束抽奖; 取消结果 stays clear to its left.
        QCOMPARE(start->geometry().right(), right);
        QVERIFY(undo->geometry().right() < start->geometry().left());
        click(screen, "bIMG");
        QCOMPARE(start->text(), QStringLiteral("开始抽奖"));
    }

    const qint64 timed
        = m_db->addDraw(QStringLiteral("定时"), QStringLiteral("10"), QString(), QStringLiteral("1"));
    m_db->addEntrants(timed, 10);
    m_db->addAward(timed, 1, QStringLiteral("一等奖"), 3, 1);
    MF screen(timed);
    showStage(screen);
    QLabel *start = label(screen, "lStart");
    const int right = start->geometry().right();
    click(screen, "lStart");
    QCOMPARE(start->text(), QStringLiteral("抽奖中…"));
    QVERIFY(start->width() >= start->fontMetrics().horizontalAdvance(start->text()));
    QCOMPARE(start->geometry().right(), right);
    QVERIFY(label(screen, "AwardUndo")->geometry().right() < start->geometry().left());
    click(screen, "lStart"); // a timed round is not stopped by hand
    QVERIFY(screen.isRolling());
    QCOMPARE(start->text(), QStringLiteral("抽奖中…"));
    QTRY_VERIFY_WITH_TIMEOUT(!screen.isRolling(), 3000);
    QCOMPARE(start->text(), QStringLiteral("开始抽奖"));
    QCOMPARE(results(timed), qint64(1));
}

QTEST_MAIN(TestStageControls)
#include "tst_stagecontrols.moc"
