#pragma once
// What the simulated survey unit pretends to be and where it walks: its
// identity texts, the access points around it, the GPS track it follows, the
// stretches without a GPS lock and how its battery behaves. Loaded from JSON
// (ScenarioLoader) or built in (DefaultScenario).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorl::sim {

struct SimAccessPoint {
    std::array<std::uint8_t, 6> mac{};
    std::string ssid;          // 0..32 bytes; empty for a hidden network
    int channel = 1;           // 1..14, or a 5 GHz channel
    double latitude = 0.0;     // degrees, north positive
    double longitude = 0.0;    // degrees, east positive
    double txPowerDbm = 20.0;
};

struct TrackPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    // Walking speed (m/s) on the leg that leaves this point; used when the
    // track has no timestamps.
    double speed = 0.0;
    // Seconds from the unit's start at which the walker is here; used when
    // the track has timestamps (all points or none carry one).
    double time = 0.0;
};

struct Track {
    std::vector<TrackPoint> points;  // at least one
    bool timed = false;              // points carry times instead of speeds
    bool loop = false;               // start over after the last point
};

// A stretch without lock, in seconds from the unit's start; repeats every
// `repeatEvery` seconds when that is above 0.
struct NoLockStretch {
    double start = 0.0;
    double duration = 0.0;
    double repeatEvery = 0.0;
};

// The power status the unit reports from `at` seconds on (until the next
// phase).
struct BatteryPhase {
    double at = 0.0;
    std::uint8_t flags = 0x01;
    std::uint16_t level = 0;
    std::uint16_t readingA = 0;
    std::uint16_t readingB = 0;
};

// How the receiver hears the air.
struct RadioSettings {
    double pathLossExponent = 3.0;     // indoor office
    double noiseDb = 2.0;              // standard deviation of the per-frame fading
    double sensitivityDbm = -92.0;     // frames weaker than this are not heard
    double beaconIntervalMs = 102.4;   // 100 TU
    double probeRequestsPerSecond = 2.0;   // per channel, from passing clients
    double dataFramesPerSecond = 4.0;      // per access point
    double badFrameRatio = 0.02;           // records reported with the valid bit clear
};

struct Scenario {
    std::string firmware = "QS-2 2.14";
    std::string serial = "QS240117";
    // GPS time at the unit's start as Unix seconds (UTC); absent: the
    // current time when the unit starts.
    std::optional<std::int64_t> startTime;
    std::uint32_t seed = 1;
    double altitudeM = 408.0;
    std::vector<SimAccessPoint> accessPoints;
    Track track;
    std::vector<NoLockStretch> noLock;
    std::vector<BatteryPhase> battery;  // sorted by `at`; empty: mains power
    RadioSettings radio;
};

}  // namespace quorl::sim
