#pragma once
// Finding the survey unit's serial port among the USB serial devices. The
// unit's bridge is an FTDI chip, whose Linux kernel driver is ftdi_sio:
// ports whose USB interface that driver serves come first, so that a modem
// or another adapter whose name happens to sort first does not become
// device 0. Within each group the order is by name, the same from run to run.
//
// The /dev and /sys roots are parameters so that a fake tree can stand in
// for the machine's in tests.

#include <string>
#include <vector>

namespace quorl {

struct SystemRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
};

// The kernel driver of the bridge chip's USB interface.
inline constexpr const char* kBridgeKernelDriver = "ftdi_sio";

// The USB serial ports: the links of dev/serial/by-id, or without udev
// links the ttyUSB and ttyACM nodes; the bridge's ports first.
std::vector<std::string> ListUsbSerialPorts(const SystemRoots& roots = {});

// Whether the USB interface behind a tty path is driven by the bridge's
// kernel driver.
bool DrivenByBridgeDriver(const std::string& ttyPath, const SystemRoots& roots = {});

// The USB serial number of the device behind a tty path; empty when there
// is none (e.g. a pseudo-terminal).
std::string UsbSerialNumber(const std::string& ttyPath, const SystemRoots& roots = {});

}  // namespace quorl
