#pragma once
// A floor of a site file given where a command takes surveys and a
// projection (heatmap, aps): the floor's surveys on its projection.

#include <optional>
#include <string>
#include <vector>

namespace quorl::tools {

struct FloorArgumentProblem {
    bool usage = false;  // the arguments are wrong (show the usage), else the site could not be read
    std::string text;
};

// Replaces `surveys` and `projection` by the floor's when `surveys` is one
// site file; nothing when the arguments stand as they are.
std::optional<FloorArgumentProblem> ResolveSiteFloor(std::vector<std::string>& surveys, std::string& projection,
                                                     const std::string& floor);

}  // namespace quorl::tools
