// quorl heatmap SURVEY.ssd --projection SITE --metric M [filters] ... -o OUT.png
// [--values OUT.csv]: one coverage map of a survey over its plan, and the
// interpolated grid as numbers.

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
#include "tools/CoverageMaps.h"

namespace quorl::tools {

namespace {

using namespace quorl::analysis;

constexpr const char* kUsage =
    "usage: quorl heatmap SURVEY.ssd --projection SITE.gpf|.lpf [--metric signal|secondary|ap-count|co-channel]\n"
    "                     [--ssid NAME] [--mac MAC] [--radio MAC] [--band 2.4|5] [--channel N] [--threshold DBM]\n"
    "                     [--min DBM] [--max DBM] [--radius PX|Nm] [--scale viridis|classes]\n"
    "                     -o OUT.png [--values OUT.csv]\n";

int Fail(const std::string& text) {
    std::fprintf(stderr, "quorl heatmap: %s\n", text.c_str());
    return 1;
}

int Usage(const std::string& why) {
    std::fprintf(stderr, "quorl heatmap: %s\n%s", why.c_str(), kUsage);
    return 2;
}


int Run(const std::vector<std::string>& args) {
    std::string surveyPath, projectionPath, out, values;
    MetricOptions options = DefaultOptions(Metric::Signal);
    std::optional<int> threshold;
    std::optional<Distance> radius;
    double min = coverage::ColourScale::kDefaultMin, max = coverage::ColourScale::kDefaultMax;
    bool classes = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a.size() > 1 && a[0] == '-' && !hasValue) return Usage(a + " needs a value");
        if (a == "--projection") {
            projectionPath = args[++i];
        } else if (a == "--metric") {
            const auto m = ParseMetric(args[++i]);
            if (!m) return Usage("unknown metric '" + args[i] + "'");
            options.metric = *m;
        } else if (a == "--ssid") {
            options.filter.ssid = args[++i];
        } else if (a == "--mac") {
            MacAddress mac;
            if (!ParseMac(args[++i], mac)) return Usage("--mac takes six hex pairs, as 00-0A-1B-2C-3D-01");
            options.filter.mac = mac;
        } else if (a == "--radio") {
            MacAddress mac;
            if (!ParseMac(args[++i], mac)) return Usage("--radio takes six hex pairs, as 00-0A-1B-2C-3D-01");
            options.filter.radio = mac;
        } else if (a == "--band") {
            const std::string& v = args[++i];
            if (v == "2.4") options.filter.band = Band::Ghz24;
            else if (v == "5") options.filter.band = Band::Ghz5;
            else return Usage("--band takes 2.4 or 5");
        } else if (a == "--channel") {
            const auto v = NumberArgument(args[++i]);
            if (!v || *v < 1 || *v > 255 || *v != std::floor(*v)) return Usage("--channel takes a channel number");
            options.filter.channel = static_cast<int>(*v);
        } else if (a == "--threshold") {
            const auto v = NumberArgument(args[++i]);
            if (!v || *v < -128 || *v > 0) return Usage("--threshold takes a level in dBm (-128 to 0)");
            threshold = static_cast<int>(std::lround(*v));
        } else if (a == "--min" || a == "--max") {
            const auto v = NumberArgument(args[++i]);
            if (!v || *v < -150 || *v > 50) return Usage(a + " takes a level in dBm");
            (a == "--min" ? min : max) = *v;
        } else if (a == "--radius") {
            radius = ParseDistance(args[++i]);
            if (!radius || radius->value > 100000)
                return Usage("--radius takes a distance above 0: plan pixels (120 or 120px) or metres (5m)");
        } else if (a == "--scale") {
            const std::string& v = args[++i];
            if (v == "classes") classes = true;
            else if (v != "viridis") return Usage("--scale takes viridis or classes");
        } else if (a == "-o" || a == "--output") {
            out = args[++i];
        } else if (a == "--values") {
            values = args[++i];
        } else if (!a.empty() && a[0] != '-' && surveyPath.empty()) {
            surveyPath = a;
        } else {
            return Usage("unexpected argument '" + a + "'");
        }
    }
    if (surveyPath.empty() || projectionPath.empty() || out.empty())
        return Usage("a survey, --projection and -o are needed");
    if (!(min < max)) return Usage("--min must be below --max");
    // Each count has its own documented threshold; the signal default (0) is no level to count at.
    options.threshold = threshold.value_or(DefaultThreshold(options.metric));

    // Refused before any work, so that a wrong -o costs nothing and writes nothing.
    const std::vector<std::string> inputs{surveyPath, projectionPath};
    if (!values.empty() && SameOutput(out, values)) return Usage("-o and --values must name different files");
    for (const std::string* target : {&out, &values})
        if (!target->empty())
            if (const int why = RefusedOutput(*target, inputs))
                return Fail("cannot write " + *target + ": " + SystemErrorText(why));

    StartPictureApp();
    LoadedSurvey loaded;
    std::string error;
    if (!LoadSurveyOnPlan(surveyPath, projectionPath, loaded, error)) return Fail(error);
    if (!loaded.scaleWarning.empty()) std::fprintf(stderr, "quorl heatmap: %s\n", loaded.scaleWarning.c_str());
    if (options.filter.radio) {
        options.filter.radioMembers = RadioMembers(loaded.survey, *options.filter.radio);
        if (options.filter.radioMembers.empty())
            return Fail(MacText(*options.filter.radio) + " is not heard anywhere in " + loaded.survey.name +
                        ": --radio takes the address of one of its networks");
    }
    std::optional<double> radiusPixels;
    if (radius) {
        radiusPixels = ToPixels(*radius, loaded.scale);
        if (!radiusPixels)
            return Fail("--radius in metres needs a plan scale, and " + loaded.plan.name +
                        " has none: give it one with quorl proj scale, or the radius in plan pixels");
        if (*radiusPixels > 100000) return Usage("--radius is more than 100000 plan pixels");
    }
    CoverageMap map;
    if (!BuildMap(loaded, options, radiusPixels, map, error)) return Fail(error);
    const coverage::ColourScale scale = ScaleFor(options.metric, min, max, classes);
    if (!SavePng(RenderMap(loaded, map, scale), out, inputs, error)) return Fail(error);
    if (!values.empty() && !SaveText(GridCsv(map.grid, IsCount(options.metric)), values, inputs, error)) return Fail(error);

    const Survey& s = loaded.survey;
    std::printf("%s: %s of %zu points (%zu heard nothing, %u deleted, %u without a position, %u off the plan), "
                "radius %s, %zu of %zu cells with data (%s), %zu not heard\n",
                out.c_str(), MetricName(options.metric), map.samples, map.notHeard, s.deleted, s.withoutPosition,
                s.offPlan, DistanceText(map.grid.Radius(), loaded.scale).c_str(), map.grid.CellsWithData(),
                map.grid.Geometry().CellCount(), AreaText(CoveredSquarePixels(map.grid), loaded.scale).c_str(),
                map.grid.CellsNotHeard());
    std::printf("%s\n", MapErrorLine(map).c_str());
    return 0;
}

const RegisterCommand kRegistration("heatmap",
                                    "heatmap SURVEY.ssd --projection SITE --metric M ... -o OUT.png    coverage map",
                                    Run);

}  // namespace

}  // namespace quorl::tools
