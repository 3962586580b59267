#include "analysis/KernelChoice.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorl::analysis {

namespace {

double Median(std::vector<double>& values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// The median distance from a point to its nearest other point, 0 without.
double MedianSpacing(const CoverageGrid& grid) {
    std::vector<double> spacing;
    spacing.reserve(grid.Points().size());
    for (const ValuePoint& p : grid.Points())
        if (const double d = grid.NearestDistance(p.x, p.y, true); std::isfinite(d)) spacing.push_back(d);
    return spacing.empty() ? 0 : Median(spacing);
}

// The evenness of step 2 (KernelChoice.h) for a median spacing; 0 without one.
double Evenness(const CoverageGrid& grid, double spacing) {
    // About 4,000 cells on a lattice stand for the drawn ones.
    const GridGeometry& g = grid.Geometry();
    const int stride = std::max(1, static_cast<int>(std::sqrt(static_cast<double>(g.CellCount()) / 4000.0)));
    std::vector<double> gaps;
    for (int row = stride / 2; row < g.rows; row += stride)
        for (int column = stride / 2; column < g.columns; column += stride)
            if (const double d = grid.NearestDistance(g.CentreX(column), g.CentreY(row), false); d <= grid.Radius())
                gaps.push_back(d);
    return spacing > 0 && !gaps.empty() ? Median(gaps) / spacing : 0;
}

}  // namespace

KernelChoice ChooseKernel(const CoverageGrid& grid) {
    KernelChoice choice;
    const std::vector<ValuePoint>& points = grid.Points();
    if (points.size() < kLeastPoints) return choice;
    const double spacing = MedianSpacing(grid);
    choice.evenness = Evenness(grid, spacing);
    const bool even = choice.evenness > 0 && choice.evenness <= kEvenLayout;
    const CoverageKernel smooth = even ? CoverageKernel::Even() : CoverageKernel::Scattered();
    const CoverageKernel noisy = CoverageKernel::Noisy();
    std::vector<double> halves;
    if (const double close = spacing / 2; close > 0)
        for (std::size_t i = 0; i < points.size(); ++i)
            for (const std::size_t j : grid.NearestWithin(points[i].x, points[i].y, close, kPartners))
                if (j > i)  // a place visited twice counts too: its difference is noise alone
                    halves.push_back(0.5 * (points[i].value - points[j].value) * (points[i].value - points[j].value));
    choice.closePairs = halves.size();
    if (halves.size() >= kClosePairs) {
        choice.closeNugget = Median(halves);
        choice.kernel = choice.closeNugget > kQuietNugget ? noisy : smooth;
        return choice;
    }
    // Every n-th point, spread over the whole survey in the order taken.
    const std::size_t step = (points.size() + kSampled - 1) / kSampled;
    for (std::size_t i = 0; i < points.size(); i += step) {
        const auto a = grid.EstimateAt(points[i].x, points[i].y, i, smooth);
        const auto b = grid.EstimateAt(points[i].x, points[i].y, i, noisy);
        if (!a || !b) continue;
        choice.smoothError += (*a - points[i].value) * (*a - points[i].value);
        choice.noisyError += (*b - points[i].value) * (*b - points[i].value);
        ++choice.sampled;
    }
    choice.kernel = choice.noisyError < choice.smoothError ? noisy : smooth;
    return choice;
}

}  // namespace quorl::analysis
