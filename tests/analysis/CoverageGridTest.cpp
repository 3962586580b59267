// The interpolation's promises on hand-made point sets: exact at the cells
// holding points, bounded by the points that shape a cell, no data beyond
// the radius, and an incremental update equal to a rebuild.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/CoverageGrid.h"
#include "analysis/LiveCoverage.h"

using namespace quorl::analysis;

namespace {

struct Case {
    const char* name;
    std::vector<ValuePoint> points;
    double radius;
};

// Every `silentEvery`-th point heard nothing.
std::vector<ValuePoint> RandomPoints(int n, unsigned seed, int silentEvery = 0) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> x(0, 400), y(0, 300), v(-95, -30);
    std::vector<ValuePoint> points;
    for (int i = 0; i < n; ++i) {
        points.push_back({x(random), y(random), std::round(v(random))});
        if (silentEvery > 0 && i % silentEvery == 0) points.back().value = kNotHeard;
    }
    return points;
}

// 20 points 20 px apart along y = 150; only the two ends heard the network.
std::vector<ValuePoint> Corridor() {
    std::vector<ValuePoint> points;
    for (int i = 0; i < 20; ++i) points.push_back({10.0 + 20 * i, 150, i == 0 || i == 19 ? -40.0 : kNotHeard});
    return points;
}

std::vector<Case> Cases() {
    return {
        {"one point", {{100, 100, -60}}, 50},
        {"two points far apart", {{20, 20, -40}, {380, 280, -80}}, 60},
        {"collinear walk", {{10, 150, -50}, {40, 150, -55}, {70, 150, -70}, {100, 150, -45}, {130, 150, -90}}, 40},
        {"two in one cell", {{101, 101, -50}, {100.5, 100.5, -70}, {200, 200, -60}}, 80},
        {"two at one spot", {{150, 150, -50}, {150, 150, -70}, {190, 170, -60}, {150, 150, -55}}, 80},
        {"equidistant ring", {{200, 100, -50}, {300, 150, -60}, {200, 200, -70}, {100, 150, -80}}, 120},
        {"random 300", RandomPoints(300, 7), 30},
        {"corridor heard at its ends", Corridor(), 80},
        {"random 300, a third heard nothing", RandomPoints(300, 9, 3), 30},
        {"heard and not heard in one cell", {{101, 101, kNotHeard}, {100.5, 100.5, -70}, {150, 100, kNotHeard}}, 80},
    };
}

std::vector<CoverageKernel> Kernels() {
    return {CoverageKernel::Scattered(), CoverageKernel::Even(), CoverageKernel::Noisy()};
}

// Cell by cell: no data in the same cells, the same value in the others.
void ExpectSameValues(const CoverageGrid& expected, const CoverageGrid& actual) {
    ASSERT_EQ(expected.Values().size(), actual.Values().size());
    for (std::size_t i = 0; i < expected.Values().size(); ++i) {
        const float a = expected.Values()[i], b = actual.Values()[i];
        ASSERT_EQ(std::isnan(a), std::isnan(b)) << i;
        ASSERT_EQ(CoverageGrid::IsNotHeard(a), CoverageGrid::IsNotHeard(b)) << i;
        if (CoverageGrid::IsLevel(a)) {
            ASSERT_FLOAT_EQ(a, b) << i;
        }
    }
}

}  // namespace

