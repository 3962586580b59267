#pragma once
// `quorl report BUILDING.qsite -o DIR`: one report for the building.
// DIR/index.html opens with the building (every floor by requirement,
// then the access points with the floor each is strongest on) and goes on
// with a section per floor showing its maps; each floor's full report,
// as for one floor, is in DIR/floor-NAME/.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Requirement.h"

namespace quorl::tools {

// The one-floor report: surveys, projection, folder, requirements, the
// area share and the largest unsurveyed share (all as text); its exit status.
using FloorReport = std::function<int(const std::vector<std::string>&, const std::string&, const std::string&,
                                      const std::vector<std::string>&, const std::string&, const std::string&)>;

// 0 when written, 1 when a file was refused or could not be written, 2
// for bad input.
int RunSiteReport(const std::string& sitePath, const std::string& dir,
                  const std::vector<analysis::Requirement>& requirements, std::optional<double> areaPass,
                  std::optional<double> maxUnsurveyed, const FloorReport& floorReport);

}  // namespace quorl::tools
