#pragma once
// The 802.11 frame record of message 17: what the unit heard, parsed into
// the fields the AP table needs.

#include <array>
#include <cstdint>

namespace quorl {

struct ParsedFrameRecord {
    enum Kind : std::int32_t { kOther = -1, kBeacon = 0, kProbeRequest = 1, kProbeResponse = 2 };

    std::int16_t rssi = 0;                 // sixteenths
    std::uint8_t flags = 0;                // bit 0: record valid
    std::uint16_t frameControl = 0;
    std::array<std::uint8_t, 6> mac{};
    std::array<char, 33> ssid{};           // at most 32 characters, NUL-terminated
    std::int16_t channel = 0;
    std::int32_t kind = kOther;
    std::uint8_t beaconOrResponse = 0;
    std::uint8_t offChannel = 0;
    std::int32_t scannedChannel = 0;

    bool Valid() const { return (flags & 0x01) != 0; }
};

// Parses one record (the message's data bytes). Bytes past `length` read as
// zero and the element walk stops at `length`. SSID and channel belong to
// this record alone: a record without them has an empty SSID, and on
// 2.4 GHz a beacon without a channel element counts as heard on the scanned
// channel.
void ParseFrameRecord(const std::uint8_t* data, std::uint32_t length, std::int32_t scannedChannel,
                      ParsedFrameRecord& out);

}  // namespace quorl