TEST(CoverageGrid, KeepsItsPromisesOnHandMadePointSetsWithEveryKernel) {
    const GridGeometry geometry = GridGeometry::WithCellSize(400, 300, 4);
    for (const Case& c : Cases())
        for (const CoverageKernel& kernel : Kernels()) {
            SCOPED_TRACE(std::string(c.name) + ", " + kernel.Name());
            CoverageGrid grid(geometry, c.radius, kernel);
            grid.Build(c.points);
            for (int row = 0; row < geometry.rows; ++row) {
                for (int column = 0; column < geometry.columns; ++column) {
                    const float v = grid.At(column, row);
                    const double cx = geometry.CentreX(column), cy = geometry.CentreY(row);
                    // Drawn where a point lies within the radius; shaped by the points in
                    // the cell, else by the heard ones within the reach; the nearest
                    // point decides whether it was heard at all.
                    const double radius2 = c.radius * c.radius,
                                 reach2 = radius2 * CoverageGrid::kReachFactor * CoverageGrid::kReachFactor;
                    double lo = INFINITY, hi = -INFINITY, held = 0, nearestHeard = INFINITY, nearestSilent = INFINITY;
                    int inCell = 0, silentInCell = 0;
                    for (const ValuePoint& p : c.points) {
                        const bool here = geometry.ColumnOf(p.x) == column && geometry.RowOf(p.y) == row;
                        const double d = (p.x - cx) * (p.x - cx) + (p.y - cy) * (p.y - cy);
                        if (p.value == kNotHeard) {
                            silentInCell += here;
                            if (d <= radius2) nearestSilent = std::min(nearestSilent, d);
                            continue;
                        }
                        if (here) {
                            held += p.value;
                            ++inCell;
                        }
                        if (d <= reach2) {
                            lo = std::min(lo, p.value);
                            hi = std::max(hi, p.value);
                            nearestHeard = std::min(nearestHeard, d);
                        }
                    }
                    if (inCell > 0) {
                        ASSERT_NEAR(v, held / inCell, 1e-4) << column << "," << row;
                    } else if (silentInCell > 0 || nearestSilent < nearestHeard) {
                        ASSERT_TRUE(CoverageGrid::IsNotHeard(v)) << column << "," << row << " " << v;
                    } else if (nearestHeard > radius2) {
                        ASSERT_TRUE(CoverageGrid::IsNoData(v)) << column << "," << row;
                    } else {
                        ASSERT_TRUE(CoverageGrid::IsLevel(v)) << column << "," << row;
                        ASSERT_GE(v, lo - 1e-4) << column << "," << row;
                        ASSERT_LE(v, hi + 1e-4) << column << "," << row;
                    }
                }
            }
        }
}

// A smooth field sampled every 20 px (jittered) comes back close between
// the points, and neighbouring cells differ by about the field's own change
// across a cell: a seam between blocks or a wrong system would show in both.
TEST(CoverageGrid, SmoothFieldsComeBackCloseAndWithoutSeams) {
    struct Field {
        const char* name;
        double (*level)(double x, double y);
        double noise;  // dB, on every point
        // dB; the worst cells are at the plan's edge, beyond the outer points.
        double rms, worst, step;
        std::optional<CoverageKernel> kernel = std::nullopt;
    };
    auto plane = [](double x, double y) { return -40 - 0.05 * x - 0.03 * y; };
    auto waves = [](double x, double y) { return -60 + 8 * std::sin(x / 50) * std::cos(y / 40); };
    const Field fields[] = {
        {"plane", plane, 0, 0.1, 1.0, 0.6},
        {"waves", waves, 0, 0.3, 2.5, 2.5},
        // Noisy neighbours are smoothed, not followed: well under the noise
        // (2.35 dB without a nugget).
        {"waves, 3 dB noise", waves, 3, 2.3, 10, 7},
        // The thin plate's drift carries a plane exactly; only the edge is
        // clamped to the points' range.
        {"plane, even kernel", plane, 0, 0.02, 1.0, 0.6, CoverageKernel::Even()},
        {"waves, even kernel", waves, 0, 0.3, 2.5, 2.5, CoverageKernel::Even()},
        {"waves, 3 dB noise, noisy kernel", waves, 3, 2.1, 12, 7, CoverageKernel::Noisy()},
    };
    const GridGeometry geometry = GridGeometry::WithCellSize(400, 300, 4);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> jitter(-4, 4);
    std::normal_distribution<double> gauss(0, 1);
    for (const Field& f : fields) {
        SCOPED_TRACE(f.name);
        std::vector<ValuePoint> points;
        for (double x = 10; x < 400; x += 20)
            for (double y = 10; y < 300; y += 20) {
                const double px = x + jitter(random), py = y + jitter(random);
                points.push_back({px, py, f.level(px, py) + f.noise * gauss(random)});
            }
        CoverageGrid grid(geometry, 40, f.kernel);
        grid.Build(points);
        double worst = 0, worstStep = 0, squares = 0;
        for (int row = 0; row < geometry.rows; ++row)
            for (int column = 0; column < geometry.columns; ++column) {
                const float v = grid.At(column, row);
                ASSERT_TRUE(CoverageGrid::IsLevel(v)) << column << "," << row;
                const double error = v - f.level(geometry.CentreX(column), geometry.CentreY(row));
                worst = std::max(worst, std::abs(error));
                squares += error * error;
                if (column > 0) worstStep = std::max(worstStep, double(std::abs(v - grid.At(column - 1, row))));
                if (row > 0) worstStep = std::max(worstStep, double(std::abs(v - grid.At(column, row - 1))));
            }
        EXPECT_LT(std::sqrt(squares / static_cast<double>(geometry.CellCount())), f.rms);
        EXPECT_LT(worst, f.worst);
        // A cell holding a point shows it, not the field at the cell's centre: a
        // step of a few cells' change (the waves change by up to 1 dB a cell, the
        // plane by 0.25).
        EXPECT_LT(worstStep, f.step);
    }
}

