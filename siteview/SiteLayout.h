#pragma once
// Where the site view puts its status panel: the right fifth of the client
// area, cut into 30 rows, and the lock text's box in row 24. Integer
// arithmetic truncating toward zero, so the rows may leave a thin strip at
// the bottom of the panel.

#include <array>

#include "survey/PlanRect.h"

namespace quorl {

struct SiteLayout {
    static constexpr int kRowCount = 30;
    static constexpr int kLockRow = 24;

    PlanRect panel;
    std::array<PlanRect, kRowCount> rows{};
    PlanRect lock;

    // `client` starts at (0, 0).
    static SiteLayout For(const PlanRect& client);
};

}  // namespace quorl
