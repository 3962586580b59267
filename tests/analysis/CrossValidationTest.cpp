// Leave-one-out on fields whose answer is worked out by hand.

#include <gtest/gtest.h>

#include "analysis/CrossValidation.h"

using namespace quorl::analysis;

TEST(CrossValidation, LeaveOneOutMatchesHandComputedErrors) {
    // Three points 20 px apart, radius 100: with one point left out the other two estimate it. The middle
    // one is the mean of the ends (symmetric weights, error 0); an end is carried along the line past the
    // nearer point (weights 1.414 and -0.414 on -50 and -40: -54.1) and held at the nearer one's -50, off by
    // 10 from -60. RMS over three: 10 * sqrt(2/3) = 8.165.
    std::vector<ValuePoint> lattice;
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j) lattice.push_back({50.0 + 30 * i, 50.0 + 25 * j, -62});
    struct Case {
        const char* name;
        std::vector<ValuePoint> points;
        std::size_t estimated;
        double rms, p95;
        const char* text;
    };
    const Case cases[] = {
        {"a flat field", lattice, 100, 0, 0, "map error about \u00B1" "0.0 dB from 100 points"},
        {"two points within the radius", {{100, 100, -50}, {150, 100, -70}}, 2, 20, 20,
         "map error about \u00B1" "20.0 dB from 2 points"},
        {"two points beyond it", {{10, 10, -50}, {390, 290, -70}}, 0, 0, 0,
         "map error unknown (no point has another within the radius)"},
        {"three in a row", {{100, 100, -60}, {120, 100, -50}, {140, 100, -40}}, 3, 8.1650, 10,
         "map error about \u00B1" "8.2 dB from 3 points"},
        {"not heard points are no levels to estimate", {{100, 100, -50}, {150, 100, -70}, {125, 100, kNotHeard}}, 2,
         20, 20, "map error about \u00B1" "20.0 dB from 2 points"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CoverageGrid grid(GridGeometry::WithCellSize(400, 300, 4), 100);
        grid.Build(c.points);
        const MapError e = LeaveOneOut(grid);
        EXPECT_EQ(e.points, c.estimated);
        EXPECT_NEAR(e.rms, c.rms, 1e-3);
        EXPECT_NEAR(e.p95, c.p95, 1e-3);
        EXPECT_EQ(MapErrorText(e, "dB"), c.text);
    }
}
