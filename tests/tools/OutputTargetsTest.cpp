// Every `quorl` option that writes a file, pointed at every kind of thing
// that may already be at that path; inputs that are not files; exports
// killed half-way.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include "tests/analysis/AnalysisTestSupport.h"
#include "tests/survey/FileKinds.h"
#include "survey/MachineTag.h"
#include "tests/HangGuard.h"

namespace {

using namespace quorl::test;

const std::string kSamples = QUORL_DEMO_DIR;

std::string Replace(std::string text, const std::string& key, const std::string& value) {
    for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
        text.replace(at, key.size(), value);
    return text;
}

// Status and standard error of one run (the shared Outcome, `out` left empty).
Outcome Quorl(const std::string& args, const TempDir& dir) {
    const std::string errPath = dir / "stderr.txt";
    // A command that waits on a FIFO is a failure, not a hung test.
    const int raw = std::system(("timeout 600 " + std::string(QUORL_TOOL) + " " + args + " >/dev/null 2>" + errPath).c_str());
    const Bytes err = ReadBytes(errPath);
    std::filesystem::remove(errPath);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {}, std::string(err.begin(), err.end())};
}

}  // namespace

TEST(OutputTargets, EveryWritingOptionRefusesWhatItMustNotReplace) {
    // {S} survey, {P} projection, {B} bitmap, {D} the folder; the output under test is {D}/out,
    // or the report's index.html. `input` is the input put there in the "input" case.
    struct Command {
        const char* args;
        const char* input;
        bool maps;  // drawn with Qt: only with the GUI
    } commands[] = {
        {"ssd export {S} --format csv -o {D}/out", "{S}", false},
        {"ssd export {S} --format geojson -o {D}/out", "{S}", false},
        {"ssd export {S} --format kml -o {D}/out", "{S}", false},
        {"ssd export {S} --format sqlite -o {D}/out", "{S}", false},
        {"proj decode {P} {D}/out", "{P}", false},
        {"proj make --kind linear --transform 1,0,0,1,0,0 --image {B} {D}/out", "{B}", false},
        {"heatmap {S} --projection {P} -o {D}/out", "{S}", true},
        {"heatmap {S} --projection {P} -o {D}/map.png --values {D}/out", "{P}", true},
        {"report {S} --projection {P} -o {D}/report", "{S}", true},
    };
    const std::pair<const char*, const char*> samples[] = {{"{S}", "demo.ssd"}, {"{P}", "demo.gpf"}, {"{B}", "demo.bmp"}};
    struct Target {
        FileKind kind;
        bool input;
    } targets[] = {{FileKind::Absent, false}, {FileKind::Regular, false}, {FileKind::Regular, true},
                   {FileKind::Device, false}, {FileKind::Fifo, false},    {FileKind::Folder, false},
                   {FileKind::Symlink, false}};
    for (const Command& c : commands) {
        if (c.maps && !QUORL_TOOL_HAS_MAPS) continue;
        const bool report = std::string(c.args).rfind("report", 0) == 0;
        const bool database = std::string(c.args).find("sqlite") != std::string::npos;
        for (const Target& t : targets) {
            // A database is updated, not replaced: one that is not ours is refused, as is tested elsewhere.
            if (database && t.kind == FileKind::Regular && !t.input) continue;
            TempDir dir;
            SCOPED_TRACE(std::string(c.args) + " over " + (t.input ? "an input" : NameOf(t.kind)));
            std::filesystem::create_directory(dir / "report");
            const std::string target = dir / (report ? "report/index.html" : "out");
            std::string args = t.input ? Replace(c.args, c.input, target) : c.args;
            for (const auto& [key, name] : samples) {
                std::filesystem::copy_file(kSamples + "/" + name, dir / name);
                args = Replace(args, key, dir / name);
                if (t.input && key == std::string(c.input)) std::filesystem::copy_file(kSamples + "/" + name, target);
            }
            args = Replace(args, "{D}", dir.Path().string());
            if (!t.input && !MakeFileKind(t.kind, target)) {
                std::printf("%s skipped: cannot be made here (not root?)\n", NameOf(t.kind));
                continue;
            }
            struct stat before {};
            ::lstat(target.c_str(), &before);
            // Bytes only of what holds them: reading a FIFO would wait here.
            const std::string holder = t.kind == FileKind::Symlink ? target + ".target" : target;
            const bool holds = t.kind == FileKind::Symlink || t.kind == FileKind::Regular;
            const Bytes bytesBefore = holds ? ReadBytes(holder) : Bytes{};

            const Outcome r = Quorl(args, dir);
            struct stat after {};
            ::lstat(target.c_str(), &after);
            if (!t.input && (t.kind == FileKind::Absent || t.kind == FileKind::Regular)) {
                EXPECT_EQ(r.status, 0) << r.err;
                EXPECT_TRUE(S_ISREG(after.st_mode));
                EXPECT_NE(ReadBytes(target), kOldBytes);
            } else {
                EXPECT_EQ(r.status, 1) << r.err;
                EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
                EXPECT_EQ(after.st_ino, before.st_ino);
                EXPECT_EQ(after.st_mode, before.st_mode);
                EXPECT_EQ(holds ? ReadBytes(holder) : Bytes{}, bytesBefore);
                // Refused before any work: nothing else was written either.
                EXPECT_FALSE(std::filesystem::exists(dir / "map.png"));
                EXPECT_FALSE(std::filesystem::exists(dir / "report/signal.png"));
            }
            EXPECT_TRUE(TemporariesIn(dir.Path()).empty());
            EXPECT_TRUE(TemporariesIn(dir / "report").empty());
        }
    }
}

