#pragma once
// The driver `quorl replay` runs the reader against: it serves a captured
// unit-to-program byte stream as the bytes queued for reading, and records
// every frame the program writes instead of sending it.

#include <cstdint>
#include <string>
#include <vector>

#include "link/SerialDriver.h"
#include "survey/FileHandle.h"

namespace quorl::tools {

class ReplayDriver : public ISerialDriver {
public:
    // Opens the capture; Good() tells whether that worked.
    explicit ReplayDriver(const std::string& capturePath);

    bool Good() const { return good_; }
    // Why the capture could not be opened (for SystemErrorText).
    int Error() const { return error_; }
    bool Exhausted() const { return remaining_ == 0; }
    const std::vector<std::vector<std::uint8_t>>& Written() const { return written_; }

    DriverStatus CountDevices(std::uint32_t& count) override;
    DriverStatus SerialNumberOf(std::uint32_t index, char (&serial)[64]) override;
    DriverStatus Open(std::uint32_t index) override;
    DriverStatus ClearRts() override { return kDriverOk; }
    DriverStatus SetBaudRate(std::uint32_t) override { return kDriverOk; }
    DriverStatus SetDataCharacteristics(std::uint8_t, std::uint8_t, std::uint8_t) override { return kDriverOk; }
    DriverStatus SetFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) override { return kDriverOk; }
    DriverStatus SetRts() override { return kDriverOk; }
    DriverStatus GetStatus(std::uint32_t& bytesReady) override;
    DriverStatus Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
    DriverStatus Write(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesWritten) override;
    void Close() override {}

private:
    FileHandle capture_;
    std::uint64_t offset_ = 0;
    std::uint64_t remaining_ = 0;
    int error_ = 0;
    bool good_ = false;
    std::vector<std::vector<std::uint8_t>> written_;
};

}  // namespace quorl::tools
