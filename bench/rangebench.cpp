// Figures of awards only some may win: a million entrants with three
// attributes, twenty awards each limited by two conditions, and a draw-wide
// 不参与名单 of 10,000 numbers.
#include "benchutil.h"
#include "data/database.h"
#include "data/rangestore.h"
#include "draw/drawsession.h"
#include "draw/eligibleset.h"
#include "draw/entrantpool.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace tombolix::bench {

namespace {

qint64 addRangedDraw(ScratchDatabase &db)
{
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000000);
    must(bool(data::ExecuteSql(QStringLiteral("INSERT INTO 属性名表 (CID, 序号, 名称) VALUES (?, 0, '部门'), "
                                              "(?, 1, '入职日期'), (?, 2, '类别')"),
        { draw, draw, draw })));
    // Twenty departments, dates over four years, seven in ten staff.
    must(bool(data::ExecuteSql(
        QStringLiteral("INSERT INTO 人员属性表 (人员ID, 属性) SELECT ID, '部门' || (ID % 20) || char(31) || "
                       "(2021 + ID % 4) || '/' || (1 + ID % 12) || '/' || (1 + ID % 28) || char(31) || "
                       "CASE WHEN ID % 10 < 7 THEN '员工' ELSE '来宾' END FROM 号码表 WHERE CID=?"),
        { draw })));
    for (int a = 0; a < 20; ++a) {
        must(bool(
            data::ExecuteSql(QStringLiteral("INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示, 重复) "
                                            "VALUES (?, ?, ?, 10, 10, 1, 0)"),
                { draw, a + 1, QStringLiteral("奖项%1").arg(a + 1) })));
        const qint64 award = data::LastInsertId();
        const data::AwardRange range {
            { { QStringLiteral("类别"), data::ConditionKind::OneOf, { QStringLiteral("员工") } },
                { QStringLiteral("入职日期"), data::ConditionKind::OnOrBefore,
                    { QStringLiteral("%1-06-30").arg(2021 + a % 4) } } },
            {}
        };
        must(data::RangeStore().saveAward(draw, award, range));
    }
    QStringList excluded;
    for (int i = 1; i <= 10000; ++i)
        excluded << QString::number(i * 97);
    must(data::RangeStore().saveDrawExclusions(draw, excluded));
    return draw;
}

} // namespace

// Entering (the pool loaded, every award's set found, the commitment taken
// up; and once made) beside loading the pool alone in the same run; the console's
// counts; a winner drawn within an award's set.
void benchRangedDraw()
{
    ScratchDatabase db;
    const qint64 draw = addRangedDraw(db);
    // The first entering commits; the others take the commitment up, each
    // beside a loading of the pool alone, so that both meet the same load
    // of the machine.
    const auto enter = [&](draw::Entry entry) {
        QElapsedTimer clock;
        clock.start();
        draw::DrawSession session;
        const draw::StartReport report = session.start(draw, entry);
        if (!report.problem.isEmpty())
            std::fprintf(stderr, "ranged: %s\n", qPrintable(report.problem));
        return clock.nsecsElapsed() / 1e9;
    };
    const double afresh = enter(draw::Entry::Afresh);
    std::vector<double> loads, entering;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        {
            draw::EntrantPool pool;
            draw::LoadEntrantPool(pool, draw);
        }
        loads.push_back(clock.nsecsElapsed() / 1e9);
        entering.push_back(enter(draw::Entry::Continue));
    }
    std::sort(loads.begin(), loads.end());
    std::sort(entering.begin(), entering.end());
    const double load = loads[2];
    const double counts = medianSeconds(3, [&] {
        if (!draw::ComputeEligibility(draw))
            std::fprintf(stderr, "ranged: the counts could not be read\n");
    });

    draw::EntrantPool pool;
    draw::LoadEntrantPool(pool, draw);
    const auto eligibility = draw::ComputeEligibility(draw, pool);
    const draw::Ranges within = eligibility->begin()->eligible;
    const QByteArray key(32, 'k');
    { // the ranked set is built by the first pick of a sitting
        notary::DerivedStream stream(key, 1, 0);
        pool.pickInOrder(1, stream, within);
    }
    const int picks = 2000;
    QElapsedTimer clock;
    clock.start();
    for (int round = 1; round <= picks; ++round) {
        notary::DerivedStream stream(key, 1, round);
        if (pool.pickInOrder(1, stream, within).size() != 1)
            std::fprintf(stderr, "ranged: a pick found nobody\n");
    }
    const double pick = clock.nsecsElapsed() / 1e3 / picks;

    report(QStringLiteral("ranged_pool_load_1m"), load, QStringLiteral("s"));
    report(QStringLiteral("enter_1m_20_ranged_awards"), entering[2], QStringLiteral("s"));
    report(QStringLiteral("enter_ranged_over_pool_load"), entering[2] / load, QStringLiteral("x"));
    report(QStringLiteral("enter_afresh_1m_20_ranged_awards"), afresh, QStringLiteral("s"));
    report(QStringLiteral("enter_afresh_over_pool_load"), afresh / load, QStringLiteral("x"));
    report(QStringLiteral("eligible_counts_1m_20_awards"), counts, QStringLiteral("s"));
    report(QStringLiteral("pick_derived_ranged_1m"), pick, QStringLiteral("us"));
}

} // namespace tombolix::bench
