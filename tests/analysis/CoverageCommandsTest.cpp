// `quorl report` on the demo survey and `quorl heatmap` on good and bad
// input, through the built program.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <QXmlStreamReader>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tests/analysis/AnalysisTestSupport.h"

namespace {

using quorl::test::CollectionBuilder;

const std::string kDemo = QUORL_DEMO_DIR;

struct Result {
    int status;
    std::string err;
};

Result Quorl(const std::string& args, const quorl::test::TempDir& dir) {
    const std::string errPath = dir / "stderr.txt";
    const int raw = std::system((std::string(QUORL_TOOL) + " " + args + " >/dev/null 2>" + errPath).c_str());
    std::ifstream in(errPath);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(ReportCommand, BuildsAPageWhosePicturesAreAllThere) {
    quorl::test::TempDir dir;
    const std::string out = dir / "report";
    const Result r = Quorl("report " + kDemo + "/demo.ssd --projection " + kDemo + "/demo.gpf -o " + out, dir);
    ASSERT_EQ(r.status, 0) << r.err;

    const std::string page = Slurp(out + "/index.html");
    QXmlStreamReader xml(QString::fromStdString(page));
    std::set<std::string> images;
    int tables = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        EXPECT_NE(xml.name().toString(), QStringLiteral("script"));
        if (xml.name() == QStringLiteral("table")) ++tables;
        if (xml.name() == QStringLiteral("img")) images.insert(xml.attributes().value("src").toString().toStdString());
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line " << xml.lineNumber();
    EXPECT_EQ(tables, 2);  // the summary and the access points

    std::set<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(out))
        if (e.path().extension() == ".png") files.insert(e.path().filename().string());
    EXPECT_EQ(images, files);
    for (const char* name : {"signal.png", "secondary.png", "co-channel.png", "access-points.png", "channels.png",
                             "signal-ssid-1.png"}) {
        EXPECT_TRUE(files.count(name)) << name;
        EXPECT_FALSE(QImage(QString::fromStdString(out + "/" + name)).isNull()) << name;
    }
    // The demo office has five networks, each with a map of its own.
    EXPECT_TRUE(files.count("signal-ssid-5.png"));
    for (const char* text : {"demo.ssd", "demo.gpf", "00-0A-1B-2C-3D-01", "Quorl-Office"})
        EXPECT_NE(page.find(text), std::string::npos) << text;
}

TEST(HeatmapCommand, WritesTheMapAndTheGridOrSaysWhyNot) {
    quorl::test::TempDir dir;
    const std::string demo = kDemo + "/demo.ssd", gpf = " --projection " + kDemo + "/demo.gpf";
    const std::string png = dir / "map.png", csv = dir / "map.csv";

    Result r = Quorl("heatmap " + demo + gpf + " --metric ap-count --band 2.4 -o " + png + " --values " + csv, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage map(QString::fromStdString(png));
    EXPECT_GE(map.width(), 800);
    EXPECT_GE(map.height(), 600);
    std::ifstream values(csv);
    std::string line;
    std::getline(values, line);
    EXPECT_EQ(line, "x,y,value");
    int rows = 0, empty = 0;
    while (std::getline(values, line)) {
        ++rows;
        const std::string value = line.substr(line.rfind(',') + 1);
        if (value.empty()) {
            ++empty;
            continue;
        }
        const double v = std::stod(value);
        ASSERT_TRUE(v >= 0 && v <= 8 && v == static_cast<int>(v)) << line;  // whole counts of the 8 APs
    }
    EXPECT_EQ(rows, 400 * 300);  // 2-pixel cells over the 800 x 600 plan
    EXPECT_LT(empty, rows);

    // Bad input: a message, status 1 and no picture.
    CollectionBuilder offPlan;
    offPlan.Plan(5000, 5000, {{1, 1, -50, "A"}}).Plan(6000, 100, {{1, 1, -50, "A"}});
    quorl::test::WriteBytes(dir / "offplan.ssd", offPlan.Get());
    quorl::test::WriteBytes(dir / "empty.ssd", CollectionBuilder().Get());
    quorl::test::WriteBytes(dir / "onlyone.ssd", CollectionBuilder().Plan(100, 100, {{1, 1, -50, "A"}}).Get());
    ASSERT_EQ(Quorl("proj make --kind linear --transform 0,0,0,0,1,1 --image " + kDemo + "/demo.bmp " + (dir / "flat.lpf"), dir)
                  .status,
              0);
    struct Case {
        const char* name;
        std::string args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"a filter that matches nothing", demo + gpf + " --ssid Nobody", 1, "matches the filter"},
        {"a survey with no usable points", (dir / "empty.ssd") + gpf, 1, "no survey point with a position"},
        {"a projection that does not match", (dir / "offplan.ssd") + gpf, 1, "does not belong to this survey"},
        {"a GPS survey on a transform that cannot be inverted", demo + " --projection " + (dir / "flat.lpf"), 1,
         "cannot be inverted"},
        {"a metric without a value anywhere", (dir / "onlyone.ssd") + gpf + " --metric secondary", 1, "has a secondary value"},
        {"a missing survey", (dir / "none.ssd") + gpf, 1, "cannot open"},
        {"a scale upside down", demo + gpf + " --min -30 --max -90", 2, "--min must be below --max"},
        {"an unknown metric", demo + gpf + " --metric loudness", 2, "unknown metric"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(png);
        r = Quorl("heatmap " + c.args + " -o " + png, dir);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(png)) << c.name;
    }
}

namespace {

// The CSV of a map, cell centre to value text.
std::map<std::pair<double, double>, std::string> Cells(const std::string& path) {
    std::map<std::pair<double, double>, std::string> cells;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const auto a = line.find(','), b = line.find(',', a + 1);
        cells[{std::stod(line.substr(0, a)), std::stod(line.substr(a + 1, b - a - 1))}] = line.substr(b + 1);
    }
    return cells;
}

}  // namespace

