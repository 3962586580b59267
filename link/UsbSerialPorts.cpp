#include "link/UsbSerialPorts.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace quorl {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SortedEntries(const fs::path& dir, bool (*keep)(const std::string&)) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (keep(name)) out.push_back(it->path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool AnyName(const std::string&) { return true; }

bool UsbTtyName(const std::string& name) {
    return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
}

// The sysfs device directory of a tty path (by-id links resolved), empty
// when there is none.
fs::path TtyDevice(const std::string& ttyPath, const SystemRoots& roots) {
    std::error_code ec;
    const fs::path node = fs::canonical(ttyPath, ec);
    if (ec) return {};
    fs::path dir = fs::canonical(fs::path(roots.sys) / "class/tty" / node.filename() / "device", ec);
    return ec ? fs::path{} : dir;
}

}  // namespace

bool DrivenByBridgeDriver(const std::string& ttyPath, const SystemRoots& roots) {
    fs::path dir = TtyDevice(ttyPath, roots);
    // ttyUSB: the device is the usb-serial port, its parent the USB
    // interface; ttyACM: the device is the interface itself.
    std::error_code ec;
    for (int depth = 0; depth < 2 && !dir.empty() && dir != dir.root_path(); ++depth, dir = dir.parent_path()) {
        if (!fs::exists(dir / "bInterfaceNumber", ec)) continue;
        const fs::path driver = fs::read_symlink(dir / "driver", ec);
        return !ec && driver.filename() == kBridgeKernelDriver;
    }
    return false;
}

std::vector<std::string> ListUsbSerialPorts(const SystemRoots& roots) {
    auto ports = SortedEntries(fs::path(roots.dev) / "serial/by-id", AnyName);
    if (ports.empty()) ports = SortedEntries(fs::path(roots.dev), UsbTtyName);
    std::stable_partition(ports.begin(), ports.end(),
                          [&](const std::string& port) { return DrivenByBridgeDriver(port, roots); });
    return ports;
}

std::string UsbSerialNumber(const std::string& ttyPath, const SystemRoots& roots) {
    fs::path dir = TtyDevice(ttyPath, roots);
    // The serial number sits with the USB device a few levels up.
    std::error_code ec;
    for (int depth = 0; depth < 6 && !dir.empty() && dir != dir.root_path(); ++depth, dir = dir.parent_path()) {
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "serial", ec)) {
            std::ifstream in(dir / "serial");
            std::string serial;
            std::getline(in, serial);
            return serial;
        }
    }
    return {};
}

}  // namespace quorl
