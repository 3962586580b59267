#pragma once
// SignalCoverage: the `signal` map of the open collection (the strongest
// level of each survey point, viridis over -90 to -30 dBm) for the site
// view's coverage layer. The analysis library's LiveCoverage follows the
// point list, so a stored point only computes the cells near it again; a
// new collection or plan starts over. The legend gives the radius (in
// metres where the plan's scale is known) and the map error from leaving
// each point out in turn.

#include <optional>

#include "analysis/CrossValidation.h"
#include "analysis/LiveCoverage.h"
#include "siteview/CoverageSource.h"
#include "siteview/LayerContext.h"

namespace quorl {

class SignalCoverage : public ICoverageSource {
public:
    // Opacity of the cells with data, so the plan shows through.
    static constexpr int kAlpha = 170;

    // Up to this many heard points the map error is computed after every
    // point (about 8 ms for 1,000); beyond it, once the points have grown
    // by a twentieth since it was last computed.
    static constexpr std::size_t kMapErrorEveryPoint = 2000;

    CoverageLayer Compute(const CoverageRequest& request) override;

private:
    const analysis::MapError& CurrentMapError();

    analysis::MapError mapError_;
    std::size_t mapErrorFrom_ = 0;  // heard points when it was computed
    bool mapErrorValid_ = false;
    std::optional<analysis::LiveCoverage> live_;
    LayerContext context_;
};

}  // namespace quorl
