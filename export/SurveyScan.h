#pragma once
// What the exports take from each group of a collection file (read with
// CollectionScan).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "survey/AffineTransform.h"
#include "survey/CollectionScan.h"

namespace quorl::exports {

using SurveyGroup = CollectionGroup;
using SurveyScan = CollectionScan;

// What a point record says, in the terms the exports use.
struct PointFacts {
    bool deleted = false;
    bool hasPosition = false;  // latitude and longitude on the earth
    bool offEarth = false;     // a stored position past ±90 / ±180 degrees: not a place at all
    bool hasPlan = false;      // plan x and y
    std::int32_t x = 0, y = 0;
    bool gpsTime = false;      // the unit's GPS time; else the tablet's local time
    bool anyAp = false;
    int strongest = -100;      // as the site view colours it: -100 when nothing stronger
    int strongestHeard = 0;    // the strongest level heard, valid when anyAp
};

// GPS points (kinds 0 and 1) carry latitude and longitude, plan taps and
// markers (2 and 17) a plan pixel; a GPS point gets a plan pixel through the
// projection when one is given. A deleted point's kind is gone: it counts as
// a GPS point when it stores a position. Position 0,0 means none, and so
// does one off the earth (a damaged record): it is never drawn on a map.

bool IsOnEarth(std::int32_t latitude, std::int32_t longitude);

PointFacts FactsOf(const SurveyGroup& group, const AffineTransform* projection);

// "gps", "projected-tap", "plan-tap", "marker", "deleted" or "unknown".
const char* KindName(std::uint8_t kind);

}  // namespace quorl::exports
