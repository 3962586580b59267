#include "UnitMessages.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/ByteOrder.h"
#include "common/GpsTime.h"

namespace quorl::sim {

namespace {

// 22 August 1999 00:00:00 GPS time in seconds of the calendar.
constexpr std::int64_t kWeekEpochUnix = 935280000;
constexpr std::int64_t kWeekSeconds = 604800;

constexpr MacAddress kBroadcast = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
// Supported rates elements as access points send them.
constexpr std::uint8_t kRates24[] = {0x82, 0x84, 0x8B, 0x96, 0x0C, 0x12, 0x18, 0x24};
constexpr std::uint8_t kRates5[] = {0x8C, 0x12, 0x98, 0x24, 0xB0, 0x48, 0x60, 0x6C};

std::int32_t ScaledDegrees(double degrees, double fullScale) {
    const double v = std::round(degrees / fullScale * 2147483648.0);
    return static_cast<std::int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

std::int16_t Sixteenths(double dbm) {
    return static_cast<std::int16_t>(std::clamp(std::lround(dbm * 16.0), -32768L, 32767L));
}

void Put(std::vector<std::uint8_t>& out, std::size_t offset, const MacAddress& mac) {
    std::copy(mac.begin(), mac.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
}

// Bytes 0..31, common to every record; the record length is set last.
void WriteHead(std::vector<std::uint8_t>& out, const RecordHead& head, std::uint8_t frameControl,
               std::uint8_t frameFlags, const MacAddress& destination, const MacAddress& sender,
               const MacAddress& bssid) {
    out.assign(32, 0);
    WriteLe16(&out[2], static_cast<std::uint16_t>(Sixteenths(head.rssiDbm)));
    out[4] = head.tunedChannel;
    out[5] = head.valid ? 0x01 : 0x00;
    WriteLe32(&out[6], head.receiveTimeUs);
    out[10] = frameControl;
    out[11] = frameFlags;
    Put(out, 12, destination);
    Put(out, 18, sender);
    Put(out, 24, bssid);
    WriteLe16(&out[30], static_cast<std::uint16_t>(head.sequence << 4));
}

void AppendElement(std::vector<std::uint8_t>& out, std::uint8_t id, const std::uint8_t* value, std::size_t length) {
    out.push_back(id);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), value, value + length);
}

void Finish(std::vector<std::uint8_t>& out) { WriteLe16(&out[0], static_cast<std::uint16_t>(out.size())); }

}  // namespace

void GpsWeekAndTime(std::int64_t unixMicros, std::uint16_t& week, std::uint32_t& timeOfWeekMs) {
    // GPS time runs ahead of UTC by the leap seconds of the day (13 in 1999, 18 since 2017).
    const std::int64_t leap = LeapSecondsAtUtc(unixMicros >= 0 ? unixMicros / 1000000 : -1);
    const std::int64_t micros = unixMicros + leap * 1000000 - kWeekEpochUnix * 1000000;
    const std::int64_t clamped = std::max<std::int64_t>(micros, 0);
    const std::int64_t seconds = clamped / 1000000;
    week = static_cast<std::uint16_t>(seconds / kWeekSeconds);
    timeOfWeekMs = static_cast<std::uint32_t>((seconds % kWeekSeconds) * 1000 + (clamped % 1000000) / 1000);
}

std::array<std::uint8_t, 62> BuildGpsReport(const GpsFix& fix) {
    std::array<std::uint8_t, 62> r{};
    r[0] = 0x01;  // report format
    r[4] = fix.satellites;
    WriteBe32(&r[5], static_cast<std::uint32_t>(ScaledDegrees(fix.latitude, 90.0)));
    WriteBe32(&r[9], static_cast<std::uint32_t>(ScaledDegrees(fix.longitude, 180.0)));
    WriteBe32(&r[14], static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(fix.altitudeM * 100.0))));
    // Ground speed in tenths of m/s, and satellites used, in the unit's
    // 24-bit fixed-point fields.
    r[24] = static_cast<std::uint8_t>(std::clamp(std::lround(fix.speedMps * 10.0), 0L, 255L));
    r[27] = fix.satellites;
    std::uint16_t week;
    std::uint32_t tow;
    GpsWeekAndTime(fix.unixMicros, week, tow);
    WriteBe16(&r[29], week);
    WriteBe32(&r[31], tow);
    WriteBe16(&r[35], static_cast<std::uint16_t>(((fix.unixMicros % 1000) + 1000) % 1000));
    WriteBe16(&r[37], 0);
    r[47] = fix.locked ? 0xC0 : 0x00;
    r[48] = static_cast<std::uint8_t>(fix.satellites + 3);  // in view
    return r;
}

std::array<std::uint8_t, 7> BuildPowerStatus(const BatteryPhase& phase) {
    std::array<std::uint8_t, 7> r{};
    r[0] = phase.flags & 0x0F;
    WriteLe16(&r[1], phase.level);
    WriteLe16(&r[3], phase.readingA);
    WriteLe16(&r[5], phase.readingB);
    return r;
}

void BuildBeaconRecord(std::vector<std::uint8_t>& out, const RecordHead& head, std::uint8_t frameControl,
                       const MacAddress& bssid, const MacAddress& destination, const std::string& ssid,
                       int dsChannel, std::uint32_t tsfLow) {
    WriteHead(out, head, frameControl, 0x00, destination, bssid, bssid);
    out.resize(39, 0);
    WriteLe32(&out[32], tsfLow);
    WriteLe16(&out[36], 100);  // beacon interval, TU
    const std::size_t ssidLength = std::min<std::size_t>(ssid.size(), 32);
    AppendElement(out, 0, reinterpret_cast<const std::uint8_t*>(ssid.data()), ssidLength);
    if (dsChannel > 14)
        AppendElement(out, 1, kRates5, sizeof kRates5);
    else
        AppendElement(out, 1, kRates24, sizeof kRates24);
    const std::uint8_t ds = static_cast<std::uint8_t>(dsChannel);
    AppendElement(out, 3, &ds, 1);
    out[38] = 3;
    Finish(out);
}

void BuildProbeRequestRecord(std::vector<std::uint8_t>& out, const RecordHead& head, const MacAddress& client,
                             const std::string& ssid) {
    WriteHead(out, head, kFcProbeRequest, 0x00, kBroadcast, client, kBroadcast);
    out.resize(38, 0);
    const std::size_t ssidLength = std::min<std::size_t>(ssid.size(), 32);
    out[37] = static_cast<std::uint8_t>(ssidLength);
    out.insert(out.end(), ssid.begin(), ssid.begin() + static_cast<std::ptrdiff_t>(ssidLength));
    AppendElement(out, 1, kRates24, sizeof kRates24);
    Finish(out);
}

void BuildDataRecord(std::vector<std::uint8_t>& out, const RecordHead& head, const MacAddress& bssid,
                     const MacAddress& client, std::size_t payloadBytes) {
    WriteHead(out, head, kFcData, 0x02 /* from the distribution system */, client, bssid, bssid);
    // An encrypted payload looks like noise; a counter pattern will do.
    for (std::size_t i = 0; i < payloadBytes; ++i) out.push_back(static_cast<std::uint8_t>(head.sequence * 7 + i * 31));
    Finish(out);
}

}  // namespace quorl::sim
