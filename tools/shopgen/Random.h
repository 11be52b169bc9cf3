#pragma once
// Rng: the generator's deterministic random numbers (splitmix64). The same seed gives the
// same sequence on every platform and compiler, which the standard distributions do not
// promise.

#include <cstdint>

namespace shopgen {

class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n (n > 0).
    std::int64_t below(std::int64_t n) { return std::int64_t(next() % std::uint64_t(n)); }
    // lo <= result <= hi.
    std::int64_t range(std::int64_t lo, std::int64_t hi) { return lo + below(hi - lo + 1); }
    // True with probability percent/100.
    bool chance(int percent) { return below(100) < percent; }
    // An independent generator for one part of the data, so that changing one part does
    // not reshuffle the others.
    Rng fork(std::uint64_t salt) { return Rng(next() ^ (salt * 0xD1B54A32D192ED03ull)); }

private:
    std::uint64_t state_;
};

}  // namespace shopgen
