#pragma once

#include "data/database.h"
#include "data/records.h"

#include <QList>
#include <optional>
#include <vector>

namespace tombolix::data {

// Why a win was withdrawn, as 撤销表 and the draw's record keep it.
namespace withdrawreason {
inline const QString OnStage = QStringLiteral("取消结果");
inline const QString ResultsTab = QStringLiteral("删除结果");
// The reasons the stage's withdrawal window offers.
inline const QString Absent = QStringLiteral("未到场");
inline const QString Ineligible = QStringLiteral("不符合条件");
inline const QString Other = QStringLiteral("其他");
// The reason as kept: the choice, then the operator's note after a colon
// ("其他：奖品已当场兑换"); the choice alone without a note.
inline QString Stated(const QString &choice, const QString &note)
{
    const QString said = note.simplified();
    return said.isEmpty() ? choice : choice + QStringLiteral("：") + said;
}
} // namespace withdrawreason

// A result together with the award it was won in, as the winners board
// lists them.
struct BoardRow
{
    qint64 order = 0; // the award's 顺序
    QString awardName; // 名称
    QString prize; // 奖品
    bool shown = false; // the award's winners are listed
    QString number;
    QString name;
    qint64 id = 0; // the result's ID: later results have larger ones
};

// The winners (结果表).
class ResultStore
{
public:
    // The store of the database given, the run database unless another is.
    explicit ResultStore(Database &db = Database::run())
        : m_db(db)
    { }

    // What storing a round came to: the IDs of its rows, in the winners'
    // order, or nothing stored.
    struct RecordedRound
    {
        std::vector<qint64> ids;
        qsizetype refused = -1; // the winner whose row a constraint or trigger refused
        bool failed = false; // the database failed (locked, full, read-only, gone)
        bool stored() const { return !failed && refused < 0; }
    };
    // Stores one round's winners, all of them or none, in one transaction
    // (inside the caller's when there is one; the caller must then roll it
    // back unless every row was stored).
    RecordedRound record(const std::vector<ResultRecord> &winners);
    // Withdraws the results in one transaction, all of them or none: each is
    // kept in 撤销表 with the time and the reason, named in the draw's record
    // when it has one, then deleted.
    [[nodiscard]] bool withdraw(const QList<qint64> &ids, const QString &reason);
    // The entrants whose wins in the draw were withdrawn, in the order of
    // withdrawal; nothing when they could not be read.
    std::optional<QList<ResultRecord>> withdrawnInDraw(qint64 drawId);

    // The draw's results, nothing when they could not be read.
    std::optional<qint64> countForDraw(qint64 drawId);
    // The draw's results in the order they were drawn; nothing when they
    // could not be read.
    std::optional<QList<ResultRecord>> forDraw(qint64 drawId);
    // The results of one award of the draw; 0 when they could not be read.
    qint64 countForAward(qint64 drawId, qint64 awardId);

    // The draw's results with their awards, by the awards' 顺序 and then in
    // the order they were drawn, both turned round when not ascending; with
    // onlyAward, the results of that award alone. Nothing when they could not
    // be read.
    std::optional<QList<BoardRow>> boardRows(qint64 drawId, std::optional<qint64> onlyAward, bool ascending);

    // The rows of 撤销表 of the draw, in the order they were written.
    std::optional<QList<WithdrawalRecord>> withdrawalsOf(qint64 drawId);

    // Makes the draw's results and withdrawals exactly these (by result ID):
    // rows not named are deleted, rows missing are written back with their
    // IDs, rows changed are set right. Inside the caller's transaction.
    [[nodiscard]] bool bringBack(
        qint64 drawId, const QList<ResultRecord> &results, const QList<WithdrawalRecord> &withdrawals);

    // The results and the withdrawals of a draw; the results of an award
    // (its withdrawals stay: their entrants stay out of the draw). Inside the
    // caller's transaction when there is one.
    [[nodiscard]] bool deleteForDraw(qint64 drawId);
    [[nodiscard]] bool deleteForAward(qint64 awardId);

private:
    Database &m_db;
    // The rows of a draw in a table laid out as the results are: ID, award,
    // number and name, in the order they were written.
    [[nodiscard]] bool recordWithdrawal(qint64 id, const QString &reason);
    std::optional<QList<ResultRecord>> rowsOfDraw(const QString &table, const QString &id,
        const QString &award, const QString &number, const QString &name, const QString &draw, qint64 drawId);
};

} // namespace tombolix::data
