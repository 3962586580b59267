#pragma once
// Where the surveyor still has to walk: every cell of the plan's coverage
// grid is unsurveyed (no survey point within the map's radius), surveyed,
// or surveyed and failing a requirement profile. Follows a growing point
// list as LiveCoverage does, so a stored point recomputes the cells near it
// and one pass over the grid for the verdicts.
//
// The signal grid decides what is surveyed; the `secondary` grid (built
// only while a requirement needs it) takes the signal grid's radius, so
// both agree on which cells were reached. Only level requirements (signal,
// secondary) can be followed from the point list; others are ignored.
//
// Shares: the surveyed share is of the plan, the passing share of the
// surveyed area; cells on the plan's edge count only as far as they lie on
// it.
//
//   LiveGaps gaps(planWidth, planHeight);
//   const GapsMap& map = gaps.Update(points, *ProfileRequirements("voice"));
//   map.SurveyedPercent();

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "analysis/LiveCoverage.h"
#include "analysis/Requirement.h"
#include "survey/SiteData.h"

namespace quorl::analysis {

enum class GapCell : std::uint8_t { Unsurveyed, Surveyed, Fails };

struct GapsMap {
    GridGeometry geometry;
    std::vector<GapCell> cells;  // row-major, as the grid
    double planArea = 0;         // square plan pixels
    double surveyedArea = 0;
    double passArea = 0;         // surveyed and meeting every requirement
    bool withRequirements = false;

    GapCell At(int column, int row) const {
        return cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(geometry.columns) +
                     static_cast<std::size_t>(column)];
    }
    double SurveyedPercent() const;  // of the plan
    double PassPercent() const;      // of the surveyed area; 0 when none
};

class LiveGaps {
public:
    // `radius` fixes the map's radius; without it the default rule applies,
    // capped at `radiusCap` plan pixels (DefaultRadiusCap of the plan).
    LiveGaps(int planWidth, int planHeight, std::optional<double> radius = std::nullopt,
             double radiusCap = std::numeric_limits<double>::infinity());

    const GapsMap& Update(const std::vector<CSiteData::_tap>& points, const std::vector<Requirement>& requirements);
    const GapsMap& Map() const { return map_; }
    const CoverageGrid& SignalGrid() const { return signal_.Grid(); }

private:
    int planWidth_;
    int planHeight_;
    LiveCoverage signal_;
    std::optional<LiveCoverage> secondary_;
    GapsMap map_;
};

}  // namespace quorl::analysis