TEST(OutputTargets, OutputsOnOneFileByAnyPathAndOverSideFilesAreRefused) {
    if (!QUORL_TOOL_HAS_MAPS) GTEST_SKIP() << "maps need the GUI build";
    // {D} the folder, where two/b is a link to two/a and demo.gpf has a scale side file.
    const struct {
        const char* outputs;
        int status;
    } cases[] = {
        {"-o {D}/x.png --values {D}/./x.png", 2},
        {"-o {D}/two/a/x.png --values {D}/two/b/x.png", 2},
        {"-o {D}/two/a/x.png --values {D}/two/a/../b/x.png", 2},
        {"-o {D}/demo.gpf.scale", 1},
        {"-o {D}/x.png --values {D}/demo.gpf.scale", 1},
        {"-o {D}/two/a/x.png --values {D}/two/b/y.csv", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outputs);
        TempDir dir;
        std::filesystem::create_directories(dir / "two/a");
        std::filesystem::create_directory_symlink("a", dir / "two/b");
        std::filesystem::copy_file(kSamples + "/demo.gpf", dir / "demo.gpf");
        WriteBytes(dir / "demo.gpf.scale", kOldBytes);
        const Outcome r = Quorl("heatmap " + kSamples + "/demo.ssd --projection " + (dir / "demo.gpf") + " " +
                                    Replace(c.outputs, "{D}", dir.Path().string()),
                                dir);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(ReadBytes(dir / "demo.gpf.scale"), kOldBytes);
        const std::vector<std::string> written = c.status == 0 ? std::vector<std::string>{"x.png", "y.csv"}
                                                               : std::vector<std::string>{};
        std::vector<std::string> all;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path()))
            if (e.is_regular_file() && !e.is_symlink()) all.push_back(e.path().filename().string());
        std::sort(all.begin(), all.end());
        std::vector<std::string> expected{"demo.gpf", "demo.gpf.scale"};
        expected.insert(expected.end(), written.begin(), written.end());
        EXPECT_EQ(all, expected);
    }
}

