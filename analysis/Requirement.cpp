#include "analysis/Requirement.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "analysis/CoverageGrid.h"

namespace quorl::analysis {

namespace {

const char* ComparisonText(Comparison c) {
    switch (c) {
    case Comparison::AtLeast: return ">=";
    case Comparison::AtMost: return "<=";
    case Comparison::Above: return ">";
    case Comparison::Below: return "<";
    case Comparison::Equal: return "=";
    }
    return "?";
}

std::string NumberText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

std::string Requirement::Text() const {
    return std::string(MetricName(metric)) + ComparisonText(comparison) + NumberText(value);
}

bool Requirement::Met(double cellValue) const {
    if (std::isnan(cellValue)) return false;
    double v = cellValue;
    if (std::isinf(v) && v < 0) {
        if (!IsCount(metric)) return false;
        v = 0;
    } else if (IsCount(metric)) {
        v = std::round(v);
    }
    switch (comparison) {
    case Comparison::AtLeast: return v >= value;
    case Comparison::AtMost: return v <= value;
    case Comparison::Above: return v > value;
    case Comparison::Below: return v < value;
    case Comparison::Equal: return v == value;
    }
    return false;
}

std::optional<Requirement> ParseRequirement(const std::string& text, std::string& error) {
    const std::size_t at = text.find_first_of("<>=");
    if (at == std::string::npos || at == 0) {
        error = "'" + text + "' is no requirement: write METRIC>=N, as signal>=-67";
        return std::nullopt;
    }
    Requirement r;
    const auto metric = ParseMetric(text.substr(0, at));
    if (!metric) {
        error = "'" + text + "': unknown metric '" + text.substr(0, at) +
                "' (signal, secondary, ap-count or co-channel)";
        return std::nullopt;
    }
    r.metric = *metric;
    std::size_t numberAt = at + 1;
    const char op = text[at];
    const bool equals = numberAt < text.size() && text[numberAt] == '=';
    if (op == '>') r.comparison = equals ? Comparison::AtLeast : Comparison::Above;
    else if (op == '<') r.comparison = equals ? Comparison::AtMost : Comparison::Below;
    else r.comparison = Comparison::Equal;
    if (equals && op != '=') ++numberAt;
    const std::string number = text.substr(numberAt);
    // strtod would take leading spaces, "inf" and hex: none of them is a level or a count.
    const bool plain = !number.empty() && number.find_first_not_of("+-.0123456789") == std::string::npos;
    char* end = nullptr;
    errno = 0;
    const double v = plain ? std::strtod(number.c_str(), &end) : 0;
    if (!plain || *end != '\0' || errno != 0 || !std::isfinite(v)) {
        error = "'" + text + "': expected a number after the comparison (>= <= > < =)";
        return std::nullopt;
    }
    if (!IsCount(r.metric) && (v < -150 || v > 50)) {
        error = "'" + text + "': a level in dBm lies between -150 and 50";
        return std::nullopt;
    }
    if (IsCount(r.metric) && v < 0) {
        error = "'" + text + "': a count of access points is not negative";
        return std::nullopt;
    }
    r.value = v;
    return r;
}

std::optional<std::vector<Requirement>> ProfileRequirements(const std::string& name) {
    auto make = [](Metric m, double v) { return Requirement{m, Comparison::AtLeast, v}; };
    // Figures and their sources: README, "Does the floor pass?".
    if (name == "voice") return std::vector{make(Metric::Signal, -67), make(Metric::Secondary, -67)};
    if (name == "data") return std::vector{make(Metric::Signal, -70), make(Metric::Secondary, -75)};
    if (name == "basic") return std::vector{make(Metric::Signal, -75)};
    return std::nullopt;
}

}  // namespace quorl::analysis
