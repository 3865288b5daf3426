#pragma once

#include <optional>

// How the stage keeps time with the hall: how long after a stop a start is
// not taken (the same hand pressing twice), how long a stop takes to land on
// its winners, and how long their frame glows once landed.
namespace tombolix::draw {

struct StagePace
{
    int startGuardMs = 700;
    int landingMs = 900;
    int emphasisMs = 1400;
};

StagePace CurrentStagePace();

// Test hook, as the hall's numbers have one: tests of other things than the
// stage's timing run without the guard, the landing and the glow. The program itself
// never sets it.
void SetStagePaceForTesting(const std::optional<StagePace> &pace);

} // namespace tombolix::draw
