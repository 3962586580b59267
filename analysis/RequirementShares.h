#pragma once
// How much of a floor meets a requirement: every cell of a coverage grid
// passes, fails or was not surveyed (no survey point within the radius).
// Shares of pass and fail are of the surveyed area; the unsurveyed share is
// of the whole plan, never counted as passing. Cells on the plan's edge
// count only as far as they lie on it; with cell areas given (a mask of
// the part that counts), as far as they lie in it, and a cell wholly
// outside it is Outside, in no share.

#include <cstdint>
#include <vector>

#include "analysis/CoverageGrid.h"
#include "analysis/FloorVerdict.h"
#include "analysis/Requirement.h"

namespace quorl::analysis {

enum class Verdict : std::uint8_t { Unsurveyed, Pass, Fail, Outside };

struct RequirementShares {
    Requirement requirement;
    std::vector<Verdict> cells;  // row-major, as the grid
    double passArea = 0;         // square plan pixels
    double failArea = 0;
    double unsurveyedArea = 0;

    double PlanArea() const { return passArea + failArea + unsurveyedArea; }
    double PassPercent() const;        // of the surveyed area; 0 when none
    double FailPercent() const;        // of the surveyed area; 0 when none
    double UnsurveyedPercent() const;  // of the plan
    // At least `areaPass` percent of a surveyed area passes.
    bool Passes(double areaPass) const;
    // Pass, incomplete (more than `maxUnsurveyed` percent of the plan not
    // surveyed) or fail (on the surveyed area, however little).
    FloorVerdict VerdictOf(double areaPass, double maxUnsurveyed) const;
};

// `cellAreas` (CellAreas of the grid's geometry, with a mask) replaces the
// cells' own areas where given.
RequirementShares Evaluate(const Requirement& requirement, const CoverageGrid& grid,
                           const std::vector<double>* cellAreas = nullptr);

}  // namespace quorl::analysis
