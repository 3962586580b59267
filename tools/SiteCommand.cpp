// quorl site new|add-floor|add-survey|remove-survey|info: a building's site
// file (NAME.qsite), its floors and the surveys taken on each. Every change
// is checked whole before the file is written (through the output helper);
// anything refused leaves the file as it was and exits 2.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "site/FloorFiles.h"
#include "site/SiteFile.h"
#include "tools/CommandRegistry.h"

namespace quorl::tools {

namespace {

using namespace quorl::site;

constexpr const char* kUsage =
    "usage: quorl site new SITE.qsite --name NAME\n"
    "       quorl site add-floor SITE.qsite --name FLOOR --projection P.gpf|.lpf [--level N] [--height M]\n"
    "       quorl site add-survey SITE.qsite --floor FLOOR SURVEY.ssd...\n"
    "       quorl site remove-survey SITE.qsite --floor FLOOR SURVEY.ssd...\n"
    "       quorl site info SITE.qsite [--json]\n";

int Error(const std::string& text) {
    std::fprintf(stderr, "quorl site: %s\n", text.c_str());
    return 2;
}

// What the actions are given; each takes what it declares.
struct SiteArgs {
    std::string site, name, projection, level, height, floor;
    std::vector<std::string> surveys;
    bool json = false;
};

int Save(const std::string& sitePath, const Site& site) {
    std::string error;
    if (!SaveSite(sitePath, site, error)) return Error(error);
    return 0;
}

int New(const Command& command, const SiteArgs& a) {
    const std::string& sitePath = a.site;
    if (sitePath.empty()) return command.UsageError("a site file is needed");
    if (a.name.empty()) return command.UsageError("site new needs --name NAME");
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(sitePath, ec)))
        return Error(sitePath + " is already there: a new site never replaces a file.");
    Site site;
    site.name = a.name;
    return Save(sitePath, site);
}

