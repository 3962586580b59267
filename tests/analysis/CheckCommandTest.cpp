// quorl check through the built program on hand-made surveys of the 800 x
// 600 demo plan: a lattice of points 40 px apart over the left half (x 20
// to 380) and one over the right half, each heard at one level, checked
// with a radius of 30 px. The lattice covers everything within 30 px of
// it: the left half alone leaves x beyond 380 + 27.6 (the mean reach
// across a row gap) unsurveyed, 49.05 % of the plan; both halves leave
// nothing: incomplete unless --max-unsurveyed allows 49.05 % or a mask of
// the left half leaves only the surveyed part. Exit statuses, the JSON
// (read by Python's json), the verdict line and the maps.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/analysis/AnalysisTestSupport.h"
#include "tests/tools/DecimalCommaLocale.h"

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

// A mask of the plan's size (or another): white counts from `from` to left of `white`.
void Mask(const std::string& path, int white, int width = 800, int height = 600, int from = 0) {
    QImage mask(width, height, QImage::Format_RGB32);
    mask.fill(Qt::black);
    for (int y = 0; y < height; ++y)
        for (int x = from; x < std::min(white, width); ++x) mask.setPixel(x, y, qRgb(255, 255, 255));
    ASSERT_TRUE(mask.save(QString::fromStdString(path), "PNG"));
}

