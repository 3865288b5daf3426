#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>
#include <memory>
#include <optional>
#include <utility>

// The rule that makes a draw checkable by anyone (docs/verifiable-draw.md):
// a secret seed committed to before the first round together with
// everything that decides winners, the hall's numbers given after that,
// and every round's winners derived from both.
namespace tombolix::notary {

inline constexpr char Rule[] = "tombolix-draw-v2";
inline constexpr char RecordFormat[] = "tombolix-record-2";
// The rule records of version 1.12 follow; they are still checked.
inline constexpr char RuleV1[] = "tombolix-draw-v1";
inline constexpr char RecordFormatV1[] = "tombolix-record-1";

// 32 bytes from the operating system's secure random source.
QByteArray NewSeed();

QString Hex(const QByteArray &bytes);
QByteArray Sha256(QByteArrayView bytes);
// A hash as a record writes it: 64 lower-case hex digits.
bool IsHash(QStringView text);
// The 32 bytes a hash's hex stands for; nothing unless it is one.
std::optional<QByteArray> HashBytes(QStringView text);

// SHA-256 of the seed, in hex: what is published before the first round.
QString Commitment(const QByteArray &seed);

// enc(x): the byte length in decimal, ":", the bytes; an integer is encoded
// as its decimal. So no text can pass for two fields, or one for another.
void AppendEnc(QByteArray &out, QByteArrayView utf8);
void AppendEnc(QByteArray &out, QStringView text);
void AppendEnc(QByteArray &out, qint64 number);

// The fingerprint of an entrant list: SHA-256 over enc("tombolix-list-v2")
// and, per entrant in order, enc(number) and enc(name). Fed entrant by
// entrant, so a million entrants need no copy.
class ListFingerprint
{
public:
    ListFingerprint();
    ~ListFingerprint();
    ListFingerprint(const ListFingerprint &) = delete;
    ListFingerprint &operator=(const ListFingerprint &) = delete;

    void add(QStringView number, QStringView name);
    void addUtf8(QByteArrayView number, QByteArrayView name);
    qint64 count() const { return m_count; }
    QString result();

private:
    struct State;
    std::unique_ptr<State> m_state;
    qint64 m_count = 0;
};

// The hash of a record entry: SHA-256 over enc("tombolix-entry-v2"),
// enc(previous), enc(sequence), enc(type), enc(time) and enc(content), the
// content in its canonical text.
QString EntryHash(const QString &previous, qint64 sequence, QStringView type, QStringView time,
    QByteArrayView canonicalContent);
// The previous hash of a draw's first entry.
QString GenesisHash();

// The 公证码 of a commitment: the first 32 hex digits of its entry's hash,
// upper case. Grouped: "XXXX XXXX …" in groups of four.
QString CodeOfHash(const QString &entryHash);
QString GroupedCode(const QString &code);
// What the QR code on the stage and the 承诺单 holds.
QString CommitmentQrText(const QString &entryHash);

// The hall's numbers as a record keeps them: groups of digits separated by
// single spaces. Anything else typed between the groups counts as a space;
// nothing when a character is neither a digit nor a space, or the text is
// longer than MaxHallNumbers.
inline constexpr int MaxHallNumbers = 200;
std::optional<QString> HallNumbers(QStringView typed);
bool IsHallNumbers(QStringView text);
// The key the rounds of a commitment are drawn with: HMAC-SHA256(seed,
// enc("tombolix-hall-v2") ‖ enc(numbers)).
QByteArray HallKey(const QByteArray &seed, const QString &numbers);

// A record entry's time: local time with its offset from UTC,
// "2026-12-09T19:30:02+08:00".
QString EntryTime(const QDateTime &when = QDateTime::currentDateTime());
// Whether a text is such a time (year 2000 to 9999, a real day).
bool IsEntryTime(QStringView text);
// The same without the offset, as version 1.12 wrote times.
bool IsEntryTimeV1(QStringView text);

// The numbers a round is drawn with: blocks of HMAC-SHA256, read 8 bytes at
// a time as big-endian unsigned 64-bit numbers.
class DerivedStream
{
public:
    // Rule v2: key = the hall key; block j = HMAC(key,
    // enc("tombolix-round-v2") ‖ enc(award) ‖ enc(round) ‖ enc(j)).
    DerivedStream(const QByteArray &hallKey, qint64 awardId, qint64 round);
    // Rule v1: key = the seed; block j = HMAC(seed, "tombolix-draw-v1|award|round|j").
    static DerivedStream v1(const QByteArray &seed, qint64 awardId, qint64 round);

    quint64 next();
    // Uniform over 0..n-1 without modulo bias: numbers at or above the
    // largest multiple of n below 2^64 are passed over.
    quint64 below(quint64 n);

private:
    DerivedStream() = default;
    QByteArray m_key;
    QByteArray m_prefix;
    bool m_lengthPrefixed = true;
    QByteArray m_block;
    qint64 m_blockNumber = 0;
    int m_used = 32;
};

// Rule v1's own hashes, for checking the records version 1.12 wrote.
namespace v1 {

// SHA-256 over "position TAB number TAB name LF" per entrant.
class Fingerprint
{
public:
    Fingerprint();
    void add(QStringView number, QStringView name);
    void addUtf8(QByteArrayView number, QByteArrayView name);
    qint64 count() const { return m_count; }
    QString result() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
    qint64 m_count = 0;
};

// One award as a v1 record commits to it.
struct CommittedAward
{
    qint64 id = 0;
    qint64 order = 0;
    QString name;
    QString prize;
    qint64 count = 0;
    qint64 perRound = 1;
    bool repeat = false;
};
QString AwardsDigest(const QList<CommittedAward> &awards);
// The first 16 hex digits (upper case) of SHA-256(commitment LF fingerprint LF awardsDigest).
QString NotaryCode(const QString &commitment, const QString &fingerprint, const QString &awardsDigest);
// SHA-256 over "previous|sequence|type|time|content".
QString EntryHash(const QString &previous, qint64 sequence, const QString &type, const QString &time,
    const QString &content);

} // namespace v1

} // namespace tombolix::notary