// Rough values (no field at all): the systems of neighbouring blocks of
// 8 x 8 cells differ most, so a seam would show as larger steps across the
// lines between blocks than across the lines inside them.
TEST(CoverageGrid, NoSeamsBetweenBlocks) {
    const GridGeometry geometry = GridGeometry::WithCellSize(400, 300, 2);
    CoverageGrid grid(geometry, 30);
    grid.Build(RandomPoints(400, 13));
    double steps[2][2] = {};  // [across a block line][sum, count], columns then rows alike
    for (int row = 1; row < geometry.rows; ++row)
        for (int column = 1; column < geometry.columns; ++column) {
            const float v = grid.At(column, row), left = grid.At(column - 1, row), up = grid.At(column, row - 1);
            if (!CoverageGrid::IsLevel(v)) continue;
            if (CoverageGrid::IsLevel(left)) {
                steps[column % 8 == 0][0] += std::abs(v - left);
                ++steps[column % 8 == 0][1];
            }
            if (CoverageGrid::IsLevel(up)) {
                steps[row % 8 == 0][0] += std::abs(v - up);
                ++steps[row % 8 == 0][1];
            }
        }
    ASSERT_GT(steps[0][1], 1000);
    ASSERT_GT(steps[1][1], 100);
    const double inside = steps[0][0] / steps[0][1], across = steps[1][0] / steps[1][1];
    EXPECT_GT(inside, 0.05);                     // a flat map hides seams too
    EXPECT_LT(across, 1.06 * inside) << inside;  // measured: 1.01 blended, 1.10 block by block
}

TEST(CoverageGrid, CopiesAndMovesKeepWorkingOnTheirOwnPoints) {
    const GridGeometry geometry = GridGeometry::WithCellSize(400, 300, 4);
    const auto points = RandomPoints(80, 3, 4);
    const ValuePoint extra{200, 150, -35}, other{50, 50, kNotHeard};
    CoverageGrid reference(geometry, 40);
    reference.Build(points);
    reference.Add(extra);

    CoverageGrid original(geometry, 40);
    original.Build(points);
    CoverageGrid copy(original);
    copy.Add(extra);
    ExpectSameValues(reference, copy);
    // The copy's point went into the copy alone.
    EXPECT_EQ(original.Points().size() + 1, copy.Points().size());

    // A moved grid (constructed and assigned) reads its own points, not the
    // emptied source's; the source can be built again.
    CoverageGrid moved(std::move(original));
    moved.Add(extra);
    ExpectSameValues(reference, moved);
    CoverageGrid assigned(geometry, 40);
    assigned = std::move(moved);
    assigned.Add(other);
    reference.Add(other);
    ExpectSameValues(reference, assigned);
    CoverageGrid copied(geometry, 40);
    copied = assigned;
    assigned.Build({});
    copied.Add(extra);
    reference.Add(extra);
    ExpectSameValues(reference, copied);
}

TEST(CoverageGrid, AddingPointsOneByOneGivesTheSameGridAsABuild) {
    const GridGeometry geometry = GridGeometry::WithCellSize(400, 300, 3);
    const auto points = RandomPoints(120, 11, 5);
    for (const CoverageKernel& kernel : Kernels()) {
        SCOPED_TRACE(kernel.Name());
        CoverageGrid built(geometry, 35, kernel);
        built.Build(points);
        CoverageGrid grown(geometry, 35, kernel);
        grown.Build({});
        EXPECT_EQ(grown.CellsWithData(), 0u);
        for (const ValuePoint& p : points) grown.Add(p);
        // Off the plan and not a number: ignored.
        grown.Add({-5, 10, -50});
        grown.Add({10, 10, NAN});
        ExpectSameValues(built, grown);
    }
}

