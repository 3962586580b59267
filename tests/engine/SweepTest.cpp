#include <gtest/gtest.h>

#include "tests/engine/EngineTestSupport.h"

namespace quorl {
namespace {

using namespace test;

Bytes TuneFrame(std::uint32_t value) {
    Bytes data(4);
    WriteLe32(data.data(), value);
    return CommandFrame(kCmdTune, data);
}

std::vector<std::int32_t> Plan(const CEngine& engine) {
    std::vector<std::int32_t> values;
    for (int i = 1; i <= engine.ChannelCount(); ++i) values.push_back(engine.FrequencyAt(i));
    return values;
}

TEST(ChannelPlan, DefaultAndChosenPlans) {
    EngineRig rig;
    EXPECT_EQ(Plan(rig.engine), (std::vector<std::int32_t>{12060, 12085, 12110, 12135, 12160, 12185, 12210, 12235,
                                                           12260, 12285, 12310, 12335, 12360, 12420}));
    std::uint8_t bg[15] = {};
    std::uint8_t ah[25] = {};
    bg[1] = bg[6] = bg[11] = 1;
    ah[1] = 1;   // 36
    ah[20] = 1;  // 149
    bg[0] = ah[0] = 1;  // position 0 is not a channel
    ah[24] = 2;         // only 1 ticks
    rig.engine.SetChannelPlan(bg, ah);
    EXPECT_EQ(Plan(rig.engine), (std::vector<std::int32_t>{12060, 12185, 12310, 25900, 28725}));

    rig.engine.SetChannelPlan(bg, nullptr);
    EXPECT_EQ(rig.engine.ChannelCount(), 3);
    EXPECT_EQ(rig.engine.FrequencyAt(4), 0);
    EXPECT_EQ(rig.engine.FrequencyAt(0), 0);
    EXPECT_EQ(rig.engine.FrequencyAt(-3), 0);
}

TEST(ChannelPlan, FrequencyValuesAndChannels) {
    EXPECT_EQ(FrequencyToChannel(12060), 1);
    EXPECT_EQ(FrequencyToChannel(12420), 14);
    EXPECT_EQ(FrequencyToChannel(25900), 36);
    EXPECT_EQ(FrequencyToChannel(28725), 149);
    EXPECT_EQ(FrequencyToChannel(15000), 1);
    EXPECT_EQ(FrequencyToChannel(0), 0);
    for (int c = 1; c <= 14; ++c) EXPECT_EQ(FrequencyToChannel(ChannelToFrequency(c)), c);
    for (int c : kAhChannels) EXPECT_EQ(FrequencyToChannel(ChannelToFrequency(c)), c);
}

TEST(Sweep, ThreeChannelsStepThroughAndEndOnce) {
    EngineRig rig;
    std::uint8_t bg[15] = {};
    bg[1] = bg[6] = bg[11] = 1;
    rig.engine.SetChannelPlan(bg, nullptr);
    EXPECT_FALSE(rig.engine.EndSweep());  // idle: nothing to end

    EXPECT_TRUE(rig.engine.StartScan());
    EXPECT_TRUE(rig.engine.ScanRequested());
    EXPECT_TRUE(rig.engine.SweepActive());
    EXPECT_FALSE(rig.engine.SweepEndHandled());
    Deliver(rig.engine, kMsgScanAck, {});
    EXPECT_EQ(rig.engine.ChannelIndex(), 1);
    EXPECT_EQ(rig.engine.CurrentChannel(), 1);
    EXPECT_EQ(rig.engine.NextChannel(), 2);
    EXPECT_EQ(rig.engine.CurrentChannel(), 6);
    EXPECT_EQ(rig.engine.NextChannel(), 3);
    EXPECT_EQ(rig.engine.CurrentChannel(), 11);
    EXPECT_FALSE(rig.engine.EndSweep());  // still sweeping
    EXPECT_EQ(rig.engine.NextChannel(), 3);
    EXPECT_FALSE(rig.engine.SweepActive());
    EXPECT_TRUE(rig.engine.ScanRequested());

    EXPECT_TRUE(rig.engine.EndSweep());
    EXPECT_FALSE(rig.engine.EndSweep());
    EXPECT_FALSE(rig.engine.ScanRequested());
    EXPECT_TRUE(rig.engine.SweepEndHandled());
    EXPECT_EQ(rig.driver.Writes(),
              (std::vector<Bytes>{CommandFrame(kCmdSetScanning, {0x01}), TuneFrame(12060), TuneFrame(12185),
                                  TuneFrame(12310), CommandFrame(kCmdSetScanning, {0x00})}));
}

TEST(Sweep, AStepBeforeTheAcknowledgementStartsFromTheTop) {
    EngineRig rig;
    std::uint8_t bg[15] = {};
    bg[1] = bg[6] = bg[11] = 1;
    rig.engine.SetChannelPlan(bg, nullptr);

    for (int sweep = 0; sweep < 2; ++sweep) {
        rig.engine.StartScan();
        rig.driver.ClearWrites();
        // The view's first step comes before the unit's message 3.
        EXPECT_EQ(rig.engine.NextChannel(), 1) << "sweep " << sweep;
        EXPECT_TRUE(rig.engine.SweepActive());
        EXPECT_EQ(rig.driver.Writes(), std::vector<Bytes>{TuneFrame(12060)});
        Deliver(rig.engine, kMsgScanAck, {});
        EXPECT_EQ(rig.engine.ChannelIndex(), 1);
        while (rig.engine.SweepActive()) rig.engine.NextChannel();
        EXPECT_EQ(rig.engine.ChannelIndex(), 3);
        EXPECT_TRUE(rig.engine.EndSweep());
    }
}

TEST(Sweep, AnEmptyPlanTunesNothingAndEndsAtTheFirstStep) {
    EngineRig rig;
    const std::uint8_t none[25] = {};
    rig.engine.SetChannelPlan(none, none);
    EXPECT_EQ(rig.engine.ChannelCount(), 0);
    EXPECT_EQ(rig.engine.FrequencyAt(1), 0);  // the old entry is not offered

    rig.engine.StartScan();
    Deliver(rig.engine, kMsgScanAck, {});
    EXPECT_EQ(rig.engine.ChannelIndex(), 0);
    EXPECT_EQ(rig.engine.CurrentChannel(), 1);
    EXPECT_EQ(rig.notifications, 1);
    EXPECT_EQ(rig.engine.NextChannel(), 0);
    EXPECT_FALSE(rig.engine.SweepActive());
    EXPECT_TRUE(rig.engine.EndSweep());
    EXPECT_EQ(rig.driver.Writes(), (std::vector<Bytes>{CommandFrame(kCmdSetScanning, {0x01}),
                                                       CommandFrame(kCmdSetScanning, {0x00})}));
}

TEST(Sweep, ANewPlanTakesEffectInTheRunningSweep) {
    EngineRig rig;
    rig.engine.StartScan();
    Deliver(rig.engine, kMsgScanAck, {});
    rig.engine.NextChannel();
    rig.engine.NextChannel();
    EXPECT_EQ(rig.engine.ChannelIndex(), 3);
    std::uint8_t bg[15] = {};
    bg[2] = bg[4] = bg[8] = bg[9] = 1;
    rig.engine.SetChannelPlan(bg, nullptr);
    EXPECT_EQ(rig.engine.NextChannel(), 4);
    EXPECT_EQ(rig.engine.CurrentChannel(), 9);
    bg[8] = bg[9] = 0;
    rig.engine.SetChannelPlan(bg, nullptr);
    EXPECT_EQ(rig.engine.NextChannel(), 4);  // past the shorter plan: ends
    EXPECT_FALSE(rig.engine.SweepActive());
}

}  // namespace
}  // namespace quorl
