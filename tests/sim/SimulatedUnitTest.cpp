// The simulated unit stepped through time by hand: its answers, its GPS
// reports and what its receiver hears.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>
#include <random>
#include <set>

#include "common/ByteOrder.h"
#include "engine/FrameRecord.h"
#include "engine/GpsStatus.h"
#include "link/Protocol.h"
#include "sim/RadioModel.h"
#include "sim/SimulatedUnit.h"
#include "sim/TrackModel.h"
#include "SimTestSupport.h"

namespace quorl::sim {
namespace {

using testing::At;
using testing::Frames;
using testing::ScenarioFrom;
using testing::SendCommand;

constexpr std::int64_t kAnyStart = 1715679000LL * 1000000;  // 2024-05-14 09:30:00 UTC

// The unit stands still at 47.0 N 8.0 E. Access points: A on channel 1 about
// 5 m away, B on 1 about 60 m away, C on 6 about 10 m away, D on 36 about
// 10 m away, E on 11 ten kilometres away.
constexpr const char* kStanding = R"({
  "seed": 7, "start_time": "2024-05-14T09:30:00Z",
  "access_points": [
    {"mac": "00-0A-00-00-00-0A", "ssid": "Alpha", "channel": 1,  "lat": 47.000045, "lon": 8.0, "tx_power_dbm": 18},
    {"mac": "00-0A-00-00-00-0B", "ssid": "Bravo", "channel": 1,  "lat": 47.00054,  "lon": 8.0, "tx_power_dbm": 18},
    {"mac": "00-0A-00-00-00-0C", "ssid": "Charlie", "channel": 6, "lat": 47.00009, "lon": 8.0, "tx_power_dbm": 18},
    {"mac": "00-0A-00-00-00-0D", "ssid": "Delta", "channel": 36, "lat": 47.00009,  "lon": 8.0, "tx_power_dbm": 20},
    {"mac": "00-0A-00-00-00-0E", "ssid": "Echo",  "channel": 11, "lat": 47.09,     "lon": 8.0, "tx_power_dbm": 20}
  ],
  "track": {"points": [{"lat": 47.0, "lon": 8.0}]},
  "radio": {"bad_frame_ratio": 0.1, "probe_requests_per_s": 4, "data_frames_per_s": 5}
})";

struct Heard {
    int beacons = 0;
    int responses = 0;
    double rssiSum = 0;  // dBm, beacons only
    std::set<int> dsChannels;
    double MeanRssi() const { return beacons ? rssiSum / beacons : -200; }
};

// Sorts the valid frame records of `frames` by sender.
struct Census {
    std::map<std::uint8_t, Heard> bySender;  // last MAC byte
    int probeRequests = 0, dataFrames = 0, invalid = 0, records = 0, gps = 0;
};

Census Count(const std::vector<testing::Frame>& frames, int scannedChannel) {
    Census c;
    for (const auto& f : frames) {
        EXPECT_TRUE(f.checkPasses);
        if (f.type == kMsgGpsReport) ++c.gps;
        if (f.type != kMsgFrameRecord) continue;
        ++c.records;
        ParsedFrameRecord r;
        ParseFrameRecord(f.data.data(), static_cast<std::uint32_t>(f.data.size()), scannedChannel, r);
        if (!r.Valid()) {
            ++c.invalid;
            continue;
        }
        EXPECT_EQ(ReadLe16(f.data.data()), f.data.size());
        EXPECT_EQ(f.data[4], scannedChannel);
        if (r.kind == ParsedFrameRecord::kProbeRequest) {
            ++c.probeRequests;
        } else if (((r.frameControl >> 2) & 3) == 2) {
            ++c.dataFrames;
        } else if (r.kind == ParsedFrameRecord::kBeacon || r.kind == ParsedFrameRecord::kProbeResponse) {
            Heard& h = c.bySender[r.mac[5]];
            // The DS element, read straight from the record: the parser would
            // replace it on 5 GHz.
            const std::uint8_t* e = f.data.data() + 39;
            for (int i = 0; i < f.data[38]; ++i, e += 2 + e[1])
                if (e[0] == 3) h.dsChannels.insert(e[2]);
            if (r.kind == ParsedFrameRecord::kBeacon) {
                ++h.beacons;
                h.rssiSum += r.rssi / 16.0;
            } else {
                ++h.responses;
            }
        }
    }
    return c;
}

