// quorl check SURVEY.ssd... --projection SITE --require EXPR... | --profile P:
// does the floor meet its requirements? Exit 0 when every requirement
// passes on at least --area-pass percent of the surveyed area, 1 when one
// does not, 2 for anything that prevents an answer (bad arguments, a
// survey that cannot be read or does not belong to the plan, a map that
// cannot be written): 1 is only ever a verdict.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "analysis/RadioGroups.h"
#include "common/UserMessages.h"
#include "survey/OutputTarget.h"
#include "tools/CommandRegistry.h"
#include "tools/RequirementMaps.h"

namespace quorl::tools {

namespace {

using namespace quorl::analysis;

constexpr const char* kUsage =
    "usage: quorl check SURVEY.ssd... --projection SITE.gpf|.lpf --require EXPR... [--profile voice|data|basic]\n"
    "                   [--ssid NAME] [--band 2.4|5] [--radio MAC] [--threshold DBM] [--radius PX|Nm]\n"
    "                   [--area-pass PCT] [--json] [-o MAP.png]\n"
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

int Run(const std::vector<std::string>& args) {
    std::vector<std::string> surveys;
    std::string projectionPath, out;
    std::vector<Requirement> requirements;
    Filter filter;
    std::optional<int> threshold;
    std::optional<Distance> radius;
    double areaPass = 95;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
            continue;
        }
        const bool hasValue = i + 1 < args.size();
        if (a.size() > 1 && a[0] == '-' && !hasValue) return Usage(a + " needs a value");
        if (a == "--projection") {
            projectionPath = args[++i];
        } else if (a == "--require") {
            do {
                std::string why;
                const auto r = ParseRequirement(args[++i], why);
                if (!r) return Usage(why);
                requirements.push_back(*r);
            } while (i + 1 < args.size() && LooksLikeRequirement(args[i + 1]));
        } else if (a == "--profile") {
            const auto profile = ProfileRequirements(args[++i]);
            if (!profile) return Usage("--profile takes voice, data or basic");
            requirements.insert(requirements.end(), profile->begin(), profile->end());
        } else if (a == "--ssid") {
            filter.ssid = args[++i];
        } else if (a == "--radio") {
            MacAddress mac;
            if (!ParseMac(args[++i], mac)) return Usage("--radio takes six hex pairs, as 00-0A-1B-2C-3D-01");
            filter.radio = mac;
        } else if (a == "--band") {
            const std::string& v = args[++i];
            if (v == "2.4") filter.band = Band::Ghz24;
            else if (v == "5") filter.band = Band::Ghz5;
            else return Usage("--band takes 2.4 or 5");
        } else if (a == "--threshold") {
            const auto v = NumberArgument(args[++i]);
            if (!v || *v < -128 || *v > 0) return Usage("--threshold takes a level in dBm (-128 to 0)");
            threshold = static_cast<int>(std::lround(*v));
        } else if (a == "--radius") {
            radius = ParseDistance(args[++i]);
            if (!radius || radius->value > 100000)
                return Usage("--radius takes a distance above 0: plan pixels (120 or 120px) or metres (5m)");
        } else if (a == "--area-pass") {
            const auto v = NumberArgument(args[++i]);
            if (!v || *v < 0 || *v > 100) return Usage("--area-pass takes a percentage from 0 to 100");
            areaPass = *v;
        } else if (a == "-o" || a == "--output") {
            out = args[++i];
        } else if (!a.empty() && a[0] != '-') {
            surveys.push_back(a);
        } else {
            return Usage("unexpected argument '" + a + "'");
        }
    }
    if (surveys.empty() || projectionPath.empty()) return Usage("a survey and --projection are needed");
    if (requirements.empty()) return Usage("nothing to check: give --require EXPR or --profile");

    // Every map this run may write is refused before any work, as heatmap's -o is.
    std::vector<std::string> inputs = surveys;
    inputs.push_back(projectionPath);
    if (!out.empty())
        for (std::size_t i = 0; i < requirements.size(); ++i) {
            const std::string path = NumberedPath(out, i, requirements.size());
            if (const int why = RefusedOutput(path, inputs))
                return Error("cannot write " + path + ": " + SystemErrorText(why));
        }

    // Fonts for the maps need the application; a verdict alone does not.
    if (!out.empty()) StartPictureApp();
    LoadedSurvey loaded;
    std::string error;
    if (!LoadSurveysOnPlan(surveys, projectionPath, loaded, error)) return Error(error);
    if (!loaded.scaleWarning.empty()) std::fprintf(stderr, "quorl check: %s\n", loaded.scaleWarning.c_str());
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

const RegisterCommand kRegistration("check",
                                    "check SURVEY.ssd... --projection SITE --require EXPR...    does the floor pass?",
                                    Run);

}  // namespace

}  // namespace quorl::tools
