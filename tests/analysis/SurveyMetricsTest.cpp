// Reading a survey onto the plan, the per-point metrics with their filters
// and the summary a report shows, on small hand-made collections.

#include <gtest/gtest.h>

#include "analysis/Metrics.h"
#include "analysis/SurveyPoints.h"
#include "analysis/SurveySummary.h"
#include "tests/analysis/AnalysisTestSupport.h"

using namespace quorl;
using namespace quorl::analysis;
using test::Ap;
using test::CollectionBuilder;

namespace {

// x = 10000 (lon - 8), y = -10000 (lat - 47.01): 47.0 N 8.01 E is (100, 100).
constexpr AffineTransform kTransform{0, 10000, -10000, 0, -80000, 470100};
const Placement kPlan{kTransform, 400, 300};
const std::vector<Ap> kSome{{1, 6, -60, "A"}};

struct Loaded {
    bool ok;
    Survey survey;
    std::string error;
};

Loaded Load(const test::Bytes& bytes, const Placement& placement = kPlan) {
    test::TempDir dir;
    test::WriteBytes(dir / "s.ssd", bytes);
    Loaded l;
    l.ok = LoadSurvey(dir / "s.ssd", placement, l.survey, l.error);
    return l;
}

}  // namespace

TEST(SurveyPoints, PlacesEachKindAndCountsWhatIsLeftOut) {
    CollectionBuilder b;
    b.Plan(10, 20, kSome)
        .Plan(30, 40, {}, 17)
        .Gps(47.0, 8.01, kSome)
        .Gps(46.999, 8.02, kSome, 1)
        .Plan(50, 50, kSome, 255)
        .Gps(0, 0, kSome)
        .Plan(1000, 1000, kSome)
        .Plan(5, 5, kSome, 9);
    const Loaded l = Load(b.Get());
    ASSERT_TRUE(l.ok) << l.error;
    const Survey& s = l.survey;
    ASSERT_EQ(s.points.size(), 4u);
    struct Expected {
        double x, y;
        int kind;
        unsigned index;
    };
    const Expected expected[] = {{10, 20, 2, 0}, {30, 40, 17, 1}, {100, 100, 0, 2}, {200, 110, 1, 3}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(s.points[i].x, expected[i].x, 1e-3) << i;
        EXPECT_NEAR(s.points[i].y, expected[i].y, 1e-3) << i;
        EXPECT_EQ(s.points[i].kind, expected[i].kind) << i;
        EXPECT_EQ(s.points[i].index, expected[i].index) << i;
    }
    EXPECT_EQ(s.groups, 8u);
    EXPECT_EQ(s.deleted, 1u);
    EXPECT_EQ(s.withoutPosition, 1u);
    EXPECT_EQ(s.offPlan, 1u);
    EXPECT_EQ(s.unknownKind, 1u);
    EXPECT_EQ(s.gpsPoints, 2u);
    EXPECT_EQ(s.points[0].aps.size(), 1u);
    EXPECT_EQ(s.points[0].aps[0].level, -60);
    EXPECT_EQ(s.name, "s.ssd");
}

