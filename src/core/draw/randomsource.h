#pragma once

#include <QtGlobal>
#include <random>

namespace tombolix::draw {

// The one generator behind every pick: seeded once from the operating
// system's entropy, or from a fixed seed in tests. below(n) is exactly
// uniform over 0..n-1.
class RandomSource
{
public:
    RandomSource();
    explicit RandomSource(quint64 seed);

    quint64 below(quint64 n);

private:
    std::mt19937_64 m_engine;
};

} // namespace tombolix::draw
