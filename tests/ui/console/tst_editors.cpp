#include "common/conventions.h"
#include "common/prompts.h"
#include "console/modi.h"
#include "console/modicon.h"
#include "data/attributestore.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "draw/board.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace tombolix;
using namespace Qt::StringLiterals;

namespace {

const QString Draws = u"奖次表"_s;
const QString Awards = u"奖项表"_s;

// The row with this ID, or with the highest ID when id is 0.
QVariantMap row(const QString &table, qint64 id = 0)
{
    QSqlQuery query(data::connection());
    query.prepare(
        id ? u"SELECT * FROM %1 WHERE ID=?"_s.arg(table) : u"SELECT * FROM %1 ORDER BY ID DESC"_s.arg(table));
    if (id)
        query.addBindValue(id);
    QVariantMap values;
    if (query.exec() && query.next()) {
        for (int i = 0; i < query.record().count(); ++i)
            values.insert(query.record().fieldName(i), query.value(i));
    }
    return values;
}

qint64 rowCount(const QString &table)
{
    QSqlQuery query(u"SELECT COUNT(*) FROM "_s + table, data::connection());
    return query.next() ? query.value(0).toLongLong() : -1;
}

template<typename T = QLineEdit> T *child(QWidget *dialog, const QString &name)
{
    T *widget = dialog->findChild<T *>(name);
    if (!widget)
        qFatal("no child %s", qPrintable(name));
    return widget;
}

void click(QWidget *dialog, const QString &button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

// keyClicks knows only ASCII; Chinese is typed as key events carrying the text.
void retype(QWidget *dialog, const QString &box, const QString &text)
{
    QLineEdit *edit = child(dialog, box);
    edit->clear();
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void refuseWrites(const QString &table)
{
    for (const char *when : { "INSERT", "UPDATE" })
        QVERIFY(data::ExecuteSql(u"CREATE TRIGGER refuse_%1_%2 BEFORE %1 ON %2 BEGIN "
                                 "SELECT RAISE(ABORT, 'read only'); END"_s.arg(QLatin1String(when), table)));
}

const QString HostileText = u"张三's \"Party\", 1,2\n3'; DROP TABLE 奖次表; --\r\n"_s + QString(5000, u'奖');

} // namespace

class TestEditors : public QObject
{
    Q_OBJECT

private slots:
    void newDrawStartsEmptyAndStoresEveryField();
    void drawNameMustBeGivenAndUniqueOnCreate();
    void duplicateNamesIgnoreLetterCase_data();
    void duplicateNamesIgnoreLetterCase();
    void fixedLengthHasACeiling_data();
    void fixedLengthHasACeiling();
    void loadedDrawShowsItsCheckStates_data();
    void loadedDrawShowsItsCheckStates();
    void untickingStoresZeroAndKeepsAppearance();
    void pictureChoiceShowsThumbnailAndCancelKeepsDraw();
    void hostileTextsStoreUnchanged();
    void everyWayOfClosingIsReported_data();
    void everyWayOfClosingIsReported();
    void failedSaveKeepsEditorsOpen();
    void soundSettingsStandOrFallWithTheDraw();
    void theBoardsAttributeIsOneOfTheDrawsNames();

    void newAwardDefaultsAndStores();
    void perRoundCountIsChecked_data();
    void perRoundCountIsChecked();
    void changingAwardKeepsDrawAndOrder();
};

void TestEditors::newDrawStartsEmptyAndStoresEveryField()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    QPointer<Modi> editor = new Modi;
    QSignalSpy closed(editor.data(), &Modi::closedEditor);
    editor->show();
    QVERIFY(QTest::qWaitForWindowActive(editor));
    QCOMPARE(QApplication::focusWidget(), child(editor, u"TT_4"_s)); // typing names the draw
    QCOMPARE(child<QScrollBar>(editor, u"HS"_s)->value(), 1);
    for (int i : { 0, 1 }) {
        QVERIFY(!child(editor, u"TT_%1"_s.arg(i + 2))->isEnabled()); // until its box is ticked
        child<QCheckBox>(editor, u"CK_%1"_s.arg(i))->click();
    }

    retype(editor, u"TT_4"_s, u"年会抽奖"_s);
    retype(editor, u"TT_1"_s, u"000****0000"_s);
    retype(editor, u"TT_2"_s, u"abc"_s); // not a number: stored as 0
    retype(editor, u"TT_3"_s, u"12位"_s);
    child<QScrollBar>(editor, u"HS"_s)->setValue(250);
    QCOMPARE(child<QLabel>(editor, u"HSValue"_s)->text(), u"250 毫秒"_s);
    click(editor, u"Com_1"_s);

    const QVariantMap draw = row(Draws);
    QCOMPARE(draw.value(u"抽奖内容"_s).toString(), u"年会抽奖"_s);
    QVERIFY(!draw.value(u"底图"_s).isNull() && draw.value(u"底图"_s).toString().isEmpty());
    QCOMPARE(draw.value(u"速度"_s).toString(), u"250"_s);
    QCOMPARE(draw.value(u"屏蔽"_s).toString(), u"000****0000"_s);
    QCOMPARE(draw.value(u"定时"_s).toString(), u"0"_s);
    QCOMPARE(draw.value(u"定长"_s).toString(), u"12"_s);
    QVERIFY(draw.value(u"FRM"_s).isNull());
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(editor.isNull());
    QVERIFY(prompts.messages().isEmpty());
}

void TestEditors::drawNameMustBeGivenAndUniqueOnCreate()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    db.addDraw(u"年会"_s);
    const qint64 other = db.addDraw(u"迎新"_s);

