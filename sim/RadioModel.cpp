#include "RadioModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quorl::sim {

int ChannelFrequencyMhz(int channel) {
    if (channel >= 1 && channel <= 13) return 2407 + 5 * channel;
    if (channel == 14) return 2484;
    if (channel >= 36 && channel <= 177) return 5000 + 5 * channel;
    return 0;
}

int TunedChannelOf(std::uint32_t frequencyValue) {
    const std::uint32_t mhz = frequencyValue / 5;
    if (frequencyValue % 5 != 0) return 0;
    if (mhz == 2484) return 14;
    if (mhz >= 2412 && mhz <= 2472 && (mhz - 2407) % 5 == 0) return static_cast<int>((mhz - 2407) / 5);
    if (mhz >= 5180 && mhz <= 5885 && mhz % 5 == 0) return static_cast<int>((mhz - 5000) / 5);
    return 0;
}

std::optional<double> ChannelRejectionDb(int txChannel, int tunedChannel) {
    const int a = ChannelFrequencyMhz(txChannel);
    const int b = ChannelFrequencyMhz(tunedChannel);
    if (a == 0 || b == 0) return std::nullopt;
    const int offset = std::abs(a - b);
    // A 20 MHz signal falls off about 10 dB per 5 MHz of offset past the
    // first; a full channel width away nothing usable is left.
    if (offset >= 20) return std::nullopt;
    return offset == 0 ? 0.0 : 2.0 + 2.0 * offset;
}

double MeanRssiDbm(double txPowerDbm, int channel, double distanceM, const RadioSettings& radio) {
    const double mhz = std::max(ChannelFrequencyMhz(channel), 2412);
    // Free-space loss over the first metre, then the environment's exponent.
    const double lossAtOneMetre = 20.0 * std::log10(mhz) - 27.55;
    const double d = std::max(distanceM, 1.0);
    return txPowerDbm - lossAtOneMetre - 10.0 * radio.pathLossExponent * std::log10(d);
}

}  // namespace quorl::sim
