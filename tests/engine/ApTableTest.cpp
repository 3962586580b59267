#include <gtest/gtest.h>

#include "engine/FrameRecord.h"
#include "tests/engine/EngineTestSupport.h"

namespace quorl {
namespace {

using namespace test;

const Mac6 kMacA = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
const Mac6 kMacB = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4F};
const Mac6 kMacC = {0x10, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};

TEST(FrameRecord, HeadFieldsAndKinds) {
    ParsedFrameRecord r;
    const Bytes beacon = Record(kMacA, -960, {Ssid("lab"), Ds(6)});
    ParseFrameRecord(beacon.data(), static_cast<std::uint32_t>(beacon.size()), 6, r);
    EXPECT_EQ(r.rssi, -960);
    EXPECT_TRUE(r.Valid());
    EXPECT_EQ(r.mac, kMacA);
    EXPECT_EQ(r.kind, ParsedFrameRecord::kBeacon);
    EXPECT_EQ(r.beaconOrResponse, 1);
    EXPECT_STREQ(r.ssid.data(), "lab");
    EXPECT_EQ(r.channel, 6);
    EXPECT_EQ(r.offChannel, 0);
    EXPECT_EQ(r.scannedChannel, 6);

    const Bytes response = Record(kMacA, -10, {Ds(2)}, kFcProbeResponse);
    ParseFrameRecord(response.data(), static_cast<std::uint32_t>(response.size()), 6, r);
    EXPECT_EQ(r.kind, ParsedFrameRecord::kProbeResponse);
    EXPECT_EQ(r.offChannel, 1);

    const Bytes probe = ProbeRequest(kMacB, -700, "guest");
    ParseFrameRecord(probe.data(), static_cast<std::uint32_t>(probe.size()), 6, r);
    EXPECT_EQ(r.kind, ParsedFrameRecord::kProbeRequest);
    EXPECT_EQ(r.beaconOrResponse, 0);
    EXPECT_STREQ(r.ssid.data(), "guest");

    for (std::uint16_t fc : {kFcData, kFcControl, std::uint16_t{0x00C0}}) {
        const Bytes other = Record(kMacA, -10, {Ssid("x")}, fc);
        ParseFrameRecord(other.data(), static_cast<std::uint32_t>(other.size()), 6, r);
        EXPECT_EQ(r.kind, ParsedFrameRecord::kOther) << fc;
        EXPECT_EQ(r.beaconOrResponse, 0);
    }
}

TEST(FrameRecord, SsidAndChannelBelongToTheirOwnRecord) {
    ParsedFrameRecord r;
    const Bytes first = Record(kMacA, -100, {Ssid("first"), Ds(6)});
    ParseFrameRecord(first.data(), static_cast<std::uint32_t>(first.size()), 1, r);
    EXPECT_EQ(r.offChannel, 1);
    // Reusing the result: the next record has no SSID and no channel element.
    const Bytes bare = Record(kMacB, -100, {});
    ParseFrameRecord(bare.data(), static_cast<std::uint32_t>(bare.size()), 1, r);
    EXPECT_STREQ(r.ssid.data(), "");
    EXPECT_EQ(r.channel, 1);
    EXPECT_EQ(r.offChannel, 0);
    // A channel element saying 0 is a channel, not a missing element.
    const Bytes zero = Record(kMacB, -100, {Ds(0)});
    ParseFrameRecord(zero.data(), static_cast<std::uint32_t>(zero.size()), 1, r);
    EXPECT_EQ(r.channel, 0);
    EXPECT_EQ(r.offChannel, 1);
    // One whose value byte lies past the body is missing.
    ParseFrameRecord(zero.data(), static_cast<std::uint32_t>(zero.size()) - 1, 1, r);
    EXPECT_EQ(r.channel, 1);
    EXPECT_EQ(r.offChannel, 0);
}

TEST(FrameRecord, ShortAndLyingRecordsStayInsideTheBody) {
    ParsedFrameRecord r;
    // 40-byte SSID: the first 32 are kept.
    const std::string longName = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    Bytes rec = Record(kMacA, -10, {Ssid(longName), Ds(1)});
    ParseFrameRecord(rec.data(), static_cast<std::uint32_t>(rec.size()), 1, r);
    EXPECT_EQ(std::string(r.ssid.data()), longName.substr(0, 32));

    // An element count far larger than the elements present; the bytes
    // after the body are poison and must not be read.
    rec = Record(kMacA, -10, {Ssid("ok"), Ds(1)});
    rec[38] = 200;
    const std::uint32_t length = static_cast<std::uint32_t>(rec.size());
    rec.insert(rec.end(), 600, 0x03);  // would read as DS elements saying channel 3
    ParseFrameRecord(rec.data(), length, 1, r);
    EXPECT_STREQ(r.ssid.data(), "ok");
    EXPECT_EQ(r.channel, 1);

    // An SSID element running past the body: what is missing reads as zero.
    rec = Record(kMacA, -10, {Ssid("abcdef")});
    const std::uint32_t cut = static_cast<std::uint32_t>(rec.size()) - 3;
    ParseFrameRecord(rec.data(), cut, 1, r);
    EXPECT_STREQ(r.ssid.data(), "abc");

    // A record cut inside its head: fields past the end read as zero.
    rec = Record(kMacA, -10, {});
    ParseFrameRecord(rec.data(), 20, 1, r);
    EXPECT_EQ(r.mac, (Mac6{0x00, 0x0A, 0, 0, 0, 0}));
    ParseFrameRecord(nullptr, 0, 1, r);
    EXPECT_EQ(r.rssi, 0);
    EXPECT_FALSE(r.Valid());
}

TEST(ApTable, OnlyValidOnChannelBeaconsAndResponsesEnter) {
    EngineRig rig;
    TuneTo(rig.engine, 1);
    auto add = [&](const Bytes& record) {
        rig.engine.AddFrameRecord(record.data(), static_cast<std::uint32_t>(record.size()));
    };
    add(Record(kMacA, -800, {Ssid("far"), Ds(6)}));              // off channel
    add(Record(kMacA, -800, {Ssid("zero"), Ds(0)}));             // channel 0 is a channel too
    add(ProbeRequest(kMacA, -800, "probe"));
    add(Record(kMacA, -800, {Ssid("data"), Ds(1)}, kFcData));
    add(Record(kMacA, -800, {Ssid("ctl"), Ds(1)}, kFcControl));
    add(Record(kMacA, -800, {Ssid("bad"), Ds(1)}, kFcBeacon, 0x00));  // not valid
    EXPECT_EQ(rig.engine.ApCount(), 0u);

    add(Record(kMacA, -800, {Ssid("near"), Ds(1)}));
    add(Record(kMacB, -640, {Ssid("resp"), Ds(1)}, kFcProbeResponse));
    add(Record(kMacC, -320, {}));  // no elements: the tuned channel
    const auto table = rig.engine.CopyApTable();
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].SsidText(), "near");
    EXPECT_EQ(table[1].SsidText(), "resp");
    EXPECT_EQ(table[2].SsidText(), "");
    EXPECT_EQ(table[2].channel, 1);

    // On 5 GHz the tuned channel is the channel, whatever the record says.
    TuneTo(rig.engine, 36);
    add(Record(kMacA, -800, {Ssid("five"), Ds(40)}));
    ASSERT_EQ(rig.engine.ApCount(), 1u);
    EXPECT_EQ(rig.engine.CopyApTable()[0].channel, 36);
}

