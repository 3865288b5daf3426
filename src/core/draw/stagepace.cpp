#include "draw/stagepace.h"

namespace tombolix::draw {

namespace {

std::optional<StagePace> g_testPace;

} // namespace

StagePace CurrentStagePace()
{
    return g_testPace.value_or(StagePace {});
}

void SetStagePaceForTesting(const std::optional<StagePace> &pace)
{
    g_testPace = pace;
}

} // namespace tombolix::draw
