// `quorl sim` as a script would use it: the first line of its output is a
// terminal that answers the program's commands; a signal ends it cleanly.
// Also how `quorl sim` and `quorl replay` refuse bad arguments.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/FrameCodec.h"
#include "link/Parser.h"
#include "link/Protocol.h"
#include "tests/HangGuard.h"

extern char** environ;

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;  // its standard output
    int err = -1;  // its standard error
};

Child Spawn(const std::vector<std::string>& args) {
    int out[2], err[2];
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<char*> argv;
    std::vector<std::string> all = {QUORL_EXE};
    all.insert(all.end(), args.begin(), args.end());
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    Child child;
    EXPECT_EQ(posix_spawn(&child.pid, QUORL_EXE, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    child.out = out[0];
    child.err = err[0];
    return child;
}

// Reads from `fd` until `stop` holds for what was read, end of file or the time limit.
std::string ReadUntil(int fd, std::chrono::milliseconds limit, bool (*stop)(const std::string&)) {
    std::string text;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!stop(text)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

bool HasLine(const std::string& text) { return text.find('\n') != std::string::npos; }
bool Never(const std::string&) { return false; }

int Finish(Child& child) {
    int status = 0;
    EXPECT_EQ(::waitpid(child.pid, &status, 0), child.pid);
    ::close(child.out);
    ::close(child.err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SimCommand, ServesATerminalThatAnswersCommandOneAndStopsOnSignal) {
    Child child = Spawn({"sim"});
    const std::string first = ReadUntil(child.out, quorl::test::kHangGuard, HasLine);
    ASSERT_TRUE(HasLine(first)) << "no path printed";
    const std::string path = first.substr(0, first.find('\n'));
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0) << path;
    EXPECT_TRUE(::isatty(fd));
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    cfmakeraw(&tio);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);

    std::array<std::uint8_t, quorl::kCommandFrameSize> frame;
    const std::size_t n = quorl::EncodeCommand(quorl::kCmdRequestFirmware, nullptr, 0, frame);
    ASSERT_EQ(::write(fd, frame.data(), n), static_cast<ssize_t>(n));

    quorl::CParser parser;
    std::string firmware;
    bool checked = false;
    const auto end = std::chrono::steady_clock::now() + quorl::test::kHangGuard;
    while (firmware.empty() && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        std::uint8_t buffer[256];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        for (ssize_t i = 0; i < got; ++i) {
            parser.PushByte(buffer[i]);
            if (!parser.Complete()) continue;
            if (parser.Type() == quorl::kMsgFirmware) {
                checked = quorl::FrameCheckPasses(parser.Type(), parser.Body(), parser.Length());
                firmware = reinterpret_cast<const char*>(parser.Body());
            }
            parser.Reset();
        }
    }
    ::close(fd);
    EXPECT_EQ(firmware, "QS-2 2.14");
    EXPECT_TRUE(checked);

    ASSERT_EQ(::kill(child.pid, SIGTERM), 0);
    EXPECT_EQ(Finish(child), 0);
}

TEST(SimCommand, BadArgumentsAndFilesAreRefused) {
    {
        Child child = Spawn({"sim", "--scenario", "/nonexistent/scenario.json"});
        const std::string err = ReadUntil(child.err, quorl::test::kHangGuard, Never);
        EXPECT_EQ(ReadUntil(child.out, quorl::test::kHangGuard, Never), "");
        EXPECT_EQ(Finish(child), 1);
        EXPECT_NE(err.find("/nonexistent/scenario.json: cannot be opened"), std::string::npos) << err;
    }
    {
        Child child = Spawn({"sim", "--speed"});
        ReadUntil(child.err, quorl::test::kHangGuard, Never);
        EXPECT_EQ(Finish(child), 2);
    }
    {
        Child child = Spawn({"replay", "/nonexistent/capture.bin"});
        const std::string err = ReadUntil(child.err, quorl::test::kHangGuard, Never);
        EXPECT_EQ(Finish(child), 1);
        EXPECT_NE(err.find("cannot be read"), std::string::npos) << err;
    }
    {
        Child child = Spawn({"replay"});
        ReadUntil(child.err, quorl::test::kHangGuard, Never);
        EXPECT_EQ(Finish(child), 2);
    }
}

}  // namespace
