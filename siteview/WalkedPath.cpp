#include "siteview/WalkedPath.h"

#include <algorithm>
#include <cmath>

namespace quorl {

void WalkedPath::Add(double time, PlanPoint at) {
    if (!taps_.empty()) time = std::max(time, taps_.back().time);
    taps_.push_back(Tap{time, at});
}

PlanPoint WalkedPath::PositionAt(double time) const {
    if (taps_.empty()) return PlanPoint{};
    if (time <= taps_.front().time) return taps_.front().at;
    if (time >= taps_.back().time) return taps_.back().at;
    // The first tap later than `time`; the one before it is not later.
    const auto next = std::upper_bound(taps_.begin(), taps_.end(), time,
                                       [](double t, const Tap& tap) { return t < tap.time; });
    const Tap& b = *next;
    const Tap& a = *(next - 1);
    const double span = b.time - a.time;
    const double f = span > 0 ? (time - a.time) / span : 1.0;
    return PlanPoint{static_cast<std::int32_t>(std::lround(a.at.x + f * (double(b.at.x) - a.at.x))),
                     static_cast<std::int32_t>(std::lround(a.at.y + f * (double(b.at.y) - a.at.y)))};
}

}  // namespace quorl
