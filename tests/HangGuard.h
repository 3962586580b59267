#pragma once
// How long a test waits for an event before it calls the run hung. It is no
// measure of speed: under the sanitizers, beside a parallel build or on a
// busy machine a wait of seconds can take many times that, and the test must
// still pass. Speed is measured in bench/, never asserted here.

#include <chrono>

namespace quorl::test {

inline constexpr std::chrono::minutes kHangGuard{3};
inline constexpr int kHangGuardMs = static_cast<int>(std::chrono::milliseconds(kHangGuard).count());

}  // namespace quorl::test
