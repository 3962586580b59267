// Where files may be written and read: PendingFile against every kind of
// target, the non-blocking input open, and the temporaries a signal or a
// kill leaves behind.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/FileErrors.h"
#include "common/RegularFile.h"
#include "common/UserMessages.h"
#include "survey/PendingFile.h"
#include "survey/TemporaryFiles.h"
#include "tests/survey/SurveyTestSupport.h"

namespace {

using quorl::test::Bytes;
using quorl::test::TempDir;

const Bytes kOld{'o', 'l', 'd'};

enum class Kind { Absent, Regular, Input, Symlink, Fifo, Folder, Device, Socket };

// Puts a `kind` at `path`; false when this system will not let us (a device
// node without the right to make one).
bool Make(Kind kind, const TempDir& dir, const std::string& path) {
    switch (kind) {
    case Kind::Absent: return true;
    case Kind::Regular:
    case Kind::Input: quorl::test::WriteBytes(path, kOld); return true;
    case Kind::Symlink:
        quorl::test::WriteBytes(dir / "victim", kOld);
        return ::symlink("victim", path.c_str()) == 0;
    case Kind::Fifo: return ::mkfifo(path.c_str(), 0644) == 0;
    case Kind::Folder: return ::mkdir(path.c_str(), 0755) == 0;
    case Kind::Device: return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;
    case Kind::Socket: {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return bound;
    }
    }
    return false;
}

std::vector<std::string> Temporaries(const TempDir& dir) {
    std::vector<std::string> found;
    for (const std::string& name : dir.Names())
        if (name.find(".quorl-tmp.") != std::string::npos) found.push_back(name);
    return found;
}

}  // namespace

TEST(PendingFile, WritesOnlyWhereAFileMayBeReplacedWhole) {
    struct Case {
        Kind kind;
        int refusal;  // 0: written
    } cases[] = {
        {Kind::Absent, 0},
        {Kind::Regular, 0},
        {Kind::Input, quorl::kErrorIsInput},
        {Kind::Symlink, quorl::kErrorIsSymlink},
        {Kind::Fifo, quorl::kErrorIsFifo},
        {Kind::Folder, EISDIR},
        {Kind::Device, quorl::kErrorIsDevice},
        {Kind::Socket, quorl::kErrorIsSocket},
    };
    const Bytes fresh{'n', 'e', 'w', '!'};
    for (const Case& c : cases) {
        TempDir dir;
        const std::string target = dir / "out";
        if (!Make(c.kind, dir, target)) {
            std::printf("skipped kind %d here: %s\n", static_cast<int>(c.kind), std::strerror(errno));
            continue;
        }
        struct stat before {};
        ::lstat(target.c_str(), &before);
        const std::vector<std::string> inputs{c.kind == Kind::Input ? target : dir / "elsewhere"};
        EXPECT_EQ(quorl::WriteWholeFile(target, fresh.data(), fresh.size(), inputs), c.refusal)
            << "kind " << static_cast<int>(c.kind);
        struct stat after {};
        ::lstat(target.c_str(), &after);
        if (c.refusal == 0) {
            EXPECT_EQ(quorl::test::ReadBytes(target), fresh);
        } else {
            // Left exactly as it was: same file, same type, same bytes.
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(after.st_mode, before.st_mode);
            if (c.kind == Kind::Input) {
                EXPECT_EQ(quorl::test::ReadBytes(target), kOld);
            }
            if (c.kind == Kind::Symlink) {
                EXPECT_EQ(quorl::test::ReadBytes(dir / "victim"), kOld);
            }
        }
        EXPECT_TRUE(Temporaries(dir).empty()) << "kind " << static_cast<int>(c.kind);
        EXPECT_FALSE(quorl::SystemErrorText(c.refusal).empty());
    }
}

