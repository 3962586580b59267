#include "tools/RequirementMaps.h"

#include <QPainter>
#include <cmath>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

#include "coverage/PassFailImage.h"
#include "tools/MapPicture.h"

namespace quorl::tools {

using namespace quorl::analysis;

namespace {

std::string Fixed(double v, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

// "38", "10.5": as few decimals as the number needs, at most one.
std::string Number(double v) {
    const double tenths = std::round(v * 10) / 10;
    return tenths == std::round(tenths) ? Fixed(tenths, 0) : Fixed(tenths, 1);
}

// "map error about ±1.5 dB from 85 points, scattered kernel", as the maps say it.
std::string ErrorAndKernel(const FloorCheck& check) {
    return (check.error ? MapErrorText(*check.error, "dB") : std::string("map error unknown")) +
           (check.kernel.empty() ? std::string() : ", " + check.kernel + " kernel");
}

}  // namespace

FloorVerdict FloorCheck::VerdictOf(std::size_t which) const {
    return results.at(which).VerdictOf(areaPass, maxUnsurveyed);
}

FloorVerdict FloorCheck::Verdict() const {
    if (results.empty()) return FloorVerdict::Fail;
    FloorVerdict worst = FloorVerdict::Pass;
    for (std::size_t i = 0; i < results.size(); ++i) worst = Worse(worst, VerdictOf(i));
    return worst;
}

std::string IncompleteText(const FloorCheck& check, std::size_t which) {
    const RequirementShares& r = check.results.at(which);
    if (r.passArea + r.failArea <= 0) return "incomplete: nothing of the plan surveyed";
    // To a tenth, as the shares are shown, but never "10 %, at most 10 %" for 10.04 %.
    const double share = check.results.at(which).UnsurveyedPercent();
    const double tenths = std::round(share * 10) / 10;
    const double shown = tenths > check.maxUnsurveyed ? tenths : std::ceil(share * 10) / 10;
    return "incomplete: " + Number(shown) + " % of the plan not surveyed, at most " + Number(check.maxUnsurveyed) +
           " % allowed";
}

std::string IncompleteText(const FloorCheck& check) {
    std::optional<std::size_t> least;
    for (std::size_t i = 0; i < check.results.size(); ++i)
        if (check.VerdictOf(i) == FloorVerdict::Incomplete &&
            (!least || check.results[i].unsurveyedArea > check.results[*least].unsurveyedArea))
            least = i;
    return least ? IncompleteText(check, *least) : std::string("incomplete");
}

bool CheckFloor(const LoadedSurvey& loaded, const std::vector<Requirement>& requirements, const Filter& filter,
                std::optional<int> threshold, std::optional<double> radius, double areaPass, FloorCheck& out,
                std::string& error) {
    const double maxUnsurveyed = out.maxUnsurveyed;
    out = FloorCheck{};
    out.areaPass = areaPass;
    out.maxUnsurveyed = maxUnsurveyed;
    out.areaName = loaded.area ? loaded.areaName : std::string();
    for (const SurveyPoint& p : loaded.survey.points) out.points += IsMeasurement(p) ? 1 : 0;
    if (out.points == 0) {
        error = loaded.survey.name + " holds no survey point on the plan to check.";
        return false;
    }
    if (!filter.Empty() && !AnyMatch(loaded.survey, filter)) {
        error = "no access point of " + loaded.survey.name + " matches the filter (" + filter.Describe() + ").";
        return false;
    }
    // One map per metric and threshold, shared by the requirements on it.
    std::map<std::pair<Metric, int>, CoverageMap> maps;
    auto mapFor = [&](MetricOptions options) -> const CoverageMap* {
        const auto key = std::make_pair(options.metric, options.threshold);
        auto it = maps.find(key);
        if (it == maps.end()) {
            CoverageMap map;
            if (!BuildMap(loaded, options, radius, map, error, true)) return nullptr;
            it = maps.emplace(key, std::move(map)).first;
        }
        return &it->second;
    };
    std::vector<double> areas;  // every map has the plan's grid
    for (const Requirement& r : requirements) {
        MetricOptions options = DefaultOptions(r.metric);
        options.filter = filter;
        options.threshold = threshold && IsCount(r.metric) ? *threshold : DefaultThreshold(r.metric);
        const CoverageMap* map = mapFor(options);
        if (!map) return false;
        if (areas.size() != map->grid.Geometry().CellCount()) areas = CellAreasOf(loaded, map->grid.Geometry());
        out.results.push_back(Evaluate(r, map->grid, &areas));
        out.options.push_back(options);
        out.geometry = map->grid.Geometry();
        out.radius = map->grid.Radius();
        out.radiusGiven = map->radiusGiven;
        out.radiusCapped = map->radiusCapped;
    }
    MetricOptions signal = DefaultOptions(Metric::Signal);
    signal.filter = filter;
    if (const CoverageMap* map = mapFor(signal)) {
        if (map->error.points > 0) out.error = map->error;
        out.kernel = map->grid.Kernel().Name();
    }
    return true;
}

std::string CheckJson(const FloorCheck& check, const PlanScale& scale) {
    // Hundredths as the text shows them; nlohmann writes the shortest form
    // with a decimal point, whatever the locale.
    const auto hundredths = [](double v) { return std::round(v * 100) / 100; };
    const auto squareMetres = [&](double squarePixels) -> nlohmann::ordered_json {
        if (!scale.Known()) return nullptr;
        return std::round(squarePixels * scale.metresPerPixel * scale.metresPerPixel * 10) / 10;
    };
    nlohmann::ordered_json j;
    j["verdict"] = VerdictName(check.Verdict());
    j["pass"] = check.Pass();
    j["area_pass"] = hundredths(check.areaPass);
    j["max_unsurveyed"] = hundredths(check.maxUnsurveyed);
    j["area"] = check.areaName.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(check.areaName);
    j["requirements"] = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < check.results.size(); ++i) {
        const RequirementShares& r = check.results[i];
        const FloorVerdict verdict = check.VerdictOf(i);
        j["requirements"].push_back({{"expr", r.requirement.Text()},
                                     {"verdict", VerdictName(verdict)},
                                     {"pass", verdict == FloorVerdict::Pass},
                                     {"pass_pct", hundredths(r.PassPercent())},
                                     {"fail_pct", hundredths(r.FailPercent())},
                                     {"unsurveyed_pct", hundredths(r.UnsurveyedPercent())},
                                     {"pass_m2", squareMetres(r.passArea)},
                                     {"fail_m2", squareMetres(r.failArea)},
                                     {"unsurveyed_m2", squareMetres(r.unsurveyedArea)}});
    }
    j["map_error_db"] = check.error ? nlohmann::ordered_json(hundredths(check.error->rms)) : nullptr;
    j["kernel"] = check.kernel.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(check.kernel);
    j["points"] = check.points;
    // Invalid UTF-8 in an expression (it echoes the user's text) is replaced, not thrown.
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string CheckText(const FloorCheck& check, const PlanScale& scale) {
    std::string t;
    for (std::size_t i = 0; i < check.results.size(); ++i) {
        const RequirementShares& r = check.results[i];
        t += std::string(VerdictLabel(check.VerdictOf(i))) + " " + r.requirement.Text() + ": passes on " +
             Fixed(r.PassPercent(), 1) + " % of the surveyed area (" + AreaText(r.passArea, scale) + "), fails on " +
             Fixed(r.FailPercent(), 1) + " % (" + AreaText(r.failArea, scale) + "); not surveyed " +
             Fixed(r.UnsurveyedPercent(), 1) + " % of the plan (" + AreaText(r.unsurveyedArea, scale) + ")\n";
    }
    const FloorVerdict verdict = check.Verdict();
    t += verdict == FloorVerdict::Pass ? std::string("floor passes")
         : verdict == FloorVerdict::Fail ? std::string("floor fails")
         : "floor " + IncompleteText(check);
    t += std::string(verdict == FloorVerdict::Incomplete ? "; " : ": ") + "every requirement needs " +
         Fixed(check.areaPass, 1) + " % of the surveyed area";
    if (!check.areaName.empty()) t += ", within the area of " + check.areaName;
    t += "; " + std::to_string(check.points) + " points, radius " +
         DistanceText(check.radius, scale) + ", " +
         ErrorAndKernel(check) + "\n";
    return t;
}

QImage RenderPassFailMap(const LoadedSurvey& loaded, const FloorCheck& check, std::size_t which, int maxWidth) {
    const RequirementShares& r = check.results.at(which);
    MapPicture picture(loaded.planImage, maxWidth);
    const double s = picture.Scale();
    const QFont& font = picture.Font();
    const FloorVerdict verdict = check.VerdictOf(which);
    const QString title = QStringLiteral("%1: %2").arg(QString::fromStdString(r.requirement.Text()),
                                                       QString::fromLatin1(VerdictLabel(verdict)));
    QStringList lines;
    if (verdict == FloorVerdict::Incomplete) lines << QString::fromStdString(IncompleteText(check, which));
    lines << QStringLiteral("passes on %1 % of the surveyed area").arg(r.PassPercent(), 0, 'f', 1)
          << QStringLiteral("(needs %1 %)").arg(check.areaPass, 0, 'f', 1)
          << QStringLiteral("not surveyed: %1 % of the plan (at most %2 %)")
                 .arg(r.UnsurveyedPercent(), 0, 'f', 1)
                 .arg(QString::fromStdString(Number(check.maxUnsurveyed)));
    if (!check.areaName.empty())
        lines << QStringLiteral("plan counted within %1").arg(QString::fromStdString(check.areaName));
    lines << QString::fromStdString(check.options.at(which).filter.Describe())
          << QStringLiteral("survey %1").arg(QString::fromStdString(loaded.survey.name))
          << RadiusLine(check.radius, check.radiusGiven, check.radiusCapped, loaded.scale)
          << (loaded.scale.Known() ? QStringLiteral("1 px = %1 m").arg(loaded.scale.metresPerPixel, 0, 'g', 3)
                                   : QStringLiteral("no plan scale: areas in plan pixels"))
          << QString::fromStdString(ErrorAndKernel(check));
    if (IsCount(r.requirement.metric))
        lines << QStringLiteral("counted at or above %1 dBm").arg(check.options.at(which).threshold);
    else
        lines << QStringLiteral("not heard counts as failing");
    const GridGeometry& g = check.geometry;
    QPainter& painter = picture.Start(loaded.planImage, coverage::PassFailLegendSize(title, lines, font),
                                      coverage::PassFailImage(r.cells, g.columns, g.rows), g, false);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    const double dot = std::clamp(picture.PlanWidth() / 300.0, 1.5, 3.0);
    for (const SurveyPoint& p : loaded.survey.points)
        if (IsMeasurement(p)) painter.drawEllipse(QPointF(p.x * s, p.y * s), dot, dot);
    painter.setRenderHint(QPainter::Antialiasing, false);
    coverage::DrawPassFailLegend(painter, picture.LegendAt(), title, lines, font);
    return picture.Finish(loaded.scale);
}

std::string NumberedPath(const std::string& path, std::size_t n, std::size_t count) {
    if (count <= 1) return path;
    const std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        dot = path.size();
    return path.substr(0, dot) + "-" + std::to_string(n + 1) + path.substr(dot);
}

}  // namespace quorl::tools
