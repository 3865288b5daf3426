#pragma once

#include <QMap>
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

// Settings of a draw that earlier versions kept here, in a section "Draw<ID>"
// per draw; they belong with the draw, in the database, and are carried over
// once. By draw, key and value.
QMap<qint64, QMap<QString, QString>> StoredDrawSettings();
// Forgets them, once carried over.
void ForgetStoredDrawSettings();
// For tests of the carrying over: writes one as those versions did.
void WriteStoredDrawSetting(qint64 drawId, const QString &key, const QString &value);

// Tests and tools point the store at a file of their own; an empty path goes
// back to the user's settings.
void setSettingsFile(const QString &path);

} // namespace tombolix
