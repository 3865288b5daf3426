#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// SHA-256 (FIPS 180-4). Entering a draw of a million entrants hashes their
// whole list, so the processor's SHA instructions are used where it has
// them; elsewhere a plain implementation gives the same bytes.
namespace tombolix::sha256 {

class Hasher
{
public:
    Hasher();
    void add(QByteArrayView bytes);
    // The digest of everything added; the hasher may be fed on afterwards.
    QByteArray result() const;

private:
    quint32 m_state[8];
    unsigned char m_pending[64];
    int m_pendingSize = 0;
    quint64 m_length = 0;
};

QByteArray Hash(QByteArrayView bytes);

// Whether the SHA instructions are used here (for the benchmarks' notes).
bool UsesShaInstructions();

} // namespace tombolix::sha256
