#include "draw/heldkeys.h"

namespace tombolix::draw {

namespace {

// The X server stamps a repeat's release and press alike; a finger needs
// tens of milliseconds to let go and press again.
constexpr quint64 SameMoment = 2;

} // namespace

bool HeldKeys::press(int key, quint64 timestamp, bool flaggedRepeat)
{
    if (flaggedRepeat || m_down.contains(key)) {
        m_down.insert(key);
        return false;
    }
    m_down.insert(key);
    const bool repeated = timestamp != 0 && m_releasedKey == key && m_releasedAt != 0
        && timestamp >= m_releasedAt && timestamp - m_releasedAt <= SameMoment;
    m_releasedKey = 0;
    return !repeated;
}

void HeldKeys::release(int key, quint64 timestamp, bool flaggedRepeat)
{
    if (flaggedRepeat)
        return; // the key is still held
    m_down.remove(key);
    m_releasedKey = key;
    m_releasedAt = timestamp;
}

void HeldKeys::clear()
{
    m_down.clear();
    m_releasedKey = 0;
}

} // namespace tombolix::draw
