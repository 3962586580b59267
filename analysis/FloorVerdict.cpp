#include "analysis/FloorVerdict.h"

#include <algorithm>

namespace quorl::analysis {

FloorVerdict Worse(FloorVerdict a, FloorVerdict b) { return std::max(a, b); }

FloorVerdict WorstOf(std::span<const FloorVerdict> verdicts) {
    FloorVerdict worst = FloorVerdict::Pass;
    for (FloorVerdict v : verdicts) worst = Worse(worst, v);
    return worst;
}

FloorVerdict WorstOf(std::initializer_list<FloorVerdict> verdicts) {
    return WorstOf(std::span<const FloorVerdict>(verdicts.begin(), verdicts.size()));
}

const char* VerdictName(FloorVerdict verdict) {
    switch (verdict) {
    case FloorVerdict::Pass: return "pass";
    case FloorVerdict::Incomplete: return "incomplete";
    case FloorVerdict::Fail: return "fail";
    }
    return "fail";
}

const char* VerdictLabel(FloorVerdict verdict) {
    switch (verdict) {
    case FloorVerdict::Pass: return "PASS";
    case FloorVerdict::Incomplete: return "INCOMPLETE";
    case FloorVerdict::Fail: return "FAIL";
    }
    return "FAIL";
}

FloorVerdict JudgeShares(double passArea, double failArea, double unsurveyedArea, double areaPass,
                         double maxUnsurveyed) {
    const double surveyed = passArea + failArea;
    if (surveyed > 0 && 100.0 * passArea / surveyed < areaPass) return FloorVerdict::Fail;
    // Nothing surveyed proves nothing, whatever share may be left out.
    if (surveyed <= 0) return FloorVerdict::Incomplete;
    const double plan = surveyed + unsurveyedArea;
    return 100.0 * unsurveyedArea / plan > maxUnsurveyed ? FloorVerdict::Incomplete : FloorVerdict::Pass;
}

}  // namespace quorl::analysis
