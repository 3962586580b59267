// quorl site through the built program: a building put together by its
// commands and read back by info, and every refusal as one table: exit 2,
// a message naming what is wrong, the site file byte for byte as it was.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "tests/site/SiteTestSupport.h"

namespace {

using quorl::test::Outcome;
using quorl::test::TempDir;

struct Building {
    TempDir dir;
    std::string site = dir / "b.qsite";
    Building() {
        std::filesystem::create_directories(dir / "plans");
        quorl::test::CopyDemo("demo.lpf", dir / "plans/ground.lpf");
        quorl::test::CopyDemo("demo.lpf", dir / "plans/first.lpf");
        quorl::test::CopyDemo("demo.gpf", dir / "plans/yard.gpf");
        quorl::test::WriteBytes(dir / "ground-am.ssd", quorl::test::PlanLattice(20, 380, 40, -60));
        quorl::test::WriteBytes(dir / "ground-pm.ssd", quorl::test::PlanLattice(420, 780, 40, -62));
        quorl::test::WriteBytes(dir / "yard.ssd", quorl::test::GpsLattice(5, -55));
        quorl::test::WriteBytes(dir / "off.ssd", quorl::test::OffPlan());
    }
    Outcome Site(std::vector<std::string> args) {
        args.insert(args.begin(), "site");
        return quorl::test::Quorl(dir, args);
    }
};

void Ok(const Outcome& o) { ASSERT_EQ(o.status, 0) << o.err; }

TEST(SiteCommand, BuildsASiteAndSaysWhatIsMissing) {
    Building b;
    Ok(b.Site({"new", b.site, "--name", "Head office"}));
    Ok(b.Site({"add-floor", b.site, "--name", "Ground", "--projection", b.dir / "plans/ground.lpf", "--level", "0",
               "--height", "3.5"}));
    Ok(b.Site({"add-floor", b.site, "--name", "First", "--projection", b.dir / "plans/first.lpf", "--level", "1"}));
    Ok(b.Site({"add-floor", b.site, "--name", "Yard", "--projection", b.dir / "plans/yard.gpf", "--level", "-1"}));
    Ok(b.Site({"add-survey", b.site, "--floor", "Ground", b.dir / "ground-am.ssd", b.dir / "ground-pm.ssd"}));
    EXPECT_EQ(b.Site({"add-survey", b.site, "--floor", "Yard", b.dir / "yard.ssd", b.dir / "ground-pm.ssd"}).status, 2)
        << "a survey of one floor was added to another";
    Ok(b.Site({"add-survey", b.site, "--floor", "Yard", b.dir / "yard.ssd"}));

    // Stored relative to the site file, whatever the working folder.
    const auto bytes = quorl::test::ReadBytes(b.site);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("\"plans/ground.lpf\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"ground-am.ssd\""), std::string::npos) << text;

    const Outcome info = b.Site({"info", b.site, "--json"});
    Ok(info);
    const auto j = nlohmann::json::parse(info.out);
    EXPECT_EQ(j["site"], "Head office");
    ASSERT_EQ(j["floors"].size(), 3u);
    const auto& ground = j["floors"][0];
    EXPECT_EQ(ground["level"], 0);
    EXPECT_EQ(ground["height_m"], 3.5);
    EXPECT_EQ(ground["kind"], "linear");
    EXPECT_EQ(ground["points"], 2 * 10 * 15);  // two lattices of 10 columns, 15 rows
    EXPECT_TRUE(j["floors"][1]["surveyed"] == false);
    EXPECT_EQ(j["floors"][2]["kind"], "gps");
    EXPECT_EQ(j["floors"][2]["points"], 25);
    EXPECT_TRUE(j["floors"][2]["metres_per_pixel"].is_number());
    ASSERT_EQ(j["missing"].size(), 1u);
    EXPECT_NE(j["missing"][0].get<std::string>().find("\"First\" is not surveyed"), std::string::npos);

    // A survey gone from the disk is named, not fatal to info.
    std::filesystem::remove(b.dir / "yard.ssd");
    const Outcome text2 = b.Site({"info", b.site});
    Ok(text2);
    EXPECT_NE(text2.out.find("yard.ssd"), std::string::npos) << text2.out;
    EXPECT_NE(text2.out.find("cannot be used"), std::string::npos) << text2.out;

