#pragma once
// The part of a plan that counts: a mask in plan pixels, so that margins
// nobody can walk (outside the building's outline) are neither surveyed
// nor unsurveyed. Every area a check or a map reports is then of the
// mask's part of the plan.
//
//   std::vector<double> areas = CellAreas(grid.Geometry(), &mask);
//   areas[i]: square plan pixels of cell i that count (0: none)

#include <cstdint>
#include <vector>

#include "analysis/CoverageGrid.h"

namespace quorl::analysis {

struct PlanMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> counts;  // row-major, width x height; non-zero counts

    bool Counts(int x, int y) const {
        return counts[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] != 0;
    }
    double Area() const;  // square plan pixels that count
};

// Square plan pixels of each cell (row-major, as the grid) that lie on the
// plan and, with a mask, count. Pixels of a mask beyond the plan are
// ignored; plan pixels beyond a smaller mask do not count.
std::vector<double> CellAreas(const GridGeometry& geometry, const PlanMask* mask = nullptr);

}  // namespace quorl::analysis
