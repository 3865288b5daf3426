#include "data/drawstore.h"

#include "common/conventions.h"
#include "common/settingsstore.h"
#include "data/attributestore.h"
#include "data/awardstore.h"
#include "data/database.h"
#include "data/entrantstore.h"
#include "data/notarystore.h"
#include "data/presetstore.h"
#include "data/rangestore.h"
#include "data/resultstore.h"
#include "data/storesupport.h"
#include "data/tables.h"

namespace tombolix::data {

namespace {

// The way the draw screen has always read a draw's column: the statement a
// failure shows is that of LookupValue.
QString lookup(Database &db, qint64 id, const QString &column)
{
    return textOf(LookupValue(draws::Table, id, draws::Id, column, db));
}

bool isFontColumn(const QString &column)
{
    return column == draws::TitleFont || column == draws::ListFont || column == draws::NumberFont;
}

// The settings read through their numeric value are stored as that value,
// so 5 is kept as "5", not "5.0" or "5秒".
QString storedNumber(const QString &text)
{
    return numberText(numericValue(text));
}

} // namespace

std::optional<DrawRecord> DrawStore::load(qint64 id)
{
    Recordset rs
        = m_db.select(QStringLiteral("SELECT * FROM %1 WHERE %2=?").arg(draws::Table, draws::Id), { id });
    if (rs.eof())
        return std::nullopt;
    DrawRecord record;
    record.id = rs.field(draws::Id).toLongLong();
    record.name = textOf(rs.field(draws::Name));
    record.picture = textOf(rs.field(draws::Picture));
    record.speed = textOf(rs.field(draws::Speed));
    record.mask = textOf(rs.field(draws::Mask));
    record.timer = textOf(rs.field(draws::Timer));
    record.length = textOf(rs.field(draws::Length));
    record.frame = textOf(rs.field(draws::Frame));
    record.titleFont = textOf(rs.field(draws::TitleFont));
    record.listFont = textOf(rs.field(draws::ListFont));
    record.numberFont = textOf(rs.field(draws::NumberFont));
    return record;
}

QString DrawStore::setting(qint64 id, Setting setting)
{
    switch (setting) {
    case Setting::Picture:
        return lookup(m_db, id, draws::Picture);
    case Setting::Speed:
        return lookup(m_db, id, draws::Speed);
    case Setting::Mask:
        return lookup(m_db, id, draws::Mask);
    case Setting::Timer:
        return lookup(m_db, id, draws::Timer);
    case Setting::Length:
        return lookup(m_db, id, draws::Length);
    }
    return QString();
}

std::optional<bool> DrawStore::nameTaken(const QString &name)
{
    Recordset same = m_db.select(QStringLiteral("SELECT %1 FROM %2 WHERE %3=? COLLATE NOCASE")
                                     .arg(draws::Id, draws::Table, draws::Name),
        { textForStorage(name) });
    if (!same.isOpen())
        return std::nullopt;
    const bool taken = !same.eof();
    same.close();
    return taken;
}

SaveResult DrawStore::save(const DrawRecord &record)
{
    return saveRow(m_db, draws::Table, draws::Id, record.id,
        { draws::Name, draws::Picture, draws::Speed, draws::Mask, draws::Timer, draws::Length },
        { textForStorage(record.name), textForStorage(record.picture), storedNumber(record.speed),
            textForStorage(record.mask), storedNumber(record.timer), storedNumber(record.length) });
}

QString DrawStore::frame(qint64 id)
{
    return lookup(m_db, id, draws::Frame);
}

bool DrawStore::saveFrame(qint64 id, const QString &record)
{
    return m_db.execute(
        updateStatement(draws::Table, { draws::Frame }, draws::Id), { textForStorage(record), id });
}

QString DrawStore::font(qint64 id, const QString &column)
{
    return isFontColumn(column) ? lookup(m_db, id, column) : QString();
}

bool DrawStore::saveFont(qint64 id, const QString &column, const QString &record)
{
    // Only a column named here reaches the statement.
    if (!isFontColumn(column))
        return false;
    return m_db.execute(updateStatement(draws::Table, { column }, draws::Id), { textForStorage(record), id });
}

Condition DrawStore::rowsOfDraw(qint64 id)
{
    return { DrawKey + QStringLiteral("=?"), { id } };
}

QString DrawStore::extraSetting(qint64 id, const QString &key)
{
    Recordset rs = m_db.select(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3=? AND %4=?")
            .arg(drawsettings::Value, drawsettings::Table, drawsettings::DrawId, drawsettings::Key),
        { id, key });
    return rs.eof() ? QString() : textOf(rs.field(0));
}

bool DrawStore::setExtraSetting(qint64 id, const QString &key, const QString &value)
{
    if (value.isEmpty()) {
        return m_db.execute(QStringLiteral("DELETE FROM %1 WHERE %2=? AND %3=?")
                                .arg(drawsettings::Table, drawsettings::DrawId, drawsettings::Key),
            { id, key });
    }
    return m_db.execute(
        QStringLiteral("INSERT OR REPLACE INTO %1 (%2, %3, %4) VALUES (?, ?, ?)")
            .arg(drawsettings::Table, drawsettings::DrawId, drawsettings::Key, drawsettings::Value),
        { id, key, value });
}

void DrawStore::carryOverStoredSettings()
{
    const QMap<qint64, QMap<QString, QString>> stored = StoredDrawSettings();
    if (stored.isEmpty())
        return;
    const bool carried = inOneTransaction(m_db, [this, &stored] {
        for (auto draw = stored.cbegin(); draw != stored.cend(); ++draw) {
            const std::optional<bool> exists = rowExists(m_db, draws::Table, draws::Id, draw.key());
            if (!exists)
                return false;
            if (!*exists)
                continue; // a draw of another database: nothing of it is here
            for (auto setting = draw->cbegin(); setting != draw->cend(); ++setting) {
                if (!m_db.execute(QStringLiteral("INSERT OR IGNORE INTO %1 (%2, %3, %4) VALUES (?, ?, ?)")
                                      .arg(drawsettings::Table, drawsettings::DrawId, drawsettings::Key,
                                          drawsettings::Value),
                        { draw.key(), setting.key(), setting.value() }))
                    return false;
            }
        }
        return true;
    });
    if (carried)
        ForgetStoredDrawSettings();
}

bool DrawStore::remove(const QList<qint64> &ids)
{
    return inOneTransaction(m_db, [this, &ids] {
        for (qint64 id : ids) {
            // The attributes and ranges first: they are found through the
            // entrants and the awards.
            if (!AttributeStore(m_db).deleteForDraw(id) || !RangeStore(m_db).deleteForDraw(id)
                || !AwardStore(m_db).deleteForDraw(id) || !EntrantStore(m_db).deleteForDraw(id)
                || !ResultStore(m_db).deleteForDraw(id) || !PresetStore(m_db).deleteForDraw(id)
                || !NotaryStore(m_db).deleteForDraw(id)
                || !deleteWhere(m_db, drawsettings::Table, drawsettings::DrawId, id)
                || !deleteWhere(m_db, draws::Table, draws::Id, id))
                return false;
        }
        return true;
    });
}

} // namespace tombolix::data
