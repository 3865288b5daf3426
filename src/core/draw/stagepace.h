#pragma once

#include <optional>

// How the stage keeps time with the hall: how long after a stop a start is
// not taken (the same hand pressing twice), how long a stop takes to land on
// its winners, how long their frame glows once landed, and whether the
// press after a finished award shows the next award's card before the next
// press starts it; how long each page of a round too large for its frame
// stays before the next turns.
namespace tombolix::draw {

struct StagePace
{
    int startGuardMs = 700;
    int landingMs = 900;
    int emphasisMs = 1400;
    bool nextAwardCard = true;
    int pageTurnMs = 4000;
};

StagePace CurrentStagePace();

// Test hook, as the hall's numbers have one: tests of other things than the
// stage's timing run without the guard, the landing, the glow and the card. The program itself
// never sets it.
void SetStagePaceForTesting(const std::optional<StagePace> &pace);

} // namespace tombolix::draw
