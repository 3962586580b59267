#pragma once
// A collection file read for analysis: every group through the collection
// reader, each survey point placed on the plan of a projection. Plan taps
// and access point markers (kinds 2 and 17) stand at their stored plan
// pixel; GPS points and projected taps (kinds 0 and 1) go through the
// projection's forward transform from their latitude and longitude.
// Deleted points, points without a position (a GPS point stored at 0, 0)
// and points off the plan are left out and counted.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "survey/AffineTransform.h"

namespace quorl::analysis {

using MacAddress = std::array<std::uint8_t, 6>;

// One access point record as analysis sees it.
struct ApReading {
    MacAddress mac{};
    std::string ssid;
    int channel = 0;
    int level = 0;  // signal / 16, dBm
};

// Calendar time of a point record, as stored (GPS or local time).
struct PointTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool Valid() const { return month >= 1 && month <= 12 && day >= 1 && day <= 31; }
    auto operator<=>(const PointTime&) const = default;
    std::string Text() const;  // "YYYY-MM-DD HH:MM:SS"
};

struct SurveyPoint {
    double x = 0, y = 0;       // plan pixels
    std::uint8_t kind = 0;     // 0, 1, 2 or 17
    std::uint32_t index = 0;   // group number in the file, from 0
    PointTime time;
    std::vector<ApReading> aps;
};

struct Survey {
    std::string name;                  // collection file name without directory
    std::vector<SurveyPoint> points;   // placed on the plan, file order
    std::map<int, std::uint32_t> groupsByKind;  // every group read, by kind byte
    std::uint32_t groups = 0;          // every group read
    std::uint32_t deleted = 0;         // kind 255
    std::uint32_t withoutPosition = 0; // GPS points stored at 0, 0
    std::uint32_t offPlan = 0;         // placed outside the plan
    std::uint32_t unknownKind = 0;     // any other kind byte
    std::uint64_t unfinishedBytes = 0;  // an unfinished last group, left out
    std::uint32_t gpsPoints = 0;       // kinds 0 and 1 with a position
};

// Where the points go: the plan's size in pixels and the projection's
// transform (degrees to plan pixels).
struct Placement {
    AffineTransform transform;
    int planWidth = 0;
    int planHeight = 0;
};

// Reads `path` and places its points. False with `error` set (a complete
// sentence) when the file cannot be read, when the survey holds GPS points
// and the transform cannot be inverted, when no point can be placed, or
// when more than half of the points with a position fall off the plan (the
// projection does not belong to the survey).
bool LoadSurvey(const std::string& path, const Placement& placement, Survey& survey, std::string& error);

// Several surveys of one floor as one: the points of `more` after those of
// `all`, the counts added, the names joined with " + ".
void AppendSurvey(Survey& all, Survey&& more);

// "00-0A-1B-2C-3D-01"
std::string MacText(const MacAddress& mac);
// Accepts six hex pairs separated by '-' or ':' (either case).
bool ParseMac(const std::string& text, MacAddress& mac);

}  // namespace quorl::analysis
