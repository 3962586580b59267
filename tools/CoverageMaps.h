#pragma once
// What `quorl heatmap` and `quorl report` share: loading a survey on the
// plan of its projection, interpolating one metric, drawing the map (plan,
// coverage, survey points and legend) and writing files whole or not at all.

#include <QImage>
#include <optional>
#include <string>
#include <vector>

#include "analysis/CoverageGrid.h"
#include "analysis/CrossValidation.h"
#include "analysis/Metrics.h"
#include "analysis/PlanMask.h"
#include "analysis/PlanScale.h"
#include "analysis/PlanSource.h"
#include "analysis/SurveyPoints.h"
#include "coverage/ColourScale.h"

namespace quorl::tools {

// A whole finite number, as an option's value; nothing for anything else.
std::optional<double> NumberArgument(const std::string& text);

// Pictures need fonts, and fonts need a QGuiApplication: one on the
// offscreen platform, made once (no display is used).
void StartPictureApp();

struct LoadedSurvey {
    analysis::PlanSource plan;
    QImage planImage;
    analysis::Survey survey;
    analysis::PlanScale scale;  // metres per plan pixel, where known
    std::string scaleWarning;   // a side file there but unusable
    std::optional<analysis::PlanMask> area;  // --area: the part of the plan that counts
    std::string areaName;                    // its file
};

// The area of each cell of `geometry` that counts: on the plan, and in the
// --area mask where one was given.
std::vector<double> CellAreasOf(const LoadedSurvey& loaded, const analysis::GridGeometry& geometry);

// False with `error` set for a file that cannot be used.
bool LoadSurveyOnPlan(const std::string& surveyPath, const std::string& projectionPath, LoadedSurvey& out,
                      std::string& error);

struct CoverageMap {
    analysis::MetricOptions options;
    analysis::CoverageGrid grid{analysis::GridGeometry{}, 1.0};
    std::size_t samples = 0;   // survey points with a value
    std::size_t notHeard = 0;  // survey points that heard nothing of it
    bool radiusGiven = false;
    bool radiusCapped = false;  // the default from the spacing was longer than the plan's cap
    analysis::MapError error;  // leave-one-out over its heard points
};

// Interpolates the metric. False with `error` set when the filter matches
// no access point of the survey or no point has a value. The default
// radius comes from every survey point with a position, heard or not.
// `silentAllowed`: a map where no point has a value is built all the same
// (all not heard), for checks where that is an answer, not an error.
bool BuildMap(const LoadedSurvey& loaded, const analysis::MetricOptions& options, std::optional<double> radius,
              CoverageMap& out, std::string& error, bool silentAllowed = false);

// Several surveys of one floor on the plan of one projection: the first as
// LoadSurveyOnPlan, the points of the others added to it.
bool LoadSurveysOnPlan(const std::vector<std::string>& surveyPaths, const std::string& projectionPath,
                       LoadedSurvey& out, std::string& error);

// The default scale of a metric: viridis over min..max for levels, counts
// for counts.
coverage::ColourScale ScaleFor(analysis::Metric metric, double min, double max, bool classes);

// The plan, the coverage blended over it, the survey points and, to the
// right, the legend. `maxWidth` > 0 scales a larger plan down.
QImage RenderMap(const LoadedSurvey& loaded, const CoverageMap& map, const coverage::ColourScale& scale,
                 int maxWidth = 0);

// "radius 13 m (from the spacing)", "radius 15 m (from the spacing, at most
// 15 m)", "radius 120 px" (given), as the legends say it.
QString RadiusLine(double radius, bool given, bool capped, const analysis::PlanScale& scale);

// "map error about ±3.1 dB from 84 points, even kernel" (counts: "access
// points"); the kernel the map was kriged with, by name.
std::string MapErrorLine(const CoverageMap& map);

// "map 62.5 % of the plan, not heard 3.1 %": the cells with a value and
// those not heard, as shares of all cells.
std::string MapShares(const analysis::CoverageGrid& grid);

// "signal (dBm)", "ap-count at or above -67 dBm", ...
QString MetricTitle(const analysis::MetricOptions& options);

// What a map command reads of a projection: the file and the plan scale's
// side files (beside it and in the cache), all inputs no output may replace.
std::vector<std::string> ProjectionInputs(const std::string& projectionPath);

// The picture as PNG bytes; false when it cannot be coded.
bool PngBytes(const QImage& image, std::string& bytes);

// Writes through a PendingFile (refusing links, devices, FIFOs, folders and
// the `inputs`); false with `error`.
bool SavePng(const QImage& image, const std::string& path, const std::vector<std::string>& inputs,
             std::string& error);
bool SaveText(const std::string& text, const std::string& path, const std::vector<std::string>& inputs,
              std::string& error);

// The grid as CSV: "x,y,value", one row per cell (cell centre in plan
// pixels, value empty for no data, "not heard" where nothing was); with
// `cellAreas`, cells of no area (outside the --area mask) are left out.
std::string GridCsv(const analysis::CoverageGrid& grid, bool counts, const std::vector<double>* cellAreas = nullptr);

}  // namespace quorl::tools