TEST(CoverageGrid, GeometryAndDefaultRadiusFollowThePlanAndTheSpacing) {
    // Cell size from the plan: at most 500 cells across, at least 2 pixels.
    struct Plan {
        int w, h, cell, columns, rows;
    };
    for (const Plan& p : {Plan{800, 600, 2, 400, 300}, Plan{4000, 3000, 8, 500, 375}, Plan{10000, 8000, 20, 500, 400},
                          Plan{1001, 10, 3, 334, 4}, Plan{1, 1, 2, 1, 1}}) {
        const GridGeometry g = GridGeometry::ForPlan(p.w, p.h);
        EXPECT_EQ(g.cellSize, p.cell) << p.w;
        EXPECT_EQ(g.columns, p.columns) << p.w;
        EXPECT_EQ(g.rows, p.rows) << p.w;
    }
    const GridGeometry g = GridGeometry::WithCellSize(1000, 1000, 4);
    // A regular grid of spacing 20: the fourth-nearest neighbour is 20 away.
    std::vector<ValuePoint> lattice;
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 20; ++j) lattice.push_back({100.0 + 20 * i, 100.0 + 20 * j, -50});
    EXPECT_DOUBLE_EQ(DefaultRadius(lattice, g), 40);
    // Repeated visits of one place count once.
    auto twice = lattice;
    twice.insert(twice.end(), lattice.begin(), lattice.end());
    EXPECT_DOUBLE_EQ(DefaultRadius(twice, g), 40);
    // Clamped: two cells at least, half the plan at most; a lone point a tenth.
    EXPECT_DOUBLE_EQ(DefaultRadius({{0, 0, 1}, {1, 0, 1}}, g), 8);
    EXPECT_DOUBLE_EQ(DefaultRadius({{0, 0, 1}, {999, 999, 1}}, g), 500);
    EXPECT_DOUBLE_EQ(DefaultRadius({{5, 5, 1}}, g), 100);
    EXPECT_DOUBLE_EQ(DefaultRadius({}, g), 100);
    // A plan's cap shortens a long radius, leaves a short one and never goes below two cells.
    EXPECT_DOUBLE_EQ(DefaultRadius({{0, 0, 1}, {999, 999, 1}}, g, 120), 120);
    EXPECT_DOUBLE_EQ(DefaultRadius({{5, 5, 1}}, g, 60), 60);
    EXPECT_DOUBLE_EQ(DefaultRadius(lattice, g, 120), 40);
    EXPECT_DOUBLE_EQ(DefaultRadius(lattice, g, 2), 8);
}

TEST(LiveCoverage, FollowsAGrowingPointListAndStartsOverWhenItChanges) {
    using quorl::CSiteData;
    std::vector<CSiteData::_tap> taps;
    for (const ValuePoint& p : RandomPoints(60, 5))
        taps.push_back(
            CSiteData::_tap{int(p.x), int(p.y), static_cast<std::int16_t>(p.value), 3, CSiteData::kGpsPoint, 0});
    taps[10].apCount = 0;  // heard nothing: not heard, not a level
    taps[20].kind = CSiteData::kApMarker;

    LiveCoverage live(400, 300, 30.0);
    std::vector<CSiteData::_tap> list;
    for (const auto& tap : taps) {
        const CoverageKernel before = live.Grid().Kernel();
        list.push_back(tap);
        EXPECT_EQ(live.Update(list), LiveCoverage::ValueOf(tap).has_value());
        // Rebuilt only when the kernel chosen again (at 20 and 40 heard points)
        // changed.
        EXPECT_EQ(live.LastWasRebuild(), !(live.Grid().Kernel() == before)) << list.size();
    }
    EXPECT_FALSE(live.Update(list));
    std::vector<ValuePoint> values;
    for (const auto& tap : list)
        if (auto v = LiveCoverage::ValueOf(tap)) values.push_back({double(tap.x), double(tap.y), *v});
    // The kernel is the one the live grid chose as it grew.
    CoverageGrid whole(live.Grid().Geometry(), 30.0, live.Grid().Kernel());
    whole.Build(values);
    EXPECT_EQ(live.Grid().Points().size(), 58u);
    EXPECT_EQ(live.Grid().NotHeardPoints().size(), 1u);
    EXPECT_TRUE(CoverageGrid::IsNotHeard(
        live.Grid().At(taps[10].x / live.Grid().Geometry().cellSize, taps[10].y / live.Grid().Geometry().cellSize)));
    ExpectSameValues(whole, live.Grid());

    // A deleted point leaves the map.
    list[0].kind = CSiteData::kDeleted;
    EXPECT_TRUE(live.Update(list));
    EXPECT_TRUE(live.LastWasRebuild());
    EXPECT_EQ(live.Grid().Points().size(), 57u);

    // With the default radius, a survey that grows much denser is rebuilt.
    LiveCoverage spaced(400, 300);
    std::vector<CSiteData::_tap> sparse = {{0, 0, -50, 1, 0, 0}, {300, 200, -60, 1, 0, 0}};
    spaced.Update(sparse);
    const double before = spaced.Grid().Radius();
    for (int i = 0; i < 30; ++i) sparse.push_back({100 + i * 3, 100, -55, 1, 0, 0});
    spaced.Update(sparse);
    EXPECT_TRUE(spaced.LastWasRebuild());
    EXPECT_LT(spaced.Grid().Radius(), before);
}
