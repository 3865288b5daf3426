// The checkable draw's costs: a derived pick, entering a draw with its
// commitment, and checking records, long ones included, with the checker's
// peak memory beside the record's size.
#include "benchutil.h"
#include "common/notary.h"
#include "common/sha256.h"
#include "data/database.h"
#include "draw/drawsession.h"
#include "draw/entrantpool.h"
#include "draw/notaryrecord.h"
#include "draw/recordcheck.h"

#include <QSqlQuery>
#include <cstdio>

namespace tombolix::bench {

void benchPickDerived()
{
    draw::EntrantPool pool;
    fillPoolMostlyWon(pool);
    const QByteArray key = notary::HallKey(notary::NewSeed(), QStringLiteral("3 14 159"));
    pool.people(); // who is who, as entering the draw works it out
    const int rounds = 20000;
    const double seconds = medianSeconds(5, [&] {
        for (int round = 1; round <= rounds; ++round) {
            notary::DerivedStream stream(key, 1, round);
            pool.pickInOrder(10, stream);
        }
    });
    report(QStringLiteral("pick_derived_10_of_1m_90pct_won"), seconds / rounds * 1e6, QStringLiteral("us"));
}

namespace {

qint64 addAward(qint64 draw, int order, int count, int perRound)
{
    QSqlQuery award(data::connection());
    award.prepare(QStringLiteral("INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示, 重复, 奖品) VALUES "
                                 "(?, ?, ?, ?, ?, 1, 0, '奖品')"));
    award.addBindValue(draw);
    award.addBindValue(order);
    award.addBindValue(QStringLiteral("%1等奖").arg(order));
    award.addBindValue(count);
    award.addBindValue(perRound);
    award.exec();
    return award.lastInsertId().toLongLong();
}

// Holds `rounds` rounds of the draw, as stops of the stage do.
void holdRounds(draw::DrawSession &session, int rounds)
{
    for (int round = 0; round < rounds && !session.DrawFinished(); ++round) {
        if (!session.beginRound() || session.StopAndRecord(true, false).recorded == 0) {
            std::fprintf(stderr, "bench: a round was not stored\n");
            return;
        }
    }
}

void reportCheck(const QString &name, const QByteArray &record)
{
    bool passed = true;
    double peak = 0;
    const double seconds = medianSeconds(3, [&] {
        resetPeakMemory();
        const double before = residentMegabytes();
        passed = draw::CheckRecord(record).passed();
        peak = std::max(peak, peakResidentMegabytes() - before);
    });
    if (!passed)
        std::fprintf(stderr, "%s: the record did not check\n", qPrintable(name));
    const double size = record.size() / 1048576.0;
    report(name, seconds, QStringLiteral("s"));
    report(name + QStringLiteral("_record"), size, QStringLiteral("MB"), 1);
    report(name + QStringLiteral("_peak_memory"), peak, QStringLiteral("MB"), 1);
    report(name + QStringLiteral("_memory_per_record_byte"), size > 0 ? peak / size : 0, QStringLiteral("x"));
}

} // namespace

// Entering a draw of 70,000 entrants with a commitment made on the way in
// (each run starts it again: its seed revealed, a new one committed); the
// hall's numbers come afterwards, on the stage, and are not counted.
void benchEnterDraw()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 70000);
    for (int a = 0; a < 5; ++a)
        addAward(draw, a + 1, 10, 5);
    const double seconds = medianSeconds(5, [&] {
        draw::DrawSession session;
        const draw::StartReport report = session.start(draw, draw::Entry::Restart);
        if (!report.problem.isEmpty() || !session.codeOnShow() || !report.committedNow)
            std::fprintf(stderr, "enter_draw_70000: no commitment\n");
    });
    report(QStringLiteral("enter_draw_70000"), seconds, QStringLiteral("s"));
}

void benchVerify()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 70000);
    addAward(draw, 1, 10000, 10);
    {
        draw::DrawSession session;
        session.start(draw);
        if (!session.lockHallNumbers(QStringLiteral("3 14 159")))
            std::fprintf(stderr, "verify: the hall's numbers were not stored\n");
        holdRounds(session, 1000);
        session.revealSeed();
    }
    reportCheck(QStringLiteral("verify_1000_rounds_70000"), draw::ExportRecord(draw).value_or(QByteArray()));
}

// A million entrants drawn over fifty sittings: each sitting enters the draw
// again on a changed draw (a latecomer joined the list, or a prize was
// renamed), so each commits afresh; a thousand rounds in all.
void benchVerifyMillion()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000000);
    QList<qint64> awards;
    for (int a = 0; a < 10; ++a)
        awards << addAward(draw, a + 1, 100, 1);
    for (int sitting = 0; sitting < 50; ++sitting) {
        if (sitting > 0) {
            if (sitting % 5 == 0)
                must(bool(data::ExecuteSql(
                    QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (?, ?, ?)"),
                    { draw, QStringLiteral("L%1").arg(sitting), QStringLiteral("迟到者%1").arg(sitting) })));
            else
                must(bool(data::ExecuteSql(QStringLiteral("UPDATE 奖项表 SET 奖品=? WHERE ID=?"),
                    { QStringLiteral("奖品%1").arg(sitting), awards.at(sitting % 10) })));
        }
        draw::DrawSession session;
        session.start(draw, draw::Entry::Continue);
        if (!session.lockHallNumbers(QString::number(1000 + sitting)))
            std::fprintf(stderr, "verify 1m: sitting %d was not committed to\n", sitting);
        holdRounds(session, 20);
    }
    draw::RevealSeed(draw);
    reportCheck(QStringLiteral("verify_1m_1000_rounds_50_commitments"),
        draw::ExportRecord(draw).value_or(QByteArray()));
    std::fprintf(stderr, "(SHA instructions %s)\n", sha256::UsesShaInstructions() ? "used" : "not available");
}

} // namespace tombolix::bench
