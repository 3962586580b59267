// The kernel a survey's map gets, from its layout and its noise, and the
// evenness measure behind it on layouts whose value is known.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/KernelChoice.h"

using namespace quorl::analysis;

namespace {

enum class Layout { Lattice, Random };

// A smooth field (the same waves as the grid tests) at points laid out on a
// jittered 20 px lattice or at random over a 400 x 300 plan, each place
// measured `visits` times.
std::vector<ValuePoint> Survey(Layout layout, double noise, int n = 300, int visits = 1) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> jitter(-2, 2), x(0, 400), y(0, 300);
    std::normal_distribution<double> gauss(0, 1);
    std::vector<ValuePoint> points;
    for (int i = 0; static_cast<int>(points.size()) < n; ++i) {
        const double px = layout == Layout::Lattice ? 10 + 20 * (i % 20) + jitter(random) : x(random);
        const double py = layout == Layout::Lattice ? 10 + 20 * (i / 20 % 15) + jitter(random) : y(random);
        const double level = -60 + 8 * std::sin(px / 50) * std::cos(py / 40);
        for (int v = 0; v < visits; ++v) points.push_back({px, py, std::round(level + noise * gauss(random))});
    }
    return points;
}

}  // namespace

TEST(KernelChoice, FollowsTheLayoutAndTheNoise) {
    const GridGeometry geometry = GridGeometry::WithCellSize(400, 300, 2);
    struct Case {
        const char* name;
        std::vector<ValuePoint> points;
        CoverageKernel expected;
        double evenLow, evenHigh;  // 0, 0: not measured
        bool byClosePairs;         // else by leave-one-out
    };
    // A square lattice: the median distance from a cell to the nearest point
    // is about 0.38 of the spacing; random points: about as far from a cell
    // as from each other.
    const Case cases[] = {
        {"clean lattice", Survey(Layout::Lattice, 0), CoverageKernel::Even(), 0.3, 0.5, false},
        {"noisy lattice", Survey(Layout::Lattice, 4), CoverageKernel::Noisy(), 0.3, 0.5, false},
        {"clean lattice, each place twice", Survey(Layout::Lattice, 0, 600, 2), CoverageKernel::Even(), 0.3, 0.5, true},
        {"noisy lattice, each place twice", Survey(Layout::Lattice, 2, 600, 2), CoverageKernel::Noisy(), 0.3, 0.5,
         true},
        {"clean random", Survey(Layout::Random, 0), CoverageKernel::Scattered(), 0.85, 1.3, true},
        {"noisy random", Survey(Layout::Random, 4), CoverageKernel::Noisy(), 0.85, 1.3, true},
        {"too few to choose", Survey(Layout::Random, 4, 19), CoverageKernel::Scattered(), 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CoverageGrid grid(geometry, DefaultRadius(c.points, geometry));
        grid.Build(c.points);
        const KernelChoice choice = ChooseKernel(grid);
        EXPECT_EQ(choice.kernel.Name(), std::string(c.expected.Name()))
            << "evenness " << choice.evenness << ", close pairs " << choice.closePairs << " at " << choice.closeNugget
            << ", errors " << choice.smoothError << " / " << choice.noisyError;
        EXPECT_EQ(grid.Kernel(), c.expected);
        if (c.evenHigh > 0) {
            EXPECT_GT(choice.evenness, c.evenLow);
            EXPECT_LT(choice.evenness, c.evenHigh);
            EXPECT_EQ(choice.closePairs >= kClosePairs, c.byClosePairs);
            EXPECT_EQ(choice.sampled, c.byClosePairs ? 0u : c.points.size());
        } else {
            EXPECT_EQ(choice.sampled, 0u);
        }
    }
}

TEST(KernelChoice, APlaceVisitedThousandsOfTimesCostsNoMoreThanOthers) {
    // Every pair of 3,000 visits would be 4.5 million; each visit pairs with a few.
    auto points = Survey(Layout::Random, 0, 100);
    for (int i = 0; i < 3000; ++i) points.push_back({200, 150, -50.0 - i % 7});
    const GridGeometry geometry = GridGeometry::WithCellSize(400, 300, 2);
    CoverageGrid grid(geometry, DefaultRadius(points, geometry));
    grid.Build(points);
    const KernelChoice choice = ChooseKernel(grid);
    EXPECT_GE(choice.closePairs, 3000u);
    EXPECT_LE(choice.closePairs, kPartners * points.size());
    EXPECT_EQ(choice.kernel, CoverageKernel::Noisy());  // one place, levels 6 dB apart
}

TEST(KernelChoice, LogarithmOfTheThinPlateMatchesTheLibrary) {
    for (const double x : {1e-12, 0.001, 0.5, 0.7071, 0.70711, 1.0, 1.41421, 1.41422, 3.7, 1e6})
        EXPECT_NEAR(CoverageKernel::Log(x), std::log(x), 2e-9) << x;
}
