#include "export/PlanFrame.h"

namespace quorl::exports {

std::string PlanSrsWkt(bool metres) {
    // LOCAL_CS: the engineering system of WKT 1, which GDAL and QGIS read
    // as a local (non-earth) system and never transform to another.
    return metres ? "LOCAL_CS[\"quorl plan (metres)\",LOCAL_DATUM[\"top-left corner of the plan image\",0],"
                    "UNIT[\"metre\",1,AUTHORITY[\"EPSG\",\"9001\"]],AXIS[\"x (right)\",EAST],AXIS[\"y (up)\",NORTH]]"
                  : "LOCAL_CS[\"quorl plan (pixels)\",LOCAL_DATUM[\"top-left corner of the plan image\",0],"
                    "UNIT[\"plan pixel\",1],AXIS[\"x (right)\",EAST],AXIS[\"y (up)\",NORTH]]";
}

}  // namespace quorl::exports
