#pragma once

#include <QSet>

// Which key presses are presses of a hand, not the repeats of a key held
// down. Qt's repeat flag is decided on X11 by looking ahead in the event
// queue, and a loaded machine hands a held key over as press and release
// pairs without it. A key's own history settles it: a press while the key is
// down is a repeat, and so is a press at the very moment the key was let go,
// which no hand can do but the X server's repeat does.
namespace tombolix::draw {

// Whether a key pressed on the stage starts or stops a round. A modifier on
// its own does not: it is the first half of Alt+F4, Alt+Tab or Ctrl+C, whose
// other half the window manager or nobody takes.
bool KeyTogglesRoll(int key);
// Whether a key pressed on the stage is the one for an absent winner
// (RollControl::absentWinners); it never starts or stops a round.
bool KeyMarksAbsent(int key);
// The keys that ask the same after a round landed, while its winners stand:
// Delete, and the blank-screen button of a presenter's remote (B or ".").
bool KeyMarksAbsentAfterRound(int key);

class HeldKeys
{
public:
    // True when the press is a new one. Timestamps are the events' own, in
    // milliseconds; 0 means unknown.
    bool press(int key, quint64 timestamp, bool flaggedRepeat);
    void release(int key, quint64 timestamp, bool flaggedRepeat);
    // The window lost the keyboard: releases will not reach it.
    void clear();

private:
    QSet<int> m_down;
    int m_releasedKey = 0;
    quint64 m_releasedAt = 0;
};

} // namespace tombolix::draw
