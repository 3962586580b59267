#pragma once
// SimulatedDriver: the simulated unit in-process, behind the serial driver
// interface. The program's writes go to the unit; the status and read calls
// return what the unit has produced by now. Unit time runs at real time
// divided by the timing scale (common/Timing.h), so tests that shrink the
// program's periods speed the unit up by the same factor.
//
// Thread-safe: the reader thread reads while the UI thread writes.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "link/SerialDriver.h"
#include "sim/Scenario.h"
#include "sim/SimulatedUnit.h"

namespace quorl::sim {

class SimulatedDriver : public ISerialDriver {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `clock` replaces the steady clock (tests); the unit starts now.
    explicit SimulatedDriver(Scenario scenario, Clock clock = {});
    // The built-in demo scenario.
    SimulatedDriver();

    DriverStatus CountDevices(std::uint32_t& count) override;
    DriverStatus SerialNumberOf(std::uint32_t index, char (&serial)[64]) override;
    DriverStatus Open(std::uint32_t index) override;
    DriverStatus ClearRts() override;
    DriverStatus SetBaudRate(std::uint32_t baud) override;
    DriverStatus SetDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                        std::uint8_t parity) override;
    DriverStatus SetFlowControl(std::uint16_t flowControl, std::uint8_t xon, std::uint8_t xoff) override;
    DriverStatus SetRts() override;
    DriverStatus GetStatus(std::uint32_t& bytesReady) override;
    DriverStatus Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
    DriverStatus Write(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesWritten) override;
    void Close() override;

    // Runs `inspect` on the unit under the driver's lock (tests).
    template <typename Inspect>
    auto WithUnit(Inspect&& inspect) {
        std::lock_guard lock(mutex_);
        Advance();
        return inspect(unit_);
    }

private:
    DriverStatus WhenOpen() const { return open_ ? kDriverOk : kDriverFailed; }
    // Brings the unit up to the current time.
    void Advance();

    mutable std::mutex mutex_;
    Clock clock_;
    SimulatedUnit unit_;
    bool open_ = false;
    std::chrono::steady_clock::time_point lastReal_;
    double unitMicros_ = 0.0;
};

}  // namespace quorl::sim
