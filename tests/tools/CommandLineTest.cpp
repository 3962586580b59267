// The command line every `quorl` command shares: help in its three forms,
// usage errors, and --opt=value meaning what --opt value means.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/survey/SurveyTestSupport.h"

namespace {

using namespace quorl::test;

// Every command and subcommand with the options its help must name. Written
// here by hand: the help is checked against what users are told exists.
const std::map<std::string, std::vector<std::string>> kCommands = {
    {"sim", {"--scenario"}},
    {"replay", {"--scan"}},
    {"ssd", {}},
    {"ssd info", {}},
    {"ssd dump", {}},
    {"ssd export", {"--format", "--output", "--projection", "--spreadsheet"}},
    {"proj", {}},
    {"proj info", {}},
    {"proj decode", {}},
    {"proj make", {"--kind", "--transform", "--calibrate", "--image"}},
    {"proj scale", {"--points", "--metres"}},
    {"completion", {}},
    {"unit", {}},
    {"unit list", {"--link"}},
    {"unit remember", {"--serial", "--rules"}},
    {"unit forget", {"--rules"}},
    {"completion bash", {}},
    {"aps", {"--projection", "--walls", "--json", "--floor"}},
    {"site", {}},
    {"site new", {"--name"}},
    {"site add-floor", {"--name", "--projection", "--level", "--height"}},
    {"site add-survey", {"--floor"}},
    {"site remove-survey", {"--floor"}},
    {"site info", {"--json"}},
#if QUORL_TOOL_HAS_MAPS
    {"heatmap", {"--projection", "--metric", "--ssid", "--mac", "--radio", "--band", "--channel", "--threshold",
                 "--min", "--max", "--radius", "--scale", "--output", "--values", "--area", "--floor"}},
    {"check", {"--projection", "--require", "--profile", "--ssid", "--band", "--radio", "--threshold", "--radius",
               "--area-pass", "--max-unsurveyed", "--area", "--json", "--output"}},
    {"report", {"--projection", "--output", "--require", "--profile", "--area-pass", "--max-unsurveyed", "--area"}},
#endif
};

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(' ', start)) != std::string::npos; start = end + 1)
        words.push_back(text.substr(start, end - start));
    words.push_back(text.substr(start));
    return words;
}

std::vector<std::string> Plus(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(CommandLine, EveryCommandAnswersHelpInEachFormOnStandardOutput) {
    TempDir dir;
    for (const auto& [path, options] : kCommands) {
        const std::vector<std::string> words = Words(path);
        for (const auto& args : {Plus(words, {"--help"}), Plus(words, {"-h"}), Plus({"help"}, words),
                                 // Help wins over whatever else is on the line.
                                 Plus(words, {"--no-such-option", "--help"})}) {
            std::string line;
            for (const auto& a : args) line += a + " ";
            SCOPED_TRACE(line);
            const Outcome o = Quorl(dir, args);
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.err, "");
            EXPECT_EQ(o.out.rfind("usage: quorl " + words.front(), 0), 0u) << o.out;
            for (const std::string& option : options) EXPECT_NE(o.out.find(option), std::string::npos) << option;
            // A command with subcommands lists each of them.
            for (const auto& [other, unused] : kCommands)
                if (other.size() > path.size() && other.rfind(path + " ", 0) == 0) {
                    EXPECT_NE(o.out.find("  " + other.substr(path.size() + 1) + " "), std::string::npos) << other;
                }
        }
    }
    for (const auto& args : {std::vector<std::string>{"--help"}, {"-h"}, {"help"}}) {
        const Outcome o = Quorl(dir, args);
        EXPECT_EQ(o.status, 0);
        for (const auto& [path, unused] : kCommands)
            if (path.find(' ') == std::string::npos) {
                EXPECT_NE(o.out.find("  " + path + " "), std::string::npos) << path;
            }
    }
}

