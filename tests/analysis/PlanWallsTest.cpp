// Walls read from hand-drawn plans: which marks count, how many walls a
// segment crosses, and the plans that give none.

#include <gtest/gtest.h>

#include <random>

#include "analysis/PlanWalls.h"
#include "tests/analysis/PlanDrawing.h"

namespace {

using namespace quorl::analysis;
using quorl::test::Fill;
using quorl::test::Paper;

// 200 x 100 px at 20 px a metre (10 x 5 m): a thick wall down x 100..104
// with a door at y 40..55, a thin line across y 70 left of it, a second
// thick wall down x 150..154, text (short strokes) near x 30, y 20, and
// hatching (diagonal dashes) near x 170, y 80.
GreyImage HandPlan() {
    GreyImage plan = Paper(200, 100);
    Fill(plan, 100, 0, 104, 40);
    Fill(plan, 100, 55, 104, 100);
    Fill(plan, 0, 70, 100, 71);
    Fill(plan, 150, 0, 154, 100);
    for (int c = 0; c < 5; ++c) {  // letters: 2 px strokes 8 px tall
        Fill(plan, 20 + 6 * c, 15, 22 + 6 * c, 23);
        Fill(plan, 20 + 6 * c, 15, 25 + 6 * c, 16);
    }
    for (int d = 0; d < 6; ++d)
        for (int i = 0; i < 10; ++i) Fill(plan, 160 + 5 * d + i, 75 + i, 161 + 5 * d + i, 76 + i);
    return plan;
}

constexpr double kMetresPerPixel = 0.05;

TEST(PlanWalls, CrossingsOnAHandDrawnPlan) {
    const PlanWalls walls = PlanWalls::FromPlan(HandPlan(), kMetresPerPixel);
    ASSERT_TRUE(walls.Any()) << walls.Verdict();
    struct Case {
        const char* what;
        double x0, y0, x1, y1;
        WallCrossings expected;  // thin, thick
    };
    const Case cases[] = {
        {"across the first thick wall", 50, 20, 125, 20, {0, 1}},
        {"through its door", 50, 47, 125, 47, {0, 0}},
        {"across both thick walls", 50, 90, 180, 90, {0, 2}},
        {"across the thin line", 50, 60, 50, 90, {1, 0}},
        {"across the thin line and a thick wall", 50, 60, 125, 90, {1, 1}},
        {"through the text", 10, 19, 60, 19, {0, 0}},
        {"through the hatching", 156, 70, 198, 95, {0, 0}},
        {"along the open room", 5, 5, 95, 65, {0, 0}},
        {"from inside a wall: half behind it", 102, 20, 125, 20, {0, 0.5}},
        {"to a point inside a wall", 125, 20, 152, 20, {0, 0.5}},
        {"from a wall across the next", 102, 30, 180, 30, {0, 1.5}},
        {"within one wall", 101, 10, 102, 30, {0, 0}},
        {"from off the plan", -100, 20, 125, 20, {0, 1}},
        {"wholly off the plan", -100, -50, 300, -50, {0, 0}},
        {"a point", 50, 50, 50, 50, {0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(walls.Crossings(c.x0, c.y0, c.x1, c.y1), c.expected) << c.what;
        EXPECT_EQ(walls.Crossings(c.x1, c.y1, c.x0, c.y0), c.expected) << c.what << ", reversed";
    }
}

// Parallel thick walls every `gap` pixels: a segment across k of them
// crosses k, at full and at coarse resolution, from anywhere between them.
TEST(PlanWalls, CountsParallelWallsAtEveryResolution) {
    GreyImage plan = Paper(400, 60);
    for (int x = 40; x < 400; x += 40) Fill(plan, x, 0, x + 4, 60);
    const PlanWalls walls = PlanWalls::FromPlan(plan, kMetresPerPixel);
    const PlanWalls coarse = walls.Coarser(4);
    std::mt19937 random(7);
    // Starts and ends clear of the walls' coarse cells (20 px) too.
    std::uniform_int_distribution<int> room(0, 8), inside(21, 38), down(5, 55);
    for (int trial = 0; trial < 200; ++trial) {
        const int a = room(random), b = room(random);
        const double x0 = 40 * a + inside(random), x1 = 40 * b + inside(random);
        const double y0 = down(random), y1 = down(random);
        const double expected = std::abs(a - b);
        EXPECT_EQ(walls.Crossings(x0, y0, x1, y1), (WallCrossings{0, expected})) << x0 << " " << x1;
        EXPECT_EQ(coarse.Crossings(x0, y0, x1, y1), (WallCrossings{0, expected})) << x0 << " " << x1;
    }
}

TEST(PlanWalls, PlansWithoutWallsSayWhy) {
    GreyImage textOnly = Paper(300, 200);
    for (int c = 0; c < 20; ++c) Fill(textOnly, 10 + 12 * c, 50, 14 + 12 * c, 56);
    GreyImage photo = Paper(300, 200);
    std::mt19937 random(3);
    for (auto& p : photo.pixels) p = static_cast<std::uint8_t>(random() % 256);
    GreyImage dark = Paper(300, 200, 20);
    Fill(dark, 0, 100, 300, 104, 240);
    struct Case {
        const char* what;
        GreyImage plan;
        const char* says;
    };
    const Case cases[] = {
        {"blank", Paper(300, 200), "blank"},
        {"text only", textOnly, "long dark line"},
        {"photograph", photo, "photograph"},
        {"dark paper", dark, "photograph"},
        {"no pixels", GreyImage{}, "cannot be read"},
    };
    for (const Case& c : cases) {
        const PlanWalls walls = PlanWalls::FromPlan(c.plan, 0);
        EXPECT_FALSE(walls.Any()) << c.what;
        EXPECT_NE(walls.Verdict().find(c.says), std::string::npos) << c.what << ": " << walls.Verdict();
        EXPECT_EQ(walls.Crossings(0, 0, 299, 199), (WallCrossings{0, 0})) << c.what;
    }
}

TEST(PlanWalls, ThinAndThickByTheirWidth) {
    // Without a scale: long runs are a fortieth of the plan (10 px here),
    // thick from 3 px.
    GreyImage plan = Paper(400, 100);
    const int widths[] = {1, 2, 3, 6};
    for (int i = 0; i < 4; ++i) Fill(plan, 50 + 80 * i, 0, 50 + 80 * i + widths[i], 100);
    const PlanWalls walls = PlanWalls::FromPlan(plan, 0);
    ASSERT_TRUE(walls.Any());
    EXPECT_EQ(walls.Crossings(10, 50, 390, 50), (WallCrossings{2, 2}));
}

TEST(PlanPixels, BitmapsReadBackAsDrawn) {
    GreyImage plan = HandPlan();
    Fill(plan, 0, 0, 3, 2, 128);  // a grey corner, to tell top from bottom
    for (int bits : {8, 24})
        for (bool topDown : {false, true}) {
            const auto bitmap = quorl::test::BitmapOf(plan, bits, topDown);
            const auto read = BitmapGrey(bitmap);
            ASSERT_TRUE(read) << bits << " bits";
            EXPECT_EQ(read->width, plan.width);
            EXPECT_EQ(read->height, plan.height);
            EXPECT_EQ(read->pixels, plan.pixels) << bits << " bits, top-down " << topDown;
            // Cut short or not a bitmap: nothing, never a read past the end.
            EXPECT_FALSE(BitmapGrey({bitmap.begin(), bitmap.end() - 1}));
            auto lying = bitmap;
            lying[22] = 0xFF, lying[23] = 0x7F;  // a height far beyond the data
            EXPECT_FALSE(BitmapGrey(lying));
        }
    EXPECT_FALSE(BitmapGrey({'B', 'M'}));
    EXPECT_FALSE(BitmapGrey(std::vector<std::uint8_t>(100, 0)));
}

}  // namespace
