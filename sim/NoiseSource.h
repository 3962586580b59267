#pragma once
// Random numbers for the simulated air: fading, arrival times, choices. Built
// on mt19937, whose sequence the C++ standard fixes, with our own
// transformations, so a seed gives the same unit behaviour with any standard
// library.

#include <cstdint>
#include <random>

namespace quorl::sim {

class NoiseSource {
public:
    explicit NoiseSource(std::uint32_t seed) : engine_(seed) {}

    std::uint32_t Next() { return static_cast<std::uint32_t>(engine_()); }
    // Uniform in (0, 1), never 0 or 1.
    double Uniform() { return (static_cast<double>(Next()) + 0.5) / 4294967296.0; }
    // Uniform whole number in [0, n); n must be above 0.
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Uniform() * n) % n; }
    bool Chance(double probability) { return Uniform() < probability; }
    // Normal with mean 0 and the given standard deviation (Box-Muller).
    double Gaussian(double sigma);
    // Waiting time of a Poisson process with `rate` events per unit.
    double Exponential(double rate);

private:
    std::mt19937 engine_;
};

}  // namespace quorl::sim
