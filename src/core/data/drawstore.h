#pragma once

#include "data/database.h"
#include "data/records.h"

#include <QList>
#include <optional>

namespace tombolix::data {

// The draws (奖次表): their settings, the appearance the draw screen keeps
// per draw, and the deletion of a draw with everything that hangs on it.
class DrawStore
{
public:
    // The store of the database given, the run database unless another is.
    explicit DrawStore(Database &db = Database::run())
        : m_db(db)
    { }

    // The settings the draw screen reads one by one.
    enum class Setting
    {
        Picture,
        Speed,
        Mask,
        Timer,
        Length
    };

    // The draw with this ID; nothing when there is none or it could not be
    // read (the database has reported the failure).
    std::optional<DrawRecord> load(qint64 id);
    // One setting as its stored text; "" when there is no such draw.
    QString setting(qint64 id, Setting setting);

    // Whether another draw has this name, letters compared without their
    // case; nothing when that could not be read.
    std::optional<bool> nameTaken(const QString &name);
    // Writes the record's name and settings into its row, or into a new row
    // when its ID names none. 速度, 定时 and 定长 are stored as the numeric
    // value of their text. The appearance is left as it is.
    [[nodiscard]] SaveResult save(const DrawRecord &record);

    // The layout record of the number frame.
    QString frame(qint64 id);
    [[nodiscard]] bool saveFrame(qint64 id, const QString &record);
    // The font record kept in one of the font columns L0, L1 and L2; any
    // other column reads as "" and is never written.
    QString font(qint64 id, const QString &column);
    [[nodiscard]] bool saveFont(qint64 id, const QString &column, const QString &record);

    // Settings of a draw that have no column in its row (抽奖设置表), such as
    // the banner's font and the stage's sounds: the stored text, "" when none.
    QString extraSetting(qint64 id, const QString &key);
    // Stores the text; an empty one removes the setting. False when the
    // database refused.
    [[nodiscard]] bool setExtraSetting(qint64 id, const QString &key, const QString &value);
    // Carries the settings earlier versions kept per draw in the user's
    // settings into the database open now, for its draws, and forgets them
    // there once stored. A setting the database already holds stays.
    void carryOverStoredSettings();

    // The condition that picks a draw's own rows out of 奖项表, 号码表 and
    // 结果表.
    static Condition rowsOfDraw(qint64 id);

    // Deletes the draws with their awards, entrants, results, withdrawals,
    // presets, settings, seeds, records and kept lists, in one transaction: all of them or, when the
    // database refuses, none.
    [[nodiscard]] bool remove(const QList<qint64> &ids);

private:
    Database &m_db;
};

} // namespace tombolix::data
