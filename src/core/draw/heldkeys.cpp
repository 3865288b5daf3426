#include "draw/heldkeys.h"

#include <Qt>

namespace tombolix::draw {

bool KeyTogglesRoll(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return false;
    default:
        return !KeyMarksAbsent(key);
    }
}

bool KeyMarksAbsent(int key)
{
    return key == Qt::Key_Delete;
}

bool KeyMarksAbsentAfterRound(int key)
{
    // The blank-screen button of a presenter's remote sends B or "."; it
    // asks about the round's winner only while there is one to ask about,
    // and starts and stops the roll as every other key does otherwise.
    return KeyMarksAbsent(key) || key == Qt::Key_B || key == Qt::Key_Period;
}

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