TEST(SimulatedUnit, AnswersEveryCommand) {
    Scenario s = ScenarioFrom(kStanding);
    s.battery = {{0, 0x01, 80, 3700, 520}, {100, 0x01, 12, 3000, 400}};
    SimulatedUnit unit(s, kAnyStart);

    SendCommand(unit, kCmdRequestFirmware, {}, 0.1);
    SendCommand(unit, kCmdRequestSerial, {}, 0.2);
    SendCommand(unit, kCmdHandshake, {0x01}, 0.3);
    SendCommand(unit, kCmdSetScanning, {0x00}, 0.4);
    SendCommand(unit, kCmdRequestPower, {}, 0.5);
    SendCommand(unit, 0x05, {}, 0.6);  // unknown: ignored
    // Not a command: the trailer is a check byte, not 0x00.
    const std::uint8_t checked[] = {0x11, 0x12, 0x01, 0x01, 0x11, 0x13};
    unit.Receive(checked, sizeof checked, At(0.7));
    const auto frames = Frames(unit.TakeAllOutput());

    ASSERT_EQ(frames.size(), 5u);
    for (const auto& f : frames) EXPECT_TRUE(f.checkPasses);
    EXPECT_EQ(frames[0].type, kMsgFirmware);
    EXPECT_EQ(std::string(frames[0].data.begin(), frames[0].data.end()), std::string("QS-2 2.14") + '\0');
    EXPECT_EQ(frames[1].type, kMsgSerial);
    EXPECT_EQ(std::string(frames[1].data.begin(), frames[1].data.end()), "QS240117");
    EXPECT_EQ(frames[2].type, kMsgHandshakeAck);
    EXPECT_TRUE(frames[2].data.empty());
    EXPECT_EQ(frames[3].type, kMsgScanAck);
    EXPECT_EQ(frames[4].type, kMsgPowerStatus);
    EXPECT_EQ(frames[4].data, (std::vector<std::uint8_t>{0x01, 80, 0, 0x74, 0x0E, 0x08, 0x02}));
    EXPECT_EQ(unit.Counters().badCommands, 1u);

    const auto& seen = unit.Commands();
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[2].type, kCmdHandshake);
    EXPECT_EQ(seen[2].data, std::vector<std::uint8_t>{0x01});
    EXPECT_EQ(seen[3].data, std::vector<std::uint8_t>{0x00});
    EXPECT_EQ(seen[4].at, At(0.5));

    // The battery follows the scenario's phases: low readings from 100 s on.
    unit.AdvanceTo(At(150));
    unit.TakeAllOutput();
    SendCommand(unit, kCmdRequestPower, {}, 150);
    const auto later = Frames(unit.TakeAllOutput());
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0].data, (std::vector<std::uint8_t>{0x01, 12, 0, 0xB8, 0x0B, 0x90, 0x01}));

    // Without battery phases the unit runs on external power (flag bit 2).
    Scenario mains = ScenarioFrom(kStanding);
    SimulatedUnit onMains(mains, kAnyStart);
    SendCommand(onMains, kCmdRequestPower, {}, 0.1);
    const auto status = Frames(onMains.TakeAllOutput());
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].data[0], 0x04);
}

