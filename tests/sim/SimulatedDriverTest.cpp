// The program's own engine, reader thread and device start-up against the
// simulated unit in-process, with every period shrunk.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <functional>
#include <set>
#include <thread>

#include "common/ByteOrder.h"
#include "common/RecordingUserMessages.h"
#include "common/Timing.h"
#include "engine/DeviceSession.h"
#include "engine/Engine.h"
#include "engine/GpsStatus.h"
#include "link/Protocol.h"
#include "sim/DefaultScenario.h"
#include "sim/SimulatedDriver.h"
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

class SimulatedDriverTest : public ::testing::Test {
protected:
    void SetUp() override { timing::SetTimeScale(0.02); }
    void TearDown() override {
        session.Shutdown();
        timing::SetTimeScale(1.0);
    }

    static Scenario WithoutLockGaps() {
        Scenario s = DefaultScenario();
        s.noLock.clear();
        return s;
    }

    std::vector<SeenCommand> Seen() {
        return driver.WithUnit([](SimulatedUnit& unit) {
            return std::vector<SeenCommand>(unit.Commands().begin(), unit.Commands().end());
        });
    }

    SimulatedDriver driver{WithoutLockGaps()};
    RecordingUserMessages messages;
    GpsStatus gps;
    CEngine engine{driver, gps, messages};
    DeviceSession session{driver, engine};
};

TEST_F(SimulatedDriverTest, HandshakeBringsTheTextsAndPowerStatus) {
    std::uint32_t count = 0;
    EXPECT_EQ(driver.CountDevices(count), kDriverOk);
    EXPECT_EQ(count, 1u);
    std::uint32_t ready = 0;
    EXPECT_NE(driver.GetStatus(ready), kDriverOk);  // not open yet

    session.StartUp();
    EXPECT_TRUE(session.Opened());
    ASSERT_TRUE(WaitFor([&] { return engine.SerialText() == "QS240117"; }));
    EXPECT_EQ(engine.FirmwareText(), "QS-2 2.14");
    ASSERT_TRUE(WaitFor([&] { return Seen().size() >= 4; }));
    const auto seen = Seen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].type, kCmdRequestFirmware);
    EXPECT_EQ(seen[1].type, kCmdRequestSerial);
    EXPECT_EQ(seen[2].type, kCmdHandshake);
    EXPECT_EQ(seen[2].data, std::vector<std::uint8_t>{0x01});
    EXPECT_EQ(seen[3].type, kCmdSetScanning);
    EXPECT_EQ(seen[3].data, std::vector<std::uint8_t>{0x00});
    EXPECT_FALSE(driver.WithUnit([](SimulatedUnit& unit) { return unit.Scanning(); }));

    session.Poll();
    ASSERT_TRUE(WaitFor([&] { return engine.Power().level == 87; }));
    EXPECT_EQ(engine.Power().batteryLow, 0);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(SimulatedDriverTest, SweepOfThreeChannelsCollectsTheirAccessPoints) {
    session.StartUp();
    ASSERT_TRUE(WaitFor([&] { return Seen().size() >= 4; }));

    std::uint8_t bg[15] = {};
    bg[1] = bg[6] = bg[11] = 1;
    engine.SetChannelPlan(bg, nullptr);
    ASSERT_EQ(engine.ChannelCount(), 3);
    ASSERT_TRUE(engine.StartScan());
    // The unit acknowledges; the reader thread tunes the first channel.
    ASSERT_TRUE(WaitFor([&] {
        return driver.WithUnit([](SimulatedUnit& unit) { return unit.Scanning() && unit.Commands().back().type == kCmdTune; });
    }));
    EXPECT_EQ(engine.ChannelIndex(), 1);
    for (int step = 0; step < 3; ++step) {
        std::this_thread::sleep_for(timing::Scaled(timing::kScanViewStepMs));
        engine.NextChannel();
    }
    EXPECT_FALSE(engine.SweepActive());
    EXPECT_EQ(engine.ChannelIndex(), 3);
    ASSERT_TRUE(engine.EndSweep());
    ASSERT_TRUE(WaitFor([&] { return !driver.WithUnit([](SimulatedUnit& unit) { return unit.Scanning(); }); }));

    // The unit was tuned to 1, 6 and 11 in that order.
    std::vector<std::uint32_t> tunes;
    for (const SeenCommand& c : Seen())
        if (c.type == kCmdTune) tunes.push_back(ReadLe32(c.data.data()));
    EXPECT_EQ(tunes, (std::vector<std::uint32_t>{12060, 12185, 12310}));

    // Every access point of the scenario on those channels, with its own
    // channel, and nothing from anywhere else.
    std::set<std::string> expected;
    for (const SimAccessPoint& ap : driver.WithUnit([](SimulatedUnit& unit) { return unit.GetScenario(); }).accessPoints) {
        if (ap.channel == 1 || ap.channel == 6 || ap.channel == 11)
            expected.insert(std::string(ap.mac.begin(), ap.mac.end()) + "/" + std::to_string(ap.channel) + "/" + ap.ssid);
    }
    std::set<std::string> found;
    for (const CMac& entry : engine.CopyApTable()) {
        found.insert(std::string(entry.mac.begin(), entry.mac.end()) + "/" + std::to_string(entry.channel) + "/" +
                     entry.SsidText());
        EXPECT_GE(entry.hits, 5) << entry.SsidText();
        const int level = entry.ShownRssi();
        EXPECT_TRUE(level < -30 && level > -92) << entry.SsidText() << " at " << level;
    }
    EXPECT_EQ(expected.size(), 6u);
    EXPECT_EQ(found, expected);
}