std::optional<double> Number(const std::string& text) {
    try {
        std::size_t used = 0;
        const double v = std::stod(text, &used);
        if (used == text.size() && std::isfinite(v)) return v;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

int AddFloorTo(const Command& command, const std::string& sitePath, Site& site, const SiteArgs& a) {
    if (a.name.empty() || a.projection.empty())
        return command.UsageError("site add-floor needs --name FLOOR and --projection P");
    Floor floor;
    floor.name = a.name;
    if (!a.level.empty()) {
        const auto v = Number(a.level);
        if (!v || *v != std::floor(*v) || std::fabs(*v) > 1000)
            return command.UsageError("--level takes a whole number from -1000 to 1000");
        floor.level = static_cast<int>(*v);
    }
    if (!a.height.empty()) {
        const auto v = Number(a.height);
        if (!v || *v <= 0 || *v > 1000) return command.UsageError("--height takes metres above 0 (at most 1000)");
        floor.heightMetres = *v;
    }
    const std::string& projection = a.projection;
    analysis::PlanSource plan;
    std::string error;
    if (!ReadPlan(projection, plan, error)) return Error(error);
    floor.projection = StoredPath(sitePath, projection);
    if (!AddFloor(site, std::move(floor), error)) return Error(error);
    return Save(sitePath, site);
}

int ChangeSurveys(const Command& command, const std::string& sitePath, Site& site, const SiteArgs& a, bool add) {
    if (a.floor.empty()) return command.UsageError("--floor FLOOR is needed");
    if (a.surveys.empty()) return command.UsageError("no survey named");
    const std::string& floorName = a.floor;
    std::string error;
    const Floor* floor = site.FindFloor(floorName);
    analysis::PlanSource plan;
    if (add && floor && !ReadPlan(OpenPath(sitePath, floor->projection), plan, error))
        return Error("floor \"" + floorName + "\": " + error);
    for (const std::string& survey : a.surveys) {
        if (add && site.FindFloor(floorName)) {
            const SurveyFiles fit = FitSurvey(survey, plan);
            if (!fit.fits) return Error(fit.error);
        }
        const std::string stored = StoredPath(sitePath, survey);
        if (!(add ? AddSurvey(site, floorName, stored, error) : RemoveSurvey(site, floorName, stored, error)))
            return Error(error);
    }
    return Save(sitePath, site);
}

const char* KindName(const analysis::PlanSource& plan) { return plan.kind == 0 ? "GPS" : "linear"; }

std::string ScaleText(const analysis::PlanScale& scale) {
    if (!scale.Known()) return "no scale";
    char text[96];
    std::snprintf(text, sizeof text, "%.4g m per pixel (%s)", scale.metresPerPixel,
                  scale.from == analysis::PlanScale::From::Transform ? "from the GPS transform" : "measured");
    return text;
}

int Info(const std::string& sitePath, const Site& site, bool json) {
    std::vector<FloorFiles> floors;
    std::vector<std::string> missing;
    for (const Floor& f : site.floors) {
        floors.push_back(InspectFloor(sitePath, f));
        const FloorFiles& ff = floors.back();
        if (!ff.projectionRead) missing.push_back("floor \"" + f.name + "\": " + ff.error);
        for (const SurveyFiles& s : ff.surveys)
            if (ff.projectionRead && !s.fits) missing.push_back("floor \"" + f.name + "\": " + s.error);
        if (f.surveys.empty()) missing.push_back("floor \"" + f.name + "\" is not surveyed.");
    }
    if (site.floors.empty()) missing.push_back("the site has no floors.");
    if (json) {
        using Json = nlohmann::ordered_json;
        Json j;
        j["site"] = site.name;
        j["file"] = sitePath;
        Json req = Json::object();
        req["profile"] = site.requirements.profiles;
        req["require"] = site.requirements.require;
        req["area_pass"] = site.requirements.areaPass ? Json(*site.requirements.areaPass) : Json(nullptr);
        j["requirements"] = req;
        j["floors"] = Json::array();
        for (std::size_t i = 0; i < floors.size(); ++i) {
            const Floor& f = site.floors[i];
            const FloorFiles& ff = floors[i];
            Json floor;
            floor["name"] = f.name;
            floor["level"] = f.level;
            floor["height_m"] = f.heightMetres ? Json(*f.heightMetres) : Json(nullptr);
            floor["projection"] = ff.projectionPath;
            floor["projection_read"] = ff.projectionRead;
            floor["kind"] = ff.projectionRead ? Json(ff.plan.kind == 0 ? "gps" : "linear") : Json(nullptr);
            floor["width"] = ff.projectionRead ? Json(ff.plan.width) : Json(nullptr);
            floor["height"] = ff.projectionRead ? Json(ff.plan.height) : Json(nullptr);
            floor["metres_per_pixel"] = ff.scale.Known() ? Json(ff.scale.metresPerPixel) : Json(nullptr);
            floor["points"] = ff.Points();
            floor["surveyed"] = !f.surveys.empty();
            floor["surveys"] = Json::array();
            for (const SurveyFiles& s : ff.surveys) {
                Json survey;
                survey["path"] = s.path;
                survey["fits"] = s.fits;
                survey["points"] = s.points;
                survey["error"] = s.fits ? Json(nullptr) : Json(s.error);
                floor["surveys"].push_back(std::move(survey));
            }
            j["floors"].push_back(std::move(floor));
        }
        j["missing"] = missing;
        std::printf("%s\n", j.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
        return 0;
    }
    std::printf("site: %s (%s)\n", site.name.c_str(), sitePath.c_str());
    const SiteRequirements& r = site.requirements;
    if (r.Empty()) {
        std::printf("requirements: none stored (check and report need --profile or --require)\n");
    } else {
        std::string text;
        for (const auto& p : r.profiles) text += (text.empty() ? "" : ", ") + std::string("profile ") + p;
        for (const auto& e : r.require) text += (text.empty() ? "" : ", ") + e;
        if (r.areaPass) {
            char pct[48];
            std::snprintf(pct, sizeof pct, "%sarea pass %g %%", text.empty() ? "" : ", ", *r.areaPass);
            text += pct;
        }
        std::printf("requirements: %s\n", text.c_str());
    }
    for (std::size_t i = 0; i < floors.size(); ++i) {
        const Floor& f = site.floors[i];
        const FloorFiles& ff = floors[i];
        std::printf("floor \"%s\": level %d", f.name.c_str(), f.level);
        if (f.heightMetres) std::printf(", height %g m", *f.heightMetres);
        std::printf(", %zu points\n", ff.Points());
        if (ff.projectionRead)
            std::printf("  projection %s: %s, %d x %d pixels, %s\n", ff.projectionPath.c_str(), KindName(ff.plan),
                        ff.plan.width, ff.plan.height, ScaleText(ff.scale).c_str());
        else
            std::printf("  projection %s: cannot be read\n", ff.projectionPath.c_str());
        if (ff.surveys.empty()) std::printf("  no survey: not surveyed\n");
        for (const SurveyFiles& s : ff.surveys) {
            if (s.fits)
                std::printf("  survey %s: %zu points\n", s.path.c_str(), s.points);
            else
                std::printf("  survey %s: cannot be used\n", s.path.c_str());
        }
    }
    if (missing.empty()) {
        std::printf("missing: nothing\n");
    } else {
        std::printf("missing:\n");
        for (const auto& m : missing) std::printf("  %s\n", m.c_str());
    }
    return 0;
}

// Loads the site, then runs `change` on it; a site that cannot be read is exit 2.
int WithSite(const Command& command, const SiteArgs& a, const std::function<int(Site&)>& change) {
    if (a.site.empty()) return command.UsageError("a site file is needed");
    Site site;
    std::string error;
    if (!LoadSite(a.site, site, error)) return Error(error);
    return change(site);
}

void Define(Command& c) {
    auto a = std::make_shared<SiteArgs>();
    const char* siteHelp = "the site file (.qsite)";
    Command& make = c.Sub("new", "start a site file for a building", "usage: quorl site new SITE.qsite --name NAME\n");
    make.Positional("SITE.qsite", a->site, "the site file to make (never over an existing file)");
    make.Option("--name", a->name, "NAME", "the building's name (required)");
    make.Does([&make, a] { return New(make, *a); });

    Command& floor = c.Sub("add-floor", "add a floor with the projection of its plan",
                           "usage: quorl site add-floor SITE.qsite --name FLOOR --projection P.gpf|.lpf [--level N] "
                           "[--height M]\n");
    floor.Positional("SITE.qsite", a->site, siteHelp);
    floor.Option("--name", a->name, "FLOOR", "the floor's name, unique in the site (required)");
    floor.Option("--projection", a->projection, "P.gpf|.lpf", "the projection of its plan (required)");
    floor.Option("--level", a->level, "N", "its level, a whole number: 0 the ground floor, -1 below (0)");
    floor.Option("--height", a->height, "M", "its height in metres");
    floor.Does([&floor, a] {
        return WithSite(floor, *a, [&](Site& site) { return AddFloorTo(floor, a->site, site, *a); });
    });

    for (const bool add : {true, false}) {
        Command& change = c.Sub(add ? "add-survey" : "remove-survey",
                                add ? "add surveys to a floor (each must fit its plan)" : "take surveys off a floor",
                                std::string("usage: quorl site ") + (add ? "add" : "remove") +
                                    "-survey SITE.qsite --floor FLOOR SURVEY.ssd...\n");
        change.Positional("SITE.qsite", a->site, siteHelp);
        change.Positionals("SURVEY.ssd...", a->surveys, "collection files");
        change.Option("--floor", a->floor, "FLOOR", "the floor (required)");
        change.Does([&change, a, add] {
            return WithSite(change, *a, [&](Site& site) { return ChangeSurveys(change, a->site, site, *a, add); });
        });
    }

    Command& info = c.Sub("info", "floors, surveys, points, plan scale and what is missing",
                          "usage: quorl site info SITE.qsite [--json]\n");
    info.Positional("SITE.qsite", a->site, siteHelp);
    info.Flag("--json", a->json, "as JSON");
    info.Does([&info, a] { return WithSite(info, *a, [&](Site& site) { return Info(a->site, site, a->json); }); });
}

const RegisterCommand kRegistration("site", "a building's site file: its floors and the surveys of each", kUsage,
                                    Define);

}  // namespace

}  // namespace quorl::tools
