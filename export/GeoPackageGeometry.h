#pragma once
// The SQL functions that GeoPackage spatial-index triggers call
// (ST_MinX, ST_MaxX, ST_MinY, ST_MaxY, ST_IsEmpty), over GeoPackageBinary
// geometry. GDAL and QGIS add such triggers to every table they index, and
// a database connection without the functions cannot insert a row there;
// our writer registers them on its connection so that it can append to a
// GeoPackage they have touched, and uses them for its own R-tree.

#include <cstddef>
#include <cstdint>

struct sqlite3;

namespace quorl::exports::geopackage {

struct Envelope {
    bool empty = false;  // an empty geometry has no extent
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
};

// The extent of a GeoPackageBinary blob: from its header's envelope where
// it has one, else from the WKB that follows (every simple-feature type,
// with Z and M). False for bytes that are no such geometry.
bool EnvelopeOf(const std::uint8_t* blob, std::size_t size, Envelope& out);

// Registers the five functions on `db`: NULL for NULL or a blob that is no
// geometry, as the spatial-index triggers expect. False on failure.
bool RegisterGeometryFunctions(sqlite3* db);

}  // namespace quorl::exports::geopackage
