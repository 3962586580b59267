#include "analysis/AccessPointPositions.h"

#include <algorithm>
#include <map>

#include "analysis/PlanPixels.h"
#include "analysis/RadioGroups.h"
#include "analysis/SurveySummary.h"

namespace quorl::analysis {

AccessPointMap LocateAccessPoints(const Survey& survey, const PlanWalls& walls, const PlanFrame& frame) {
    const SurveySummary summary = Summarise(survey);
    const std::vector<RadioGroup> groups = GroupByRadio(summary.accessPoints, survey);
    std::map<MacAddress, std::size_t> groupOf;
    AccessPointMap out;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        AccessPointPosition ap;
        ap.channel = groups[g].channel;
        ap.strongest = groups[g].strongest;
        for (std::size_t row : groups[g].members) {
            const AccessPointRow& r = summary.accessPoints[row];
            ap.bssids.push_back(r.mac);
            groupOf[r.mac] = g;
            if (!r.ssid.empty() && std::find(ap.ssids.begin(), ap.ssids.end(), r.ssid) == ap.ssids.end())
                ap.ssids.push_back(r.ssid);
        }
        ap.mac = ap.bssids.front();
        out.accessPoints.push_back(std::move(ap));
    }
    std::vector<std::vector<LevelAt>> readings(groups.size());
    std::vector<int> here(groups.size());
    for (const SurveyPoint& point : survey.points) {
        std::fill(here.begin(), here.end(), -1000);
        for (const ApReading& r : point.aps) {
            const auto it = groupOf.find(r.mac);
            if (it != groupOf.end()) here[it->second] = std::max(here[it->second], r.level);
        }
        for (std::size_t g = 0; g < groups.size(); ++g)
            if (here[g] > -1000) {
                readings[g].push_back({point.x, point.y, static_cast<double>(here[g])});
                ++out.accessPoints[g].points;
            }
    }
    const std::vector<PathLossFit> fits = FitAccessPoints(readings, walls, frame, &out.wallLoss);
    for (std::size_t g = 0; g < groups.size(); ++g) out.accessPoints[g].fit = fits[g];
    return out;
}

PlanAccessPoints LocateOnPlan(const Survey& survey, const PlanSource& plan, double metresPerPixel) {
    PlanAccessPoints out;
    const auto grey = BitmapGrey(plan.bitmap);
    if (grey) out.walls = PlanWalls::FromPlan(*grey, metresPerPixel);
    out.frame = {grey ? grey->width : plan.width, grey ? grey->height : plan.height, metresPerPixel};
    out.map = LocateAccessPoints(survey, out.walls, out.frame);
    return out;
}

const AccessPointPosition* RadioOf(const AccessPointMap& map, const MacAddress& bssid) {
    for (const AccessPointPosition& ap : map.accessPoints)
        if (std::find(ap.bssids.begin(), ap.bssids.end(), bssid) != ap.bssids.end()) return &ap;
    return nullptr;
}

}  // namespace quorl::analysis
