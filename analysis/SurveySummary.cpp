#include "analysis/SurveySummary.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace quorl::analysis {

namespace {

struct Reading {
    int level;
    double x, y;
};

struct Tally {
    AccessPointRow row;
    std::vector<Reading> readings;  // the strongest per point
};

}  // namespace

SurveySummary Summarise(const Survey& survey) {
    SurveySummary summary;
    std::map<MacAddress, Tally> tallies;
    for (const SurveyPoint& point : survey.points) {
        if (point.time.Valid()) {
            if (!summary.hasTime || point.time < summary.first) summary.first = point.time;
            if (!summary.hasTime || summary.last < point.time) summary.last = point.time;
            summary.hasTime = true;
        }
        std::map<MacAddress, int> here;  // strongest level of each AP at this point
        for (const ApReading& ap : point.aps) {
            Tally& t = tallies[ap.mac];
            t.row.mac = ap.mac;
            if (ap.level > t.row.strongest) {
                t.row.strongest = ap.level;
                t.row.strongestX = point.x;
                t.row.strongestY = point.y;
                t.row.ssid = ap.ssid;
                t.row.channel = ap.channel;
                t.row.band = BandOf(ap.channel);
            }
            auto [it, inserted] = here.emplace(ap.mac, ap.level);
            if (!inserted) it->second = std::max(it->second, ap.level);
        }
        for (const auto& [mac, level] : here) {
            Tally& t = tallies[mac];
            ++t.row.pointsHeard;
            t.readings.push_back(Reading{level, point.x, point.y});
        }
    }

    std::map<std::string, int> ssids;
    for (auto& [mac, t] : tallies) {
        // The five strongest readings, weighted by power: the AP is most
        // likely nearest where it was heard best.
        std::sort(t.readings.begin(), t.readings.end(), [](const Reading& a, const Reading& b) { return a.level > b.level; });
        const std::size_t n = std::min<std::size_t>(5, t.readings.size());
        double weights = 0, x = 0, y = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double w = std::pow(10.0, (t.readings[i].level - t.readings[0].level) / 10.0);
            weights += w;
            x += w * t.readings[i].x;
            y += w * t.readings[i].y;
        }
        if (weights > 0) {
            t.row.estimatedX = x / weights;
            t.row.estimatedY = y / weights;
        }
        ++summary.apsByChannel[t.row.channel];
        summary.accessPoints.push_back(t.row);
        if (!t.row.ssid.empty()) {
            auto [it, inserted] = ssids.emplace(t.row.ssid, t.row.strongest);
            if (!inserted) it->second = std::max(it->second, t.row.strongest);
        }
    }
    std::stable_sort(summary.accessPoints.begin(), summary.accessPoints.end(),
                     [](const AccessPointRow& a, const AccessPointRow& b) { return a.strongest > b.strongest; });
    summary.ssids.assign(ssids.begin(), ssids.end());
    std::stable_sort(summary.ssids.begin(), summary.ssids.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return summary;
}

}  // namespace quorl::analysis
