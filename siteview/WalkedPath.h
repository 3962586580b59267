#pragma once
// WalkedPath: the taps of a walking survey, each with the time it was made.
// The surveyor walks at a steady pace between taps, so where they were at
// any moment is found by time along the straight leg between the taps
// around it; before the first tap they were at the first, after the last at
// the last.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "survey/PlanRect.h"

namespace quorl {

class WalkedPath {
public:
    struct Tap {
        double time = 0;  // seconds
        PlanPoint at;
    };

    void Clear() { taps_.clear(); }
    // A tap earlier than the last one counts at the last one's time, so the
    // taps stay in order of time.
    void Add(double time, PlanPoint at);
    bool Empty() const { return taps_.empty(); }
    std::size_t Size() const { return taps_.size(); }
    const std::vector<Tap>& Taps() const { return taps_; }
    // True when a tap at or after `time` is known: the position then is
    // settled.
    bool Covers(double time) const { return !taps_.empty() && time <= taps_.back().time; }
    // Where the walker was at `time`, rounded to the nearest plan pixel.
    // An empty path answers (0, 0).
    PlanPoint PositionAt(double time) const;

private:
    std::vector<Tap> taps_;
};

}  // namespace quorl
