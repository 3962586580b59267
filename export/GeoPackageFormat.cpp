#include "export/GeoPackageFormat.h"

#include <sqlite3.h>

#include <cstring>

#include "common/ByteOrder.h"
#include "export/PlanFrame.h"

namespace quorl::exports::geopackage {

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS gpkg_spatial_ref_sys(
  srs_name TEXT NOT NULL,
  srs_id INTEGER PRIMARY KEY,
  organization TEXT NOT NULL,
  organization_coordsys_id INTEGER NOT NULL,
  definition TEXT NOT NULL,
  description TEXT);
INSERT OR IGNORE INTO gpkg_spatial_ref_sys VALUES
  ('Undefined cartesian SRS', -1, 'NONE', -1, 'undefined', 'undefined cartesian coordinate reference system'),
  ('Undefined geographic SRS', 0, 'NONE', 0, 'undefined', 'undefined geographic coordinate reference system'),
  ('WGS 84 geodetic', 4326, 'EPSG', 4326,
   'GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,298.257223563,AUTHORITY["EPSG","7030"]],AUTHORITY["EPSG","6326"]],PRIMEM["Greenwich",0,AUTHORITY["EPSG","8901"]],UNIT["degree",0.0174532925199433,AUTHORITY["EPSG","9122"]],AUTHORITY["EPSG","4326"]]',
   'longitude/latitude coordinates in decimal degrees on the WGS 84 spheroid');
CREATE TABLE IF NOT EXISTS gpkg_contents(
  table_name TEXT NOT NULL PRIMARY KEY,
  data_type TEXT NOT NULL,
  identifier TEXT UNIQUE,
  description TEXT DEFAULT '',
  last_change DATETIME NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ','now')),
  min_x DOUBLE, min_y DOUBLE, max_x DOUBLE, max_y DOUBLE,
  srs_id INTEGER,
  CONSTRAINT fk_gc_r_srs_id FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys(srs_id));
CREATE TABLE IF NOT EXISTS gpkg_geometry_columns(
  table_name TEXT NOT NULL,
  column_name TEXT NOT NULL,
  geometry_type_name TEXT NOT NULL,
  srs_id INTEGER NOT NULL,
  z TINYINT NOT NULL,
  m TINYINT NOT NULL,
  CONSTRAINT pk_geom_cols PRIMARY KEY (table_name, column_name),
  CONSTRAINT fk_gc_tn FOREIGN KEY (table_name) REFERENCES gpkg_contents(table_name),
  CONSTRAINT fk_gc_srs FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys(srs_id));
CREATE TABLE IF NOT EXISTS gpkg_extensions(
  table_name TEXT,
  column_name TEXT,
  extension_name TEXT NOT NULL,
  definition TEXT NOT NULL,
  scope TEXT NOT NULL,
  CONSTRAINT ge_tce UNIQUE (table_name, column_name, extension_name));
CREATE TABLE IF NOT EXISTS surveys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  path TEXT NOT NULL,
  size INTEGER NOT NULL,
  sha256 TEXT NOT NULL UNIQUE,
  created DATETIME,
  imported DATETIME NOT NULL);
CREATE TABLE IF NOT EXISTS survey_points(
  fid INTEGER PRIMARY KEY AUTOINCREMENT,
  geom POINT,
  survey INTEGER NOT NULL REFERENCES surveys(id),
  number INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  x INTEGER,
  y INTEGER,
  latitude DOUBLE,
  longitude DOUBLE,
  time DATETIME,
  fix INTEGER NOT NULL,
  deleted BOOLEAN NOT NULL,
  strongest INTEGER,
  access_points INTEGER NOT NULL,
  local_time TEXT);
CREATE INDEX IF NOT EXISTS survey_points_survey ON survey_points(survey);
CREATE TABLE IF NOT EXISTS readings(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  point INTEGER NOT NULL REFERENCES survey_points(fid),
  mac TEXT NOT NULL,
  ssid TEXT NOT NULL,
  ssid_hex TEXT,
  channel INTEGER NOT NULL,
  level INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS readings_point ON readings(point);
CREATE INDEX IF NOT EXISTS readings_mac ON readings(mac);
INSERT OR IGNORE INTO gpkg_contents(table_name, data_type, identifier, description)
  VALUES('surveys', 'attributes', 'surveys', 'surveys: one row per collection file imported'),
        ('readings', 'attributes', 'readings', 'access points heard: one row per reading, point = survey_points.fid');
)sql";

