#include "engine/PowerStatus.h"

#include <algorithm>

#include "engine/ByteView.h"

namespace quorl {

namespace {
constexpr std::uint16_t kReadingALow = 3250;
constexpr std::uint32_t kScaledBLow = 6500;
constexpr std::uint16_t kCounterLimit = 5;
constexpr std::uint16_t kLevelLow = 16;
}  // namespace

void UpdatePowerStatus(PowerStatus& status, const std::uint8_t* data, std::uint32_t length) {
    const ByteView body(data, length);
    const std::uint8_t f = body.At(0);
    status.bit0 = f & 0x01;
    status.bit1Inverted = (f & 0x02) ? 0 : 1;
    status.bit2 = (f >> 2) & 0x01;
    status.bit3 = (f >> 3) & 0x01;
    status.level = body.Le16(1);

    if (status.bit2) {  // external power
        status.batteryLow = 0;
        return;
    }
    if (status.bit3) {
        status.batteryLow = status.level == 0 ? 1 : 0;
        return;
    }
    if (!status.bit0) {
        status.batteryLow = status.level < kLevelLow ? 1 : 0;
        return;
    }

    // Both readings advance one counter: low is reported only when both stay
    // low over consecutive messages.
    status.readingA = body.Le16(3);
    if (status.readingA < kReadingALow) {
        if (status.lowCounter < kCounterLimit) ++status.lowCounter;
    } else {
        status.lowCounter = 0;
    }
    // Saturated rather than wrapped: a high reading must never look low.
    const std::uint32_t scaled = static_cast<std::uint32_t>(body.Le16(5)) * 15500u / 1024u;
    status.scaledReadingB = static_cast<std::uint16_t>(std::min<std::uint32_t>(scaled, 0xFFFF));
    if (scaled < kScaledBLow) {
        if (status.lowCounter < kCounterLimit) {
            ++status.lowCounter;
            status.batteryLow = 0;
        } else {
            status.batteryLow = 1;
        }
    } else {
        status.batteryLow = 0;
        status.lowCounter = 0;
    }
}

}  // namespace quorl
