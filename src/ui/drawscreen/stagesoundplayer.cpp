#include "drawscreen/stagesoundplayer.h"

static void initSoundResources()
{
    Q_INIT_RESOURCE(sound);
}

namespace tombolix {

QUrl StageSoundUrl(const QString &file)
{
    if (file.startsWith(QLatin1Char(':')))
        return QUrl(QStringLiteral("qrc") + file);
    return QUrl::fromLocalFile(file);
}

QString StageSoundPlayer::builtInRollFile()
{
    initSoundResources();
    return QStringLiteral(":/tombolix/sounds/roll.wav");
}

QString StageSoundPlayer::builtInStopFile()
{
    initSoundResources();
    return QStringLiteral(":/tombolix/sounds/fanfare.wav");
}

} // namespace tombolix
