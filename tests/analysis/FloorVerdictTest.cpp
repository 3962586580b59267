// The verdict (pass, incomplete, fail) of shares and of wholes, the part of
// the plan a mask lets count, and a map's plan in three parts.

#include <gtest/gtest.h>

#include <numeric>

#include "analysis/FloorVerdict.h"
#include "analysis/PlanAreas.h"
#include "analysis/PlanMask.h"
#include "analysis/RequirementShares.h"

using namespace quorl::analysis;

namespace {

constexpr FloorVerdict kPass = FloorVerdict::Pass, kIncomplete = FloorVerdict::Incomplete,
                       kFail = FloorVerdict::Fail;

TEST(FloorVerdict, FailOnTheSurveyedPartElseIncompleteWhenTooLittleWasSurveyed) {
    struct Case {
        const char* name;
        double pass, fail, unsurveyed;  // areas
        double areaPass, maxUnsurveyed;
        FloorVerdict expected;
    };
    const Case cases[] = {
        {"half surveyed, all of it passes", 50, 0, 50, 95, 10, kIncomplete},
        {"the same, up to 60 % may be left", 50, 0, 50, 95, 60, kPass},
        {"fails on the little surveyed", 1, 1, 98, 95, 10, kFail},
        {"fails even with nothing left out allowed", 1, 1, 98, 95, 100, kFail},
        {"exactly the share allowed passes", 90, 0, 10, 95, 10, kPass},
        {"just over it is incomplete", 89.9, 0, 10.1, 95, 10, kIncomplete},
        {"exactly the passing share passes", 95, 5, 0, 95, 10, kPass},
        {"just under it fails", 94.9, 5.1, 0, 95, 10, kFail},
        {"nothing surveyed is incomplete", 0, 0, 100, 95, 10, kIncomplete},
        {"nothing surveyed, whatever may be left", 0, 0, 100, 0, 100, kIncomplete},
        {"no plan at all", 0, 0, 0, 95, 10, kIncomplete},
        {"all surveyed and passing", 100, 0, 0, 95, 0, kPass},
        {"incomplete and failing: fail", 10, 90, 900, 95, 10, kFail},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JudgeShares(c.pass, c.fail, c.unsurveyed, c.areaPass, c.maxUnsurveyed), c.expected) << c.name;
        RequirementShares s;
        s.passArea = c.pass;
        s.failArea = c.fail;
        s.unsurveyedArea = c.unsurveyed;
        EXPECT_EQ(s.VerdictOf(c.areaPass, c.maxUnsurveyed), c.expected) << c.name;
        // Pass alone is what the old yes/no called passing, less the incomplete ones.
        if (c.expected == kPass) { EXPECT_TRUE(s.Passes(c.areaPass)) << c.name; }
        if (c.expected == kFail) { EXPECT_FALSE(s.Passes(c.areaPass)) << c.name; }
    }
}

TEST(FloorVerdict, AWholeIsItsWorstPart) {
    EXPECT_EQ(WorstOf({}), kPass);
    const FloorVerdict all[] = {kPass, kIncomplete, kFail};
    // Every list of up to three parts: any fail fails, else any incomplete is incomplete.
    for (int n = 0; n <= 3; ++n) {
        int combinations = 1;
        for (int i = 0; i < n; ++i) combinations *= 3;
        for (int k = 0; k < combinations; ++k) {
            std::vector<FloorVerdict> parts;
            for (int i = 0, rest = k; i < n; ++i, rest /= 3) parts.push_back(all[rest % 3]);
            const auto has = [&](FloorVerdict v) { return std::find(parts.begin(), parts.end(), v) != parts.end(); };
            const FloorVerdict expected = has(kFail) ? kFail : has(kIncomplete) ? kIncomplete : kPass;
            EXPECT_EQ(WorstOf(parts), expected) << k;
            if (n == 2) { EXPECT_EQ(Worse(parts[0], parts[1]), expected); }
        }
    }
    EXPECT_STREQ(VerdictName(kIncomplete), "incomplete");
    EXPECT_STREQ(VerdictLabel(kFail), "FAIL");
}

// A plan of w x h whose mask counts x < `left` only.
PlanMask LeftOf(int w, int h, int left) {
    PlanMask mask{w, h, std::vector<std::uint8_t>(std::size_t(w) * h, 0)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < std::min(left, w); ++x) mask.counts[std::size_t(y) * w + x] = 1;
    return mask;
}

double Sum(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); }