struct Floor {
    TempDir dir;
    std::string left = dir / "left.ssd", right = dir / "right.ssd", lpf = dir / "site.lpf";
    std::string leftHalf = dir / "left-half.png";
    Floor() {
        Lattice(left, 20, 380, -60);
        Lattice(right, 420, 780, -80);
        std::filesystem::copy_file(kDemo + "/demo.lpf", lpf);
        Mask(leftHalf, 400);
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
    // Half the plan not surveyed (49.05 %) is allowed with this.
    const std::string half = " --max-unsurveyed 50";
    const std::string corner = f.dir / "corner.ssd";
    quorl::test::WriteBytes(corner, quorl::test::CollectionBuilder()
                                        .Plan(20, 20, {{1, 6, -80, "office"}})
                                        .Plan(60, 20, {{1, 6, -80, "office"}})
                                        .Get());
    Mask(f.dir / "small.png", 400, 400, 300);
    Mask(f.dir / "black.png", 0);
    quorl::test::WriteBytes(f.dir / "text.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});
    ASSERT_EQ(::mkfifo((f.dir / "fifo.png").c_str(), 0600), 0);
    const Case cases[] = {
        {f.left + " --require signal\\>=-67", 1},  // passes where surveyed: incomplete
        {f.left + " --require signal\\>=-67 --max-unsurveyed 49", 1},
        {f.left + " --require signal\\>=-67" + half, 0},
        {f.left + " --require signal\\>=-67 --area " + f.leftHalf, 0},
        {f.left + " --require signal\\>=-50 --area " + f.leftHalf, 1},
        {corner + " --require signal\\>=-67 --max-unsurveyed 100", 1},  // fails on the little surveyed
        {f.left + " --require signal\\>=-67 --area-pass 100" + half, 0},
        {f.left + " --require signal\\>=-50" + half, 1},
        {f.left + " --profile basic" + half, 0},
        {f.left + " --profile voice" + half, 1},  // one network: no second access point anywhere
        {f.left + " --require signal\\>=-67 ap-count\\>=1" + half, 0},
        {f.left + " --require ap-count\\>=2" + half, 1},
        {f.left + " --require signal\\>=-67 --max-unsurveyed 101", 2},
        {f.left + " --require signal\\>=-67 --max-unsurveyed ten", 2},
        {f.left + " --require signal\\>=-67 --area " + (f.dir / "small.png"), 2},  // not the plan's size
        {f.left + " --require signal\\>=-67 --area " + (f.dir / "black.png"), 2},  // nothing counts
        {f.left + " --require signal\\>=-67 --area " + (f.dir / "text.png"), 2},
        {f.left + " --require signal\\>=-67 --area " + (f.dir / "missing.png"), 2},
        {f.left + " --require signal\\>=-67 --area " + f.dir.Path().string(), 2},  // a folder
        {f.left + " --require signal\\>=-67 --area " + (f.dir / "fifo.png"), 2},  // never opened: it would wait
        {f.left + " --require signal\\>=-67 --area " + f.leftHalf + " -o " + f.leftHalf, 2},  // an input
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
    const Ran small = f.Check(f.left + " --require signal\\>=-67 --area " + (f.dir / "small.png"));
    EXPECT_NE(small.err.find("is 400 x 300 pixels and the plan of"), std::string::npos) << small.err;
    // The mask named as the map was refused, not overwritten.
    const QImage kept(QString::fromStdString(f.leftHalf));
    ASSERT_EQ(kept.size(), QSize(800, 600));
    EXPECT_EQ(kept.pixel(100, 100), qRgb(255, 255, 255));
}

TEST(CheckCommand, TheVerdictLineSaysWhichAndWhy) {
    Floor f;
    struct Case {
        std::string args;
        std::string requirementLine;  // the start of the first line
        std::string verdictLine;      // the start of the last
        std::string alsoThere = {};   // somewhere in the last
    };
    const Case cases[] = {
        {f.left + " --require signal\\>=-67", "INCOMPLETE signal>=-67: passes on 100.0 %",
         "floor incomplete: 49", " % of the plan not surveyed, at most 10 % allowed; every requirement needs 95.0 %"},
        {f.left + " --require signal\\>=-67 --max-unsurveyed 49.5", "PASS signal>=-67", "floor passes: "},
        // Never "49 %, at most 49 %" for 49.05 %.
        {f.left + " --require signal\\>=-67 --max-unsurveyed 49", "INCOMPLETE signal>=-67", "floor incomplete: 49.",
         " % of the plan not surveyed, at most 49 % allowed;"},
        {f.left + " --require signal\\>=-67 --area " + f.leftHalf, "PASS signal>=-67",
         "floor passes: every requirement needs 95.0 % of the surveyed area, within the area of " + f.leftHalf},
        {f.left + " --require signal\\>=-90 signal\\>=-50", "INCOMPLETE signal>=-90", "floor fails: "},
        // Only the unsurveyed half counts: nothing surveyed, whatever may be left out.
        {f.left + " --require signal\\>=-67 --max-unsurveyed 100 --area " + (f.dir / "right.png"),
         "INCOMPLETE signal>=-67", "floor incomplete: nothing of the plan surveyed; "},
    };
    Mask(f.dir / "right.png", 800, 800, 600, 440);
    for (const Case& c : cases) {
        const Ran r = f.Check(c.args);
        EXPECT_EQ(r.out.substr(0, c.requirementLine.size()), c.requirementLine) << c.args << "\n" << r.out;
        const std::size_t last = r.out.rfind('\n', r.out.size() - 2) + 1;
        EXPECT_EQ(r.out.substr(last, c.verdictLine.size()), c.verdictLine) << c.args << "\n" << r.out;
        EXPECT_NE(r.out.find(c.alsoThere, last), std::string::npos) << c.args << "\n" << r.out;
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
                      "assert d['pass'] == (d['verdict'] == 'pass') and num(d['max_unsurveyed'])\n"
                      "assert d['area'] is None or d['area'].endswith('.png')\n"
                      "worst = max((q['verdict'] for q in d['requirements']), key=['pass', 'incomplete', 'fail'].index)\n"
                      "assert d['verdict'] == worst, d\n"
                      "assert d['map_error_db'] is None or num(d['map_error_db'])\n"
                      "assert d['kernel'] in ('even', 'scattered', 'noisy')\n"
                      "print(d['verdict'], d['points'])\n"
                      "for q in d['requirements']:\n"
                      "    assert all(num(q[k]) for k in ('pass_pct', 'fail_pct', 'unsurveyed_pct'))\n"
                      "    assert q['pass'] == (q['verdict'] == 'pass')\n"
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
    char expr[64] = {}, m2[32] = {};
    int points = -1;
    char judged[16] = {};
    std::istringstream one(ReadJson(f, f.left + " --require signal\\>=-67"));
    one >> judged >> points >> expr >> passPct >> failPct >> unsurveyed >> m2;
    EXPECT_STREQ(judged, "incomplete");
    EXPECT_EQ(points, 150);
    EXPECT_STREQ(expr, "signal>=-67");
    EXPECT_DOUBLE_EQ(passPct, 100);
    EXPECT_DOUBLE_EQ(failPct, 0);
    EXPECT_NEAR(unsurveyed, 49.05, 0.5);
    EXPECT_STREQ(m2, "null");  // no plan scale

    // One requirement of two fails: the network has no second access point.
    std::istringstream masked(ReadJson(f, f.left + " --require signal\\>=-67 --area " + f.leftHalf));
    masked >> judged >> points >> expr >> passPct >> failPct >> unsurveyed >> m2;
    EXPECT_STREQ(judged, "pass");
    EXPECT_DOUBLE_EQ(unsurveyed, 0);

    std::istringstream two(ReadJson(f, f.left + " --profile voice"));  // fail outranks incomplete
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
    both >> judged >> points >> expr >> passPct >> failPct >> unsurveyed >> m2;
    EXPECT_STREQ(judged, "fail");
    EXPECT_EQ(points, 300);
    EXPECT_NEAR(passPct, 50, 2);
    EXPECT_NEAR(passPct + failPct, 100, 0.02);
    EXPECT_DOUBLE_EQ(unsurveyed, 0);
    EXPECT_NEAR(std::stod(m2), 1200 * passPct / 100, 0.5);
}

// Drawing the map starts Qt, which takes the user's whole locale: the
// output must not change with it (a German "95,00" is no JSON number).
TEST(CheckCommand, OutputIsTheSameUnderADecimalCommaLocale) {
    Floor f;
    std::string why;
    const std::string german = quorl::test::DecimalCommaEnvironment(f.dir, why);
    if (german.empty()) GTEST_SKIP() << why;
    ASSERT_EQ(Shell(std::string(QUORL_TOOL) + " proj scale " + f.lpf + " --points \"0,0;100,0\" --metres 5", f.dir).status, 0);
    for (const std::string& extra : {std::string("--json"), std::string(), "--json -o " + (f.dir / "map.png")}) {
        const std::string args = f.left + " " + f.right + " --profile voice --area-pass 33.3 " + extra;
        const Ran plain = f.Check(args);
        const Ran local = Shell(german + QUORL_TOOL + " check --projection " + f.lpf + " --radius 30 " + args, f.dir);
        EXPECT_EQ(local.status, 1) << local.err;
        EXPECT_EQ(local.out, plain.out) << extra;
        EXPECT_NE(plain.out.find("33.3"), std::string::npos) << plain.out;
        if (extra.empty()) continue;
        std::ofstream(f.dir / "local.json") << local.out;
        EXPECT_EQ(Shell("python3 -c 'import json, sys; json.load(open(sys.argv[1]))' " + (f.dir / "local.json"), f.dir).status, 0)
            << local.out;
    }
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
    EXPECT_NE(html.find("<tr><td>signal&gt;=-67</td><td>INCOMPLETE</td><td class=\"n\">100.0</td>"), std::string::npos);
    EXPECT_NE(html.find("<tr><td>secondary&gt;=-67</td><td>FAIL</td><td class=\"n\">0.0</td>"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(f.dir / "r/requirement-2.png"));

    // The same floor within the surveyed half passes; left whole, it is incomplete.
    for (const std::string& area : {std::string(" --area ") + f.leftHalf, std::string()}) {
        const Ran basic = Shell(std::string(QUORL_TOOL) + " report " + f.left + " --projection " + f.lpf + " -o " +
                                    (f.dir / "b") + " --profile basic" + area,
                                f.dir);
        ASSERT_EQ(basic.status, 0) << basic.err;
        std::stringstream text;
        text << std::ifstream(f.dir / "b/index.html").rdbuf();
        // The report's radius is the default one, longer than the check's: less is left unsurveyed.
        const std::string expected = area.empty() ? "<p>The floor is incomplete (incomplete: " : "<p>The floor passes";
        EXPECT_NE(text.str().find(expected), std::string::npos) << area;
        EXPECT_EQ(text.str().find(" % of the plan not surveyed, at most 10 % allowed)") != std::string::npos,
                  area.empty());
    }
}

}  // namespace

namespace {

// heatmap's summary against its own --values: a lattice heard on the left,
// one that heard nothing in the middle, nothing on the right.
TEST(HeatmapCommand, ValueNotHeardAndNotSurveyedAddUpToThePlan) {
    Floor f;
    quorl::test::CollectionBuilder survey;
    for (int x = 20; x <= 540; x += 40)
        for (int y = 20; y <= 580; y += 40) {
            if (x <= 380) survey.Plan(x, y, {{1, 6, -60, "office"}});
            else survey.Plan(x, y, {});
        }
    const std::string ssd = f.dir / "three.ssd", csv = f.dir / "three.csv";
    quorl::test::WriteBytes(ssd, survey.Get());
    for (const std::string& area : {std::string(), f.leftHalf}) {
        SCOPED_TRACE(area);
        const Ran r = Shell(std::string(QUORL_TOOL) + " heatmap " + ssd + " --projection " + f.lpf +
                                " --radius 30 -o " + (f.dir / "three.png") + " --values " + csv +
                                (area.empty() ? "" : " --area " + area),
                            f.dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::regex summary(", of ([0-9]+) cells \\(([0-9]+) px²\\)( in the area of [^:]+)?: ([0-9]+) with a "
                                 "value \\(([0-9]+) px²\\), ([0-9]+) not heard \\(([0-9]+) px²\\), ([0-9]+) not "
                                 "surveyed \\(([0-9]+) px²\\)");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(r.out, m, summary)) << r.out;
        auto n = [&](int i) { return std::stol(m[i].str()); };
        EXPECT_EQ(m[3].str(), area.empty() ? "" : " in the area of " + area);
        // The CSV, one row a cell that counts, read as it stands.
        long value = 0, notHeard = 0, unsurveyed = 0;
        std::ifstream in(csv);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            const std::string v = line.substr(line.rfind(',') + 1);
            (v.empty() ? unsurveyed : v == "not heard" ? notHeard : value) += 1;
        }
        EXPECT_EQ(n(4), value);
        EXPECT_EQ(n(6), notHeard);
        EXPECT_EQ(n(8), unsurveyed);
        EXPECT_EQ(n(1), value + notHeard + unsurveyed);
        EXPECT_NEAR(double(n(5) + n(7) + n(9)), double(n(2)), 2);  // each rounded to a whole px²
        // 2-pixel cells: the whole plan, or its left half.
        EXPECT_EQ(n(1), area.empty() ? 400 * 300 : 200 * 300);
        EXPECT_EQ(n(2), area.empty() ? 800 * 600 : 400 * 600);
        EXPECT_GT(n(4), 0);
        EXPECT_EQ(n(6) > 0, area.empty());
        EXPECT_EQ(n(8) > 0, area.empty());
    }
}

}  // namespace
