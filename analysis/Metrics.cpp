#include "analysis/Metrics.h"

#include <algorithm>
#include <cmath>

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
    return true;
}

std::string Filter::Describe() const {
    std::string text;
    auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (ssid) add("SSID " + (ssid->empty() ? std::string("(hidden)") : *ssid));
    if (mac) add("AP " + MacText(*mac));
    if (band != Band::Any) add(BandText(band));
    if (channel) add("channel " + std::to_string(*channel));
    return text.empty() ? "all networks" : text;
}

namespace {

// The strongest level per access point: a file may store one MAC twice.
struct Heard {
    MacAddress mac;
    int channel;
    int level;
};

void Strongest(const SurveyPoint& point, const Filter& filter, std::vector<Heard>& out) {
    out.clear();
    for (const ApReading& ap : point.aps) {
        if (!filter.Matches(ap)) continue;
        auto it = std::find_if(out.begin(), out.end(), [&](const Heard& h) { return h.mac == ap.mac; });
        if (it == out.end())
            out.push_back(Heard{ap.mac, ap.channel, ap.level});
        else if (ap.level > it->level)
            *it = Heard{ap.mac, ap.channel, ap.level};
    }
    std::sort(out.begin(), out.end(), [](const Heard& a, const Heard& b) { return a.level > b.level; });
}

}  // namespace

std::optional<double> PointValue(const SurveyPoint& point, const MetricOptions& options) {
    thread_local std::vector<Heard> matched;
    Strongest(point, options.filter, matched);
    switch (options.metric) {
    case Metric::Signal:
        if (matched.empty()) return std::nullopt;
        return matched[0].level;
    case Metric::Secondary:
        if (matched.size() < 2) return std::nullopt;
        return matched[1].level;
    case Metric::ApCount:
        return static_cast<double>(std::count_if(matched.begin(), matched.end(),
                                                 [&](const Heard& h) { return h.level >= options.threshold; }));
    case Metric::CoChannel: {
        if (matched.empty()) return std::nullopt;
        const Heard serving = matched[0];
        // Interference comes from every network on the channel.
        thread_local std::vector<Heard> all;
        Strongest(point, Filter{}, all);
        return static_cast<double>(std::count_if(all.begin(), all.end(), [&](const Heard& h) {
            return h.mac != serving.mac && h.channel == serving.channel && h.level >= options.threshold;
        }));
    }
    }
    return std::nullopt;
}

bool AnyMatch(const Survey& survey, const Filter& filter) {
    for (const SurveyPoint& point : survey.points)
        for (const ApReading& ap : point.aps)
            if (filter.Matches(ap)) return true;
    return false;
}

}  // namespace quorl::analysis