TEST(PlanMask, CellAreasAddUpToWhatCounts) {
    struct Case {
        int w, h, cell, left;
    };
    // Cells that end off the plan, a mask edge inside a cell, a mask of nothing and of all.
    for (const Case c : {Case{195, 20, 10, 100}, Case{195, 20, 10, 97}, Case{401, 203, 2, 201}, Case{7, 5, 3, 0},
                         Case{7, 5, 3, 7}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " left " + std::to_string(c.left));
        const GridGeometry g = GridGeometry::WithCellSize(c.w, c.h, c.cell);
        const std::vector<double> plain = CellAreas(g);
        EXPECT_DOUBLE_EQ(Sum(plain), double(c.w) * c.h);
        const PlanMask mask = LeftOf(c.w, c.h, c.left);
        const std::vector<double> masked = CellAreas(g, &mask);
        ASSERT_EQ(masked.size(), g.CellCount());
        EXPECT_DOUBLE_EQ(Sum(masked), mask.Area());
        EXPECT_DOUBLE_EQ(mask.Area(), double(c.left) * c.h);
        for (std::size_t i = 0; i < masked.size(); ++i) {
            EXPECT_LE(masked[i], plain[i]) << i;
            // A cell wholly left of the mask's edge keeps its own area; wholly right, none.
            const int column = int(i % std::size_t(g.columns));
            if ((column + 1) * c.cell <= c.left) { EXPECT_EQ(masked[i], plain[i]) << i; }
            if (column * c.cell >= c.left) { EXPECT_EQ(masked[i], 0) << i; }
        }
    }
    // A mask smaller than the plan: what it does not cover does not count, nothing is read past it.
    const GridGeometry g = GridGeometry::WithCellSize(20, 20, 4);
    const PlanMask small = LeftOf(10, 10, 10);
    EXPECT_DOUBLE_EQ(Sum(CellAreas(g, &small)), 100);
}

// As in RequirementTest: 195 x 20 in cells of 10, the left 10 columns
// surveyed one point each, the rest not.
CoverageGrid Columns(const std::vector<double>& values) {
    CoverageGrid grid(GridGeometry::WithCellSize(195, 20, 10), 5.5);
    std::vector<ValuePoint> points;
    for (std::size_t c = 0; c < values.size(); ++c) points.push_back({10.0 * c + 5, 10, values[c]});
    grid.Build(points);
    return grid;
}

TEST(PlanMask, AMaskOverTheSurveyedHalfTurnsIncompleteIntoPass) {
    const CoverageGrid grid = Columns(std::vector<double>(10, -60));
    const Requirement r{Metric::Signal, Comparison::AtLeast, -67};
    const RequirementShares whole = Evaluate(r, grid);
    EXPECT_EQ(whole.VerdictOf(95, 10), kIncomplete);

    const PlanMask mask = LeftOf(195, 20, 100);
    const std::vector<double> areas = CellAreas(grid.Geometry(), &mask);
    const RequirementShares masked = Evaluate(r, grid, &areas);
    EXPECT_DOUBLE_EQ(masked.passArea, 2000);
    EXPECT_DOUBLE_EQ(masked.unsurveyedArea, 0);
    EXPECT_DOUBLE_EQ(masked.PlanArea(), mask.Area());
    EXPECT_EQ(masked.VerdictOf(95, 10), kPass);
    for (std::size_t i = 0; i < masked.cells.size(); ++i)
        EXPECT_EQ(masked.cells[i], i % 20 < 10 ? Verdict::Pass : Verdict::Outside) << i;

    // Half of the unsurveyed part left in (x < 150): 1000 of 3000 square pixels unsurveyed.
    const PlanMask more = LeftOf(195, 20, 150);
    const std::vector<double> moreAreas = CellAreas(grid.Geometry(), &more);
    const RequirementShares some = Evaluate(r, grid, &moreAreas);
    EXPECT_DOUBLE_EQ(some.unsurveyedArea, 1000);
    EXPECT_NEAR(some.UnsurveyedPercent(), 100.0 / 3, 1e-9);
    EXPECT_EQ(some.VerdictOf(95, 33), kIncomplete);
    EXPECT_EQ(some.VerdictOf(95, 34), kPass);
}

TEST(PlanAreas, ValueNotHeardAndUnsurveyedAddUpToThePlan) {
    // Columns 0-9: seven levels, three not heard; 10-19 not surveyed (the last 5 px wide).
    const CoverageGrid grid = Columns({-60, kNotHeard, -70, -50, kNotHeard, -60, -61, -62, kNotHeard, -80});
    const PlanAreas plain = SplitPlan(grid, CellAreas(grid.Geometry()));
    EXPECT_EQ(plain.valueCells, 14u);
    EXPECT_EQ(plain.notHeardCells, 6u);
    EXPECT_EQ(plain.unsurveyedCells, 20u);
    EXPECT_EQ(plain.Cells(), grid.Geometry().CellCount());
    EXPECT_DOUBLE_EQ(plain.valueArea, 1400);
    EXPECT_DOUBLE_EQ(plain.notHeardArea, 600);
    EXPECT_DOUBLE_EQ(plain.unsurveyedArea, 1900);
    EXPECT_DOUBLE_EQ(plain.Area(), 195 * 20);
    EXPECT_EQ(plain.valueCells, grid.CellsWithData());
    EXPECT_EQ(plain.notHeardCells, grid.CellsNotHeard());

    // A mask to x < 25: columns 0, 1 and half of 2 count.
    const PlanMask mask = LeftOf(195, 20, 25);
    const PlanAreas masked = SplitPlan(grid, CellAreas(grid.Geometry(), &mask));
    EXPECT_EQ(masked.Cells(), 6u);
    EXPECT_DOUBLE_EQ(masked.valueArea, 200 + 100);
    EXPECT_DOUBLE_EQ(masked.notHeardArea, 200);
    EXPECT_DOUBLE_EQ(masked.unsurveyedArea, 0);
    EXPECT_DOUBLE_EQ(masked.Area(), mask.Area());
}

}  // namespace
