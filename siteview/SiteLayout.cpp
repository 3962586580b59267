#include "siteview/SiteLayout.h"

#include <cstdint>

namespace quorl {

SiteLayout SiteLayout::For(const PlanRect& client) {
    SiteLayout layout;
    layout.panel = PlanRect{client.Width() * 8 / 10, 0, client.right, client.bottom};
    const std::int32_t h = layout.panel.Height();
    for (int k = 0; k < kRowCount; ++k) {
        PlanRect& row = layout.rows[static_cast<std::size_t>(k)];
        row.left = layout.panel.left;
        row.right = layout.panel.right;
        row.top = layout.panel.top + h * k / kRowCount;
        row.bottom = row.top + h / kRowCount;
    }
    const PlanRect& lockRow = layout.rows[kLockRow];
    const std::int32_t w = lockRow.Width();
    layout.lock = PlanRect{lockRow.left + w / 10, lockRow.top, lockRow.left + w * 9 / 10, lockRow.bottom};
    return layout;
}

}  // namespace quorl
