// Opening inputs without waiting, and the output helper's own rules: a
// target that changed since the check, and the names of its temporaries.

#include <gtest/gtest.h>
#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "common/FileErrors.h"
#include "common/RegularFile.h"
#include "common/UserMessages.h"
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
        errno = 0;
        const int fd = quorl::OpenRegularFile(path, c.flags);
        EXPECT_EQ(fd >= 0 ? 0 : errno, c.error) << NameOf(c.kind);
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

TEST(Temporaries, NamesCarryThePidAndOnlyOurNamesAreRecognised) {
    EXPECT_EQ(quorl::temporaries::NameFor("/a/b/map.png"), "/a/b/.map.png.quorl-tmp." + std::to_string(::getpid()));
    const std::pair<const char*, long> cases[] = {
        {".map.png.quorl-tmp.123", 123}, {".x.quorl-tmp.7", 7},         {"map.png.quorl-tmp.123", 0},
        {".map.png.quorl-tmp.", 0},      {".map.png.quorl-tmp.12a", 0}, {".quorl-tmp.5", 0},
        {".map.png.quorl-tmp.1234567890", 0},
    };
    for (const auto& [name, pid] : cases) EXPECT_EQ(quorl::temporaries::PidInName(name), pid) << name;
}
