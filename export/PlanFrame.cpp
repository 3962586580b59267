#include "export/PlanFrame.h"

namespace quorl::exports {

const char* const kWgs84Wkt =
    "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,AUTHORITY[\"EPSG\",\"7030\"]],"
    "AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,AUTHORITY[\"EPSG\",\"8901\"]],"
    "UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\",\"9122\"]],AUTHORITY[\"EPSG\",\"4326\"]]";

std::string PlanSrsWkt(bool metres) {
    // LOCAL_CS: the engineering system of WKT 1, which GDAL and QGIS read
    // as a local (non-earth) system and never transform to another.
    return metres ? "LOCAL_CS[\"quorl plan (metres)\",LOCAL_DATUM[\"top-left corner of the plan image\",0],"
                    "UNIT[\"metre\",1,AUTHORITY[\"EPSG\",\"9001\"]],AXIS[\"x (right)\",EAST],AXIS[\"y (up)\",NORTH]]"
                  : "LOCAL_CS[\"quorl plan (pixels)\",LOCAL_DATUM[\"top-left corner of the plan image\",0],"
                    "UNIT[\"plan pixel\",1],AXIS[\"x (right)\",EAST],AXIS[\"y (up)\",NORTH]]";
}

}  // namespace quorl::exports
