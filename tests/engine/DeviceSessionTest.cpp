#include "engine/DeviceSession.h"

#include <gtest/gtest.h>

#include <chrono>

#include "common/Timing.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/HangGuard.h"

namespace quorl {
namespace {

using namespace test;
using namespace std::chrono_literals;

const std::vector<std::string> kOpenSequence = {
    "CountDevices", "SerialNumberOf", "Open", "ClearRts", "SetBaudRate:57600",
    "SetDataCharacteristics:8,0,0", "SetFlowControl:0,0,0", "SetRts"};

Bytes Message(std::uint8_t type, const std::string& text) {
    return EncodeMessage(type, reinterpret_cast<const std::uint8_t*>(text.data()),
                         static_cast<std::uint32_t>(text.size()));
}

// Answers the identification handshake the way the unit does.
Bytes UnitReply(const Bytes& frame) {
    if (frame == CommandFrame(kCmdRequestFirmware)) return Message(kMsgFirmware, std::string("2.05", 5));
    if (frame == CommandFrame(kCmdRequestSerial)) return Message(kMsgSerial, "A1B2C3D4");
    if (frame == CommandFrame(kCmdHandshake, {0x01})) return EncodeMessage(kMsgHandshakeAck, nullptr, 0);
    if (frame == CommandFrame(kCmdSetScanning, {0x00})) return EncodeMessage(kMsgScanAck, nullptr, 0);
    return {};
}

class DeviceSessionTest : public ::testing::Test {
protected:
    void SetUp() override { timing::SetTimeScale(0.01); }
    void TearDown() override { timing::SetTimeScale(1.0); }
};

TEST_F(DeviceSessionTest, OpenDeviceRunsItsStepsInOrderAndStopsAtTheFirstFailure) {
    {
        EngineRig rig;
        DeviceSession session(rig.driver, rig.engine);
        EXPECT_TRUE(session.OpenDevice());
        EXPECT_TRUE(session.Opened());
        EXPECT_EQ(rig.driver.Calls(), kOpenSequence);
    }
    for (std::size_t failing = 0; failing < kOpenSequence.size(); ++failing) {
        EngineRig rig;
        const std::string name = kOpenSequence[failing].substr(0, kOpenSequence[failing].find(':'));
        rig.driver.FailOn(name);
        DeviceSession session(rig.driver, rig.engine);
        EXPECT_FALSE(session.OpenDevice()) << name;
        EXPECT_EQ(rig.driver.Calls(),
                  std::vector<std::string>(kOpenSequence.begin(), kOpenSequence.begin() + failing + 1));
    }
    // The count is taken as a signed 16-bit value.
    for (std::uint32_t count : {0u, 0x10000u, 0x8000u}) {
        EngineRig rig;
        rig.driver.deviceCount = count;
        DeviceSession session(rig.driver, rig.engine);
        EXPECT_FALSE(session.OpenDevice()) << count;
        EXPECT_EQ(rig.driver.Calls(), std::vector<std::string>{"CountDevices"});
    }
}

TEST_F(DeviceSessionTest, StartUpRunsTheHandshakeAndShutsDownInOrder) {
    EngineRig rig;
    rig.driver.SetResponder(UnitReply);
    Deliver(rig.engine, kMsgFrameRecord, {});  // nothing enters; the table starts empty anyway
    DeviceSession session(rig.driver, rig.engine);

    const auto start = std::chrono::steady_clock::now();
    session.StartUp();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2 * timing::Scaled(timing::kStartupWaitMs));
    EXPECT_TRUE(session.Opened());

    ASSERT_TRUE(rig.driver.WaitForWrites(4));
    // The reader takes the closing message 3 too.
    const auto guard = std::chrono::steady_clock::now() + test::kHangGuard;
    while (rig.engine.FramesDispatched() < 5 && std::chrono::steady_clock::now() < guard)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(rig.driver.Writes(),
              (std::vector<Bytes>{CommandFrame(kCmdRequestFirmware), CommandFrame(kCmdRequestSerial),
                                  CommandFrame(kCmdHandshake, {0x01}), CommandFrame(kCmdSetScanning, {0x00})}));
    EXPECT_EQ(rig.engine.FirmwareText(), "2.05");
    EXPECT_EQ(rig.engine.SerialText(), "A1B2C3D4");
    EXPECT_FALSE(rig.engine.SweepActive());
    EXPECT_EQ(rig.engine.FramesDispatched(), 4u + 1u);

    session.Poll();
    EXPECT_EQ(rig.driver.Writes().back(), CommandFrame(kCmdRequestPower));

    session.StartUp();  // the reader is started once only
    session.Shutdown();
    session.Shutdown();
    EXPECT_EQ(rig.driver.CloseCount(), 1);
    const auto writes = rig.driver.Writes().size();
    rig.driver.Queue(Message(kMsgFirmware, std::string("9.9", 4)));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(rig.engine.FirmwareText(), "2.05");  // nobody reads any more
    EXPECT_EQ(rig.driver.Writes().size(), writes);
}

TEST_F(DeviceSessionTest, StartUpGoesOnWithoutAUnit) {
    EngineRig rig;
    rig.driver.deviceCount = 0;
    {
        DeviceSession session(rig.driver, rig.engine);
        session.StartUp();
        EXPECT_FALSE(session.Opened());
        EXPECT_EQ(rig.driver.Writes(), std::vector<Bytes>{CommandFrame(kCmdRequestFirmware)});
        EXPECT_EQ(rig.engine.FirmwareText(), "0.00");
    }  // the destructor shuts down
    EXPECT_EQ(rig.driver.CloseCount(), 1);
}

}  // namespace
}  // namespace quorl
