#include "draw/stagesound.h"
#include "draw/wavefile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace tombolix::draw;

namespace {

QByteArray le16(int value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian<quint16>(quint16(value), bytes.data());
    return bytes;
}

QByteArray le32(qint64 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(quint32(value), bytes.data());
    return bytes;
}

// A chunk as RIFF writes it: its id, its size, its body and a pad byte when
// the size is odd. sizeField overrides the size written (a file cut short).
QByteArray chunk(const char *id, const QByteArray &body, qint64 sizeField = -1)
{
    QByteArray bytes = QByteArray(id, 4) + le32(sizeField < 0 ? body.size() : sizeField) + body;
    if (body.size() % 2)
        bytes += '\0';
    return bytes;
}

QByteArray fmtBody(int tag, int channels, int rate, int bits, int blockAlign = -1)
{
    const int align = blockAlign < 0 ? channels * bits / 8 : blockAlign;
    return le16(tag) + le16(channels) + le32(rate) + le32(qint64(rate) * align) + le16(align) + le16(bits);
}

// WAVE_FORMAT_EXTENSIBLE: the real format is the first two bytes of the GUID.
QByteArray extensibleBody(int subFormat, int channels, int rate, int bits)
{
    return fmtBody(0xFFFE, channels, rate, bits) + le16(22) + le16(bits) + le32(channels == 1 ? 4 : 3)
        + le16(subFormat) + QByteArray::fromHex("000000001000800000aa00389b71");
}

QByteArray riff(const QByteArray &chunks, const char *magic = "RIFF", const char *form = "WAVE")
{
    return QByteArray(magic, 4) + le32(4 + chunks.size()) + QByteArray(form, 4) + chunks;
}

QByteArray samples(int bytes)
{
    return QByteArray(bytes, '\x10');
}

} // namespace

class TestWaveFile : public QObject
{
    Q_OBJECT

private slots:
    void readsPlayableHeaders_data();
    void readsPlayableHeaders();
    void refusesWhatCannotBePlayed_data();
    void refusesWhatCannotBePlayed();
    void filesAndPathsFallBackToTheBuiltInSound();
    void recordingSoundKeepsItsLogAfterItIsGone();
};

void TestWaveFile::readsPlayableHeaders_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<qint64>("dataOffset");

    QTest::newRow("mono 16-bit") << riff(
        chunk("fmt ", fmtBody(1, 1, 22050, 16)) + chunk("data", samples(200)))
                                 << 1 << 22050 << 16 << qint64(100) << qint64(44);
    QTest::newRow("stereo 8-bit") << riff(chunk("fmt ", fmtBody(1, 2, 8000, 8)) + chunk("data", samples(64)))
                                  << 2 << 8000 << 8 << qint64(32) << qint64(44);
    QTest::newRow("24-bit") << riff(chunk("fmt ", fmtBody(1, 1, 48000, 24)) + chunk("data", samples(30))) << 1
                            << 48000 << 24 << qint64(10) << qint64(44);
    QTest::newRow("32-bit integer stereo")
        << riff(chunk("fmt ", fmtBody(1, 2, 44100, 32)) + chunk("data", samples(80))) << 2 << 44100 << 32
        << qint64(10) << qint64(44);
    QTest::newRow("extensible PCM") << riff(
        chunk("fmt ", extensibleBody(1, 1, 44100, 16)) + chunk("data", samples(8)))
                                    << 1 << 44100 << 16 << qint64(4) << qint64(68);
    // Editors put tags and cue points before the samples; an odd chunk is
    // followed by a pad byte that is not part of the next chunk.
    QTest::newRow("odd chunk before the samples") << riff(
        chunk("fmt ", fmtBody(1, 1, 22050, 16)) + chunk("LIST", "INFOabc") + chunk("data", samples(10)))
                                                  << 1 << 22050 << 16 << qint64(5) << qint64(60);
    // A file cut short plays what it holds.
    QTest::newRow("data shorter than its size field")
        << riff(chunk("fmt ", fmtBody(1, 1, 22050, 16)) + chunk("data", samples(20), 100000)) << 1 << 22050
        << 16 << qint64(10) << qint64(44);
}

void TestWaveFile::readsPlayableHeaders()
{
    QFETCH(QByteArray, file);
    QBuffer buffer(&file);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const std::optional<WaveFormat> format = ReadWaveFormat(buffer);
    QVERIFY(format);
    QTEST(format->channels, "channels");
    QTEST(format->sampleRate, "rate");
    QTEST(format->bitsPerSample, "bits");
    QTEST(format->frames, "frames");
    QTEST(format->dataOffset, "dataOffset");
    QCOMPARE(format->seconds(), double(format->frames) / format->sampleRate);
}

