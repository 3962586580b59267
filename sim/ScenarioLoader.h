#pragma once
// Reads a scenario from JSON. A bad file is reported in one line that names
// the offending entry (for example "access_points[2].channel: ..."); nothing
// about a bad file throws or crashes.
//
// Format (keys other than these are refused, so typos do not pass silently):
//   firmware, serial           texts the unit answers commands 1 and 2 with
//   start_time                 "YYYY-MM-DDTHH:MM:SSZ" or Unix seconds; absent: now
//   seed, altitude_m           noise seed, reported altitude
//   access_points              [{mac "00-0A-1B-2C-3D-4E", ssid, channel, lat, lon, tx_power_dbm}]
//   track                      {loop, speed, points: [{lat, lon, speed?} or {lat, lon, t}]}
//   no_lock                    [{start, duration, repeat_every?}] in seconds
//   battery                    [{at, flags, level, reading_a, reading_b}]
//   radio                      {path_loss_exponent, noise_db, sensitivity_dbm,
//                               beacon_interval_ms, probe_requests_per_s,
//                               data_frames_per_s, bad_frame_ratio}

#include <string>
#include <string_view>

#include "sim/Scenario.h"

namespace quorl::sim {

// Largest scenario file read; anything bigger is refused before parsing.
inline constexpr std::size_t kMaxScenarioFileBytes = 16 * 1024 * 1024;

bool ParseScenario(std::string_view jsonText, Scenario& scenario, std::string& error);
// As above, from a file; the error starts with the path.
bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& error);

// "00-0A-1B-2C-3D-4E" (or with colons) into six bytes.
bool ParseMac(std::string_view text, std::array<std::uint8_t, 6>& mac);

}  // namespace quorl::sim
