#pragma once

#include <QString>

// Installation-wide options, kept as text values per section and key under the
// organisation "Tombolix". Settings that belong to a draw live in its row.
namespace tombolix {

inline const QString AppName = QStringLiteral("Tombolix");

// Stores the value; true when the store accepted it.
bool WriteRegValue(
    const QString &application, const QString &section, const QString &key, const QString &value);
// The stored text, or the default when the setting is missing or empty.
QString ReadRegValue(
    const QString &application, const QString &section, const QString &key, const QString &defaultValue);

// The view options of the draw screen: "true" and "false" exactly; anything
// else, or nothing stored, is the option's default (off unless said).
bool ReadViewOption(const QString &section, const QString &key, bool defaultOn = false);
void WriteViewOption(const QString &section, const QString &key, bool on);

// Settings of one draw that have no column in its row: section "Draw<ID>",
// so an older Data.mdb opens unchanged.
QString ReadDrawSetting(qint64 drawId, const QString &key, const QString &defaultValue = QString());
bool WriteDrawSetting(qint64 drawId, const QString &key, const QString &value);
// Forgets every setting of a deleted draw.
void RemoveDrawSettings(qint64 drawId);

// Tests and tools point the store at a file of their own; an empty path goes
// back to the user's settings.
void setSettingsFile(const QString &path);

} // namespace tombolix
