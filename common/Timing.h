#pragma once
// Every period of the program in one place. Tests shrink them all at once
// with SetTimeScale so that an end-to-end sweep takes a second, not a minute;
// the program itself never changes the scale.

#include <chrono>

namespace quorl::timing {

inline constexpr int kSiteViewTickMs = 250;      // site view timer
inline constexpr int kSweepStepTicks = 8;        // site view ticks per sweep step
inline constexpr int kScanViewStepMs = 2000;     // scan view timer: one channel dwell
inline constexpr int kPowerPollMs = 5000;        // main window poll (command 10)
inline constexpr int kStartupWaitMs = 2000;      // each of the two start-up waits
inline constexpr int kReleasePauseMs = 1000;     // link release pause (battery low, exit)
inline constexpr int kReaderIdlePauseMs = 10;    // reader thread, nothing to read

// Factor applied to every period above (1.0 in the program).
void SetTimeScale(double scale);
double TimeScale();

// A period from the table above, scaled; never below 1 ms.
std::chrono::milliseconds Scaled(int milliseconds);
int ScaledMs(int milliseconds);

}  // namespace quorl::timing
