#include "link/ReaderThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "common/Timing.h"
#include "link/FrameCodec.h"
#include "link/PosixSerialDriver.h"
#include "tests/link/FakeSerialDriver.h"
#include "tests/link/PtyPair.h"
#include "tests/HangGuard.h"

namespace quorl {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

struct Received {
    std::uint8_t type;
    Bytes body;
};

class FrameLog {
public:
    CReaderThread::FrameHandler Handler() {
        return [this](const std::uint8_t* body, std::uint8_t type, std::uint32_t length) {
            std::lock_guard lock(mutex_);
            frames_.push_back({type, Bytes(body, body + length)});
        };
    }
    std::vector<Received> Frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    bool WaitFor(std::size_t n, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (Frames().size() < n) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::vector<Received> frames_;
};

// 300 frames of 10 wire bytes each: 3000 bytes.
Bytes ThreeThousandBytes() {
    Bytes out;
    for (int i = 0; i < 300; ++i) {
        std::uint8_t data[4] = {static_cast<std::uint8_t>(0x20 + i / 100), static_cast<std::uint8_t>(0x20 + i % 100),
                                0x40, 0x41};
        if (FrameCheckByte(0x07, data, 4) == 0x11) data[3] = 0x42;  // keep every frame 10 bytes long
        AppendMessage(0x07, data, 4, out);
    }
    return out;
}

TEST(ReaderThread, TakesQueuedBytesInReadsOfAtMost1024WithoutPausing) {
    test::FakeSerialDriver driver;
    FrameLog log;
    CReaderThread reader(driver, log.Handler());
    const Bytes bytes = ThreeThousandBytes();
    ASSERT_EQ(bytes.size(), 3000u);
    driver.Queue(bytes);

    EXPECT_EQ(reader.RunOnce(), CReaderThread::Step::Read);
    EXPECT_EQ(reader.RunOnce(), CReaderThread::Step::Read);
    EXPECT_EQ(reader.RunOnce(), CReaderThread::Step::Read);
    EXPECT_EQ(driver.ReadSizes(), (std::vector<std::uint32_t>{1024, 1024, 952}));
    EXPECT_EQ(reader.RunOnce(), CReaderThread::Step::Idle);

    // Frames that straddle two reads are decoded once, in order.
    const auto frames = log.Frames();
    ASSERT_EQ(frames.size(), 300u);
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(frames[i].type, 0x07);
        ASSERT_EQ(frames[i].body.size(), 5u);
        EXPECT_EQ(frames[i].body[0], 0x20 + i / 100);
        EXPECT_EQ(frames[i].body[1], 0x20 + i % 100);
    }
}

TEST(ReaderThread, FailuresPauseButAnEmptyReadDoesNot) {
    struct EmptyReads : test::FakeSerialDriver {
        DriverStatus GetStatus(std::uint32_t& ready) override {
            ready = 5;
            return kDriverOk;
        }
        DriverStatus Read(std::uint8_t*, std::uint32_t, std::uint32_t& got) override {
            got = 0;
            return kDriverOk;
        }
    } empty;
    CReaderThread emptyReader(empty, nullptr);
    EXPECT_EQ(emptyReader.RunOnce(), CReaderThread::Step::ReadEmpty);

    test::FakeSerialDriver failing;
    CReaderThread reader(failing, nullptr);
    failing.Queue({0x11, 0x12, 0x05, 0x11, 0x13});
    failing.FailOn("Read");
    EXPECT_EQ(reader.RunOnce(), CReaderThread::Step::Idle);
    test::FakeSerialDriver noStatus;
    CReaderThread statusReader(noStatus, nullptr);
    noStatus.Queue({0x01});
    noStatus.FailOn("GetStatus");
    EXPECT_EQ(statusReader.RunOnce(), CReaderThread::Step::Idle);
    EXPECT_TRUE(noStatus.ReadSizes().empty());
}

TEST(ReaderThread, DecodesAFrameSplitAcrossTwoReadsOfAPseudoTerminal) {
    timing::SetTimeScale(0.2);
    test::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    PosixSerialDriver driver(pty.SlavePath());
    ASSERT_EQ(driver.Open(0), kDriverOk);
    FrameLog log;
    CReaderThread reader(driver, log.Handler());
    reader.Start();
    EXPECT_TRUE(reader.Running());

    const std::uint8_t text[] = {'1', '.', '0', 0};
    const Bytes frame = EncodeMessage(0x01, text, 4);
    ASSERT_TRUE(pty.Send(Bytes(frame.begin(), frame.begin() + 5)));
    std::this_thread::sleep_for(30ms);  // several idle passes in between
    EXPECT_TRUE(log.Frames().empty());
    ASSERT_TRUE(pty.Send(Bytes(frame.begin() + 5, frame.end())));
    ASSERT_TRUE(log.WaitFor(1, test::kHangGuard));
    const auto frames = log.Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].type, 0x01);
    EXPECT_EQ(frames[0].body, (Bytes{'1', '.', '0', 0, 0x2E}));
    EXPECT_GT(reader.IdlePauses(), 0u);

    reader.Stop();
    EXPECT_FALSE(reader.Running());
    reader.Stop();  // twice is harmless
    timing::SetTimeScale(1.0);
}

TEST(ReaderThread, ThreadDrainsABacklogAndStops) {
    test::FakeSerialDriver driver;
    FrameLog log;
    driver.Queue(ThreeThousandBytes());
    {
        CReaderThread reader(driver, log.Handler());
        reader.Start();
        reader.Start();  // already running: no second thread
        ASSERT_TRUE(log.WaitFor(300, test::kHangGuard));
    }  // the destructor stops and joins
    const auto sizes = driver.ReadSizes();
    ASSERT_GE(sizes.size(), 3u);
    EXPECT_EQ(std::vector<std::uint32_t>(sizes.begin(), sizes.begin() + 3),
              (std::vector<std::uint32_t>{1024, 1024, 952}));
    EXPECT_EQ(log.Frames().size(), 300u);
}

// With nothing to read the reader sleeps in the driver instead of passing
// every 10 ms: bytes, Close and Stop each wake it, whether the port is open
// or was never opened.
TEST(ReaderThread, SleepsUntilBytesArriveThePortClosesOrItIsStopped) {
    timing::SetTimeScale(1.0);
    for (const bool open : {true, false}) {
        SCOPED_TRACE(open ? "open port" : "no port");
        test::PtyPair pty;
        ASSERT_TRUE(pty.Ok());
        PosixSerialDriver driver(open ? pty.SlavePath() : "/nonexistent/tty");
        EXPECT_EQ(driver.Open(0) == kDriverOk, open);
        FrameLog log;
        CReaderThread reader(driver, log.Handler());
        reader.Start();
        // Polling would have passed about twenty times by now.
        std::this_thread::sleep_for(200ms);
        EXPECT_LE(reader.IdlePauses(), 2u);
        if (open) {
            const std::uint8_t text[] = {'2', '.', '1', 0};
            ASSERT_TRUE(pty.Send(EncodeMessage(0x01, text, 4)));
            ASSERT_TRUE(log.WaitFor(1, test::kHangGuard));
            EXPECT_EQ(log.Frames()[0].type, 0x01);
        }
        const auto before = reader.IdlePauses();
        driver.Close();  // wakes it once; a closed port has nothing more to say
        std::this_thread::sleep_for(100ms);
        EXPECT_LE(reader.IdlePauses() - before, 2u);
        EXPECT_TRUE(reader.Running());
        reader.Stop();
        EXPECT_FALSE(reader.Running());
    }
}

}  // namespace
}  // namespace quorl
