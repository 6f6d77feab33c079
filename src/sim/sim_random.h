// Small, portable random numbers for the simulated sky: the same seed gives the same sky on
// every machine and standard library, which std::normal_distribution does not promise.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

namespace kelpa {

// A strong 64-bit mix (the finaliser of SplitMix64): turns neighbouring keys such as frame
// indices into unrelated ones.
constexpr uint64_t MixBits(uint64_t z) {
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class SimRandom {
  public:
    explicit SimRandom(uint64_t key) : state_(key) {}

    uint64_t Next() {
        state_ += 0x9E3779B97F4A7C15ull;
        return MixBits(state_);
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Standard normal (Box-Muller).
    double Gaussian() {
        const double u1 = 1.0 - Uniform();  // (0, 1], so the logarithm is finite
        const double u2 = Uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

  private:
    uint64_t state_;
};

}  // namespace kelpa
