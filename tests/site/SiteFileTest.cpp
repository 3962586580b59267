// The site file: what a round trip keeps, every refusal of a file's text
// (one table, with the line and column of bad JSON counted by hand), paths
// relative to the file's folder, and a floor's surveys fitted to its plan.

#include <gtest/gtest.h>

#include <filesystem>

#include "site/FloorFiles.h"
#include "site/SiteFile.h"
#include "site/SiteFormat.h"
#include "tests/site/SiteTestSupport.h"

namespace {

using namespace quorl::site;
using quorl::test::TempDir;

std::string Text(const std::string& sitePath) {
    const auto b = quorl::test::ReadBytes(sitePath);
    return std::string(b.begin(), b.end());
}

void Write(const std::string& path, const std::string& text) {
    quorl::test::WriteBytes(path, quorl::test::Bytes(text.begin(), text.end()));
}

TEST(SiteFile, RoundTripKeepsEverythingAHandEditorWrote) {
    TempDir dir;
    const std::string path = dir / "b.qsite";
    Write(path, R"({"format": "quorl-site", "version": 1, "name": "Head office", "owner": {"who": "facilities"},
  "floors": [
    {"name": "Ground", "level": 0, "height_m": 3.5, "projection": "plans/g.lpf", "surveys": ["g1.ssd", "../x/g2.ssd"], "note": "east wing"},
    {"name": "Basement", "level": -1, "projection": "/abs/b.gpf"}
  ],
  "requirements": {"profile": "voice", "require": ["signal>=-67", "ap-count>=2"], "area_pass": 90, "max_unsurveyed": 25}})");
    Site site;
    std::string error;
    ASSERT_TRUE(LoadSite(path, site, error)) << error;
    EXPECT_EQ(site.name, "Head office");
    ASSERT_EQ(site.floors.size(), 2u);
    EXPECT_EQ(site.floors[0].heightMetres, 3.5);
    EXPECT_EQ(site.floors[0].surveys, (std::vector<std::string>{"g1.ssd", "../x/g2.ssd"}));
    EXPECT_EQ(site.floors[1].level, -1);
    EXPECT_FALSE(site.floors[1].heightMetres);
    EXPECT_EQ(site.requirements.profiles, std::vector<std::string>{"voice"});
    EXPECT_EQ(site.requirements.areaPass, 90);
    EXPECT_EQ(site.requirements.maxUnsurveyed, 25);

    ASSERT_TRUE(SaveSite(path, site, error)) << error;
    const std::string once = Text(path);
    for (const char* kept : {"\"owner\"", "facilities", "\"note\": \"east wing\"", "\"version\": 1"})
        EXPECT_NE(once.find(kept), std::string::npos) << kept;
    Site again;
    ASSERT_TRUE(LoadSite(path, again, error)) << error;
    ASSERT_TRUE(SaveSite(path, again, error)) << error;
    EXPECT_EQ(Text(path), once);  // a second trip changes nothing
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"b.qsite"});  // no temporary left
}