TEST(ApTable, RecordsOfOneMacMergeInPlace) {
    EngineRig rig;
    TuneTo(rig.engine, 6);
    Deliver(rig.engine, kMsgFrameRecord, Record(kMacA, -960, {Ssid("office"), Ds(6)}));
    Deliver(rig.engine, kMsgFrameRecord, Record(kMacB, -500, {Ssid("other"), Ds(6)}));
    Deliver(rig.engine, kMsgFrameRecord, Record(kMacA, -800, {Ssid("renamed"), Ds(6)}));
    Deliver(rig.engine, kMsgFrameRecord, Record(kMacA, -880, {Ds(6)}));
    const auto table = rig.engine.CopyApTable();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].mac, kMacA);
    EXPECT_EQ(table[0].hits, 3);
    EXPECT_EQ(table[0].rssiSum, -2640);
    EXPECT_EQ(table[0].ShownRssi(), -55);
    EXPECT_EQ(table[0].SsidText(), "office");
    EXPECT_EQ(table[0].channel, 6);
    EXPECT_EQ(table[1].mac, kMacB);

    // A 32-character SSID fills the field with no terminator.
    Deliver(rig.engine, kMsgFrameRecord, Record(kMacC, -10, {Ssid(std::string(40, 'w')), Ds(6)}));
    EXPECT_EQ(rig.engine.CopyApTable()[2].SsidText(), std::string(32, 'w'));

    // A hit count that would overflow stops merging and keeps the average.
    const Bytes loud = Record(kMacB, -1600, {Ds(6)});
    for (int i = 0; i < 40000; ++i)
        rig.engine.AddFrameRecord(loud.data(), static_cast<std::uint32_t>(loud.size()));
    const CMac b = rig.engine.CopyApTable()[1];
    EXPECT_EQ(b.hits, 32767);
    EXPECT_EQ(b.rssiSum, -500 + 32766 * -1600);
    EXPECT_EQ(b.ShownRssi(), -99);

    // A new scan starts from an empty table.
    rig.engine.StartScan();
    EXPECT_EQ(rig.engine.ApCount(), 0u);
    int visited = 0;
    rig.engine.ForEachAp([&](const CMac&) { ++visited; });
    EXPECT_EQ(visited, 0);
}

}  // namespace
}  // namespace quorl
