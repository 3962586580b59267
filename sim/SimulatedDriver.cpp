#include "SimulatedDriver.h"

#include <algorithm>
#include <cstring>

#include "common/Timing.h"
#include "sim/DefaultScenario.h"

namespace quorl::sim {

namespace {
std::int64_t UnixMicrosNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}
}  // namespace

SimulatedDriver::SimulatedDriver(Scenario scenario, Clock clock)
    : clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })),
      unit_(std::move(scenario), UnixMicrosNow()),
      lastReal_(clock_()) {}

SimulatedDriver::SimulatedDriver() : SimulatedDriver(DefaultScenario()) {}

void SimulatedDriver::Advance() {
    const auto real = clock_();
    if (real > lastReal_) {
        const double elapsed = std::chrono::duration<double, std::micro>(real - lastReal_).count();
        unitMicros_ += elapsed / timing::TimeScale();
        lastReal_ = real;
    }
    unit_.AdvanceTo(Micros(static_cast<std::int64_t>(unitMicros_)));
}

DriverStatus SimulatedDriver::CountDevices(std::uint32_t& count) {
    count = 1;
    return kDriverOk;
}

DriverStatus SimulatedDriver::SerialNumberOf(std::uint32_t index, char (&serial)[64]) {
    if (index != 0) return kDriverFailed;
    std::lock_guard lock(mutex_);
    const std::string text = "SIM-" + unit_.GetScenario().serial;
    const std::size_t n = std::min(text.size(), sizeof serial - 1);
    std::memcpy(serial, text.data(), n);
    serial[n] = '\0';
    return kDriverOk;
}

DriverStatus SimulatedDriver::Open(std::uint32_t index) {
    if (index != 0) return kDriverFailed;
    std::lock_guard lock(mutex_);
    // What the unit sent while the port was closed never reached the host.
    Advance();
    while (unit_.Pending() > 0) {
        std::uint8_t discard[1024];
        unit_.TakeOutput(discard, sizeof discard);
    }
    open_ = true;
    return kDriverOk;
}

DriverStatus SimulatedDriver::ClearRts() {
    std::lock_guard lock(mutex_);
    return WhenOpen();
}

DriverStatus SimulatedDriver::SetBaudRate(std::uint32_t baud) {
    std::lock_guard lock(mutex_);
    return baud == 57600 ? WhenOpen() : kDriverFailed;
}

DriverStatus SimulatedDriver::SetDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                                     std::uint8_t parity) {
    std::lock_guard lock(mutex_);
    return wordLength == 8 && stopBits == 0 && parity == 0 ? WhenOpen() : kDriverFailed;
}

DriverStatus SimulatedDriver::SetFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) {
    std::lock_guard lock(mutex_);
    return WhenOpen();
}

DriverStatus SimulatedDriver::SetRts() {
    std::lock_guard lock(mutex_);
    return WhenOpen();
}

DriverStatus SimulatedDriver::GetStatus(std::uint32_t& bytesReady) {
    std::lock_guard lock(mutex_);
    bytesReady = 0;
    if (!open_) return kDriverFailed;
    Advance();
    bytesReady = static_cast<std::uint32_t>(unit_.Pending());
    return kDriverOk;
}

DriverStatus SimulatedDriver::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
    std::lock_guard lock(mutex_);
    bytesRead = 0;
    if (!open_) return kDriverFailed;
    Advance();
    bytesRead = static_cast<std::uint32_t>(unit_.TakeOutput(buffer, count));
    return kDriverOk;
}

DriverStatus SimulatedDriver::Write(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesWritten) {
    std::lock_guard lock(mutex_);
    bytesWritten = 0;
    if (!open_) return kDriverFailed;
    Advance();
    unit_.Receive(buffer, count, unit_.Now());
    bytesWritten = count;
    return kDriverOk;
}

void SimulatedDriver::Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
}

}  // namespace quorl::sim
