// Which BSSIDs are one radio: address block, channel and alike levels, on
// surveys made by hand point by point.

#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/Metrics.h"
#include "analysis/RadioGroups.h"

namespace quorl::analysis {
namespace {

struct Heard {
    int last;     // last byte of 00-0A-1B-2C-3D-..
    int channel;
    std::vector<int> levels;  // by point; 0 = not heard there
};

Survey SurveyOf(const std::vector<Heard>& heard) {
    Survey s;
    std::size_t points = 0;
    for (const Heard& h : heard) points = std::max(points, h.levels.size());
    s.points.resize(points);
    for (const Heard& h : heard)
        for (std::size_t i = 0; i < h.levels.size(); ++i)
            if (h.levels[i] != 0)
                s.points[i].aps.push_back(ApReading{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, static_cast<std::uint8_t>(h.last)},
                                                    "net" + std::to_string(h.last), h.channel, h.levels[i]});
    return s;
}

// The radios as sorted lists of last bytes, e.g. {{0x40, 0x41}, {0x50}}.
std::vector<std::vector<int>> Radios(const Survey& s) {
    const SurveySummary summary = Summarise(s);
    std::vector<std::vector<int>> out;
    for (const RadioGroup& g : GroupByRadio(summary.accessPoints, s)) {
        std::vector<int> members;
        for (std::size_t i : g.members) members.push_back(summary.accessPoints[i].mac[5]);
        std::sort(members.begin(), members.end());
        out.push_back(members);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(RadioGroupsTest, OneRadioIsOneBlockOneChannelHeardAlike) {
    const std::vector<int> near = {-40, -55, -70, -62};
    struct Case {
        const char* what;
        std::vector<Heard> heard;
        std::vector<std::vector<int>> radios;
    };
    const Case cases[] = {
        {"three SSIDs of one radio", {{0x40, 6, near}, {0x41, 6, {-41, -54, -71, -62}}, {0x4F, 6, {-39, -56, -70, -60}}},
         {{0x40, 0x41, 0x4F}}},
        {"the same box's other band", {{0x40, 6, near}, {0x41, 36, near}}, {{0x40}, {0x41}}},
        {"consecutive across a block", {{0x3F, 6, near}, {0x40, 6, near}}, {{0x3F}, {0x40}}},
        {"another box in the block", {{0x40, 6, near}, {0x42, 6, {-70, -52, -41, -80}}}, {{0x40}, {0x42}}},
        {"never heard together", {{0x40, 6, {-40, -50, 0, 0}}, {0x41, 6, {0, 0, -40, -50}}}, {{0x40}, {0x41}}},
        // One point where a body stood in the way of one of them: the median holds.
        {"one odd point", {{0x40, 6, near}, {0x41, 6, {-40, -75, -70, -62}}}, {{0x40, 0x41}}},
        {"just within 6 dB", {{0x40, 6, {-40, -50, -60}}, {0x41, 6, {-46, -56, -66}}}, {{0x40, 0x41}}},
        {"just past 6 dB", {{0x40, 6, {-40, -50, -60}}, {0x41, 6, {-47, -57, -67}}}, {{0x40}, {0x41}}},
        // Joined through a third that each is heard alike with.
        {"a chain", {{0x40, 6, {-40, 0, -60}}, {0x41, 6, {-41, -50, -61}}, {0x42, 6, {0, -51, 0}}},
         {{0x40, 0x41, 0x42}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Radios(SurveyOf(c.heard)), c.radios) << c.what;
}

TEST(RadioGroupsTest, RadioFilterTakesTheRadioOfTheAddressGiven) {
    const Survey s = SurveyOf({{0x40, 6, {-40, -60}}, {0x41, 6, {-42, -61}}, {0x41 + 0x10, 6, {-30, -80}},
                               {0x42, 11, {-40, -60}}});
    const auto members = RadioMembers(s, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x41});
    ASSERT_EQ(members.size(), 2u);
    EXPECT_TRUE(RadioMembers(s, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x43}).empty());

    MetricOptions options = DefaultOptions(Metric::Signal);
    options.filter.radio = MacAddress{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x41};
    options.filter.radioMembers = members;
    EXPECT_FALSE(options.filter.Empty());
    EXPECT_EQ(options.filter.Describe(), "radio 00-0A-1B-2C-3D-4x");
    // The strongest of the radio's two networks, not the louder box at 51 nor channel 11.
    EXPECT_EQ(PointValue(s.points[0], options), -40.0);
    EXPECT_EQ(PointValue(s.points[1], options), -60.0);
    options.metric = Metric::ApCount;
    options.threshold = -61;
    EXPECT_EQ(PointValue(s.points[1], options), 2.0);
}

}  // namespace
}  // namespace quorl::analysis
