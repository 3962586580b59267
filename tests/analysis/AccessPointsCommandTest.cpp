// quorl aps through the built program on a hand-made survey of the 800 x
// 600 demo plan (linear projection, no scale): one access point heard on
// a lattice, one heard at two points only. The JSON as Python reads it,
// and the inputs it refuses.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "tests/analysis/AnalysisTestSupport.h"
#include "tests/analysis/PlanDrawing.h"

namespace {

using quorl::test::TempDir;
using Ran = quorl::test::Outcome;

const std::string kDemo = QUORL_DEMO_DIR;

struct Site {
    TempDir dir;
    std::string survey = dir / "s.ssd", lpf = dir / "site.lpf";
    Site() {
        quorl::test::CollectionBuilder b;
        for (int x = 40; x < 800; x += 60)
            for (int y = 40; y < 600; y += 60) {
                const double d = std::max(1.0, std::hypot(x - 330.0, y - 270.0));
                std::vector<quorl::test::Ap> aps{{1, 6, static_cast<int>(std::lround(-5 - 25 * std::log10(d))), "Of\"fice"}};
                if (y == 40 && x < 150) aps.push_back({0x40, 11, -70, "rare"});
                b.Plan(x, y, aps);
            }
        quorl::test::WriteBytes(survey, b.Get());
        std::filesystem::copy_file(kDemo + "/demo.lpf", lpf);
    }
    Ran Aps(const std::string& args) const {
        return quorl::test::RunCommandLine(std::string(QUORL_TOOL) + " aps " + args, dir);
    }
};

TEST(ApsCommand, JsonListsEachAccessPointWithItsFit) {
    Site s;
    const Ran r = s.Aps(s.survey + " --projection " + s.lpf + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    std::ofstream(s.dir / "aps.json") << r.out;
    const Ran p = quorl::test::RunCommandLine(
        "python3 -c \"import json, sys\n"
        "def no(x): raise ValueError(x)\n"
        "d = json.load(open(sys.argv[1]), parse_constant=no)\n"
        "keys = {'mac', 'bssids', 'ssids', 'channel', 'points', 'x', 'y', 'x_m', 'y_m', 'radius_m', 'model'}\n"
        "for a in d['access_points']:\n"
        "    assert set(a) == keys, set(a) ^ keys\n"
        "    assert a['x_m'] is None and a['y_m'] is None and a['radius_m'] is None\n"
        "    m = a['model']\n"
        "    print(a['mac'], ','.join(a['ssids']), a['channel'], a['points'], m['fit'], '%.0f %.0f %.0f' % (a['x'], a['y'], m['radius_px']))\n"
        "\" " + (s.dir / "aps.json"),
        s.dir);
    ASSERT_EQ(p.status, 0) << r.out << p.err;
    std::istringstream lines(p.out);
    std::string mac, ssids, fit;
    int channel = 0, points = 0;
    double x = 0, y = 0, radius = 0;
    lines >> mac >> ssids >> channel >> points >> fit >> x >> y >> radius;
    EXPECT_EQ(mac, "00-00-00-00-00-01");
    EXPECT_EQ(ssids, "Of\"fice");
    EXPECT_EQ(channel, 6);
    EXPECT_EQ(points, 130);
    EXPECT_EQ(fit, "path-loss");
    EXPECT_NEAR(x, 330, 8);
    EXPECT_NEAR(y, 270, 8);
    EXPECT_GT(radius, 0);
    lines >> mac >> ssids >> channel >> points >> fit >> x >> y >> radius;
    EXPECT_EQ(mac, "00-00-00-00-00-40");
    EXPECT_EQ(points, 2);
    EXPECT_EQ(fit, "coarse");
    EXPECT_GE(radius, 30);  // the spread of two points 60 px apart, at least

    // A site file's floor gives the same positions.
    const std::string q = QUORL_TOOL, site = s.dir / "hq.qsite";
    ASSERT_EQ(quorl::test::RunCommandLine(q + " site new " + site + " --name HQ", s.dir).status, 0);
    ASSERT_EQ(quorl::test::RunCommandLine(q + " site add-floor " + site + " --name Ground --projection " + s.lpf, s.dir).status, 0);
    ASSERT_EQ(quorl::test::RunCommandLine(q + " site add-survey " + site + " --floor Ground " + s.survey, s.dir).status, 0);
    const Ran viaSite = s.Aps(site + " --floor Ground --json");
    ASSERT_EQ(viaSite.status, 0) << viaSite.err;
    EXPECT_EQ(viaSite.out, r.out);

    // The text table says the same, and why the second is coarse.
    const Ran text = s.Aps(s.survey + " --projection " + s.lpf);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("too few for a model"), std::string::npos) << text.out;
}

TEST(ApsCommand, RefusesWhatItCannotUse) {
    Site s;
    std::vector<std::uint8_t> blank = quorl::test::BitmapOf(quorl::test::Paper(800, 600), 8);
    quorl::test::WriteBytes(s.dir / "blank.bmp", blank);
    quorl::test::WriteBytes(s.dir / "small.bmp", quorl::test::BitmapOf(quorl::test::Paper(80, 60), 8));
    quorl::test::WriteBytes(s.dir / "junk.bmp", {'B', 'M', 1, 2, 3});
    struct Case {
        std::string args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {s.survey, 2, "--projection"},
        {"--projection " + s.lpf, 2, "a survey"},
        {s.survey + " --projection " + s.lpf + " --bogus", 2, "unexpected"},
        {s.survey + " --projection", 2, "needs a value"},
        {s.survey + " --projection " + s.lpf + " --floor Ground", 2, "--floor is for a site file"},
        {s.survey + " --projection " + s.lpf + " --walls " + (s.dir / "small.bmp"), 1, "80 x 60"},
        {s.survey + " --projection " + s.lpf + " --walls " + (s.dir / "junk.bmp"), 1, "not a bitmap"},
        {s.survey + " --projection " + s.lpf + " --walls " + (s.dir / "none.bmp"), 1, "cannot open"},
        {(s.dir / "missing.ssd") + " --projection " + s.lpf, 1, "missing.ssd"},
        {s.survey + " --projection " + s.lpf + " --walls " + (s.dir / "blank.bmp"), 0, "wall mask is empty"},
    };
    for (const Case& c : cases) {
        const Ran r = s.Aps(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE((r.err + r.out).find(c.says), std::string::npos) << c.args << "\n" << r.err << r.out;
    }
}

}  // namespace
