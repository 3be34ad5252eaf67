#pragma once
// A small deterministic random source (SplitMix64) for the generated markets: the same seed gives
// the same numbers on every machine, since only integer and basic floating-point arithmetic is
// used.

#include <cstdint>

namespace kestrelan {

class Random
{
public:
    explicit Random(std::uint64_t seed)
        : state(seed)
    {
    }
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// In [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    /// In [low, high].
    int between(int low, int high)
    {
        return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
    }
    /// Approximately standard normal: the sum of twelve uniforms less six.
    double normal()
    {
        double s = 0;
        for (int i = 0; i < 12; ++i)
            s += uniform();
        return s - 6.0;
    }
    /// Mean 0 and variance 1, cheaper and with lighter tails than normal(): four uniforms.
    double quickNormal()
    {
        const double s = uniform() + uniform() + uniform() + uniform() - 2.0;
        return s * 1.7320508075688772; // the sum's variance is 1/3
    }

private:
    std::uint64_t state;
};

} // namespace kestrelan
