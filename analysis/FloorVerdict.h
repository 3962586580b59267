#pragma once
// The verdict on a requirement, a floor or a building: pass, incomplete or
// fail. Incomplete says too much of the plan was not surveyed to tell;
// fail is found on the surveyed part and stands however little that is.
// A whole takes the worst of its parts: fail, then incomplete, then pass.

#include <initializer_list>
#include <span>

namespace quorl::analysis {

// Ordered from best to worst, so that the worst is the largest.
enum class FloorVerdict { Pass, Incomplete, Fail };

// The largest share of the plan that may be left unsurveyed for a pass, in
// percent: our design choice, not a standard (README, "Does the floor pass?").
inline constexpr double kDefaultMaxUnsurveyed = 10.0;

FloorVerdict Worse(FloorVerdict a, FloorVerdict b);
// Pass for none: nothing to hold against the whole.
FloorVerdict WorstOf(std::span<const FloorVerdict> verdicts);
FloorVerdict WorstOf(std::initializer_list<FloorVerdict> verdicts);

// "pass", "incomplete", "fail"
const char* VerdictName(FloorVerdict verdict);
// "PASS", "INCOMPLETE", "FAIL"
const char* VerdictLabel(FloorVerdict verdict);

// A requirement's verdict from its shares: fail when less than `areaPass`
// percent of a surveyed area passes; else incomplete when nothing was
// surveyed or more than `maxUnsurveyed` percent of the plan was not; else pass.
FloorVerdict JudgeShares(double passArea, double failArea, double unsurveyedArea, double areaPass,
                         double maxUnsurveyed);

}  // namespace quorl::analysis
