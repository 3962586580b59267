#pragma once
// A building on disk for the site tests: the demo plan as a GPS and a
// linear projection, and lattices of points on it written by hand.

#include <filesystem>
#include <string>

#include "tests/analysis/AnalysisTestSupport.h"

namespace quorl::test {

inline const std::string kDemoDir = QUORL_DEMO_DIR;

// Plan taps every `step` px over x0..x1 of the 800 x 600 demo plan, each
// hearing access point `ap` at `level`.
inline Bytes PlanLattice(int x0, int x1, int step, int level, int ap = 1) {
    CollectionBuilder survey;
    for (int x = x0; x <= x1; x += step)
        for (int y = 20; y <= 580; y += step) survey.Plan(x, y, {{ap, 6, level, "office"}});
    return survey.Get();
}

// GPS points over the demo plan (47.3773..47.3769 N, 8.5410..8.5418 E).
inline Bytes GpsLattice(int perSide, int level, int ap = 2) {
    CollectionBuilder survey;
    for (int i = 0; i < perSide; ++i)
        for (int j = 0; j < perSide; ++j)
            survey.Gps(47.37728 - 0.00036 * i / (perSide - 1), 8.54102 + 0.00076 * j / (perSide - 1),
                       {{ap, 11, level, "office"}});
    return survey.Get();
}

// Points far off any plan.
inline Bytes OffPlan() {
    CollectionBuilder survey;
    for (int i = 0; i < 5; ++i) survey.Plan(2000 + i, 3000, {{1, 6, -50, "office"}});
    return survey.Get();
}

inline void CopyDemo(const std::string& name, const std::string& to) {
    std::filesystem::copy_file(kDemoDir + "/" + name, to, std::filesystem::copy_options::overwrite_existing);
}

}  // namespace quorl::test