TEST(SiteFile, EveryRefusalNamesWhatIsWrong) {
    const std::string floor = R"({"name": "G", "projection": "g.lpf"})";
    auto site = [](const std::string& body) { return R"({"format": "quorl-site", "version": 1, "name": "B")" + body + "}"; };
    struct Case {
        std::string text;
        std::string says;
    };
    const Case cases[] = {
        // Bad JSON, its place counted by hand: line 3, column 11 is the comma.
        {"{\n  \"format\": \"quorl-site\",\n  \"name\": ,\n}", "line 3, column 11"},
        {"{\"format\": \"quorl-site\"", "line 1, column 24"},
        {"", "line 1, column 1"},
        {"[1, 2]", "not a site file"},
        {R"({"format": "other", "version": 1, "name": "B"})", "not a site file"},
        {R"({"version": 1, "name": "B"})", "not a site file"},
        {R"({"format": "quorl-site", "version": 2, "name": "B"})", "newer"},
        {R"({"format": "quorl-site", "version": "1", "name": "B"})", "\"version\""},
        {R"({"format": "quorl-site", "version": 1})", "no \"name\""},
        {R"({"format": "quorl-site", "version": 1, "name": ""})", "no name"},
        {site(R"(, "floors": {})"), "not a list"},
        {site(R"(, "floors": [)" + floor + ", " + floor + "]"), "two floors are named \"G\""},
        {site(R"(, "floors": [{"name": "G"}])"), "no \"projection\""},
        {site(R"(, "floors": [{"name": "G", "projection": ""}])"), "has no projection"},
        {site(R"(, "floors": [{"name": "G", "projection": "g.lpf", "level": 1.5}])"), "\"level\""},
        {site(R"(, "floors": [{"name": "G", "projection": "g.lpf", "level": 99999999999}])"), "\"level\""},
        {site(R"(, "floors": [{"name": "G", "projection": "g.lpf", "height_m": -3}])"), "height"},
        {site(R"(, "floors": [{"name": "G", "projection": "g.lpf", "surveys": [1]}])"), "list of texts"},
        {site(R"(, "floors": [{"name": "G", "projection": "g.lpf", "surveys": ["a.ssd", "./a.ssd"]}])"), "listed twice"},
        {site(R"(, "floors": [{"name": "G", "projection": "g.lpf", "surveys": ["a.ssd"]},
                              {"name": "H", "projection": "h.lpf", "surveys": ["a.ssd"]}])"), "listed twice"},
        {site(R"(, "requirements": {"require": ["signal>>-67"]})"), "\"requirements\""},
        {site(R"(, "requirements": {"profile": "roaming"})"), "roaming"},
        {site(R"(, "requirements": {"area_pass": 101})"), "area_pass"},
        {site(R"(, "requirements": {"max_unsurveyed": -1})"), "max_unsurveyed"},
        {site(R"(, "deep": )" + std::string(100, '[') + std::string(100, ']')), "deep"},
    };
    for (const Case& c : cases) {
        Site out;
        out.name = "untouched";
        std::string error;
        EXPECT_FALSE(ParseSite(c.text, out, error)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << "\n  said: " << error;
        EXPECT_EQ(out.name, "untouched") << c.text;
    }
}

TEST(SiteFile, FilesThatCannotBeSitesAreRefusedUnharmed) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    Write(dir / "huge.qsite", std::string(kMaxSiteFileBytes + 1, ' '));
    std::filesystem::create_symlink(dir / "elsewhere.qsite", dir / "link.qsite");
    Site site, out;
    site.name = "B";
    std::string error;
    EXPECT_FALSE(LoadSite(dir / "missing.qsite", out, error));
    EXPECT_NE(error.find("missing.qsite"), std::string::npos) << error;
    EXPECT_FALSE(LoadSite(dir / "folder", out, error));
    EXPECT_FALSE(LoadSite(dir / "huge.qsite", out, error));
    EXPECT_NE(error.find("larger"), std::string::npos) << error;
    // Written only whole and only where the path is a plain file or free.
    EXPECT_FALSE(SaveSite(dir / "link.qsite", site, error));
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere.qsite"));
    EXPECT_FALSE(SaveSite(dir / "folder", site, error));
    site.floors.push_back({"G", 0, {}, "g.lpf", {"b.qsite"}, {}});
    EXPECT_FALSE(SaveSite(dir / "b.qsite", site, error)) << "a site never replaces its own survey";
}

TEST(SiteFile, PathsAreStoredRelativeToTheSiteFolder) {
    const std::string cwd = std::filesystem::current_path().generic_string();
    struct Case {
        std::string site, given, stored, opened;
    };
    const Case cases[] = {
        {"b.qsite", "g.lpf", "g.lpf", "g.lpf"},
        {"job/b.qsite", "job/plans/g.lpf", "plans/g.lpf", "job/plans/g.lpf"},
        {"job/b.qsite", "other/s.ssd", "../other/s.ssd", "other/s.ssd"},
        {"job/./b.qsite", "job/x/../s.ssd", "s.ssd", "job/s.ssd"},
        {"/srv/job/b.qsite", "/srv/job/s.ssd", "s.ssd", "/srv/job/s.ssd"},
        {"/srv/job/b.qsite", "/data/s.ssd", "../../data/s.ssd", "/data/s.ssd"},
        {"/srv/job/b.qsite", "s.ssd", std::filesystem::path(cwd + "/s.ssd").lexically_relative("/srv/job").generic_string(),
         cwd + "/s.ssd"},
    };
    for (const Case& c : cases) {
        const std::string stored = StoredPath(c.site, c.given);
        EXPECT_EQ(stored, c.stored) << c.site << " " << c.given;
        EXPECT_EQ(std::filesystem::path(OpenPath(c.site, stored)).lexically_normal(),
                  std::filesystem::path(c.opened).lexically_normal())
            << c.site << " " << c.given;
    }
    EXPECT_EQ(OpenPath("job/b.qsite", "/abs/g.lpf"), "/abs/g.lpf");
}