TEST(SimulatedUnit, GpsReportEverySecondFollowsTrackAndLock) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    Scenario s = ScenarioFrom(R"({
      "access_points": [], "start_time": "2024-05-14T09:30:00Z",
      "track": {"points": [{"lat": 47.0, "lon": 8.0, "t": 0}, {"lat": 47.001, "lon": 8.002, "t": 100}]},
      "no_lock": [{"start": 5.5, "duration": 3}]
    })");
    SimulatedUnit unit(s, 0);
    unit.AdvanceTo(At(10.5));
    const auto frames = Frames(unit.TakeAllOutput());
    ASSERT_EQ(frames.size(), 10u);

    const TrackModel track(s.track);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const double t = static_cast<double>(i + 1);
        ASSERT_EQ(frames[i].type, kMsgGpsReport);
        ASSERT_EQ(frames[i].data.size(), kGpsReportSize);
        GpsStatus gps;
        gps.Update(frames[i].data.data(), static_cast<std::uint32_t>(frames[i].data.size()));
        const bool lost = t >= 5.5 && t < 8.5;
        EXPECT_EQ(gps.lock3d.load(), lost ? 0 : 1) << "at " << t;
        EXPECT_EQ(gps.lock2d.load(), lost ? 0 : 1) << "at " << t;
        // Without a lock the last position stands.
        const GeoPoint expected = track.PositionAt(lost ? 5.5 : t);
        EXPECT_NEAR(gps.latitude.load(), expected.latitude, 1e-7) << "at " << t;
        EXPECT_NEAR(gps.longitude.load(), expected.longitude, 1e-7) << "at " << t;
        // GPS time runs 18 s ahead of UTC.
        EXPECT_EQ(gps.year.load(), 2024);
        EXPECT_EQ(gps.month.load(), 5);
        EXPECT_EQ(gps.day.load(), 14);
        EXPECT_EQ(gps.hour.load(), 9);
        EXPECT_EQ(gps.minute.load(), 30);
        EXPECT_EQ(gps.second.load(), 18 + i + 1);
    }
    std::uint16_t week;
    std::uint32_t tow;
    GpsWeekAndTime(0, week, tow);  // before the week epoch: clamped, no wrap
    EXPECT_EQ(week, 0);
    // In 1999 GPS time ran 13 s ahead of UTC, not today's 18.
    GpsWeekAndTime(935280000LL * 1000000 - 13 * 1000000 + 604800LL * 1000000 + 86400LL * 1000000, week, tow);
    EXPECT_EQ(week, 1);
    EXPECT_EQ(tow, 86400000u);
    // Over the leap second of 31 December 2016 one UTC second is two GPS seconds.
    std::uint16_t weekAfter;
    std::uint32_t towAfter;
    GpsWeekAndTime(1483228799LL * 1000000, week, tow);
    GpsWeekAndTime(1483228800LL * 1000000, weekAfter, towAfter);
    EXPECT_EQ(weekAfter, week);
    EXPECT_EQ(towAfter - tow, 2000u);
}

TEST(SimulatedUnit, HearsTheTunedChannelWhileScanning) {
    SimulatedUnit unit(ScenarioFrom(kStanding), 0);
    unit.AdvanceTo(At(3));
    Census idle = Count(Frames(unit.TakeAllOutput()), 1);
    EXPECT_EQ(idle.records, 0);
    EXPECT_EQ(idle.gps, 3);

    // Scanning on, still on the channel the unit starts on (1).
    SendCommand(unit, kCmdSetScanning, {0x01}, 3);
    unit.AdvanceTo(At(13));
    const Census on1 = Count(Frames(unit.TakeAllOutput()), 1);
    // About ten beacons a second from each access point on the channel.
    EXPECT_NEAR(on1.bySender.at(0x0A).beacons, 88, 8);
    EXPECT_NEAR(on1.bySender.at(0x0B).beacons, 88, 8);
    // The near one is much stronger: 5 m against 60 m is about 32 dB.
    EXPECT_NEAR(on1.bySender.at(0x0A).MeanRssi() - on1.bySender.at(0x0B).MeanRssi(), 32, 4);
    EXPECT_EQ(on1.bySender.at(0x0A).dsChannels, std::set<int>{1});
    EXPECT_GT(on1.bySender.at(0x0A).responses, 0);
    // 25 MHz away, channel 6 is not heard at all; nor is 5 GHz or a far AP.
    EXPECT_EQ(on1.bySender.count(0x0C), 0u);
    EXPECT_EQ(on1.bySender.count(0x0D), 0u);
    EXPECT_EQ(on1.bySender.count(0x0E), 0u);
    EXPECT_GT(on1.probeRequests, 10);
    EXPECT_GT(on1.dataFrames, 50);
    EXPECT_GT(on1.invalid, 10);
    EXPECT_LT(on1.invalid, on1.records / 4);

    // Tuned next to channel 6, its beacons come in fainter and still say 6.
    SendCommand(unit, kCmdTune, {0x80, 0x2F, 0x00, 0x00}, 13);  // 12160: channel 5
    unit.AdvanceTo(At(23));
    const Census on5 = Count(Frames(unit.TakeAllOutput()), 5);
    EXPECT_EQ(unit.TunedChannel(), 5);
    SendCommand(unit, kCmdTune, {0x99, 0x2F, 0x00, 0x00}, 23);  // 12185: channel 6
    unit.AdvanceTo(At(33));
    const Census on6 = Count(Frames(unit.TakeAllOutput()), 6);
    ASSERT_GT(on5.bySender.count(0x0C), 0u);
    EXPECT_EQ(on5.bySender.at(0x0C).dsChannels, std::set<int>{6});
    EXPECT_NEAR(on6.bySender.at(0x0C).MeanRssi() - on5.bySender.at(0x0C).MeanRssi(), 12, 2);
    EXPECT_EQ(on5.bySender.count(0x0A), 0u);  // 20 MHz from channel 1: gone

    // On 5 GHz only the access point on that very channel.
    SendCommand(unit, kCmdTune, {0x2C, 0x65, 0x00, 0x00}, 33);  // 25900: channel 36
    unit.AdvanceTo(At(38));
    const Census on36 = Count(Frames(unit.TakeAllOutput()), 36);
    ASSERT_EQ(on36.bySender.size(), 1u);
    EXPECT_EQ(on36.bySender.begin()->first, 0x0D);

    // A frequency the receiver does not cover: silence.
    SendCommand(unit, kCmdTune, {0x98, 0x3A, 0x00, 0x00}, 38);  // 15000
    EXPECT_EQ(unit.TunedChannel(), 0);
    unit.AdvanceTo(At(43));
    EXPECT_EQ(Count(Frames(unit.TakeAllOutput()), 0).records, 0);

    // Scanning off: only GPS reports again.
    SendCommand(unit, kCmdTune, {0x1C, 0x2F, 0x00, 0x00}, 43);
    SendCommand(unit, kCmdSetScanning, {0x00}, 43);
    unit.AdvanceTo(At(48));
    const Census off = Count(Frames(unit.TakeAllOutput()), 1);
    EXPECT_EQ(off.records, 0);
    EXPECT_EQ(off.gps, 5);
}