TEST(SurveyPoints, RefusesWhatCannotGiveAMap) {
    const Placement singular{AffineTransform{0, 0, 0, 0, 5, 5}, 400, 300};
    test::Bytes truncated =
        CollectionBuilder().Plan(20, 10, {{1, 1, -50, "A"}}).Plan(10, 10, {{1, 1, -50, "A"}, {2, 1, -60, "A"}}).Get();
    truncated.resize(truncated.size() - 10);
    struct Case {
        const char* name;
        test::Bytes bytes;
        Placement placement;
        const char* error;  // empty: accepted
    };
    const Case cases[] = {
        {"GPS points on a transform that cannot be inverted", CollectionBuilder().Gps(47, 8.01, kSome).Get(), singular,
         "cannot be inverted"},
        {"plan taps need no transform", CollectionBuilder().Plan(10, 10, kSome).Get(), singular, ""},
        {"most points off the plan", CollectionBuilder().Plan(10, 10, kSome).Plan(500, 10, kSome).Plan(10, 400, kSome).Get(),
         kPlan, "outside the plan"},
        {"half off the plan is still a survey", CollectionBuilder().Plan(10, 10, kSome).Plan(500, 10, kSome).Get(), kPlan, ""},
        {"only deleted points", CollectionBuilder().Plan(10, 10, kSome, 255).Get(), kPlan, "no survey point with a position"},
        {"an empty collection", CollectionBuilder().Get(), kPlan, "no survey point with a position"},
        {"not a collection file", test::Bytes{1, 2, 3}, kPlan, "not a readable collection file"},
        {"a last group cut short", truncated, kPlan, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded l = Load(c.bytes, c.placement);
        EXPECT_EQ(l.ok, *c.error == '\0');
        if (*c.error) {
            EXPECT_NE(l.error.find(c.error), std::string::npos) << l.error;
        }
    }
    // The unfinished group is no point: one point, its bytes counted.
    EXPECT_EQ(Load(truncated).survey.groups, 1u);
    EXPECT_EQ(Load(truncated).survey.unfinishedBytes, 36u + 2 * 46 - 10);
    Survey s;
    std::string error;
    EXPECT_FALSE(LoadSurvey("/nonexistent/s.ssd", kPlan, s, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(Metrics, EachMetricAndFilterOnOnePoint) {
    SurveyPoint point;
    point.aps = {{{0, 0, 0, 0, 0, 1}, "A", 1, -50},  {{0, 0, 0, 0, 0, 2}, "B", 1, -60},
                 {{0, 0, 0, 0, 0, 3}, "A", 6, -70},  {{0, 0, 0, 0, 0, 4}, "C", 36, -66},
                 {{0, 0, 0, 0, 0, 5}, "B", 1, -84},  {{0, 0, 0, 0, 0, 6}, "D", 1, -86},
                 {{0, 0, 0, 0, 0, 2}, "B", 1, -55}};  // the same AP heard again, stronger
    auto with = [](Metric m, auto set) {
        MetricOptions o = DefaultOptions(m);
        set(o);
        return o;
    };
    auto none = [](MetricOptions&) {};
    auto ssid = [](const char* s) { return [s](MetricOptions& o) { o.filter.ssid = s; }; };
    auto band = [](Band b) { return [b](MetricOptions& o) { o.filter.band = b; }; };
    struct Case {
        const char* name;
        MetricOptions options;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"signal", with(Metric::Signal, none), -50},
        {"signal of one SSID takes its AP's strongest record", with(Metric::Signal, ssid("B")), -55},
        {"signal on 5 GHz", with(Metric::Signal, band(Band::Ghz5)), -66},
        {"signal on channel 6", with(Metric::Signal, [](MetricOptions& o) { o.filter.channel = 6; }), -70},
        {"signal of one MAC", with(Metric::Signal, [](MetricOptions& o) { o.filter.mac = MacAddress{0, 0, 0, 0, 0, 4}; }), -66},
        {"signal of an SSID not heard", with(Metric::Signal, ssid("Z")), std::nullopt},
        {"secondary is another AP", with(Metric::Secondary, none), -55},
        {"secondary within an SSID", with(Metric::Secondary, ssid("A")), -70},
        {"secondary with one AP", with(Metric::Secondary, ssid("C")), std::nullopt},
        {"ap-count at -67", with(Metric::ApCount, none), 3},
        {"ap-count on 2.4 GHz", with(Metric::ApCount, band(Band::Ghz24)), 2},
        {"ap-count of an SSID not heard", with(Metric::ApCount, ssid("Z")), 0},
        {"ap-count at -90", with(Metric::ApCount, [](MetricOptions& o) { o.threshold = -90; }), 6},
        {"co-channel at -85", with(Metric::CoChannel, none), 2},
        {"co-channel counts other networks", with(Metric::CoChannel, ssid("A")), 2},
        {"co-channel alone on its channel", with(Metric::CoChannel, band(Band::Ghz5)), 0},
        {"co-channel without a serving AP", with(Metric::CoChannel, ssid("Z")), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(PointValue(point, c.options), c.value) << c.name;

    const SurveyPoint silent;
    EXPECT_EQ(PointValue(silent, DefaultOptions(Metric::Signal)), std::nullopt);
    EXPECT_EQ(PointValue(silent, DefaultOptions(Metric::ApCount)), 0);

    Survey survey;
    survey.points = {point};
    Filter f;
    f.ssid = "Z";
    EXPECT_FALSE(AnyMatch(survey, f));
    EXPECT_EQ(f.Describe(), "SSID Z");
    f.ssid = "D";
    f.band = Band::Ghz24;
    EXPECT_TRUE(AnyMatch(survey, f));
    EXPECT_EQ(f.Describe(), "SSID D, 2.4 GHz");
    EXPECT_EQ(Filter{}.Describe(), "all networks");
}

TEST(Metrics, NamesAndMacAddressesParse) {
    for (Metric m : {Metric::Signal, Metric::Secondary, Metric::ApCount, Metric::CoChannel})
        EXPECT_EQ(ParseMetric(MetricName(m)), m);
    EXPECT_EQ(ParseMetric("Signal"), std::nullopt);
    struct Case {
        const char* text;
        bool ok;
    };
    for (const Case& c : {Case{"00-0A-1B-2C-3D-01", true}, Case{"00:0a:1b:2c:3d:01", true}, Case{"00-0A-1B:2C-3D-01", false},
                          Case{"00-0A-1B-2C-3D", false}, Case{"00-0A-1B-2C-3D-0G", false}, Case{"", false}}) {
        MacAddress mac{};
        EXPECT_EQ(ParseMac(c.text, mac), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(MacText(mac), "00-0A-1B-2C-3D-01");
        }
    }
}

TEST(SurveySummary, AccessPointsChannelsAndSsids) {
    CollectionBuilder b;
    b.Plan(0, 0, {{1, 1, -40, "A"}, {2, 36, -70, "B"}})
        .Plan(100, 0, {{1, 1, -50, "A"}, {2, 36, -60, "B"}, {3, 6, -80, ""}})
        .Plan(200, 0, {});
    const Loaded l = Load(b.Get());
    ASSERT_TRUE(l.ok) << l.error;
    const SurveySummary s = Summarise(l.survey);
    ASSERT_EQ(s.accessPoints.size(), 3u);
    const AccessPointRow& first = s.accessPoints[0];
    EXPECT_EQ(first.mac[5], 1);
    EXPECT_EQ(first.strongest, -40);
    EXPECT_EQ(first.strongestX, 0);
    EXPECT_EQ(first.pointsHeard, 2u);
    // Power-weighted: -40 dBm weighs ten times -50 dBm.
    EXPECT_NEAR(first.estimatedX, 100.0 / 11.0, 1e-9);
    EXPECT_EQ(s.accessPoints[1].band, Band::Ghz5);
    EXPECT_EQ(s.accessPoints[1].strongestX, 100);
    EXPECT_EQ((std::map<int, std::uint32_t>{{1, 1}, {6, 1}, {36, 1}}), s.apsByChannel);
    // Hidden networks have no map of their own.
    EXPECT_EQ((std::vector<std::pair<std::string, int>>{{"A", -40}, {"B", -60}}), s.ssids);
}
