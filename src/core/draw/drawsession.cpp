#include "draw/drawsession.h"

#include "common/conventions.h"
#include "common/prompts.h"
#include "data/database.h"
#include "draw/displayrules.h"

#include <QSet>
#include <QSqlQuery>

namespace tombolix::draw {

namespace {

QVariant drawColumn(qint64 drawId, const QString &column)
{
    return data::LookupValue(QStringLiteral("奖次表"), drawId, QStringLiteral("ID"), column);
}

} // namespace

DrawSettings ReadDrawSettings(qint64 drawId)
{
    DrawSettings settings;
    settings.drawId = drawId;
    settings.P_Jpg = textOf(drawColumn(drawId, QStringLiteral("底图")));
    settings.P_Speed = integerValue(drawColumn(drawId, QStringLiteral("速度")));
    settings.P_Hide = textOf(drawColumn(drawId, QStringLiteral("屏蔽")));
    settings.P_Timer = integerValue(drawColumn(drawId, QStringLiteral("定时")));
    // A length no screen can show (a telephone number typed into the box)
    // would build lines of billions of characters for every entrant.
    settings.P_Long = std::min(integerValue(drawColumn(drawId, QStringLiteral("定长"))), MaxFixedLength);
    return settings;
}

DrawSession::DrawSession(std::unique_ptr<RandomSource> random)
    : m_random(random ? std::move(random) : std::make_unique<RandomSource>())
{
}

void DrawSession::start(qint64 drawId)
{
    m_finished = false;
    m_settings = ReadDrawSettings(drawId);
    LoadEntrantPool(m_pool, drawId);
    FormatDisplayTexts(m_pool, m_settings.P_Long, m_settings.P_Hide);
    SelectNextAward();
    m_picks.clear();
    m_picksValid = false;
}

bool DrawSession::SelectNextAward()
{
    m_award = AwardState{};
    data::Recordset rs = data::OpenRecordset(
        QStringLiteral("SELECT * FROM 奖项表 WHERE CID=? ORDER BY 顺序"), {m_settings.drawId});
    for (; !rs.eof(); rs.moveNext()) {
        const qint64 awardId = rs.field(QStringLiteral("ID")).toLongLong();
        const qint64 drawn = data::CountRows(QStringLiteral("结果表"),
                                             QStringLiteral("CID=%1 AND WID=%2").arg(m_settings.drawId).arg(awardId),
                                             QStringLiteral("ID"));
        const qint64 count = integerValue(rs.field(QStringLiteral("数量")));
        if (drawn < count) {
            m_wid = QString::number(awardId);
            m_award.Remaining = count - drawn;
            // An award that draws no one per round could never be finished:
            // it draws one at a time instead.
            m_award.PerRound = std::max<qint64>(1, integerValue(rs.field(QStringLiteral("同时"))));
            m_award.RepeatAllowed = flagFromColumn(rs.field(QStringLiteral("重复")));
            return true;
        }
    }
    return false;
}

qint64 DrawSession::linesPerTick() const
{
    return std::max<qint64>(0, std::min(m_award.Remaining, m_award.PerRound));
}

void DrawSession::beginRound()
{
    m_picksValid = false;
}

QStringList DrawSession::RollTick()
{
    m_picks = m_pool.pick(linesPerTick(), *m_random);
    m_picksValid = true;
    QStringList lines;
    lines.reserve(qsizetype(m_picks.size()));
    for (qsizetype index : m_picks)
        lines << m_pool.show(index);
    return lines;
}

StopOutcome DrawSession::StopAndRecord(bool ascending, bool onlyCurrent)
{
    if (!m_picksValid)
        RollTick(); // a stop before the round's first tick draws afresh
    m_picksValid = false;

    StopOutcome outcome;
    struct Winner
    {
        qsizetype index;
        QString shown;
    };
    std::vector<Winner> stored;
    {
        // One transaction per round: every stored winner is on disk before it
        // is shown, and a round costs one write to the disk, not one per winner.
        data::Transaction transaction;
        QSqlQuery insert(data::connection());
        const bool prepared = insert.prepare(QStringLiteral("INSERT INTO 结果表(CID,WID,号码,姓名) VALUES(?,?,?,?)"));
        int eligible = 0;
        bool databaseFailed = false;
        for (qsizetype index : m_picks) {
            if (!m_pool.isEligible(index))
                continue;
            ++eligible;
            if (databaseFailed)
                continue;
            insert.bindValue(0, m_settings.drawId);
            insert.bindValue(1, integerValue(m_wid));
            insert.bindValue(2, m_pool.number(index));
            insert.bindValue(3, m_pool.name(index));
            if (prepared && insert.exec()) {
                stored.push_back({index, m_pool.show(index)});
            } else if (!prepared || !data::RowRefused(insert.lastError())) {
                // A locked, full or missing database fails every winner alike
                // and may have rolled the transaction back already, after
                // which the next winners would be stored one by one while the
                // round counts them as lost. The round stops here.
                databaseFailed = true;
            }
        }
        insert.finish();
        if (transaction.isActive()) {
            if (databaseFailed)
                transaction.rollback();
            if (databaseFailed || !transaction.commit())
                stored.clear();
        }
        outcome.failed = eligible - int(stored.size());
    }

    QStringList shown;
    for (const Winner &winner : stored) {
        if (!m_award.RepeatAllowed)
            m_pool.makeIneligible(winner.index);
        --m_award.Remaining;
        shown << winner.shown;
    }
    outcome.recorded = int(stored.size());
    if (outcome.failed > 0)
        prompts().message(QStringLiteral("抽奖结果保存失败，该号码未计入获奖名单！"));
    outcome.numberText = shown.join(QStringLiteral("\r\n"));
    outcome.board = WinnersText(ascending, onlyCurrent);
    if (m_award.Remaining < 1)
        m_finished = !SelectNextAward();
    m_picks.clear();
    return outcome;
}

DrawSession::WithdrawOutcome DrawSession::WithdrawResults(
    const std::vector<WithdrawnResult> &results, bool timedStopPending, bool ascending, bool onlyCurrent)
{
    WithdrawOutcome outcome;
    if (results.empty())
        return outcome;
    QSet<QString> winners;
    {
        data::Transaction transaction;
        // Without a transaction a refusal half way would leave some gone.
        if (!transaction.isActive() && results.size() > 1) {
            outcome.failed = true;
            return outcome;
        }
        for (const WithdrawnResult &result : results) {
            if (!data::ExecuteSql(QStringLiteral("DELETE FROM 结果表 WHERE ID=?"), { result.id })) {
                outcome.failed = true; // the transaction rolls back
                return outcome;
            }
            winners.insert(result.number.trimmed() + QChar(0x1F) + result.name);
        }
        if (transaction.isActive() && !transaction.commit()) {
            outcome.failed = true;
            return outcome;
        }
    }
    outcome.deleted = int(results.size());
    const qsizetype n = m_pool.size();
    for (qsizetype i = 1; i <= n; ++i) {
        if (m_pool.isEligible(i) && winners.contains(m_pool.number(i) + QChar(0x1F) + m_pool.name(i)))
            m_pool.makeIneligible(i);
    }
    outcome.board = WinnersText(ascending, onlyCurrent);
    if (!timedStopPending)
        m_finished = !SelectNextAward();
    return outcome;
}

BoardText DrawSession::WinnersText(bool ascending, bool onlyCurrent) const
{
    return draw::WinnersText(m_settings.drawId, integerValue(m_wid), ascending, onlyCurrent, m_settings.P_Long,
                             m_settings.P_Hide);
}

} // namespace tombolix::draw
