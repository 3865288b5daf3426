#pragma once

#include "draw/commitment.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What entering a draw must settle before its screen opens: whether it has
// the entrants its awards want, and whether it goes on where it stopped or
// starts again. The window asks the operator what this says to ask.
namespace tombolix::draw {

// Who may win an award with a range, counted on the list as it stands.
struct AwardReach
{
    QString name;
    qint64 places = 0; // winners it draws in all
    qint64 placesLeft = 0; // of them, not drawn yet
    qsizetype count = 0; // entrants who may win it
    QString words; // its range in words
    QStringList badConditions;
    QStringList unreadable; // UnreadableLines
};

// What the database holds of the draw, read before anything is asked.
struct EntryFacts
{
    double winnersWanted = 0; // the awards' winners together
    qint64 drawable = 0; // entrants with a number
    qint64 earlier = 0; // results stored
    qsizetype withdrawn = 0; // results withdrawn
    RecordState record;
    // The awards with a range, in drawing order; none when no award has one.
    QList<AwardReach> reach;
};
// Nothing when any of it could not be read (the database has reported the
// failure): read as 0, a count would skip the questions and delete earlier
// results unasked.
std::optional<EntryFacts> ReadEntryFacts(qint64 drawId);

struct EntryPlan
{
    enum class Ask
    {
        Nothing, // a draw never held: it starts
        RecordUnusable, // only 重新开始, after `question`
        ContinueOrRestart, // 继续抽奖, 重新开始 or 取消, after `question`
    };
    // "获奖人数多于参与抽奖人数，是否继续抽奖？" comes first.
    bool tooFewEntrants = false;
    Ask ask = Ask::Nothing;
    QString question;
    // Asked before the draw starts again: "重新开始将删除这N条抽奖结果，是否继续？"
    QString restartQuestion;
    // Where a record that cannot go on is kept, for RecordUnusable.
    QString keepRecordAs;
    // The awards with a range and how many may win each, with the values
    // that could not be read: said before anything is asked. Empty when no
    // award has a range.
    QString reach;
    // Why the stage cannot open: an award still to be drawn whose range
    // leaves nobody. Said instead of anything else, with `reach`.
    QString refusal;
    // The same for starting again, when every award is to be drawn anew.
    QString restartRefusal;
};
EntryPlan PlanEntry(qint64 drawId, const EntryFacts &facts);

} // namespace tombolix::draw
