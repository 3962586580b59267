// Colour scales and the grid picture: the classes match the site view's
// markers, viridis runs from dark to light, counts are whole classes, and
// no-data cells stay transparent.

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>

#include "coverage/ColourScale.h"
#include "coverage/CoverageImage.h"
#include "siteview/SiteColours.h"

using quorl::coverage::ColourScale;

TEST(ColourScale, ClassesMatchTheSiteViewMarkers) {
    namespace c = quorl::colour;
    struct Case {
        double level;
        QRgb colour;
    };
    const ColourScale scale = ColourScale::SignalClasses();
    for (const Case& k : {Case{-120, c::kBlack}, Case{-91, c::kBlack}, Case{-90, c::kRed}, Case{-71, c::kRed},
                          Case{-70, c::kGreen}, Case{-51, c::kGreen}, Case{-50, c::kBlue}, Case{-31, c::kBlue},
                          Case{-30, c::kWhite}, Case{0, c::kWhite}, Case{-70.4, c::kGreen}, Case{-70.6, c::kRed}})
        EXPECT_EQ(scale.ColourOf(k.level), k.colour) << k.level;
    EXPECT_EQ(scale.Entries().size(), 5u);
}

TEST(ColourScale, ViridisRisesInLightnessAndCountsAreWholeClasses) {
    const ColourScale viridis = ColourScale::Viridis(-90, -30);
    // Luma: what a grey-scale print or a colour-blind eye goes by.
    auto lightness = [&](double v) {
        const QRgb c = viridis.ColourOf(v);
        return 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c);
    };
    for (double v = -90; v < -30; v += 1) EXPECT_LT(lightness(v), lightness(v + 1)) << v;
    EXPECT_EQ(viridis.ColourOf(-200), viridis.ColourOf(-90));
    EXPECT_EQ(viridis.ColourOf(10), viridis.ColourOf(-30));
    EXPECT_EQ(qAlpha(viridis.ColourOf(NAN)), 0);
    const auto ticks = viridis.Entries();
    EXPECT_EQ(ticks.front().value, -90);
    EXPECT_EQ(ticks.back().value, -30);
    EXPECT_EQ(ticks.size(), 7u);

    const ColourScale counts = ColourScale::Counts(4);
    EXPECT_EQ(counts.ColourOf(1.4), counts.ColourOf(1));
    EXPECT_NE(counts.ColourOf(1.6), counts.ColourOf(1));
    EXPECT_EQ(counts.ColourOf(9), counts.ColourOf(4));
    EXPECT_EQ(counts.Entries().back().label, QStringLiteral("4+"));
}

TEST(CoverageImage, OnePixelPerCellTransparentWithoutData) {
    const float values[] = {-90, NAN, -30, -60, NAN, -75};
    const QImage image = quorl::coverage::GridImage(values, 3, 2, ColourScale::Viridis(), 255);
    ASSERT_EQ(image.size(), QSize(3, 2));
    for (int i = 0; i < 6; ++i) {
        const QRgb pixel = image.pixel(i % 3, i / 3);
        if (std::isnan(values[i])) {
            EXPECT_EQ(qAlpha(pixel), 0) << i;
        } else {
            EXPECT_EQ(qAlpha(pixel), 255) << i;
            // The lookup table is fine enough to be within a step of the scale.
            const QRgb exact = ColourScale::Viridis().ColourOf(values[i]);
            EXPECT_LE(std::abs(qGreen(pixel) - qGreen(exact)), 2) << i;
        }
    }
    const auto g = quorl::analysis::GridGeometry::WithCellSize(801, 600, 4);
    EXPECT_EQ(quorl::coverage::GridPlanRect(g), QRectF(0, 0, 804, 600));
}

TEST(CoverageImage, DiscreteMapsShowOnlyTheLegendsColoursAndNotHeardIsGrey) {
    // Two count classes side by side, stretched ten times as a map is drawn.
    const float counts[] = {1, 3, -INFINITY, 3};
    const auto g = quorl::analysis::GridGeometry::WithCellSize(40, 20, 10);
    const ColourScale scale = ColourScale::Counts(4);
    const QImage layer = quorl::coverage::GridImage(counts, 4, 1, scale, 255);
    EXPECT_EQ(layer.pixel(2, 0), ColourScale::kNotHeardColour);
    QImage map(40, 10, QImage::Format_ARGB32_Premultiplied);
    map.fill(Qt::transparent);
    QPainter painter(&map);
    quorl::coverage::DrawCoverage(painter, layer, g, !scale.Discrete());
    painter.end();
    for (int x = 0; x < map.width(); ++x) {
        const QRgb pixel = map.pixel(x, 5);
        EXPECT_TRUE(pixel == scale.ColourOf(1) || pixel == scale.ColourOf(3) || pixel == ColourScale::kNotHeardColour)
            << x << ": " << std::hex << pixel;
    }
    // Not heard is none of the scales' colours, and no level's.
    for (const ColourScale& s : {ColourScale::Viridis(), ColourScale::SignalClasses(), ColourScale::Counts()}) {
        EXPECT_EQ(s.ColourOf(-INFINITY), ColourScale::kNotHeardColour);
        for (const auto& e : s.Entries()) EXPECT_NE(e.colour, ColourScale::kNotHeardColour) << e.label.toStdString();
    }
}
