#include "siteview/LegendPlacement.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace quorl {

int MarkersUnder(const LegendPlacementInput& input, const PlanRect& box) {
    const std::int64_t r = input.markerRadius;
    int count = 0;
    for (const PlanPoint& p : input.markers) {
        // Distance from the marker's middle to the nearest pixel of the box.
        const std::int64_t dx = std::max<std::int64_t>({std::int64_t{box.left} - p.x, 0, p.x - (box.right - 1)});
        const std::int64_t dy = std::max<std::int64_t>({std::int64_t{box.top} - p.y, 0, p.y - (box.bottom - 1)});
        if (dx * dx + dy * dy <= r * r) ++count;
    }
    return count;
}

PlanRect PlaceLegends(const LegendPlacementInput& input) {
    const PlanRect& a = input.area;
    const int m = input.margin;
    const int left = a.left + m;
    const int right = a.right - m - input.width;
    const int top = a.top + m;
    const int bottom = a.bottom - m - input.height;
    const int bottomLeft = input.bottomLeftLimit - input.height;
    const std::array<PlanRect, 4> boxes = {
        PlanRect{left, bottomLeft, left + input.width, bottomLeft + input.height},
        PlanRect{right, bottom, right + input.width, bottom + input.height},
        PlanRect{left, top, left + input.width, top + input.height},
        PlanRect{right, top, right + input.width, top + input.height},
    };
    PlanRect best = boxes[0];
    int fewest = MarkersUnder(input, best);
    for (std::size_t i = 1; i < boxes.size() && fewest > 0; ++i) {
        // A view too narrow for the stack on the right keeps it on the left.
        if (boxes[i].left < a.left) continue;
        const int n = MarkersUnder(input, boxes[i]);
        if (n < fewest) fewest = n, best = boxes[i];
    }
    return best;
}

}  // namespace quorl
