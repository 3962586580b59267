// Map options through the built program: quorl proj scale writes its side
// file and nothing else, heatmap's --radius in metres is the same map as
// the radius in pixels (and a default radius stops at 15 m), the scale bar is as long as it says, and --radio
// picks the networks of one radio.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "coverage/ScaleBar.h"
#include "tests/analysis/AnalysisTestSupport.h"

namespace {

using quorl::test::TempDir;

const std::string kDemo = QUORL_DEMO_DIR;

using Ran = quorl::test::Outcome;

Ran Quorl(const std::string& args, const TempDir& dir) {
    return quorl::test::RunCommandLine(std::string(QUORL_TOOL) + " " + args, dir);
}

TEST(MapOptionsCommands, ProjScaleKeepsTheScaleBesideAndRefusesWhatItCannotMeasure) {
    TempDir dir;
    std::filesystem::copy_file(kDemo + "/demo.lpf", dir / "site.lpf");
    std::filesystem::copy_file(kDemo + "/demo.gpf", dir / "site.gpf");
    const auto lpf = quorl::test::ReadBytes(dir / "site.lpf");

    struct Case {
        std::string args;
        int status;
        std::string says;
    };
    const Case refused[] = {
        {"site.lpf --points \"10,10;10,10\" --metres 5", 1, "at least one plan pixel apart"},
        {"site.lpf --points \"10,10;20,10\" --metres 0", 1, "above 0"},
        {"site.lpf --points \"10,10;20\" --metres 5", 1, "two plan pixels"},
        {"site.lpf --points \"10,10;20,10\"", 2, "usage"},
        {"site.gpf --points \"10,10;20,10\" --metres 5", 1, "is a GPS projection"},
    };
    for (const Case& c : refused) {
        const Ran r = Quorl("proj scale " + (dir / c.args), dir);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "site.lpf.scale"));
    EXPECT_FALSE(std::filesystem::exists(dir / "site.gpf.scale"));

