// The checkable draw's costs: a derived pick, entering a draw (fingerprint
// and commitment included) and checking a long record.
#include "benchutil.h"
#include "common/notary.h"
#include "data/database.h"
#include "draw/drawsession.h"
#include "draw/entrantpool.h"
#include "draw/notaryrecord.h"

#include <QSqlQuery>
#include <cstdio>

namespace tombolix::bench {

void benchPickDerived()
{
    draw::EntrantPool pool;
    fillPoolMostlyWon(pool);
    const QByteArray seed = notary::NewSeed();
    const int rounds = 20000;
    const double seconds = medianSeconds(5, [&] {
        for (int round = 1; round <= rounds; ++round) {
            notary::DerivedStream stream(seed, 1, round);
            pool.pickInOrder(10, stream);
        }
    });
    report(QStringLiteral("pick_derived_10_of_1m_90pct_won"), seconds / rounds * 1e6, QStringLiteral("us"));
}

namespace {

qint64 addAward(qint64 draw, int count, int perRound)
{
    QSqlQuery award(data::connection());
    award.prepare(QStringLiteral("INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示, 重复, 奖品) VALUES "
                                 "(?, 1, '一等奖', ?, ?, 1, 0, '奖品')"));
    award.addBindValue(draw);
    award.addBindValue(count);
    award.addBindValue(perRound);
    award.exec();
    return award.lastInsertId().toLongLong();
}

} // namespace

void benchEnterDraw()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 70000);
    for (int a = 0; a < 5; ++a)
        addAward(draw, 10, 5);
    const double seconds = medianSeconds(5, [&] {
        draw::DrawSession session;
        session.start(draw, draw::Entry::Afresh);
        if (!session.codeOnShow())
            std::fprintf(stderr, "enter_draw_70000: no commitment\n");
    });
    report(QStringLiteral("enter_draw_70000"), seconds, QStringLiteral("s"));
}

void benchVerify()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 70000);
    addAward(draw, 10000, 10);
    {
        draw::DrawSession session;
        session.start(draw);
        for (int round = 0; round < 1000; ++round) {
            session.beginRound();
            session.StopAndRecord(true, false);
        }
        session.revealSeed();
    }
    const QJsonObject record = *draw::ExportRecord(draw);
    bool passed = true;
    const double seconds = medianSeconds(3, [&] { passed = draw::VerifyRecord(record).passed; });
    if (!passed)
        std::fprintf(stderr, "verify_1000_rounds_70000: the record did not verify\n");
    report(QStringLiteral("verify_1000_rounds_70000"), seconds, QStringLiteral("s"));
}

} // namespace tombolix::bench
