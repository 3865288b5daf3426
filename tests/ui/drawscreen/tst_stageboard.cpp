#include "common/prompts.h"
#include "common/settingsstore.h"
#include "data/database.h"
#include "drawscreen/boardlist.h"
#include "drawscreen/mf.h"
#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QSqlQuery>
#include <QTest>

using namespace tombolix;

namespace {

QAction *menuItem(MF &screen, const char *name)
{
    return test::menuAction(screen.contextMenu(), name);
}

BoardList *boardList(MF &screen)
{
    return screen.findChild<BoardList *>(QStringLiteral("LL_1"));
}

void showAt1080p(MF &screen)
{
    screen.show();
    screen.showNormal();
    screen.resize(1920, 1080);
    QTest::qWait(50);
}

// Every painted line, and the line that counts those left out, lies on the
// screen, clear of the number frame and the command labels.
void checkOnScreen(MF &screen)
{
    BoardList *list = boardList(screen);
    QVERIFY(list->isVisible());
    QVERIFY(!list->fit().placed.isEmpty());
    QList<QPair<QString, QRectF>> painted;
    for (const draw::PlacedLine &placed : list->fit().placed)
        painted.append({ list->lineText(placed), list->lineRect(placed).translated(list->pos()) });
    if (!list->noteText().isEmpty())
        painted.append({ list->noteText(), list->noteRect().translated(list->pos()) });
    const QRectF frame = screen.frameLayout().rect();
    const QRectF framePixels(frame.left() / 15, frame.top() / 15, frame.width() / 15, frame.height() / 15);
    for (const auto &[text, line] : std::as_const(painted)) {
        QVERIFY2(QRectF(screen.rect()).contains(line), qPrintable(text));
        QVERIFY2(!line.intersects(framePixels), qPrintable(text));
        for (const char *name : { "lStart", "lEnd", "AwardUndo" }) {
            const QRect command = screen.findChild<QWidget *>(QString::fromLatin1(name))->geometry();
            QVERIFY2(!line.intersects(command), name);
        }
    }
}

// The winners the board leaves out are counted on a line of their own.
void checkNoneLeftOutInSilence(MF &screen, qint64 winners)
{
    BoardList *list = boardList(screen);
    qsizetype shown = 0;
    for (const QString &line : list->shownLines())
        shown += line.startsWith(QStringLiteral("     ")) ? 1 : 0;
    if (shown == winners)
        QVERIFY(list->noteText().isEmpty());
    else
        QCOMPARE(list->noteText(), QStringLiteral("… 另有%1名获奖者").arg(winners - shown));
}

// The board line of the newest stored winner.
QString newestWinnerLine(qint64 draw)
{
    data::Recordset rs = data::OpenRecordset(
        QStringLiteral("SELECT 号码, 姓名 FROM 结果表 WHERE CID=? ORDER BY ID DESC"), { draw });
    return QStringLiteral("     ") + rs.field(0).toString() + QLatin1Char('(') + rs.field(1).toString()
        + QLatin1Char(')');
}

void holdRounds(MF &screen, int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        screen.ToggleRoll();
        screen.ToggleRoll();
    }
}

} // namespace

class TestStageBoard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void twoHundredWinnersFitTheScreen_data();
    void twoHundredWinnersFitTheScreen();
    void columnsOptionActsAtOnceAndIsKept();
    void columnsTakeTheFreeWidthBelowTheFrame();
    void fittingFollowsPlaceAndFont();
    void textSetOtherwiseIsPaintedAsLines();

private:
    qint64 m_draw = 0;
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestStageBoard::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
    m_draw = m_db->addDraw(QStringLiteral("2026年会抽奖"), QStringLiteral("20"));
    const QString surnames = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗");
    const QString given = QStringLiteral("伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超兰霞平刚桂");
    data::Transaction transaction;
    QSqlQuery insert(data::connection());
    insert.prepare(QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (?, ?, ?)"));
    for (int i = 0; i < 240; ++i) {
        QString name = QString(surnames.at(i % surnames.size())) + given.at((i * 7) % given.size());
        if (i % 3 != 0)
            name += given.at((i * 11 + 5) % given.size());
        insert.addBindValue(m_draw);
        insert.addBindValue(QStringLiteral("2026%1").arg(i + 1, 3, 10, QLatin1Char('0')));
        insert.addBindValue(name);
        QVERIFY(insert.exec());
    }
    QVERIFY(transaction.commit());
    // Drawn from the smaller prizes up to the largest, ten at a time.
    m_db->addAward(m_draw, 1, QStringLiteral("三等奖"), 100, 10, true, false, QStringLiteral("保温杯"));
    m_db->addAward(m_draw, 2, QStringLiteral("二等奖"), 60, 10, true, false, QStringLiteral("扫地机器人"));
    m_db->addAward(m_draw, 3, QStringLiteral("一等奖"), 30, 10, true, false, QStringLiteral("笔记本电脑"));
    m_db->addAward(m_draw, 4, QStringLiteral("特等奖"), 10, 10, true, false, QStringLiteral("新能源汽车"));
}

