#pragma once
// One answer for a building: every floor of a site file checked against the
// same requirements, as `quorl check SITE` and the report's building table
// use it. A floor without a survey is not surveyed: incomplete, so a
// building with one cannot pass. The building's verdict is the worst of
// its floors'.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/FloorVerdict.h"
#include "analysis/PlanScale.h"
#include "analysis/Requirement.h"
#include "site/Site.h"
#include "tools/RequirementMaps.h"

namespace quorl::tools {

struct SiteCheckOptions {
    std::vector<analysis::Requirement> requirements;  // empty: the site's own
    std::optional<double> areaPass;                   // none: the site's, else 95
    std::optional<double> maxUnsurveyed;              // none: the site's, else the default
    analysis::Filter filter;
    std::optional<int> threshold;
    std::optional<analysis::Distance> radius;
    std::optional<analysis::MacAddress> radio;  // its networks become filter.radioMembers on each floor
};

struct FloorResult {
    site::Floor floor;
    bool surveyed = false;
    FloorCheck check;
    analysis::PlanScale scale;
    std::string scaleWarning;
};

struct SiteVerdict {
    std::string name;
    double areaPass = 95;
    double maxUnsurveyed = analysis::kDefaultMaxUnsurveyed;
    std::vector<analysis::Requirement> requirements;
    std::vector<FloorResult> floors;

    // Incomplete for a floor not surveyed; fail for a site of no floors.
    static analysis::FloorVerdict VerdictOf(const FloorResult& floor);
    analysis::FloorVerdict Verdict() const;
    bool Pass() const { return Verdict() == analysis::FloorVerdict::Pass; }
};

// Called for each surveyed floor with its loaded surveys and check, while
// they are in memory (the maps are drawn from them).
using FloorVisit = std::function<bool(const FloorResult&, const LoadedSurvey&, std::string& error)>;

// The requirements of `options`, else those stored in the site; false with
// `error` when neither gives any or the site's cannot be read.
bool SiteRequirementsOr(const site::Site& site, const SiteCheckOptions& options,
                        std::vector<analysis::Requirement>& out, double& areaPass, double& maxUnsurveyed,
                        std::string& error);

// Checks every floor. False with `error` (naming the floor) when one
// cannot be answered: a projection or survey that cannot be read or does
// not fit, a filter nothing on the floor matches.
bool CheckSite(const std::string& sitePath, const site::Site& site, const SiteCheckOptions& options,
               SiteVerdict& out, std::string& error, const FloorVisit& visit = {});

// A line per floor and requirement, then the building's verdict.
std::string SiteCheckText(const SiteVerdict& verdict);
// {"verdict", "pass", "site", "area_pass", "max_unsurveyed", "floors": [{"name", "level", "surveyed", and
// what check says of the floor alone: "verdict", "pass", "requirements", "map_error_db", "points" ...}],
// "not_surveyed": [...]}
std::string SiteCheckJson(const SiteVerdict& verdict);

// `quorl check SITE`: prints the verdict (JSON with `json`), draws the
// pass/fail maps of each floor to `mapPath` with "-FLOOR" before its
// extension (and "-1", "-2" ... for several requirements). 0 when the
// building passes, 1 when it does not, 2 when no answer can be given.
int RunSiteCheck(const std::string& sitePath, const SiteCheckOptions& options, bool json, const std::string& mapPath);

// The file for map `n` of `count` of a floor: PATH-FLOOR.png, PATH-FLOOR-2.png ...
std::string FloorMapPath(const std::string& path, const std::string& floorName, std::size_t n, std::size_t count);

// A file name part for a floor: its name with anything but letters,
// digits, '-' and '_' replaced by '_'.
std::string FloorSlug(const std::string& floorName);

}  // namespace quorl::tools
