#include "common/settingsstore.h"

#include <QSettings>
#include <memory>

namespace tombolix {

namespace {

QString g_settingsFile;

std::unique_ptr<QSettings> openSettings(const QString &application)
{
    if (!g_settingsFile.isEmpty())
        return std::make_unique<QSettings>(g_settingsFile, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, AppName, application);
}

QString settingKey(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

} // namespace

bool WriteRegValue(
    const QString &application, const QString &section, const QString &key, const QString &value)
{
    auto settings = openSettings(application);
    settings->setValue(settingKey(section, key), value);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

QString ReadRegValue(
    const QString &application, const QString &section, const QString &key, const QString &defaultValue)
{
    auto settings = openSettings(application);
    const QString name = settingKey(section, key);
    if (!settings->contains(name)) {
        // Reading leaves the key behind, empty, so an operator looking at the
        // store finds every option the program knows.
        settings->setValue(name, QString());
        return defaultValue;
    }
    const QString value = settings->value(name).toString();
    return value.isEmpty() ? defaultValue : value;
}

bool ReadViewOption(const QString &section, const QString &key, bool defaultOn)
{
    const QString value = ReadRegValue(AppName, section, key, QString());
    if (value == QLatin1String("true"))
        return true;
    if (value == QLatin1String("false"))
        return false;
    return defaultOn;
}

void WriteViewOption(const QString &section, const QString &key, bool on)
{
    WriteRegValue(AppName, section, key, on ? QStringLiteral("true") : QStringLiteral("false"));
}

namespace {

const QString DrawSectionPrefix = QStringLiteral("Draw");

} // namespace

QMap<qint64, QMap<QString, QString>> StoredDrawSettings()
{
    QMap<qint64, QMap<QString, QString>> stored;
    auto settings = openSettings(AppName);
    for (const QString &group : settings->childGroups()) {
        if (!group.startsWith(DrawSectionPrefix))
            continue;
        bool ok = false;
        const qint64 drawId = group.mid(DrawSectionPrefix.size()).toLongLong(&ok);
        if (!ok)
            continue;
        settings->beginGroup(group);
        for (const QString &key : settings->childKeys()) {
            const QString value = settings->value(key).toString();
            if (!value.isEmpty())
                stored[drawId][key] = value;
        }
        settings->endGroup();
    }
    return stored;
}

void ForgetStoredDrawSettings()
{
    auto settings = openSettings(AppName);
    for (const QString &group : settings->childGroups()) {
        bool ok = false;
        group.mid(DrawSectionPrefix.size()).toLongLong(&ok);
        if (group.startsWith(DrawSectionPrefix) && ok)
            settings->remove(group);
    }
    settings->sync();
}

void WriteStoredDrawSetting(qint64 drawId, const QString &key, const QString &value)
{
    WriteRegValue(AppName, DrawSectionPrefix + QString::number(drawId), key, value);
}

void setSettingsFile(const QString &path)
{
    g_settingsFile = path;
}

} // namespace tombolix
