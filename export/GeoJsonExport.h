#pragma once
// GeoJSON (RFC 7946): one FeatureCollection, one Feature per survey point
// that is not deleted, one per line. The geometry is a Point [longitude,
// latitude] in WGS 84 for points with a position on the earth and null for
// plan taps and markers. Properties: file, point, kind, x, y (plan pixel;
// through the projection for GPS points when one is given, else null),
// time (ISO 8601; UTC with "Z" for GPS points, none for the tablet's local
// time), fix, strongest (level, null without access points) and
// access_points, an array of {mac, ssid, channel, level}; an SSID that is
// not UTF-8 also comes as "ssid_hex", its bytes in hex.
//
// On the plan (given a PlanFrame): the same features, but only the points
// with a place on the plan (plan taps, markers, and GPS points when a
// projection is given), their geometry [x, y] in the plan's own system
// (PlanFrame.h), which GeoJSON cannot name: the README states it.

#include <string>

#include "export/OutputBuffer.h"
#include "export/PlanFrame.h"
#include "export/SurveyScan.h"

namespace quorl::exports {

class GeoJsonExport {
public:
    GeoJsonExport(OutputBuffer& out, const AffineTransform* projection = nullptr, const PlanFrame* plan = nullptr);
    void Begin();
    // False (scan's Error() set) when reading failed; its features are then taken back.
    bool Add(SurveyScan& scan, const std::string& name);
    void End();
    // A building's export: "floor" and "level" in the next Add's properties,
    // its GPS points placed through that floor's projection.
    void SetFloor(const std::string& name, int level, const AffineTransform* projection);

private:
    OutputBuffer& out_;
    const AffineTransform* projection_;
    const PlanFrame* plan_;
    std::uint64_t features_ = 0;
    std::string floor_;  // ",\"floor\":NAME,\"level\":N" or empty
};

}  // namespace quorl::exports
