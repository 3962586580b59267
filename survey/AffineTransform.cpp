#include "survey/AffineTransform.h"

#include <cmath>

namespace quorl {

std::int32_t TruncToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

bool AffineTransform::Invertible() const {
    for (double v : {a, b, c, d, e, f})
        if (!std::isfinite(v)) return false;
    const double det = Determinant();
    return det != 0.0 && std::isfinite(det);
}

PlanPoint AffineTransform::Forward(double lat, double lon) const {
    return PlanPoint{TruncToInt32(a * lat + b * lon + e), TruncToInt32(c * lat + d * lon + f)};
}

double AffineTransform::Latitude(std::int32_t x, std::int32_t y) const {
    const double det = Determinant();
    return (d * x) / det - (b * y) / det + (b * f - d * e) / det;
}

double AffineTransform::Longitude(std::int32_t x, std::int32_t y) const {
    const double det = Determinant();
    return (a * y) / det - (c * x) / det + (c * e - a * f) / det;
}

std::optional<AffineTransform> AffineTransform::Solve(const std::array<Reference, 3>& points) {
    // Differences from the first point remove the offsets:
    //   dx = A dlat + B dlon,  dy = C dlat + D dlon  for points 2 and 3.
    const double lat1 = points[1].lat - points[0].lat, lon1 = points[1].lon - points[0].lon;
    const double lat2 = points[2].lat - points[0].lat, lon2 = points[2].lon - points[0].lon;
    const double x1 = points[1].px - points[0].px, y1 = points[1].py - points[0].py;
    const double x2 = points[2].px - points[0].px, y2 = points[2].py - points[0].py;
    const double det = lat1 * lon2 - lat2 * lon1;
    if (det == 0.0 || !std::isfinite(det)) return std::nullopt;
    AffineTransform t;
    t.a = (x1 * lon2 - x2 * lon1) / det;
    t.b = (lat1 * x2 - lat2 * x1) / det;
    t.c = (y1 * lon2 - y2 * lon1) / det;
    t.d = (lat1 * y2 - lat2 * y1) / det;
    t.e = points[0].px - t.a * points[0].lat - t.b * points[0].lon;
    t.f = points[0].py - t.c * points[0].lat - t.d * points[0].lon;
    if (!t.Invertible()) return std::nullopt;
    return t;
}

}  // namespace quorl
