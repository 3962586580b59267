// Every `quorl` option that writes a file, pointed at every kind of thing
// that may already be at that path, and exports killed half-way.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "tests/analysis/AnalysisTestSupport.h"

namespace {

using quorl::test::Bytes;
using quorl::test::TempDir;

const Bytes kOld{'o', 'l', 'd'};
const std::string kSamples = QUORL_DEMO_DIR;

std::string Replace(std::string text, const std::string& key, const std::string& value) {
    for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
        text.replace(at, key.size(), value);
    return text;
}

struct Outcome {
    int status;
    std::string err;
};

Outcome Quorl(const std::string& args, const TempDir& dir) {
    const std::string errPath = dir / "stderr.txt";
    // A command that waits on a FIFO is a failure, not a hung test.
    const int raw = std::system(("timeout 120 " + std::string(QUORL_TOOL) + " " + args + " >/dev/null 2>" + errPath).c_str());
    Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {}};
    const Bytes err = quorl::test::ReadBytes(errPath);
    r.err.assign(err.begin(), err.end());
    std::remove(errPath.c_str());
    return r;
}

std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().find(".quorl-tmp.") != std::string::npos) found.push_back(e.path());
    return found;
}

enum class Kind { Absent, Regular, Input, Device, Fifo, Folder, Symlink };
const char* Name(Kind k) {
    static const char* names[] = {"absent", "regular file", "an input", "device", "FIFO", "folder", "symlink"};
    return names[static_cast<int>(k)];
}

}  // namespace

TEST(OutputTargets, EveryWritingOptionRefusesWhatItMustNotReplace) {
    // {S} survey, {P} projection, {B} bitmap, {T} the output under test, {D} the folder.
    struct Command {
        const char* name;
        const char* args;
        const char* target;    // where {T} is, under {D}
        const char* inputKey;  // the input that {T} stands for in the "an input" case
        bool maps;             // needs the picture commands
        bool replacesRegular;  // a regular file of ours is replaced (not so a database: ours or refused)
    } commands[] = {
        {"export csv", "ssd export {S} --format csv -o {T}", "out", "{S}", false, true},
        {"export geojson", "ssd export {S} --format geojson -o {T}", "out", "{S}", false, true},
        {"export kml", "ssd export {S} --format kml -o {T}", "out", "{S}", false, true},
        {"export sqlite", "ssd export {S} --format sqlite -o {T}", "out", "{S}", false, false},
        {"proj decode", "proj decode {P} {T}", "out", "{P}", false, true},
        {"proj make", "proj make --kind linear --transform 1,0,0,1,0,0 --image {B} {T}", "out", "{B}", false, true},
        {"heatmap -o", "heatmap {S} --projection {P} -o {T}", "out", "{S}", true, true},
        {"heatmap --values", "heatmap {S} --projection {P} -o {D}/map.png --values {T}", "out", "{P}", true, true},
        {"report", "report {S} --projection {P} -o {D}/report", "report/index.html", "{S}", true, true},
    };
    bool devicesSkipped = false;
    for (const Command& c : commands) {
        if (c.maps && !QUORL_TOOL_HAS_MAPS) continue;
        for (Kind kind : {Kind::Absent, Kind::Regular, Kind::Input, Kind::Device, Kind::Fifo, Kind::Folder,
                          Kind::Symlink}) {
            if (kind == Kind::Regular && !c.replacesRegular) continue;
            SCOPED_TRACE(std::string(c.name) + " over " + Name(kind));
            TempDir dir;
            std::filesystem::create_directory(dir / "report");
            std::string args = c.args;
            const std::string target = dir / c.target;
            if (kind == Kind::Input) args = Replace(args, c.inputKey, target);
            args = Replace(Replace(Replace(args, "{S}", dir / "s.ssd"), "{P}", dir / "p.gpf"), "{B}", dir / "b.bmp");
            args = Replace(Replace(args, "{T}", target), "{D}", dir.Path().string());
            for (const auto& [from, to] : {std::pair{"demo.ssd", "s.ssd"}, {"demo.gpf", "p.gpf"}, {"demo.bmp", "b.bmp"}})
                std::filesystem::copy_file(kSamples + "/" + from, dir / to);

            switch (kind) {
            case Kind::Absent: break;
            case Kind::Regular: quorl::test::WriteBytes(target, kOld); break;
            case Kind::Input: {
                const std::string key = c.inputKey;
                const char* from = key == "{S}" ? "demo.ssd" : key == "{P}" ? "demo.gpf" : "demo.bmp";
                std::filesystem::copy_file(kSamples + "/" + from, target);
                break;
            }
            case Kind::Device:
                if (::mknod(target.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) {
                    devicesSkipped = true;
                    continue;
                }
                break;
            case Kind::Fifo: ASSERT_EQ(::mkfifo(target.c_str(), 0644), 0); break;
            case Kind::Folder: ASSERT_TRUE(std::filesystem::create_directory(target)); break;
            case Kind::Symlink:
                quorl::test::WriteBytes(dir / "victim", kOld);
                ASSERT_EQ(::symlink((dir / "victim").c_str(), target.c_str()), 0);
                break;
            }
            struct stat before {};
            ::lstat(target.c_str(), &before);
            const Bytes inputBefore = kind == Kind::Input ? quorl::test::ReadBytes(target) : Bytes{};

            const Outcome r = Quorl(args, dir);
            struct stat after {};
            ::lstat(target.c_str(), &after);
            if (kind == Kind::Absent || kind == Kind::Regular) {
                EXPECT_EQ(r.status, 0) << r.err;
                EXPECT_TRUE(S_ISREG(after.st_mode));
                EXPECT_NE(quorl::test::ReadBytes(target), kOld);
            } else {
                EXPECT_EQ(r.status, 1) << r.err;
                EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
                EXPECT_EQ(after.st_ino, before.st_ino);
                EXPECT_EQ((after.st_mode & S_IFMT), (before.st_mode & S_IFMT));
                if (kind == Kind::Input) {
                    EXPECT_EQ(quorl::test::ReadBytes(target), inputBefore);
                }
                if (kind == Kind::Symlink) {
                    EXPECT_EQ(quorl::test::ReadBytes(dir / "victim"), kOld);
                }
                // Refused before any work: nothing else was written either.
                EXPECT_FALSE(std::filesystem::exists(dir / "map.png"));
                EXPECT_FALSE(std::filesystem::exists(dir / "report/signal.png"));
            }
            EXPECT_TRUE(Temporaries(dir.Path()).empty());
            EXPECT_TRUE(Temporaries(dir / "report").empty());
        }
    }
    if (devicesSkipped) std::printf("device nodes cannot be made here (not root?): those cases were skipped\n");
}

TEST(OutputTargets, InputsThatAreNotFilesGetAMessageNotAHang) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    std::filesystem::copy_file(kSamples + "/demo.ssd", dir / "s.ssd");
    std::filesystem::copy_file(kSamples + "/demo.gpf", dir / "p.gpf");
    const std::string f = dir / "fifo", s = dir / "s.ssd", p = dir / "p.gpf", o = dir / "out";
    std::vector<std::string> commands{
        "ssd info " + f,
        "ssd dump " + f,
        "ssd export " + f + " --format csv -o " + o,
        // The glob case: a FIFO among real surveys.
        "ssd export " + s + " " + f + " --format geojson -o " + o,
        "ssd export " + s + " --format csv --projection " + f + " -o " + o,
        "proj info " + f,
        "proj decode " + f + " " + o,
        "replay " + f,
        "sim --scenario " + f,
    };
    if (QUORL_TOOL_HAS_MAPS) {
        commands.push_back("heatmap " + f + " --projection " + p + " -o " + o);
        commands.push_back("heatmap " + s + " --projection " + f + " -o " + o);
        commands.push_back("report " + s + " --projection " + f + " -o " + (dir / "report"));
    }
    for (const std::string& args : commands) {
        const Outcome r = Quorl(args, dir);
        EXPECT_GE(r.status, 1) << args;
        EXPECT_NE(r.status, 124) << args << ": hung";
        EXPECT_NE(r.err.find("FIFO"), std::string::npos) << args << ": " << r.err;
    }
}

