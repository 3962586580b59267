#pragma once
// Where the site view stands the coverage and gaps legends: in the corner
// of the plan area whose box covers the fewest survey point markers, so a
// legend does not hide the points it describes. Bottom-left (above the
// scale bar) wins a tie, then bottom-right, top-left and top-right.

#include <vector>

#include "survey/PlanRect.h"

namespace quorl {

struct LegendPlacementInput {
    PlanRect area;              // the plan area of the view
    int width = 0, height = 0;  // the legends' stack
    int margin = 0;             // from the area's edges
    int bottomLeftLimit = 0;    // the stack's bottom in the bottom-left corner (above the scale bar)
    std::vector<PlanPoint> markers;  // view pixels of the markers in view
    int markerRadius = 0;
};

// The box the stack fills (left, top, right, bottom: right and bottom
// exclusive).
PlanRect PlaceLegends(const LegendPlacementInput& input);

// How many markers of `input` a box covers any part of.
int MarkersUnder(const LegendPlacementInput& input, const PlanRect& box);

}  // namespace quorl
