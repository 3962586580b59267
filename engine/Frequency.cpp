// Frequency values are MHz x 5, as the unit takes them.
#include "engine/Engine.h"

namespace quorl {

std::uint16_t FrequencyToChannel(std::uint32_t value) {
    const std::uint32_t m = value / 5;  // MHz
    if (m >= 5000) return static_cast<std::uint16_t>((m - 5000) / 5);
    if (m >= 3000) return 1;
    if (m == 2484) return 14;
    if (m < 2407) return 0;  // below the band: no channel
    return static_cast<std::uint16_t>((m - 2407) / 5);
}

std::int32_t ChannelToFrequency(int channel) {
    if (channel < 1) return 0;
    if (channel <= 13) return 12060 + 25 * (channel - 1);
    if (channel == 14) return 12420;
    return (channel + 1000) * 25;
}

}  // namespace quorl