std::string PointLayerSql(const std::string& table, std::int32_t srsId, const std::string& description) {
    const std::string t = "\"" + table + "\"", r = "\"rtree_" + table + "_geom\"";
    const std::string insert = "INSERT OR REPLACE INTO " + r +
                               " VALUES (NEW.fid, ST_MinX(NEW.geom), ST_MaxX(NEW.geom), ST_MinY(NEW.geom), "
                               "ST_MaxY(NEW.geom));";
    const std::string trigger = "CREATE TRIGGER IF NOT EXISTS \"rtree_" + table + "_geom_";
    const std::string quotedTable = "'" + table + "'";
    return "INSERT OR IGNORE INTO gpkg_contents(table_name, data_type, identifier, description, srs_id) VALUES(" +
           quotedTable + ", 'features', " + quotedTable + ", '" + description + "', " + std::to_string(srsId) +
           ");\n"
           "INSERT OR IGNORE INTO gpkg_geometry_columns VALUES(" + quotedTable + ", 'geom', 'POINT', " +
           std::to_string(srsId) + ", 0, 0);\n"
           "INSERT OR IGNORE INTO gpkg_extensions VALUES(" + quotedTable +
           ", 'geom', 'gpkg_rtree_index', 'http://www.geopackage.org/spec120/#extension_rtree', 'write-only');\n"
           "CREATE VIRTUAL TABLE IF NOT EXISTS " + r + " USING rtree(id, minx, maxx, miny, maxy);\n" +
           trigger + "insert\" AFTER INSERT ON " + t +
           " WHEN (NEW.geom NOT NULL AND NOT ST_IsEmpty(NEW.geom)) BEGIN " + insert + " END;\n" +
           trigger + "update1\" AFTER UPDATE OF geom ON " + t +
           " WHEN OLD.fid = NEW.fid AND (NEW.geom NOTNULL AND NOT ST_IsEmpty(NEW.geom)) BEGIN " + insert + " END;\n" +
           trigger + "update2\" AFTER UPDATE OF geom ON " + t +
           " WHEN OLD.fid = NEW.fid AND (NEW.geom ISNULL OR ST_IsEmpty(NEW.geom)) BEGIN DELETE FROM " + r +
           " WHERE id = OLD.fid; END;\n" +
           trigger + "update3\" AFTER UPDATE ON " + t +
           " WHEN OLD.fid != NEW.fid AND (NEW.geom NOTNULL AND NOT ST_IsEmpty(NEW.geom)) BEGIN DELETE FROM " + r +
           " WHERE id = OLD.fid; " + insert + " END;\n" +
           trigger + "update4\" AFTER UPDATE ON " + t +
           " WHEN OLD.fid != NEW.fid AND (NEW.geom ISNULL OR ST_IsEmpty(NEW.geom)) BEGIN DELETE FROM " + r +
           " WHERE id IN (OLD.fid, NEW.fid); END;\n" +
           trigger + "delete\" AFTER DELETE ON " + t + " WHEN OLD.geom NOT NULL BEGIN DELETE FROM " + r +
           " WHERE id = OLD.fid; END;\n";
}

std::string PlanLayerSql(const std::string& table, std::int32_t srsId, bool metres) {
    char* srs = sqlite3_mprintf(
        "INSERT OR IGNORE INTO gpkg_spatial_ref_sys VALUES(%Q, %d, 'QUORL', %d, %Q, %Q);\n",
        metres ? "quorl plan (metres)" : "quorl plan (pixels)", srsId, srsId, PlanSrsWkt(metres).c_str(),
        metres ? "the survey's plan: origin its top-left corner, x right, y up, metres"
               : "the survey's plan: origin its top-left corner, x right, y up, plan pixels (no scale known)");
    std::string sql = srs ? srs : "";
    sqlite3_free(srs);
    sql += "CREATE TABLE IF NOT EXISTS \"" + table + "\"(\n"
           "  fid INTEGER PRIMARY KEY AUTOINCREMENT,\n"
           "  geom POINT,\n"
           "  point INTEGER NOT NULL REFERENCES survey_points(fid),\n"
           "  survey INTEGER NOT NULL REFERENCES surveys(id),\n"
           "  number INTEGER NOT NULL,\n"
           "  kind INTEGER NOT NULL,\n"
           "  x INTEGER NOT NULL,\n"
           "  y INTEGER NOT NULL,\n"
           "  strongest INTEGER,\n"
           "  access_points INTEGER NOT NULL);\n"
           "CREATE INDEX IF NOT EXISTS \"" + table + "_point\" ON \"" + table + "\"(point);\n";
    return sql + PointLayerSql(table, srsId,
                               metres ? "survey points on the plan, metres (point = survey_points.fid)"
                                      : "survey points on the plan, plan pixels (point = survey_points.fid)");
}

std::string LayerDescription(int schemaVersion) {
    return "quorl survey points, schema " + std::to_string(schemaVersion);
}

void PutPointBlob(std::uint8_t* out, double x, double y, std::int32_t srsId) {
    const auto putDouble = [](std::uint8_t* p, double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        WriteLe64(p, bits);
    };
    out[0] = 'G';
    out[1] = 'P';
    out[2] = 0;     // version 1
    out[3] = 0x01;  // little-endian, no envelope, not empty, standard binary
    WriteLe32(out + 4, static_cast<std::uint32_t>(srsId));
    out[8] = 1;  // WKB little-endian
    WriteLe32(out + 9, 1);  // Point
    putDouble(out + 13, x);
    putDouble(out + 21, y);
}

}  // namespace quorl::exports::geopackage
