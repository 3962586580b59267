#pragma once
// What a report says about a survey besides its maps: the time span, the
// channels heard, and one row per access point with where it was heard
// best and an estimated position.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "analysis/Metrics.h"
#include "analysis/SurveyPoints.h"

namespace quorl::analysis {

struct AccessPointRow {
    MacAddress mac{};
    std::string ssid;
    int channel = 0;
    Band band = Band::Ghz24;
    int strongest = -200;           // dBm
    double strongestX = 0, strongestY = 0;  // where it was heard strongest
    std::uint32_t pointsHeard = 0;  // survey points that stored it
    // Estimated position: the centroid of the (up to) five strongest
    // readings, each weighted by its power in milliwatts.
    double estimatedX = 0, estimatedY = 0;
};

struct SurveySummary {
    PointTime first, last;                 // valid times only
    bool hasTime = false;
    std::map<int, std::uint32_t> apsByChannel;  // access points per channel
    std::vector<AccessPointRow> accessPoints;   // strongest first
    // SSIDs heard, strongest first (hidden networks left out).
    std::vector<std::pair<std::string, int>> ssids;
};

SurveySummary Summarise(const Survey& survey);

}  // namespace quorl::analysis