TEST_F(SimulatedDriverTest, GpsReportsReachTheStatusRecord) {
    session.StartUp();
    ASSERT_TRUE(WaitFor([&] { return gps.lock3d.load() == 1 && gps.latitude.load() != 0.0; }));
    const GpsSnapshot fix = gps.Snapshot();
    // On the demo site's plan.
    EXPECT_TRUE(fix.latitude > 47.3769 && fix.latitude < 47.3773) << fix.latitude;
    EXPECT_TRUE(fix.longitude > 8.541 && fix.longitude < 8.5418) << fix.longitude;
    EXPECT_EQ(fix.lock2d, 1);
    EXPECT_GE(fix.year, 2024);
    EXPECT_GE(fix.month, 1);

    // It walks: a few seconds of unit time later the position has moved.
    const double before = fix.longitude + fix.latitude;
    ASSERT_TRUE(WaitFor([&] { return gps.longitude.load() + gps.latitude.load() != before; }));
}

TEST_F(SimulatedDriverTest, ClosedDriverRefusesAndDropsTheBacklog) {
    std::uint8_t buffer[64];
    std::uint32_t n = 0;
    const std::uint8_t command1[] = {0x11, 0x12, 0x01, 0x00, 0x11, 0x13};
    EXPECT_NE(driver.Write(command1, sizeof command1, n), kDriverOk);
    EXPECT_NE(driver.Read(buffer, sizeof buffer, n), kDriverOk);
    EXPECT_NE(driver.Open(1), kDriverOk);

    // Seconds of unit time pass before the port is opened: none of it is read.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(driver.Open(0), kDriverOk);
    std::uint32_t ready = 99;
    EXPECT_EQ(driver.GetStatus(ready), kDriverOk);
    EXPECT_LT(ready, 100u);
    driver.Close();
    EXPECT_NE(driver.GetStatus(ready), kDriverOk);
}

// The start-up as the unit sees it, on a virtual clock that only the
// start-up's waits move: it runs behind the caller, command 1 reaches the
// unit exactly 2000 ms after the port was opened with nothing before it,
// and the start-up is over 2000 ms after that.
TEST_F(SimulatedDriverTest, StartUpInBackgroundKeepsTheUnitsTimingToTheMillisecond) {
    timing::SetTimeScale(1.0);
    std::atomic<std::int64_t> virtualMs{0};
    SimulatedDriver unit(WithoutLockGaps(), [&] {
        return std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(virtualMs.load());
    });
    CEngine unitEngine{unit, gps, messages};
    DeviceSession startUp{unit, unitEngine};
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::mutex mutex;
    std::vector<std::pair<std::int64_t, std::int64_t>> waits;  // (at, length) in ms
    const auto waitsSoFar = [&] {
        std::lock_guard lock(mutex);
        return waits;
    };
    startUp.UseWaiter([&](std::chrono::milliseconds period) {
        {
            std::lock_guard lock(mutex);
            waits.emplace_back(virtualMs.load(), period.count());
        }
        released.wait();
        virtualMs += period.count();
        return true;
    });
    std::atomic<std::int64_t> doneAt{-1};
    startUp.StartUpInBackground([&] { doneAt = virtualMs.load(); });

    // Back at once: the first wait has begun on the start-up's thread with
    // the port open and nothing sent yet.
    ASSERT_TRUE(WaitFor([&] { return !waitsSoFar().empty(); }));
    EXPECT_TRUE(startUp.Opened());
    EXPECT_FALSE(startUp.StartedUp());
    EXPECT_TRUE(unit.WithUnit([](SimulatedUnit& u) { return u.Commands().empty(); }));
    release.set_value();
    ASSERT_TRUE(WaitFor([&] { return doneAt.load() >= 0; }));
    EXPECT_TRUE(startUp.StartedUp());
    EXPECT_EQ(doneAt.load(), 4000);
    EXPECT_EQ(waitsSoFar(), (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 2000}, {2000, 2000}}));
    const auto seen = unit.WithUnit([](SimulatedUnit& u) { return u.Commands(); });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().type, kCmdRequestFirmware);
    EXPECT_EQ(seen.front().at, Micros(2'000'000));
    // The reader was running when command 1 went: the handshake completes.
    ASSERT_TRUE(WaitFor([&] { return unitEngine.SerialText() == "QS240117"; }));
    startUp.Shutdown();
}

TEST_F(SimulatedDriverTest, ShutdownCutsTheStartUpShort) {
    timing::SetTimeScale(1.0);  // two real seconds a wait
    std::atomic<int> done{0};
    session.StartUpInBackground([&] { ++done; });
    ASSERT_TRUE(WaitFor([&] { return session.Opened(); }));
    session.Shutdown();
    EXPECT_EQ(done.load(), 0);
    EXPECT_FALSE(session.StartedUp());
    EXPECT_TRUE(Seen().empty());  // no reader, no command 1
    session.StartUpInBackground([&] { ++done; });  // once only, and never after a shutdown
    session.StartUp();
    EXPECT_TRUE(Seen().empty());
}

}  // namespace
}  // namespace quorl::sim
