// Survey gaps: which parts of the plan no point reaches, which fail a
// profile, and the shares, against figures worked out by hand; a growing
// list gives the map a fresh start would.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analysis/KernelChoice.h"
#include "analysis/SurveyGaps.h"

using namespace quorl;
using namespace quorl::analysis;

namespace {

// A plan tap hearing the given levels, strongest first.
CSiteData::_tap Tap(int x, int y, std::vector<int> levels) {
    CSiteData::_tap t{x, y, -100, static_cast<std::int16_t>(levels.size()), CSiteData::kPlanTap, 0};
    if (!levels.empty()) t.strongest = static_cast<std::int16_t>(levels[0]);
    if (levels.size() > 1) t.second = static_cast<std::int16_t>(levels[1]);
    return t;
}

std::vector<Requirement> Profile(const std::string& name) {
    return name.empty() ? std::vector<Requirement>{} : *ProfileRequirements(name);
}

}  // namespace

TEST(SurveyGaps, ALonePointReachesADiscOfATenthOfThePlan) {
    // 1000 x 1000: radius 100, cells of 2 pixels; the disc is pi 100^2.
    LiveGaps gaps(1000, 1000);
    const GapsMap& map = gaps.Update({Tap(500, 500, {-50})}, {});
    EXPECT_NEAR(map.SurveyedPercent(), 100.0 * std::numbers::pi * 100 * 100 / 1e6, 0.05);
    EXPECT_EQ(map.At(250, 250), GapCell::Surveyed);      // the point's own cell
    EXPECT_EQ(map.At(250 + 45, 250), GapCell::Surveyed);  // 91 pixels away
    EXPECT_EQ(map.At(250 + 55, 250), GapCell::Unsurveyed);
    EXPECT_EQ(map.At(0, 0), GapCell::Unsurveyed);
    EXPECT_FALSE(map.withRequirements);
    EXPECT_DOUBLE_EQ(map.passArea, map.surveyedArea);

    // A plan of known scale caps the default: a disc of radius 60, and the
    // cap holds as the survey grows to two far-apart points.
    LiveGaps capped(1000, 1000, std::nullopt, 60);
    EXPECT_NEAR(capped.Update({Tap(500, 500, {-50})}, {}).SurveyedPercent(), 100.0 * std::numbers::pi * 60 * 60 / 1e6,
                0.05);
    EXPECT_NEAR(capped.Update({Tap(500, 500, {-50}), Tap(100, 100, {-60})}, {}).SurveyedPercent(),
                2 * 100.0 * std::numbers::pi * 60 * 60 / 1e6, 0.1);
    EXPECT_DOUBLE_EQ(capped.SignalGrid().Radius(), 60);
}

TEST(SurveyGaps, AProfileFailsOnlyWhereItsNearestPointFailsIt) {
    // Two points 200 apart on a 400 x 200 plan: radius 200 reaches all of
    // it, and the cells split at x = 200 between the two points. The right
    // one heard one access point only (no second for roaming) or two weak.
    struct Case {
        std::string profile;
        std::vector<int> right;
        double passPercent;
        bool redOnTheRight;
    };
    const Case cases[] = {
        {"", {-40}, 100, false},        {"basic", {-40}, 100, false},      {"voice", {-40}, 50, true},
        {"data", {-40}, 50, true},      {"basic", {}, 50, true},   {"voice", {-40, -45}, 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile + " " + std::to_string(c.right.size()));
        LiveGaps gaps(400, 200);
        const GapsMap& map = gaps.Update({Tap(100, 100, {-40, -45}), Tap(300, 100, c.right)}, Profile(c.profile));
        EXPECT_DOUBLE_EQ(map.SurveyedPercent(), 100);
        EXPECT_EQ(map.withRequirements, !c.profile.empty());
        EXPECT_NEAR(map.PassPercent(), c.passPercent, 1e-9);
        EXPECT_EQ(map.At(50, 50), GapCell::Surveyed);
        EXPECT_EQ(map.At(99, 0), GapCell::Surveyed);  // just left of the split
        const GapCell right = c.redOnTheRight ? GapCell::Fails : GapCell::Surveyed;
        EXPECT_EQ(map.At(100, 0), right);
        EXPECT_EQ(map.At(150, 50), right);
    }
}

TEST(SurveyGaps, SharesAddUpToThePlanWithPartEdgeCells) {
    // 401 x 203: the last column and row of 2-pixel cells lie half off it.
    LiveGaps gaps(401, 203);
    const GapsMap& map = gaps.Update({Tap(20, 20, {-50}), Tap(60, 30, {-70, -72})}, Profile("voice"));
    EXPECT_DOUBLE_EQ(map.planArea, 401.0 * 203.0);
    double unsurveyed = 0;
    const GridGeometry& g = map.geometry;
    for (int row = 0; row < g.rows; ++row)
        for (int column = 0; column < g.columns; ++column)
            if (map.At(column, row) == GapCell::Unsurveyed)
                unsurveyed += std::min(2, 401 - 2 * column) * std::min(2, 203 - 2 * row);
    EXPECT_DOUBLE_EQ(map.surveyedArea + unsurveyed, map.planArea);
    EXPECT_GT(map.surveyedArea, 0);
    EXPECT_LT(map.passArea, map.surveyedArea);  // neither point passes voice
    EXPECT_DOUBLE_EQ(map.passArea, 0);
}

TEST(SurveyGaps, AGrowingListGivesTheMapAFreshStartGives) {
    // Fewer points than a kernel is chosen for: the live map keeps the kernel
    // of its first build, a fresh one chooses from all its points.
    std::vector<CSiteData::_tap> all;
    for (int i = 0; i < static_cast<int>(kLeastPoints); ++i)
        all.push_back(Tap(30 + (i * 37) % 540, 20 + (i * 53) % 360, {-45 - (i * 7) % 40, -60 - (i * 11) % 30}));
    all[7].apCount = 1;
    all[12].kind = CSiteData::kApMarker;
    // One radius for both: the default one drifts as the list grows.
    LiveGaps live(600, 400, 40.0);
    std::vector<CSiteData::_tap> list;
    for (const auto& tap : all) {
        list.push_back(tap);
        // The profile switched on half way through.
        live.Update(list, Profile(list.size() > 10 ? "voice" : ""));
    }
    LiveGaps fresh(600, 400, 40.0);
    const GapsMap& expected = fresh.Update(all, Profile("voice"));
    EXPECT_EQ(live.Map().cells, expected.cells);
    EXPECT_DOUBLE_EQ(live.Map().surveyedArea, expected.surveyedArea);
    EXPECT_DOUBLE_EQ(live.Map().passArea, expected.passArea);
    EXPECT_GT(expected.passArea, 0);
    EXPECT_LT(expected.passArea, expected.surveyedArea);
}
