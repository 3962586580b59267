#pragma once
// SignalCoverage: the `signal` map of the open collection (strongest level
// over all access points, viridis over -90 to -30 dBm) for the site view's
// coverage layer. It reads the collection file as the companion does and
// keeps its grid between requests: when the survey only grew by points at
// the end and the radius their spacing asks for has hardly changed, only
// the cells near the new points are computed again.

#include <optional>
#include <string>
#include <vector>

#include "analysis/CoverageGrid.h"
#include "siteview/CoverageSource.h"

namespace quorl {

class SignalCoverage : public ICoverageSource {
public:
    // Opacity of the cells with data, so the plan shows through.
    static constexpr int kAlpha = 170;
    // A radius within this share of the grid's keeps the grid.
    static constexpr double kRadiusSlack = 0.1;

    CoverageLayer Compute(const CoverageRequest& request) override;

    // How the last request was met: the grid built anew, or points added.
    bool LastWasIncremental() const { return lastIncremental_; }

private:
    std::optional<analysis::CoverageGrid> grid_;
    std::vector<analysis::ValuePoint> gridPoints_;
    std::string gridPath_;
    bool lastIncremental_ = false;
};

}  // namespace quorl