    QScopedPointer<Modi> creating(new Modi);
    creating->setAttribute(Qt::WA_DeleteOnClose, false);
    QSignalSpy closed(creating.data(), &Modi::closedEditor);
    creating->show();
    click(creating.data(), u"Com_1"_s);
    retype(creating.data(), u"TT_4"_s, u"年会"_s);
    click(creating.data(), u"Com_1"_s);
    QCOMPARE(prompts.messages(),
        QStringList({ u"抽奖名称不能为空，请取其他名称！"_s, u"抽奖名称已经存在，请取其他名称！"_s }));
    QCOMPARE(rowCount(Draws), 2);
    QVERIFY(creating->isVisible());
    QCOMPARE(closed.count(), 0);

    // Renaming an existing draw is not checked against the others.
    Modi *renaming = new Modi;
    renaming->show();
    renaming->setDrawId(other);
    retype(renaming, u"TT_4"_s, u"年会"_s);
    click(renaming, u"Com_1"_s);
    QCOMPARE(prompts.messages().size(), 2);
    QCOMPARE(row(Draws, other).value(u"抽奖内容"_s).toString(), u"年会"_s);
    QCOMPARE(rowCount(Draws), 2);
}

void TestEditors::duplicateNamesIgnoreLetterCase_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    QTest::newRow("capital first") << u"party"_s << u"Party"_s << true;
    QTest::newRow("all capitals") << u"年会 Party 2026"_s << u"年会 PARTY 2026"_s << true;
    QTest::newRow("other letters as typed") << u"Éclat"_s << u"éclat"_s << false;
    QTest::newRow("full-width letters as typed") << u"Ｐａｒｔｙ"_s << u"ｐａｒｔｙ"_s << false;
    QTest::newRow("Chinese as before") << u"年会"_s << u"年会二"_s << false;
}

void TestEditors::duplicateNamesIgnoreLetterCase()
{
    QFETCH(QString, existing);
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    db.addDraw(existing);
    QScopedPointer<Modi> editor(new Modi);
    editor->setAttribute(Qt::WA_DeleteOnClose, false);
    editor->show();
    retype(editor.data(), u"TT_4"_s, typed);
    click(editor.data(), u"Com_1"_s);
    QCOMPARE(
        prompts.messages(), refused ? QStringList(u"抽奖名称已经存在，请取其他名称！"_s) : QStringList());
    QCOMPARE(editor->isVisible(), refused);
    QCOMPARE(rowCount(Draws), refused ? 1 : 2);
}

void TestEditors::fixedLengthHasACeiling_data()
{
    QTest::addColumn<QString>("length");
    QTest::addColumn<bool>("refused");
    QTest::newRow("at the ceiling") << u"64"_s << false;
    QTest::newRow("one more") << u"65"_s << true;
    QTest::newRow("huge") << u"99999999999999999999"_s << true;
    QTest::newRow("huge in exponent form") << u"1E30"_s << true;
}

