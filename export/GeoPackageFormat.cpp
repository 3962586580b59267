#include "export/GeoPackageFormat.h"

#include <cstring>

#include "common/ByteOrder.h"

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
CREATE TABLE IF NOT EXISTS surveys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  path TEXT NOT NULL,
  size INTEGER NOT NULL,
  sha256 TEXT NOT NULL UNIQUE,
  created TEXT,
  imported TEXT NOT NULL);
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
  time TEXT,
  fix INTEGER NOT NULL,
  deleted BOOLEAN NOT NULL,
  strongest INTEGER,
  access_points INTEGER NOT NULL);
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
INSERT OR IGNORE INTO gpkg_geometry_columns VALUES('survey_points', 'geom', 'POINT', 4326, 0, 0);
)sql";

std::string LayerDescription(int schemaVersion) {
    return "quorl survey points, schema " + std::to_string(schemaVersion);
}

void PutPointBlob(std::uint8_t* out, double longitude, double latitude) {
    const auto putDouble = [](std::uint8_t* p, double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        WriteLe64(p, bits);
    };
    out[0] = 'G';
    out[1] = 'P';
    out[2] = 0;     // version 1
    out[3] = 0x01;  // little-endian, no envelope, not empty, standard binary
    WriteLe32(out + 4, 4326);
    out[8] = 1;  // WKB little-endian
    WriteLe32(out + 9, 1);  // Point
    putDouble(out + 13, longitude);
    putDouble(out + 21, latitude);
}

}  // namespace quorl::exports::geopackage
