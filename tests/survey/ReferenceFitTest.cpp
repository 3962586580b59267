// Calibration by least squares: reference points made from a known
// transform, exact and disturbed, and the point sets that fix none.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "survey/ReferenceFit.h"

namespace {

using quorl::AffineTransform;
using Refs = std::vector<AffineTransform::Reference>;

// A plan at 0.1 m a pixel, turned 20 degrees, with (47.3773, 8.541) at pixel (100, 200).
AffineTransform Known() {
    const double theta = 20 * M_PI / 180, kLat = 111195.0 / 0.1, kLon = 111195.0 * std::cos(47.3773 * M_PI / 180) / 0.1;
    AffineTransform t;
    t.a = -std::sin(theta) * kLat, t.b = std::cos(theta) * kLon;
    t.c = -std::cos(theta) * kLat, t.d = -std::sin(theta) * kLon;
    t.e = 100 - t.a * 47.3773 - t.b * 8.541;
    t.f = 200 - t.c * 47.3773 - t.d * 8.541;
    return t;
}

// Reference points at these plan pixels, their positions from the known transform.
Refs At(const std::vector<std::pair<double, double>>& pixels) {
    const AffineTransform t = Known();
    Refs refs;
    for (const auto& [x, y] : pixels) {
        const double u = x - t.e, v = y - t.f, det = t.a * t.d - t.b * t.c;
        refs.push_back({x, y, (t.d * u - t.b * v) / det, (t.a * v - t.c * u) / det});
    }
    return refs;
}

const std::vector<std::pair<double, double>> kSpread = {{0, 0},     {800, 40},  {30, 600},  {790, 610}, {400, 300},
                                                        {120, 450}, {650, 150}, {260, 90},  {555, 520}, {700, 380}};

TEST(ReferenceFit, RecoversAKnownTransformFromThreeOrMorePoints) {
    for (std::size_t n : {3u, 4u, 5u, 10u}) {
        SCOPED_TRACE(n);
        std::string error;
        const auto fit = quorl::FitReferences(At({kSpread.begin(), kSpread.begin() + n}), error);
        ASSERT_TRUE(fit) << error;
        // Same plan pixel for positions anywhere on the plan, not only at the references.
        const AffineTransform t = Known();
        for (const auto& r : At({{-200, -100}, {1500, 900}, {333, 777}})) {
            EXPECT_NEAR(fit->transform.a * r.lat + fit->transform.b * r.lon + fit->transform.e, r.px, 1e-3);
            EXPECT_NEAR(fit->transform.c * r.lat + fit->transform.d * r.lon + fit->transform.f, r.py, 1e-3);
        }
        EXPECT_NEAR(fit->transform.a / t.a, 1, 1e-6);
        ASSERT_EQ(fit->residuals.size(), n);
        for (const auto& r : fit->residuals) {
            EXPECT_LT(r.pixels, 1e-3);
            EXPECT_LT(r.metres, 1e-4);
        }
    }
}

TEST(ReferenceFit, DisturbedPointsGiveTheLeastSquaresResiduals) {
    // Plan pixels moved by a few pixels: the residuals are what least
    // squares leaves, whatever the moves were.
    Refs refs = At(kSpread);
    const double moves[][2] = {{3, 0}, {-3, 0}, {0, 4}, {0, -4}, {0, 0}, {2, 2}, {-2, -2}, {0, 0}, {0, 0}, {0, 0}};
    for (std::size_t i = 0; i < refs.size(); ++i) refs[i].px += moves[i][0], refs[i].py += moves[i][1];
    std::string error;
    const auto fit = quorl::FitReferences(refs, error);
    ASSERT_TRUE(fit) << error;
    double sumX = 0, sumY = 0, squares = 0, moved = 0;
    for (std::size_t i = 0; i < refs.size(); ++i) {
        const auto& r = refs[i];
        const double dx = fit->transform.a * r.lat + fit->transform.b * r.lon + fit->transform.e - r.px;
        const double dy = fit->transform.c * r.lat + fit->transform.d * r.lon + fit->transform.f - r.py;
        sumX += dx, sumY += dy;
        squares += fit->residuals[i].pixels * fit->residuals[i].pixels;
        moved += moves[i][0] * moves[i][0] + moves[i][1] * moves[i][1];
        EXPECT_NEAR(fit->residuals[i].pixels, std::hypot(dx, dy), 1e-9);
        // Metres follow the plan's 0.1 m a pixel.
        EXPECT_NEAR(fit->residuals[i].metres, 0.1 * fit->residuals[i].pixels, 0.03 * fit->residuals[i].pixels + 1e-6);
    }
    // Least squares with an offset: residuals balance, and no worse than the true transform.
    EXPECT_NEAR(sumX, 0, 1e-6);
    EXPECT_NEAR(sumY, 0, 1e-6);
    EXPECT_LE(squares, moved + 1e-6);
    EXPECT_GT(fit->rmsPixels, 1);
    EXPECT_NEAR(fit->rmsPixels, std::sqrt(squares / refs.size()), 1e-9);
}

TEST(ReferenceFit, RefusesPointsThatFixNoTransform) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        Refs refs;
        const char* message;
    } cases[] = {
        {"none", {}, "at least three"},
        {"two", At({{0, 0}, {800, 40}}), "at least three"},
        {"three on a plan line", At({{0, 0}, {100, 100}, {250, 250}}), "one line on the plan"},
        {"five on a plan line", At({{0, 10}, {100, 10}, {200, 10}, {300, 10}, {400, 10}}), "one line"},
        {"three in one spot", At({{5, 5}, {5, 5}, {5, 5}}), "one line"},
        {"positions on a line", {{0, 0, 47.0, 8.0}, {800, 40, 47.001, 8.001}, {30, 600, 47.002, 8.002}}, "on the earth"},
        {"not a number", {{0, 0, 47, 8}, {800, 40, nan, 8.001}, {30, 600, 47.002, 8.0}}, "not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(quorl::FitReferences(c.refs, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(ReferenceFit, GroundDistanceOfKnownPlaces) {
    // One minute of latitude is about a nautical mile; a degree of longitude shrinks with cos(latitude).
    EXPECT_NEAR(quorl::GroundDistance(47, 8, 47 + 1.0 / 60, 8), 1853.2, 1);
    EXPECT_NEAR(quorl::GroundDistance(60, 8, 60, 9), 111195.0 * 0.5, 20);
    EXPECT_EQ(quorl::GroundDistance(47, 8, 47, 8), 0);
}

}  // namespace
