#pragma once
// One collection file read for export: opened and checked, then its groups
// visited in file order through one large read buffer. Reads only and takes
// no lock, so a collector may go on appending meanwhile.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "survey/CollectionFormat.h"
#include "survey/AffineTransform.h"
#include "survey/FileHandle.h"

namespace quorl::exports {

// One group as read: the point record and the access point records present
// (fewer than its count when the file ends inside the group).
struct SurveyGroup {
    std::uint64_t number = 0;  // 0-based, every record counted (deleted ones too)
    std::uint64_t offset = 0;  // of the point record
    collection::PointRecord point;
    std::vector<collection::ApRecord> aps;
};

class SurveyScan {
public:
    // False with Error() set ("cannot open PATH: ...", "PATH is not a
    // readable collection file: ...").
    bool Open(const std::string& path);

    // Calls visit(const SurveyGroup&) for every group; false (Error() set)
    // when a read failed. `progress`, when set, is called now and then with
    // the bytes read so far.
    bool ForEachGroup(const std::function<void(const SurveyGroup&)>& visit);
    void SetProgress(std::function<void(std::uint64_t done)> progress) { progress_ = std::move(progress); }

    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }
    const FileHandle& File() const { return file_; }
    const collection::Layout& Layout() const { return layout_; }
    std::uint64_t Length() const { return length_; }
    // Header bytes 13 to 20: seconds since 1970 when the file was made.
    std::int64_t CreatedSeconds() const;

private:
    std::string path_;
    std::string error_;
    FileHandle file_;
    collection::Layout layout_;
    std::uint64_t length_ = 0;
    std::function<void(std::uint64_t)> progress_;
};

// What a point record says, in the terms the exports use.
struct PointFacts {
    bool deleted = false;
    bool hasPosition = false;  // latitude and longitude on the earth
    bool hasPlan = false;      // plan x and y
    std::int32_t x = 0, y = 0;
    bool utcTime = false;      // GPS time (UTC); else the tablet's local time
    bool anyAp = false;
    int strongest = -100;      // as the site view colours it: -100 when nothing stronger
    int strongestHeard = 0;    // the strongest level heard, valid when anyAp
};

// GPS points (kinds 0 and 1) carry latitude and longitude, plan taps and
// markers (2 and 17) a plan pixel; a GPS point gets a plan pixel through the
// projection when one is given. A deleted point's kind is gone: it counts as
// a GPS point when it stores a position. Position 0,0 means none.

PointFacts FactsOf(const SurveyGroup& group, const AffineTransform* projection);

// "gps", "projected-tap", "plan-tap", "marker", "deleted" or "unknown".
const char* KindName(std::uint8_t kind);

}  // namespace quorl::exports
