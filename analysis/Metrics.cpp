#include "analysis/Metrics.h"

#include <algorithm>
#include <cmath>

#include "analysis/CoverageGrid.h"
#include "analysis/RadioGroups.h"

namespace quorl::analysis {

Band BandOf(int channel) { return channel >= 1 && channel <= 14 ? Band::Ghz24 : Band::Ghz5; }

const char* BandText(Band band) {
    switch (band) {
    case Band::Ghz24: return "2.4 GHz";
    case Band::Ghz5: return "5 GHz";
    case Band::Any: break;
    }
    return "any band";
}

const char* MetricName(Metric metric) {
    switch (metric) {
    case Metric::Signal: return "signal";
    case Metric::Secondary: return "secondary";
    case Metric::ApCount: return "ap-count";
    case Metric::CoChannel: return "co-channel";
    }
    return "?";
}

std::optional<Metric> ParseMetric(const std::string& name) {
    for (Metric m : {Metric::Signal, Metric::Secondary, Metric::ApCount, Metric::CoChannel})
        if (name == MetricName(m)) return m;
    return std::nullopt;
}

bool IsCount(Metric metric) { return metric == Metric::ApCount || metric == Metric::CoChannel; }

int DefaultThreshold(Metric metric) {
    if (metric == Metric::ApCount) return -67;
    if (metric == Metric::CoChannel) return -85;
    return 0;
}

MetricOptions DefaultOptions(Metric metric) {
    MetricOptions options;
    options.metric = metric;
    options.threshold = DefaultThreshold(metric);
    return options;
}

bool Filter::Matches(const ApReading& ap) const {
    if (ssid && ap.ssid != *ssid) return false;
    if (mac && ap.mac != *mac) return false;
    if (band != Band::Any && BandOf(ap.channel) != band) return false;
    if (channel && ap.channel != *channel) return false;
    if (radio && std::find(radioMembers.begin(), radioMembers.end(), std::pair(ap.mac, ap.channel)) == radioMembers.end())
        return false;
    return true;
}

std::string Filter::Describe() const {
    std::string text;
    auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (ssid) add("SSID " + (ssid->empty() ? std::string("(hidden)") : *ssid));
    if (mac) add("AP " + MacText(*mac));
    if (band != Band::Any) add(BandText(band));
    if (channel) add("channel " + std::to_string(*channel));
    if (radio) add("radio " + AddressBlockText(*radio));
    return text.empty() ? "all networks" : text;
}

namespace {

// Distinct MAC addresses among `macs` (a file may store one AP twice).
std::size_t Distinct(std::vector<MacAddress>& macs) {
    std::sort(macs.begin(), macs.end());
    return static_cast<std::size_t>(std::unique(macs.begin(), macs.end()) - macs.begin());
}

// The strongest matching record, or null.
const ApReading* Serving(const SurveyPoint& point, const Filter& filter) {
    const ApReading* best = nullptr;
    for (const ApReading& ap : point.aps)
        if (filter.Matches(ap) && (!best || ap.level > best->level)) best = &ap;
    return best;
}

}  // namespace

std::optional<double> PointValue(const SurveyPoint& point, const MetricOptions& options) {
    const Filter& filter = options.filter;
    switch (options.metric) {
    case Metric::Signal: {
        const ApReading* best = Serving(point, filter);
        if (!best) return std::nullopt;
        return best->level;
    }
    case Metric::Secondary: {
        // One pass: the strongest and the strongest of any other MAC.
        const ApReading* first = nullptr;
        const ApReading* second = nullptr;
        for (const ApReading& ap : point.aps) {
            if (!filter.Matches(ap)) continue;
            if (!first || ap.level > first->level) {
                if (first && first->mac != ap.mac) second = first;
                first = &ap;
            } else if (ap.mac != first->mac && (!second || ap.level > second->level)) {
                second = &ap;
            }
        }
        if (!second) return std::nullopt;
        return second->level;
    }
    case Metric::ApCount: {
        thread_local std::vector<MacAddress> heard;
        heard.clear();
        for (const ApReading& ap : point.aps)
            if (ap.level >= options.threshold && filter.Matches(ap)) heard.push_back(ap.mac);
        return static_cast<double>(Distinct(heard));
    }
    case Metric::CoChannel: {
        const ApReading* serving = Serving(point, filter);
        if (!serving) return std::nullopt;
        // Interference comes from every network on the channel.
        thread_local std::vector<MacAddress> sharing;
        sharing.clear();
        for (const ApReading& ap : point.aps)
            if (ap.channel == serving->channel && ap.level >= options.threshold && ap.mac != serving->mac)
                sharing.push_back(ap.mac);
        return static_cast<double>(Distinct(sharing));
    }
    }
    return std::nullopt;
}

bool IsMeasurement(const SurveyPoint& point) { return point.kind <= 2; }

std::optional<double> MapValue(const SurveyPoint& point, const MetricOptions& options) {
    if (!IsMeasurement(point)) return std::nullopt;
    return PointValue(point, options).value_or(kNotHeard);
}

bool AnyMatch(const Survey& survey, const Filter& filter) {
    for (const SurveyPoint& point : survey.points)
        for (const ApReading& ap : point.aps)
            if (filter.Matches(ap)) return true;
    return false;
}

}  // namespace quorl::analysis
