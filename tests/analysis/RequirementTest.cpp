// Requirements: the strict expression parser, the profiles, and the area
// shares on a grid small enough to work out by hand.

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/RequirementShares.h"

using namespace quorl::analysis;

namespace {

TEST(Requirement, ParsesOnlyMetricOperatorNumber) {
    struct Good {
        const char* text;
        Metric metric;
        Comparison comparison;
        double value;
    };
    const Good good[] = {
        {"signal>=-67", Metric::Signal, Comparison::AtLeast, -67},
        {"secondary>-70.5", Metric::Secondary, Comparison::Above, -70.5},
        {"ap-count>=2", Metric::ApCount, Comparison::AtLeast, 2},
        {"co-channel<=2", Metric::CoChannel, Comparison::AtMost, 2},
        {"co-channel<3", Metric::CoChannel, Comparison::Below, 3},
        {"ap-count=0", Metric::ApCount, Comparison::Equal, 0},
    };
    for (const Good& g : good) {
        std::string error;
        const auto r = ParseRequirement(g.text, error);
        ASSERT_TRUE(r) << g.text << ": " << error;
        EXPECT_EQ(r->metric, g.metric) << g.text;
        EXPECT_EQ(r->comparison, g.comparison) << g.text;
        EXPECT_EQ(r->value, g.value) << g.text;
        EXPECT_EQ(r->Text(), g.text);
    }
    const char* bad[] = {"", "signal", ">=-67", "rssi>=-67", "signal=>-67", "signal>=", "signal >= -67",
                         "signal>=-67dB", "signal>=inf", "signal>=nan", "signal>=0x10", "signal>==-67",
                         "signal<>-67", "signal>=--67", "signal>=-6-7", "signal>=.", "ap-count>=-1",
                         "signal>=-200", "Signal>=-67"};
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(ParseRequirement(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(Requirement, ProfilesAreTheDocumentedFigures) {
    auto texts = [](const std::string& name) {
        std::vector<std::string> out;
        for (const Requirement& r : ProfileRequirements(name).value_or(std::vector<Requirement>{}))
            out.push_back(r.Text());
        return out;
    };
    EXPECT_EQ(texts("voice"), (std::vector<std::string>{"signal>=-67", "secondary>=-67"}));
    EXPECT_EQ(texts("data"), (std::vector<std::string>{"signal>=-70", "secondary>=-75"}));
    EXPECT_EQ(texts("basic"), (std::vector<std::string>{"signal>=-75"}));
    EXPECT_FALSE(ProfileRequirements("Voice"));
}

// A plan of 195 x 20 pixels in cells of 10: 20 columns of 2 rows, the last
// column 5 pixels wide. One point per column of the left half, at the line
// between its two cells; a radius of 5.5 reaches that column's cells (5 away)
// and no other (11.2 away, beyond even the twice-the-radius reach of the
// interpolation). So each of the 10 left columns takes its point's
// value and the rest is not surveyed: 1900 of 3900 square pixels.
CoverageGrid Columns(const std::vector<double>& values) {
    CoverageGrid grid(GridGeometry::WithCellSize(195, 20, 10), 5.5);
    std::vector<ValuePoint> points;
    for (std::size_t c = 0; c < values.size(); ++c) points.push_back({10.0 * c + 5, 10, values[c]});
    grid.Build(points);
    return grid;
}

TEST(RequirementShares, SharesOfTheSurveyedAreaWorkedOutByHand) {
    const std::vector<double> levels = {-60, -60, -60, -60, -60, -67, -67, -70, kNotHeard, -50};
    const std::vector<double> counts = {2, 2, 2, 2, 1.6, 1.4, 0, 3, kNotHeard, 1};
    struct Case {
        const char* expr;
        const std::vector<double>& values;
        double passPercent;  // of the 10 surveyed columns
    };
    const Case cases[] = {
        {"signal>=-67", levels, 80},     // not heard fails
        {"signal>-67", levels, 60},
        {"signal<=-67", levels, 30},     // not heard fails even an upper bound
        {"signal=-70", levels, 10},
        {"secondary>=-100", levels, 90},
        {"ap-count>=2", counts, 60},     // 1.6 rounds to 2, 1.4 to 1
        {"co-channel<=1", counts, 40},   // not heard counts 0
        {"ap-count<1", counts, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expr);
        std::string error;
        const auto r = ParseRequirement(c.expr, error);
        ASSERT_TRUE(r) << error;
        const RequirementShares s = Evaluate(*r, Columns(c.values));
        EXPECT_DOUBLE_EQ(s.passArea, c.passPercent * 20);
        EXPECT_DOUBLE_EQ(s.failArea, (100 - c.passPercent) * 20);
        EXPECT_DOUBLE_EQ(s.unsurveyedArea, 1900);
        EXPECT_NEAR(s.PassPercent(), c.passPercent, 1e-9);
        EXPECT_NEAR(s.FailPercent(), 100 - c.passPercent, 1e-9);
        EXPECT_NEAR(s.UnsurveyedPercent(), 100.0 * 1900 / 3900, 1e-9);
        // The verdict per cell: column 10 onwards not surveyed, both rows alike.
        ASSERT_EQ(s.cells.size(), 40u);
        for (int column = 0; column < 20; ++column) {
            const Verdict expected = column >= 10 ? Verdict::Unsurveyed
                                     : r->Met(c.values[column]) ? Verdict::Pass : Verdict::Fail;
            EXPECT_EQ(s.cells[column], expected) << column;
            EXPECT_EQ(s.cells[20 + column], expected) << column;
        }
        EXPECT_TRUE(s.Passes(c.passPercent));
        EXPECT_FALSE(s.Passes(c.passPercent + 0.01));
    }
}

TEST(RequirementShares, NothingSurveyedNeverPasses) {
    CoverageGrid grid(GridGeometry::WithCellSize(100, 100, 10), 5);
    grid.Build({});
    const RequirementShares s = Evaluate(Requirement{Metric::Signal, Comparison::AtLeast, -90}, grid);
    EXPECT_DOUBLE_EQ(s.unsurveyedArea, 10000);
    EXPECT_DOUBLE_EQ(s.PassPercent(), 0);
    EXPECT_DOUBLE_EQ(s.UnsurveyedPercent(), 100);
    EXPECT_FALSE(s.Passes(0));
}

}  // namespace