    Ok(b.Site({"remove-survey", b.site, "--floor", "Yard", b.dir / "yard.ssd"}));
    const auto after = nlohmann::json::parse(b.Site({"info", b.site, "--json"}).out);
    EXPECT_TRUE(after["floors"][2]["surveys"].empty());
}

TEST(SiteCommand, EveryRefusalLeavesTheFileAsItWas) {
    Building b;
    Ok(b.Site({"new", b.site, "--name", "B"}));
    Ok(b.Site({"add-floor", b.site, "--name", "Ground", "--projection", b.dir / "plans/ground.lpf"}));
    Ok(b.Site({"add-survey", b.site, "--floor", "Ground", b.dir / "ground-am.ssd"}));
    auto write = [&](const std::string& name, const std::string& text) {
        quorl::test::WriteBytes(b.dir / name, quorl::test::Bytes(text.begin(), text.end()));
        return b.dir / name;
    };
    // The parser stops at the end of the token it did not expect.
    const std::string broken = write("broken.qsite", "{\n  \"format\": \"quorl-site\",\n  \"name\" \"B\"\n}");
    const std::string newer = write("newer.qsite", R"({"format": "quorl-site", "version": 7, "name": "B"})");
    const std::string twice = write("twice.qsite", R"({"format": "quorl-site", "version": 1, "name": "B", "floors": [
        {"name": "G", "projection": "plans/ground.lpf"}, {"name": "G", "projection": "plans/first.lpf"}]})");
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"new", b.site, "--name", "Again"}, "already there"},
        {{"new", b.dir / "x.qsite"}, "--name"},
        {{"info", broken}, "line 3, column 12"},  // the end of the unexpected "B"
        {{"add-floor", broken, "--name", "F", "--projection", b.dir / "plans/first.lpf"}, "line 3"},
        {{"info", newer}, "newer"},
        {{"info", twice}, "two floors are named \"G\""},
        {{"info", b.dir / "missing.qsite"}, "missing.qsite"},
        {{"add-floor", b.site, "--name", "Ground", "--projection", b.dir / "plans/first.lpf"}, "already has a floor"},
        {{"add-floor", b.site, "--name", "F", "--projection", b.dir / "plans/none.lpf"}, "none.lpf"},
        {{"add-floor", b.site, "--name", "F", "--projection", b.dir / "ground-am.ssd"}, "ground-am.ssd"},
        {{"add-floor", b.site, "--name", "F", "--projection", b.dir / "plans/first.lpf", "--level", "1.5"}, "--level"},
        {{"add-floor", b.site, "--name", "F", "--projection", b.dir / "plans/first.lpf", "--height", "-2"}, "--height"},
        {{"add-floor", b.site, "--name", "F"}, "--projection"},
        {{"add-survey", b.site, "--floor", "Roof", b.dir / "ground-pm.ssd"}, "no floor named \"Roof\""},
        {{"add-survey", b.site, "--floor", "Ground", b.dir / "nowhere.ssd"}, "nowhere.ssd"},
        {{"add-survey", b.site, "--floor", "Ground", b.dir / "off.ssd"}, "off.ssd"},
        // All or nothing: the good survey before the bad one is not kept.
        {{"add-survey", b.site, "--floor", "Ground", b.dir / "ground-pm.ssd", b.dir / "off.ssd"}, "off.ssd"},
        {{"add-survey", b.site, "--floor", "Ground", b.dir / "ground-am.ssd"}, "already a survey"},
        {{"add-survey", b.site, "--floor", "Ground"}, "no survey"},
        {{"remove-survey", b.site, "--floor", "Ground", b.dir / "ground-pm.ssd"}, "not a survey of floor"},
        {{"info", b.site, "--floor", "Ground"}, "unexpected"},
        {{"rename", b.site}, "unexpected argument 'rename'"},
    };
    const auto before = quorl::test::ReadBytes(b.site);
    for (const Case& c : cases) {
        const Outcome o = b.Site(c.args);
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        EXPECT_EQ(o.status, 2) << line;
        EXPECT_NE(o.err.find(c.says), std::string::npos) << line << "\n  said: " << o.err;
        EXPECT_EQ(quorl::test::ReadBytes(b.site), before) << line;
    }
    EXPECT_FALSE(std::filesystem::exists(b.dir / "x.qsite"));
    // Nothing but what the test put there: no temporaries left behind.
    for (const auto& name : b.dir.Names()) EXPECT_EQ(name.find("quorl-tmp"), std::string::npos) << name;
}

}  // namespace