void TestEditors::fixedLengthHasACeiling()
{
    QFETCH(QString, length);
    QFETCH(bool, refused);
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 id = db.addDraw(u"年会"_s, u"50"_s, QString(), u"0"_s, u"8"_s);
    QScopedPointer<Modi> editor(new Modi);
    editor->setAttribute(Qt::WA_DeleteOnClose, false);
    editor->show();
    editor->setDrawId(id);
    retype(editor.data(), u"TT_3"_s, length);
    click(editor.data(), u"Com_1"_s);
    QCOMPARE(prompts.messages(), refused ? QStringList(u"抽奖号码长不能超过64位！"_s) : QStringList());
    QCOMPARE(editor->isVisible(), refused);
    QCOMPARE(row(Draws, id).value(u"定长"_s).toString(), refused ? u"8"_s : length);
}

void TestEditors::loadedDrawShowsItsCheckStates_data()
{
    QTest::addColumn<QString>("timer");
    QTest::addColumn<QString>("length");
    QTest::addColumn<bool>("timed");
    QTest::addColumn<bool>("fixed");
    QTest::newRow("fixed length only") << u"0"_s << u"8"_s << false << true;
    QTest::newRow("timed only") << u"3"_s << u"0"_s << true << false;
    QTest::newRow("negative is off") << u"-2"_s << u""_s << false << false;
}

void TestEditors::loadedDrawShowsItsCheckStates()
{
    QFETCH(QString, timer);
    QFETCH(QString, length);
    QFETCH(bool, timed);
    QFETCH(bool, fixed);
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 id = db.addDraw(u"年会"_s, u"300"_s, u"**"_s, timer, length);
    QScopedPointer<Modi> editor(new Modi);
    editor->show();
    editor->setDrawId(id);
    QCOMPARE(child(editor.data(), u"TT_4"_s)->text(), u"年会"_s);
    QCOMPARE(child(editor.data(), u"TT_1"_s)->text(), u"**"_s);
    QCOMPARE(child<QScrollBar>(editor.data(), u"HS"_s)->value(), 300);
    const bool ticked[2] = { timed, fixed };
    const QString stored[2] = { timer, length };
    for (int i : { 0, 1 }) {
        QLineEdit *box = child(editor.data(), u"TT_%1"_s.arg(i + 2));
        QCOMPARE(child<QCheckBox>(editor.data(), u"CK_%1"_s.arg(i))->isChecked(), ticked[i]);
        QCOMPARE(box->isEnabled() && !box->isReadOnly(), ticked[i]);
        QCOMPARE(box->text(), ticked[i] ? stored[i] : u"0"_s);
    }
}

void TestEditors::untickingStoresZeroAndKeepsAppearance()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 id = db.addDraw(u"年会"_s, u"80"_s, QString(), u"5"_s, u"6"_s);
    QVERIFY(data::ExecuteSql(u"UPDATE 奖次表 SET FRM=?, L0=?, L1=?, L2=? WHERE ID=?"_s,
        { u"1】【2"_s, u"宋体】【12"_s, u"x"_s, u"y"_s, id }));
    Modi *editor = new Modi;
    editor->show();
    editor->setDrawId(id);
    child<QCheckBox>(editor, u"CK_0"_s)->click();
    QCOMPARE(child(editor, u"TT_2"_s)->text(), u"0"_s);
    QVERIFY(!child(editor, u"TT_2"_s)->isEnabled());
    click(editor, u"Com_1"_s);

    const QVariantMap draw = row(Draws, id);
    QCOMPARE(draw.value(u"定时"_s).toString(), u"0"_s);
    QCOMPARE(draw.value(u"定长"_s).toString(), u"6"_s);
    QCOMPARE(draw.value(u"速度"_s).toString(), u"80"_s);
    QCOMPARE(draw.value(u"FRM"_s).toString(), u"1】【2"_s);
    QCOMPARE(draw.value(u"L0"_s).toString(), u"宋体】【12"_s);
    QCOMPARE(draw.value(u"L2"_s).toString(), u"y"_s);
    QCOMPARE(rowCount(Draws), 1);
}

