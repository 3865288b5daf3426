#include "common/prompts.h"
#include "common/settingsstore.h"
#include "data/awardstore.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/entrantstore.h"
#include "data/rangestore.h"
#include "data/resultstore.h"
#include "support/testsupport.h"

#include <QDir>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <functional>

using namespace tombolix;
using namespace tombolix::data;
using namespace Qt::StringLiterals;

namespace {

const QString ConnectionFailed = u"无法建立数据库连接！"_s;

// Every row of every table, as text: what "nothing changed" is checked against.
QStringList everything()
{
    QStringList rows;
    for (const QString &table : { u"奖次表"_s, u"奖项表"_s, u"号码表"_s, u"结果表"_s, u"预设表"_s }) {
        QSqlQuery query(connection());
        query.exec(u"SELECT * FROM "_s + table + u" ORDER BY ID"_s);
        while (query.next()) {
            QStringList fields { table };
            for (int i = 0; i < query.record().count(); ++i)
                fields << query.value(i).toString();
            rows << fields.join(u'|');
        }
    }
    return rows;
}

qint64 rows(const QString &table, const QString &condition = QString())
{
    return CountRows(table, condition, u"*"_s);
}

bool addPreset(qint64 draw, qint64 award)
{
    return ExecuteSql(u"INSERT INTO 预设表 (PID, AID, Code) VALUES (?, ?, '1')"_s, { draw, award });
}

// Two draws, each with two awards, three entrants, a result per award and a
// preset per award.
struct TwoDraws
{
    qint64 draws[2] = {};
    qint64 awards[2][2] = {};
    qint64 results[2][2] = {};
    qint64 entrants[2] = {};

    explicit TwoDraws(test::TestDatabase &db)
    {
        for (int d = 0; d < 2; ++d) {
            draws[d] = db.addDraw(u"抽奖%1"_s.arg(d));
            entrants[d] = db.addEntrant(draws[d], u"001"_s, u"甲"_s);
            db.addEntrants(draws[d], 2, 2);
            for (int a = 0; a < 2; ++a) {
                awards[d][a] = db.addAward(draws[d], a + 1, u"奖%1"_s.arg(a), 2, 1);
                const ResultStore::RecordedRound stored
                    = ResultStore().record({ { 0, draws[d], awards[d][a], u"001"_s, u"甲"_s } });
                results[d][a] = stored.ids.size() == 1 ? stored.ids.front() : 0;
                addPreset(draws[d], awards[d][a]);
                const AwardRange range { { { u"类别"_s, ConditionKind::OneOf, { u"员工"_s } } },
                    { u"002"_s } };
                QVERIFY(RangeStore().saveAward(draws[d], awards[d][a], range));
            }
            QVERIFY(RangeStore().saveDrawExclusions(draws[d], { u"003"_s }));
        }
    }
};

enum class Operation
{
    SaveNewDraw,
    SaveExistingDraw,
    SaveFrame,
    SaveFont,
    RemoveDraws,
    SaveAward,
    Reorder,
    RemoveAwards,
    RecordRound,
    Withdraw,
    RemoveEntrants,
};

// A trigger's event and condition that refuse the last row an operation
// of refusalChangesNothing writes.
QString lastRowRefused(Operation operation, const TwoDraws &f)
{
    const QString secondDraw = QString::number(f.draws[1]);
    switch (operation) {
    case Operation::RemoveDraws:
        return u"DELETE ON 奖次表 WHEN OLD.ID="_s + secondDraw;
    case Operation::Reorder:
        return u"UPDATE ON 奖项表 WHEN NEW.ID="_s + QString::number(f.awards[0][0]);
    case Operation::RemoveAwards:
        return u"DELETE ON 奖项表 WHEN OLD.CID="_s + secondDraw;
    case Operation::Withdraw:
        return u"DELETE ON 结果表 WHEN OLD.CID="_s + secondDraw;
    default:
        return u"DELETE ON 号码表 WHEN OLD.CID="_s + secondDraw;
    }
}

} // namespace

Q_DECLARE_METATYPE(Operation)

