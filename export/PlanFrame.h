#pragma once
// The plan's own coordinate system, in which plan taps (and GPS points put
// on the plan through a projection) get a geometry in GIS files: an
// engineering (local) system with its origin at the top-left corner of the
// plan image, x to the right and y up, so that GIS tools, which draw y up,
// show the plan the right way round (points on the plan have y <= 0). Its
// unit is the metre where the plan's scale is known, else the plan pixel.
// A plan pixel (x, y) is the point (x, -y) in pixels: its top-left corner,
// where the collector and the maps draw it. The world file `quorl proj
// decode` writes places the image in the same system.

#include <cstdint>
#include <string>

namespace quorl::exports {

struct PlanFrame {
    double metresPerPixel = 0;  // 0: no scale known, coordinates in plan pixels

    bool Metres() const { return metresPerPixel > 0; }
    double Unit() const { return Metres() ? metresPerPixel : 1.0; }
    double X(double planX) const { return planX * Unit(); }
    double Y(double planY) const { return 0.0 - planY * Unit(); }  // never -0
};

// The system as GeoPackage srs ids and OGC WKT (1): one for metres, one for
// plan pixels, our own organisation's codes.
inline constexpr std::int32_t kPlanMetresSrsId = 990001;
inline constexpr std::int32_t kPlanPixelsSrsId = 990002;
inline std::int32_t PlanSrsId(const PlanFrame& f) { return f.Metres() ? kPlanMetresSrsId : kPlanPixelsSrsId; }
std::string PlanSrsWkt(bool metres);
// WGS 84 (EPSG:4326) in OGC WKT 1, the system of a GPS plan's world file.
extern const char* const kWgs84Wkt;

}  // namespace quorl::exports