void TestEditors::pictureChoiceShowsThumbnailAndCancelKeepsDraw()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const QString picture = db.folder() + u"/舞台.jpg"_s;
    QImage image(800, 450, QImage::Format_RGB32);
    image.fill(QColor(180, 30, 40));
    QVERIFY(image.save(picture));
    const qint64 id = db.addDraw(u"年会"_s, u"120"_s, u"000****0000"_s, u"0"_s, u"8"_s);

    Modi *editor = new Modi;
    QSignalSpy closed(editor, &Modi::closedEditor);
    editor->show();
    editor->setDrawId(id);
    click(editor, u"Com_0"_s); // the file dialog cancelled
    QCOMPARE(child(editor, u"TT_0"_s)->text(), QString());
    prompts.queueFileName(picture);
    click(editor, u"Com_0"_s);
    QCOMPARE(prompts.texts(u"open"_s), QStringList(2, u"JPEG图片(*.jpg)|*.jpg"_s));
    QCOMPARE(child(editor, u"TT_0"_s)->text(), picture);
    auto *thumbnail = child<QLabel>(editor, u"Img"_s);
    const QPixmap shown = thumbnail->pixmap();
    QVERIFY(!shown.isNull() && shown.width() <= thumbnail->width() && shown.height() <= thumbnail->height());
    QVERIFY(qAbs(shown.width() * 9 - shown.height() * 16) < 16); // aspect kept
    test::saveShot(editor, u"Modi"_s);

    retype(editor, u"TT_0"_s, u"/no/such/file.jpg"_s);
    QVERIFY(thumbnail->pixmap().isNull());
    click(editor, u"Com_2"_s);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(row(Draws, id).value(u"底图"_s).toString(), QString());
}

void TestEditors::hostileTextsStoreUnchanged()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const QString path = u"C:\\图片\\it's \"big\".jpg"_s;
    for (int attempt = 0; attempt < 2; ++attempt) {
        QScopedPointer<Modi> editor(new Modi);
        editor->setAttribute(Qt::WA_DeleteOnClose, false);
        editor->show();
        child(editor.data(), u"TT_4"_s)->setText(HostileText);
        child(editor.data(), u"TT_0"_s)->setText(path);
        child(editor.data(), u"TT_1"_s)->setText(u"'**'"_s);
        click(editor.data(), u"Com_1"_s);
    }
    // The second attempt met the first one's name, quotes and all.
    QCOMPARE(prompts.messages(), QStringList(u"抽奖名称已经存在，请取其他名称！"_s));
    QCOMPARE(rowCount(Draws), 1);
    const QVariantMap draw = row(Draws);
    QCOMPARE(draw.value(u"抽奖内容"_s).toString(), HostileText);
    QCOMPARE(draw.value(u"底图"_s).toString(), path);
    QCOMPARE(draw.value(u"屏蔽"_s).toString(), u"'**'"_s);

    ModiCon *award = new ModiCon;
    award->show();
    award->setDrawId(draw.value(u"ID"_s).toLongLong());
    child(award, u"TT_0"_s)->setText(HostileText);
    child<QPlainTextEdit>(award, u"TT_2"_s)->setPlainText(HostileText);
    click(award, u"Com_1"_s);
    const QVariantMap stored = row(Awards);
    QCOMPARE(stored.value(u"名称"_s).toString(), HostileText);
    // A multi-line box keeps its lines; only CR LF comes back as a line feed.
    QCOMPARE(stored.value(u"奖品"_s).toString(), QString(HostileText).replace(u"\r\n"_s, u"\n"_s));
    QCOMPARE(rowCount(Draws), 1);
}

void TestEditors::everyWayOfClosingIsReported_data()
{
    QTest::addColumn<bool>("award");
    QTest::addColumn<int>("way");
    const char *ways[] = { "cancel button", "close box", "Esc" };
    for (int way = 0; way < 3; ++way) {
        QTest::addRow("draw, %s", ways[way]) << false << way;
        QTest::addRow("award, %s", ways[way]) << true << way;
    }
}

