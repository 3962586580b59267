#pragma once
// A design requirement a floor is checked against: a metric, a comparison
// and a number, written as the user writes it ("signal>=-67",
// "co-channel<=2"), and the named profiles that bundle them.
//
// Where the network was not heard (a not-heard cell), a level metric has
// no level: signal and secondary fail there, whatever the comparison. The
// counts are 0 there and are compared as 0. Interpolated counts are
// rounded to the nearest whole access point before they are compared.

#include <optional>
#include <string>
#include <vector>

#include "analysis/Metrics.h"

namespace quorl::analysis {

enum class Comparison { AtLeast, AtMost, Above, Below, Equal };

struct Requirement {
    Metric metric = Metric::Signal;
    Comparison comparison = Comparison::AtLeast;
    double value = 0;

    std::string Text() const;  // "signal>=-67"
    // Whether a cell value (a level, a count, or kNotHeard) meets it.
    bool Met(double cellValue) const;
};

// Strict: metric name, one operator among >= <= > < =, a finite number,
// nothing else (no spaces). Nothing with `error` set otherwise.
std::optional<Requirement> ParseRequirement(const std::string& text, std::string& error);

// voice, data, basic: their requirements; nothing for any other name.
std::optional<std::vector<Requirement>> ProfileRequirements(const std::string& name);

}  // namespace quorl::analysis
