// Pseudo-random numbers whose sequence is fixed by the seed on every platform:
// xoshiro256** (Blackman & Vigna, 2018) seeded through splitmix64, and our own
// normal deviates, since the distributions of <random> are implementation-defined.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>

#include "gen/detmath.hpp"

namespace velor::gen {

// splitmix64 finaliser (Steele, Lea & Flood 2014): a bijective 64-bit mix.
constexpr std::uint64_t mix64(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

constexpr std::uint64_t splitmix64(std::uint64_t& state) {
    state += 0x9E3779B97F4A7C15ULL;
    return mix64(state);
}

// Uniform in (0, 1): 53 random bits, offset by half a step so 0 never occurs.
constexpr double open_unit(std::uint64_t bits) {
    return (static_cast<double>(bits >> 11) + 0.5) * 0x1p-53;
}

class Xoshiro256 {
public:
    explicit Xoshiro256(std::uint64_t seed) {
        std::uint64_t sm = seed;
        for (auto& w : s_) w = splitmix64(sm);
    }

    std::uint64_t next() {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    double uniform_open() { return open_unit(next()); }

    // Two independent N(0,1) deviates by Marsaglia's polar method, which needs
    // only a logarithm and a square root.
    std::pair<double, double> normal_pair() {
        while (true) {
            const double u = 2.0 * uniform_open() - 1.0;
            const double v = 2.0 * uniform_open() - 1.0;
            const double q = u * u + v * v;
            if (q >= 1.0 || q == 0.0) continue;
            const double f = std::sqrt(-2.0 * detmath::log(q) / q);
            return {u * f, v * f};
        }
    }

private:
    static constexpr std::uint64_t rotl(std::uint64_t x, int k) {
        return (x << k) | (x >> (64 - k));
    }
    std::uint64_t s_[4]{};
};

}  // namespace velor::gen
