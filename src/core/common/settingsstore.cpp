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

QString drawSection(qint64 drawId)
{
    return QStringLiteral("Draw%1").arg(drawId);
}

} // namespace

QString ReadDrawSetting(qint64 drawId, const QString &key, const QString &defaultValue)
{
    auto settings = openSettings(AppName);
    const QString value = settings->value(settingKey(drawSection(drawId), key)).toString();
    return value.isEmpty() ? defaultValue : value;
}

bool WriteDrawSetting(qint64 drawId, const QString &key, const QString &value)
{
    return WriteRegValue(AppName, drawSection(drawId), key, value);
}

void RemoveDrawSettings(qint64 drawId)
{
    auto settings = openSettings(AppName);
    settings->remove(drawSection(drawId));
    settings->sync();
}

void setSettingsFile(const QString &path)
{
    g_settingsFile = path;
}

} // namespace tombolix
