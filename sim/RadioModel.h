#pragma once
// What the unit's receiver hears of one transmitter: log-distance path loss
// from the transmitter's power, and the rejection of a transmitter on another
// channel. 2.4 GHz channels are 5 MHz apart but 20 MHz wide, so a receiver
// tuned to 5 or 7 still hears an access point on 6, a dozen dB down (its
// beacons keep saying channel 6); 5 GHz channels are 20 MHz apart and do
// not overlap.

#include <optional>

#include "sim/Scenario.h"

namespace quorl::sim {

// Centre frequency in MHz of a 2.4 GHz (1..14) or 5 GHz channel; 0 for none.
int ChannelFrequencyMhz(int channel);
// The unit's reading of a tune command's frequency value (MHz x 5); 0 when
// it names no channel the receiver covers.
int TunedChannelOf(std::uint32_t frequencyValue);

// Extra loss in dB of a transmitter on `txChannel` heard while tuned to
// `tunedChannel`; nothing when it cannot be heard there at all.
std::optional<double> ChannelRejectionDb(int txChannel, int tunedChannel);

// Mean received power in dBm at `distanceM` from a transmitter of
// `txPowerDbm` on `channel`, before channel rejection and fading.
double MeanRssiDbm(double txPowerDbm, int channel, double distanceM, const RadioSettings& radio);

}  // namespace quorl::sim
