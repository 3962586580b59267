// The simulated unit on a pseudo-terminal, reached through the program's real
// serial driver.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "engine/DeviceSession.h"
#include "engine/Engine.h"
#include "engine/GpsStatus.h"
#include "link/PosixSerialDriver.h"
#include "link/Protocol.h"
#include "sim/DefaultScenario.h"
#include "sim/PtyServer.h"
#include "SimTestSupport.h"
#include "tests/HangGuard.h"

namespace quorl::sim {
namespace {

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = quorl::test::kHangGuard) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Everything readable from `fd` within `limit`, until `enough` says so.
std::vector<std::uint8_t> ReadFor(int fd, std::chrono::milliseconds limit,
                                  const std::function<bool(const std::vector<std::uint8_t>&)>& enough) {
    std::vector<std::uint8_t> bytes;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end && !enough(bytes)) {
        std::uint8_t buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) bytes.insert(bytes.end(), buffer, buffer + n);
        else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return bytes;
}

TEST(PtyServer, ServesTheProgramThroughTheSerialDriverAndDropsBacklogBetweenClients) {
    timing::SetTimeScale(0.01);
    Scenario scenario = DefaultScenario();
    scenario.serial = "PTY00042";
    PtyServer server(scenario, 0);
    std::string error;
    ASSERT_TRUE(server.Open(error)) << error;
    ASSERT_EQ(server.SlavePath().rfind("/dev/pts/", 0), 0u) << server.SlavePath();
    std::atomic<bool> stop{false};
    std::thread serving([&] { server.Run(stop); });

    {
        PosixSerialDriver driver(server.SlavePath());
        RecordingUserMessages messages;
        GpsStatus gps;
        CEngine engine(driver, gps, messages);
        DeviceSession session(driver, engine);
        session.StartUp();
        EXPECT_TRUE(session.Opened());
        EXPECT_TRUE(WaitFor([&] { return engine.SerialText() == "PTY00042"; }));
        EXPECT_EQ(engine.FirmwareText(), "QS-2 2.14");
        EXPECT_TRUE(WaitFor([&] { return gps.lock3d.load() == 1; }));
        session.Shutdown();
    }

    // A hundred seconds of unit time with nobody listening (a GPS report a
    // second), then a new client: it gets its answer, not the reports of
    // those hundred seconds. A few fresh reports may come first, more on a
    // loaded machine where the server thread waits for its turn, but never
    // anything near the backlog.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const int fd = ::open(server.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(::isatty(fd));
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    cfmakeraw(&tio);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    const std::uint8_t command1[] = {0x11, 0x12, 0x01, 0x00, 0x11, 0x13};
    ASSERT_EQ(::write(fd, command1, sizeof command1), static_cast<ssize_t>(sizeof command1));
    const auto bytes = ReadFor(fd, quorl::test::kHangGuard, [](const std::vector<std::uint8_t>& b) {
        for (const auto& f : testing::Frames(b))
            if (f.type == kMsgFirmware) return true;
        return false;
    });
    ::close(fd);
    int gpsBefore = 0;
    bool answered = false;
    for (const auto& f : testing::Frames(bytes)) {
        EXPECT_TRUE(f.checkPasses);
        if (f.type == kMsgFirmware) {
            answered = true;
            break;
        }
        if (f.type == kMsgGpsReport) ++gpsBefore;
    }
    EXPECT_TRUE(answered);
    EXPECT_LE(gpsBefore, 30);

    stop = true;
    serving.join();
    timing::SetTimeScale(1.0);
}

}  // namespace
}  // namespace quorl::sim
