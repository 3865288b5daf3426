#include "transfer/textcodec.h"

#include "transfer/gb18030.h"

#include <QStringDecoder>
#include <algorithm>

namespace tombolix::transfer {

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);
const QByteArray Utf16LeBom("\xFF\xFE", 2);
const QByteArray Utf16BeBom("\xFE\xFF", 2);

QString decodeWith(QStringDecoder::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace

QString DecodeText(const QByteArray &bytes)
{
    const QByteArrayView view(bytes);
    if (view.startsWith(Utf8Bom))
        return decodeWith(QStringDecoder::Utf8, view.sliced(Utf8Bom.size()));
    if (view.startsWith(Utf16LeBom))
        return decodeWith(QStringDecoder::Utf16LE, view.sliced(Utf16LeBom.size()));
    if (view.startsWith(Utf16BeBom))
        return decodeWith(QStringDecoder::Utf16BE, view.sliced(Utf16BeBom.size()));

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;

    // Excel's "CSV (逗号分隔)" on a Chinese Windows writes the ANSI code page.
    if (Gb18030Available())
        return DecodeGb18030(view);
    return text; // no GB18030 here: the UTF-8 reading with replacement characters
}

TextFileReader::TextFileReader(QIODevice &device, qsizetype chunkSize)
    : m_device(device)
    , m_chunkSize(std::max<qsizetype>(16, chunkSize))
{ }

bool TextFileReader::fill()
{
    if (m_end)
        return false;
    const qsizetype had = m_bytes.size();
    m_bytes.resize(had + m_chunkSize);
    const qint64 got = m_device.read(m_bytes.data() + had, m_chunkSize);
    m_bytes.resize(had + std::max<qsizetype>(0, got));
    if (got <= 0) {
        m_end = true;
        m_failed = got < 0;
        return false;
    }
    return true;
}

void TextFileReader::readByteOrderMark()
{
    while (m_bytes.size() < Utf8Bom.size() && fill()) { }
    const QByteArrayView view(m_bytes);
    if (view.startsWith(Utf8Bom)) {
        m_encoding = Encoding::Utf8;
        m_bytes.remove(0, Utf8Bom.size());
    } else if (view.startsWith(Utf16LeBom)) {
        m_encoding = Encoding::Utf16LE;
        m_bytes.remove(0, Utf16LeBom.size());
    } else if (view.startsWith(Utf16BeBom)) {
        m_encoding = Encoding::Utf16BE;
        m_bytes.remove(0, Utf16BeBom.size());
    }
}

// Called with the first byte that is not ASCII at the front of the buffer.
void TextFileReader::decide()
{
    while (m_bytes.size() < DecisionWindow && fill()) { }
    // Within the file a window may end inside a character, which is not an
    // error; at the file's end the last character must be whole, as when
    // the whole file is tested.
    QStringDecoder utf8(
        QStringDecoder::Utf8, m_end ? QStringDecoder::Flag::Stateless : QStringDecoder::Flag::Default);
    [[maybe_unused]] const QString probe = utf8.decode(QByteArrayView(m_bytes));
    m_encoding = Encoding::Utf8;
    if (utf8.hasError() && Gb18030Available())
        m_encoding = Encoding::Gb18030;
}

// Bytes that end at a character boundary, decoded on their own exactly as
// inside the whole file: 8-bit encodings are cut after a line break (CR and
// LF never trail a multi-byte character in UTF-8 or GB18030), UTF-16 after a
// whole unit that does not begin a surrogate pair.
qsizetype TextFileReader::decodableLength()
{
    if (m_end)
        return m_bytes.size();
    if (m_encoding == Encoding::Utf16LE || m_encoding == Encoding::Utf16BE) {
        qsizetype length = m_bytes.size() & ~qsizetype(1);
        if (length >= 2) {
            const uchar high = uchar(m_bytes.at(m_encoding == Encoding::Utf16LE ? length - 1 : length - 2));
            if (high >= 0xD8 && high <= 0xDB)
                length -= 2;
        }
        return length;
    }
    // A line longer than a chunk is searched once, not again after each chunk.
    for (qsizetype i = m_bytes.size() - 1; i >= m_searchedBytes; --i) {
        if (m_bytes.at(i) == '\n' || m_bytes.at(i) == '\r') {
            m_searchedBytes = 0;
            return i + 1;
        }
    }
    m_searchedBytes = m_bytes.size();
    return 0;
}

QString TextFileReader::read()
{
    if (!m_started) {
        m_started = true;
        readByteOrderMark();
    }
    for (;;) {
        if (m_encoding == Encoding::Undecided) {
            const auto nonAscii
                = std::find_if(m_bytes.cbegin(), m_bytes.cend(), [](char c) { return uchar(c) >= 0x80; });
            const qsizetype ascii = nonAscii - m_bytes.cbegin();
            if (ascii > 0) {
                // ASCII reads the same in every encoding the file may have.
                QString text = QString::fromLatin1(QByteArrayView(m_bytes).first(ascii));
                m_bytes.remove(0, ascii);
                m_firstPiece = false;
                return text;
            }
            if (m_bytes.isEmpty()) {
                if (!fill())
                    return QString();
                continue;
            }
            decide();
        }
        if (!m_decoder || m_decoderForFirstPiece != m_firstPiece) {
            // A mark after a line break is text, not a mark: only the first
            // piece may drop one, as decoding the whole file would.
            m_decoderForFirstPiece = m_firstPiece;
            const QStringDecoder::Flags flags = m_firstPiece
                ? QStringDecoder::Flags(QStringDecoder::Flag::Stateless)
                : QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom;
            switch (m_encoding) {
            case Encoding::Utf16LE:
                m_decoder.emplace(QStringDecoder::Utf16LE, flags);
                break;
            case Encoding::Utf16BE:
                m_decoder.emplace(QStringDecoder::Utf16BE, flags);
                break;
            case Encoding::Gb18030:
                break; // decoded piece by piece below: pieces end at line breaks
            default:
                m_decoder.emplace(QStringDecoder::Utf8, flags);
                break;
            }
        }
        const qsizetype length = decodableLength();
        if (length > 0) {
            const QByteArrayView piece = QByteArrayView(m_bytes).first(length);
            QString text = m_encoding == Encoding::Gb18030 ? DecodeGb18030(piece) : m_decoder->decode(piece);
            m_bytes.remove(0, length);
            m_firstPiece = false;
            if (!text.isEmpty())
                return text;
            continue;
        }
        if (m_end)
            return QString();
        fill();
    }
}

QByteArray EncodeCsvText(const QString &text)
{
    return Utf8Bom + text.toUtf8();
}

} // namespace tombolix::transfer
