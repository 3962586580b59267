#pragma once
// Rectangles and points of the site plan geometry: plan pixels or client
// pixels, 32-bit signed, right and bottom edges included in the window.

#include <cstdint>

namespace quorl {

struct PlanRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    bool operator==(const PlanRect&) const = default;
};

struct PlanPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const PlanPoint&) const = default;
};

}  // namespace quorl
