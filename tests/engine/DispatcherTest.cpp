#include <gtest/gtest.h>

#include "link/Parser.h"
#include "tests/engine/EngineTestSupport.h"

namespace quorl {
namespace {

using namespace test;

// Feeds wire bytes through the decoder into the dispatcher, as the reader does.
void FromWire(CEngine& engine, const Bytes& wire) {
    CParser parser;
    for (std::uint8_t b : wire) {
        parser.PushByte(b);
        if (parser.Complete()) {
            engine.HandleFrame(parser.Body(), parser.Type(), parser.Length());
            parser.Reset();
        }
    }
}

TEST(Dispatcher, FirmwareMessageStoresTheTextAndAsksForTheSerial) {
    EngineRig rig;
    EXPECT_EQ(rig.engine.FirmwareText(), "0.00");
    EXPECT_EQ(rig.engine.SerialText(), "XXXXXX");

    FromWire(rig.engine, {0x11, 0x12, 0x01, 0x31, 0x2E, 0x30, 0x00, 0x2F, 0x11, 0x13});  // bad check
    EXPECT_EQ(rig.engine.FirmwareText(), "0.00");
    EXPECT_TRUE(rig.driver.Writes().empty());
    EXPECT_EQ(rig.engine.FramesDropped(), 1u);

    FromWire(rig.engine, {0x11, 0x12, 0x01, 0x31, 0x2E, 0x30, 0x00, 0x2E, 0x11, 0x13});
    EXPECT_EQ(rig.engine.FirmwareText(), "1.0");
    EXPECT_EQ(rig.driver.Writes(), std::vector<Bytes>{CommandFrame(kCmdRequestSerial)});
    EXPECT_EQ(rig.engine.FramesDispatched(), 1u);
    EXPECT_EQ(rig.notifications, 0);

    // Longer texts are cut to 33 characters; a text without its NUL ends
    // with the data, never taking the check byte.
    Deliver(rig.engine, kMsgFirmware, Bytes(40, 'v'));
    EXPECT_EQ(rig.engine.FirmwareText(), std::string(33, 'v'));
    Deliver(rig.engine, kMsgFirmware, {'2', '.', '1'});
    EXPECT_EQ(rig.engine.FirmwareText(), "2.1");
}

TEST(Dispatcher, SerialMessageKeepsEightCharactersAndSendsTheHandshake) {
    EngineRig rig;
    Deliver(rig.engine, kMsgSerial, {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'});
    EXPECT_EQ(rig.engine.SerialText(), "ABCDEFGH");
    EXPECT_EQ(rig.driver.Writes(), std::vector<Bytes>{CommandFrame(kCmdHandshake, {0x01})});
    Deliver(rig.engine, kMsgSerial, {'Q', '7', 0, 'Z'});
    EXPECT_EQ(rig.engine.SerialText(), "Q7");
    Deliver(rig.engine, kMsgSerial, {});
    EXPECT_EQ(rig.engine.SerialText(), "");
}

TEST(Dispatcher, ScanAcknowledgementAndHandshakeAcknowledgement) {
    EngineRig rig;
    // Not requested: nothing happens.
    Deliver(rig.engine, kMsgScanAck, {});
    EXPECT_TRUE(rig.driver.Writes().empty());
    EXPECT_EQ(rig.engine.ChannelIndex(), 0);
    EXPECT_EQ(rig.notifications, 0);

    rig.engine.StartScan();
    Deliver(rig.engine, kMsgScanAck, {});
    EXPECT_EQ(rig.engine.ChannelIndex(), 1);
    EXPECT_EQ(rig.notifications, 1);
    rig.driver.ClearWrites();

    // Message 9 turns scanning off even in the middle of a sweep.
    Deliver(rig.engine, kMsgHandshakeAck, {});
    EXPECT_FALSE(rig.engine.ScanRequested());
    EXPECT_TRUE(rig.engine.SweepActive());
    EXPECT_EQ(rig.driver.Writes(), std::vector<Bytes>{CommandFrame(kCmdSetScanning, {0x00})});
    // A later acknowledgement no longer restarts the sweep.
    Deliver(rig.engine, kMsgScanAck, {});
    EXPECT_EQ(rig.driver.Writes().size(), 1u);
    EXPECT_EQ(rig.notifications, 1);
}

TEST(Dispatcher, UnknownTypesAreDroppedAndOnlyReportsNotify) {
    EngineRig rig;
    Deliver(rig.engine, 5, {0x01, 0x02});
    Deliver(rig.engine, 0, {});
    Deliver(rig.engine, 0xFF, Bytes(100, 0x11));
    EXPECT_TRUE(rig.driver.Writes().empty());
    EXPECT_EQ(rig.engine.FramesDropped(), 3u);
    EXPECT_EQ(rig.engine.FramesDispatched(), 0u);

    Deliver(rig.engine, kMsgPowerStatus, {0x04, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(rig.notifications, 0);
    Deliver(rig.engine, kMsgGpsReport, Bytes(62, 0));
    EXPECT_EQ(rig.notifications, 1);
    Deliver(rig.engine, kMsgFrameRecord, Record({1, 2, 3, 4, 5, 6}, -800, {Ds(1)}));
    EXPECT_EQ(rig.notifications, 2);
    EXPECT_EQ(rig.engine.FramesDispatched(), 3u);
}

TEST(Dispatcher, AFrameArrivingWhileOneIsHandledIsDropped) {
    EngineRig rig;
    // A driver that answers synchronously re-enters the dispatcher while it
    // still handles message 1.
    rig.driver.SetResponder([&](const Bytes& frame) {
        if (frame == CommandFrame(kCmdRequestSerial)) Deliver(rig.engine, kMsgSerial, {'S', 'N'});
        return Bytes{};
    });
    Deliver(rig.engine, kMsgFirmware, {'3', 0});
    EXPECT_EQ(rig.engine.FirmwareText(), "3");
    EXPECT_EQ(rig.engine.SerialText(), "XXXXXX");
    EXPECT_EQ(rig.engine.FramesDropped(), 1u);
    // The flag is clear again afterwards.
    rig.driver.SetResponder(nullptr);
    Deliver(rig.engine, kMsgSerial, {'S', 'N'});
    EXPECT_EQ(rig.engine.SerialText(), "SN");
}

TEST(Dispatcher, CommandsGoOutWholeAndOversizedOnesAreRefused) {
    EngineRig rig;
    const Bytes big(61, 0x42);
    rig.engine.SendCommand(0x20, big.data(), static_cast<std::uint32_t>(big.size()));
    EXPECT_TRUE(rig.driver.Writes().empty());
    const Bytes tune = {0x1C, 0x2F, 0x00, 0x00};
    rig.engine.SendCommand(kCmdTune, tune.data(), 4);
    const Bytes expected = {0x11, 0x12, 0x04, 0x1C, 0x2F, 0x00, 0x00, 0x00, 0x11, 0x13};
    EXPECT_EQ(rig.driver.Writes(), std::vector<Bytes>{expected});
    // A failed write is simply lost.
    rig.driver.FailOn("Write");
    rig.engine.SendCommand(kCmdRequestPower, nullptr, 0);
    EXPECT_EQ(rig.driver.Writes().size(), 1u);
}

}  // namespace
}  // namespace quorl
