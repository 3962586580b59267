// The access point model on synthetic floors: readings generated from
// multi-wall path loss with walls counted by segment intersection (not by
// the model's raster), on a plan drawn from the same walls.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/AccessPointModel.h"
#include "tests/analysis/PlanDrawing.h"

namespace {

using namespace quorl::analysis;

// 60 x 40 m at 10 px a metre: a corridor (y 180..220) between two rows of
// rooms 15 m wide, each with a 1.5 m door onto the corridor; the doors of
// the lower rooms are not opposite those of the upper ones.
constexpr int kWidth = 600, kHeight = 400;
constexpr double kPxPerMetre = 10;
constexpr double kP0 = -35, kExponent = 2.8, kWallDb = 6;

struct Wall {
    double x0, y0, x1, y1;
};

std::vector<Wall> FloorWalls() {
    std::vector<Wall> walls;
    for (int room = 0; room < 4; ++room) {
        const double left = 150.0 * room, upperDoor = left + 30, lowerDoor = left + 100;
        walls.push_back({left, 180, upperDoor, 180});
        walls.push_back({upperDoor + 15, 180, left + 150, 180});
        walls.push_back({left, 220, lowerDoor, 220});
        walls.push_back({lowerDoor + 15, 220, left + 150, 220});
        if (room > 0) walls.push_back({left, 0, left, 180}), walls.push_back({left, 220, left, 400});
    }
    return walls;
}

bool Intersects(const Wall& w, double x0, double y0, double x1, double y1) {
    auto side = [](double ax, double ay, double bx, double by, double px, double py) {
        return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    };
    return side(w.x0, w.y0, w.x1, w.y1, x0, y0) * side(w.x0, w.y0, w.x1, w.y1, x1, y1) < 0 &&
           side(x0, y0, x1, y1, w.x0, w.y0) * side(x0, y0, x1, y1, w.x1, w.y1) < 0;
}

// The walls drawn 3 px wide, with a desk (thin outline) and some text in
// every room that do not attenuate.
GreyImage FloorPlan() {
    GreyImage plan = quorl::test::Paper(kWidth, kHeight);
    for (const Wall& w : FloorWalls())
        quorl::test::Fill(plan, static_cast<int>(std::min(w.x0, w.x1)) - 1, static_cast<int>(std::min(w.y0, w.y1)) - 1,
                          static_cast<int>(std::max(w.x0, w.x1)) + 2, static_cast<int>(std::max(w.y0, w.y1)) + 2);
    for (int room = 0; room < 8; ++room) {
        const int x = 150 * (room % 4) + 40, y = room < 4 ? 60 : 300;
        quorl::test::Fill(plan, x, y, x + 16, y + 1), quorl::test::Fill(plan, x, y + 8, x + 16, y + 9);
        quorl::test::Fill(plan, x, y, x + 1, y + 9), quorl::test::Fill(plan, x + 15, y, x + 16, y + 9);
        for (int c = 0; c < 4; ++c) quorl::test::Fill(plan, x + 30 + 5 * c, y + 20, x + 33 + 5 * c, y + 26);
    }
    return plan;
}

const PlanFrame kFrame{kWidth, kHeight, 1 / kPxPerMetre};

double TrueLevel(double ax, double ay, double x, double y) {
    const double d = std::max(1.0, std::hypot(x - ax, y - ay) / kPxPerMetre);
    int crossed = 0;
    for (const Wall& w : FloorWalls()) crossed += Intersects(w, ax, ay, x, y);
    return kP0 - 10 * kExponent * std::log10(d) - kWallDb * crossed;
}

enum class Walk { EveryRoom, Corridor };

std::vector<LevelAt> Readings(double ax, double ay, Walk walk, double noise, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> error(0, 1);
    std::vector<LevelAt> out;
    auto take = [&](double x, double y) {
        const double level = std::round(TrueLevel(ax, ay, x, y) + noise * error(random));
        if (level > -90) out.push_back({x, y, level});
    };
    if (walk == Walk::Corridor) {
        for (double x = 5; x < kWidth; x += 10) take(x, 200);
    } else {
        for (double y = 8; y < kHeight; y += 15)
            for (double x = 8; x < kWidth; x += 15) take(x, y);
    }
    return out;
}

double ErrorMetres(const PathLossFit& fit, double ax, double ay) {
    return std::hypot(fit.x - ax, fit.y - ay) / kPxPerMetre;
}

struct Ap {
    double x, y;
};
// Two in upper rooms, one in the corridor, one in a lower room.
const Ap kAps[] = {{70, 95}, {380, 200}, {520, 320}, {240, 60}};

TEST(AccessPointModel, FindsAccessPointsBehindWalls) {
    const PlanWalls walls = PlanWalls::FromPlan(FloorPlan(), 1 / kPxPerMetre);
    ASSERT_TRUE(walls.Any()) << walls.Verdict();
    struct Case {
        Walk walk;
        double noise, tolerance;  // metres
    };
    const Case cases[] = {{Walk::EveryRoom, 0, 0.5}, {Walk::EveryRoom, 2, 1.0}, {Walk::Corridor, 0, 3.0},
                          {Walk::Corridor, 2, 5.0}};
    for (const Case& c : cases) {
        std::vector<std::vector<LevelAt>> readings;
        for (const Ap& ap : kAps) readings.push_back(Readings(ap.x, ap.y, c.walk, c.noise, 11));
        std::array<double, 2> learnt{};
        const auto fits = FitAccessPoints(readings, walls, kFrame, &learnt);
        ASSERT_EQ(fits.size(), std::size(kAps));
        for (std::size_t i = 0; i < fits.size(); ++i) {
            const std::string what = std::string(c.walk == Walk::Corridor ? "corridor" : "every room") + ", noise " +
                                     std::to_string(c.noise) + ", access point " + std::to_string(i);
            EXPECT_FALSE(fits[i].coarse) << what << ": " << fits[i].note;
            EXPECT_LE(ErrorMetres(fits[i], kAps[i].x, kAps[i].y), c.tolerance) << what;
            EXPECT_GT(fits[i].radius, 0) << what;
        }
        // Furniture and text are no walls. The walls cost about what they
        // do (a little less: a ray past a door's edge or through a corner
        // counts differently on the raster); a corridor walk sees fewer.
        EXPECT_LE(learnt[0], 1.0) << "thin lines";
        if (c.walk == Walk::EveryRoom) {
            EXPECT_NEAR(learnt[1], kWallDb, 2.0) << "thick walls";
        } else {
            EXPECT_GT(learnt[1], 1.0) << "thick walls";
        }
    }
}

TEST(AccessPointModel, WithoutWallsDistanceAloneRecoversTheModel) {
    // Open floor, no noise: the fit is exact but for the weak prior on n.
    const PlanWalls none = PlanWalls::FromPlan(quorl::test::Paper(kWidth, kHeight), 1 / kPxPerMetre);
    ASSERT_FALSE(none.Any());
    std::vector<LevelAt> readings;
    for (double y = 20; y < kHeight; y += 40)
        for (double x = 20; x < kWidth; x += 40) {
            const double d = std::max(1.0, std::hypot(x - 333, y - 177) / kPxPerMetre);
            readings.push_back({x, y, -38 - 25 * std::log10(d)});
        }
    const PathLossFit fit = FitAccessPoint(readings, none, kFrame);
    ASSERT_FALSE(fit.coarse) << fit.note;
    EXPECT_NEAR(fit.x, 333, 1);
    EXPECT_NEAR(fit.y, 177, 1);
    EXPECT_NEAR(fit.p0, -38, 0.5);
    EXPECT_NEAR(fit.exponent, 2.5, 0.05);
    EXPECT_LT(fit.rms, 0.3);
    // The fitted model gives the readings back.
    for (const LevelAt& r : readings) EXPECT_NEAR(fit.Predict(r.x, r.y, none, kFrame), r.level, 0.6);
}

TEST(AccessPointModel, BadInputGivesASoundEstimateOrSaysWhy) {
    const PlanWalls walls = PlanWalls::FromPlan(FloorPlan(), 1 / kPxPerMetre);
    auto line = [](int n, double level, double step) {
        std::vector<LevelAt> r;
        for (int i = 0; i < n; ++i) r.push_back({100 + step * i, 100, level - 0.5 * i});
        return r;
    };
    std::vector<LevelAt> onePlace, equal, floorOnly, withNaN = Readings(310, 100, Walk::EveryRoom, 0, 3);
    for (int i = 0; i < 500; ++i) onePlace.push_back({250 + 0.01 * (i % 7), 250, -60.0 - i % 5});
    for (int i = 0; i < 40; ++i) equal.push_back({20.0 + 14 * i, 30.0 + 9 * (i % 5), -61});
    for (int i = 0; i < 40; ++i) floorOnly.push_back({20.0 + 14 * i, 30.0 + 9 * (i % 5), kUnitFloorDbm});
    withNaN.push_back({NAN, 10, -40});
    withNaN.push_back({10, 10, NAN});
    // Off the plan, 5 m left of it, heard across the floor.
    std::vector<LevelAt> offPlan;
    for (double y = 10; y < kHeight; y += 20)
        for (double x = 10; x < kWidth; x += 20) {
            const double d = std::hypot(x + 50, y - 150) / kPxPerMetre;
            offPlan.push_back({x, y, std::round(-35 - 30 * std::log10(d))});
        }
    struct Case {
        const char* what;
        std::vector<LevelAt> readings;
        bool coarse;
        const char* note;
    };
    const Case cases[] = {
        {"never heard", {}, true, "never heard"},
        {"one point", line(1, -50, 10), true, "too few"},
        {"two points", line(2, -50, 10), true, "too few"},
        {"many points at one place", onePlace, true, "1 place"},
        {"every reading equal", equal, true, "within 3 dB"},
        {"every reading at the floor", floorOnly, true, "floor"},
        {"readings without a number left out", withNaN, false, ""},
        {"off the plan", offPlan, false, ""},
    };
    for (const Case& c : cases) {
        const PathLossFit fit = FitAccessPoint(c.readings, walls, kFrame);
        EXPECT_EQ(fit.coarse, c.coarse) << c.what << ": " << fit.note;
        EXPECT_NE(fit.note.find(c.note), std::string::npos) << c.what << ": " << fit.note;
        EXPECT_TRUE(std::isfinite(fit.x) && std::isfinite(fit.y)) << c.what;
        EXPECT_TRUE(std::isfinite(fit.radius) && fit.radius >= 0) << c.what;
        // A coarse estimate never claims more than a couple of metres.
        if (c.coarse && !c.readings.empty()) {
            EXPECT_GE(fit.radius, 2 * kPxPerMetre) << c.what;
        }
    }
    const PathLossFit off = FitAccessPoint(offPlan, walls, kFrame);
    EXPECT_TRUE(off.offPlan);
    EXPECT_LE(ErrorMetres(off, -50, 150), 1.5);
    const PathLossFit clean = FitAccessPoint(withNaN, walls, kFrame);
    EXPECT_LE(ErrorMetres(clean, 310, 100), 0.5);
}

}  // namespace
