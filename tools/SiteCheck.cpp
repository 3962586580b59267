#include "tools/SiteCheck.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <thread>

#include "analysis/RadioGroups.h"
#include "site/SiteFile.h"

namespace quorl::tools {

using namespace quorl::analysis;

FloorVerdict SiteVerdict::VerdictOf(const FloorResult& floor) {
    return floor.surveyed ? floor.check.Verdict() : FloorVerdict::Incomplete;
}

FloorVerdict SiteVerdict::Verdict() const {
    if (floors.empty()) return FloorVerdict::Fail;
    FloorVerdict worst = FloorVerdict::Pass;
    for (const FloorResult& f : floors) worst = Worse(worst, VerdictOf(f));
    return worst;
}

bool SiteRequirementsOr(const site::Site& site, const SiteCheckOptions& options, std::vector<Requirement>& out,
                        double& areaPass, double& maxUnsurveyed, std::string& error) {
    areaPass = options.areaPass ? *options.areaPass : site.requirements.areaPass.value_or(95);
    maxUnsurveyed = options.maxUnsurveyed ? *options.maxUnsurveyed
                                          : site.requirements.maxUnsurveyed.value_or(kDefaultMaxUnsurveyed);
    out = options.requirements;
    if (!out.empty()) return true;
    // The site file was checked when it was read; these parse.
    for (const std::string& name : site.requirements.profiles)
        if (const auto profile = ProfileRequirements(name)) out.insert(out.end(), profile->begin(), profile->end());
    for (const std::string& text : site.requirements.require)
        if (const auto r = ParseRequirement(text, error)) out.push_back(*r);
    if (out.empty()) {
        error = "nothing to check: give --require EXPR or --profile, or store requirements in the site file.";
        return false;
    }
    return true;
}

namespace {

// One surveyed floor: its surveys on its plan and its check. Runs on a
// worker thread: touches nothing but its own arguments.
bool CheckOneFloor(const std::string& sitePath, const SiteCheckOptions& options, const SiteVerdict& site,
                   FloorResult& v, LoadedSurvey& loaded, std::string& error) {
    const site::Floor& floor = v.floor;
    const std::string where = "floor \"" + floor.name + "\": ";
    std::vector<std::string> surveys;
    for (const std::string& s : floor.surveys) surveys.push_back(site::OpenPath(sitePath, s));
    if (!LoadSurveysOnPlan(surveys, site::OpenPath(sitePath, floor.projection), loaded, error)) {
        error = where + error;
        return false;
    }
    v.scale = loaded.scale;
    v.scaleWarning = loaded.scaleWarning;
    Filter filter = options.filter;
    if (options.radio) {
        filter.radioMembers = RadioMembers(loaded.survey, *options.radio);
        if (filter.radioMembers.empty()) {
            error = where + MacText(*options.radio) + " is not heard anywhere in " + loaded.survey.name +
                    ": --radio takes the address of one of its networks";
            return false;
        }
    }
    std::optional<double> radiusPixels;
    if (options.radius) {
        radiusPixels = ToPixels(*options.radius, loaded.scale);
        if (!radiusPixels) {
            error = where + "--radius in metres needs a plan scale, and " + loaded.plan.name +
                    " has none: give it one with quorl proj scale, or the radius in plan pixels";
            return false;
        }
    }
    v.check.maxUnsurveyed = site.maxUnsurveyed;
    if (!CheckFloor(loaded, site.requirements, filter, options.threshold, radiusPixels, site.areaPass, v.check,
                    error)) {
        error = where + error;
        return false;
    }
    return true;
}

}  // namespace

bool CheckSite(const std::string& sitePath, const site::Site& site, const SiteCheckOptions& options, SiteVerdict& out,
               std::string& error, const FloorVisit& visit) {
    out = SiteVerdict{};
    out.name = site.name;
    if (!SiteRequirementsOr(site, options, out.requirements, out.areaPass, out.maxUnsurveyed, error)) return false;
    if (site.floors.empty()) {
        error = "the site " + site.name + " has no floors: add one with quorl site add-floor.";
        return false;
    }
    for (const site::Floor& floor : site.floors) {
        FloorResult v;
        v.floor = floor;
        v.surveyed = !floor.surveys.empty();
        v.check.areaPass = out.areaPass;
        v.check.maxUnsurveyed = out.maxUnsurveyed;
        out.floors.push_back(std::move(v));
    }
    // Floors are independent: a few at a time on the machine's cores, each
    // batch visited in floor order and let go before the next, so memory
    // holds at most a batch of plans.
    const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    for (std::size_t first = 0; first < out.floors.size(); first += workers) {
        const std::size_t last = std::min(out.floors.size(), first + workers);
        std::vector<LoadedSurvey> loaded(last - first);
        std::vector<std::string> errors(last - first);
        std::vector<char> ok(last - first, 1);
        {
            std::vector<std::jthread> threads;
            for (std::size_t i = first; i < last; ++i) {
                if (!out.floors[i].surveyed) continue;
                threads.emplace_back([&, i] {
                    ok[i - first] = CheckOneFloor(sitePath, options, out, out.floors[i], loaded[i - first],
                                                  errors[i - first]);
                });
            }
        }
        for (std::size_t i = first; i < last; ++i) {
            if (!ok[i - first]) {
                error = errors[i - first];
                return false;
            }
            if (out.floors[i].surveyed && visit && !visit(out.floors[i], loaded[i - first], error)) return false;
        }
    }
    return true;
}

namespace {

std::string FloorTitle(const FloorResult& f) {
    return "floor \"" + f.floor.name + "\" (level " + std::to_string(f.floor.level) + ")";
}

}  // namespace

std::string SiteCheckText(const SiteVerdict& verdict) {
    std::string t;
    std::size_t passing = 0, failing = 0, incomplete = 0, unsurveyed = 0;
    for (const FloorResult& f : verdict.floors) {
        if (!f.surveyed) {
            ++unsurveyed;
            t += "NOT SURVEYED " + FloorTitle(f) + ": no survey, so the floor is incomplete\n";
            continue;
        }
        const FloorVerdict v = f.check.Verdict();
        ++(v == FloorVerdict::Pass ? passing : v == FloorVerdict::Fail ? failing : incomplete);
        // The floor's own lines, each under its floor.
        const std::string lines = CheckText(f.check, f.scale);
        std::size_t start = 0;
        while (start < lines.size()) {
            const std::size_t end = lines.find('\n', start);
            t += FloorTitle(f) + " " + lines.substr(start, end - start) + "\n";
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    char summary[256];
    std::snprintf(summary, sizeof summary, ": %zu of %zu floors pass, %zu fail, %zu incomplete, %zu not surveyed\n",
                  passing, verdict.floors.size(), failing, incomplete, unsurveyed);
    t += "BUILDING " + std::string(VerdictLabel(verdict.Verdict())) + " " + verdict.name + summary;
    return t;
}

std::string SiteCheckJson(const SiteVerdict& verdict) {
    using Json = nlohmann::ordered_json;
    Json j;
    j["verdict"] = VerdictName(verdict.Verdict());
    j["pass"] = verdict.Pass();
    j["site"] = verdict.name;
    j["area_pass"] = verdict.areaPass;
    j["max_unsurveyed"] = verdict.maxUnsurveyed;
    j["floors"] = Json::array();
    j["not_surveyed"] = Json::array();
    for (const FloorResult& f : verdict.floors) {
        Json floor;
        floor["name"] = f.floor.name;
        floor["level"] = f.floor.level;
        floor["surveyed"] = f.surveyed;
        if (f.surveyed) {
            // The floor's verdict as `check` gives it for one floor.
            const Json own = Json::parse(CheckJson(f.check, f.scale));
            for (const auto& [key, value] : own.items()) floor[key] = value;
        } else {
            floor["verdict"] = VerdictName(FloorVerdict::Incomplete);
            floor["pass"] = false;
            floor["area_pass"] = verdict.areaPass;
            floor["max_unsurveyed"] = verdict.maxUnsurveyed;
            floor["requirements"] = Json::array();
            floor["map_error_db"] = nullptr;
            floor["kernel"] = nullptr;
            floor["points"] = 0;
            j["not_surveyed"].push_back(f.floor.name);
        }
        j["floors"].push_back(std::move(floor));
    }
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string FloorSlug(const std::string& floorName) {
    std::string slug;
    for (unsigned char c : floorName) slug += std::isalnum(c) || c == '-' || c == '_' ? static_cast<char>(c) : '_';
    return slug.empty() ? "floor" : slug;
}

}  // namespace quorl::tools
