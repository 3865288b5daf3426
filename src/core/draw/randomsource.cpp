#include "draw/randomsource.h"

#include <array>

namespace tombolix::draw {

RandomSource::RandomSource()
{
    std::random_device device;
    std::array<std::random_device::result_type, 8> words {};
    for (auto &word : words)
        word = device();
    std::seed_seq seeds(words.begin(), words.end());
    m_engine.seed(seeds);
}

RandomSource::RandomSource(quint64 seed)
    : m_engine(seed)
{ }

quint64 RandomSource::below(quint64 n)
{
    if (n <= 1)
        return 0;
    // uniform_int_distribution rejects the uneven top of the range, so no
    // value is favoured.
    std::uniform_int_distribution<quint64> distribution(0, n - 1);
    return distribution(m_engine);
}

} // namespace tombolix::draw
