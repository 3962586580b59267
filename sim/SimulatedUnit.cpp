#include "SimulatedUnit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/ByteOrder.h"
#include "link/FrameCodec.h"
#include "link/Protocol.h"
#include "sim/RadioModel.h"

namespace quorl::sim {

namespace {

constexpr std::int64_t kSecond = 1'000'000;
constexpr int kClientCount = 6;
constexpr double kClientTxPowerDbm = 15.0;
constexpr double kProbeResponseChance = 0.8;
constexpr MacAddress kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

std::int64_t ToMicros(double seconds) { return static_cast<std::int64_t>(std::llround(seconds * 1e6)); }

}  // namespace

SimulatedUnit::SimulatedUnit(Scenario scenario, std::int64_t startUnixMicros)
    : scenario_(std::move(scenario)),
      track_(scenario_.track),
      noise_(scenario_.seed),
      startUnixMicros_(scenario_.startTime ? *scenario_.startTime * kSecond : startUnixMicros) {
    // Phones and laptops passing by: locally administered addresses.
    for (int i = 0; i < kClientCount; ++i) {
        const std::uint32_t r = noise_.Next();
        clients_.push_back({0x02, 0x5E, static_cast<std::uint8_t>(r >> 24), static_cast<std::uint8_t>(r >> 16),
                            static_cast<std::uint8_t>(r >> 8), static_cast<std::uint8_t>(i)});
    }
    record_.reserve(128);
    out_.reserve(4096);

    events_.push({kSecond, kGpsSource});
    Schedule(kProbeSource, 0);
    const double interval = scenario_.radio.beaconIntervalMs * 1000.0;
    for (std::uint32_t i = 0; i < scenario_.accessPoints.size(); ++i) {
        // Access points were switched on at different times: their beacons
        // are out of step.
        events_.push({static_cast<std::int64_t>(noise_.Uniform() * interval), kFirstApSource + 2 * i});
        Schedule(kFirstApSource + 2 * i + 1, 0);
    }
}

std::int64_t SimulatedUnit::NextTime(std::uint32_t source, std::int64_t after) {
    const RadioSettings& radio = scenario_.radio;
    if (source == kGpsSource) return after + kSecond;
    if (source == kProbeSource) {
        if (radio.probeRequestsPerSecond <= 0) return -1;
        return after + std::max<std::int64_t>(1, ToMicros(noise_.Exponential(radio.probeRequestsPerSecond)));
    }
    if ((source - kFirstApSource) % 2 == 0)
        return after + std::max<std::int64_t>(1, ToMicros(radio.beaconIntervalMs / 1000.0));
    if (radio.dataFramesPerSecond <= 0) return -1;
    return after + std::max<std::int64_t>(1, ToMicros(noise_.Exponential(radio.dataFramesPerSecond)));
}

void SimulatedUnit::Schedule(std::uint32_t source, std::int64_t after) {
    const std::int64_t at = NextTime(source, after);
    if (at >= 0) events_.push({at, source});
}

void SimulatedUnit::SkipTo(std::int64_t at) {
    std::vector<Event> kept;
    kept.reserve(events_.size());
    while (!events_.empty()) {
        Event e = events_.top();
        events_.pop();
        if (e.at < at) {
            const bool periodic = e.source == kGpsSource ||
                                  (e.source >= kFirstApSource && (e.source - kFirstApSource) % 2 == 0);
            if (periodic) {
                const std::int64_t period = NextTime(e.source, 0);
                e.at += (at - e.at + period - 1) / period * period;
            } else {
                e.at = NextTime(e.source, at);
            }
        }
        kept.push_back(e);
    }
    for (const Event& e : kept) events_.push(e);
}

void SimulatedUnit::AdvanceTo(Micros now) {
    const std::int64_t target = now.count();
    if (target <= now_.count()) return;
    if (target - now_.count() > kMaxCatchUp.count()) SkipTo(target - kMaxCatchUp.count());
    while (!events_.empty() && events_.top().at <= target) {
        const Event e = events_.top();
        events_.pop();
        RunEvent(e);
    }
    now_ = now;
}

void SimulatedUnit::Receive(const std::uint8_t* bytes, std::size_t count, Micros now) {
    AdvanceTo(now);
    for (std::size_t i = 0; i < count; ++i) {
        parser_.PushByte(bytes[i]);
        if (!parser_.Complete()) continue;
        const std::uint32_t length = parser_.Length();
        // Commands end in the trailer 0x00; anything else is not a command.
        if (length == 0 || parser_.Body()[length - 1] != kCommandTrailer) {
            ++counters_.badCommands;
        } else {
            HandleCommand(parser_.Type(), parser_.Body(), length - 1);
        }
        parser_.Reset();
    }
}

void SimulatedUnit::HandleCommand(std::uint8_t type, const std::uint8_t* data, std::uint32_t length) {
    ++counters_.commands;
    if (seen_.size() == kSeenCommandsKept) seen_.pop_front();
    seen_.push_back({type, std::vector<std::uint8_t>(data, data + length), now_});

    switch (type) {
    case kCmdRequestFirmware: {
        const std::string& text = scenario_.firmware;
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        Send(kMsgFirmware, bytes.data(), bytes.size());
        break;
    }
    case kCmdRequestSerial:
        Send(kMsgSerial, reinterpret_cast<const std::uint8_t*>(scenario_.serial.data()), scenario_.serial.size());
        break;
    case kCmdSetScanning:
        scanning_ = length >= 1 && data[0] != 0;
        Send(kMsgScanAck, nullptr, 0);
        break;
    case kCmdTune:
        // A frequency the receiver does not cover leaves it deaf until the
        // next tune.
        if (length >= 4) tunedChannel_ = TunedChannelOf(ReadLe32(data));
        break;
    case kCmdHandshake:
        Send(kMsgHandshakeAck, nullptr, 0);
        break;
    case kCmdRequestPower: {
        const auto status = BuildPowerStatus(BatteryAt(static_cast<double>(now_.count()) / kSecond));
        Send(kMsgPowerStatus, status.data(), status.size());
        break;
    }
    default:
        break;  // the unit ignores what it does not know
    }
}

void SimulatedUnit::Send(std::uint8_t type, const std::uint8_t* data, std::size_t length) {
    if (Pending() + MaxEncodedSize(length) > kOutputCapacity) {
        ++counters_.droppedFrames;
        return;
    }
    AppendMessage(type, data, static_cast<std::uint32_t>(length), out_);
}

std::size_t SimulatedUnit::TakeOutput(std::uint8_t* buffer, std::size_t count) {
    const std::size_t n = std::min(count, Pending());
    if (n > 0) std::memcpy(buffer, out_.data() + head_, n);
    head_ += n;
    if (head_ == out_.size()) {
        out_.clear();
        head_ = 0;
    } else if (head_ >= kOutputCapacity / 2) {
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
    return n;
}

std::vector<std::uint8_t> SimulatedUnit::TakeAllOutput() {
    std::vector<std::uint8_t> bytes(Pending());
    TakeOutput(bytes.data(), bytes.size());
    return bytes;
}

std::optional<double> SimulatedUnit::NoLockSince(double seconds) const {
    std::optional<double> since;
    for (const NoLockStretch& n : scenario_.noLock) {
        if (seconds < n.start) continue;
        double into = seconds - n.start;
        if (n.repeatEvery > 0) into = std::fmod(into, n.repeatEvery);
        if (into < n.duration && (!since || seconds - into < *since)) since = seconds - into;
    }
    return since;
}

BatteryPhase SimulatedUnit::BatteryAt(double seconds) const {
    if (scenario_.battery.empty()) {
        BatteryPhase mains;
        mains.flags = 0x04;  // on external power
        mains.level = 100;
        return mains;
    }
    BatteryPhase phase = scenario_.battery.front();
    for (const BatteryPhase& p : scenario_.battery)
        if (p.at <= seconds) phase = p;
    return phase;
}

GpsFix SimulatedUnit::FixAt(Micros at) const {
    const double seconds = static_cast<double>(at.count()) / kSecond;
    const std::optional<double> lost = NoLockSince(seconds);
    // Without a lock the receiver repeats the position where it lost it.
    const GeoPoint position = track_.PositionAt(lost.value_or(seconds));
    GpsFix fix;
    fix.unixMicros = startUnixMicros_ + at.count();
    fix.altitudeM = scenario_.altitudeM;
    fix.locked = !lost;
    fix.latitude = position.latitude;
    fix.longitude = position.longitude;
    fix.speedMps = lost ? 0.0 : track_.SpeedAt(seconds);
    fix.satellites = lost ? 2 : static_cast<std::uint8_t>(7 + static_cast<int>(seconds / 13) % 3);
    return fix;
}

void SimulatedUnit::RunEvent(const Event& e) {
    if (e.source == kGpsSource) {
        const auto report = BuildGpsReport(FixAt(Micros(e.at)));
        Send(kMsgGpsReport, report.data(), report.size());
        ++counters_.gpsReports;
    } else if (e.source == kProbeSource) {
        if (scanning_) SendProbeRequest(e.at);
    } else if (scanning_) {
        const std::size_t ap = (e.source - kFirstApSource) / 2;
        if ((e.source - kFirstApSource) % 2 == 0)
            SendBeacon(ap, e.at, kFcBeacon, kBroadcastMac);
        else
            SendData(ap, e.at);
    }
    Schedule(e.source, e.at);
}

bool SimulatedUnit::Hear(const GeoPoint& transmitter, int channel, double txPowerDbm, std::int64_t at,
                         double& rssiDbm) {
    const auto rejection = ChannelRejectionDb(channel, tunedChannel_);
    if (!rejection) return false;
    const GeoPoint receiver = track_.PositionAt(static_cast<double>(at) / kSecond);
    const double mean = MeanRssiDbm(txPowerDbm, channel, DistanceMeters(transmitter, receiver), scenario_.radio);
    rssiDbm = mean - *rejection + noise_.Gaussian(scenario_.radio.noiseDb);
    return rssiDbm >= scenario_.radio.sensitivityDbm;
}

void SimulatedUnit::SendRecord() {
    Send(kMsgFrameRecord, record_.data(), record_.size());
    ++counters_.records;
}

void SimulatedUnit::SendBeacon(std::size_t ap, std::int64_t at, std::uint8_t frameControl,
                               const MacAddress& destination) {
    const SimAccessPoint& a = scenario_.accessPoints[ap];
    RecordHead head;
    if (!Hear({a.latitude, a.longitude}, a.channel, a.txPowerDbm, at, head.rssiDbm)) return;
    head.valid = !noise_.Chance(scenario_.radio.badFrameRatio);
    head.tunedChannel = static_cast<std::uint8_t>(tunedChannel_);
    head.receiveTimeUs = static_cast<std::uint32_t>(startUnixMicros_ + at);
    head.sequence = static_cast<std::uint16_t>(++sequence_ & 0x0FFF);
    // The access point's own clock, started when it was switched on.
    const std::uint32_t tsf = static_cast<std::uint32_t>(at + static_cast<std::int64_t>(ap) * 7'919'000);
    BuildBeaconRecord(record_, head, frameControl, a.mac, destination, a.ssid, a.channel, tsf);
    if (!head.valid) {
        // A frame that failed its check arrives with damaged contents.
        for (std::size_t i = 39; i < record_.size(); i += 5) record_[i] ^= static_cast<std::uint8_t>(noise_.Next());
    }
    SendRecord();
}

void SimulatedUnit::SendProbeRequest(std::int64_t at) {
    if (tunedChannel_ == 0) return;
    const MacAddress& client = clients_[noise_.Below(kClientCount)];
    std::string ssid;
    if (!scenario_.accessPoints.empty() && noise_.Chance(0.5))
        ssid = scenario_.accessPoints[noise_.Below(static_cast<std::uint32_t>(scenario_.accessPoints.size()))].ssid;
    // Clients are somewhere around the unit, 3 to 40 m away.
    const double distance = 3.0 + 37.0 * noise_.Uniform();
    RecordHead head;
    head.rssiDbm = MeanRssiDbm(kClientTxPowerDbm, tunedChannel_, distance, scenario_.radio) +
                   noise_.Gaussian(scenario_.radio.noiseDb);
    if (head.rssiDbm >= scenario_.radio.sensitivityDbm) {
        head.valid = !noise_.Chance(scenario_.radio.badFrameRatio);
        head.tunedChannel = static_cast<std::uint8_t>(tunedChannel_);
        head.receiveTimeUs = static_cast<std::uint32_t>(startUnixMicros_ + at);
        head.sequence = static_cast<std::uint16_t>(++sequence_ & 0x0FFF);
        BuildProbeRequestRecord(record_, head, client, ssid);
        SendRecord();
    }
    // The access points on this channel that the request is for answer it.
    for (std::size_t i = 0; i < scenario_.accessPoints.size(); ++i) {
        const SimAccessPoint& a = scenario_.accessPoints[i];
        if (a.channel != tunedChannel_ || !(ssid.empty() || ssid == a.ssid)) continue;
        if (noise_.Chance(kProbeResponseChance)) SendBeacon(i, at + 1, kFcProbeResponse, client);
    }
}

void SimulatedUnit::SendData(std::size_t ap, std::int64_t at) {
    const SimAccessPoint& a = scenario_.accessPoints[ap];
    RecordHead head;
    if (!Hear({a.latitude, a.longitude}, a.channel, a.txPowerDbm, at, head.rssiDbm)) return;
    head.valid = !noise_.Chance(scenario_.radio.badFrameRatio);
    head.tunedChannel = static_cast<std::uint8_t>(tunedChannel_);
    head.receiveTimeUs = static_cast<std::uint32_t>(startUnixMicros_ + at);
    head.sequence = static_cast<std::uint16_t>(++sequence_ & 0x0FFF);
    BuildDataRecord(record_, head, a.mac, clients_[ap % clients_.size()], 24 + noise_.Below(40));
    SendRecord();
}

}  // namespace quorl::sim
