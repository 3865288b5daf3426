#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The entrants tab's two checks of one draw's list: numbers entered twice,
// and numbers whose length stands out. Numbers are compared trimmed, the way
// the draw screen reads them.
namespace tombolix::draw {

// One number held by several entrants.
struct DuplicateGroup
{
    QString number; // trimmed
    QList<qint64> ids; // ascending: the first is the copy kept
    QStringList names; // parallel to ids
};

// One name held by entrants of different numbers (two 张伟): two people, or
// one listed twice; shown for information, never deleted.
struct SharedName
{
    QString name; // trimmed
    QList<qint64> ids; // ascending
    QStringList numbers; // parallel to ids, trimmed
};

struct DuplicateReport
{
    qint64 drawId = 0;
    bool read = false; // false when the entrants could not be read
    QList<DuplicateGroup> groups; // in the order of each number's first entry
    int rows = 0; // entrants in all the groups
    QList<SharedName> sharedNames; // in the order of each name's first entry
};

// Blank numbers are left out: they are not a number given twice, and the
// length check lists them.
DuplicateReport FindDuplicateNumbers(qint64 drawId);
// Deletes every copy but the first of each group that is still a copy when it
// is deleted, all in one transaction. Returns the number of entrants deleted,
// or -1 when the database refused and nothing was deleted.
int DeleteDuplicateCopies(const DuplicateReport &report);

enum class LengthRule
{
    FixedLength, // the draw's fixed length
    MostCommon, // the most common length among the non-blank numbers
};

struct OddLength
{
    qint64 id = 0;
    QString number; // as stored
    QString name;
    int length = 0; // of the trimmed number
};

struct LengthReport
{
    qint64 drawId = 0;
    bool read = false;
    LengthRule rule = LengthRule::MostCommon;
    int expected = 0; // 0 when no number is given at all
    int expectedRows = 0; // entrants whose number has the expected length
    int total = 0; // entrants of the draw
    QList<OddLength> odd; // in stored order
};

// Entrants whose trimmed number is not fixedLength long (at most the longest
// fixed length a draw may have) or, when fixedLength is 0 or less, not as long
// as most numbers are (a tie goes to the longer length). Blank numbers count
// as length 0 and are always listed.
LengthReport FindOddLengths(qint64 drawId, qint64 fixedLength);

} // namespace tombolix::draw
