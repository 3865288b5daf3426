// The stage's sound through Qt Multimedia.
#include "drawscreen/stagesoundplayer.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>

namespace tombolix {

namespace {

// A file that passed the header check may still fail to decode; it falls
// back to the built-in sound rather than leave the stage mute.
void fallBackOnError(QSoundEffect *effect, const QUrl &builtIn)
{
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect, builtIn] {
        if (effect->status() == QSoundEffect::Error && effect->source() != builtIn)
            effect->setSource(builtIn);
    });
}

} // namespace

StageSoundPlayer::StageSoundPlayer()
    : m_rollSource(StageSoundUrl(builtInRollFile()))
    , m_stopSource(StageSoundUrl(builtInStopFile()))
{ }

StageSoundPlayer::~StageSoundPlayer() = default;

bool StageSoundPlayer::hasOutput() const
{
    return m_roll != nullptr;
}

bool StageSoundPlayer::ensureEffects()
{
    if (m_roll)
        return true;
    // Qt warns once per sound it loads when there is no device to play it
    // on; asking first keeps a machine without sound quiet as well as silent.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    m_roll = std::make_unique<QSoundEffect>(device);
    m_stop = std::make_unique<QSoundEffect>(device);
    m_roll->setLoopCount(QSoundEffect::Infinite);
    m_stop->setLoopCount(1);
    fallBackOnError(m_roll.get(), StageSoundUrl(builtInRollFile()));
    fallBackOnError(m_stop.get(), StageSoundUrl(builtInStopFile()));
    for (QSoundEffect *effect : { m_roll.get(), m_stop.get() })
        effect->setMuted(m_muted);
    m_roll->setSource(m_rollSource);
    m_stop->setSource(m_stopSource);
    return true;
}

void StageSoundPlayer::setFiles(const QString &rollFile, const QString &stopFile)
{
    m_rollSource = StageSoundUrl(draw::PlayableSoundFile(rollFile, builtInRollFile()));
    m_stopSource = StageSoundUrl(draw::PlayableSoundFile(stopFile, builtInStopFile()));
    if (!ensureEffects())
        return;
    if (m_roll->source() != m_rollSource)
        m_roll->setSource(m_rollSource);
    if (m_stop->source() != m_stopSource)
        m_stop->setSource(m_stopSource);
}

void StageSoundPlayer::setMuted(bool muted)
{
    m_muted = muted;
    if (m_roll) {
        m_roll->setMuted(muted);
        m_stop->setMuted(muted);
    }
}

void StageSoundPlayer::startRoll()
{
    if (!ensureEffects())
        return;
    // A fanfare still ringing from the last stop gives way to the new round.
    m_stop->stop();
    m_roll->play();
}

void StageSoundPlayer::stopRoll()
{
    if (m_roll)
        m_roll->stop();
}

void StageSoundPlayer::fanfare()
{
    if (!ensureEffects())
        return;
    m_stop->play();
}

} // namespace tombolix
