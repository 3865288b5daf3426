#pragma once

#include <QString>
#include <optional>

class QIODevice;

namespace tombolix::draw {

// What the header of a RIFF WAV file of integer PCM samples tells: the only
// kind of sound file the stage plays.
struct WaveFormat
{
    int formatTag = 0; // 1, or 0xFFFE with a PCM sub-format
    int channels = 0;
    int sampleRate = 0; // frames per second
    int bitsPerSample = 0;
    int blockAlign = 0; // bytes per frame
    qint64 dataOffset = 0; // where the first sample starts
    qint64 frames = 0; // whole frames the file really holds

    double seconds() const { return sampleRate > 0 ? double(frames) / sampleRate : 0.0; }
};

// Reads the header from the device's current position; nothing when it is not
// integer PCM in 8, 16, 24 or 32 bits, 1 to 8 channels, 8 to 192 kHz, with at
// least one frame of samples after its format. Floating-point and compressed
// WAVs, and big-endian RIFX files, count as unplayable.
std::optional<WaveFormat> ReadWaveFormat(QIODevice &device);
// The same for a file (a resource path works too); nothing when it cannot be opened.
std::optional<WaveFormat> ReadWaveFormat(const QString &path);

} // namespace tombolix::draw
