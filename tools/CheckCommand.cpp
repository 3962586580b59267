// quorl check SURVEY.ssd... --projection SITE --require EXPR... | --profile P:
// does the floor meet its requirements? (quorl check BUILDING.qsite: every
// floor of a site file, see SiteCheck.h.) Exit 0 when every requirement
// passes on at least --area-pass percent of the surveyed area with at most
// --max-unsurveyed percent of the plan not surveyed, 1 when one fails or
// is incomplete, 2 for anything that prevents an answer (bad arguments, a
// survey that cannot be read or does not belong to the plan, a map that
// cannot be written): 1 is only ever a verdict.

#include <cmath>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/RadioGroups.h"
#include "common/UserMessages.h"
#include "survey/OutputTarget.h"
#include "tools/AreaMask.h"
#include "tools/CommandRegistry.h"
#include "site/SiteFile.h"
#include "tools/RequirementMaps.h"
#include "tools/StandardStreams.h"
#include "tools/SiteCheck.h"

namespace quorl::tools {

namespace {

using namespace quorl::analysis;

constexpr const char* kUsage =
    "usage: quorl check SURVEY.ssd... --projection SITE.gpf|.lpf --require EXPR... [--profile voice|data|basic]\n"
    "       quorl check BUILDING.qsite [--require EXPR... | --profile P] (every floor; the site's own requirements\n"
    "                   where none are given)\n"
    "                   [--ssid NAME] [--band 2.4|5] [--radio MAC] [--threshold DBM] [--radius PX|Nm]\n"
    "                   [--area-pass PCT] [--max-unsurveyed PCT] [--area MASK.png] [--json] [-o MAP.png]\n"
    "       EXPR: signal>=-67, secondary>=-67, ap-count>=2, co-channel<=2 (operators >= <= > < =)\n";

int Error(const std::string& text) {
    std::fprintf(stderr, "quorl check: %s\n", text.c_str());
    return 2;
}

int Usage(const std::string& why) {
    std::fprintf(stderr, "quorl check: %s\n%s", why.c_str(), kUsage);
    return 2;
}


// A word after --require that is another requirement rather than a survey.
bool LooksLikeRequirement(const std::string& word) {
    return !word.empty() && word[0] != '-' && word.find_first_of("<>=") != std::string::npos;
}

struct CheckArgs {
    std::vector<std::string> surveys;
    std::string projection, out, area;
    // --require and --profile in the order given: the results and maps keep it.
    std::vector<std::pair<bool, std::string>> requirements;  // (profile?, text)
    std::optional<std::string> ssid, radio, band, threshold, radius, areaPass, maxUnsurveyed;
    bool json = false;
};

int Run(const CheckArgs& args) {
    std::vector<std::string> surveys = args.surveys;
    const std::string& projectionPath = args.projection;
    const std::string& out = args.out;
    std::vector<Requirement> requirements;
    Filter filter;
    std::optional<int> threshold;
    std::optional<Distance> radius;
    double areaPass = 95;
    double maxUnsurveyed = kDefaultMaxUnsurveyed;
    const bool json = args.json;
    for (const auto& [profile, text] : args.requirements) {
        if (profile) {
            const auto p = ProfileRequirements(text);
            if (!p) return Usage("--profile takes voice, data or basic");
            requirements.insert(requirements.end(), p->begin(), p->end());
        } else {
            std::string why;
            const auto r = ParseRequirement(text, why);
            if (!r) return Usage(why);
            requirements.push_back(*r);
        }
    }
    if (args.ssid) filter.ssid = *args.ssid;
    if (args.radio) {
        MacAddress mac;
        if (!ParseMac(*args.radio, mac)) return Usage("--radio takes six hex pairs, as 00-0A-1B-2C-3D-01");
        filter.radio = mac;
    }
    if (args.band) {
        if (*args.band == "2.4") filter.band = Band::Ghz24;
        else if (*args.band == "5") filter.band = Band::Ghz5;
        else return Usage("--band takes 2.4 or 5");
    }
    if (args.threshold) {
        const auto v = NumberArgument(*args.threshold);
        if (!v || *v < -128 || *v > 0) return Usage("--threshold takes a level in dBm (-128 to 0)");
        threshold = static_cast<int>(std::lround(*v));
    }
    if (args.radius) {
        radius = ParseDistance(*args.radius);
        if (!radius || radius->value > 100000)
            return Usage("--radius takes a distance above 0: plan pixels (120 or 120px) or metres (5m)");
    }
    if (args.areaPass) {
        const auto v = NumberArgument(*args.areaPass);
        if (!v || *v < 0 || *v > 100) return Usage("--area-pass takes a percentage from 0 to 100");
        areaPass = *v;
    }
    if (args.maxUnsurveyed) {
        const auto v = NumberArgument(*args.maxUnsurveyed);
        if (!v || *v < 0 || *v > 100) return Usage("--max-unsurveyed takes a percentage from 0 to 100");
        maxUnsurveyed = *v;
    }
    if (surveys.size() == 1 && site::IsSitePath(surveys.front())) {
        if (!projectionPath.empty()) return Usage("a site file names each floor's projection: leave out --projection");
        if (!args.area.empty()) return Usage("--area masks one plan: it is not for a site file");
        if (IsStandardStream(out))
            return Usage("the maps are PNG files: -o names them (--json sends the verdict to standard output)");
        SiteCheckOptions options{requirements, std::nullopt, std::nullopt, filter, threshold, radius, filter.radio};
        if (args.areaPass) options.areaPass = areaPass;
        if (args.maxUnsurveyed) options.maxUnsurveyed = maxUnsurveyed;
        return RunSiteCheck(surveys.front(), options, json, out);
    }
    if (surveys.empty() || projectionPath.empty()) return Usage("a survey and --projection are needed");
    if (requirements.empty()) return Usage("nothing to check: give --require EXPR or --profile");
    if (IsStandardStream(out))
        return Usage("the maps are PNG files: -o names them (--json sends the verdict to standard output)");
    std::string error;
    std::vector<std::string*> surveyPaths;
    for (std::string& s : surveys) surveyPaths.push_back(&s);
    if (!ReadStandardInputAsFile(surveyPaths, error)) return Error(error);

    // Every map this run may write is refused before any work, as heatmap's -o is.
    std::vector<std::string> inputs = ProjectionInputs(projectionPath);
    inputs.insert(inputs.end(), surveys.begin(), surveys.end());
    if (!args.area.empty()) inputs.push_back(args.area);
    if (!out.empty())
        for (std::size_t i = 0; i < requirements.size(); ++i) {
            const std::string path = NumberedPath(out, i, requirements.size());
            if (const int why = RefusedOutput(path, inputs))
                return Error("cannot write " + path + ": " + SystemErrorText(why));
        }

    // Fonts for the maps need the application; a verdict alone does not.
    if (!out.empty()) StartPictureApp();
    LoadedSurvey loaded;
    if (!LoadSurveysOnPlan(surveys, projectionPath, loaded, error)) return Error(error);
    if (!loaded.scaleWarning.empty()) std::fprintf(stderr, "quorl check: %s\n", loaded.scaleWarning.c_str());
    if (!args.area.empty() && !LoadAreaMask(args.area, loaded, error)) return Error(error);
    if (filter.radio) {
        filter.radioMembers = RadioMembers(loaded.survey, *filter.radio);
        if (filter.radioMembers.empty())
            return Error(MacText(*filter.radio) + " is not heard anywhere in " + loaded.survey.name +
                         ": --radio takes the address of one of its networks");
    }
    std::optional<double> radiusPixels;
    if (radius) {
        radiusPixels = ToPixels(*radius, loaded.scale);
        if (!radiusPixels)
            return Error("--radius in metres needs a plan scale, and " + loaded.plan.name +
                         " has none: give it one with quorl proj scale, or the radius in plan pixels");
        if (*radiusPixels > 100000) return Usage("--radius is more than 100000 plan pixels");
    }
    FloorCheck check;
    check.maxUnsurveyed = maxUnsurveyed;
    if (!CheckFloor(loaded, requirements, filter, threshold, radiusPixels, areaPass, check, error)) return Error(error);
    if (!out.empty()) {
        for (std::size_t i = 0; i < check.results.size(); ++i) {
            const std::string path = NumberedPath(out, i, check.results.size());
            if (!SavePng(RenderPassFailMap(loaded, check, i), path, inputs, error)) return Error(error);
        }
    }
    const std::string report = json ? CheckJson(check, loaded.scale) : CheckText(check, loaded.scale);
    std::fputs(report.c_str(), stdout);
    return check.Pass() ? 0 : 1;
}

void Define(Command& c) {
    auto a = std::make_shared<CheckArgs>();
    c.Positionals("SURVEY.ssd...", a->surveys, "collection files of one floor (- for standard input), or one site file (.qsite)");
    c.Option("--projection", a->projection, "SITE.gpf|.lpf", "projection file of the plan (required but with a site file)");
    c.Words("--require", "EXPR...", "requirements, as signal>=-67 ap-count>=2", LooksLikeRequirement,
            [a](const std::string& v) { a->requirements.emplace_back(false, v); });
    c.Each("--profile", "voice|data|basic", "a named set of requirements",
           [a](const std::string& v) { a->requirements.emplace_back(true, v); });
    c.Option("--ssid", a->ssid, "NAME", "only access points of this network");
    c.Option("--band", a->band, "2.4|5", "only this band");
    c.Option("--radio", a->radio, "MAC", "only the networks of this radio (any of its addresses)");
    c.Option("--threshold", a->threshold, "DBM", "level the counts count at");
    c.Option("--radius", a->radius, "PX|Nm", "how far a point reaches: plan pixels, or metres as 5m");
    c.Option("--area-pass", a->areaPass, "PCT", "share of the surveyed area each requirement must pass on (95)");
    c.Option("--max-unsurveyed", a->maxUnsurveyed, "PCT",
             "share of the plan that may stay unsurveyed; more is incomplete (10)");
    c.Option("--area", a->area, "MASK.png", "only the white part of this mask of the plan counts");
    c.Flag("--json", a->json, "the verdict as JSON");
    c.Option("-o,--output", a->out, "MAP.png", "pass/fail map (MAP-1.png, MAP-2.png ... for several requirements)");
    c.Does([a] { return Run(*a); });
}

const RegisterCommand kRegistration("check", "does the floor meet its requirements?", kUsage, Define);

}  // namespace

}  // namespace quorl::tools