    // 300 by 400 pixels apart: 500 pixels for 25 m.
    Ran r = Quorl("proj scale " + (dir / "site.lpf") + " --points \"10,20;310,420\" --metres 25m", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1 px = 0.05 m"), std::string::npos) << r.out;
    EXPECT_EQ(quorl::test::ReadBytes(dir / "site.lpf"), lpf);
    r = Quorl("proj scale " + (dir / "site.lpf"), dir);
    EXPECT_NE(r.out.find("1 px = 0.05 m (" + (dir / "site.lpf.scale") + ")"), std::string::npos) << r.out;
    r = Quorl("proj scale " + (dir / "site.gpf"), dir);
    EXPECT_NE(r.out.find("from its GPS transform"), std::string::npos) << r.out;
}

TEST(MapOptionsCommands, RadiusInMetresIsTheRadiusInPixelsOfTheScale) {
    TempDir dir;
    std::filesystem::copy_file(kDemo + "/demo.lpf", dir / "site.lpf");
    // Plan taps of the demo survey are on the linear plan's pixels too.
    const std::string survey = kDemo + "/demo.ssd";
    const std::string heatmap = "heatmap " + survey + " --projection " + (dir / "site.lpf") + " --metric signal ";

    // No scale yet: metres are refused and nothing is written.
    Ran r = Quorl(heatmap + "--radius 4m -o " + (dir / "m.png"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("needs a plan scale"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "m.png"));

    ASSERT_EQ(Quorl("proj scale " + (dir / "site.lpf") + " --points \"0,0;100,0\" --metres 5", dir).status, 0);
    r = Quorl(heatmap + "--radius 4m -o " + (dir / "m.png") + " --values " + (dir / "m.csv"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("radius 4.0 m"), std::string::npos) << r.out;
    ASSERT_EQ(Quorl(heatmap + "--radius 80px -o " + (dir / "p.png") + " --values " + (dir / "p.csv"), dir).status, 0);
    const auto metres = quorl::test::ReadBytes(dir / "m.csv"), pixels = quorl::test::ReadBytes(dir / "p.csv");
    EXPECT_EQ(metres, pixels);
    // Some cells are beyond 80 px of every point, some within: the radius did something.
    const std::string csv(metres.begin(), metres.end());
    EXPECT_NE(csv.find(",\n"), std::string::npos);
    EXPECT_NE(csv.find(",-"), std::string::npos);

    // At 0.5 m a pixel the spacing would give 84 m: the default stops at 15 m.
    ASSERT_EQ(Quorl("proj scale " + (dir / "site.lpf") + " --points \"0,0;100,0\" --metres 50", dir).status, 0);
    r = Quorl(heatmap + "-o " + (dir / "d.png"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("radius 15 m,"), std::string::npos) << r.out;
}

TEST(MapOptionsCommands, ScaleBarIsAsLongAsItsLabelSays) {
    // Fonts need an application; no display is used.
    static int argc = 3;
    static char name[] = "test", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static QGuiApplication app(argc, argv);
    struct Case {
        double metresPerPixel;
        int planWidth;
        double metres;
        const char* label;
    };
    const Case cases[] = {{0.05, 800, 10, "10 m"}, {0.0747, 800, 10, "10 m"}, {0.5, 800, 100, "100 m"},
                          {0.001, 800, 0.2, "20 cm"}, {10, 800, 2000, "2 km"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto length = quorl::coverage::ScaleBarFor(c.metresPerPixel, c.planWidth);
        EXPECT_NEAR(length.metres, c.metres, 1e-9);
        EXPECT_EQ(quorl::coverage::ScaleBarLabel(length.metres), QString::fromLatin1(c.label));

        QImage image(c.planWidth, 300, QImage::Format_RGB32);
        image.fill(QColor(200, 200, 200));
        QPainter painter(&image);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        const QRect box = quorl::coverage::DrawScaleBar(painter, image.rect(), c.metresPerPixel, font);
        painter.end();
        ASSERT_TRUE(image.rect().contains(box));
        // The bar's frame: the first and last black pixel on the box's middle row.
        const int y = box.center().y();
        int first = -1, last = -1;
        for (int x = box.left(); x <= box.right(); ++x) {
            if (image.pixel(x, y) != qRgb(0, 0, 0)) continue;
            if (first < 0) first = x;
            // Stop at the label: the bar is one run of black and white.
            if (last >= 0 && x > last + 1 && image.pixel(x - 1, y) != qRgb(255, 255, 255)) break;
            last = x;
        }
        EXPECT_NEAR(last - first + 1, c.metres / c.metresPerPixel, 1.0);
    }
}

TEST(MapOptionsCommands, RadioFilterIsTheRadiosNetworksOrRefused) {
    TempDir dir;
    const std::string heatmap =
        "heatmap " + kDemo + "/demo.ssd --projection " + kDemo + "/demo.gpf --metric signal -o " + (dir / "map.png");
    // The demo's networks are each a radio of their own: the radio is its one BSSID.
    ASSERT_EQ(Quorl(heatmap + " --radio 00-0a-1b-2c-3d-02 --values " + (dir / "radio.csv"), dir).status, 0);
    ASSERT_EQ(Quorl(heatmap + " --mac 00-0A-1B-2C-3D-02 --values " + (dir / "mac.csv"), dir).status, 0);
    EXPECT_EQ(quorl::test::ReadBytes(dir / "radio.csv"), quorl::test::ReadBytes(dir / "mac.csv"));
    ASSERT_EQ(Quorl(heatmap + " --values " + (dir / "all.csv"), dir).status, 0);
    EXPECT_NE(quorl::test::ReadBytes(dir / "radio.csv"), quorl::test::ReadBytes(dir / "all.csv"));

    std::filesystem::remove(dir / "map.png");
    const Ran r = Quorl(heatmap + " --radio 00-0A-1B-2C-3D-0F", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("00-0A-1B-2C-3D-0F is not heard anywhere in demo.ssd"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "map.png"));
    EXPECT_EQ(Quorl(heatmap + " --radio 00-0A", dir).status, 2);
}

TEST(MapOptionsCommands, ReportGroupsTheNetworksOfOneRadio) {
    TempDir dir;
    // 40 and 41 are one radio (heard alike); 42 shares block and channel but
    // not the strength; 43 is on another channel.
    quorl::test::CollectionBuilder survey;
    const int levels[3][4] = {{-40, -41, -70, -44}, {-50, -51, -45, -50}, {-60, -61, -80, -60}};
    for (int i = 0; i < 3; ++i)
        survey.Plan(100 + 200 * i, 100 + 100 * i,
                    {{0x40, 6, levels[i][0], "staff"}, {0x41, 6, levels[i][1], "guest"},
                     {0x42, 6, levels[i][2], "other"}, {0x43, 36, levels[i][3], "staff-5"}});
    quorl::test::WriteBytes(dir / "s.ssd", survey.Get());
    const Ran r = Quorl("report " + (dir / "s.ssd") + " --projection " + kDemo + "/demo.lpf -o " + (dir / "r"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::stringstream page;
    page << std::ifstream(dir / "r/index.html").rdbuf();
    const std::string html = page.str();
    EXPECT_NE(html.find("4 networks from 3 radios (1 sending several networks)"), std::string::npos);
    // Both members of the radio carry its name, in adjacent rows.
    const std::string radio = "<tr><td>1: 2 networks of 00-00-00-00-00-4x</td>";
    const std::size_t first = html.find(radio), second = html.find(radio, first + 1);
    ASSERT_NE(second, std::string::npos) << html;
    EXPECT_EQ(html.find("<tr>", first + 1), second);
    EXPECT_NE(html.find("00-00-00-00-00-40", first), std::string::npos);
    EXPECT_LT(html.find("00-00-00-00-00-41", first), html.find("</tr>", second));
}

}  // namespace
