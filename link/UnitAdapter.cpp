#include "link/UnitAdapter.h"

#include <algorithm>
#include <filesystem>

namespace quorl {

std::vector<std::string> AdapterChoices(const std::string& unitLink, const SystemRoots& roots) {
    std::error_code ec;
    if (!unitLink.empty() && std::filesystem::exists(unitLink, ec)) return {};
    std::vector<std::string> bridges = ListUsbSerialPorts(roots);
    // The bridge's ports come first: cut off the others.
    const auto others = std::find_if(bridges.begin(), bridges.end(),
                                     [&](const std::string& port) { return !DrivenByBridgeDriver(port, roots); });
    bridges.erase(others, bridges.end());
    if (bridges.size() < 2) return {};
    return bridges;
}

std::optional<std::string> UnitRule(const std::string& serial) {
    // udev reads the value between quotes as it stands: keep to what a USB serial number holds.
    if (serial.empty() || serial.size() > 64) return std::nullopt;
    for (char c : serial)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
              c == '.' || c == ':'))
            return std::nullopt;
    return "# Written by 'quorl unit remember': the survey unit is the bridge with this serial number.\n"
           "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"0403\", ATTRS{serial}==\"" +
           serial + "\", GROUP=\"dialout\", MODE=\"0660\", SYMLINK+=\"quorl-unit\"\n";
}

}  // namespace quorl