TEST(FloorFiles, SurveysFitTheirPlanOrSayWhy) {
    TempDir dir;
    quorl::test::CopyDemo("demo.lpf", dir / "g.lpf");
    quorl::test::CopyDemo("demo.gpf", dir / "f.gpf");
    quorl::test::WriteBytes(dir / "taps.ssd", quorl::test::PlanLattice(20, 780, 40, -60));
    quorl::test::WriteBytes(dir / "gps.ssd", quorl::test::GpsLattice(6, -60));
    quorl::test::WriteBytes(dir / "off.ssd", quorl::test::OffPlan());
    quorl::test::WriteBytes(dir / "new.ssd", quorl::test::CollectionBuilder().Get());
    Write(dir / "junk.ssd", "not a collection at all");
    struct Case {
        std::string projection, survey;
        bool fits;
        std::size_t points;
    };
    const Case cases[] = {
        {"g.lpf", "taps.ssd", true, 20 * 15},
        {"f.gpf", "gps.ssd", true, 36},
        {"f.gpf", "taps.ssd", true, 20 * 15},  // taps stand at their pixel on any plan of the size
        {"g.lpf", "off.ssd", false, 0},
        {"g.lpf", "new.ssd", true, 0},  // begun in the collector, no point yet
        {"g.lpf", "junk.ssd", false, 0},
        {"g.lpf", "missing.ssd", false, 0},
    };
    for (const Case& c : cases) {
        quorl::analysis::PlanSource plan;
        std::string error;
        ASSERT_TRUE(ReadPlan(dir / c.projection, plan, error)) << error;
        EXPECT_TRUE(plan.bitmap.empty());
        const SurveyFiles fit = FitSurvey(dir / c.survey, plan);
        EXPECT_EQ(fit.fits, c.fits) << c.survey << ": " << fit.error;
        EXPECT_EQ(fit.points, c.points) << c.survey;
        if (!c.fits) {
            EXPECT_NE(fit.error.find(c.survey), std::string::npos) << fit.error;
        }
    }
}

TEST(FloorFiles, ACopiedFolderKeepsWorking) {
    TempDir dir;
    std::filesystem::create_directories(dir / "job/plans");
    quorl::test::CopyDemo("demo.lpf", dir / "job/plans/g.lpf");
    quorl::test::WriteBytes(dir / "job/g.ssd", quorl::test::PlanLattice(20, 780, 40, -60));
    Site site;
    site.name = "B";
    std::string error;
    const std::string path = dir / "job/b.qsite";
    ASSERT_TRUE(AddFloor(site, {"G", 0, {}, StoredPath(path, dir / "job/plans/g.lpf"), {}, {}}, error)) << error;
    ASSERT_TRUE(AddSurvey(site, "G", StoredPath(path, dir / "job/g.ssd"), error)) << error;
    ASSERT_TRUE(SaveSite(path, site, error)) << error;
    std::filesystem::copy(dir / "job", dir / "moved", std::filesystem::copy_options::recursive);
    std::filesystem::remove_all(dir / "job");
    Site moved;
    ASSERT_TRUE(LoadSite(dir / "moved/b.qsite", moved, error)) << error;
    const FloorFiles files = InspectFloor(dir / "moved/b.qsite", moved.floors.at(0));
    EXPECT_EQ(files.FirstProblem(), "");
    EXPECT_EQ(files.Points(), 20u * 15u);
}

TEST(Site, EditsRefuseWithoutChangingAnything) {
    Site site;
    site.name = "B";
    std::string error;
    ASSERT_TRUE(AddFloor(site, {"G", 0, {}, "g.lpf", {}, {}}, error));
    ASSERT_TRUE(AddFloor(site, {"F", 1, 3.0, "f.lpf", {}, {}}, error));
    ASSERT_TRUE(AddSurvey(site, "G", "a.ssd", error));
    const std::string before = SiteText(site);
    EXPECT_FALSE(AddFloor(site, {"G", 2, {}, "h.lpf", {}, {}}, error));
    EXPECT_FALSE(AddFloor(site, {"", 2, {}, "h.lpf", {}, {}}, error));
    EXPECT_FALSE(AddFloor(site, {"H", 2, {}, "", {}, {}}, error));
    EXPECT_FALSE(AddFloor(site, {"H", 2, 0.0, "h.lpf", {}, {}}, error));
    EXPECT_FALSE(AddSurvey(site, "Roof", "b.ssd", error));
    EXPECT_NE(error.find("\"G\" \"F\""), std::string::npos) << "names the floors there are: " << error;
    EXPECT_FALSE(AddSurvey(site, "F", "./a.ssd", error));
    EXPECT_NE(error.find("floor \"G\""), std::string::npos) << error;
    EXPECT_FALSE(RemoveSurvey(site, "F", "a.ssd", error));
    EXPECT_FALSE(RemoveSurvey(site, "Roof", "a.ssd", error));
    EXPECT_EQ(SiteText(site), before);
    EXPECT_TRUE(RemoveSurvey(site, "G", "./a.ssd", error));
    EXPECT_TRUE(site.FindFloor("G")->surveys.empty());
}

}  // namespace
