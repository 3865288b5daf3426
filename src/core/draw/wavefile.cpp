#include "draw/wavefile.h"

#include <QFile>
#include <QIODevice>
#include <QtEndian>

namespace tombolix::draw {

namespace {

constexpr int PcmTag = 1;
constexpr int ExtensibleTag = 0xFFFE;
// A file is a handful of chunks; a header that goes on for ever is not a sound.
constexpr int MaxChunks = 64;

bool readExactly(QIODevice &device, char *buffer, qint64 size)
{
    return device.read(buffer, size) == size;
}

quint16 le16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 le32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

bool usable(const WaveFormat &format)
{
    const int bits = format.bitsPerSample;
    return (bits == 8 || bits == 16 || bits == 24 || bits == 32) && format.channels >= 1
        && format.channels <= 8 && format.sampleRate >= 8000 && format.sampleRate <= 192000
        && format.blockAlign == format.channels * bits / 8;
}

} // namespace

std::optional<WaveFormat> ReadWaveFormat(QIODevice &device)
{
    char riff[12];
    if (!readExactly(device, riff, sizeof riff) || QByteArray(riff, 4) != "RIFF"
        || QByteArray(riff + 8, 4) != "WAVE")
        return std::nullopt;

    std::optional<WaveFormat> format;
    for (int chunk = 0; chunk < MaxChunks; ++chunk) {
        char header[8];
        if (!readExactly(device, header, sizeof header))
            return std::nullopt;
        const QByteArray id(header, 4);
        const qint64 size = le32(header + 4);
        const qint64 body = device.pos();
        if (id == "fmt ") {
            if (size < 16 || size > 1024)
                return std::nullopt;
            char fmt[1024];
            if (!readExactly(device, fmt, size))
                return std::nullopt;
            WaveFormat read;
            read.formatTag = le16(fmt);
            read.channels = le16(fmt + 2);
            read.sampleRate = int(le32(fmt + 4));
            read.blockAlign = le16(fmt + 12);
            read.bitsPerSample = le16(fmt + 14);
            // The extensible header names the real format in the first two
            // bytes of its sub-format GUID.
            const bool pcm = read.formatTag == PcmTag
                || (read.formatTag == ExtensibleTag && size >= 40 && le16(fmt + 24) == PcmTag);
            if (!pcm || !usable(read))
                return std::nullopt;
            format = read;
        } else if (id == "data") {
            if (!format)
                return std::nullopt; // the samples cannot be read without their format
            const qint64 present = std::min(size, device.size() - body);
            format->dataOffset = body;
            format->frames = present / format->blockAlign;
            if (format->frames <= 0)
                return std::nullopt;
            return format;
        }
        // Chunks are padded to an even length.
        if (!device.seek(body + size + (size & 1)))
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<WaveFormat> ReadWaveFormat(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ReadWaveFormat(file);
}

} // namespace tombolix::draw
