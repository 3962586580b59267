#pragma once
// SignalCoverage: the `signal` map of the open collection (the strongest
// level of each survey point, viridis over -90 to -30 dBm) for the site
// view's coverage layer. The analysis library's LiveCoverage follows the
// point list, so a stored point only computes the cells near it again; a
// new collection or plan starts over.

#include <optional>
#include <string>

#include "analysis/LiveCoverage.h"
#include "siteview/CoverageSource.h"

namespace quorl {

class SignalCoverage : public ICoverageSource {
public:
    // Opacity of the cells with data, so the plan shows through.
    static constexpr int kAlpha = 170;

    CoverageLayer Compute(const CoverageRequest& request) override;

private:
    std::optional<analysis::LiveCoverage> live_;
    std::string collection_;
    int planWidth_ = 0;
    int planHeight_ = 0;
};

}  // namespace quorl