void TestEditors::everyWayOfClosingIsReported()
{
    QFETCH(bool, award);
    QFETCH(int, way);
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    QPointer<QDialog> editor = award ? static_cast<QDialog *>(new ModiCon) : new Modi;
    QSignalSpy closed(editor.data(), SIGNAL(closedEditor()));
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    if (way == 0)
        click(editor, u"Com_2"_s);
    else if (way == 1)
        editor->close();
    else
        QTest::keyClick(editor, Qt::Key_Escape);
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(editor.isNull());
    QCOMPARE(rowCount(award ? Awards : Draws), 0);
}

void TestEditors::failedSaveKeepsEditorsOpen()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 drawId = db.addDraw(u"年会"_s);
    const qint64 awardId = db.addAward(drawId, 1, u"一等奖"_s, 1, 1);
    refuseWrites(Draws);
    refuseWrites(Awards);

    QScopedPointer<Modi> draw(new Modi);
    draw->show();
    draw->setDrawId(drawId);
    QScopedPointer<ModiCon> award(new ModiCon);
    QSignalSpy saved(award.data(), &ModiCon::saved);
    QSignalSpy closed(award.data(), &ModiCon::closedEditor);
    award->show();
    award->setAwardId(awardId);
    click(draw.data(), u"Com_1"_s);
    click(award.data(), u"Com_1"_s);
    QCOMPARE(prompts.messages(), QStringList(2, u"保存失败，请检查数据库！"_s));
    QVERIFY(draw->isVisible() && award->isVisible());
    QCOMPARE(saved.count() + closed.count(), 0);
}

// The draw's sound files are stored with its row or not at all: a refused
// setting leaves the row as it was and says so.
void TestEditors::soundSettingsStandOrFallWithTheDraw()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 drawId = db.addDraw(u"年会"_s);
    refuseWrites(u"抽奖设置表"_s);
    QScopedPointer<Modi> draw(new Modi);
    draw->show();
    draw->setDrawId(drawId);
    draw->findChild<QLineEdit *>(u"TT_0"_s)->setText(u"改名的年会"_s);
    draw->findChild<QLineEdit *>(u"RollSound"_s)->setText(u"鼓点.wav"_s);
    click(draw.data(), u"Com_1"_s);
    QCOMPARE(prompts.messages(), QStringList { u"保存失败，请检查数据库！"_s });
    QVERIFY(draw->isVisible());
    QCOMPARE(row(Draws).value(u"抽奖内容"_s).toString(), u"年会"_s);
}

// The board names one of the draw's attributes, chosen among them in the
// draw's editor, or none.
void TestEditors::theBoardsAttributeIsOneOfTheDrawsNames()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 drawId = db.addDraw(u"年会"_s);
    QVERIFY(data::AttributeStore().placesOf(drawId, { u"部门"_s, u"类别"_s }));
    for (const QString &choice : { u"部门"_s, QString() }) {
        QScopedPointer<Modi> draw(new Modi);
        draw->show();
        draw->setDrawId(drawId);
        auto *box = draw->findChild<QComboBox *>(draw::BoardAttributeKey);
        QCOMPARE(box->count(), 3);
        QCOMPARE(box->currentData().toString(), choice.isEmpty() ? u"部门"_s : QString());
        box->setFocus();
        QTest::keyClick(box, choice.isEmpty() ? Qt::Key_Home : Qt::Key_Down);
        QCOMPARE(box->currentText(), choice.isEmpty() ? u"（不显示）"_s : choice);
        click(draw.data(), u"Com_1"_s);
        QCOMPARE(data::DrawStore().extraSetting(drawId, draw::BoardAttributeKey), choice);
    }
}

void TestEditors::newAwardDefaultsAndStores()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 drawId = db.addDraw(u"年会"_s);
    ModiCon *editor = new ModiCon;
    QStringList signalOrder;
    connect(editor, &ModiCon::saved, this, [&] { signalOrder << u"saved"_s; });
    connect(editor, &ModiCon::closedEditor, this, [&] { signalOrder << u"closed"_s; });
    editor->show();
    editor->setDrawId(drawId);
    editor->setOrder(u"3"_s);
    click(editor, u"Com_1"_s); // as it opened: no name, counts 1, shown, no repeat

    const QVariantMap award = row(Awards);
    const QVariantList expected { drawId, 3, QString(), 1, 1, 1, 0 };
    const QStringList columns { u"CID"_s, u"顺序"_s, u"名称"_s, u"数量"_s, u"同时"_s, u"显示"_s, u"重复"_s };
    for (int i = 0; i < columns.size(); ++i)
        QCOMPARE(award.value(columns[i]).toString(), expected[i].toString());
    QCOMPARE(signalOrder, QStringList({ u"saved"_s, u"closed"_s }));
    QVERIFY(prompts.messages().isEmpty());
}

