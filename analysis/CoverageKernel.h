#pragma once
// The variogram a coverage map is kriged with, and the three the maps
// choose from. Distances are in radii (d / R), so one kernel serves any
// plan scale; only the shape matters to the weights.
//
//   - Scattered (the default): power law (d / R)^1.5, 24 neighbours, no
//     nugget: it follows the points (noise is the Noisy kernel's part).
//   - Even: thin plate, d^2 log d with a linear drift, 36 neighbours and no
//     nugget. Smooth and carrying slopes across the gaps; the most accurate
//     on clean points spread evenly (a walked route), but it overshoots
//     where points cluster and leave holes, and follows noise.
//   - Noisy: power law (d / R)^1 (as rough as an exponential variogram near
//     the origin), a nugget fitted per system from its own points (0.3 of
//     what the line through its close pairs gives) and 32 neighbours:
//     smooths measurement noise.
// Which one a survey gets: analysis/KernelChoice.h.

#include <bit>
#include <cmath>
#include <cstdint>

namespace quorl::analysis {

struct CoverageKernel {
    enum class Shape { Power, ThinPlate };
    Shape shape = Shape::Power;
    double exponent = 1.5;     // Power only: 1 or 1.5
    double nuggetShare = 0;    // of the nugget fitted per system; 0: none
    bool linearDrift = false;  // a plane beside the constant in each system
    int neighbours = 24;

    static constexpr int kMostNeighbours = 36;

    static CoverageKernel Scattered() { return {}; }
    static CoverageKernel Even() { return {Shape::ThinPlate, 2, 0.0, true, 36}; }
    static CoverageKernel Noisy() { return {Shape::Power, 1, 0.3, false, 32}; }

    // "scattered", "even" or "noisy", for reports and benchmarks.
    const char* Name() const;

    // The variogram (without nugget) at a squared distance in radii. The
    // thin plate's generalised covariance is d^2 log d; as a variogram it
    // enters with the opposite sign.
    double Gamma(double squaredRadii) const {
        if (shape == Shape::ThinPlate) return squaredRadii > 0 ? -0.5 * squaredRadii * Log(squaredRadii) : 0.0;
        const double r = std::sqrt(squaredRadii);
        return exponent == 1 ? r : r * std::sqrt(r);
    }

    bool operator==(const CoverageKernel&) const = default;

    // The natural logarithm of a positive normal number to about 1e-9,
    // inline and branch-free so that the cell loop vectorises (the
    // library's log is a call per point). x = m 2^e with m in [0.71, 1.41);
    // log m = 2 atanh(t), t = (m - 1) / (m + 1), by its series to t^9.
    static double Log(double x) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
        // Shifting the mantissa boundary to sqrt(1/2) keeps t within 0.172.
        const std::uint64_t shifted = bits + (0x3ff0000000000000ULL - 0x3fe6a09e667f3bcdULL);
        const double e = static_cast<double>(static_cast<std::int64_t>(shifted >> 52) - 1023);
        const double m = std::bit_cast<double>((shifted & 0x000fffffffffffffULL) + 0x3fe6a09e667f3bcdULL);
        const double t = (m - 1) / (m + 1), t2 = t * t;
        const double series = 2 * t * (1 + t2 * (1.0 / 3 + t2 * (1.0 / 5 + t2 * (1.0 / 7 + t2 * (1.0 / 9)))));
        return e * 0.6931471805599453 + series;
    }
};

}  // namespace quorl::analysis
