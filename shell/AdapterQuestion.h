#pragma once
// The question the collector asks at start when several of the bridge's
// adapters are attached and no unit is remembered: which one is the unit.

#include <optional>
#include <string>
#include <vector>

namespace quorl {

// The port chosen, or nothing when the user cancels.
std::optional<std::string> AskWhichAdapter(const std::vector<std::string>& ports);

}  // namespace quorl
