#include "tools/SiteFloorArguments.h"

#include "site/SiteFile.h"

namespace quorl::tools {

std::optional<FloorArgumentProblem> ResolveSiteFloor(std::vector<std::string>& surveys, std::string& projection,
                                                     const std::string& floor) {
    if (surveys.size() != 1 || !site::IsSitePath(surveys.front())) {
        if (!floor.empty()) return FloorArgumentProblem{true, "--floor is for a site file"};
        return std::nullopt;
    }
    if (!projection.empty())
        return FloorArgumentProblem{true, "a site file names each floor's projection: leave out --projection"};
    if (floor.empty()) return FloorArgumentProblem{true, "a site file needs --floor FLOOR"};
    std::string error;
    const std::string sitePath = surveys.front();
    if (!site::FloorFilesOf(sitePath, floor, surveys, projection, error)) return FloorArgumentProblem{false, error};
    return std::nullopt;
}

}  // namespace quorl::tools
