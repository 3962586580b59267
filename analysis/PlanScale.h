#pragma once
// How many metres one plan pixel spans, so that maps, radii and areas can
// be given in metres.
//
// A GPS projection knows it from its transform: the ground a plan pixel
// covers at the plan's centre (on a sphere of the earth's mean radius). Its
// square root is the scale: exact for areas, and the length of a pixel's
// side on a plan drawn true to scale. A linear projection only knows plan
// pixels: the user measures one distance on the plan (`quorl proj scale`)
// and the scale is kept in a small side file, next to the projection
// (PATH.scale) or, where that folder will not take it, in the user's cache
// beside the projection's other derived files. The projection file itself
// is never written.

#include <optional>
#include <string>

#include "analysis/CoverageGrid.h"
#include "analysis/PlanSource.h"
#include "survey/AffineTransform.h"

namespace quorl::analysis {

struct PlanScale {
    enum class From { None, Transform, SideFile };
    From from = From::None;
    double metresPerPixel = 0;
    std::string sideFile;  // where a side file's scale came from

    bool Known() const { return from != From::None; }
};

// Mean earth radius (IUGG), metres.
inline constexpr double kEarthRadiusMetres = 6371008.8;

// Metres per plan pixel of a GPS transform at plan pixel (x, y); nothing
// when the transform cannot be inverted or gives no finite scale.
std::optional<double> ScaleOfTransform(const AffineTransform& t, double x, double y);

// The side file beside a projection, and its place in the cache (empty
// when there is no cache folder).
std::string ScaleFileBeside(const std::string& projectionPath);
std::string ScaleFileInCache(const std::string& projectionPath);

// Writes the scale for a plan of width x height pixels: beside the
// projection, or in the cache when its folder refuses new files. Returns
// the path written; empty with `error` set when neither took it.
std::string WriteScaleFile(const std::string& projectionPath, double metresPerPixel, int width, int height,
                           std::string& error);

// The scale a side file holds for a plan of width x height pixels.
// Nothing when there is no side file; nothing with `error` set when one is
// there but unreadable or made for a plan of another size.
std::optional<double> ReadScaleFile(const std::string& path, int width, int height, std::string& error);

// The scale of a loaded projection: its transform for a GPS projection,
// else a side file (beside first, then the cache). `warning` is set when a
// side file was there but could not be used.
PlanScale ScaleOfPlan(const std::string& projectionPath, const PlanSource& plan, std::string& warning);

// A distance as the user writes it: "120" or "120px" in plan pixels,
// "5m" in metres.
struct Distance {
    double value = 0;
    bool metres = false;
};
std::optional<Distance> ParseDistance(const std::string& text);

// The longest default radius a map takes on a plan of known scale: a
// survey point says little about the ground 15 m away, behind walls the map
// does not know. Infinite (no cap) without a scale.
inline constexpr double kLongestDefaultRadiusMetres = 15.0;
double DefaultRadiusCap(const PlanScale& scale);

// Plan pixels of a distance; nothing for metres without a scale.
std::optional<double> ToPixels(const Distance& d, const PlanScale& scale);

// "12.5 m" where a scale is known, else "250 px".
std::string DistanceText(double pixels, const PlanScale& scale);
// "340 m²" where a scale is known, else "85000 px²".
std::string AreaText(double squarePixels, const PlanScale& scale);

// Square plan pixels of the cells of a grid that have data, cells on the
// plan's edge counted only as far as they lie on it.
double CoveredSquarePixels(const CoverageGrid& grid);

// The longest round length (1, 2 or 5 times a power of ten metres) whose
// bar is at most `maxPixels` long; 0 when even a millimetre is longer.
double ScaleBarMetres(double metresPerPixel, double maxPixels);

}  // namespace quorl::analysis
