// A process appending points through RecordPoint is killed with SIGKILL at
// random moments, some of them while it stores a group of many pages. After
// every kill the file opens, every point whose append was acknowledged reads
// back whole, and the next writer goes on appending.
//
// The writer does not flush to the disk: a kill, unlike a power cut, loses
// nothing the kernel already took, so the flush is no part of what a kill
// tests and would only make every round slower.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "survey/CollectionFormat.h"
#include "survey/CollectionReader.h"
#include "survey/FileHandle.h"
#include "survey/SiteData.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {
namespace {

// Kills, and the longest a writer runs before its kill when it is not
// killed while storing.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kRounds = 12;  // every point costs several times more there
constexpr int kLongestRunMs = 200;
#else
constexpr int kRounds = 40;
constexpr int kLongestRunMs = 50;
#endif

// What the writer tells the test, one report per write(2) (atomic on a pipe).
struct Report {
    std::uint32_t what;  // kRecording before RecordPoint, kStored after it returned
    std::uint32_t seq;
};
constexpr std::uint32_t kRecording = 1;
constexpr std::uint32_t kStored = 2;

// Point `seq` is told apart by its position (x: low 16 bits, y: high) and
// its access points: none, a few, or enough for a group of many pages.
int ApCountOf(std::uint32_t seq) {
    const std::uint32_t h = seq * 2654435761u;
    switch (h % 4) {
        case 0: return static_cast<int>((h >> 8) % 3);
        case 1: return 1 + static_cast<int>((h >> 8) % 100);
        default: return 500 + static_cast<int>((h >> 8) % 2500);
    }
}
Mac6 MacOf(std::uint32_t seq, int k) {
    return {static_cast<std::uint8_t>(seq >> 16), static_cast<std::uint8_t>(seq >> 8), static_cast<std::uint8_t>(seq),
            static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k), 0x5A};
}
std::int16_t SignalOf(std::uint32_t seq, int k) { return static_cast<std::int16_t>(-16 * (30 + (seq + k) % 60)); }

void Send(int fd, Report report) {
    if (::write(fd, &report, sizeof report) != static_cast<ssize_t>(sizeof report)) ::_exit(5);
}

// The child: opens the collection like the collector does and appends
// points from `seq` on until it is killed. Never returns.
[[noreturn]] void RunWriter(const std::string& path, std::uint32_t seq, int fd) {
    EngineRig unit;
    CSiteProjection projection(unit.gps, unit.messages);
    CSiteData data(unit.engine, unit.gps, projection, unit.messages);
    data.SetCollectionPath(path);
    data.SetDurableWrites(false);
    if (!data.LoadCollection()) ::_exit(3);
    TuneTo(unit.engine, 6);
    for (;; ++seq) {
        data.BeginPoint(CSiteData::kPlanTap, static_cast<std::int32_t>(seq & 0xFFFF), static_cast<std::int32_t>(seq >> 16));
        for (int k = 0; k < ApCountOf(seq); ++k) {
            const Bytes r = Record(MacOf(seq, k), SignalOf(seq, k), {Ds(6)});
            unit.engine.AddFrameRecord(r.data(), static_cast<std::uint32_t>(r.size()));
        }
        Send(fd, {kRecording, seq});
        data.RecordPoint();
        if (data.LastFileFailed()) ::_exit(4);
        Send(fd, {kStored, seq});
    }
}

// Reads every group of the file and checks that group i is point i, whole.
// Returns the number of points, or -1 after a failed check.
std::int64_t CheckGroups(const std::string& path) {
    FileHandle file = FileHandle::Open(path, O_RDONLY);
    const std::int64_t length = file.Length();
    CollectionReader reader(file, collection::kFirstGroup);
    std::uint8_t fields[collection::kApRecordSize];
    std::uint32_t seq = 0;
    for (; reader.Next(collection::kPointRecordSize, fields, collection::kPointRecordSize); ++seq) {
        const collection::PointRecord p = collection::DecodePoint(fields);
        EXPECT_EQ(p.x | std::uint32_t{p.y} << 16, seq);
        EXPECT_EQ(p.apCount, ApCountOf(seq)) << "point " << seq;
        if (p.x != (seq & 0xFFFF) || p.apCount != ApCountOf(seq)) return -1;
        for (int k = 0; k < p.apCount; ++k) {
            if (!reader.Next(collection::kApRecordSize, fields, sizeof fields)) {
                ADD_FAILURE() << "point " << seq << " lacks access point " << k;
                return -1;
            }
            const collection::ApRecord a = collection::DecodeAp(fields);
            if (a.mac != MacOf(seq, k) || a.signal != SignalOf(seq, k) || a.channel != 6) {
                ADD_FAILURE() << "point " << seq << " access point " << k << " differs";
                return -1;
            }
        }
    }
    EXPECT_EQ(reader.Error(), 0);
    EXPECT_EQ(reader.Position(), static_cast<std::uint64_t>(length)) << "bytes left after the last group";
    return seq;
}

