#pragma once
// Serves the simulated unit on a pseudo-terminal, so the program can reach it
// through the real serial driver (`quorl sim`). The unit runs against the
// master side; a client opens the slave path. While no client has the
// terminal open the unit's output is thrown away, as a real unit's is while
// its port is closed, so a client never starts with a backlog.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Scenario.h"
#include "sim/SimulatedUnit.h"

namespace quorl::sim {

class PtyServer {
public:
    PtyServer(Scenario scenario, std::int64_t startUnixMicros);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the terminal pair in raw mode. False, with a message, when the
    // system refuses.
    bool Open(std::string& error);
    // The path a client opens, e.g. /dev/pts/3.
    const std::string& SlavePath() const { return slavePath_; }

    // Serves until `stop` is set. False when the terminal fails.
    bool Run(const std::atomic<bool>& stop);
    // One pass: waits up to `timeout` for the client, then feeds the unit and
    // sends what it produced. False when the terminal fails.
    bool RunOnce(std::chrono::milliseconds timeout);

    bool ClientConnected() const { return connected_; }

private:
    // Unit time: real time divided by the timing scale.
    Micros UnitTime();
    void SetRaw();
    void Flush();

    SimulatedUnit unit_;
    int master_ = -1;
    std::string slavePath_;
    std::chrono::steady_clock::time_point lastReal_;
    double unitMicros_ = 0.0;
    bool connected_ = false;
    std::vector<std::uint8_t> outgoing_;  // taken from the unit, not yet written
    std::size_t outgoingHead_ = 0;
};

}  // namespace quorl::sim
