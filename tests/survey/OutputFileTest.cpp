// Opening inputs without waiting, and the output helper's own rules: a
// target that changed since the check, and the names of its temporaries.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <tuple>

#include "common/FileErrors.h"
#include "common/RegularFile.h"
#include "common/UserMessages.h"
#include "survey/MachineTag.h"
#include "survey/PendingFile.h"
#include "survey/TemporaryFiles.h"
#include "tests/survey/FileKinds.h"

using quorl::test::FileKind;

TEST(RegularFile, OpensOnlyRegularFilesAndNeverWaits) {
    struct Case {
        FileKind kind;
        int flags;
        int error;  // 0: opened
    } cases[] = {
        {FileKind::Regular, O_RDWR, 0},
        {FileKind::Symlink, O_RDONLY, 0},  // an input may be named through a link
        {FileKind::Absent, O_RDONLY, ENOENT},
        // Without O_NONBLOCK both of these would wait for a writer or a reader for ever.
        {FileKind::Fifo, O_RDONLY, quorl::kErrorIsFifo},
        {FileKind::Fifo, O_WRONLY | O_CREAT | O_TRUNC, quorl::kErrorIsFifo},
        {FileKind::Folder, O_RDONLY, EISDIR},
        {FileKind::Device, O_RDONLY, quorl::kErrorIsDevice},
    };
    for (const Case& c : cases) {
        quorl::test::TempDir dir;
        const std::string path = dir / "in";
        if (!quorl::test::MakeFileKind(c.kind, path)) {
            std::printf("%s skipped: %s\n", NameOf(c.kind), std::strerror(errno));
            continue;
        }
        // Every open of the path shows here: what is refused is never opened at all.
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        const bool watched = c.kind != FileKind::Absent && ::inotify_add_watch(watch, path.c_str(), IN_OPEN) >= 0;
        errno = 0;
        const int fd = quorl::OpenRegularFile(path, c.flags);
        EXPECT_EQ(fd >= 0 ? 0 : errno, c.error) << NameOf(c.kind);
        if (watched) {
            char events[4096];
            EXPECT_EQ(::read(watch, events, sizeof events) > 0, fd >= 0) << NameOf(c.kind);
        }
        ::close(watch);
        EXPECT_EQ(quorl::SystemErrorText(c.error).find("Unknown"), std::string::npos);
        if (fd >= 0) {
            // Reads block again as usual once opened.
            EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
            ::close(fd);
        }
    }
}

TEST(PendingFile, RefusesAtTheRenameWhatAppearedSinceTheCheck) {
    quorl::test::TempDir dir;
    quorl::PendingFile pending(dir / "out");
    ASSERT_TRUE(pending.Created());
    ASSERT_TRUE(quorl::test::MakeFileKind(FileKind::Fifo, dir / "out"));
    EXPECT_FALSE(pending.Commit());
    EXPECT_EQ(pending.Error(), quorl::kErrorIsFifo);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out"});
}

TEST(PendingFile, ANewFileNeverReplacesOneAnotherWriterPutThereMeanwhile) {
    enum class Start { Absent, Empty };
    struct Case {
        Start start;
        bool otherWriter;  // another writer's file renamed into place meanwhile
        bool committed;
    } cases[] = {
        {Start::Absent, false, true},
        {Start::Absent, true, false},
        {Start::Empty, false, true},
        {Start::Empty, true, false},
    };
    const quorl::test::Bytes ours{'n', 'e', 'w'}, theirs{'t', 'h', 'e', 'i', 'r', 's'};
    for (const Case& c : cases) {
        quorl::test::TempDir dir;
        const std::string out = dir / "out.db";
        if (c.start == Start::Empty) quorl::test::WriteBytes(out, {});
        quorl::PendingFile pending(out);
        ASSERT_TRUE(pending.Created());
        quorl::test::WriteBytes(pending.TempPath(), ours);
        if (c.otherWriter) {
            quorl::test::WriteBytes(dir / "theirs", theirs);
            ASSERT_EQ(::rename((dir / "theirs").c_str(), out.c_str()), 0);
        }
        EXPECT_EQ(pending.CommitIfUnchanged(), c.committed);
        EXPECT_EQ(pending.Error(), c.committed ? 0 : EEXIST);
        EXPECT_EQ(quorl::test::ReadBytes(out), c.committed ? ours : theirs);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.db"});
    }
}

namespace {

// This process's host, boot and PID namespace, read here rather than asked
// of the code under test.
struct Place {
    std::string host, boot;
    unsigned long long ns = 0;
};

Place Here() {
    Place p;
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    p.host = host;
    std::ifstream("/proc/sys/kernel/random/boot_id") >> p.boot;
    struct stat st {};
    if (::stat("/proc/self/ns/pid", &st) == 0) p.ns = st.st_ino;
    return p;
}

// The pid of a process that has just ended.
long GonePid() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

}  // namespace

