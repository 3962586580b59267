#pragma once
// The affine transform between latitude/longitude in degrees and plan
// pixels that a projection file carries:
//   x = A lat + B lon + E,   y = C lat + D lon + F.

#include <array>
#include <cstdint>
#include <optional>

#include "survey/PlanRect.h"

namespace quorl {

// Truncation toward zero to a signed 32-bit value. Values out of range
// saturate and NaN gives 0: a plain conversion would be undefined there.
std::int32_t TruncToInt32(double value);

struct AffineTransform {
    double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;

    double Determinant() const { return a * d - b * c; }
    // Invertible: finite coefficients and a non-zero, finite determinant.
    bool Invertible() const;

    // Plan pixel of a position, truncated toward zero.
    PlanPoint Forward(double lat, double lon) const;
    // Position of a plan pixel; not rounded.
    double Latitude(std::int32_t x, std::int32_t y) const;
    double Longitude(std::int32_t x, std::int32_t y) const;

    // One reference point: plan pixel and its position.
    struct Reference {
        double px = 0, py = 0, lat = 0, lon = 0;
    };
    // The transform through three reference points; nothing when they lie
    // on one line (in plan or in degrees) or give non-finite values.
    static std::optional<AffineTransform> Solve(const std::array<Reference, 3>& points);
};

}  // namespace quorl
