#pragma once
// What a layer source's live grid was made for: the collection, the plan's
// size and the cap on its default radius. A request for anything else
// starts the grid over.
//
//   if (context_.Follow(request)) live_.emplace(..., context_.radiusCap);

#include <string>

#include "analysis/PlanScale.h"
#include "siteview/CoverageLayer.h"

namespace quorl {

struct LayerContext {
    std::string collection;
    int planWidth = 0;
    int planHeight = 0;
    double radiusCap = 0;

    // True when `request` is for another context, which it then takes.
    bool Follow(const CoverageRequest& request) {
        const double cap = analysis::DefaultRadiusCap(request.scale);
        if (collection == request.collectionName && planWidth == request.planWidth &&
            planHeight == request.planHeight && radiusCap == cap)
            return false;
        collection = request.collectionName;
        planWidth = request.planWidth;
        planHeight = request.planHeight;
        radiusCap = cap;
        return true;
    }
};

}  // namespace quorl
