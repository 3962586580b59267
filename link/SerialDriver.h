#pragma once
// The operations the program needs from the USB serial bridge. Every call
// returns a status: 0 is success, anything else failure, never interpreted.
// Implementations: the Linux serial port (PosixSerialDriver), the simulated
// unit in-process (sim/), and recording drivers in tests and tools.

#include <cstdint>
#include <string>

namespace quorl {

using DriverStatus = std::uint32_t;
inline constexpr DriverStatus kDriverOk = 0;
inline constexpr DriverStatus kDriverFailed = 1;

class ISerialDriver {
public:
    virtual ~ISerialDriver() = default;

    // Number of attached devices.
    virtual DriverStatus CountDevices(std::uint32_t& count) = 0;
    // Serial number of device `index` (NUL-terminated into a 64-byte buffer).
    virtual DriverStatus SerialNumberOf(std::uint32_t index, char (&serial)[64]) = 0;
    virtual DriverStatus Open(std::uint32_t index) = 0;
    virtual DriverStatus ClearRts() = 0;
    virtual DriverStatus SetBaudRate(std::uint32_t baud) = 0;
    // 8 data bits, 1 stop bit (0), no parity (0).
    virtual DriverStatus SetDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                                std::uint8_t parity) = 0;
    // No flow control: 0, 0, 0.
    virtual DriverStatus SetFlowControl(std::uint16_t flowControl, std::uint8_t xon,
                                        std::uint8_t xoff) = 0;
    virtual DriverStatus SetRts() = 0;
    // Bytes queued for reading.
    virtual DriverStatus GetStatus(std::uint32_t& bytesReady) = 0;
    // Reads up to `count` queued bytes; never waits for more.
    virtual DriverStatus Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead) = 0;
    // Sends one whole frame.
    virtual DriverStatus Write(const std::uint8_t* buffer, std::uint32_t count,
                               std::uint32_t& bytesWritten) = 0;
    // Releases the device (orderly shutdown); later calls fail. Ends a
    // WaitForBytes in progress.
    virtual void Close() = 0;

    // Sleeps until bytes are ready to read, the port closes or CancelWait
    // is called, so that a reader with nothing to do costs nothing. A driver
    // that cannot wait returns at once (the reader then polls).
    virtual void WaitForBytes() {}
    // Ends the WaitForBytes in progress, or the next one if none is.
    virtual void CancelWait() {}
};

}  // namespace quorl
