#pragma once

#include <cstdint>
#include <random>

namespace vellox {

// The uniform random source of the noise term: draws in [0, 1) as float32.
// Seedable so tests and the dump tool can reproduce a noisy buffer.
class UniformSource {
public:
    explicit UniformSource(uint64_t seed = std::random_device {}())
        : m_engine(seed)
    {
    }

    // 24 random bits scaled by 2^-24: every value is exact in float32 and strictly below 1.
    float next() { return float(m_engine() >> 40) * (1.0f / 16777216.0f); }

    // The engine behind next(), for the synthesis's bulk draws: they continue its sequence
    // and leave it exactly where the same number of next() calls would.
    std::mt19937_64& engine() { return m_engine; }

private:
    std::mt19937_64 m_engine;
};

} // namespace vellox