TEST(SimulatedUnit, SurvivesGarbageFromTheProgram) {
    SimulatedUnit unit(ScenarioFrom(kStanding), 0);
    std::mt19937 random(3);
    std::vector<std::uint8_t> noise(200000);
    // Biased toward the control bytes so that frames start, break and end.
    for (auto& b : noise) b = (random() % 3 == 0) ? static_cast<std::uint8_t>(0x11 + random() % 4) : static_cast<std::uint8_t>(random());
    for (std::size_t i = 0; i < noise.size(); i += 997)
        unit.Receive(noise.data() + i, std::min<std::size_t>(997, noise.size() - i), At(i / 100000.0));
    ASSERT_LE(unit.Pending(), SimulatedUnit::kOutputCapacity);
    ASSERT_LE(unit.Commands().size(), SimulatedUnit::kSeenCommandsKept);
    unit.TakeAllOutput();
    // Whatever state the noise left the decoder in, 11 13 ends it.
    const std::uint8_t end[] = {0x11, 0x13};
    unit.Receive(end, sizeof end, At(2.5));
    SendCommand(unit, kCmdRequestFirmware, {}, 2.5);
    const auto frames = Frames(unit.TakeAllOutput());
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().type, kMsgFirmware);
}

TEST(SimulatedUnit, SameSeedSameBytesHoweverTimeIsStepped) {
    const Scenario s = ScenarioFrom(kStanding);
    SimulatedUnit fine(s, 0), coarse(s, 0);
    SendCommand(fine, kCmdSetScanning, {0x01}, 0);
    SendCommand(coarse, kCmdSetScanning, {0x01}, 0);
    std::vector<std::uint8_t> fineBytes;
    for (int ms = 1; ms <= 1900; ++ms) {
        fine.AdvanceTo(At(ms / 1000.0));
        const auto chunk = fine.TakeAllOutput();
        fineBytes.insert(fineBytes.end(), chunk.begin(), chunk.end());
    }
    coarse.AdvanceTo(At(1.9));
    EXPECT_EQ(fineBytes, coarse.TakeAllOutput());
    EXPECT_GT(fineBytes.size(), 1000u);
}

TEST(SimulatedUnit, OutputStaysBoundedWhenNobodyReads) {
    SimulatedUnit unit(ScenarioFrom(kStanding), 0);
    SendCommand(unit, kCmdSetScanning, {0x01}, 0);
    for (int s = 1; s <= 120; ++s) {
        unit.AdvanceTo(At(s));
        ASSERT_LE(unit.Pending(), SimulatedUnit::kOutputCapacity);
    }
    EXPECT_GT(unit.Counters().droppedFrames, 0u);
    unit.TakeAllOutput();

    // Ten hours later the unit produces the last minute only.
    const std::uint64_t reports = unit.Counters().gpsReports;
    unit.AdvanceTo(At(120 + 36000));
    EXPECT_LE(unit.Counters().gpsReports - reports, 61u);
    EXPECT_LE(unit.Pending(), SimulatedUnit::kOutputCapacity);
}

