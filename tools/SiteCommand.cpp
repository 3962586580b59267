// quorl site new|add-floor|add-survey|remove-survey|info: a building's site
// file (NAME.qsite), its floors and the surveys taken on each. Every change
// is checked whole before the file is written (through the output helper);
// anything refused leaves the file as it was and exits 2.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
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

int Usage(const std::string& why) {
    std::fprintf(stderr, "quorl site: %s\n%s", why.c_str(), kUsage);
    return 2;
}

// The words after the action: options with a value, the flags in
// `switches`, and the rest in order.
struct Words {
    std::map<std::string, std::string> options;
    std::vector<std::string> flags;
    std::vector<std::string> rest;
};

bool Split(const std::vector<std::string>& args, const std::vector<std::string>& valued,
           const std::vector<std::string>& switches, Words& out, std::string& why) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            out.rest.push_back(a);
        } else if (std::find(switches.begin(), switches.end(), a) != switches.end()) {
            out.flags.push_back(a);
        } else if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
            if (i + 1 >= args.size()) {
                why = a + " needs a value";
                return false;
            }
            if (out.options.count(a)) {
                why = a + " is given twice";
                return false;
            }
            out.options[a] = args[++i];
        } else {
            why = "unexpected argument '" + a + "'";
            return false;
        }
    }
    return true;
}

int Save(const std::string& sitePath, const Site& site) {
    std::string error;
    if (!SaveSite(sitePath, site, error)) return Error(error);
    return 0;
}

int New(const std::string& sitePath, const Words& w) {
    if (!w.options.count("--name") || w.options.at("--name").empty()) return Usage("site new needs --name NAME");
    if (!w.rest.empty()) return Usage("unexpected argument '" + w.rest.front() + "'");
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(sitePath, ec)))
        return Error(sitePath + " is already there: a new site never replaces a file.");
    Site site;
    site.name = w.options.at("--name");
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

int AddFloorTo(const std::string& sitePath, Site& site, const Words& w) {
    if (!w.options.count("--name") || !w.options.count("--projection"))
        return Usage("site add-floor needs --name FLOOR and --projection P");
    if (!w.rest.empty()) return Usage("unexpected argument '" + w.rest.front() + "'");
    Floor floor;
    floor.name = w.options.at("--name");
    if (w.options.count("--level")) {
        const auto v = Number(w.options.at("--level"));
        if (!v || *v != std::floor(*v) || std::fabs(*v) > 1000) return Usage("--level takes a whole number from -1000 to 1000");
        floor.level = static_cast<int>(*v);
    }
    if (w.options.count("--height")) {
        const auto v = Number(w.options.at("--height"));
        if (!v || *v <= 0 || *v > 1000) return Usage("--height takes metres above 0 (at most 1000)");
        floor.heightMetres = *v;
    }
    const std::string projection = w.options.at("--projection");
    analysis::PlanSource plan;
    std::string error;
    if (!ReadPlan(projection, plan, error)) return Error(error);
    floor.projection = StoredPath(sitePath, projection);
    if (!AddFloor(site, std::move(floor), error)) return Error(error);
    return Save(sitePath, site);
}

int ChangeSurveys(const std::string& sitePath, Site& site, const Words& w, bool add) {
    if (!w.options.count("--floor")) return Usage(std::string("site ") + (add ? "add" : "remove") + "-survey needs --floor FLOOR");
    if (w.rest.empty()) return Usage("no survey named");
    const std::string floorName = w.options.at("--floor");
    std::string error;
    const Floor* floor = site.FindFloor(floorName);
    analysis::PlanSource plan;
    if (add && floor && !ReadPlan(OpenPath(sitePath, floor->projection), plan, error))
        return Error("floor \"" + floorName + "\": " + error);
    for (const std::string& survey : w.rest) {
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

int Run(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() < 2) return Usage("an action and a site file are needed");
    const std::string& action = args[0];
    const std::string& sitePath = args[1];
    const std::vector<std::string> rest(args.begin() + 2, args.end());
    Words w;
    std::string why;
    if (action == "new") {
        if (!Split(rest, {"--name"}, {}, w, why)) return Usage(why);
        return New(sitePath, w);
    }
    const std::vector<std::string> valued = action == "add-floor" ? std::vector<std::string>{"--name", "--projection", "--level", "--height"}
                                            : action == "info"    ? std::vector<std::string>{}
                                                                  : std::vector<std::string>{"--floor"};
    if (action != "add-floor" && action != "add-survey" && action != "remove-survey" && action != "info")
        return Usage("unknown action '" + action + "'");
    if (!Split(rest, valued, action == "info" ? std::vector<std::string>{"--json"} : std::vector<std::string>{}, w, why))
        return Usage(why);
    Site site;
    std::string error;
    if (!LoadSite(sitePath, site, error)) return Error(error);
    if (action == "add-floor") return AddFloorTo(sitePath, site, w);
    if (action == "add-survey") return ChangeSurveys(sitePath, site, w, true);
    if (action == "remove-survey") return ChangeSurveys(sitePath, site, w, false);
    if (!w.rest.empty()) return Usage("unexpected argument '" + w.rest.front() + "'");
    return Info(sitePath, site, !w.flags.empty());
}

const RegisterCommand kRegistration("site",
                                    "site new|add-floor|add-survey|remove-survey|info SITE.qsite ...    a building's floors and surveys",
                                    Run);

}  // namespace

}  // namespace quorl::tools
