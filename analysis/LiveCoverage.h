#pragma once
// The `signal` layer of a collection that is still growing, for the site
// view: it follows the point list (CSiteData::_tap entries) and brings the
// grid up to date with the least work. Points appended since the last
// update are added one by one (only the cells near each change); a deleted
// point, a shorter list or a default radius that has drifted by more than
// a quarter since the last build rebuilds the whole grid. The map's kernel
// is chosen again whenever the heard points have doubled since it was
// chosen; the grid is rebuilt only when the choice changes.
//
// A point's value is its strongest level (its second-strongest for the
// `secondary` metric), kNotHeard when it heard no access point (fewer than
// two for `secondary`); a deleted one and an access point marker have none.
// Other metrics need the stored records and are not followed here.
//
// Not thread-safe: one worker owns it and hands out copies of the grid.
//
//   LiveCoverage live(planWidth, planHeight);
//   live.Update(siteData.Points());   // after every stored point
//   draw(live.Grid());

#include <limits>
#include <optional>
#include <vector>

#include "analysis/CoverageGrid.h"
#include "analysis/Metrics.h"
#include "survey/SiteData.h"

namespace quorl::analysis {

class LiveCoverage {
public:
    // Radius drift that makes an update rebuild the grid.
    static constexpr double kRebuildDrift = 0.25;

    // `radius` fixes the radius; without it the default rule applies,
    // capped at `radiusCap` plan pixels (DefaultRadiusCap of the plan).
    LiveCoverage(int planWidth, int planHeight, std::optional<double> radius = std::nullopt,
                 Metric metric = Metric::Signal, double radiusCap = std::numeric_limits<double>::infinity());

    // Brings the grid up to `points`. True when the grid changed.
    bool Update(const std::vector<CSiteData::_tap>& points);

    const CoverageGrid& Grid() const { return grid_; }
    // How the last Update went (for tests and the status line).
    bool LastWasRebuild() const { return lastRebuild_; }

    static std::optional<double> ValueOf(const CSiteData::_tap& point, Metric metric = Metric::Signal);

private:
    void Rebuild(const std::vector<CSiteData::_tap>& points);

    GridGeometry geometry_;
    std::optional<double> fixedRadius_;
    double radiusCap_;
    Metric metric_;
    CoverageGrid grid_;
    std::vector<CSiteData::_tap> seen_;  // the list as of the last update
    std::vector<ValuePoint> values_;     // the values drawn from it
    std::size_t chosenAt_ = 0;           // heard points when the kernel was chosen
    bool lastRebuild_ = false;
};

}  // namespace quorl::analysis