TEST(CommandLine, UsageErrorsGoToStandardErrorWithStatusTwo) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        std::string message;  // a piece of standard error
        int status = 2;
    };
    std::vector<Case> cases = {
        {{}, "usage: quorl COMMAND"},
        {{"no-such-command"}, "unknown command 'no-such-command'"},
        {{"help", "no-such-command"}, "unknown command 'no-such-command'"},
        {{"help", "ssd", "no-such"}, "no such command 'no-such'"},
        {{"ssd"}, "which one? info, dump, export"},
        {{"proj"}, "which one?"},
        {{"ssd", "info"}, "a collection file is needed"},
        {{"ssd", "info", "a.ssd", "b.ssd"}, "unexpected argument 'b.ssd'"},
        {{"ssd", "export", "a.ssd", "--format"}, "--format needs a value"},
        {{"ssd", "export", "a.ssd", "--format", "xml", "-o", "x"}, "--format takes csv, geojson"},
        {{"ssd", "export", "a.ssd", "--format", "kml", "-o", "x", "--spreadsheet"}, "--format csv only"},
        {{"proj", "decode", "a.gpf"}, "usage: quorl proj decode"},
        {{"proj", "make", "--kind", "gps", "--image", "a.bmp", "out"}, "--transform or --calibrate is needed"},
        {{"proj", "scale", "a.gpf", "--points", "0,0;1,1"}, "--points and --metres go together"},
        {{"replay"}, "a capture file is needed"},
        {{"sim", "extra"}, "unexpected argument 'extra'"},
        // Not usage errors: after "--" a name may start with a dash, and values may too.
        {{"ssd", "info", "--", "-x.ssd"}, "cannot open -x.ssd", 1},
        {{"proj", "make", "--kind", "gps", "--transform", "-1,0,0,1,0,0", "--image", "-x.bmp", "o"}, "-x.bmp", 1},
        {{"proj", "make", "--kind", "gps", "--calibrate", "0,0,47,8;10,10,47.1,8.1", "--image", "a.bmp", "o"},
         "at least three reference points", 1},
        {{"proj", "make", "--kind", "gps", "--calibrate=0,0,47,8;10,10,47.1,8;20,20,47.2,8;30,30,47.3,8.2",
          "--image", "a.bmp", "o"},
         "one line on the plan", 1},
    };
    for (const auto& [path, unused] : kCommands) cases.push_back({Plus(Words(path), {"--frobnicate=1"}), "unexpected argument '--frobnicate=1'"});
#if QUORL_TOOL_HAS_MAPS
    cases.push_back({{"heatmap", "a.ssd", "--projection"}, "--projection needs a value"});
    cases.push_back({{"check", "a.ssd", "--projection", "p.gpf", "--require", "signal>>3"}, "quorl check:"});
    cases.push_back({{"report", "a.ssd", "--projection", "p.gpf", "-o", "d", "--profile", "video"}, "--profile takes"});
#endif
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        SCOPED_TRACE(line);
        const Outcome o = Quorl(dir, c.args);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_EQ(o.err.find("usage: quorl") != std::string::npos, c.status == 2) << o.err;
    }
}

// What bash offers at the cursor (the last word) with the script sourced.
std::string Completed(const TempDir& dir, const std::string& words) {
    const std::string script = "source <(" + Quote(QUORL_TOOL) + " completion bash) && COMP_WORDS=(" + words +
                               ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && _quorl && echo \"${COMPREPLY[*]}\"";
    const Outcome o = RunCommandLine("cd " + Quote(dir.Path().string()) + " && bash -c " + Quote(script), dir);
    EXPECT_EQ(o.status, 0) << o.err;
    return o.out.empty() ? o.out : o.out.substr(0, o.out.size() - 1);
}

TEST(CommandLine, BashCompletionKnowsEveryCommandAndOption) {
    TempDir dir;
    WriteBytes(dir / "site.gpf", {});
    // Every command path's options, offered after its words and a dash.
    for (const auto& [path, options] : kCommands) {
        SCOPED_TRACE(path);
        const std::string offered = " " + Completed(dir, "quorl " + path + " --") + " ";
        for (const std::string& option : options) EXPECT_NE(offered.find(" " + option + " "), std::string::npos) << option;
        EXPECT_NE(offered.find(" --help "), std::string::npos);
    }
    const struct {
        const char* words;
        const char* offered;
    } cases[] = {
        {"quorl s", "sim site ssd"},
        {"quorl ssd ''", "info dump export"},
        {"quorl help proj ''", "info decode make scale"},
        {"quorl ssd export a.ssd --format ''", "csv geojson plan-geojson kml sqlite gpkg wigle"},
        {"quorl ssd export a.ssd --format g", "geojson gpkg"},
        {"quorl proj make --kind ''", "gps linear"},
        {"quorl proj info si", "site.gpf"},
        {"quorl ssd export a.ssd -o si", "site.gpf"},
#if QUORL_TOOL_HAS_MAPS
        {"quorl heatmap a.ssd --metric s", "signal secondary"},
        {"quorl check a.ssd --profile ''", "voice data basic"},
        {"quorl heatmap a.ssd --projection si", "site.gpf"},
#endif
    };
    for (const auto& c : cases) EXPECT_EQ(Completed(dir, c.words), c.offered) << c.words;
}

