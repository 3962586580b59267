#include "analysis/RequirementShares.h"

#include <algorithm>

namespace quorl::analysis {

double RequirementShares::PassPercent() const {
    const double surveyed = passArea + failArea;
    return surveyed > 0 ? 100.0 * passArea / surveyed : 0.0;
}

double RequirementShares::FailPercent() const {
    const double surveyed = passArea + failArea;
    return surveyed > 0 ? 100.0 * failArea / surveyed : 0.0;
}

double RequirementShares::UnsurveyedPercent() const {
    const double plan = PlanArea();
    return plan > 0 ? 100.0 * unsurveyedArea / plan : 0.0;
}

bool RequirementShares::Passes(double areaPass) const {
    // Nothing surveyed proves nothing.
    return passArea + failArea > 0 && PassPercent() >= areaPass;
}

FloorVerdict RequirementShares::VerdictOf(double areaPass, double maxUnsurveyed) const {
    return JudgeShares(passArea, failArea, unsurveyedArea, areaPass, maxUnsurveyed);
}

RequirementShares Evaluate(const Requirement& requirement, const CoverageGrid& grid,
                           const std::vector<double>* cellAreas) {
    const GridGeometry& g = grid.Geometry();
    RequirementShares out;
    out.requirement = requirement;
    out.cells.resize(g.CellCount(), Verdict::Unsurveyed);
    const bool given = cellAreas && cellAreas->size() == g.CellCount();
    for (int row = 0; row < g.rows; ++row) {
        const int h = std::min(g.cellSize, g.planHeight - row * g.cellSize);
        for (int column = 0; column < g.columns; ++column) {
            const std::size_t i =
                static_cast<std::size_t>(row) * static_cast<std::size_t>(g.columns) + static_cast<std::size_t>(column);
            const int w = std::min(g.cellSize, g.planWidth - column * g.cellSize);
            const double area = given ? (*cellAreas)[i] : w > 0 && h > 0 ? double(w) * h : 0.0;
            const float v = grid.At(column, row);
            Verdict& verdict = out.cells[i];
            if (given && area <= 0) {
                verdict = Verdict::Outside;
            } else if (CoverageGrid::IsNoData(v)) {
                out.unsurveyedArea += area;
            } else if (requirement.Met(v)) {
                verdict = Verdict::Pass;
                out.passArea += area;
            } else {
                verdict = Verdict::Fail;
                out.failArea += area;
            }
        }
    }
    return out;
}

}  // namespace quorl::analysis
