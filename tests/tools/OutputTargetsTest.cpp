// Every `quorl` option that writes a file, pointed at every kind of thing
// that may already be at that path; inputs that are not files; exports
// killed half-way.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "tests/analysis/AnalysisTestSupport.h"
#include "tests/survey/FileKinds.h"

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
    const int raw = std::system(("timeout 120 " + std::string(QUORL_TOOL) + " " + args + " >/dev/null 2>" + errPath).c_str());
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
    if (QUORL_TOOL_HAS_MAPS) {
        // Two outputs of one command on one file: the second would replace the first.
        TempDir dir;
        const std::string d = dir.Path().string();
        const Outcome r = Quorl("heatmap " + kSamples + "/demo.ssd --projection " + kSamples + "/demo.gpf -o " + d +
                                    "/x.png --values " + d + "/./x.png", dir);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_TRUE(dir.Names().empty());
    }
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
    bool seen = false;
    for (int i = 0; i < 20000 && !(seen = !TemporariesIn(dir.Path()).empty()); ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    if (seen) ::kill(child, signalNumber);
    int status = 0;
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
    WriteBytes(dir / (".other.csv.quorl-tmp." + std::to_string(::getpid())), kOldBytes);
    const Outcome next = Quorl("ssd export " + (dir / "big.ssd") + " --format kml -o " + (dir / "small.kml"), dir);
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{".other.csv.quorl-tmp." + std::to_string(::getpid()), "big.ssd",
                                                     "small.kml"}));
}
