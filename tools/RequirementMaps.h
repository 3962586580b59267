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
    // Percent of the plan that may stay unsurveyed before a requirement is incomplete.
    double maxUnsurveyed = analysis::kDefaultMaxUnsurveyed;
    std::vector<analysis::RequirementShares> results;
    std::vector<analysis::MetricOptions> options;  // the map each result was taken from
    analysis::GridGeometry geometry;
    double radius = 0;
    bool radiusGiven = false;
    bool radiusCapped = false;
    std::size_t points = 0;                 // measurements on the plan
    std::optional<analysis::MapError> error;  // of the strongest-signal map
    std::string kernel;                       // that map's kernel, by name
    std::string areaName;                     // the --area mask, if one was given

    analysis::FloorVerdict VerdictOf(std::size_t which) const;
    // The worst of the requirements' verdicts; fail with none.
    analysis::FloorVerdict Verdict() const;
    bool Pass() const { return Verdict() == analysis::FloorVerdict::Pass; }
};

// Evaluates `requirements` with `filter` (counts at `threshold` where
// given, else each metric's own), over the part of the plan that counts
// (`loaded.area`). False with `error` set when no access point of the
// survey matches the filter or it holds no measurement. `out.maxUnsurveyed`
// is kept.
bool CheckFloor(const LoadedSurvey& loaded, const std::vector<analysis::Requirement>& requirements,
                const analysis::Filter& filter, std::optional<int> threshold, std::optional<double> radius,
                double areaPass, FloorCheck& out, std::string& error);

// {"verdict": ..., "pass": ..., "area_pass": ..., "max_unsurveyed": ..., "area": MASK or null, "requirements": [...],
//  "map_error_db": ..., "kernel": ..., "points": ...};
// areas in m² are null without a plan scale.
std::string CheckJson(const FloorCheck& check, const analysis::PlanScale& scale);
// One line per requirement: "PASS signal>=-67: 97.5 % of the surveyed area passes, ...",
// then the floor's verdict.
std::string CheckText(const FloorCheck& check, const analysis::PlanScale& scale);

// "incomplete: 38 % of the plan not surveyed, at most 10 % allowed" for
// requirement `which`, as the text, the maps and the report say it.
std::string IncompleteText(const FloorCheck& check, std::size_t which);
// The same for the floor: of its incomplete requirement least surveyed.
std::string IncompleteText(const FloorCheck& check);

// The plan with requirement `which` drawn as pass, fail and not surveyed.
QImage RenderPassFailMap(const LoadedSurvey& loaded, const FloorCheck& check, std::size_t which, int maxWidth = 0);

// The file for map `n` (from 0) of `count`: PATH itself for a single map,
// else PATH with "-1", "-2" ... before its extension.
std::string NumberedPath(const std::string& path, std::size_t n, std::size_t count);

}  // namespace quorl::tools
