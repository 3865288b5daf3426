// The stage's sound through the Windows player (PlaySound), which plays WAV
// from memory: the files are read once, with their Unicode names, and the
// player never sees a file name.
#include "drawscreen/stagesoundplayer.h"

#include <QFile>
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

namespace tombolix {

namespace {

QByteArray soundBytes(const QUrl &source)
{
    QFile file(
        source.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + source.path() : source.toLocalFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file that cannot be read falls back to the built-in sound rather than
// leave the stage mute.
QByteArray soundOrBuiltIn(const QUrl &source, const QString &builtIn)
{
    const QByteArray bytes = soundBytes(source);
    return bytes.isEmpty() ? soundBytes(StageSoundUrl(builtIn)) : bytes;
}

void play(const QByteArray &sound, DWORD flags)
{
    PlaySoundW(reinterpret_cast<LPCWSTR>(sound.constData()), nullptr,
        SND_MEMORY | SND_ASYNC | SND_NODEFAULT | flags);
}

void silence()
{
    PlaySoundW(nullptr, nullptr, 0);
}

} // namespace

StageSoundPlayer::StageSoundPlayer()
    : m_rollSource(StageSoundUrl(builtInRollFile()))
    , m_stopSource(StageSoundUrl(builtInStopFile()))
{ }

StageSoundPlayer::~StageSoundPlayer()
{
    // The player reads the bytes while it plays; they go only once it has stopped.
    if (m_loaded)
        silence();
}

bool StageSoundPlayer::hasOutput() const
{
    return m_loaded;
}

bool StageSoundPlayer::ensureEffects()
{
    if (m_loaded)
        return true;
    if (waveOutGetNumDevs() == 0)
        return false;
    m_rollSound = soundOrBuiltIn(m_rollSource, builtInRollFile());
    m_stopSound = soundOrBuiltIn(m_stopSource, builtInStopFile());
    m_loaded = true;
    return true;
}

void StageSoundPlayer::setFiles(const QString &rollFile, const QString &stopFile)
{
    const QUrl roll = StageSoundUrl(draw::PlayableSoundFile(rollFile, builtInRollFile()));
    const QUrl stop = StageSoundUrl(draw::PlayableSoundFile(stopFile, builtInStopFile()));
    if (roll == m_rollSource && stop == m_stopSource)
        return;
    m_rollSource = roll;
    m_stopSource = stop;
    if (!m_loaded)
        return;
    silence();
    m_loaded = false;
    ensureEffects();
}

void StageSoundPlayer::setMuted(bool muted)
{
    m_muted = muted;
    if (muted && m_loaded)
        silence();
}

void StageSoundPlayer::startRoll()
{
    if (m_muted || !ensureEffects())
        return;
    // A fanfare still ringing from the last stop gives way to the new round.
    play(m_rollSound, SND_LOOP);
}

void StageSoundPlayer::stopRoll()
{
    if (m_loaded)
        silence();
}

void StageSoundPlayer::fanfare()
{
    if (m_muted || !ensureEffects())
        return;
    play(m_stopSound, 0);
}

} // namespace tombolix
