#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace tombolix::draw {

// Where a draw keeps its own sound files (its settings beside its row) and
// where the mute option lives.
inline const QString RollSoundKey = QStringLiteral("RollSound");
inline const QString StopSoundKey = QStringLiteral("StopSound");
inline const QString SoundSection = QStringLiteral("Sound");
inline const QString MuteKey = QStringLiteral("Mute");

// The sound of the draw screen: a loop while the numbers roll and a fanfare
// when a round names its winners. Sound is a nicety: an implementation never
// asks, tells or waits; without an audio device it stays silent.
class StageSound
{
public:
    virtual ~StageSound() = default;

    // The draw's own files; an empty path, or a file that cannot be played,
    // means the built-in sound.
    virtual void setFiles(const QString &rollFile, const QString &stopFile) = 0;
    // Takes effect at once, also on a sound that is playing.
    virtual void setMuted(bool muted) = 0;
    virtual void startRoll() = 0;
    virtual void stopRoll() = 0;
    virtual void fanfare() = 0;
};

// The file to play: the chosen one when it holds sound the stage can play
// (PCM WAV, see ReadWaveFormat), otherwise the built-in one.
QString PlayableSoundFile(const QString &chosen, const QString &builtIn);

// What a RecordingStageSound was asked, kept apart from it so that a test
// can still read it after the screen that owned the sound is gone.
struct SoundLog
{
    QStringList calls; // "files", "mute", "unmute", "startRoll", "stopRoll", "fanfare"
    QString rollFile;
    QString stopFile;
    bool muted = false;
};

// A silent sound for tests: it records every call.
class RecordingStageSound : public StageSound
{
public:
    explicit RecordingStageSound(std::shared_ptr<SoundLog> log);

    void setFiles(const QString &rollFile, const QString &stopFile) override;
    void setMuted(bool muted) override;
    void startRoll() override;
    void stopRoll() override;
    void fanfare() override;

private:
    std::shared_ptr<SoundLog> m_log;
};

} // namespace tombolix::draw