void TestWaveFile::refusesWhatCannotBePlayed_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray data = chunk("data", samples(100));
    const QByteArray fmt = chunk("fmt ", fmtBody(1, 1, 22050, 16));
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not RIFF (an MP3 frame)") << QByteArray::fromHex("fffb9064000000000000000000000000");
    QTest::newRow("big-endian RIFX") << riff(fmt + data, "RIFX");
    QTest::newRow("AVI, not WAVE") << riff(fmt + data, "RIFF", "AVI ");
    QTest::newRow("float samples") << riff(chunk("fmt ", fmtBody(3, 1, 22050, 32)) + data);
    QTest::newRow("extensible float") << riff(chunk("fmt ", extensibleBody(3, 1, 22050, 32)) + data);
    QTest::newRow("compressed (ADPCM)") << riff(chunk("fmt ", fmtBody(2, 1, 22050, 4, 256)) + data);
    QTest::newRow("12-bit") << riff(chunk("fmt ", fmtBody(1, 1, 22050, 12, 2)) + data);
    QTest::newRow("block size not the frame size") << riff(chunk("fmt ", fmtBody(1, 2, 22050, 16, 2)) + data);
    QTest::newRow("no channels") << riff(chunk("fmt ", fmtBody(1, 0, 22050, 16, 0)) + data);
    QTest::newRow("nine channels") << riff(chunk("fmt ", fmtBody(1, 9, 22050, 16)) + data);
    QTest::newRow("rate too low") << riff(chunk("fmt ", fmtBody(1, 1, 4000, 16)) + data);
    QTest::newRow("format chunk too short") << riff(chunk("fmt ", fmtBody(1, 1, 22050, 16).left(14)) + data);
    QTest::newRow("samples before their format") << riff(data + fmt);
    QTest::newRow("format without samples") << riff(fmt);
    QTest::newRow("no whole frame") << riff(fmt + chunk("data", samples(1)));
    QTest::newRow("header cut inside the format") << riff(fmt).left(30);
    QByteArray junk;
    for (int i = 0; i < 100; ++i)
        junk += chunk("junk", "x");
    QTest::newRow("endless chunks before the samples") << riff(fmt + junk + data);
}

void TestWaveFile::refusesWhatCannotBePlayed()
{
    QFETCH(QByteArray, file);
    QBuffer buffer(&file);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QVERIFY(!ReadWaveFormat(buffer));
}

void TestWaveFile::filesAndPathsFallBackToTheBuiltInSound()
{
    QTemporaryDir dir;
    const QString builtIn = QStringLiteral(":/built-in.wav");
    const QString good = dir.filePath(QStringLiteral("鼓声.wav"));
    const QString bad = dir.filePath(QStringLiteral("song.wav"));
    QFile file(good);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(riff(chunk("fmt ", fmtBody(1, 1, 22050, 16)) + chunk("data", samples(100))));
    file.close();
    QFile mp3(bad);
    QVERIFY(mp3.open(QIODevice::WriteOnly));
    mp3.write(QByteArray::fromHex("494433030000000000") + QByteArray(200, '\0'));
    mp3.close();

    QCOMPARE(PlayableSoundFile(good, builtIn), good);
    QCOMPARE(PlayableSoundFile(QString(), builtIn), builtIn);
    QCOMPARE(PlayableSoundFile(dir.filePath(QStringLiteral("gone.wav")), builtIn), builtIn);
    QCOMPARE(PlayableSoundFile(bad, builtIn), builtIn);
    QCOMPARE(PlayableSoundFile(dir.path(), builtIn), builtIn); // a folder
    QVERIFY(!ReadWaveFormat(QString()));
}

void TestWaveFile::recordingSoundKeepsItsLogAfterItIsGone()
{
    auto log = std::make_shared<SoundLog>();
    {
        RecordingStageSound sound(log);
        sound.setMuted(true);
        sound.setFiles(QStringLiteral("a.wav"), QString());
        sound.startRoll();
        sound.stopRoll();
        sound.fanfare();
        sound.setMuted(false);
    }
    QCOMPARE(log->calls, QStringList({ "mute", "files", "startRoll", "stopRoll", "fanfare", "unmute" }));
    QCOMPARE(log->rollFile, QStringLiteral("a.wav"));
    QCOMPARE(log->stopFile, QString());
    QVERIFY(!log->muted);
}

QTEST_GUILESS_MAIN(TestWaveFile)
#include "tst_wavefile.moc"
