#include "Timing.h"

#include <algorithm>
#include <atomic>

namespace quorl::timing {

namespace {
std::atomic<double> g_scale{1.0};
}

void SetTimeScale(double scale) { g_scale.store(scale > 0 ? scale : 1.0, std::memory_order_relaxed); }

double TimeScale() { return g_scale.load(std::memory_order_relaxed); }

int ScaledMs(int milliseconds) {
    return std::max(1, static_cast<int>(milliseconds * TimeScale()));
}

std::chrono::milliseconds Scaled(int milliseconds) { return std::chrono::milliseconds(ScaledMs(milliseconds)); }

}  // namespace quorl::timing
