#pragma once
// A coverage map's plan in three parts that add up to it: cells with a
// value, cells not heard (the nearest point heard nothing of the map's
// network) and cells not surveyed (no point within the radius). A cell
// counts as far as it lies on the plan (and in the mask, where one is
// given through CellAreas); one wholly outside counts in no part.

#include <cstddef>
#include <vector>

#include "analysis/CoverageGrid.h"

namespace quorl::analysis {

struct PlanAreas {
    std::size_t valueCells = 0, notHeardCells = 0, unsurveyedCells = 0;
    double valueArea = 0, notHeardArea = 0, unsurveyedArea = 0;  // square plan pixels

    std::size_t Cells() const { return valueCells + notHeardCells + unsurveyedCells; }
    double Area() const { return valueArea + notHeardArea + unsurveyedArea; }
};

// `cellAreas`: CellAreas of the grid's geometry (one per cell).
PlanAreas SplitPlan(const CoverageGrid& grid, const std::vector<double>& cellAreas);

}  // namespace quorl::analysis
