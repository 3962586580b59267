#pragma once
// What `quorl check` and the report's requirements section share: each
// requirement evaluated over the coverage map of its metric, the verdict
// as JSON and text, and the pass/fail map over the plan.

#include <QImage>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Requirement.h"
#include "analysis/RequirementShares.h"
#include "tools/CoverageMaps.h"

namespace quorl::tools {

struct FloorCheck {
    double areaPass = 95;  // percent of the surveyed area each requirement must pass on
    std::vector<analysis::RequirementShares> results;
    std::vector<analysis::MetricOptions> options;  // the map each result was taken from
    analysis::GridGeometry geometry;
    double radius = 0;
    bool radiusGiven = false;
    bool radiusCapped = false;
    std::size_t points = 0;                 // measurements on the plan
    std::optional<analysis::MapError> error;  // of the strongest-signal map
    std::string kernel;                       // that map's kernel, by name

    bool Pass() const;
};

// Evaluates `requirements` with `filter` (counts at `threshold` where
// given, else each metric's own). False with `error` set when no access
// point of the survey matches the filter or it holds no measurement.
bool CheckFloor(const LoadedSurvey& loaded, const std::vector<analysis::Requirement>& requirements,
                const analysis::Filter& filter, std::optional<int> threshold, std::optional<double> radius,
                double areaPass, FloorCheck& out, std::string& error);

// {"pass": ..., "area_pass": ..., "requirements": [...], "map_error_db": ..., "kernel": ..., "points": ...};
// areas in m² are null without a plan scale.
std::string CheckJson(const FloorCheck& check, const analysis::PlanScale& scale);
// One line per requirement: "PASS signal>=-67: 97.5 % of the surveyed area passes, ...".
std::string CheckText(const FloorCheck& check, const analysis::PlanScale& scale);

// The plan with requirement `which` drawn as pass, fail and not surveyed.
QImage RenderPassFailMap(const LoadedSurvey& loaded, const FloorCheck& check, std::size_t which, int maxWidth = 0);

// The file for map `n` (from 0) of `count`: PATH itself for a single map,
// else PATH with "-1", "-2" ... before its extension.
std::string NumberedPath(const std::string& path, std::size_t n, std::size_t count);

}  // namespace quorl::tools
