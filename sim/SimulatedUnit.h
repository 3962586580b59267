#pragma once
// SimulatedUnit: the survey unit's side of the link, as logic only. It
// decodes the command frames the program writes (with the program's own
// CParser), answers them, and produces what the unit sends on its own: a GPS
// report every second and, while scanning, the 802.11 frames its receiver
// hears on the tuned channel.
//
// Time is passed in by the caller (time since the unit started), so tests can
// step it exactly; the driver and the pseudo-terminal server pass real time.
// Not thread-safe: its owners lock around it.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#include "link/Parser.h"
#include "sim/NoiseSource.h"
#include "sim/Scenario.h"
#include "sim/TrackModel.h"
#include "sim/UnitMessages.h"

namespace quorl::sim {

using Micros = std::chrono::microseconds;

// One command as the unit understood it.
struct SeenCommand {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> data;  // without the trailer
    Micros at{0};
};

struct UnitCounters {
    std::uint64_t commands = 0;       // command frames accepted
    std::uint64_t badCommands = 0;    // frames without the 0x00 trailer
    std::uint64_t gpsReports = 0;
    std::uint64_t records = 0;        // message-17 records sent
    std::uint64_t droppedFrames = 0;  // not sent: nobody read the output
};

class SimulatedUnit {
public:
    // Output the unit holds for a reader that does not read; what does not
    // fit is dropped, as a real unit's transmit queue would.
    static constexpr std::size_t kOutputCapacity = 64 * 1024;
    // The unit does not queue up its past: after a longer gap it produces
    // only the last minute (of which the output queue keeps what fits).
    static constexpr Micros kMaxCatchUp{60'000'000};
    static constexpr std::size_t kSeenCommandsKept = 4096;

    // `startUnixMicros` is the UTC time at the unit's start; the scenario's
    // start time, when it has one, takes precedence.
    SimulatedUnit(Scenario scenario, std::int64_t startUnixMicros);

    // Bytes the program wrote, arriving at `now`. Everything due before
    // `now` is produced first, then the replies.
    void Receive(const std::uint8_t* bytes, std::size_t count, Micros now);
    // Produces everything due up to and including `now`.
    void AdvanceTo(Micros now);

    std::size_t Pending() const { return out_.size() - head_; }
    // Takes up to `count` bytes of output; returns how many.
    std::size_t TakeOutput(std::uint8_t* buffer, std::size_t count);
    std::vector<std::uint8_t> TakeAllOutput();

    bool Scanning() const { return scanning_; }
    int TunedChannel() const { return tunedChannel_; }
    Micros Now() const { return now_; }
    const Scenario& GetScenario() const { return scenario_; }
    const UnitCounters& Counters() const { return counters_; }
    // The latest commands, oldest first (at most kSeenCommandsKept).
    const std::deque<SeenCommand>& Commands() const { return seen_; }

    // The position and lock the GPS would report at `at`.
    GpsFix FixAt(Micros at) const;

private:
    struct Event {
        std::int64_t at;  // microseconds
        std::uint32_t source;
        bool operator>(const Event& other) const {
            return at != other.at ? at > other.at : source > other.source;
        }
    };
    // Event sources: the GPS, the clients' probe requests, then two per
    // access point (beacons, data frames).
    static constexpr std::uint32_t kGpsSource = 0;
    static constexpr std::uint32_t kProbeSource = 1;
    static constexpr std::uint32_t kFirstApSource = 2;

    void HandleCommand(std::uint8_t type, const std::uint8_t* data, std::uint32_t length);
    void Send(std::uint8_t type, const std::uint8_t* data, std::size_t length);
    void RunEvent(const Event& event);
    void Schedule(std::uint32_t source, std::int64_t after);
    void SkipTo(std::int64_t at);
    std::int64_t NextTime(std::uint32_t source, std::int64_t after);

    // Start of the stretch without lock that `seconds` falls in, if any.
    std::optional<double> NoLockSince(double seconds) const;
    BatteryPhase BatteryAt(double seconds) const;

    // The level at which the receiver hears a transmitter on `channel` at
    // `transmitter`; false when it cannot hear it.
    bool Hear(const GeoPoint& transmitter, int channel, double txPowerDbm, std::int64_t at, double& rssiDbm);
    void SendRecord();
    void SendBeacon(std::size_t ap, std::int64_t at, std::uint8_t frameControl, const MacAddress& destination);
    void SendProbeRequest(std::int64_t at);
    void SendData(std::size_t ap, std::int64_t at);

    Scenario scenario_;
    TrackModel track_;
    NoiseSource noise_;
    std::int64_t startUnixMicros_;
    CParser parser_;

    std::vector<std::uint8_t> out_;
    std::size_t head_ = 0;
    std::vector<std::uint8_t> record_;  // reused for every frame record

    std::priority_queue<Event, std::vector<Event>, std::greater<Event>> events_;
    Micros now_{0};
    bool scanning_ = false;
    int tunedChannel_ = 1;
    std::uint16_t sequence_ = 0;
    std::vector<MacAddress> clients_;

    std::deque<SeenCommand> seen_;
    UnitCounters counters_;
};

}  // namespace quorl::sim
