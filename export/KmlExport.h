#pragma once
// KML 2.2: one Folder per collection file, one Placemark per point with a
// position on the earth (deleted points left out), styled in the site
// view's five signal classes by its strongest level; the description lists
// the access points heard there as an HTML table. Each Placemark carries the
// point's attributes as the GeoJSON export names them (file, point, kind,
// x, y, time, fix, strongest; access_points as a count) in typed
// ExtendedData of the schema "quorl_point", so GIS tools read them as
// fields; an attribute without a value is left out.

#include <string>

#include "export/OutputBuffer.h"
#include "export/SurveyScan.h"

namespace quorl::exports {

class KmlExport {
public:
    enum class Result { Added, ReadFailed, NoPosition };

    // `projection` (may be null) gives GPS points their plan x and y.
    explicit KmlExport(OutputBuffer& out, const AffineTransform* projection = nullptr);
    void Begin();
    // A file without a single geolocated point adds nothing (NoPosition);
    // one that fails to read has its folder taken back (ReadFailed).
    Result Add(SurveyScan& scan, const std::string& name);
    void End();

    // The style of a strongest level (-100 when none): "level-1" (below -90)
    // to "level-5" (above -31).
    static int SignalClass(int strongest);

private:
    OutputBuffer& out_;
    const AffineTransform* projection_;
};

}  // namespace quorl::exports