void TestEditors::perRoundCountIsChecked_data()
{
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("perRound");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("all at once") << u"5"_s << u"5"_s << true;
    QTest::newRow("more than the total") << u"5"_s << u"6"_s << false;
    QTest::newRow("none") << u"5"_s << u"0"_s << false;
    QTest::newRow("negative") << u"5"_s << u"-1"_s << false;
    // A round draws whole entrants.
    QTest::newRow("2.5 is no whole number") << u"5"_s << u"2.5"_s << false;
    QTest::newRow("0.5 is no whole number") << u"5"_s << u"0.5"_s << false;
    QTest::newRow("total not a number") << u"五"_s << u"1"_s << false;
    QTest::newRow("total with a unit") << u"5人"_s << u"5"_s << true;
}

void TestEditors::perRoundCountIsChecked()
{
    QFETCH(QString, total);
    QFETCH(QString, perRound);
    QFETCH(bool, accepted);
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    QScopedPointer<ModiCon> editor(new ModiCon);
    editor->setAttribute(Qt::WA_DeleteOnClose, false);
    QSignalSpy saved(editor.data(), &ModiCon::saved);
    editor->show();
    editor->setDrawId(db.addDraw(u"年会"_s));
    retype(editor.data(), u"TT_1"_s, total);
    retype(editor.data(), u"TT_3"_s, perRound);
    click(editor.data(), u"Com_1"_s);

    QCOMPARE(saved.count(), accepted ? 1 : 0);
    QCOMPARE(editor->isVisible(), !accepted);
    QCOMPARE(rowCount(Awards), accepted ? 1 : 0);
    if (!accepted) {
        QCOMPARE(prompts.messages(), QStringList(u"一次抽出获奖人数不能少于一人或大于总获奖人数！"_s));
        return;
    }
    QCOMPARE(row(Awards).value(u"同时"_s).toString(), perRound); // as typed, not rounded
    QCOMPARE(row(Awards).value(u"数量"_s).toString(), numberText(numericValue(total)));
}

void TestEditors::changingAwardKeepsDrawAndOrder()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 drawId = db.addDraw(u"年会"_s);
    const qint64 id = db.addAward(drawId, 4, u"一等奖"_s, 3, 1, false, true, u"笔记本电脑\n一台"_s);
    ModiCon *editor = new ModiCon;
    editor->show();
    editor->setAwardId(id);
    QCOMPARE(child(editor, u"CID"_s)->text(), QString::number(drawId));
    QCOMPARE(child(editor, u"Ord"_s)->text(), u"4"_s);
    QCOMPARE(child(editor, u"TT_1"_s)->text(), u"3"_s);
    QCOMPARE(child<QPlainTextEdit>(editor, u"TT_2"_s)->toPlainText(), u"笔记本电脑\n一台"_s);
    QVERIFY(!child<QCheckBox>(editor, u"CK_0"_s)->isChecked());
    QVERIFY(child<QCheckBox>(editor, u"CK_1"_s)->isChecked());
    test::saveShot(editor, u"ModiCon"_s);

    retype(editor, u"TT_0"_s, u"特等奖"_s);
    child<QCheckBox>(editor, u"CK_0"_s)->click();
    click(editor, u"Com_1"_s);
    const QVariantMap award = row(Awards, id);
    QCOMPARE(award.value(u"CID"_s).toLongLong(), drawId);
    QCOMPARE(award.value(u"顺序"_s).toLongLong(), 4);
    QCOMPARE(award.value(u"名称"_s).toString(), u"特等奖"_s);
    QCOMPARE(award.value(u"显示"_s).toLongLong(), 1);
    QCOMPARE(award.value(u"重复"_s).toLongLong(), 1);
    QCOMPARE(rowCount(Awards), 1);
}

QTEST_MAIN(TestEditors)
#include "tst_editors.moc"
