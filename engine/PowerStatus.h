#pragma once
// The unit's power status record (message 10), written and read only on the
// reader thread.

#include <cstdint>

namespace quorl {

struct PowerStatus {
    std::uint8_t bit1Inverted = 0;
    std::uint8_t bit2 = 0;            // external power: never battery low
    std::uint8_t bit0 = 0;
    std::uint8_t batteryLow = 0;
    std::uint8_t bit3 = 0;
    std::uint16_t level = 0;
    std::uint16_t readingA = 0;
    std::uint16_t scaledReadingB = 0;
    std::uint16_t lowCounter = 0;
};

// Decodes the 7 data bytes into `status` (bytes past `length` read as zero).
void UpdatePowerStatus(PowerStatus& status, const std::uint8_t* data, std::uint32_t length);

}  // namespace quorl
