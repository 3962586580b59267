// A building of three floors through the real commands: two linear plans
// and one GPS plan, one floor left unsurveyed at first. The lattices are
// those of the one-floor check (40 px apart, radius 30 px), so a floor's
// shares are known by construction: a full lattice leaves nothing
// unsurveyed, half of it at -80 dBm fails signal>=-67 on half the area.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/site/SiteTestSupport.h"

namespace {

using Json = nlohmann::json;
using quorl::test::Outcome;
using quorl::test::TempDir;

std::vector<std::string> Plus(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Building {
    TempDir dir;
    std::string site = dir / "hq.qsite";
    Building() {
        std::filesystem::create_directories(dir / "plans");
        quorl::test::CopyDemo("demo.lpf", dir / "plans/ground.lpf");
        quorl::test::CopyDemo("demo.lpf", dir / "plans/first.lpf");
        quorl::test::CopyDemo("demo.gpf", dir / "plans/yard.gpf");
        quorl::test::WriteBytes(dir / "ground-west.ssd", quorl::test::PlanLattice(20, 380, 40, -60));
        quorl::test::WriteBytes(dir / "ground-east.ssd", quorl::test::PlanLattice(420, 780, 40, -60));
        quorl::test::WriteBytes(dir / "first-west.ssd", quorl::test::PlanLattice(20, 380, 40, -60, 3));
        quorl::test::WriteBytes(dir / "first-east.ssd", quorl::test::PlanLattice(420, 780, 40, -80, 3));
        quorl::test::WriteBytes(dir / "yard.ssd", quorl::test::GpsLattice(8, -55));
        Run({"site", "new", site, "--name", "Head office"});
        Run({"site", "add-floor", site, "--name", "Ground", "--projection", dir / "plans/ground.lpf", "--level", "0"});
        Run({"site", "add-floor", site, "--name", "First", "--projection", dir / "plans/first.lpf", "--level", "1"});
        Run({"site", "add-floor", site, "--name", "Yard", "--projection", dir / "plans/yard.gpf", "--level", "-1"});
        Run({"site", "add-survey", site, "--floor", "Ground", dir / "ground-west.ssd", dir / "ground-east.ssd"});
        Run({"site", "add-survey", site, "--floor", "First", dir / "first-west.ssd", dir / "first-east.ssd"});
    }
    Outcome Quorl(const std::vector<std::string>& args) { return quorl::test::Quorl(dir, args); }
    void Run(const std::vector<std::string>& args) {
        const Outcome o = Quorl(args);
        ASSERT_EQ(o.status, 0) << args.at(0) << " " << args.at(1) << ": " << o.err;
    }
};

TEST(Building, CheckAnswersForEveryFloorAndTheBuilding) {
    Building b;
    const Outcome unsurveyed = b.Quorl({"check", b.site, "--require", "signal>=-67", "--radius", "30", "--json"});
    ASSERT_EQ(unsurveyed.status, 1) << unsurveyed.err;
    const Json j = Json::parse(unsurveyed.out);
    EXPECT_EQ(j["pass"], false);
    EXPECT_EQ(j["verdict"], "fail");  // the worst floor's
    EXPECT_EQ(j["site"], "Head office");
    ASSERT_EQ(j["floors"].size(), 3u);
    const Json& ground = j["floors"][0];
    EXPECT_EQ(ground["name"], "Ground");
    EXPECT_EQ(ground["level"], 0);
    EXPECT_EQ(ground["pass"], true);
    EXPECT_EQ(ground["points"], 300);
    EXPECT_DOUBLE_EQ(ground["requirements"][0]["unsurveyed_pct"].get<double>(), 0);
    const Json& first = j["floors"][1];
    EXPECT_EQ(first["pass"], false);
    EXPECT_NEAR(first["requirements"][0]["pass_pct"].get<double>(), 50, 2);
    const Json& yard = j["floors"][2];
    EXPECT_EQ(yard["level"], -1);
    EXPECT_EQ(yard["surveyed"], false);
    EXPECT_EQ(yard["pass"], false);
    EXPECT_EQ(yard["verdict"], "incomplete");
    EXPECT_EQ(j["not_surveyed"], Json::array({"Yard"}));

    // Each floor's entry is what check says of that floor alone.
    const Outcome alone = b.Quorl({"check", b.dir / "ground-west.ssd", b.dir / "ground-east.ssd", "--projection",
                                   b.dir / "plans/ground.lpf", "--require", "signal>=-67", "--radius", "30", "--json"});
    ASSERT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(Json::parse(alone.out)["requirements"], ground["requirements"]);

    // The weak half gone, the yard surveyed, the site's own requirements
    // (half of the first floor and most of the yard unsurveyed allowed): the building passes.
    b.Run({"site", "remove-survey", b.site, "--floor", "First", b.dir / "first-east.ssd"});
    b.Run({"site", "add-survey", b.site, "--floor", "Yard", b.dir / "yard.ssd"});
    const auto bytes = quorl::test::ReadBytes(b.site);
    Json file = Json::parse(std::string(bytes.begin(), bytes.end()));
    file["requirements"] = {{"require", {"signal>=-67"}}, {"area_pass", 90}, {"max_unsurveyed", 100}};
    std::ofstream(b.site) << file.dump(2);
    const std::string maps = b.dir / "map.png";
    const Outcome passes = b.Quorl({"check", b.site, "--radius", "30", "-o", maps});
    ASSERT_EQ(passes.status, 0) << passes.err << passes.out;
    EXPECT_NE(passes.out.find("floor \"Yard\" (level -1) PASS signal>=-67"), std::string::npos) << passes.out;
    EXPECT_NE(passes.out.find("\nBUILDING PASS Head office: 3 of 3 floors pass"), std::string::npos) << passes.out;
    // The command's share before the site's: half of a floor unsurveyed is too much at 10 %.
    const Outcome incomplete = b.Quorl({"check", b.site, "--radius", "30", "--max-unsurveyed", "10"});
    EXPECT_EQ(incomplete.status, 1);
    EXPECT_NE(incomplete.out.find("\nBUILDING INCOMPLETE Head office: 1 of 3 floors pass, 0 fail, 2 incomplete"),
              std::string::npos)
        << incomplete.out;
    for (const char* floor : {"Ground", "First", "Yard"})
        EXPECT_TRUE(std::filesystem::exists(b.dir / ("map-" + std::string(floor) + ".png"))) << floor;

    // No answer is exit 2: a survey gone, or requirements nowhere.
    std::filesystem::remove(b.dir / "yard.ssd");
    const Outcome gone = b.Quorl({"check", b.site});
    EXPECT_EQ(gone.status, 2);
    EXPECT_NE(gone.err.find("floor \"Yard\""), std::string::npos) << gone.err;
    EXPECT_NE(gone.err.find("yard.ssd"), std::string::npos) << gone.err;
    EXPECT_EQ(b.Quorl({"check", b.site, "--projection", b.dir / "plans/ground.lpf"}).status, 2);
    EXPECT_EQ(b.Quorl({"check", b.site, "-o", "-"}).status, 2);
    EXPECT_EQ(b.Quorl({"report", b.site, "-o", "-"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists("-"));  // commands run in the test's working folder
}

TEST(Building, HeatmapOfAFloorIsTheMapOfItsSurveys) {
    Building b;
    const Outcome viaSite = b.Quorl({"heatmap", b.site, "--floor", "First", "--radius", "30", "-o", b.dir / "site.png"});
    ASSERT_EQ(viaSite.status, 0) << viaSite.err;
    const Outcome direct = b.Quorl({"heatmap", b.dir / "first-west.ssd", b.dir / "first-east.ssd", "--projection",
                                    b.dir / "plans/first.lpf", "--radius", "30", "-o", b.dir / "direct.png"});
    ASSERT_EQ(direct.status, 0) << direct.err;
    EXPECT_EQ(quorl::test::ReadBytes(b.dir / "site.png"), quorl::test::ReadBytes(b.dir / "direct.png"));
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"--floor", "Roof"}, "its floors: \"Ground\" \"First\" \"Yard\""},
        {{"--floor", "Yard"}, "not surveyed"},
        {{}, "--floor"},
        {{"--floor", "First", "--projection", b.dir / "plans/first.lpf"}, "--projection"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"heatmap", b.site, "-o", b.dir / "no.png"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = b.Quorl(args);
        EXPECT_EQ(o.status, 2) << c.says;
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    }
    EXPECT_EQ(b.Quorl({"heatmap", b.dir / "yard.ssd", "--floor", "Yard", "-o", b.dir / "no.png"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(b.dir / "no.png"));
}

std::string ReadText(const std::string& path) {
    const auto bytes = quorl::test::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(Building, ExportCarriesEachRowsFloor) {
    Building b;
    b.Run({"site", "add-survey", b.site, "--floor", "Yard", b.dir / "yard.ssd"});
    ASSERT_EQ(b.Quorl({"ssd", "export", b.site, "--format", "csv", "-o", b.dir / "all.csv"}).status, 0);
    // Rows by floor and level, counted from the lattices written above (one access point a point).
    std::map<std::string, int> rows;
    std::istringstream csv(ReadText(b.dir / "all.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line.rfind("file,floor,level,point,", 0), 0u) << line;
    while (std::getline(csv, line)) {
        const std::size_t a = line.find(','), c = line.find(',', a + 1), d = line.find(',', c + 1);
        ++rows[line.substr(a + 1, d - a - 1)];
    }
    EXPECT_EQ(rows, (std::map<std::string, int>{{"Ground,0", 300}, {"First,1", 300}, {"Yard,-1", 64}}));

    ASSERT_EQ(b.Quorl({"ssd", "export", b.site, "--format", "geojson", "-o", b.dir / "all.geojson"}).status, 0);
    const Json features = Json::parse(ReadText(b.dir / "all.geojson"))["features"];
    std::map<std::string, int> byFloor;
    for (const Json& f : features) {
        const Json& p = f["properties"];
        ++byFloor[p["floor"].get<std::string>() + "," + std::to_string(p["level"].get<int>())];
        // Every yard point lies on the yard's plan through its own projection.
        if (p["floor"] == "Yard") {
            EXPECT_TRUE(p["x"].is_number() && p["x"].get<double>() >= 0 && p["x"].get<double>() < 800) << p;
        }
    }
    EXPECT_EQ(byFloor, (std::map<std::string, int>{{"Ground,0", 300}, {"First,1", 300}, {"Yard,-1", 64}}));

    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"--format", "sqlite", "--spreadsheet"},
          {"--format", "csv", "--projection", b.dir / "plans/yard.gpf"}})
        EXPECT_EQ(b.Quorl(Plus({"ssd", "export", b.site, "-o", b.dir / "no.out"}, refused)).status, 2);
    EXPECT_FALSE(std::filesystem::exists(b.dir / "no.out"));
}

// Points by "floor,level" as the sqlite3 shell reads them from a database,
// each point counted once by its survey and number.
std::map<std::string, int> DatabasePoints(Building& b, const std::string& db, const std::string& sql) {
    const Outcome o = quorl::test::Shell(b.dir, {"sqlite3", "-list", "-separator", ",", db, sql});
    EXPECT_EQ(o.status, 0) << o.err;
    std::map<std::string, int> points;
    std::istringstream rows(o.out);
    for (std::string line; std::getline(rows, line);) {
        const std::size_t last = line.rfind(',');
        points[line.substr(0, last)] = std::stoi(line.substr(last + 1));
    }
    return points;
}

TEST(Building, DatabasesRecordEachSurveysSiteAndFloor) {
    Building b;
    b.Run({"site", "add-survey", b.site, "--floor", "Yard", b.dir / "yard.ssd"});
    const std::map<std::string, int> lattices{{"Head office,Ground,0", 300}, {"Head office,First,1", 300},
                                              {"Head office,Yard,-1", 64}};
    struct Case {
        std::string format, points;
    };
    const Case cases[] = {
        {"sqlite", "points"},
        {"gpkg", "survey_points"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const std::string db = b.dir / ("all." + c.format);
        const std::string count = "SELECT s.site, s.floor, s.floor_level, count(DISTINCT p.survey || ':' || p.number) "
                                  "FROM " + c.points + " p JOIN surveys s ON s.id = p.survey GROUP BY 1, 2, 3";
        const std::string rows = "SELECT 'rows', count(*) FROM " + c.points;
        ASSERT_EQ(b.Quorl({"ssd", "export", b.site, "--format", c.format, "-o", db}).status, 0);
        EXPECT_EQ(DatabasePoints(b, db, count), lattices);
        EXPECT_EQ(DatabasePoints(b, db, rows), (std::map<std::string, int>{{"rows", 664}}));
        // Again: the same surveys add nothing.
        const Outcome again = b.Quorl({"ssd", "export", b.site, "--format", c.format, "-o", db});
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_NE(again.err.find("already in"), std::string::npos) << again.err;
        EXPECT_EQ(DatabasePoints(b, db, rows), (std::map<std::string, int>{{"rows", 664}}));

        // A database made before the site columns takes the building beside
        // its survey, which keeps no site.
        const std::string old = b.dir / ("old." + c.format);
        ASSERT_EQ(b.Quorl({"ssd", "export", b.dir / "first-east.ssd", "--format", c.format, "-o", old}).status, 0);
        const Outcome drop = quorl::test::Shell(
            b.dir, {"sqlite3", old,
                    "ALTER TABLE surveys DROP COLUMN site; ALTER TABLE surveys DROP COLUMN floor; "
                    "ALTER TABLE surveys DROP COLUMN floor_level;"});
        ASSERT_EQ(drop.status, 0) << drop.err;
        const Outcome upgraded = b.Quorl({"ssd", "export", b.site, "--format", c.format, "-o", old});
        EXPECT_EQ(upgraded.status, 0) << upgraded.err;
        EXPECT_EQ(DatabasePoints(b, old, count),
                  (std::map<std::string, int>{{",,", 150}, {"Head office,Ground,0", 300}, {"Head office,First,1", 150},
                                              {"Head office,Yard,-1", 64}}));
    }
    if (quorl::test::Shell(b.dir, {"sh", "-c", "command -v ogrinfo"}).status == 0) {
        const Outcome gdal = quorl::test::Shell(b.dir, {"ogrinfo", "-ro", "-q", b.dir / "all.gpkg", "surveys"});
        EXPECT_EQ(gdal.status, 0) << gdal.err;
        EXPECT_NE(gdal.out.find("floor (String) = Yard"), std::string::npos) << gdal.out;
        EXPECT_NE(gdal.out.find("floor_level (Integer64) = -1"), std::string::npos) << gdal.out;
    }
}

TEST(Building, ReportOpensWithTheBuildingThenEachFloor) {
    Building b;
    const std::string dir = b.dir / "report";
    const Outcome r = b.Quorl({"report", b.site, "-o", dir, "--require", "signal>=-67"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string html = ReadText(dir + "/index.html");
    // Well-formed, as every page quorl writes.
    const Outcome xml = quorl::test::Shell(
        b.dir, {"python3", "-c", "import sys, xml.dom.minidom as m; m.parse(sys.argv[1])", dir + "/index.html"});
    EXPECT_EQ(xml.status, 0) << xml.err;
    const auto at = [&](const std::string& text) { return html.find(text); };
    ASSERT_NE(at("<h2>Building</h2>"), std::string::npos) << html;
    EXPECT_LT(at("<h2>Building</h2>"), at("<h2>Access points</h2>"));
    EXPECT_LT(at("<h2>Access points</h2>"), at("<h2>Floor Ground (level 0)</h2>"));
    EXPECT_LT(at("<h2>Floor Ground (level 0)</h2>"), at("<h2>Floor First (level 1)</h2>"));
    EXPECT_NE(at("The building's verdict: fail: 3 floors, 1 not surveyed"), std::string::npos) << html;
    EXPECT_NE(at("<tr><td>Ground</td><td class=\"n\">0</td><td>signal&gt;=-67</td><td>PASS</td>"), std::string::npos);
    EXPECT_NE(at("<tr><td>First</td><td class=\"n\">1</td><td>signal&gt;=-67</td><td>FAIL</td>"), std::string::npos);
    EXPECT_NE(at("<tr><td>Yard</td><td class=\"n\">-1</td><td>all</td><td>NOT SURVEYED</td>"), std::string::npos);
    // The lattices' networks: 1 on the ground floor, 3 at -60 on the first floor's west half.
    EXPECT_NE(at("<td>00-00-00-00-00-01</td><td>office</td><td class=\"n\">6</td><td>2.4 GHz</td><td class=\"n\">-60</td>"
                 "<td>Ground</td><td class=\"n\">0</td><td class=\"n\">1</td>"),
              std::string::npos)
        << html;
    EXPECT_NE(at("<td>00-00-00-00-00-03</td><td>office</td><td class=\"n\">6</td><td>2.4 GHz</td><td class=\"n\">-60</td>"
                 "<td>First</td><td class=\"n\">1</td>"),
              std::string::npos);
    for (const char* file : {"floor-Ground/index.html", "floor-Ground/signal.png", "floor-First/requirement-1.png"})
        EXPECT_TRUE(std::filesystem::exists(dir + "/" + file)) << file;
    EXPECT_FALSE(std::filesystem::exists(dir + "/floor-Yard"));
    // Each floor's page is the one-floor report of its surveys.
    EXPECT_NE(ReadText(dir + "/floor-First/index.html").find("<h2>Requirements</h2>\n<p>The floor does not pass"),
              std::string::npos);

    // Bad input writes nothing.
    EXPECT_EQ(b.Quorl({"report", b.site, "-o", b.dir / "r2"}).status, 2);  // no requirements anywhere
    EXPECT_EQ(b.Quorl({"report", b.site, "--projection", b.dir / "plans/ground.lpf", "-o", b.dir / "r2"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(b.dir / "r2"));
}

}  // namespace