TEST(Temporaries, NamesCarryWhereAndWhoMadeThemAndOnlyOurNamesAreRecognised) {
    const Place p = Here();
    const std::string tag = quorl::temporaries::TagOf(p.host, p.boot, p.ns);
    ASSERT_EQ(quorl::temporaries::MachineTag(), tag);
    EXPECT_EQ(quorl::temporaries::NameFor("/a/b/map.png"),
              "/a/b/.map.png.quorl-tmp." + tag + "." + std::to_string(::getpid()));
    const std::tuple<const char*, const char*, long> cases[] = {
        {".map.png.quorl-tmp.0123abcd0123abcd.123", "0123abcd0123abcd", 123},
        {".x.db.quorl-tmp.ab.7-journal", "ab", 7},
        {".x.db.quorl-tmp.ab.7-wal", "ab", 7},
        {".x.db.quorl-tmp.ab.7-other", "", 0},
        {".map.png.quorl-tmp.123", "", 0},  // made before names carried a tag
        {"map.png.quorl-tmp.ab.123", "", 0},
        {".map.png.quorl-tmp.ab.", "", 0},
        {".map.png.quorl-tmp.ab.12a", "", 0},
        {".map.png.quorl-tmp.AB.12", "", 0},
        {".quorl-tmp.ab.5", "", 0},
        {".map.png.quorl-tmp.ab.1234567890", "", 0},
    };
    for (const auto& [name, wantTag, pid] : cases) {
        const auto parsed = quorl::temporaries::ParseName(name);
        EXPECT_EQ(parsed.pid, pid) << name;
        if (pid != 0) {
            EXPECT_EQ(parsed.tag, wantTag) << name;
        }
    }
    // Each of the three facts makes a tag of its own.
    EXPECT_NE(quorl::temporaries::TagOf("elsewhere", p.boot, p.ns), tag);
    EXPECT_NE(quorl::temporaries::TagOf(p.host, "00000000-0000-0000-0000-000000000000", p.ns), tag);
    EXPECT_NE(quorl::temporaries::TagOf(p.host, p.boot, p.ns + 1), tag);
}

TEST(Temporaries, TheSweeperRemovesOnlyWhatItCanProveIsOurOwnAndAbandoned) {
    const Place p = Here();
    const std::string here = quorl::temporaries::TagOf(p.host, p.boot, p.ns);
    const std::string gone = std::to_string(GonePid());
    const bool root = ::geteuid() == 0;
    struct Case {
        std::string name;
        bool removed;
        bool otherUser = false;  // chowned away (only as root)
        bool link = false;
    } cases[] = {
        {".a.csv.quorl-tmp." + here + "." + gone, true},
        {".b.db.quorl-tmp." + here + "." + gone + "-journal", true},
        {".c.csv.quorl-tmp." + here + "." + std::to_string(::getpid()), false},  // this process
        {".d.csv.quorl-tmp." + here + "." + std::to_string(::getppid()), false},  // alive
        {".e.csv.quorl-tmp." + quorl::temporaries::TagOf("elsewhere", p.boot, p.ns) + "." + gone, false},
        {".f.csv.quorl-tmp." + quorl::temporaries::TagOf(p.host, "earlier-boot-0000", p.ns) + "." + gone, false},
        {".g.csv.quorl-tmp." + quorl::temporaries::TagOf(p.host, p.boot, p.ns + 1) + "." + gone, false},
        {".h.csv.quorl-tmp." + gone, false},  // no tag: cannot be proven ours
        {".i.csv.quorl-tmp." + here + ".999999999", false},  // beyond any pid
        {".j.csv.quorl-tmp." + here + ".1", false},
        {".k.csv.quorl-tmp." + here + "." + gone, false, true},
        {".l.csv.quorl-tmp." + here + "." + gone, false, false, true},
    };
    quorl::test::TempDir dir;
    std::vector<std::string> kept;
    for (const Case& c : cases) {
        if (c.otherUser && !root) {
            std::printf("%s skipped: another user's file needs root\n", c.name.c_str());
            continue;
        }
        if (c.link)
            ASSERT_EQ(::symlink("elsewhere", (dir / c.name).c_str()), 0);
        else
            quorl::test::WriteBytes(dir / c.name, quorl::test::kOldBytes);
        if (c.otherUser) {
            ASSERT_EQ(::chown((dir / c.name).c_str(), 4242, 4242), 0);
        }
        if (!c.removed) kept.push_back(c.name);
    }
    std::sort(kept.begin(), kept.end());
    quorl::temporaries::RemoveStaleBeside(dir / "out.csv");
    EXPECT_EQ(dir.Names(), kept);
}
