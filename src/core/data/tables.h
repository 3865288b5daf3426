#pragma once

#include <QString>

// The tables of Data.mdb and the columns the program uses, each name written
// here once for the stores. Only functions read them, never the
// initialiser of another constant, so their order of construction does not
// matter.
namespace tombolix::data {

// The column by which awards, entrants and results name their draw.
inline const QString DrawKey = QStringLiteral("CID");

namespace draws {
inline const QString Table = QStringLiteral("奖次表");
inline const QString Id = QStringLiteral("ID");
inline const QString Name = QStringLiteral("抽奖内容");
inline const QString Picture = QStringLiteral("底图");
inline const QString Speed = QStringLiteral("速度");
inline const QString Mask = QStringLiteral("屏蔽");
inline const QString Timer = QStringLiteral("定时");
inline const QString Length = QStringLiteral("定长");
inline const QString Frame = QStringLiteral("FRM");
inline const QString TitleFont = QStringLiteral("L0");
inline const QString ListFont = QStringLiteral("L1");
inline const QString NumberFont = QStringLiteral("L2");
} // namespace draws

namespace awards {
inline const QString Table = QStringLiteral("奖项表");
inline const QString Id = QStringLiteral("ID");
inline const QString &DrawId = DrawKey;
inline const QString Order = QStringLiteral("顺序");
inline const QString Name = QStringLiteral("名称");
inline const QString Count = QStringLiteral("数量");
inline const QString PerRound = QStringLiteral("同时");
inline const QString Shown = QStringLiteral("显示");
inline const QString Repeat = QStringLiteral("重复");
inline const QString Prize = QStringLiteral("奖品");
} // namespace awards

namespace entrants {
inline const QString Table = QStringLiteral("号码表");
inline const QString Id = QStringLiteral("ID");
inline const QString &DrawId = DrawKey;
inline const QString Number = QStringLiteral("号码");
inline const QString Name = QStringLiteral("姓名");
} // namespace entrants

namespace results {
inline const QString Table = QStringLiteral("结果表");
inline const QString Id = QStringLiteral("ID");
inline const QString &DrawId = DrawKey;
inline const QString AwardId = QStringLiteral("WID");
inline const QString Number = QStringLiteral("号码");
inline const QString Name = QStringLiteral("姓名");
} // namespace results

namespace presets {
inline const QString Table = QStringLiteral("预设表");
inline const QString DrawId = QStringLiteral("PID");
inline const QString AwardId = QStringLiteral("AID");
} // namespace presets

// Since version 1: the wins withdrawn, kept with the result they undid.
namespace withdrawals {
inline const QString Table = QStringLiteral("撤销表");
inline const QString Id = QStringLiteral("ID");
inline const QString &DrawId = DrawKey;
inline const QString AwardId = QStringLiteral("WID");
inline const QString ResultId = QStringLiteral("结果ID");
inline const QString Number = QStringLiteral("号码");
inline const QString Name = QStringLiteral("姓名");
inline const QString Time = QStringLiteral("时间");
inline const QString Reason = QStringLiteral("原因");
} // namespace withdrawals

// Since version 1: settings of a draw that have no column in its row.
namespace drawsettings {
inline const QString Table = QStringLiteral("抽奖设置表");
inline const QString &DrawId = DrawKey;
inline const QString Key = QStringLiteral("键");
inline const QString Value = QStringLiteral("值");
} // namespace drawsettings

} // namespace tombolix::data
