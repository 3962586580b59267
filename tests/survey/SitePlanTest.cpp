// Site plan geometry: zoom, scroll, centring, mapping and clipping in
// integer arithmetic, and the guards against empty windows and clients.

#include <gtest/gtest.h>

#include "survey/SitePlan.h"

namespace quorl::test {
namespace {

const PlanRect kClient{0, 0, 600, 400};  // smaller side 400

CSitePlan Loaded(std::int32_t width = 1000, std::int32_t height = 800) {
    CSitePlan plan;
    plan.ResetView(kClient, width, height);
    return plan;
}

TEST(SitePlanTest, ConstructionAndReset) {
    CSitePlan plan;
    EXPECT_TRUE(plan.LineOption());
    EXPECT_TRUE(plan.MarkerOption());
    EXPECT_EQ(plan.Zoom(), 1);
    EXPECT_EQ(plan.Window(), PlanRect{});

    plan.ResetView(kClient, 1000, 800);
    EXPECT_EQ(plan.MaxX(), 1000);
    EXPECT_EQ(plan.MaxY(), 800);
    EXPECT_EQ(plan.Window(), (PlanRect{0, 0, 400, 400}));
    EXPECT_EQ(plan.CentreX(), 200);
    EXPECT_EQ(plan.CentreY(), 200);
    EXPECT_EQ(plan.LoadClientRect(), kClient);

    // The zoom survives a plan load; the next zoom out to 1 restores the square.
    plan.ZoomIn();
    plan.ResetView(PlanRect{0, 0, 300, 500}, 1000, 800);
    EXPECT_EQ(plan.Zoom(), 2);
    EXPECT_EQ(plan.Window(), (PlanRect{0, 0, 300, 300}));
    plan.ZoomOut();
    EXPECT_EQ(plan.Zoom(), 1);
    EXPECT_EQ(plan.Window().Width(), 300);
    EXPECT_EQ(plan.Window().Height(), 300);
}

TEST(SitePlanTest, ZoomInAndOutAboutTheCentre) {
    CSitePlan plan = Loaded();
    EXPECT_FALSE(plan.ZoomOut());  // at zoom 1 nothing changes
    EXPECT_EQ(plan.Window(), (PlanRect{0, 0, 400, 400}));

    EXPECT_TRUE(plan.ZoomIn());
    EXPECT_EQ(plan.Zoom(), 2);
    EXPECT_EQ(plan.Window(), (PlanRect{100, 100, 300, 300}));
    EXPECT_EQ(plan.CentreX(), 200);
    EXPECT_TRUE(plan.ZoomOut());
    EXPECT_EQ(plan.Zoom(), 1);
    EXPECT_EQ(plan.Window(), (PlanRect{0, 0, 400, 400}));

    // Zooming out near the far edge: clamped to the bounds, then the
    // load-time square slides back inside.
    plan.CentreOn(950, 780);  // window (750,580)-(1150,980)
    plan.ZoomIn();
    EXPECT_EQ(plan.Window(), (PlanRect{850, 680, 1050, 880}));
    plan.ZoomIn();
    EXPECT_EQ(plan.Window(), (PlanRect{900, 730, 1000, 830}));
    plan.ZoomOut();
    EXPECT_EQ(plan.Window(), (PlanRect{850, 680, 1000, 800}));
    EXPECT_EQ(plan.CentreX(), 925);
    EXPECT_EQ(plan.CentreY(), 740);
    plan.ZoomOut();
    EXPECT_EQ(plan.Window(), (PlanRect{600, 400, 1000, 800}));
    EXPECT_EQ(plan.CentreX(), 887);  // step 4's centre stays

    // The zoom stops at its maximum, and before the window vanishes.
    for (int i = 0; i < 40; ++i) plan.ZoomIn();
    EXPECT_EQ(plan.Zoom(), CSitePlan::kMaxZoom);
    EXPECT_FALSE(plan.CanZoomIn());
    EXPECT_FALSE(plan.ZoomIn());
    EXPECT_GT(plan.Window().Width(), 0);

    // A window about to halve into nothing is left alone.
    CSitePlan tiny;
    tiny.ResetView(PlanRect{0, 0, 2, 2}, 10, 10);
    tiny.ScrollLeft(100);  // window (-1,1) about centre 0
    EXPECT_FALSE(tiny.CanZoomIn());
    EXPECT_FALSE(tiny.ZoomIn());
    EXPECT_EQ(tiny.Zoom(), 1);
    EXPECT_EQ(tiny.Window().Width(), 2);
}

TEST(SitePlanTest, ScrollingAndCentringClamp) {
    CSitePlan plan = Loaded();
    plan.ScrollLeft(500);  // past min x: centre 0, window starts at -W/2
    EXPECT_EQ(plan.CentreX(), 0);
    EXPECT_EQ(plan.Window().left, -200);
    EXPECT_EQ(plan.Window().right, 200);
    plan.ScrollRight(5000);
    EXPECT_EQ(plan.CentreX(), 1000);
    plan.ScrollUp(INT32_MAX);  // no overflow on the way
    EXPECT_EQ(plan.CentreY(), 0);
    plan.ScrollDown(INT32_MAX);
    EXPECT_EQ(plan.CentreY(), 800);
    EXPECT_EQ(plan.Window().bottom, 1000);

    plan.SetCentreX(-5);
    EXPECT_EQ(plan.CentreX(), 0);
    plan.SetCentreX(99999);
    EXPECT_EQ(plan.CentreX(), 1000);
    plan.SetCentreY(-1);
    EXPECT_EQ(plan.CentreY(), 0);

    // An odd width loses a pixel at each recentring.
    CSitePlan odd;
    odd.ResetView(PlanRect{0, 0, 101, 101}, 500, 500);
    odd.ScrollRight(10);
    EXPECT_EQ(odd.Window().Width(), 100);
}

TEST(SitePlanTest, MappingBetweenClientAndPlan) {
    CSitePlan plan = Loaded();
    plan.ZoomIn();  // window (100,100)-(300,300) on a 600 x 400 client
    EXPECT_EQ(plan.ScreenToPlan(kClient, 300, 200), (PlanPoint{200, 200}));
    EXPECT_EQ(plan.ScreenToPlan(kClient, -60, 0), (PlanPoint{80, 100}));  // no clamping
    EXPECT_EQ(plan.ScreenToPlan(kClient, 7, 0), (PlanPoint{102, 100}));   // 200*7/600 truncates

    PlanPoint s{-1, -1};
    EXPECT_TRUE(plan.PlanToScreen(300, 300, kClient, s));  // edges are inside
    EXPECT_EQ(s, (PlanPoint{600, 400}));
    EXPECT_TRUE(plan.PlanToScreen(100, 100, PlanRect{10, 20, 610, 420}, s));
    EXPECT_EQ(s, (PlanPoint{10, 20}));
    s = PlanPoint{-7, -7};
    EXPECT_FALSE(plan.PlanToScreen(301, 200, kClient, s));
    EXPECT_EQ(s, (PlanPoint{-7, -7}));

    plan.CentreOnScreenPoint(kClient, 600, 0);
    EXPECT_EQ(plan.CentreX(), 300);
    EXPECT_EQ(plan.CentreY(), 100);
    EXPECT_EQ(plan.Window(), (PlanRect{200, 0, 400, 200}));

    // Empty client or window: no division by zero.
    const PlanRect empty{0, 0, 0, 0};
    EXPECT_EQ(plan.ScreenToPlan(empty, 5, 5), (PlanPoint{200, 0}));
    plan.CentreOnScreenPoint(empty, 5, 5);
    EXPECT_EQ(plan.CentreX(), 300);
    CSitePlan unloaded;
    EXPECT_FALSE(unloaded.PlanToScreen(0, 0, kClient, s));
    PlanRect dest = kClient;
    unloaded.ClipToPlan(dest);
}

TEST(SitePlanTest, ClipToPlanShrinksWhereTheWindowRunsOff) {
    CSitePlan plan = Loaded();
    plan.CentreOn(500, 400);  // window (300,200)-(700,600): inside the plan
    PlanRect dest = kClient;
    EXPECT_EQ(plan.ClipToPlan(dest), (PlanRect{300, 200, 700, 600}));
    EXPECT_EQ(dest, kClient);

    // Runs off the left and top: window (-200,-200)-(200,200).
    plan.CentreOn(0, 0);
    dest = kClient;
    EXPECT_EQ(plan.ClipToPlan(dest), (PlanRect{0, 0, 200, 200}));
    EXPECT_EQ(dest, (PlanRect{300, 200, 600, 400}));

    // Runs off both sides of a narrow plan: steps 3 and 4 scale what steps
    // 1 and 2 left.
    CSitePlan narrow;
    narrow.ResetView(kClient, 100, 100);  // window 0..400 on a 100 x 100 plan
    narrow.CentreOn(50, 50);              // window (-150,-150)-(250,250)
    dest = kClient;
    EXPECT_EQ(narrow.ClipToPlan(dest), (PlanRect{0, 0, 100, 100}));
    EXPECT_EQ(dest.left, 225);       // 0 - 600 * -150 / 400
    EXPECT_EQ(dest.top, 150);        // 0 - 400 * -150 / 400
    EXPECT_EQ(dest.right, 460);      // 600 - (600 - 225) * 150 / 400
    EXPECT_EQ(dest.bottom, 307);     // 400 - (400 - 150) * 150 / 400
}

}  // namespace
}  // namespace quorl::test