TEST(CommandLine, UnitRememberWritesOneRuleAndForgetRemovesIt) {
    TempDir dir;
    const std::string rules = dir / "61-quorl-unit.rules";
    Outcome o = Quorl(dir, {"unit", "remember", "--serial", "A10K1234", "--rules", rules});
    EXPECT_EQ(o.status, 0) << o.err;
    const Bytes written = ReadBytes(rules);
    const std::string text(written.begin(), written.end());
    EXPECT_NE(text.find("ATTRS{serial}==\"A10K1234\""), std::string::npos) << text;
    EXPECT_NE(text.find("SYMLINK+=\"quorl-unit\""), std::string::npos) << text;
    // A serial number that would break out of the rule, and no unit at all, are refused; the rule stays.
    EXPECT_EQ(Quorl(dir, {"unit", "remember", "--serial", "X\", SYMLINK+=\"sda", "--rules", rules}).status, 1);
    EXPECT_EQ(Quorl(dir, {"unit", "remember", "--rules", rules}).status, 2);
    EXPECT_EQ(Quorl(dir, {"unit", "remember", dir / "no-such-port", "--rules", rules}).status, 1);
    EXPECT_EQ(ReadBytes(rules), written);
    o = Quorl(dir, {"unit", "forget", "--rules", rules});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_FALSE(std::filesystem::exists(rules));
    EXPECT_EQ(Quorl(dir, {"unit", "forget", "--rules", rules}).status, 0);
}

#ifdef QUORL_DEMO_DIR
// Each case is written in the --opt=value form; the other form splits every
// "--opt=value" word in two. Both run in folders of their own holding the
// demo files, and must agree on status, both outputs and the files written.
TEST(CommandLine, EqualsFormMeansTheSameAsSeparateValue) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> outputs;
    } cases[] = {
        {{"ssd", "export", "demo.ssd", "--format=geojson", "--output=out.json", "--projection=demo.gpf"}, {"out.json"}},
        {{"ssd", "export", "demo.ssd", "--format=csv", "--spreadsheet", "--output=out.csv"}, {"out.csv"}},
        {{"proj", "make", "--kind=linear", "--transform=1,0,0,1,0,0", "--image=demo.bmp", "out.lpf"}, {"out.lpf"}},
        {{"proj", "scale", "--points=0,0;100,0", "out.lpf", "--metres=25"}, {}},
        {{"proj", "make", "--kind=gps", "--image=demo.bmp", "cal.gpf",
          "--calibrate=0,0,47.3773,8.541;800,0,47.3773,8.5418;0,600,47.3769,8.541;800,600,47.3769,8.5418"},
         {"cal.gpf"}},
        {{"sim", "--scenario=missing.json"}, {}},
        {{"replay", "--scan", "missing.bin"}, {}},
#if QUORL_TOOL_HAS_MAPS
        {{"heatmap", "demo.ssd", "--projection=demo.gpf", "--metric=ap-count", "--threshold=-75", "--min=-95",
          "--output=map.png", "--values=grid.csv"},
         {"map.png", "grid.csv"}},
        // The words after --require's value are requirements too, in either form.
        {{"check", "demo.ssd", "--require=signal>=-80", "ap-count>=1", "--projection=demo.gpf", "--profile=data",
          "--area-pass=50", "--max-unsurveyed=100", "--json"},
         {}},
#endif
    };
    for (const Case& c : cases) {
        std::vector<std::string> split;
        std::string line;
        for (const std::string& a : c.args) {
            line += a + " ";
            const std::size_t eq = a.find('=');
            if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
                split.push_back(a.substr(0, eq));
                split.push_back(a.substr(eq + 1));
            } else {
                split.push_back(a);
            }
        }
        SCOPED_TRACE(line);
        std::vector<Outcome> outcomes;
        std::vector<std::vector<Bytes>> written;
        for (const auto& args : {c.args, split}) {
            TempDir dir;
            for (const char* name : {"demo.ssd", "demo.gpf", "demo.bmp", "demo.lpf"})
                std::filesystem::copy_file(std::string(QUORL_DEMO_DIR) + "/" + name, dir / name);
            std::filesystem::copy_file(dir / "demo.lpf", dir / "out.lpf");
            std::string command = "cd " + Quote(dir.Path().string()) + " && " + Quote(QUORL_TOOL);
            for (const auto& a : args) command += " " + Quote(a);
            outcomes.push_back(RunCommandLine(command, dir));
            written.emplace_back();
            for (const std::string& name : c.outputs) {
                EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
                written.back().push_back(ReadBytes(dir / name));
            }
        }
        EXPECT_EQ(outcomes[0].status, outcomes[1].status);
        EXPECT_EQ(outcomes[0].out, outcomes[1].out);
        EXPECT_EQ(outcomes[0].err, outcomes[1].err);
        EXPECT_EQ(written[0], written[1]);
        EXPECT_NE(outcomes[0].status, 2) << outcomes[0].err;
        if (line.find("--calibrate") != std::string::npos) {
            // Four points of one affine transform: each residual printed, and none left.
            EXPECT_EQ(outcomes[0].status, 0) << outcomes[0].err;
            EXPECT_NE(outcomes[0].out.find("point 4 (800,600): residual 0.00 px, 0.00 m"), std::string::npos)
                << outcomes[0].out;
        }
    }
}