// An export big enough to be stopped half-way.
std::string BigSurvey(const TempDir& dir) {
    quorl::test::CollectionBuilder b;
    std::vector<quorl::test::Ap> aps;
    for (int i = 0; i < 20; ++i) aps.push_back({i, 1 + i % 11, -40 - i, "net-" + std::to_string(i)});
    for (int i = 0; i < 4000; ++i) b.Gps(51.0 + i * 1e-5, -1.0, aps);
    quorl::test::WriteBytes(dir / "big.ssd", b.Get());
    return dir / "big.ssd";
}

// Starts an export and sends `signalNumber` once its temporary exists;
// false when the export ended first.
bool InterruptExport(const TempDir& dir, const std::string& survey, int signalNumber) {
    const std::string out = dir / "big.csv";
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(signalNumber, SIG_DFL);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        std::vector<std::string> args{QUORL_TOOL, "ssd", "export"};
        for (int i = 0; i < 10; ++i) args.push_back(survey);
        for (const char* a : {"--format", "csv", "-o"}) args.push_back(a);
        args.push_back(out);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(QUORL_TOOL, argv.data());
        ::_exit(127);
    }
    bool seen = false;
    for (int i = 0; i < 20000 && !seen; ++i) {
        seen = !Temporaries(dir.Path()).empty();
        if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (seen) ::kill(child, signalNumber);
    int status = 0;
    ::waitpid(child, &status, 0);
    return seen && WIFSIGNALED(status);
}

TEST(OutputTargets, AKilledExportLeavesNothingOnceTheNextRunHasSwept) {
    TempDir dir;
    const std::string survey = BigSurvey(dir);
    ASSERT_TRUE(InterruptExport(dir, survey, SIGTERM)) << "the export ended before it could be stopped";
    EXPECT_TRUE(Temporaries(dir.Path()).empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "big.csv"));

    ASSERT_TRUE(InterruptExport(dir, survey, SIGKILL)) << "the export ended before it could be stopped";
    EXPECT_EQ(Temporaries(dir.Path()).size(), 1u);
    const Outcome next = Quorl("ssd export " + survey + " --format kml -o " + (dir / "small.kml"), dir);
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_TRUE(Temporaries(dir.Path()).empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "big.csv"));
}
