#pragma once
// The survey database as an OGC GeoPackage (1.3), for GIS tools: the
// GeoPackage's own tables (spatial reference systems, contents, geometry
// columns), a point layer `survey_points` in WGS 84 (geolocated points
// that are not deleted have a geometry, the others none) and two attribute
// tables, `surveys` and `readings` (one row per access point heard, linked
// to its point by `point` = survey_points.fid). SurveyDatabase fills it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorl::exports::geopackage {

// "GPKG", and the GeoPackage version 1.3.0 as user_version.
inline constexpr std::int32_t kApplicationId = 0x47504B47;
inline constexpr std::int32_t kUserVersion = 10300;
// Our schema's version, kept in the point layer's description in
// gpkg_contents: a GeoPackage's application_id and user_version are taken.
inline constexpr int kSchemaVersion = 1;

// Everything CREATE ... IF NOT EXISTS and INSERT OR IGNORE: run in the
// first import's transaction. The point layer's row of gpkg_contents (with
// LayerDescription()) is added by the caller.
extern const char* const kSchema;
// The description that marks the point layer as ours (with kSchemaVersion).
std::string LayerDescription(int schemaVersion = kSchemaVersion);

// The GeoPackageBinary of a WGS 84 point: header "GP", version 0, flags
// (little-endian, no envelope), srs_id 4326, then the point as WKB.
inline constexpr std::size_t kPointBlobSize = 8 + 21;
void PutPointBlob(std::uint8_t* out, double longitude, double latitude);

}  // namespace quorl::exports::geopackage
