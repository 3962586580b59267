#include "export/SurveyScan.h"

namespace quorl::exports {

bool IsOnEarth(std::int32_t latitude, std::int32_t longitude) {
    constexpr std::int64_t kDegree = static_cast<std::int64_t>(collection::kPositionScale);
    return std::int64_t{latitude} >= -90 * kDegree && std::int64_t{latitude} <= 90 * kDegree &&
           std::int64_t{longitude} >= -180 * kDegree && std::int64_t{longitude} <= 180 * kDegree;
}

PointFacts FactsOf(const SurveyGroup& group, const AffineTransform* projection) {
    const collection::PointRecord& p = group.point;
    PointFacts f;
    f.deleted = p.kind == 255;
    const bool stored = p.latitude != 0 || p.longitude != 0;
    const bool gpsKind = p.kind == 0 || p.kind == 1 || (f.deleted && stored);
    f.offEarth = gpsKind && stored && !IsOnEarth(p.latitude, p.longitude);
    f.hasPosition = gpsKind && stored && !f.offEarth;
    f.gpsTime = gpsKind;
    if (!gpsKind) {
        f.hasPlan = true;
        f.x = p.x;
        f.y = p.y;
    } else if (projection && f.hasPosition) {
        const PlanPoint plan = projection->Forward(p.latitude / collection::kPositionScale,
                                                   p.longitude / collection::kPositionScale);
        f.hasPlan = true;
        f.x = plan.x;
        f.y = plan.y;
    }
    for (const auto& ap : group.aps) {
        const int level = ap.Level();
        if (!f.anyAp || level > f.strongestHeard) f.strongestHeard = level;
        f.anyAp = true;
        if (level > f.strongest) f.strongest = level;
    }
    return f;
}

const char* KindName(std::uint8_t kind) {
    switch (kind) {
        case 0: return "gps";
        case 1: return "projected-tap";
        case 2: return "plan-tap";
        case 17: return "marker";
        case 255: return "deleted";
        default: return "unknown";
    }
}

}  // namespace quorl::exports
