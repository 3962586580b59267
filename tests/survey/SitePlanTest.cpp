// Site plan geometry as properties over plan and view shapes: one scale on
// both axes, a tap lands on the plan pixel under it and back, the fitted
// zoom shows the whole plan, zooms about a point keep that point; then the
// scrolling and centring limits.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "survey/SitePlan.h"

namespace quorl::test {
namespace {

struct Shape {
    std::int32_t planW, planH, viewW, viewH;
};

// Wide, tall, small and one-pixel plans in tablet and odd-shaped views
// (1536 x 1050: a 1920 x 1080 window left of its panel).
const std::vector<Shape> kShapes = {
    {1000, 800, 1536, 1050}, {4000, 1000, 1536, 1050}, {600, 3000, 1536, 1050}, {300, 200, 1536, 1050},
    {1000, 800, 1024, 700},  {4000, 1000, 301, 799},   {600, 3000, 799, 301},   {1, 1, 640, 480},
    {5000, 5000, 3, 2},
};

PlanRect Area(const Shape& s) { return PlanRect{0, 0, s.viewW, s.viewH}; }

CSitePlan Loaded(const Shape& s) {
    CSitePlan plan;
    plan.ResetView(Area(s), s.planW, s.planH);
    return plan;
}

// Every zoom from the fitted one up to the greatest, calling `check` at each.
template <typename Check>
void AtEveryZoom(CSitePlan& plan, Check&& check) {
    while (plan.ZoomOut()) {
    }
    do check(plan);
    while (plan.ZoomIn());
}

std::string Describe(const Shape& s, const CSitePlan& plan) {
    return "plan " + std::to_string(s.planW) + "x" + std::to_string(s.planH) + " view " + std::to_string(s.viewW) +
           "x" + std::to_string(s.viewH) + " zoom " + std::to_string(plan.ZoomPercent()) + "%";
}

TEST(SitePlanTest, OneScaleOnBothAxesAndTapsLandOnThePixelUnderThem) {
    for (const Shape& shape : kShapes) {
        CSitePlan plan = Loaded(shape);
        plan.CentreOn(shape.planW / 3, shape.planH / 3);
        AtEveryZoom(plan, [&](const CSitePlan& p) {
            SCOPED_TRACE(Describe(shape, p));
            const PlanRect area = Area(shape);
            // A hundred plan pixels take as many view pixels across as down.
            EXPECT_NEAR(p.ScreenXOf(100, area) - p.ScreenXOf(0, area), p.ScreenYOf(100, area) - p.ScreenYOf(0, area),
                        1e-9);
            const double k = p.ScaleFactor();
            for (std::int32_t sx = 0; sx < shape.viewW; sx += std::max(1, shape.viewW / 37))
                for (std::int32_t sy = 0; sy < shape.viewH; sy += std::max(1, shape.viewH / 29)) {
                    const PlanPoint at = p.ScreenToPlan(area, sx, sy);
                    // The middle of the view pixel lies on the plan pixel found.
                    EXPECT_LE(p.ScreenXOf(at.x, area), sx + 0.5);
                    EXPECT_GT(p.ScreenXOf(at.x + 1, area), sx + 0.5);
                    EXPECT_LE(p.ScreenYOf(at.y, area), sy + 0.5);
                    EXPECT_GT(p.ScreenYOf(at.y + 1, area), sy + 0.5);
                    // And back: the plan pixel's middle is drawn next to the tap.
                    const PlanPoint back = p.PlanToScreenUnclipped(at.x, at.y, area);
                    EXPECT_LE(std::abs(back.x - sx), std::max(1.0, k / 2) + 1);
                    EXPECT_LE(std::abs(back.y - sy), std::max(1.0, k / 2) + 1);
                    // At 100 % and more each plan pixel maps to its own tap spot.
                    if (k >= 1) {
                        EXPECT_EQ(p.ScreenToPlan(area, back.x, back.y), at);
                    }
                }
        });
    }
}

TEST(SitePlanTest, ZoomingOutEndsWithTheWholePlanCentredInView) {
    for (const Shape& shape : kShapes) {
        CSitePlan plan = Loaded(shape);
        plan.CentreOn(0, shape.planH);  // from a corner
        while (plan.ZoomOut()) {
        }
        SCOPED_TRACE(Describe(shape, plan));
        const PlanRect area = Area(shape);
        EXPECT_FALSE(plan.CanZoomOut());
        EXPECT_LE(plan.ScaleFactor(), 1.0);
        EXPECT_EQ(plan.VisiblePlan(), (PlanRect{0, 0, shape.planW, shape.planH}));
        const double left = plan.ScreenXOf(0, area), right = plan.ScreenXOf(shape.planW, area);
        const double top = plan.ScreenYOf(0, area), bottom = plan.ScreenYOf(shape.planH, area);
        // An odd plan side centres to half a plan pixel.
        const double half = plan.ScaleFactor() / 2 + 1e-9;
        EXPECT_GE(left, -half);
        EXPECT_LE(right, shape.viewW + half);
        EXPECT_GE(top, -half);
        EXPECT_LE(bottom, shape.viewH + half);
        // Centred: equal margins to a plan pixel.
        EXPECT_NEAR(left, shape.viewW - right, std::max(1.0, plan.ScaleFactor()) + 1);
        EXPECT_NEAR(top, shape.viewH - bottom, std::max(1.0, plan.ScaleFactor()) + 1);
        if (plan.Fitted()) {
            // Fitted: no smaller than needed, one axis filled.
            EXPECT_TRUE(right - left >= shape.viewW - 1 || bottom - top >= shape.viewH - 1);
            EXPECT_LT(plan.ScaleFactor(), 1.0);
        } else {
            EXPECT_EQ(plan.ZoomPercent(), 100);  // fits at 100 %: no zooming out below it
        }
        // Scrolling has nothing to move while the whole plan shows.
        const PlanPoint centre{plan.CentreX(), plan.CentreY()};
        plan.ScrollLeft(50), plan.ScrollDown(50);
        EXPECT_EQ((PlanPoint{plan.CentreX(), plan.CentreY()}), centre);
        // Back in, the ladder of powers of two resumes.
        if (plan.Fitted()) {
            ASSERT_TRUE(plan.ZoomIn());
            const int percent = plan.ZoomPercent();
            EXPECT_TRUE(percent == 100 || percent == 50 || percent == 25 || percent == 12 || percent == 6 ||
                        percent == 3 || percent == 1)
                << percent;
        }
    }
}

// Fit and actual size from any zoom and scroll position land where zooming
// all the way out, and a freshly loaded plan, do.
TEST(SitePlanTest, FitAndActualSizeMatchZoomingOutAndAFreshLoad) {
    const auto same = [](const CSitePlan& a, const CSitePlan& b) {
        return a.Scale() == b.Scale() && a.Fitted() == b.Fitted() && a.CentreX() == b.CentreX() &&
               a.CentreY() == b.CentreY() && a.Window() == b.Window();
    };
    for (const Shape& shape : kShapes) {
        CSitePlan zoomedOut = Loaded(shape);
        while (zoomedOut.ZoomOut()) {
        }
        const CSitePlan fresh = Loaded(shape);
        for (const int zoomIns : {0, 1, 3}) {
            CSitePlan plan = Loaded(shape);
            plan.CentreOn(shape.planW - 1, shape.planH / 5);
            for (int i = 0; i < zoomIns; ++i) plan.ZoomIn();
            plan.ZoomByAbout(1.37, Area(shape), shape.viewW / 4, shape.viewH / 3);
            SCOPED_TRACE(Describe(shape, plan));
            const bool wasFit = same(plan, zoomedOut);
            EXPECT_EQ(plan.FitWholePlan(), !wasFit);
            EXPECT_TRUE(same(plan, zoomedOut));
            EXPECT_EQ(plan.VisiblePlan(), (PlanRect{0, 0, shape.planW, shape.planH}));
            EXPECT_FALSE(plan.FitWholePlan());
            EXPECT_EQ(plan.ShowActualSize(), !same(zoomedOut, fresh));
            EXPECT_TRUE(same(plan, fresh));
            EXPECT_EQ(plan.ZoomPercent(), 100);
            EXPECT_FALSE(plan.ShowActualSize());
        }
    }
}

TEST(SitePlanTest, ZoomAboutAPointKeepsThatPointUnderIt) {
    const Shape shape{8000, 6000, 1536, 1050};
    CSitePlan plan = Loaded(shape);
    const PlanRect area = Area(shape);
    plan.CentreOn(4000, 3000);
    plan.ZoomIn();
    const struct {
        std::int32_t sx, sy;
        int step;  // +1 in, -1 out, 0 a pinch by 1.3
    } cases[] = {{100, 100, +1}, {1400, 900, +1}, {700, 200, -1}, {1200, 1000, -1}, {300, 800, 0}, {1000, 50, 0}};
    for (const auto& c : cases) {
        const PlanPoint before = plan.ScreenToPlan(area, c.sx, c.sy);
        const bool changed = c.step > 0   ? plan.ZoomInAbout(area, c.sx, c.sy)
                             : c.step < 0 ? plan.ZoomOutAbout(area, c.sx, c.sy)
                                          : plan.ZoomByAbout(1.3, area, c.sx, c.sy);
        ASSERT_TRUE(changed);
        const PlanPoint after = plan.ScreenToPlan(area, c.sx, c.sy);
        SCOPED_TRACE(Describe(shape, plan));
        // To a plan pixel, and a view pixel's worth at low zoom.
        const double slack = 1 + 1 / plan.ScaleFactor();
        EXPECT_LE(std::abs(after.x - before.x), slack);
        EXPECT_LE(std::abs(after.y - before.y), slack);
    }
    // A pinch stops at the fitted zoom and at the greatest one.
    EXPECT_TRUE(plan.ZoomByAbout(1e-6, area, 10, 10));
    EXPECT_TRUE(plan.Fitted());
    EXPECT_FALSE(plan.ZoomByAbout(0.5, area, 10, 10));
    EXPECT_TRUE(plan.ZoomByAbout(1e6, area, 10, 10));
    EXPECT_EQ(plan.ZoomPercent(), CSitePlan::kMaxZoom * 100);
    EXPECT_FALSE(plan.CanZoomIn());
    EXPECT_FALSE(plan.ZoomByAbout(std::nan(""), area, 10, 10));
}

TEST(SitePlanTest, LoadResizeAndLimits) {
    CSitePlan plan;
    EXPECT_TRUE(plan.LineOption());
    EXPECT_TRUE(plan.MarkerOption());
    EXPECT_EQ(plan.ZoomPercent(), 100);

    // A plan larger than the view starts with its top-left corner there.
    const PlanRect area{0, 0, 640, 480};
    plan.ResetView(area, 1000, 800);
    EXPECT_EQ(plan.Window(), (PlanRect{0, 0, 640, 480}));
    EXPECT_EQ(plan.ScreenToPlan(area, 0, 0), (PlanPoint{0, 0}));
    EXPECT_EQ(plan.ScreenToPlan(area, 639, 479), (PlanPoint{639, 479}));
    EXPECT_FALSE(plan.Fitted());

    // The zoom survives a plan load; a fitted zoom fits the next plan and
    // the view's new size.
    plan.ZoomIn();
    plan.ResetView(area, 2000, 2000);
    EXPECT_EQ(plan.ZoomPercent(), 200);
    while (plan.ZoomOut()) {
    }
    EXPECT_TRUE(plan.Fitted());
    EXPECT_EQ(plan.Scale(), (PlanScale{6, 25}));  // 480 / 2000
    EXPECT_EQ(plan.ZoomPercent(), 24);
    plan.SetViewSize(1000, 1200);
    EXPECT_EQ(plan.Scale(), (PlanScale{1, 2}));  // 1000 / 2000
    plan.ResetView(area, 100, 100);  // fits at 100 %: no smaller
    EXPECT_EQ(plan.ZoomPercent(), 100);
    EXPECT_EQ(plan.CentreX(), 50);

    // Scrolling stops the centre at the plan's edges; SetCentre clamps.
    plan.ResetView(area, 1000, 800);
    plan.ScrollLeft(500);
    EXPECT_EQ(plan.CentreX(), 0);
    EXPECT_EQ(plan.Window().left, -320);
    plan.ScrollRight(INT32_MAX);
    EXPECT_EQ(plan.CentreX(), 1000);
    plan.ScrollUp(INT32_MAX);
    EXPECT_EQ(plan.CentreY(), 0);
    plan.ScrollDown(INT32_MAX);
    EXPECT_EQ(plan.CentreY(), 800);
    plan.SetCentreX(-5);
    EXPECT_EQ(plan.CentreX(), 0);
    plan.SetCentreX(99999);
    EXPECT_EQ(plan.CentreX(), 1000);

    // The greatest zoom, and PlanToScreen's edges.
    for (int i = 0; i < 40; ++i) plan.ZoomIn();
    EXPECT_EQ(plan.ZoomPercent(), CSitePlan::kMaxZoom * 100);
    EXPECT_FALSE(plan.ZoomIn());
    PlanPoint s{-7, -7};
    EXPECT_FALSE(plan.PlanToScreen(plan.CentreX() + 100, plan.CentreY(), area, s));
    EXPECT_EQ(s, (PlanPoint{-7, -7}));
    EXPECT_TRUE(plan.PlanToScreen(plan.CentreX(), plan.CentreY(), area, s));
    EXPECT_EQ(s, (PlanPoint{320 + 31, 240 + 31}));  // the middle of a 64-pixel square

    // No plan or no view: nothing divides by zero.
    CSitePlan empty;
    EXPECT_EQ(empty.ScreenToPlan(PlanRect{}, 5, 5), (PlanPoint{5, 5}));
    empty.CentreOnScreenPoint(PlanRect{}, 5, 5);
    EXPECT_FALSE(empty.ZoomOut());
    empty.SetViewSize(0, 0);
    EXPECT_EQ(empty.VisiblePlan().Width(), 0);
}

}  // namespace
}  // namespace quorl::test
