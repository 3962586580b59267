#include "analysis/PlanAreas.h"

#include <algorithm>

namespace quorl::analysis {

PlanAreas SplitPlan(const CoverageGrid& grid, const std::vector<double>& cellAreas) {
    PlanAreas out;
    const std::vector<float>& values = grid.Values();
    const std::size_t n = std::min(values.size(), cellAreas.size());
    for (std::size_t i = 0; i < n; ++i) {
        const double area = cellAreas[i];
        if (area <= 0) continue;
        if (CoverageGrid::IsNoData(values[i])) {
            ++out.unsurveyedCells;
            out.unsurveyedArea += area;
        } else if (CoverageGrid::IsNotHeard(values[i])) {
            ++out.notHeardCells;
            out.notHeardArea += area;
        } else {
            ++out.valueCells;
            out.valueArea += area;
        }
    }
    return out;
}

}  // namespace quorl::analysis
