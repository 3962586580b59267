#pragma once
// The values a survey point gives a coverage map, from the access points
// stored with it (level = signal / 16). A point where no access point
// counts has no sample for the level metrics: it is never taken as -100,
// and the map marks the cells nearest to it as not heard.
//
//   signal      strongest level of the matching access points
//   secondary   second-strongest level of a different matching access point
//   ap-count    matching access points at or above the threshold (-67 dBm)
//   co-channel  other access points (any network) on the strongest matching
//               one's channel at or above the threshold (-85 dBm)

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/SurveyPoints.h"

namespace quorl::analysis {

enum class Metric { Signal, Secondary, ApCount, CoChannel };
enum class Band { Any, Ghz24, Ghz5 };

// 2.4 GHz: channels 1 to 14; 5 GHz: every higher channel.
Band BandOf(int channel);
const char* BandText(Band band);  // "2.4 GHz", "5 GHz", "any band"

const char* MetricName(Metric metric);  // "signal", "secondary", ...
std::optional<Metric> ParseMetric(const std::string& name);
// Counts are drawn on a discrete scale; levels in dBm.
bool IsCount(Metric metric);
int DefaultThreshold(Metric metric);  // -67 for ap-count, -85 for co-channel, 0 otherwise

// Which access points a map is about; every field left empty matches all.
struct Filter {
    std::optional<std::string> ssid;
    std::optional<MacAddress> mac;
    Band band = Band::Any;
    std::optional<int> channel;
    // The radio of the BSSID `radio` (see RadioGroups.h): its members and
    // their channels, found in the survey.
    std::optional<MacAddress> radio;
    std::vector<std::pair<MacAddress, int>> radioMembers;

    bool Matches(const ApReading& ap) const;
    bool Empty() const { return !ssid && !mac && band == Band::Any && !channel && !radio; }
    // "SSID Quorl-Office, 5 GHz", or "all networks".
    std::string Describe() const;
};

struct MetricOptions {
    Metric metric = Metric::Signal;
    Filter filter;
    int threshold = 0;  // dBm, for ap-count and co-channel
};

MetricOptions DefaultOptions(Metric metric);

// The point's value, or nothing when it has no sample.
std::optional<double> PointValue(const SurveyPoint& point, const MetricOptions& options);

// Survey points (kinds 0, 1 and 2) are measurements: one without a value
// heard nothing of what the map is about. Access point markers are not.
bool IsMeasurement(const SurveyPoint& point);
// The point as the map takes it: its value, kNotHeard for a measurement
// without one, nothing for a point that is no measurement.
std::optional<double> MapValue(const SurveyPoint& point, const MetricOptions& options);

// True when any access point of the survey matches the filter.
bool AnyMatch(const Survey& survey, const Filter& filter);

}  // namespace quorl::analysis