TEST(PendingFile, RefusesAtTheRenameWhatAppearedSinceTheCheck) {
    TempDir dir;
    quorl::PendingFile pending(dir / "out");
    ASSERT_TRUE(pending.Created());
    ASSERT_EQ(::mkfifo((dir / "out").c_str(), 0644), 0);
    EXPECT_FALSE(pending.Commit());
    EXPECT_EQ(pending.Error(), quorl::kErrorIsFifo);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out"});
}

TEST(RegularFile, OpensOnlyRegularFilesAndNeverWaits) {
    struct Case {
        Kind kind;
        int flags;
        int error;  // 0: opened
    } cases[] = {
        {Kind::Regular, O_RDONLY, 0},
        {Kind::Regular, O_RDWR, 0},
        {Kind::Absent, O_RDONLY, ENOENT},
        // Without O_NONBLOCK both of these would wait for a writer or reader forever.
        {Kind::Fifo, O_RDONLY, quorl::kErrorIsFifo},
        {Kind::Fifo, O_WRONLY | O_CREAT | O_TRUNC, quorl::kErrorIsFifo},
        {Kind::Folder, O_RDONLY, EISDIR},
        {Kind::Device, O_RDONLY, quorl::kErrorIsDevice},
        {Kind::Socket, O_RDONLY, quorl::kErrorIsSocket},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir / "in";
        if (!Make(c.kind, dir, path)) {
            std::printf("skipped kind %d here: %s\n", static_cast<int>(c.kind), std::strerror(errno));
            continue;
        }
        errno = 0;
        const int fd = quorl::OpenRegularFile(path, c.flags);
        const int error = errno;
        EXPECT_EQ(fd >= 0 ? 0 : error, c.error) << "kind " << static_cast<int>(c.kind);
        if (fd >= 0) {
            // Reads block again as usual once opened.
            EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
            ::close(fd);
        }
    }
}

TEST(Temporaries, NamesCarryThePidAndOnlyOurNamesAreRecognised) {
    const std::string name = quorl::temporaries::NameFor("/a/b/map.png");
    EXPECT_EQ(name, "/a/b/.map.png.quorl-tmp." + std::to_string(::getpid()));
    struct Case {
        const char* name;
        long pid;
    } cases[] = {
        {".map.png.quorl-tmp.123", 123}, {".x.quorl-tmp.7", 7},       {"map.png.quorl-tmp.123", 0},
        {".map.png.quorl-tmp.", 0},      {".map.png.quorl-tmp.12a", 0}, {".quorl-tmp.5", 0},
        {".map.png.quorl-tmp.1234567890", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(quorl::temporaries::PidInName(c.name), c.pid) << c.name;
}

// A child writes a file and is stopped by `signalNumber` half-way.
void KilledWhileWriting(const TempDir& dir, int signalNumber) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As from a terminal, whatever the test runner ignores.
        if (signalNumber != SIGKILL) ::signal(signalNumber, SIG_DFL);
        quorl::PendingFile pending(dir / "export.csv");
        ::raise(pending.Created() ? signalNumber : SIGABRT);
        ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signalNumber);
}

TEST(Temporaries, ASignalLeavesNothingAndTheNextRunSweepsWhatAKillLeft) {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir dir;
        KilledWhileWriting(dir, signalNumber);
        EXPECT_TRUE(dir.Names().empty()) << "signal " << signalNumber;
    }
    TempDir dir;
    KilledWhileWriting(dir, SIGKILL);
    ASSERT_EQ(Temporaries(dir).size(), 1u);
    // A live process's temporary (ours) and files that only look alike stay.
    const std::string mine = quorl::temporaries::NameFor(dir / "other.csv");
    quorl::test::WriteBytes(mine, kOld);
    quorl::test::WriteBytes(dir / "export.csv.quorl-tmp.1", kOld);
    EXPECT_EQ(quorl::WriteWholeFile(dir / "export.csv", kOld.data(), kOld.size(), {}), 0);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"." + std::string("other.csv.quorl-tmp.") +
                                                         std::to_string(::getpid()),
                                                     "export.csv", "export.csv.quorl-tmp.1"}));
}
