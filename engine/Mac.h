#pragma once
// One access point of the AP table: everything heard from one MAC address in
// the current sweep.

#include <array>
#include <cstdint>
#include <string>

namespace quorl {

struct CMac {
    std::int32_t channel = 0;
    std::int32_t rssiSum = 0;               // sum of the merged RSSI values, in sixteenths
    std::array<std::uint8_t, 6> mac{};      // the entry's key
    std::array<char, 32> ssid{};            // NUL-padded; 32 characters carry no terminator
    std::int16_t hits = 0;                  // records merged

    // The level the views show: (sum / 16) / hits, each division truncating.
    int ShownRssi() const { return hits > 0 ? (rssiSum / 16) / hits : rssiSum / 16; }
    // The SSID up to its first NUL, at most 32 characters.
    std::string SsidText() const {
        std::size_t n = 0;
        while (n < ssid.size() && ssid[n] != '\0') ++n;
        return std::string(ssid.data(), n);
    }
};

}  // namespace quorl