TEST(HeatmapCommand, MapsShowWhatWasMeasured) {
    // A corridor of 40 plan taps 20 px apart on y = 301 of the 800 x 600 demo plan. Every point hears
    // Hall (A at -50, B at -60, C at -70 and D at -90, all on channel 6); only the two ends hear Ends.
    quorl::test::TempDir dir;
    CollectionBuilder corridor;
    for (int i = 0; i < 40; ++i) {
        std::vector<quorl::test::Ap> aps = {{1, 6, -50, "Hall"}, {2, 6, -60, "Hall"}, {3, 6, -70, "Hall"},
                                            {4, 6, -90, "Hall"}};
        if (i == 0 || i == 39) aps.push_back({9, 11, -40, "Ends"});
        corridor.Plan(11 + 20 * i, 301, aps);
    }
    quorl::test::WriteBytes(dir / "corridor.ssd", corridor.Get());
    const std::string base = "heatmap " + (dir / "corridor.ssd") + " --projection " + kDemo + "/demo.lpf -o " +
                             (dir / "map.png") + " --values " + (dir / "map.csv");
    struct Case {
        const char* name;
        std::string args;
        std::string atPoint;  // the cell holding the tenth point
    };
    const Case cases[] = {
        {"ap-count counts at -67 dBm by default", " --metric ap-count", "2"},
        {"co-channel counts at -85 dBm by default", " --metric co-channel", "2"},
        {"a threshold given is used", " --metric ap-count --threshold -95", "4"},
        {"a network not heard there", " --ssid Ends", "not heard"},
    };
    for (const Case& c : cases) {
        const Result r = Quorl(base + c.args, dir);
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        const auto cells = Cells(dir / "map.csv");
        EXPECT_EQ(cells.at({191, 301}), c.atPoint) << c.name;
        // The radius comes from the spacing of all 40 points (80 px), not of the two that heard Ends:
        // 150 px off the corridor is beyond it.
        EXPECT_EQ(cells.at({401, 151}), "") << c.name;
    }
    // Only cells nearer an end than any other point have a level; the corridor between is not heard.
    int levels = 0, silent = 0;
    for (const auto& [at, value] : Cells(dir / "map.csv")) {
        if (value.empty()) continue;
        // All points share a row: nearness goes by x alone (a tie goes to the point that heard).
        double toEnd = INFINITY, toOther = INFINITY;
        for (int i = 0; i < 40; ++i) {
            const double d = std::abs(at.first - (11 + 20 * i));
            (i == 0 || i == 39 ? toEnd : toOther) = std::min(i == 0 || i == 39 ? toEnd : toOther, d);
        }
        if (value == "not heard") {
            ++silent;
            EXPECT_LT(toOther, toEnd) << at.first << "," << at.second;
        } else {
            ++levels;
            EXPECT_EQ(std::stod(value), -40) << at.first << "," << at.second;
            EXPECT_LE(toEnd, toOther) << at.first << "," << at.second;
        }
    }
    EXPECT_GT(levels, 0);
    EXPECT_GT(silent, 10 * levels);
}
