#pragma once
// The Linux serial port behind ISerialDriver (termios). Devices are the USB
// serial adapters (UsbSerialPorts.h): the bridge chip's ports first, each
// group sorted by name so that index 0 is the same adapter from run to run.
// Where the package's udev rule has made its stable link to the unit's
// bridge (/dev/quorl-unit), that link is device 0 and the adapters follow;
// when the link cannot be opened, opening device 0 goes on to them in
// their order. A caller may name
// one port instead (for example the pseudo-terminal of the simulated unit);
// it is then the only device.

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "link/SerialDriver.h"
#include "link/UsbSerialPorts.h"

namespace quorl {

class PosixSerialDriver : public ISerialDriver {
public:
    // An empty path lists the USB serial adapters, found under `roots`.
    explicit PosixSerialDriver(std::string path = {}, SystemRoots roots = {});
    ~PosixSerialDriver() override;
    PosixSerialDriver(const PosixSerialDriver&) = delete;
    PosixSerialDriver& operator=(const PosixSerialDriver&) = delete;

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
    // poll() on the port and on a wake-up eventfd that Close and CancelWait
    // write to.
    void WaitForBytes() override;
    void CancelWait() override;

    // The device paths, in index order.
    std::vector<std::string> ListDevices() const;
    // The link the udev rule makes for the unit; tests point it elsewhere.
    static constexpr const char* kUnitLink = "/dev/quorl-unit";
    void SetUnitLink(std::string path) { unitLink_ = std::move(path); }
    // The path opened, empty while closed.
    std::string OpenedPath() const;

private:
    DriverStatus ModifyLines(unsigned long request);
    void Wake();
    // Opens and configures one port; the caller holds mutex_.
    bool OpenPath(const std::string& path);

    std::string path_;
    SystemRoots roots_;
    std::string unitLink_ = kUnitLink;
    std::vector<std::string> devices_;   // as last counted
    std::atomic<int> fd_{-1};
    int wakeFd_ = -1;                    // eventfd; -1 where none could be made (the reader polls)
    std::string openedPath_;
    mutable std::mutex mutex_;           // writes and close: one whole frame at a time
};

}  // namespace quorl
