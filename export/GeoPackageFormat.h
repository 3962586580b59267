#pragma once
// The survey database as an OGC GeoPackage (1.3), for GIS tools: the
// GeoPackage's own tables (spatial reference systems, contents, geometry
// columns, extensions), a point layer `survey_points` in WGS 84
// (geolocated points that are not deleted have a geometry, the others
// none), the plan layers `plan_points` (metres) and `plan_points_px` (plan
// pixels) in the plan's engineering system (see PlanFrame.h), made when a
// survey brings points with a place on the plan, and two attribute tables,
// `surveys` and `readings` (one row per access point heard, linked to its
// point by `point` = survey_points.fid). Every point layer has an R-tree
// spatial index (the gpkg_rtree_index extension) kept by the standard
// triggers. Times are DATETIME (UTC, ISO 8601 with Z): a GPS point's time
// less the leap seconds; a plan tap's time is the tablet's local time, of
// no known zone, and goes to `local_time` as text. SurveyDatabase fills it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorl::exports::geopackage {

// "GPKG", and the GeoPackage version 1.3.0 as user_version.
inline constexpr std::int32_t kApplicationId = 0x47504B47;
inline constexpr std::int32_t kUserVersion = 10300;
// Our schema's version, kept in the point layer's description in
// gpkg_contents: a GeoPackage's application_id and user_version are taken.
// 2: R-tree indexes, DATETIME times, local_time, plan layers. A schema 1
// package is brought up to 2 when it next takes a survey.
inline constexpr int kSchemaVersion = 2;

// Everything CREATE ... IF NOT EXISTS and INSERT OR IGNORE: run in the
// first import's transaction. The point layer's row of gpkg_contents (with
// LayerDescription()) is added by the caller.
extern const char* const kSchema;
// The description that marks the point layer as ours (with kSchemaVersion).
std::string LayerDescription(int schemaVersion = kSchemaVersion);

// A point layer's rows of gpkg_contents, gpkg_geometry_columns and
// gpkg_extensions, its R-tree and the triggers that keep it (all IF NOT
// EXISTS / OR IGNORE, so that an index GDAL made stays as it is). The
// table itself must be there; an R-tree made here over a table with rows
// is filled by the caller.
std::string PointLayerSql(const std::string& table, std::int32_t srsId, const std::string& description);

// The plan layer `table` in the system `srsId`, its system declared.
std::string PlanLayerSql(const std::string& table, std::int32_t srsId, bool metres);

// The GeoPackageBinary of a point: header "GP", version 0, flags
// (little-endian, no envelope), srs_id (4326: longitude, latitude), then
// the point as WKB.
inline constexpr std::size_t kPointBlobSize = 8 + 21;
void PutPointBlob(std::uint8_t* out, double x, double y, std::int32_t srsId = 4326);

}  // namespace quorl::exports::geopackage
