#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringDecoder>
#include <optional>

// Text encodings of the CSV files this program reads and writes. Files come
// from Excel (ANSI code page, GBK for Chinese, or UTF-8 with a byte-order
// mark), from other spreadsheet programs and from editors (UTF-8 without a
// mark, now and then UTF-16), so the reader guesses; the writer always writes
// UTF-8 with a mark, which Excel opens with the right characters.
namespace tombolix::transfer {

// A byte-order mark decides (UTF-8, UTF-16 LE, UTF-16 BE) and is dropped;
// without one, bytes that are valid UTF-8 are read as UTF-8 and anything else
// as GB18030, the superset of GBK.
QString DecodeText(const QByteArray &bytes);

// Reads a text file piece by piece, each byte decoded once, so that a reader
// wanting the head of a long file reads no more than that. The encoding is
// told as DecodeText tells it, except that without a byte-order mark the
// UTF-8 test looks at a window of bytes from the first one that is not ASCII
// rather than at the whole file (everything before it reads the same in
// either encoding).
class TextFileReader
{
public:
    explicit TextFileReader(QIODevice &device, qsizetype chunkSize = 1 << 16);

    // The next piece of text, ending at a line break wherever the file has
    // one; empty once all has been read or reading failed.
    QString read();
    bool failed() const { return m_failed; }

    // How many bytes from the first that is not ASCII decide the encoding.
    static constexpr qsizetype DecisionWindow = 1 << 16;

private:
    enum class Encoding
    {
        Undecided,
        Utf8,
        Utf16LE,
        Utf16BE,
        Gb18030
    };

    bool fill();
    void readByteOrderMark();
    void decide();
    qsizetype decodableLength();

    QIODevice &m_device;
    qsizetype m_chunkSize;
    QByteArray m_bytes; // read, not yet decoded
    qsizetype m_searchedBytes = 0; // of m_bytes, known to hold no line break
    bool m_started = false;
    bool m_end = false;
    bool m_failed = false;
    Encoding m_encoding = Encoding::Undecided;
    std::optional<QStringDecoder> m_decoder;
    bool m_firstPiece = true;
    bool m_decoderForFirstPiece = true;
};

// UTF-8 with a byte-order mark.
QByteArray EncodeCsvText(const QString &text);

} // namespace tombolix::transfer
