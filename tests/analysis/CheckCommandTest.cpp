// quorl check through the built program on hand-made surveys of the 800 x
// 600 demo plan: a lattice of points 40 px apart over the left half (x 20
// to 380) and one over the right half, each heard at one level, checked
// with a radius of 30 px. The lattice covers everything within 30 px of
// it: the left half alone leaves x beyond 380 + 27.6 (the mean reach
// across a row gap) unsurveyed, 49.05 % of the plan; both halves leave
// nothing. Exit statuses, the JSON (read by Python's json) and the maps.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/analysis/AnalysisTestSupport.h"

namespace {

using quorl::test::TempDir;

const std::string kDemo = QUORL_DEMO_DIR;

using Ran = quorl::test::Outcome;

Ran Shell(const std::string& command, const TempDir& dir) { return quorl::test::RunCommandLine(command, dir); }

// A lattice of plan taps from x0 to x1, each hearing one access point at `level`.
void Lattice(const std::string& path, int x0, int x1, int level) {
    quorl::test::CollectionBuilder survey;
    for (int x = x0; x <= x1; x += 40)
        for (int y = 20; y <= 580; y += 40) survey.Plan(x, y, {{1, 6, level, "office"}});
    quorl::test::WriteBytes(path, survey.Get());
}

struct Floor {
    TempDir dir;
    std::string left = dir / "left.ssd", right = dir / "right.ssd", lpf = dir / "site.lpf";
    Floor() {
        Lattice(left, 20, 380, -60);
        Lattice(right, 420, 780, -80);
        std::filesystem::copy_file(kDemo + "/demo.lpf", lpf);
    }
    Ran Check(const std::string& args) {
        return Shell(std::string(QUORL_TOOL) + " check --projection " + lpf + " --radius 30 " + args, dir);
    }
};

TEST(CheckCommand, ExitStatusIsTheVerdictOrBadInput) {
    Floor f;
    quorl::test::CollectionBuilder offPlan;
    for (int i = 0; i < 5; ++i) offPlan.Plan(2000 + i, 3000, {{1, 6, -50, "office"}});
    quorl::test::WriteBytes(f.dir / "elsewhere.ssd", offPlan.Get());
    struct Case {
        std::string args;
        int status;
    };
    const Case cases[] = {
        {f.left + " --require signal\\>=-67", 0},
        {f.left + " --require signal\\>=-67 --area-pass 100", 0},
        {f.left + " --require signal\\>=-50", 1},
        {f.left + " --profile basic", 0},
        {f.left + " --profile voice", 1},  // one network: no second access point anywhere
        {f.left + " --require signal\\>=-67 ap-count\\>=1", 0},
        {f.left + " --require ap-count\\>=2", 1},
        {f.left + " " + f.right + " --require signal\\>=-67 --area-pass 45", 0},
        {f.left + " " + f.right + " --require signal\\>=-67 --area-pass 55", 1},
        {f.left + " --require signal=\\>-67", 2},
        {f.left + " --require rssi\\>=-67", 2},
        {f.left + " --require signal\\>=", 2},
        {f.left + " --require \"signal >= -67\"", 2},
        {f.left + " --profile roaming", 2},
        {f.left, 2},
        {f.left + " --require signal\\>=-67 --area-pass 101", 2},
        {f.left + " --require signal\\>=-67 --ssid nowhere", 2},
        {(f.dir / "missing.ssd") + " --require signal\\>=-67", 2},
        {(f.dir / "elsewhere.ssd") + " --require signal\\>=-67", 2},
        {f.left + " " + (f.dir / "elsewhere.ssd") + " --require signal\\>=-67", 2},
        {f.left + " --require signal\\>=-67 --radius 3m", 2},  // no scale for metres
    };
    for (const Case& c : cases) {
        const Ran r = f.Check(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        if (c.status == 2) {
            EXPECT_FALSE(r.err.empty()) << c.args;
        }
    }
}

// The JSON as Python reads it, one requirement a line: "expr pass fail unsurveyed pass_m2".
std::string ReadJson(Floor& f, const std::string& args) {
    const Ran r = f.Check(args + " --json");
    EXPECT_LE(r.status, 1) << r.err;
    std::ofstream(f.dir / "check.json") << r.out;
    const Ran p = Shell("python3 -c \"import json, sys\n"
                      "def no(x): raise ValueError(x)\n"
                      "d = json.load(open(sys.argv[1]), parse_constant=no)\n"
                      "num = lambda v: isinstance(v, (int, float)) and not isinstance(v, bool)\n"
                      "assert isinstance(d['pass'], bool) and num(d['points'])\n"
                      "assert d['map_error_db'] is None or num(d['map_error_db'])\n"
                      "assert d['kernel'] in ('even', 'scattered', 'noisy')\n"
                      "print('pass' if d['pass'] else 'fail', d['points'])\n"
                      "for q in d['requirements']:\n"
                      "    assert all(num(q[k]) for k in ('pass_pct', 'fail_pct', 'unsurveyed_pct'))\n"
                      "    m2 = 'null' if q['pass_m2'] is None else '%.1f' % q['pass_m2']\n"
                      "    print(q['expr'], '%.2f %.2f %.2f' % (q['pass_pct'], q['fail_pct'], q['unsurveyed_pct']), m2)\n"
                      "\" " + (f.dir / "check.json"),
                      f.dir);
    EXPECT_EQ(p.status, 0) << r.out << p.err;
    return p.out;
}

TEST(CheckCommand, JsonGivesTheSharesOfTheSurveyedAreaAndOfThePlan) {
    Floor f;
    double passPct = -1, failPct = -1, unsurveyed = -1;
    char expr[64] = {}, m2[32] = {}, verdict[8] = {};
    int points = -1;
    std::istringstream one(ReadJson(f, f.left + " --require signal\\>=-67"));
    one >> verdict >> points >> expr >> passPct >> failPct >> unsurveyed >> m2;
    EXPECT_STREQ(verdict, "pass");
    EXPECT_EQ(points, 150);
    EXPECT_STREQ(expr, "signal>=-67");
    EXPECT_DOUBLE_EQ(passPct, 100);
    EXPECT_DOUBLE_EQ(failPct, 0);
    EXPECT_NEAR(unsurveyed, 49.05, 0.5);
    EXPECT_STREQ(m2, "null");  // no plan scale

    // One requirement of two fails: the network has no second access point.
    std::istringstream two(ReadJson(f, f.left + " --profile voice"));
    std::string line;
    std::getline(two, line);
    EXPECT_EQ(line, "fail 150");
    std::getline(two, line);
    EXPECT_EQ(line.substr(0, 27), "signal>=-67 100.00 0.00 49.");
    std::getline(two, line);
    EXPECT_EQ(line.substr(0, 30), "secondary>=-67 0.00 100.00 49.");

    // Both halves: nothing left unsurveyed, the weaker half fails; 0.05 m a pixel: the plan is 1200 m².
    ASSERT_EQ(Shell(std::string(QUORL_TOOL) + " proj scale " + f.lpf + " --points \"0,0;100,0\" --metres 5", f.dir).status, 0);
    std::istringstream both(ReadJson(f, f.left + " " + f.right + " --require signal\\>=-67"));
    both >> verdict >> points >> expr >> passPct >> failPct >> unsurveyed >> m2;
    EXPECT_STREQ(verdict, "fail");
    EXPECT_EQ(points, 300);
    EXPECT_NEAR(passPct, 50, 2);
    EXPECT_NEAR(passPct + failPct, 100, 0.02);
    EXPECT_DOUBLE_EQ(unsurveyed, 0);
    EXPECT_NEAR(std::stod(m2), 1200 * passPct / 100, 0.5);
}

TEST(CheckCommand, MapsArePassFailAndUnsurveyedOneARequirement) {
    Floor f;
    const std::string out = f.dir / "floor.png";
    ASSERT_EQ(f.Check(f.left + " --profile voice -o " + out).status, 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    const QImage signal(QString::fromStdString(f.dir / "floor-1.png"));
    const QImage secondary(QString::fromStdString(f.dir / "floor-2.png"));
    ASSERT_FALSE(signal.isNull());
    ASSERT_FALSE(secondary.isNull());
    // Mean red minus green over a region of the plan.
    auto redOverGreen = [](const QImage& image, int x0, int x1) {
        double sum = 0;
        int n = 0;
        for (int y = 40; y < 560; y += 3)
            for (int x = x0; x < x1; x += 3, ++n) sum += qRed(image.pixel(x, y)) - qGreen(image.pixel(x, y));
        return sum / n;
    };
    EXPECT_LT(redOverGreen(signal, 40, 360), -40);    // passes: green
    EXPECT_GT(redOverGreen(secondary, 40, 360), 40);  // fails: red
    EXPECT_NEAR(redOverGreen(signal, 460, 760), 0, 15);  // not surveyed: the plan under grey
    // A bad requirement writes nothing.
    std::filesystem::remove_all(f.dir / "floor-1.png");
    EXPECT_EQ(f.Check(f.left + " --require signal\\>=x -o " + out).status, 2);
    EXPECT_FALSE(std::filesystem::exists(f.dir / "floor-1.png"));
}

TEST(CheckCommand, ReportHasARequirementsSection) {
    Floor f;
    const Ran r = Shell(std::string(QUORL_TOOL) + " report " + f.left + " --projection " + f.lpf + " -o " +
                          (f.dir / "r") + " --profile voice",
                      f.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::stringstream page;
    page << std::ifstream(f.dir / "r/index.html").rdbuf();
    const std::string html = page.str();
    EXPECT_NE(html.find("<h2>Requirements</h2>\n<p>The floor does not pass"), std::string::npos) << html;
    EXPECT_NE(html.find("<tr><td>signal&gt;=-67</td><td>PASS</td><td class=\"n\">100.0</td>"), std::string::npos);
    EXPECT_NE(html.find("<tr><td>secondary&gt;=-67</td><td>FAIL</td><td class=\"n\">0.0</td>"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(f.dir / "r/requirement-2.png"));
}

}  // namespace