class TestStores : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void drawRoundTrip_data();
    void drawRoundTrip();
    void drawSettingsAreStoredAsNumbers();
    void appearanceIsWrittenApart();
    void awardRoundTripAndOrder();
    void reorderTouchesOnlyTheDrawsAwards();
    void countsAndTotals();
    void roundsAndTheBoard();
    void aRefusedWinnerStopsTheRound();
    void entrantsReadAndRemoved();
    void deletionsTakeWhatHangsOnThem();
    void refusalChangesNothing_data();
    void refusalChangesNothing();
    void missingFileIsToldAsTheRoutinesTellIt();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestStores::init()
{
    m_db = new test::TestDatabase;
    QVERIFY(m_db->isValid());
    m_prompts = new ScopedScriptedPrompts;
}

void TestStores::cleanup()
{
    setReadOnlyForTesting(false);
    delete m_prompts;
    delete m_db;
}

void TestStores::drawRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("apostrophe") << u"O'Brien"_s;
    QTest::newRow("or true") << u"' OR '1'='1"_s;
    QTest::newRow("statement") << u"x'); DELETE FROM 奖次表; --"_s;
    QTest::newRow("line breaks and length") << u"年会\r\n抽奖"_s + QString(3000, u'奖');
}

// Every text comes back as it went in, through an insert and an update, and
// the names of other draws are neither matched nor changed by it.
void TestStores::drawRoundTrip()
{
    QFETCH(QString, text);
    const qint64 other = m_db->addDraw(u"别的"_s);

    DrawRecord draw;
    draw.name = text;
    draw.picture = u"C:\\图片\\"_s + text + u".jpg"_s;
    draw.speed = u"80"_s;
    draw.mask = text;
    draw.timer = u"0"_s;
    draw.length = u"8"_s;
    QCOMPARE(DrawStore().nameTaken(text), std::optional<bool>(false));
    const SaveResult inserted = DrawStore().save(draw);
    QVERIFY(inserted.saved());
    QVERIFY(inserted.id > other);

    std::optional<DrawRecord> loaded = DrawStore().load(inserted.id);
    QVERIFY(loaded);
    QCOMPARE(loaded->id, inserted.id);
    QCOMPARE(loaded->name, text);
    QCOMPARE(loaded->picture, draw.picture);
    QCOMPARE(loaded->mask, text);
    QCOMPARE(DrawStore().setting(inserted.id, DrawStore::Setting::Mask), text);
    QCOMPARE(DrawStore().setting(inserted.id, DrawStore::Setting::Length), u"8"_s);
    QCOMPARE(DrawStore().nameTaken(text), std::optional<bool>(true));
    QCOMPARE(DrawStore().nameTaken(text.toUpper()), std::optional<bool>(true));

    loaded->name = text + u"2"_s;
    loaded->speed = u"300"_s;
    const SaveResult updated = DrawStore().save(*loaded);
    QVERIFY(updated.saved());
    QCOMPARE(updated.id, inserted.id);
    QCOMPARE(DrawStore().load(inserted.id)->name, text + u"2"_s);
    QCOMPARE(DrawStore().setting(inserted.id, DrawStore::Setting::Speed), u"300"_s);
    QCOMPARE(DrawStore().load(other)->name, u"别的"_s);
    QCOMPARE(rows(u"奖次表"_s), qint64(2));
    QVERIFY(m_prompts->messages().isEmpty());
}

// 速度, 定时 and 定长 are read through their numeric value and stored as it.
void TestStores::drawSettingsAreStoredAsNumbers()
{
    DrawRecord draw;
    draw.name = u"年会"_s;
    draw.speed = u"50.0"_s;
    draw.timer = u"3秒"_s;
    draw.length = QString(); // an empty box
    const qint64 id = DrawStore().save(draw).id;
    const DrawRecord loaded = *DrawStore().load(id);
    QCOMPARE(loaded.speed, u"50"_s);
    QCOMPARE(loaded.timer, u"3"_s);
    QCOMPARE(loaded.length, u"0"_s);
    QCOMPARE(loaded.picture, QString());
    QVERIFY(!LookupValue(u"奖次表"_s, id, u"ID"_s, u"底图"_s).isNull()); // "", not NULL

    // A draw deleted from under its editor is written back as a new one.
    QVERIFY(ExecuteSql(u"DELETE FROM 奖次表 WHERE ID=?"_s, { id }));
    const SaveResult again = DrawStore().save(loaded);
    QVERIFY(again.saved());
    QVERIFY(again.id > id);
    QCOMPARE(DrawStore().load(again.id)->name, u"年会"_s);
    QVERIFY(!DrawStore().load(id));
}

