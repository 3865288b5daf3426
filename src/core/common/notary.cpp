#include "common/notary.h"

#include "common/sha256.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QTimeZone>
#include <cstring>

namespace tombolix::notary {

namespace {

// UTF-8 of a text written without a temporary (a million names are hashed
// on entering a draw); a lone surrogate becomes U+FFFD, as Qt writes it.
char *writeUtf8(char *out, QStringView text)
{
    const char16_t *c16 = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = c16[i];
        if (c < 0x80) {
            *out++ = char(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < size && QChar::isLowSurrogate(c16[i + 1])) {
            c = QChar::surrogateToUcs4(char16_t(c), c16[i + 1]);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
        } else {
            *out++ = char(0xF0 | (c >> 18));
            *out++ = char(0x80 | ((c >> 12) & 0x3F));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
        }
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

qsizetype utf8Length(QStringView text)
{
    qsizetype length = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            length += 1;
        else if (c < 0x800)
            length += 2;
        else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < size && text[i + 1].isLowSurrogate()) {
            length += 4;
            ++i;
        } else
            length += 3;
    }
    return length;
}

void appendDecimal(QByteArray &out, qint64 number)
{
    char digits[24];
    int n = 0;
    const bool negative = number < 0;
    quint64 value = negative ? quint64(0) - quint64(number) : quint64(number);
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (negative)
        out += '-';
    while (n > 0)
        out += digits[--n];
}

bool allDigits(QStringView text, qsizetype from, qsizetype count)
{
    for (qsizetype i = from; i < from + count; ++i) {
        if (i >= text.size() || text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return false;
    }
    return true;
}

int number(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i)
        value = value * 10 + (text[i].unicode() - '0');
    return value;
}

// "YYYY-MM-DDTHH:MM:SS": a real day of the years 2000 to 9999.
bool isLocalTime(QStringView text)
{
    if (text.size() < 19 || !allDigits(text, 0, 4) || text[4] != QLatin1Char('-') || !allDigits(text, 5, 2)
        || text[7] != QLatin1Char('-') || !allDigits(text, 8, 2) || text[10] != QLatin1Char('T')
        || !allDigits(text, 11, 2) || text[13] != QLatin1Char(':') || !allDigits(text, 14, 2)
        || text[16] != QLatin1Char(':') || !allDigits(text, 17, 2))
        return false;
    const int year = number(text, 0, 4);
    return year >= 2000 && QDate(year, number(text, 5, 2), number(text, 8, 2)).isValid()
        && number(text, 11, 2) <= 23 && number(text, 14, 2) <= 59 && number(text, 17, 2) <= 59;
}

} // namespace

QByteArray NewSeed()
{
    QByteArray seed(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(
        reinterpret_cast<quint32 *>(seed.data()), reinterpret_cast<quint32 *>(seed.data() + seed.size()));
    return seed;
}

QString Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

QByteArray Sha256(QByteArrayView bytes)
{
    return sha256::Hash(bytes);
}

bool IsHash(QStringView text)
{
    if (text.size() != 64)
        return false;
    for (QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

std::optional<QByteArray> HashBytes(QStringView text)
{
    if (!IsHash(text))
        return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

QString Commitment(const QByteArray &seed)
{
    return Hex(Sha256(seed));
}

void AppendEnc(QByteArray &out, QByteArrayView utf8)
{
    appendDecimal(out, utf8.size());
    out += ':';
    out.append(utf8.data(), utf8.size());
}

void AppendEnc(QByteArray &out, QStringView text)
{
    const qsizetype length = utf8Length(text);
    appendDecimal(out, length);
    out += ':';
    const qsizetype at = out.size();
    out.resize(at + length);
    writeUtf8(out.data() + at, text);
}

void AppendEnc(QByteArray &out, qint64 number)
{
    QByteArray digits;
    appendDecimal(digits, number);
    AppendEnc(out, QByteArrayView(digits));
}

struct ListFingerprint::State
{
    sha256::Hasher hash;
    // enc of the entrants' texts gathered before hashing: written in place,
    // a million of them on entering a draw.
    static constexpr qsizetype Size = 1 << 16;
    char buffer[Size];
    qsizetype used = 0;

    void flush()
    {
        hash.add(QByteArrayView(buffer, used));
        used = 0;
    }
    // Room for a text of `units` UTF-16 code units (3 bytes each at most)
    // or bytes, with its length in front.
    bool room(qsizetype bytes)
    {
        if (used + bytes + 24 > Size)
            flush();
        return bytes + 24 <= Size;
    }
    // The payload written at `at` (24 bytes on, leaving room for the
    // length): the length and ':' put in front, the payload moved up.
    void prefix(qsizetype at, qsizetype length)
    {
        char digits[24];
        int n = 0;
        qsizetype value = length;
        do {
            digits[n++] = char('0' + value % 10);
            value /= 10;
        } while (value != 0);
        char *out = buffer + used;
        while (n > 0)
            *out++ = digits[--n];
        *out++ = ':';
        std::memmove(out, buffer + at, size_t(length));
        used = (out - buffer) + length;
    }
    void addText(QStringView text)
    {
        if (!room(text.size() * 3)) {
            flush();
            QByteArray big;
            AppendEnc(big, text);
            hash.add(big);
            return;
        }
        const qsizetype at = used + 24;
        const qsizetype length = writeUtf8(buffer + at, text) - (buffer + at);
        prefix(at, length);
    }
    void addBytes(QByteArrayView bytes)
    {
        if (!room(bytes.size())) {
            flush();
            QByteArray big;
            AppendEnc(big, bytes);
            hash.add(big);
            return;
        }
        const qsizetype at = used + 24;
        std::memcpy(buffer + at, bytes.data(), size_t(bytes.size()));
        prefix(at, bytes.size());
    }
};

ListFingerprint::ListFingerprint()
    : m_state(std::make_unique<State>())
{
    m_state->addBytes(QByteArrayView("tombolix-list-v2"));
}

ListFingerprint::~ListFingerprint() = default;

void ListFingerprint::add(QStringView number, QStringView name)
{
    ++m_count;
    m_state->addText(number);
    m_state->addText(name);
}

void ListFingerprint::addUtf8(QByteArrayView number, QByteArrayView name)
{
    ++m_count;
    m_state->addBytes(number);
    m_state->addBytes(name);
}

QString ListFingerprint::result()
{
    m_state->flush();
    return Hex(m_state->hash.result());
}

QString EntryHash(const QString &previous, qint64 sequence, QStringView type, QStringView time,
    QByteArrayView canonicalContent)
{
    QByteArray text;
    text.reserve(canonicalContent.size() + 160);
    AppendEnc(text, QByteArrayView("tombolix-entry-v2"));
    AppendEnc(text, QStringView(previous));
    AppendEnc(text, sequence);
    AppendEnc(text, type);
    AppendEnc(text, time);
    AppendEnc(text, canonicalContent);
    return Hex(Sha256(text));
}

QString GenesisHash()
{
    return QString(64, QLatin1Char('0'));
}

QString CodeOfHash(const QString &entryHash)
{
    return entryHash.left(32).toUpper();
}

QString GroupedCode(const QString &code)
{
    QStringList groups;
    for (qsizetype i = 0; i < code.size(); i += 4)
        groups << code.mid(i, 4);
    return groups.join(QLatin1Char(' '));
}

QString CommitmentQrText(const QString &entryHash)
{
    return QStringLiteral("TOMBOLIX-V2 ") + entryHash;
}

std::optional<QString> HallNumbers(QStringView typed)
{
    QString numbers;
    bool gap = false;
    for (QChar c : typed) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            if (gap && !numbers.isEmpty())
                numbers += QLatin1Char(' ');
            gap = false;
            numbers += c;
        } else if (c.isSpace()) {
            gap = true;
        } else {
            return std::nullopt;
        }
    }
    if (numbers.size() > MaxHallNumbers)
        return std::nullopt;
    return numbers;
}

bool IsHallNumbers(QStringView text)
{
    // Groups of digits, single spaces between them, none at either end.
    if (text.size() > MaxHallNumbers)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            continue;
        if (c != QLatin1Char(' ') || i == 0 || i + 1 == text.size() || text[i - 1] == QLatin1Char(' '))
            return false;
    }
    return true;
}

QByteArray HallKey(const QByteArray &seed, const QString &numbers)
{
    QByteArray message;
    AppendEnc(message, QByteArrayView("tombolix-hall-v2"));
    AppendEnc(message, QStringView(numbers));
    return QMessageAuthenticationCode::hash(message, seed, QCryptographicHash::Sha256);
}

QString EntryTime(const QDateTime &when)
{
    const int offset = when.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        + QStringLiteral("%1%2:%3")
              .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
              .arg(minutes / 60, 2, 10, QLatin1Char('0'))
              .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

bool IsEntryTime(QStringView text)
{
    return text.size() == 25 && isLocalTime(text)
        && (text[19] == QLatin1Char('+') || text[19] == QLatin1Char('-')) && allDigits(text, 20, 2)
        && text[22] == QLatin1Char(':') && allDigits(text, 23, 2) && number(text, 20, 2) <= 14
        && number(text, 23, 2) <= 59;
}

bool IsEntryTimeV1(QStringView text)
{
    return text.size() == 19 && isLocalTime(text);
}

DerivedStream::DerivedStream(const QByteArray &hallKey, qint64 awardId, qint64 round)
    : m_key(hallKey)
{
    AppendEnc(m_prefix, QByteArrayView("tombolix-round-v2"));
    AppendEnc(m_prefix, awardId);
    AppendEnc(m_prefix, round);
}

DerivedStream DerivedStream::v1(const QByteArray &seed, qint64 awardId, qint64 round)
{
    DerivedStream stream;
    stream.m_key = seed;
    stream.m_prefix
        = QByteArray(RuleV1) + '|' + QByteArray::number(awardId) + '|' + QByteArray::number(round) + '|';
    stream.m_lengthPrefixed = false;
    return stream;
}

quint64 DerivedStream::next()
{
    if (m_used + 8 > m_block.size()) {
        QByteArray message = m_prefix;
        if (m_lengthPrefixed)
            AppendEnc(message, m_blockNumber++);
        else
            message += QByteArray::number(m_blockNumber++);
        m_block = QMessageAuthenticationCode::hash(message, m_key, QCryptographicHash::Sha256);
        m_used = 0;
    }
    quint64 value = 0;
    for (int i = 0; i < 8; ++i)
        value = value << 8 | uchar(m_block.at(m_used + i));
    m_used += 8;
    return value;
}

quint64 DerivedStream::below(quint64 n)
{
    if (n <= 1) {
        next(); // one number is taken all the same
        return 0;
    }
    // 2^64 mod n, computed without overflow; the numbers below `limit` fall
    // evenly on 0..n-1.
    const quint64 remainder = (0 - n) % n;
    const quint64 limit = 0 - remainder; // 2^64 - remainder (0 stands for 2^64)
    for (;;) {
        const quint64 value = next();
        if (limit == 0 || value < limit)
            return value % n;
    }
}

namespace v1 {

struct Fingerprint::State
{
    QCryptographicHash hash { QCryptographicHash::Sha256 };
    QByteArray line;
};

Fingerprint::Fingerprint()
    : m_state(std::make_shared<State>())
{ }

void Fingerprint::add(QStringView number, QStringView name)
{
    addUtf8(number.toUtf8(), name.toUtf8());
}

void Fingerprint::addUtf8(QByteArrayView number, QByteArrayView name)
{
    ++m_count;
    QByteArray &line = m_state->line;
    line.setNum(m_count);
    line += '\t';
    line.append(number.data(), number.size());
    line += '\t';
    line.append(name.data(), name.size());
    line += '\n';
    m_state->hash.addData(line);
}

QString Fingerprint::result() const
{
    return Hex(m_state->hash.result());
}

QString AwardsDigest(const QList<CommittedAward> &awards)
{
    QByteArray text;
    for (const CommittedAward &award : awards) {
        text += QString::number(award.id).toUtf8() + '\t' + QByteArray::number(award.order) + '\t'
            + award.name.toUtf8() + '\t' + award.prize.toUtf8() + '\t' + QByteArray::number(award.count)
            + '\t' + QByteArray::number(award.perRound) + '\t' + (award.repeat ? '1' : '0') + '\n';
    }
    return Hex(Sha256(text));
}

QString NotaryCode(const QString &commitment, const QString &fingerprint, const QString &awardsDigest)
{
    const QByteArray text
        = (commitment + QLatin1Char('\n') + fingerprint + QLatin1Char('\n') + awardsDigest).toUtf8();
    return Hex(Sha256(text)).left(16).toUpper();
}

QString EntryHash(const QString &previous, qint64 sequence, const QString &type, const QString &time,
    const QString &content)
{
    const QString text = previous + QLatin1Char('|') + QString::number(sequence) + QLatin1Char('|') + type
        + QLatin1Char('|') + time + QLatin1Char('|') + content;
    return Hex(Sha256(text.toUtf8()));
}

} // namespace v1

} // namespace tombolix::notary