// A folder with the demo files and a temporary folder of its own, where
// shell command lines run.
struct DemoFolder {
    TempDir dir;
    DemoFolder() {
        for (const char* name : {"demo.ssd", "demo.gpf"})
            std::filesystem::copy_file(std::string(QUORL_DEMO_DIR) + "/" + name, dir / name);
        std::filesystem::create_directory(dir / "tmp");
    }
    Outcome Run(const std::string& line) {
        return RunCommandLine("cd " + Quote(dir.Path().string()) + " && TMPDIR=" + Quote(dir / "tmp") + " " + line, dir);
    }
    std::string Text(const std::string& name) {
        const Bytes b = ReadBytes(dir / name);
        return {b.begin(), b.end()};
    }
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Every stream format through standard input and output, against the same
// command on files: the file it writes is the oracle.
TEST(CommandLine, PipesCarryWhatFilesCarry) {
    DemoFolder demo;
    const std::string q = Quote(QUORL_TOOL);
    const Outcome dumped = demo.Run(q + " ssd dump demo.ssd");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    for (const std::string& line : {q + " ssd dump - < demo.ssd", "cat demo.ssd | " + q + " ssd dump -"}) {
        SCOPED_TRACE(line);
        const Outcome o = demo.Run(line);
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.out, dumped.out);
    }
    for (const std::string format : {"csv", "geojson", "kml", "wigle"}) {
        SCOPED_TRACE(format);
        const std::string common = " --format " + format + " --projection demo.gpf";
        ASSERT_EQ(demo.Run(q + " ssd export demo.ssd" + common + " -o out").status, 0);
        const std::string file = demo.Text("out");
        const Outcome out = demo.Run(q + " ssd export demo.ssd" + common + " -o -");
        EXPECT_EQ(out.status, 0) << out.err;
        EXPECT_EQ(out.out, file);
        // Read from a pipe, the survey is named by the file it was read through.
        const Outcome both = demo.Run("cat demo.ssd | " + q + " ssd export -" + common + " --output=-");
        EXPECT_EQ(both.status, 0) << both.err;
        EXPECT_EQ(both.out, Replaced(file, "demo.ssd", "/dev/stdin"));
    }
#if QUORL_TOOL_HAS_MAPS
    ASSERT_EQ(demo.Run(q + " heatmap demo.ssd --projection demo.gpf -o a.png --values grid.csv").status, 0);
    const Outcome grid = demo.Run("cat demo.ssd | " + q + " heatmap - --projection demo.gpf -o b.png --values -");
    EXPECT_EQ(grid.status, 0) << grid.err;
    EXPECT_EQ(grid.out, demo.Text("grid.csv"));
    EXPECT_NE(grid.err.find("b.png: signal of"), std::string::npos) << grid.err;
    const Outcome verdict = demo.Run(q + " check - --projection demo.gpf --profile data --json < demo.ssd");
    EXPECT_NE(verdict.out.find("\"requirements\""), std::string::npos) << verdict.err;
#endif
    // The copy of a pipe leaves no file behind in the temporary folder (Qt
    // may leave its runtime folder there).
    for (const auto& e : std::filesystem::recursive_directory_iterator(demo.dir / "tmp"))
        EXPECT_FALSE(e.is_regular_file()) << e.path();
}

TEST(CommandLine, StandardStreamsRefusedWhereTheyCannotServe) {
    DemoFolder demo;
    const std::string q = Quote(QUORL_TOOL);
    const struct {
        std::string line;
        int status;
        std::string message;
    } cases[] = {
        {q + " ssd export demo.ssd --format sqlite -o -", 2, "a database is not a stream"},
        {q + " ssd export demo.ssd --format gpkg -o -", 2, "a database is not a stream"},
        {"cat demo.ssd | " + q + " ssd export - - --format csv -o out.csv", 1, "read only once"},
        {q + " proj decode demo.gpf -", 2, "OUT names the bitmap"},
        {"echo not a survey | " + q + " ssd info -", 1, "/dev/stdin is not a readable collection file"},
#if QUORL_TOOL_HAS_MAPS
        {q + " heatmap demo.ssd --projection demo.gpf -o -", 2, "the map is a PNG file"},
        {q + " check demo.ssd --projection demo.gpf --profile data -o -", 2, "the maps are PNG files"},
        {q + " report demo.ssd --projection demo.gpf -o -", 2, "the report is a folder"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const Outcome o = demo.Run(c.line);
        EXPECT_EQ(o.status, c.status);
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        // Never a file named "-", and nothing half written.
        EXPECT_FALSE(std::filesystem::exists(demo.dir / "-"));
        EXPECT_FALSE(std::filesystem::exists(demo.dir / "out.csv"));
    }
}
#endif

}  // namespace