void TestStores::appearanceIsWrittenApart()
{
    const qint64 id = m_db->addDraw(u"年会"_s);
    const qint64 other = m_db->addDraw(u"别的"_s);
    const QString frame = u"840】【1920】【5175】【975】【】【0】【1"_s;
    QVERIFY(DrawStore().saveFrame(id, frame));
    QVERIFY(DrawStore().saveFont(id, u"L1"_s, u"O'Brien】【√"_s));
    QCOMPARE(DrawStore().frame(id), frame);
    QCOMPARE(DrawStore().font(id, u"L1"_s), u"O'Brien】【√"_s);
    QCOMPARE(DrawStore().font(id, u"L0"_s), QString());

    // Only the three font columns are fonts.
    QVERIFY(!DrawStore().saveFont(id, u"抽奖内容"_s, u"x"_s));
    QVERIFY(!DrawStore().saveFont(id, u"L1=L1, 抽奖内容"_s, u"x"_s));
    QCOMPARE(DrawStore().font(id, u"抽奖内容"_s), QString());
    QCOMPARE(DrawStore().load(id)->name, u"年会"_s);

    // Saving the settings leaves the appearance as it is.
    DrawRecord settings = *DrawStore().load(id);
    settings.frame.clear();
    settings.listFont.clear();
    QVERIFY(DrawStore().save(settings).saved());
    QCOMPARE(DrawStore().frame(id), frame);
    QCOMPARE(DrawStore().load(id)->listFont, u"O'Brien】【√"_s);
    QCOMPARE(DrawStore().frame(other), QString());
    QCOMPARE(DrawStore().frame(999), QString());
}

void TestStores::awardRoundTripAndOrder()
{
    const qint64 draw = m_db->addDraw(u"年会"_s);
    AwardRecord first;
    first.drawId = draw;
    first.order = u"10"_s;
    first.name = u"' OR '1'='1"_s;
    first.count = u"3人"_s;
    first.perRound = u"2"_s;
    first.prize = u"O'Brien's \"Party\"\r\n礼品"_s;
    first.shown = false;
    first.repeat = true;
    const SaveResult saved = AwardStore().save(first);
    QVERIFY(saved.saved());

    const AwardRecord loaded = *AwardStore().load(saved.id);
    QCOMPARE(loaded.drawId, draw);
    QCOMPARE(loaded.order, u"10"_s);
    QCOMPARE(loaded.name, first.name);
    QCOMPARE(loaded.count, u"3"_s); // its numeric value
    QCOMPARE(loaded.perRound, u"2"_s);
    QCOMPARE(loaded.prize, first.prize);
    QVERIFY(!loaded.shown);
    QVERIFY(loaded.repeat);

    // Orders typed as text still sort as numbers: 9 before 10.
    AwardRecord second = first;
    second.id = 0;
    second.order = u"9"_s;
    second.name = u"二等奖"_s;
    second.shown = true;
    second.repeat = false;
    QVERIFY(AwardStore().save(second).saved());
    m_db->addAward(draw + 1, 1, u"别的"_s, 1, 1);
    const QList<AwardRecord> awards = *AwardStore().forDraw(draw);
    QCOMPARE(awards.size(), 2);
    QCOMPARE(awards.at(0).name, u"二等奖"_s);
    QCOMPARE(awards.at(1).name, first.name);
    QVERIFY(awards.at(0).shown);
    QVERIFY(!awards.at(0).repeat);

    AwardRecord changed = loaded;
    changed.name = u"一等奖"_s;
    QCOMPARE(AwardStore().save(changed).id, saved.id);
    QCOMPARE(AwardStore().load(saved.id)->name, u"一等奖"_s);
    QCOMPARE(rows(u"奖项表"_s), qint64(3));
    QVERIFY(!AwardStore().load(999));
}