TEST(OutputTargets, AReportIsReplacedWholeOrNotAtAll) {
    if (!QUORL_TOOL_HAS_MAPS) GTEST_SKIP() << "maps need the GUI build";
    TempDir dir;
    const std::string out = dir / "report";
    const std::string args = " --projection " + kSamples + "/demo.gpf -o " + out;
    ASSERT_EQ(Quorl("report " + kSamples + "/demo.ssd" + args, dir).status, 0);
    std::map<std::string, Bytes> before;
    for (const auto& e : std::filesystem::directory_iterator(out))
        before[e.path().filename().string()] = ReadBytes(e.path().string());
    // Another survey (fewer points) for a report that differs, and one of
    // its late files that cannot be written: a folder where its temporary
    // goes (the shell's pid is the command's after exec). Nothing may show.
    Bytes fewer = ReadBytes(kSamples + "/demo.ssd");
    fewer.resize(fewer.size() * 2 / 3);
    WriteBytes(dir / "fewer.ssd", fewer);
    const std::string blocked = out + "/.channels.png.quorl-tmp." + quorl::temporaries::MachineTag() + ".";
    const std::string failing = "sh -c 'mkdir \"$0$$\" && exec " + std::string(QUORL_TOOL) + " \"$@\"' " + blocked +
                                " report " + (dir / "fewer.ssd") + args;
    const int raw = std::system((failing + " >/dev/null 2>" + (dir / "err.txt")).c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
    const Bytes err = ReadBytes(dir / "err.txt");
    EXPECT_NE(std::string(err.begin(), err.end()).find("channels.png"), std::string::npos);
    for (const auto& e : std::filesystem::directory_iterator(out))
        if (e.is_directory()) std::filesystem::remove(e.path());
    std::map<std::string, Bytes> after;
    for (const auto& e : std::filesystem::directory_iterator(out))
        after[e.path().filename().string()] = ReadBytes(e.path().string());
    EXPECT_TRUE(after == before) << after.size() << " files after, " << before.size() << " before";
    // With room, the new report replaces the old one.
    ASSERT_EQ(Quorl("report " + (dir / "fewer.ssd") + args, dir).status, 0);
    EXPECT_NE(ReadBytes(out + "/index.html"), before["index.html"]);
    EXPECT_TRUE(TemporariesIn(out).empty());
}

TEST(OutputTargets, InputsThatAreNotFilesGetAMessageNotAHang) {
    TempDir dir;
    ASSERT_TRUE(MakeFileKind(FileKind::Fifo, dir / "fifo"));
    const std::string f = dir / "fifo", s = kSamples + "/demo.ssd", p = kSamples + "/demo.gpf", o = dir / "out";
    std::vector<std::string> commands{
        "ssd info " + f, "ssd dump " + f, "ssd export " + f + " --format csv -o " + o,
        // The glob case: a FIFO among real surveys.
        "ssd export " + s + " " + f + " --format geojson -o " + o,
        "ssd export " + s + " --format csv --projection " + f + " -o " + o,
        "proj info " + f, "proj decode " + f + " " + o, "replay " + f, "sim --scenario " + f,
    };
    if (QUORL_TOOL_HAS_MAPS) {
        commands.push_back("heatmap " + f + " --projection " + p + " -o " + o);
        commands.push_back("heatmap " + s + " --projection " + f + " -o " + o);
        commands.push_back("report " + s + " --projection " + f + " -o " + (dir / "report"));
    }
    for (const std::string& args : commands) {
        const Outcome r = Quorl(args, dir);
        EXPECT_EQ(r.status, 1) << args << ": " << r.err;
        EXPECT_NE(r.err.find("FIFO"), std::string::npos) << args << ": " << r.err;
    }
}

// Starts an export of a survey big enough to be stopped half-way and sends
// `signalNumber` once its temporary exists; false when the export ended first.
bool InterruptExport(const TempDir& dir, int signalNumber) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(signalNumber, SIG_DFL);
        ::dup2(::open("/dev/null", O_WRONLY), 2);
        const std::string big = dir / "big.ssd", out = dir / "big.csv";
        std::vector<const char*> argv{QUORL_TOOL, "ssd", "export"};
        for (int i = 0; i < 10; ++i) argv.push_back(big.c_str());
        for (const char* a : {"--format", "csv", "-o", out.c_str(), static_cast<const char*>(nullptr)}) argv.push_back(a);
        ::execv(QUORL_TOOL, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    // Until the temporary shows or the export ends, with a guard for a hang only.
    bool seen = false, ended = false;
    int status = 0;
    const auto guard = std::chrono::steady_clock::now() + quorl::test::kHangGuard;
    while (!(seen = !TemporariesIn(dir.Path()).empty()) && !(ended = ::waitpid(child, &status, WNOHANG) != 0) &&
           std::chrono::steady_clock::now() < guard)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    if (ended) return false;
    ::kill(child, seen ? signalNumber : SIGKILL);
    ::waitpid(child, &status, 0);
    return seen && WIFSIGNALED(status);
}

TEST(OutputTargets, AKilledExportLeavesNothingOnceTheNextRunHasSwept) {
    TempDir dir;
    CollectionBuilder b;
    std::vector<Ap> aps;
    for (int i = 0; i < 20; ++i) aps.push_back({i, 1 + i % 11, -40 - i, "net-" + std::to_string(i)});
    for (int i = 0; i < 4000; ++i) b.Gps(51.0 + i * 1e-5, -1.0, aps);
    WriteBytes(dir / "big.ssd", b.Get());

    ASSERT_TRUE(InterruptExport(dir, SIGTERM)) << "the export ended before it could be stopped";
    EXPECT_TRUE(TemporariesIn(dir.Path()).empty());
    ASSERT_TRUE(InterruptExport(dir, SIGKILL)) << "the export ended before it could be stopped";
    EXPECT_EQ(TemporariesIn(dir.Path()).size(), 1u);
    // A temporary of a process still running (this one) is not stale.
    const std::string live = ".other.csv.quorl-tmp." + quorl::temporaries::MachineTag() + "." + std::to_string(::getpid());
    WriteBytes(dir / live, kOldBytes);
    const Outcome next = Quorl("ssd export " + (dir / "big.ssd") + " --format kml -o " + (dir / "small.kml"), dir);
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{live, "big.ssd", "small.kml"}));
}
