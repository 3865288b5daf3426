#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// The check of a draw's record file, as docs/verifiable-draw.md states it,
// for records of rule v2 and of rule v1; with the entrant list file when
// one is given.
namespace tombolix::draw {

// Number and name per entrant, as a list file gives them (section 7).
using EntrantList = QList<std::pair<QString, QString>>;

// A list file as the check reads it: its people, and the cells of their
// rows under the header row's captions, for the awards' conditions.
struct ListFile
{
    ListFile(EntrantList people = {})
        : people(std::move(people))
    { }
    EntrantList people;
    QStringList header; // the header row's cells, trimmed; empty without one
    QList<QStringList> cells; // each person's row, its cells trimmed

    qsizetype size() const { return people.size(); }
};

// The entrants in the rows of a list file: the header row found in the first
// five rows, or the first two columns; rows empty in both left out.
ListFile ListFileOfRows(const QList<QStringList> &rows);
EntrantList EntrantListOfRows(const QList<QStringList> &rows);

// Removes the white space the rule's list files may carry at either end.
QString TrimmedForList(const QString &text);

// What a record says happened, for a person to read and compare.
struct RecordFacts
{
    struct Commit
    {
        qsizetype entry = 0; // its index among the entries
        int number = 0;
        QString time;
        QString code; // ungrouped
        QString hash; // the commit entry's, which its QR code holds
        QString reason;
        QString changes; // who joined or left the list since the commitment before
        qint64 entrants = 0;
        QStringList awards; // per award, in order: its name, count, at a time, repeats, range
        bool cleared = false;
        bool hallGiven = false;
        QString hallNumbers; // empty with hallGiven: the operator went on without
        QString hallTime;
    };
    struct Withdrawal
    {
        qsizetype entry = 0;
        QString time;
        qint64 result = 0;
        QString award;
        QString number;
        QString name;
        QString reason;
    };
    struct Winners
    {
        QString award;
        QString prize;
        qint64 count = 0;
        QStringList people; // "number name", in the order drawn
    };
    int rule = 2;
    QList<Commit> commits;
    QList<Withdrawal> withdrawals;
    QList<Winners> winners; // per award of the last commitment, in its order
    QStringList shortAwards; // "三等奖 差 1 名"
    qsizetype rounds = 0;
    qsizetype entries = 0;
    qsizetype rangesChecked = 0; // awards' ranges found as the list file gives them
};

struct RecordCheck
{
    enum class Outcome
    {
        Passed,
        Failed, // a record, but one the rule refuses
        NotARecord, // not JSON at all
    };
    Outcome outcome = Outcome::NotARecord;
    int check = 0; // the check of section 6 that failed
    QString problem;
    QStringList summary; // what a person compares, line by line
    QString lastHash;
    QString drawName;
    RecordFacts facts; // as far as the check came

    bool passed() const { return outcome == Outcome::Passed; }
};

// Checks the bytes of a record file.
RecordCheck CheckRecord(QByteArrayView file, const std::optional<ListFile> &list = std::nullopt);

// The lines a person reads of a passed check: every commitment with its
// time, 公证码, reason and the hall's numbers, every withdrawal, the rounds
// recomputed, the awards left short and the last hash. listFileSize: the
// entrants of the list file compared, -1 without one.
QStringList SummaryLines(const RecordCheck &check, qsizetype listFileSize);
// A text of the record as one printed line: control characters, line and
// paragraph separators and direction marks written as escapes (\n, \t,
// \u202e), so that no name or reason can start a line of its own or turn
// one around.
QString OneLine(const QString &text);

} // namespace tombolix::draw
