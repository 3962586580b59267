#pragma once
// A floor's files as they are on the disk: whether its projection reads,
// and whether each survey reads and its points fit the floor's plan (the
// same rule the analysing commands apply: no more than half of the points
// with a position off the plan). A collection with no point yet (just
// begun in the collector) fits any plan.

#include <cstddef>
#include <string>
#include <vector>

#include "analysis/PlanScale.h"
#include "analysis/PlanSource.h"
#include "site/Site.h"

namespace quorl::site {

struct SurveyFiles {
    std::string stored;
    std::string path;      // to open
    bool fits = false;
    std::size_t points = 0;  // placed on the plan
    std::string error;       // why it does not fit or cannot be read
};

struct FloorFiles {
    std::string projectionPath;  // to open
    bool projectionRead = false;
    std::string error;  // why the projection cannot be read
    // The plan without its image (kind, transform, size in pixels).
    analysis::PlanSource plan;
    analysis::PlanScale scale;
    std::string scaleWarning;
    std::vector<SurveyFiles> surveys;

    std::size_t Points() const;
    // The first thing wrong (projection or survey), as a sentence; empty
    // when everything reads and fits.
    std::string FirstProblem() const;
};

// Reads the projection and places every survey of the floor on its plan.
FloorFiles InspectFloor(const std::string& sitePath, const Floor& floor);

// The projection at `projectionPath` read for its plan (image dropped).
bool ReadPlan(const std::string& projectionPath, analysis::PlanSource& plan, std::string& error);

// One survey placed on a plan read by ReadPlan.
SurveyFiles FitSurvey(const std::string& path, const analysis::PlanSource& plan);

}  // namespace quorl::site
