#pragma once
// The data bytes of the messages the unit sends: GPS report (message 16,
// big-endian), power status (message 10) and 802.11 frame records (message
// 17, little-endian). The frame codec adds the type, check byte and framing.
//
// Frame record layout (fields the program does not read are filled the way
// the unit fills them, so captures look real):
//   0  u16 record length          2  s16 RSSI in sixteenths of a dBm
//   4  u8  tuned channel          5  u8  flags (bit 0: frame check passed)
//   6  u32 receive time (us)     10  u16 802.11 frame control
//  12  destination address       18  sender address (the AP table's key)
//  24  BSSID                     30  u16 sequence control
//  beacons and probe responses: 32 u32 TSF low word, 36 u16 beacon
//      interval, 38 element count, 39.. elements (SSID, rates, DS channel)
//  probe requests: 37 SSID length, 38.. SSID, then a rates element
//  data frames: 32.. payload

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Scenario.h"

namespace quorl::sim {

// 802.11 frame control, first byte: type in bits 2-3, subtype in bits 4-7.
inline constexpr std::uint8_t kFcProbeRequest = 0x40;
inline constexpr std::uint8_t kFcProbeResponse = 0x50;
inline constexpr std::uint8_t kFcBeacon = 0x80;
inline constexpr std::uint8_t kFcData = 0x08;

using MacAddress = std::array<std::uint8_t, 6>;

struct GpsFix {
    double latitude = 0.0;
    double longitude = 0.0;
    bool locked = false;
    std::int64_t unixMicros = 0;  // UTC
    double altitudeM = 0.0;
    double speedMps = 0.0;
    std::uint8_t satellites = 0;
};

// GPS week (counted from 22 August 1999) and time of week in ms of a UTC time.
void GpsWeekAndTime(std::int64_t unixMicros, std::uint16_t& week, std::uint32_t& timeOfWeekMs);

std::array<std::uint8_t, 62> BuildGpsReport(const GpsFix& fix);
std::array<std::uint8_t, 7> BuildPowerStatus(const BatteryPhase& phase);

// What the receiver noted about one frame it heard.
struct RecordHead {
    double rssiDbm = -100.0;
    bool valid = true;
    std::uint8_t tunedChannel = 0;
    std::uint32_t receiveTimeUs = 0;
    std::uint16_t sequence = 0;
};

// Beacon (kFcBeacon) or probe response (kFcProbeResponse) of an access point
// on `dsChannel`; `destination` is the prober for a response, broadcast for
// a beacon. The record replaces the contents of `out`.
void BuildBeaconRecord(std::vector<std::uint8_t>& out, const RecordHead& head, std::uint8_t frameControl,
                       const MacAddress& bssid, const MacAddress& destination, const std::string& ssid,
                       int dsChannel, std::uint32_t tsfLow);
// Probe request from a client, for one SSID or any (empty).
void BuildProbeRequestRecord(std::vector<std::uint8_t>& out, const RecordHead& head, const MacAddress& client,
                             const std::string& ssid);
// Data frame from an access point to a client, with a short payload.
void BuildDataRecord(std::vector<std::uint8_t>& out, const RecordHead& head, const MacAddress& bssid,
                     const MacAddress& client, std::size_t payloadBytes);

}  // namespace quorl::sim
