#include "analysis/CrossValidation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace quorl::analysis {

MapError LeaveOneOut(const CoverageGrid& grid) {
    const std::vector<ValuePoint>& points = grid.Points();
    // Each point is a small kriging system of its own: a survey of
    // thousands is shared out over the machine's cores in slices.
    std::vector<double> all(points.size(), NAN);
    auto slice = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            if (const auto estimate = grid.EstimateAt(points[i].x, points[i].y, i))
                all[i] = std::abs(*estimate - points[i].value);
    };
    constexpr std::size_t kPointsPerThread = 256;
    const std::size_t threads = std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), 8,
                                                       std::max<std::size_t>(1, points.size() / kPointsPerThread)});
    std::vector<std::thread> workers;
    for (std::size_t t = 1; t < threads; ++t)
        workers.emplace_back(slice, points.size() * t / threads, points.size() * (t + 1) / threads);
    slice(0, points.size() / threads);
    for (std::thread& worker : workers) worker.join();
    std::vector<double> errors;
    errors.reserve(points.size());
    for (const double e : all)
        if (!std::isnan(e)) errors.push_back(e);
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

std::string MapErrorText(const MapError& error, const std::string& unit, const CoverageKernel& kernel) {
    return MapErrorText(error, unit) + ", " + kernel.Name() + " kernel";
}

}  // namespace quorl::analysis
