#pragma once

#include <QString>
#include <QtGlobal>

// One row of a table, as the stores read and write it. IDs are assigned by
// the database; 0 stands for a row not stored yet.
namespace tombolix::data {

// A row of 奖次表. The settings are kept as the text the columns hold; they
// are read through their numeric value.
struct DrawRecord
{
    qint64 id = 0;
    QString name; // 抽奖内容
    QString picture; // 底图: path of the background picture
    QString speed; // 速度: rolling interval, ms
    QString mask; // 屏蔽
    QString timer; // 定时: 1 or more stops a round by itself
    QString length; // 定长: fixed length of displayed numbers
    // The appearance, written apart from the settings.
    QString frame; // FRM
    QString titleFont; // L0
    QString listFont; // L1
    QString numberFont; // L2
};

// A row of 奖项表. The numbers are the text the editor shows and takes: 顺序
// and 同时 are stored as typed (the column turns a numeric text into a
// number), 数量 as its numeric value.
struct AwardRecord
{
    qint64 id = 0;
    qint64 drawId = 0;
    QString order; // 顺序
    QString name; // 名称
    QString count; // 数量: winners in all
    QString perRound; // 同时: winners of one stop
    bool shown = true; // 显示: the winners are listed on the board
    bool repeat = false; // 重复: a winner may win again
    QString prize; // 奖品
};

// A row of 号码表.
struct EntrantRecord
{
    qint64 id = 0;
    qint64 drawId = 0;
    QString number; // 号码, as entered: never trimmed here
    QString name; // 姓名
};

// A row of 结果表: the winner's number and name as the pool held them.
struct ResultRecord
{
    qint64 id = 0;
    qint64 drawId = 0;
    qint64 awardId = 0;
    QString number;
    QString name;
};

// A row of 撤销表: a win withdrawn, with the result it undid.
struct WithdrawalRecord
{
    qint64 resultId = 0;
    qint64 awardId = 0;
    QString number;
    QString name;
    QString time;
    QString reason;
};

// What saving a row came to.
struct SaveResult
{
    enum Status
    {
        Saved,
        // Whether the row exists could not be read; the database has
        // reported the failure.
        NotRead,
        // The row could not be written; nothing has been reported yet.
        NotWritten
    };
    Status status = NotWritten;
    qint64 id = 0; // the row written, a new row's ID included

    bool saved() const { return status == Saved; }
};

} // namespace tombolix::data