void TestStageBoard::cleanup()
{
    QList<QPointer<MF>> screens;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *screen = qobject_cast<MF *>(window))
            screens << screen;
    }
    for (const QPointer<MF> &screen : screens)
        delete screen.data();
    delete m_prompts;
    delete m_db;
}

void TestStageBoard::twoHundredWinnersFitTheScreen_data()
{
    QTest::addColumn<bool>("reversed");
    QTest::addColumn<bool>("columns");
    QTest::addColumn<QString>("shot");
    QTest::newRow("one column") << false << false << QStringLiteral("MF-stage-board-200");
    QTest::newRow("columns") << false << true << QStringLiteral("MF-stage-board-200-columns");
    QTest::newRow("reversed") << true << false << QString();
    QTest::newRow("reversed columns") << true << true << QString();
}

void TestStageBoard::twoHundredWinnersFitTheScreen()
{
    QFETCH(bool, reversed);
    QFETCH(bool, columns);
    QFETCH(QString, shot);
    WriteViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order"), reversed);
    WriteViewOption(QStringLiteral("ResultColumns"), QStringLiteral("Columns"), columns);
    MF screen(m_draw);
    showAt1080p(screen);
    holdRounds(screen, 20);
    QVERIFY(screen.session().DrawFinished());

    BoardList *list = boardList(screen);
    // The label keeps the whole list; only what it paints is cut, and said.
    QCOMPARE(list->text(), screen.session().WinnersText(!reversed, false).text);
    checkOnScreen(screen);
    QVERIFY(list->fit().dropped > 0);
    checkNoneLeftOutInSilence(screen, 200);
    const QStringList shown = list->shownLines();
    QVERIFY(shown.contains(newestWinnerLine(m_draw)));
    QVERIFY(shown.contains(QStringLiteral("特等奖 · 新能源汽车")));
    QVERIFY(!shown.contains(QStringLiteral("三等奖 · 保温杯"))); // the oldest award has gone
    // The ten-line frame leaves no room beside the board: in columns its
    // font gives way, to 28 pixels at 1080 and no less.
    if (columns)
        QCOMPARE(list->paintedFont().pixelSize(), 28);
    else
        QCOMPARE(list->paintedFont(), list->font());
    if (!shot.isEmpty())
        test::saveShot(&screen, shot);
}

void TestStageBoard::columnsOptionActsAtOnceAndIsKept()
{
    MF screen(m_draw);
    showAt1080p(screen);
    holdRounds(screen, 20);
    BoardList *list = boardList(screen);
    const QRect placed = list->geometry();
    const qsizetype oneColumn = list->fit().placed.size();
    QCOMPARE(list->fit().columns, 1);

    // The item sits among the view options after 名单反序, before the
    // separator above 退出抽奖.
    const QList<QAction *> actions = screen.contextMenu()->actions();
    const qsizetype at = actions.indexOf(menuItem(screen, "m_Columns"));
    QVERIFY(at > actions.indexOf(menuItem(screen, "m_Order")));
    QVERIFY(at < actions.indexOf(menuItem(screen, "m_Exit")) - 1);
    QVERIFY(actions[actions.indexOf(menuItem(screen, "m_Exit")) - 1]->isSeparator());
    QCOMPARE(actions[at]->text(), QStringLiteral("公告分栏"));
    QVERIFY(actions[at]->isCheckable());
    QVERIFY(!actions[at]->isChecked());

    menuItem(screen, "m_Columns")->trigger();
    QVERIFY(ReadViewOption(QStringLiteral("ResultColumns"), QStringLiteral("Columns")));
    QVERIFY(list->fit().placed.size() > oneColumn);
    checkOnScreen(screen);

    // A new screen opens with the columns the last one left.
    {
        MF next(m_draw, draw::Entry::Continue);
        showAt1080p(next);
        QVERIFY(menuItem(next, "m_Columns")->isChecked());
        QVERIFY(boardList(next)->columns());
        QVERIFY(boardList(next)->fit().placed.size() >= list->fit().placed.size());
        checkOnScreen(next);
        next.hide();
    }

    menuItem(screen, "m_Columns")->trigger();
    QVERIFY(!ReadViewOption(QStringLiteral("ResultColumns"), QStringLiteral("Columns")));
    QCOMPARE(list->geometry(), placed);
    QCOMPARE(list->fit().columns, 1);
    QCOMPARE(list->fit().placed.size(), oneColumn);
}

