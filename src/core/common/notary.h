#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <memory>
#include <utility>

// The rule that makes a draw checkable by anyone (docs/verifiable-draw.md):
// a secret seed committed to before the first round, the entrant list and
// the awards fingerprinted, and every round's winners derived from the seed.
namespace tombolix::notary {

inline constexpr char Rule[] = "tombolix-draw-v1";

// 32 bytes from the operating system's secure random source.
QByteArray NewSeed();

QString Hex(const QByteArray &bytes);
QByteArray Sha256(const QByteArray &bytes);

// SHA-256 of the seed, in hex: what is published before the first round.
QString Commitment(const QByteArray &seed);

// The fingerprint of the entrant list: SHA-256 over one line per entrant in
// the draw's order, "position TAB number TAB name LF" in UTF-8, positions
// from 1. Fed entrant by entrant, so a million entrants need no copy.
class Fingerprint
{
public:
    Fingerprint();
    void add(QStringView number, QStringView name);
    qint64 count() const { return m_count; }
    QString result() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
    qint64 m_count = 0;
};

// An entrant list as it is kept beside a record: per entrant the number, the
// unit separator (0x1F), the name and the record separator (0x1E), in UTF-8.
void AppendListRow(QByteArray &text, QStringView number, QStringView name);
QList<std::pair<QString, QString>> ListRows(const QByteArray &text);

// One award as the record commits to it.
struct CommittedAward
{
    qint64 id = 0;
    qint64 order = 0; // 顺序
    QString name;
    QString prize;
    qint64 count = 0; // 数量
    qint64 perRound = 1; // 同时
    bool repeat = false; // 重复
};

// SHA-256 over "id TAB order TAB name TAB prize TAB count TAB perRound TAB
// repeat(0/1) LF" per award, in the order the draw takes them.
QString AwardsDigest(const QList<CommittedAward> &awards);

// The 公证码: the first 16 hex digits (upper case) of SHA-256 over
// "commitment LF fingerprint LF awardsDigest".
QString NotaryCode(const QString &commitment, const QString &fingerprint, const QString &awardsDigest);
// "XXXX XXXX XXXX XXXX".
QString GroupedCode(const QString &code);

// The stream of a round: blocks HMAC-SHA256(seed, "tombolix-draw-v1|award|
// round|block"), block = 0, 1, …, read 8 bytes at a time as big-endian
// unsigned 64-bit numbers.
class DerivedStream
{
public:
    DerivedStream(const QByteArray &seed, qint64 awardId, qint64 round);
    quint64 next();
    // Uniform over 0..n-1 without modulo bias: numbers at or above the
    // largest multiple of n below 2^64 are passed over.
    quint64 below(quint64 n);

private:
    QByteArray m_seed;
    QByteArray m_prefix;
    QByteArray m_block;
    qint64 m_blockNumber = 0;
    int m_used = 32;
};

// The hash of a record entry: SHA-256 over "previous|sequence|type|time|content".
QString EntryHash(const QString &previous, qint64 sequence, const QString &type, const QString &time,
    const QString &content);
// The previous hash of a draw's first entry.
QString GenesisHash();

} // namespace tombolix::notary
