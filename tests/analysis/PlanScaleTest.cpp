// Metres per plan pixel: from a GPS transform against hand computations and
// against the ground a pixel covers, from a side file next to the
// projection or in the cache, and the texts and bars the maps show.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <optional>

#include "analysis/PlanScale.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {
namespace {

using namespace quorl::analysis;

constexpr double kMetresPerDegree = 111195.0802;  // mean radius · π / 180

TEST(PlanScaleTest, GpsTransformScaleMatchesTheHandComputation) {
    struct Case {
        const char* what;
        AffineTransform t;
        double x, y;
        std::optional<double> metres;
    };
    const Case cases[] = {
        // 1e-5 degree a pixel each way on the equator: 1.11195 m.
        {"equator", {0, 1e5, -1e5, 0, 0, 0}, 0, 0, kMetresPerDegree * 1e-5},
        // At 60° a degree of longitude is half as long: sides 0.556 and 1.112 m.
        {"sixty north", {0, 1e5, -1e5, 0, 0, 6e6}, 0, 0, kMetresPerDegree * 1e-5 * std::sqrt(0.5)},
        // The same plan, its centre at 60° south.
        {"sixty south", {0, 1e5, -1e5, 0, 0, -6e6}, 0, 0, kMetresPerDegree * 1e-5 * std::sqrt(0.5)},
        // Twice the pixels per degree of longitude only: the side lengths multiply.
        {"stretched", {0, 2e5, -1e5, 0, 0, 0}, 0, 0, kMetresPerDegree * 1e-5 * std::sqrt(0.5)},
        {"no inverse", {1, 2, 2, 4, 0, 0}, 0, 0, std::nullopt},
        {"at the pole", {0, 1e5, -1e5, 0, 0, 9e6}, 0, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto got = ScaleOfTransform(c.t, c.x, c.y);
        ASSERT_EQ(got.has_value(), c.metres.has_value());
        if (c.metres) {
            EXPECT_NEAR(*got, *c.metres, *c.metres * 1e-6);
        }
    }

    // A rotated, sheared plan: the square root of the ground area of a
    // 100-pixel square at the centre, from the positions of its corners.
    const auto plan = AffineTransform::Solve({{{0, 0, 47.40, -8.56}, {800, 100, 47.39, -8.53}, {-50, 600, 47.37, -8.57}}});
    ASSERT_TRUE(plan);
    const auto ground = [&](int x, int y) {
        const double lat = plan->Latitude(x, y), lon = plan->Longitude(x, y);
        return std::pair{lat * kMetresPerDegree, lon * kMetresPerDegree * std::cos(lat * M_PI / 180)};
    };
    const auto [n0, e0] = ground(400, 300);
    const auto [n1, e1] = ground(500, 300);
    const auto [n2, e2] = ground(400, 400);
    const double area = std::fabs((n1 - n0) * (e2 - e0) - (e1 - e0) * (n2 - n0)) / 1e4;
    EXPECT_NEAR(*ScaleOfTransform(*plan, 400, 300), std::sqrt(area), std::sqrt(area) * 1e-4);
}

// Points the user's cache folder somewhere for one test.
struct CacheHome {
    explicit CacheHome(const std::string& path) {
        if (const char* was = std::getenv("XDG_CACHE_HOME")) old = was;
        ::setenv("XDG_CACHE_HOME", path.c_str(), 1);
    }
    ~CacheHome() {
        if (old) ::setenv("XDG_CACHE_HOME", old->c_str(), 1);
        else ::unsetenv("XDG_CACHE_HOME");
    }
    std::optional<std::string> old;
};

TEST(PlanScaleTest, SideFileBesideOrInTheCacheNeverInTheProjection) {
    TempDir dir, cache;
    CacheHome home(cache.Path().string());
    PlanSource linear;
    linear.kind = 1, linear.width = 800, linear.height = 600;
    const Bytes projection{1, 2, 3};
    std::string error, warning;

    // Beside the projection, read back for the same plan; the projection untouched.
    const std::string site = dir / "site.lpf";
    WriteBytes(site, projection);
    EXPECT_FALSE(ScaleOfPlan(site, linear, warning).Known());
    EXPECT_EQ(WriteScaleFile(site, 0.05, 800, 600, error), site + ".scale") << error;
    PlanScale s = ScaleOfPlan(site, linear, warning);
    EXPECT_EQ(s.from, PlanScale::From::SideFile);
    EXPECT_DOUBLE_EQ(s.metresPerPixel, 0.05);
    EXPECT_EQ(ReadBytes(site), projection);
    EXPECT_TRUE(warning.empty()) << warning;

    // Made for another plan, or not a scale file: no scale, and a word why.
    linear.width = 801;
    EXPECT_FALSE(ScaleOfPlan(site, linear, warning).Known());
    EXPECT_NE(warning.find("800x600"), std::string::npos) << warning;
    linear.width = 800;
    for (const std::string bad : {"", "quorl-plan-scale 1\nmetres-per-pixel -1\nplan 800x600\n",
                                  "quorl-plan-scale 1\nmetres-per-pixel nan\nplan 800x600\n", "0.05\n"}) {
        std::ofstream(site + ".scale") << bad;
        warning.clear();
        EXPECT_FALSE(ScaleOfPlan(site, linear, warning).Known()) << bad;
        EXPECT_NE(warning.find("not a plan scale file"), std::string::npos) << bad;
    }

    // A folder that refuses the name (too long for it): the cache.
    const std::string longName = dir / (std::string(250, 'p') + ".lpf");
    WriteBytes(longName, projection);
    const std::string cached = WriteScaleFile(longName, 0.02, 800, 600, error);
    EXPECT_EQ(cached, ScaleFileInCache(longName)) << error;
    EXPECT_EQ(cached.rfind(cache.Path().string(), 0), 0u);
    s = ScaleOfPlan(longName, linear, warning);
    EXPECT_EQ(s.sideFile, cached);
    EXPECT_DOUBLE_EQ(s.metresPerPixel, 0.02);
    EXPECT_EQ(ReadBytes(longName), projection);

    // A GPS projection's own transform wins over any side file.
    PlanSource gps = linear;
    gps.kind = 0, gps.transform = {0, 1e5, -1e5, 0, 400, 300};
    s = ScaleOfPlan(site, gps, warning);
    EXPECT_EQ(s.from, PlanScale::From::Transform);
    EXPECT_NEAR(s.metresPerPixel, kMetresPerDegree * 1e-5, 1e-9);
}

TEST(PlanScaleTest, DistancesAreasAndBarsInMetresOrPixels) {
    struct Parsed {
        const char* text;
        std::optional<double> value;
        bool metres;
    };
    for (const Parsed& c : std::initializer_list<Parsed>{{"120", 120, false}, {"120px", 120, false}, {"5m", 5, true},
                                                          {"2.5m", 2.5, true}, {"0m", {}, false}, {"-5m", {}, false},
                                                          {"m", {}, false}, {"5mm", {}, false}, {"px", {}, false},
                                                          {"5 m", {}, false}, {"infm", {}, false}, {"", {}, false}}) {
        const auto d = ParseDistance(c.text);
        ASSERT_EQ(d.has_value(), c.value.has_value()) << c.text;
        if (d) {
            EXPECT_EQ(std::pair(d->value, d->metres), std::pair(*c.value, c.metres)) << c.text;
        }
    }

    const PlanScale none, half{PlanScale::From::SideFile, 0.5, "x"};
    EXPECT_EQ(ToPixels({5, true}, half), 10.0);
    EXPECT_EQ(ToPixels({5, false}, half), 5.0);
    EXPECT_FALSE(ToPixels({5, true}, none));
    EXPECT_EQ(DistanceText(250, none), "250 px");
    EXPECT_EQ(DistanceText(250, half), "125 m");
    EXPECT_EQ(DistanceText(9, half), "4.5 m");
    EXPECT_EQ(AreaText(40000, none), "40000 px\u00B2");
    EXPECT_EQ(AreaText(40000, half), "10000 m\u00B2");
    // The default radius stops at 15 m where metres are known, nowhere else.
    EXPECT_DOUBLE_EQ(DefaultRadiusCap(half), 30);
    EXPECT_EQ(DefaultRadiusCap(none), std::numeric_limits<double>::infinity());

    struct Bar {
        double metresPerPixel, maxPixels, metres;
    };
    for (const Bar& b : {Bar{0.05, 200, 10}, Bar{0.05, 199, 5}, Bar{0.0747, 160, 10}, Bar{1, 1000, 1000},
                         Bar{1, 999, 500}, Bar{0.01, 25, 0.2}, Bar{3, 40, 100}, Bar{1e-6, 10, 0}}) {
        const double got = ScaleBarMetres(b.metresPerPixel, b.maxPixels);
        EXPECT_NEAR(got, b.metres, 1e-12) << b.metresPerPixel << " " << b.maxPixels;
        EXPECT_LE(got / b.metresPerPixel, b.maxPixels + 1e-9);
    }
}

}  // namespace
}  // namespace quorl::test
