#pragma once
// Which USB serial adapter is the survey unit. The package's udev rule no
// longer links every bridge-chip adapter (GPS pucks and console cables use
// the same chip): the link /dev/quorl-unit names one unit by its bridge's
// serial number once the user has chosen it (`quorl unit remember`), and
// until then the collector asks when there is more than one candidate.

#include <optional>
#include <string>
#include <vector>

#include "link/UsbSerialPorts.h"

namespace quorl {

// The bridge's ports to choose among: two or more of them and no `unitLink`
// there. Empty when there is nothing to ask (a link, or one adapter or none).
std::vector<std::string> AdapterChoices(const std::string& unitLink, const SystemRoots& roots = {});

// The udev rule that names the bridge with this USB serial number
// /dev/quorl-unit. Nothing for a serial number that could not stand in a
// rule as it is (empty, too long, or any character but letters, digits and
// "-_.:").
std::optional<std::string> UnitRule(const std::string& serial);

// Where `quorl unit remember` writes that rule.
inline constexpr const char* kUnitRulesPath = "/etc/udev/rules.d/61-quorl-unit.rules";

}  // namespace quorl
