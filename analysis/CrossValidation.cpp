#include "analysis/CrossValidation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace quorl::analysis {

MapError LeaveOneOut(const CoverageGrid& grid) {
    const std::vector<ValuePoint>& points = grid.Points();
    std::vector<double> errors;
    errors.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        if (const auto estimate = grid.EstimateAt(points[i].x, points[i].y, i))
            errors.push_back(std::abs(*estimate - points[i].value));
    MapError out;
    out.points = errors.size();
    if (errors.empty()) return out;
    double squares = 0;
    for (const double e : errors) squares += e * e;
    out.rms = std::sqrt(squares / static_cast<double>(errors.size()));
    // Nearest rank: the smallest error at or above 95 % of them.
    const std::size_t rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(errors.size()))) - 1;
    std::nth_element(errors.begin(), errors.begin() + static_cast<std::ptrdiff_t>(rank), errors.end());
    out.p95 = errors[rank];
    return out;
}

std::string MapErrorText(const MapError& error, const std::string& unit) {
    if (error.points == 0) return "map error unknown (no point has another within the radius)";
    char text[96];
    std::snprintf(text, sizeof text, "map error about \u00B1%.1f %s from %zu points", error.rms, unit.c_str(),
                  error.points);
    return text;
}

}  // namespace quorl::analysis