TEST(CrashConsistencyTest, KilledWritersLoseNoAcknowledgedPoint) {
    TempDir dir;
    const std::string path = dir / "Data.ssd";
    EngineRig unit;
    CSiteProjection projection(unit.gps, unit.messages);
    CSiteData data(unit.engine, unit.gps, projection, unit.messages);
    data.SetCollectionPath(path);
    data.SetDurableWrites(false);
    ASSERT_TRUE(data.CreateCollection());

    std::mt19937 rng(std::random_device{}());
    std::uint32_t onFile = 0;    // points the file holds, acknowledged or not
    std::uint32_t required = 0;  // acknowledged so far: the file must hold them
    int torn = 0;
    int kills = 0;
    for (int round = 0; round < kRounds; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            RunWriter(path, onFile, fds[1]);
        }
        ::close(fds[1]);

        // Kill at a random moment, or a random few microseconds after the
        // writer starts storing a point, which often lands inside its write.
        const bool duringStore = rng() % 2 == 0;
        const int storesToWait = 1 + static_cast<int>(rng() % 2);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2 + rng() % kLongestRunMs);
        const auto delay = std::chrono::microseconds(rng() % 250);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);  // a stuck writer
        int storesSeen = 0;
        bool childEnded = false;
        const auto take = [&](const Report& r) {
            if (r.what == kStored) required = std::max(required, r.seq + 1);
            if (r.what == kRecording && ApCountOf(r.seq) >= 500) ++storesSeen;  // a write of many pages
        };
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            if ((!duringStore && now >= deadline) || now >= giveUp) break;
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, duringStore ? 100 : 1) < 0) continue;
            if (!(p.revents & (POLLIN | POLLHUP))) continue;
            Report r{};
            if (::read(fds[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) {
                childEnded = true;  // the writer died on its own: checked below
                break;
            }
            take(r);
            if (duringStore && storesSeen == storesToWait) {
                const auto until = std::chrono::steady_clock::now() + delay;
                while (std::chrono::steady_clock::now() < until) {
                }
                break;
            }
        }
        if (!childEnded) ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        // Reports written before the kill are still in the pipe.
        for (Report r{}; ::read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);) take(r);
        ::close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the writer stopped by itself, status " << status;
        ++kills;

        // The file opens; a group cut short is dropped, and said so once.
        const auto before = std::filesystem::file_size(path);
        unit.messages.Clear();
        ASSERT_TRUE(data.LoadCollection()) << "round " << round;
        const auto after = std::filesystem::file_size(path);
        if (after < before) {
            ++torn;
            ASSERT_EQ(unit.messages.Entries().size(), 1u);
            EXPECT_EQ(unit.messages.Entries()[0].kind, RecordingUserMessages::Kind::Info);
        } else {
            EXPECT_TRUE(unit.messages.Entries().empty());
        }
        const std::int64_t points = CheckGroups(path);
        ASSERT_GE(points, 0) << "round " << round;
        // Every acknowledged point, and at most the one being stored.
        ASSERT_GE(points, required) << "round " << round;
        ASSERT_LE(points, required + 1) << "round " << round;
        ASSERT_GE(static_cast<std::uint32_t>(points), onFile) << "round " << round;
        EXPECT_EQ(data.PointCount(), points);
        onFile = static_cast<std::uint32_t>(points);
    }
    // The parent appends too, after the last kill.
    TuneTo(unit.engine, 6);
    data.BeginPoint(CSiteData::kPlanTap, static_cast<std::int32_t>(onFile & 0xFFFF), static_cast<std::int32_t>(onFile >> 16));
    for (int k = 0; k < ApCountOf(onFile); ++k) {
        const Bytes r = Record(MacOf(onFile, k), SignalOf(onFile, k), {Ds(6)});
        unit.engine.AddFrameRecord(r.data(), static_cast<std::uint32_t>(r.size()));
    }
    data.RecordPoint();
    EXPECT_EQ(CheckGroups(path), onFile + 1);
    std::printf("%d kills, %d torn groups dropped, %u points, %ju bytes\n", kills, torn, onFile + 1,
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
    RecordProperty("kills", kills);
    RecordProperty("torn", torn);
}

}  // namespace
}  // namespace quorl::test
