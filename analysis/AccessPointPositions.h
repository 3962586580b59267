#pragma once
// Every radio of a survey (BSSIDs grouped as in RadioGroups.h) with the
// position the path-loss model gives it. A radio's reading at a point is
// the strongest of its BSSIDs there.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/AccessPointModel.h"
#include "analysis/PlanSource.h"
#include "analysis/PlanWalls.h"
#include "analysis/SurveyPoints.h"

namespace quorl::analysis {

struct AccessPointPosition {
    MacAddress mac{};                  // the strongest BSSID
    std::vector<MacAddress> bssids;    // strongest first
    std::vector<std::string> ssids;    // as heard, hidden ones left out, no repeats
    int channel = 0;
    int strongest = -200;              // dBm
    std::uint32_t points = 0;          // survey points that heard it
    PathLossFit fit;
};

struct AccessPointMap {
    std::vector<AccessPointPosition> accessPoints;  // strongest first
    std::array<double, 2> wallLoss{0, 0};           // learnt per thin, thick wall, dB
};

AccessPointMap LocateAccessPoints(const Survey& survey, const PlanWalls& walls, const PlanFrame& frame);

// The same on a projection's plan: its walls (none where the image does
// not decode), its size, and `metresPerPixel` (0 unknown).
struct PlanAccessPoints {
    PlanWalls walls;
    PlanFrame frame;
    AccessPointMap map;
};
PlanAccessPoints LocateOnPlan(const Survey& survey, const PlanSource& plan, double metresPerPixel);

// The radio a BSSID belongs to in `map`; nullptr when none.
const AccessPointPosition* RadioOf(const AccessPointMap& map, const MacAddress& bssid);

}  // namespace quorl::analysis