void TestStores::reorderTouchesOnlyTheDrawsAwards()
{
    const qint64 draw = m_db->addDraw(u"年会"_s);
    const qint64 other = m_db->addDraw(u"别的"_s);
    const qint64 a = m_db->addAward(draw, 1, u"A"_s, 1, 1);
    const qint64 b = m_db->addAward(draw, 2, u"B"_s, 1, 1);
    const qint64 c = m_db->addAward(draw, 3, u"C"_s, 1, 1);
    const qint64 elsewhere = m_db->addAward(other, 7, u"X"_s, 1, 1);
    QVERIFY(AwardStore().reorder(draw, { c, a, elsewhere, b }));
    QStringList names;
    const QList<AwardRecord> awards = *AwardStore().forDraw(draw);
    for (const AwardRecord &award : awards)
        names << award.name + award.order;
    QCOMPARE(names, (QStringList { u"C1"_s, u"A2"_s, u"B4"_s }));
    QCOMPARE(AwardStore().load(elsewhere)->order, u"7"_s);
}

void TestStores::countsAndTotals()
{
    QCOMPARE(AwardStore().totalWinners(1), std::optional<double>(0.0));
    QCOMPARE(EntrantStore().countDrawable(1), std::optional<qint64>(0));
    const TwoDraws f(*m_db);
    QCOMPARE(AwardStore().totalWinners(f.draws[0]), std::optional<double>(4.0));
    m_db->addEntrant(f.draws[0], u"  "_s, u"没有号码"_s); // blank numbers are never drawn
    QCOMPARE(EntrantStore().countDrawable(f.draws[0]), std::optional<qint64>(3));
    QCOMPARE(ResultStore().countForDraw(f.draws[1]), std::optional<qint64>(2));
    QCOMPARE(ResultStore().countForAward(f.draws[0], f.awards[0][1]), qint64(1));
    QCOMPARE(ResultStore().countForAward(f.draws[1], f.awards[0][1]), qint64(0));
    QCOMPARE(ResultStore().countForDraw(999), std::optional<qint64>(0));
    // What the console's grids show of one draw.
    QCOMPARE(OpenTableRows(u"号码表"_s, DrawStore::rowsOfDraw(f.draws[1]), u"ID"_s).recordCount(), qint64(3));
    QCOMPARE(OpenTableRows(u"结果表"_s, DrawStore::rowsOfDraw(f.draws[1]), u"ID"_s).recordCount(), qint64(2));
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestStores::roundsAndTheBoard()
{
    const qint64 draw = m_db->addDraw(u"年会"_s);
    const qint64 big = m_db->addAward(draw, 1, u"一等奖"_s, 5, 2, true, false, u"电脑"_s);
    const qint64 small = m_db->addAward(draw, 2, u"二等奖"_s, 5, 2, false);
    QCOMPARE(ResultStore()
                 .record({ { 0, draw, big, u"001"_s, u"O'Brien"_s }, { 0, draw, big, u"' OR '1'='1"_s, {} } })
                 .ids.size(),
        size_t(2));
    QCOMPARE(ResultStore().record({ { 0, draw, small, u"003"_s, u"丙"_s } }).ids.size(), size_t(1));
    QVERIFY(ResultStore().record({}).stored());

    auto describe = [](const QList<BoardRow> &rows) {
        QStringList lines;
        for (const BoardRow &row : rows)
            lines << u"%1 %2 %3 %4 %5 %6"_s.arg(row.order).arg(
                row.awardName, row.prize, row.shown ? u"√"_s : u"-"_s, row.number, row.name);
        return lines;
    };
    const QStringList ascending { u"1 一等奖 电脑 √ 001 O'Brien"_s, u"1 一等奖 电脑 √ ' OR '1'='1 "_s,
        u"2 二等奖  - 003 丙"_s };
    QCOMPARE(describe(*ResultStore().boardRows(draw, std::nullopt, true)), ascending);
    QCOMPARE(describe(*ResultStore().boardRows(draw, std::nullopt, false)),
        (QStringList { ascending[2], ascending[1], ascending[0] }));
    QCOMPARE(describe(*ResultStore().boardRows(draw, small, true)), QStringList { ascending[2] });
    QCOMPARE(ResultStore().boardRows(draw + 1, std::nullopt, true)->size(), 0);

    // Withdrawing takes exactly the rows named.
    const qint64 first = LookupValue(u"结果表"_s, u"001"_s, u"号码"_s, u"ID"_s).toLongLong();
    QVERIFY(ResultStore().withdraw({ first }, withdrawreason::OnStage));
    QCOMPARE(describe(*ResultStore().boardRows(draw, std::nullopt, true)), ascending.mid(1));
    QVERIFY(ResultStore().withdraw({}, withdrawreason::OnStage));
    QVERIFY(m_prompts->messages().isEmpty());
}

// A row the table refuses stops the whole round, named; a failure of the
// database stores none either.
void TestStores::aRefusedWinnerStopsTheRound()
{
    const qint64 draw = m_db->addDraw(u"年会"_s);
    const qint64 award = m_db->addAward(draw, 1, u"一等奖"_s, 5, 3);
    QVERIFY(ExecuteSql(u"CREATE TRIGGER refuse BEFORE INSERT ON 结果表 WHEN NEW.号码='2' "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"_s));
    const std::vector<ResultRecord> round { { 0, draw, award, u"1"_s, {} }, { 0, draw, award, u"2"_s, {} },
        { 0, draw, award, u"3"_s, {} } };
    const ResultStore::RecordedRound refused = ResultStore().record(round);
    QCOMPARE(refused.refused, qsizetype(1));
    QVERIFY(refused.ids.empty());
    QCOMPARE(ResultStore().countForDraw(draw), std::optional<qint64>(0));

    QVERIFY(ExecuteSql(u"DROP TRIGGER refuse"_s));
    setReadOnlyForTesting(true);
    const ResultStore::RecordedRound failed = ResultStore().record(round);
    QVERIFY(failed.failed && failed.ids.empty());
    setReadOnlyForTesting(false);
    QCOMPARE(ResultStore().countForDraw(draw), std::optional<qint64>(0));
    QCOMPARE(ResultStore().record(round).ids.size(), size_t(3));
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestStores::entrantsReadAndRemoved()
{
    const qint64 draw = m_db->addDraw(u"年会"_s);
    const qint64 other = m_db->addDraw(u"别的"_s);
    const qint64 late = m_db->addEntrant(other, u"9"_s);
    const qint64 a = m_db->addEntrant(draw, u" 0012 "_s, u"O'Brien"_s);
    const qint64 b = m_db->addEntrant(draw, u"' OR '1'='1"_s);
    const qint64 c = m_db->addEntrant(draw, u"0012"_s, u"乙"_s);

    EntrantRows read = EntrantStore().ofDraw(draw, EntrantStore::Order::ById);
    QVERIFY(read.isOpen());
    QCOMPARE(read.count(), qint64(3));
    QStringList seen;
    for (EntrantRecord entrant; read.next(entrant);) {
        QCOMPARE(entrant.drawId, draw);
        seen << u"%1:%2:%3"_s.arg(entrant.id).arg(entrant.number, entrant.name);
    }
    QCOMPARE(seen,
        (QStringList { u"%1: 0012 :O'Brien"_s.arg(a), u"%1:' OR '1'='1:"_s.arg(b), u"%1:0012:乙"_s.arg(c) }));
    QCOMPARE(read.count(), qint64(3));

    // One already gone counts for nothing.
    QCOMPARE(EntrantStore().remove({ c, a, 12345 }), std::optional<int>(2));
    QCOMPARE(EntrantStore().countDrawable(draw), std::optional<qint64>(1));
    EntrantRows left = EntrantStore().ofDraw(draw);
    EntrantRecord entrant;
    QVERIFY(left.next(entrant));
    QCOMPARE(entrant.id, b);
    QVERIFY(!left.next(entrant));
    QCOMPARE(LookupValue(u"号码表"_s, late, u"ID"_s, u"号码"_s).toString(), u"9"_s);
}

void TestStores::deletionsTakeWhatHangsOnThem()
{
    const TwoDraws f(*m_db);
    QVERIFY(AwardStore().remove({ f.awards[0][1] }));
    QCOMPARE(rows(u"奖项表"_s), qint64(3));
    QCOMPARE(rows(u"结果表"_s, u"WID=%1"_s.arg(f.awards[0][1])), qint64(0));
    QCOMPARE(rows(u"预设表"_s, u"AID=%1"_s.arg(f.awards[0][1])), qint64(0));
    QCOMPARE(rows(u"结果表"_s), qint64(3));
    QCOMPARE(rows(u"预设表"_s), qint64(3));
    QCOMPARE(rows(u"抽奖范围表"_s, u"WID=%1"_s.arg(f.awards[0][1])), qint64(0));
    QCOMPARE(rows(u"不参与名单表"_s, u"WID=%1"_s.arg(f.awards[0][1])), qint64(0));
    QCOMPARE(rows(u"抽奖范围表"_s), qint64(3));
    QCOMPARE(rows(u"不参与名单表"_s), qint64(5));

    QVERIFY(DrawStore().setExtraSetting(f.draws[0], u"L3"_s, u"kept"_s));
    QVERIFY(DrawStore().setExtraSetting(f.draws[1], u"L3"_s, u"gone"_s));
    QVERIFY(DrawStore().remove({ f.draws[1] }));
    QCOMPARE(DrawStore().extraSetting(f.draws[1], u"L3"_s), QString());
    QCOMPARE(DrawStore().extraSetting(f.draws[0], u"L3"_s), u"kept"_s);
    for (const QString &table : { u"奖项表"_s, u"号码表"_s, u"结果表"_s })
        QCOMPARE(rows(table, u"CID=%1"_s.arg(f.draws[1])), qint64(0));
    QCOMPARE(rows(u"预设表"_s, u"PID=%1"_s.arg(f.draws[1])), qint64(0));
    QVERIFY(!DrawStore().load(f.draws[1]));
    // The other draw keeps all it had.
    QVERIFY(DrawStore().load(f.draws[0]));
    QCOMPARE(rows(u"奖项表"_s), qint64(1));
    QCOMPARE(rows(u"号码表"_s), qint64(3));
    QCOMPARE(rows(u"结果表"_s), qint64(1));
    QCOMPARE(rows(u"预设表"_s), qint64(1));
    // Its ranges and lists, the draw's own one too, went with it.
    QCOMPARE(rows(u"抽奖范围表"_s), qint64(1));
    QCOMPARE(rows(u"不参与名单表"_s, u"CID=%1"_s.arg(f.draws[1])), qint64(0));
    QCOMPARE(rows(u"不参与名单表"_s), qint64(2));

    // The last statement refused: the ones before it are undone too.
    QVERIFY(ExecuteSql(
        u"CREATE TRIGGER refuse BEFORE DELETE ON 奖次表 BEGIN SELECT RAISE(ABORT, 'kept'); END"_s));
    const QStringList before = everything();
    QVERIFY(!DrawStore().remove({ f.draws[0] }));
    QCOMPARE(everything(), before);
    QCOMPARE(DrawStore().extraSetting(f.draws[0], u"L3"_s), u"kept"_s);
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestStores::refusalChangesNothing_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("new draw") << Operation::SaveNewDraw << true;
    QTest::newRow("changed draw") << Operation::SaveExistingDraw << true;
    QTest::newRow("frame") << Operation::SaveFrame << true;
    QTest::newRow("font") << Operation::SaveFont << true;
    QTest::newRow("draws deleted") << Operation::RemoveDraws << true;
    QTest::newRow("award") << Operation::SaveAward << true;
    QTest::newRow("award order") << Operation::Reorder << true;
    QTest::newRow("awards deleted") << Operation::RemoveAwards << true;
    QTest::newRow("round") << Operation::RecordRound << true;
    QTest::newRow("results withdrawn") << Operation::Withdraw << true;
    QTest::newRow("entrants deleted") << Operation::RemoveEntrants << true;
    // Refused at the last row: what went before is undone.
    QTest::newRow("draws deleted, second refused") << Operation::RemoveDraws << false;
    QTest::newRow("award order, second refused") << Operation::Reorder << false;
    QTest::newRow("awards deleted, second refused") << Operation::RemoveAwards << false;
    QTest::newRow("results withdrawn, second refused") << Operation::Withdraw << false;
    QTest::newRow("entrants deleted, second refused") << Operation::RemoveEntrants << false;
}

// A write the database refuses, because it may only be read or because a
// trigger refuses the last of the rows, is reported as failed, with nothing
// changed and nothing told (no statement failed to read).
void TestStores::refusalChangesNothing()
{
    QFETCH(Operation, operation);
    QFETCH(bool, readOnly);
    const TwoDraws f(*m_db);
    if (!readOnly)
        QVERIFY(ExecuteSql(u"CREATE TRIGGER refuse BEFORE "_s + lastRowRefused(operation, f)
            + u" BEGIN SELECT RAISE(ABORT, 'no'); END"_s));
    const QStringList before = everything();
    setReadOnlyForTesting(readOnly);

    DrawRecord draw = *DrawStore().load(f.draws[0]);
    draw.name = u"改名"_s;
    AwardRecord award = *AwardStore().load(f.awards[0][0]);
    award.name = u"改名"_s;
    bool written = true;
    switch (operation) {
    case Operation::SaveNewDraw:
        draw.id = 0;
        written = DrawStore().save(draw).status != SaveResult::NotWritten;
        break;
    case Operation::SaveExistingDraw:
        written = DrawStore().save(draw).status != SaveResult::NotWritten;
        break;
    case Operation::SaveFrame:
        written = DrawStore().saveFrame(f.draws[0], u"1】【2"_s);
        break;
    case Operation::SaveFont:
        written = DrawStore().saveFont(f.draws[0], u"L2"_s, u"宋体"_s);
        break;
    case Operation::RemoveDraws:
        written = DrawStore().remove({ f.draws[0], f.draws[1] });
        break;
    case Operation::SaveAward:
        written = AwardStore().save(award).status != SaveResult::NotWritten;
        break;
    case Operation::Reorder:
        written = AwardStore().reorder(f.draws[0], { f.awards[0][1], f.awards[0][0] });
        break;
    case Operation::RemoveAwards:
        written = AwardStore().remove({ f.awards[0][0], f.awards[1][1] });
        break;
    case Operation::RecordRound:
        written = ResultStore().record({ { 0, f.draws[0], f.awards[0][0], u"2"_s, {} } }).stored();
        break;
    case Operation::Withdraw:
        written = ResultStore().withdraw({ f.results[0][0], f.results[1][0] }, withdrawreason::ResultsTab);
        break;
    case Operation::RemoveEntrants:
        written = EntrantStore().remove({ f.entrants[0], f.entrants[1] }).has_value();
        break;
    }
    QVERIFY(!written);
    QVERIFY(m_prompts->messages().isEmpty());
    setReadOnlyForTesting(false);
    QCOMPARE(everything(), before);
}

// With the file gone every store fails, and the operator is told so once
// until something succeeds: not a box per statement.
void TestStores::missingFileIsToldAsTheRoutinesTellIt()
{
    setDatabasePath(QDir(m_db->folder()).filePath(u"missing.mdb"_s));
    QVERIFY(!DrawStore().load(1));
    QCOMPARE(DrawStore().setting(1, DrawStore::Setting::Timer), QString());
    QVERIFY(!DrawStore().nameTaken(u"O'Brien"_s));
    DrawRecord draw;
    draw.id = 1;
    QCOMPARE(DrawStore().save(draw).status, SaveResult::NotRead);
    QVERIFY(!AwardStore().load(2));
    QVERIFY(!AwardStore().forDraw(1));
    QVERIFY(!AwardStore().totalWinners(1));
    QVERIFY(!EntrantStore().countDrawable(1));
    QVERIFY(!EntrantStore().ofDraw(1).isOpen());
    QVERIFY(!ResultStore().countForDraw(1));
    QCOMPARE(ResultStore().countForAward(1, 2), qint64(0));
    QVERIFY(!ResultStore().boardRows(1, 2, false));

    QCOMPARE(DrawStore().save(DrawRecord()).status, SaveResult::NotWritten);
    QCOMPARE(AwardStore().save(AwardRecord()).status, SaveResult::NotWritten);
    QVERIFY(!DrawStore().remove({ 1, 2 }));
    QVERIFY(!AwardStore().remove({ 1, 2 }));
    QVERIFY(!EntrantStore().remove({ 1, 2 }));
    QCOMPARE(m_prompts->messages(), QStringList { ConnectionFailed });
    setDatabasePath(m_db->path());
}

QTEST_GUILESS_MAIN(TestStores)
#include "tst_stores.moc"
