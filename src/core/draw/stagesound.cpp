#include "draw/stagesound.h"

#include "draw/wavefile.h"

namespace tombolix::draw {

QString PlayableSoundFile(const QString &chosen, const QString &builtIn)
{
    return ReadWaveFormat(chosen) ? chosen : builtIn;
}

RecordingStageSound::RecordingStageSound(std::shared_ptr<SoundLog> log)
    : m_log(std::move(log))
{ }

void RecordingStageSound::setFiles(const QString &rollFile, const QString &stopFile)
{
    m_log->calls << QStringLiteral("files");
    m_log->rollFile = rollFile;
    m_log->stopFile = stopFile;
}

void RecordingStageSound::setMuted(bool muted)
{
    m_log->calls << (muted ? QStringLiteral("mute") : QStringLiteral("unmute"));
    m_log->muted = muted;
}

void RecordingStageSound::startRoll()
{
    m_log->calls << QStringLiteral("startRoll");
}

void RecordingStageSound::stopRoll()
{
    m_log->calls << QStringLiteral("stopRoll");
}

void RecordingStageSound::fanfare()
{
    m_log->calls << QStringLiteral("fanfare");
}

} // namespace tombolix::draw