void TestStageBoard::columnsTakeTheFreeWidthBelowTheFrame()
{
    // 120 winners drawn one at a time: the frame holds one line, and the
    // part of the screen below it is free.
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖项表 SET 同时=1 WHERE CID=?"), { m_draw }));
    test::holdRounds(m_draw, 120);
    MF screen(m_draw, draw::Entry::Continue);
    menuItem(screen, "m_Columns")->trigger(); // chosen before the screen shows
    showAt1080p(screen);
    BoardList *list = boardList(screen);
    checkOnScreen(screen);
    checkNoneLeftOutInSilence(screen, 120);
    QVERIFY(list->fit().columns >= 3);
    QVERIFY(list->fit().placed.constFirst().rect.left() < 0); // left of the board's own column
    QVERIFY(list->shownLines().contains(newestWinnerLine(m_draw)));
    // A press where no line is painted reaches the picture, beside the frame too.
    QVERIFY(!list->mask().isEmpty());
    QVERIFY(!list->mask().contains(list->mapFromParent(QPoint(200, 300))));
}

void TestStageBoard::fittingFollowsPlaceAndFont()
{
    MF screen(m_draw);
    showAt1080p(screen);
    holdRounds(screen, 20);
    BoardList *list = boardList(screen);
    const qsizetype before = list->fit().placed.size();

    // Moved lower, as the board dialog or a drag moves it: less room.
    QRectF title = screen.boardTitleTwips();
    title.moveTop(title.top() + 3000);
    screen.placeBoardTitle(title);
    checkOnScreen(screen);
    QVERIFY(list->fit().placed.size() < before);
    QVERIFY(list->shownLines().contains(newestWinnerLine(m_draw)));

    // A larger font for the list: fewer lines, still on screen.
    const qsizetype moved = list->fit().placed.size();
    FontChoice big;
    big.font = list->font();
    big.font.setPixelSize(48);
    big.colour = 0x00FFFF; // yellow
    m_prompts->queueFont(big);
    menuItem(screen, "M_ConFont")->trigger();
    QCOMPARE(list->font().pixelSize(), 48);
    checkOnScreen(screen);
    // Painted in the chosen colour.
    const QImage shown = screen.grab().toImage();
    const QRect newest = list->lineRect(list->fit().placed.constLast()).toRect().translated(list->pos());
    int yellow = 0;
    for (int y = newest.top(); y <= newest.bottom(); ++y) {
        for (int x = newest.left(); x <= std::min(newest.right(), shown.width() - 1); ++x) {
            const QColor pixel = shown.pixelColor(x, y);
            yellow += pixel.red() > 220 && pixel.green() > 220 && pixel.blue() < 60;
        }
    }
    QVERIFY(yellow > 20);
    QVERIFY(list->fit().placed.size() < moved);
    QVERIFY(list->shownLines().contains(newestWinnerLine(m_draw)));
    test::saveShot(&screen, QStringLiteral("MF-stage-board-200-moved"));

    // Beside the command labels there is no room: nothing is painted, and
    // the list keeps its text.
    QFont small = list->font();
    small.setPixelSize(10); // lines that would fit beside them
    list->setFont(small);
    const QRect start = screen.findChild<QWidget *>(QStringLiteral("lStart"))->geometry();
    screen.placeBoardTitle(QRectF(start.left() * 15.0, (start.top() - 30) * 15.0, 6000, 450));
    QCOMPARE(list->y(), start.top());
    QVERIFY(list->fit().placed.isEmpty());
    QCOMPARE(list->text(), screen.session().WinnersText(true, false).text);
}

void TestStageBoard::textSetOtherwiseIsPaintedAsLines()
{
    MF screen(m_draw);
    showAt1080p(screen);
    BoardList *list = boardList(screen);
    list->setText(QStringLiteral("甲\r\n     001\r\n"));
    list->grab();
    QCOMPARE(list->shownLines(), (QStringList { QStringLiteral("甲"), QStringLiteral("     001") }));
}

QTEST_MAIN(TestStageBoard)
#include "tst_stageboard.moc"