TEST(RadioModel, ChannelsAndRejection) {
    EXPECT_EQ(TunedChannelOf(12060), 1);
    EXPECT_EQ(TunedChannelOf(12360), 13);
    EXPECT_EQ(TunedChannelOf(12420), 14);
    EXPECT_EQ(TunedChannelOf(25900), 36);
    EXPECT_EQ(TunedChannelOf(28725), 149);
    EXPECT_EQ(TunedChannelOf(15000), 0);
    EXPECT_EQ(TunedChannelOf(12061), 0);
    EXPECT_EQ(TunedChannelOf(0), 0);

    EXPECT_EQ(ChannelRejectionDb(6, 6), 0.0);
    EXPECT_EQ(ChannelRejectionDb(6, 5), 12.0);
    EXPECT_EQ(ChannelRejectionDb(6, 8), 22.0);
    EXPECT_EQ(ChannelRejectionDb(6, 9), 32.0);
    EXPECT_FALSE(ChannelRejectionDb(6, 10).has_value());
    EXPECT_FALSE(ChannelRejectionDb(36, 40).has_value());
    EXPECT_FALSE(ChannelRejectionDb(1, 36).has_value());
    EXPECT_FALSE(ChannelRejectionDb(6, 0).has_value());

    RadioSettings radio;
    // Ten times the distance costs 10 x exponent dB; closer than 1 m counts as 1 m.
    EXPECT_NEAR(MeanRssiDbm(20, 6, 10, radio) - MeanRssiDbm(20, 6, 100, radio), 30.0, 1e-9);
    EXPECT_EQ(MeanRssiDbm(20, 6, 0.1, radio), MeanRssiDbm(20, 6, 1, radio));
    EXPECT_LT(MeanRssiDbm(20, 36, 10, radio), MeanRssiDbm(20, 1, 10, radio));
}

TEST(TrackModel, WalksLoopsAndStands) {
    Track walk;
    walk.loop = true;
    walk.points = {{47.0, 8.0, 1.0, 0}, {47.0009, 8.0, 2.0, 0}};  // about 100 m north
    const TrackModel looped(walk);
    // 100 m out at 1 m/s, 100 m back at 2 m/s.
    ASSERT_NEAR(looped.Duration(), 150.0, 0.5);
    EXPECT_NEAR(looped.PositionAt(50).latitude, 47.00045, 1e-6);
    EXPECT_NEAR(looped.SpeedAt(50), 1.0, 1e-6);
    EXPECT_NEAR(looped.PositionAt(125).latitude, 47.00045, 1e-5);
    EXPECT_NEAR(looped.SpeedAt(125), 2.0, 1e-6);
    EXPECT_NEAR(looped.PositionAt(150 + 50).latitude, 47.00045, 1e-5);

    walk.loop = false;
    const TrackModel once(walk);
    EXPECT_NEAR(once.PositionAt(1000).latitude, 47.0009, 1e-9);
    EXPECT_EQ(once.SpeedAt(1000), 0.0);
    EXPECT_NEAR(once.PositionAt(-5).latitude, 47.0, 1e-9);
    EXPECT_NEAR(once.PositionAt(std::nan("")).latitude, 47.0, 1e-9);

    Track timed;
    timed.timed = true;
    timed.loop = true;
    timed.points = {{47.0, 8.0, 0, 10}, {47.001, 8.0, 0, 20}};
    const TrackModel t(timed);
    EXPECT_NEAR(t.PositionAt(5).latitude, 47.0, 1e-9);  // before its first time: at the start
    EXPECT_NEAR(t.PositionAt(15).latitude, 47.0005, 1e-9);
    EXPECT_NEAR(t.PositionAt(35).latitude, 47.0005, 1e-9);  // looped every 20 s

    EXPECT_NEAR(DistanceMeters({47.0, 8.0}, {47.0009, 8.0}), 100.1, 0.2);
    EXPECT_NEAR(DistanceMeters({47.0, 8.0}, {47.0, 8.001}), 75.8, 0.2);
}

}  // namespace
}  // namespace quorl::sim
