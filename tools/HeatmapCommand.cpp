// quorl heatmap SURVEY.ssd... --projection SITE --metric M [filters] ... -o OUT.png
// [--values OUT.csv] [--area MASK.png]: one coverage map of a survey over its
// plan, the interpolated grid as numbers, and the plan in three parts that
// add up to it (a value, not heard, not surveyed). BUILDING.qsite --floor
// FLOOR maps that floor's surveys on its plan.

#include <cmath>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/PlanAreas.h"
#include "analysis/RadioGroups.h"
#include "common/UserMessages.h"
#include "survey/OutputTarget.h"
#include "tools/AreaMask.h"
#include "tools/CommandRegistry.h"
#include "tools/SiteFloorArguments.h"
#include "site/SiteFile.h"
#include "tools/CoverageMaps.h"
#include "tools/StandardStreams.h"

namespace quorl::tools {

namespace {

using namespace quorl::analysis;

constexpr const char* kUsage =
    "usage: quorl heatmap SURVEY.ssd... --projection SITE.gpf|.lpf [--metric signal|secondary|ap-count|co-channel]\n"
    "       quorl heatmap BUILDING.qsite --floor FLOOR [options as above]\n"
    "                     [--ssid NAME] [--mac MAC] [--radio MAC] [--band 2.4|5] [--channel N] [--threshold DBM]\n"
    "                     [--min DBM] [--max DBM] [--radius PX|Nm] [--scale viridis|classes]\n"
    "                     -o OUT.png [--values OUT.csv] [--area MASK.png]\n";

int Fail(const std::string& text) {
    std::fprintf(stderr, "quorl heatmap: %s\n", text.c_str());
    return 1;
}

int Usage(const std::string& why) {
    std::fprintf(stderr, "quorl heatmap: %s\n%s", why.c_str(), kUsage);
    return 2;
}


struct HeatmapArgs {
    std::vector<std::string> surveys;
    std::string projection, out, values, area, floor;
    std::optional<std::string> metric, ssid, mac, radio, band, channel, threshold, min, max, radius, scale;
};

int Run(const HeatmapArgs& args) {
    std::vector<std::string> surveys = args.surveys;
    std::string projectionPath = args.projection;
    if (const auto problem = ResolveSiteFloor(surveys, projectionPath, args.floor)) {
        if (problem->usage) return Usage(problem->text);
        std::fprintf(stderr, "quorl heatmap: %s\n", problem->text.c_str());
        return 2;
    }
    const std::string& out = args.out;
    const std::string& values = args.values;
    MetricOptions options = DefaultOptions(Metric::Signal);
    std::optional<int> threshold;
    std::optional<Distance> radius;
    double min = coverage::ColourScale::kDefaultMin, max = coverage::ColourScale::kDefaultMax;
    bool classes = false;
    if (args.metric) {
        const auto m = ParseMetric(*args.metric);
        if (!m) return Usage("unknown metric '" + *args.metric + "'");
        options.metric = *m;
    }
    if (args.ssid) options.filter.ssid = *args.ssid;
    if (args.mac) {
        MacAddress mac;
        if (!ParseMac(*args.mac, mac)) return Usage("--mac takes six hex pairs, as 00-0A-1B-2C-3D-01");
        options.filter.mac = mac;
    }
    if (args.radio) {
        MacAddress mac;
        if (!ParseMac(*args.radio, mac)) return Usage("--radio takes six hex pairs, as 00-0A-1B-2C-3D-01");
        options.filter.radio = mac;
    }
    if (args.band) {
        if (*args.band == "2.4") options.filter.band = Band::Ghz24;
        else if (*args.band == "5") options.filter.band = Band::Ghz5;
        else return Usage("--band takes 2.4 or 5");
    }
    if (args.channel) {
        const auto v = NumberArgument(*args.channel);
        if (!v || *v < 1 || *v > 255 || *v != std::floor(*v)) return Usage("--channel takes a channel number");
        options.filter.channel = static_cast<int>(*v);
    }
    if (args.threshold) {
        const auto v = NumberArgument(*args.threshold);
        if (!v || *v < -128 || *v > 0) return Usage("--threshold takes a level in dBm (-128 to 0)");
        threshold = static_cast<int>(std::lround(*v));
    }
    for (const auto& [name, text, into] : {std::tuple{"--min", &args.min, &min}, std::tuple{"--max", &args.max, &max}}) {
        if (!*text) continue;
        const auto v = NumberArgument(**text);
        if (!v || *v < -150 || *v > 50) return Usage(std::string(name) + " takes a level in dBm");
        *into = *v;
    }
    if (args.radius) {
        radius = ParseDistance(*args.radius);
        if (!radius || radius->value > 100000)
            return Usage("--radius takes a distance above 0: plan pixels (120 or 120px) or metres (5m)");
    }
    if (args.scale) {
        if (*args.scale == "classes") classes = true;
        else if (*args.scale != "viridis") return Usage("--scale takes viridis or classes");
    }
    if (surveys.empty() || projectionPath.empty() || out.empty())
        return Usage("a survey, --projection and -o are needed");
    if (!(min < max)) return Usage("--min must be below --max");
    // Each count has its own documented threshold; the signal default (0) is no level to count at.
    options.threshold = threshold.value_or(DefaultThreshold(options.metric));

    if (IsStandardStream(out))
        return Usage("the map is a PNG file: -o names it (--values - sends the grid to standard output)");
    const bool valuesOut = IsStandardStream(values);
    std::string error;
    {
        std::vector<std::string*> surveyPaths;
        for (std::string& s : surveys) surveyPaths.push_back(&s);
        if (!ReadStandardInputAsFile(surveyPaths, error)) return Fail(error);
    }

    // Refused before any work, so that a wrong -o costs nothing and writes nothing.
    std::vector<std::string> inputs = ProjectionInputs(projectionPath);
    inputs.insert(inputs.end(), surveys.begin(), surveys.end());
    // The site file is read too: no output may replace it.
    if (args.surveys.size() == 1 && site::IsSitePath(args.surveys.front())) inputs.push_back(args.surveys.front());
    if (!args.area.empty()) inputs.push_back(args.area);
    if (!values.empty() && SameOutput(out, values)) return Usage("-o and --values must name different files");
    for (const std::string* target : {&out, &values})
        if (!target->empty() && !IsStandardStream(*target))
            if (const int why = RefusedOutput(*target, inputs))
                return Fail("cannot write " + *target + ": " + SystemErrorText(why));

    StartPictureApp();
    LoadedSurvey loaded;
    if (!LoadSurveysOnPlan(surveys, projectionPath, loaded, error)) return Fail(error);
    // The map needs only the decoded image: the plan file's bytes would add to the peak.
    std::vector<std::uint8_t>().swap(loaded.plan.bitmap);
    if (!loaded.scaleWarning.empty()) std::fprintf(stderr, "quorl heatmap: %s\n", loaded.scaleWarning.c_str());
    if (!args.area.empty() && !LoadAreaMask(args.area, loaded, error)) return Fail(error);
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
    const std::vector<double> areas = CellAreasOf(loaded, map.grid.Geometry());
    if (valuesOut ? !WriteStandardOutput(GridCsv(map.grid, IsCount(options.metric), &areas), error)
                  : !values.empty() && !SaveText(GridCsv(map.grid, IsCount(options.metric), &areas), values, inputs, error))
        return Fail(error);

    // With the grid on standard output, what was done goes to standard error.
    std::FILE* said = valuesOut ? stderr : stdout;
    const Survey& s = loaded.survey;
    const PlanAreas parts = SplitPlan(map.grid, areas);
    auto area = [&](double squarePixels) { return AreaText(squarePixels, loaded.scale); };
    const std::string whole = loaded.area ? " in the area of " + loaded.areaName : std::string();
    std::fprintf(said, "%s: %s of %zu points (%zu heard nothing, %u deleted, %u without a position, %u off the plan), "
                "radius %s, of %zu cells (%s)%s: %zu with a value (%s), %zu not heard (%s), %zu not surveyed (%s)\n",
                out.c_str(), MetricName(options.metric), map.samples, map.notHeard, s.deleted, s.withoutPosition,
                s.offPlan, DistanceText(map.grid.Radius(), loaded.scale).c_str(), parts.Cells(),
                area(parts.Area()).c_str(), whole.c_str(), parts.valueCells, area(parts.valueArea).c_str(),
                parts.notHeardCells, area(parts.notHeardArea).c_str(), parts.unsurveyedCells,
                area(parts.unsurveyedArea).c_str());
    std::fprintf(said, "%s\n", MapErrorLine(map).c_str());
    return 0;
}

void Define(Command& c) {
    auto a = std::make_shared<HeatmapArgs>();
    c.Positionals("SURVEY.ssd...", a->surveys, "collection files of one floor (- for standard input), or one site file (.qsite)");
    c.Option("--projection", a->projection, "SITE.gpf|.lpf", "projection file of the plan (required but with a site file)");
    c.Option("--floor", a->floor, "FLOOR", "with a site file: the floor to map (required there)");
    c.Option("--metric", a->metric, "signal|secondary|ap-count|co-channel", "what the map shows (signal by default)");
    c.Option("--ssid", a->ssid, "NAME", "only access points of this network");
    c.Option("--mac", a->mac, "MAC", "only this access point");
    c.Option("--radio", a->radio, "MAC", "only the networks of this radio (any of its addresses)");
    c.Option("--band", a->band, "2.4|5", "only this band");
    c.Option("--channel", a->channel, "N", "only this channel");
    c.Option("--threshold", a->threshold, "DBM", "level the counts count at");
    c.Option("--min", a->min, "DBM", "bottom of the colour scale");
    c.Option("--max", a->max, "DBM", "top of the colour scale");
    c.Option("--radius", a->radius, "PX|Nm", "how far a point reaches: plan pixels, or metres as 5m");
    c.Option("--scale", a->scale, "viridis|classes", "colour scale");
    c.Option("-o,--output", a->out, "OUT.png", "the map to write (required)");
    c.Option("--values", a->values, "OUT.csv", "the interpolated grid as CSV: x,y,value (- for standard output)");
    c.Option("--area", a->area, "MASK.png", "only the white part of this mask of the plan counts");
    c.Does([a] { return Run(*a); });
}

const RegisterCommand kRegistration("heatmap", "coverage map of a survey over its plan", kUsage, Define);

}  // namespace

}  // namespace quorl::tools
