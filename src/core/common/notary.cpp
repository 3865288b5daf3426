#include "common/notary.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

namespace tombolix::notary {

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

QByteArray Sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QString Commitment(const QByteArray &seed)
{
    return Hex(Sha256(seed));
}

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
    ++m_count;
    QByteArray &line = m_state->line;
    line.setNum(m_count);
    line += '\t';
    line += number.toUtf8();
    line += '\t';
    line += name.toUtf8();
    line += '\n';
    m_state->hash.addData(line);
}

QString Fingerprint::result() const
{
    return Hex(m_state->hash.result());
}

void AppendListRow(QByteArray &text, QStringView number, QStringView name)
{
    text += number.toUtf8();
    text += '\x1f';
    text += name.toUtf8();
    text += '\x1e';
}

QList<std::pair<QString, QString>> ListRows(const QByteArray &text)
{
    QList<std::pair<QString, QString>> rows;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\x1e', start);
        if (end < 0)
            end = text.size();
        const QByteArrayView row(text.constData() + start, end - start);
        const qsizetype unit = row.indexOf('\x1f');
        rows.append({ QString::fromUtf8(row.first(unit < 0 ? row.size() : unit)),
            unit < 0 ? QString() : QString::fromUtf8(row.sliced(unit + 1)) });
        start = end + 1;
    }
    return rows;
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

QString GroupedCode(const QString &code)
{
    QStringList groups;
    for (qsizetype i = 0; i < code.size(); i += 4)
        groups << code.mid(i, 4);
    return groups.join(QLatin1Char(' '));
}

DerivedStream::DerivedStream(const QByteArray &seed, qint64 awardId, qint64 round)
    : m_seed(seed)
    , m_prefix(QByteArray(Rule) + '|' + QByteArray::number(awardId) + '|' + QByteArray::number(round) + '|')
{ }

quint64 DerivedStream::next()
{
    if (m_used + 8 > m_block.size()) {
        m_block = QMessageAuthenticationCode::hash(
            m_prefix + QByteArray::number(m_blockNumber++), m_seed, QCryptographicHash::Sha256);
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
    if (n <= 1)
        return 0;
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

QString EntryHash(const QString &previous, qint64 sequence, const QString &type, const QString &time,
    const QString &content)
{
    const QString text = previous + QLatin1Char('|') + QString::number(sequence) + QLatin1Char('|') + type
        + QLatin1Char('|') + time + QLatin1Char('|') + content;
    return Hex(Sha256(text.toUtf8()));
}

QString GenesisHash()
{
    return QString(64, QLatin1Char('0'));
}

} // namespace tombolix::notary
