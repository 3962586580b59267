#pragma once
// Surveys gathered in one SQLite database that answers SQL:
//   surveys       (id, path, size, sha256, created, imported)
//   points        (id, survey, number, kind, x, y, latitude, longitude, time, fix, deleted)
//   readings      (point, mac, ssid, channel, level), a view of
//   access_points (id, mac, ssid)  and  observations (point, access_point, channel, level)
// with indexes on mac, ssid and channel, and the view strongest_readings:
// the strongest reading of each access point in each survey (deleted points
// left out). An SSID is TEXT when its bytes are UTF-8 and a BLOB of the
// very bytes otherwise. Each access point is stored once: a survey hears
// the same few hundred thousands of times, and integer rows keep both the
// import and the indexes several times faster than text in every row.
//
// Each file is imported in one transaction through prepared statements: a
// file that fails to read leaves nothing behind, and a file whose content
// hash is already there adds nothing.

#include <cstdint>
#include <string>
#include <unordered_map>

#include "export/SurveyScan.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quorl::exports {

class SurveyDatabase {
public:
    enum class Result { Added, AlreadyThere, Failed };

    SurveyDatabase() = default;
    ~SurveyDatabase();
    SurveyDatabase(const SurveyDatabase&) = delete;
    SurveyDatabase& operator=(const SurveyDatabase&) = delete;

    // Opens or creates the database and its tables; false with Error() set.
    // A file that is not a database is refused and left as it is.
    bool Open(const std::string& path);
    // `projection` (may be null) gives GPS points their plan x and y.
    Result Import(SurveyScan& scan, const AffineTransform* projection = nullptr);

    const std::string& Error() const { return error_; }
    std::uint64_t ReadingsAdded() const { return readingsAdded_; }

private:
    bool Exec(const char* sql);
    bool Prepare(const char* sql, sqlite3_stmt*& statement);
    bool Failed(const std::string& doing);
    void FinalizeAll();
    // The row of an access point, added when new; -1 on a database error.
    std::int64_t AccessPointId(const collection::ApRecord& ap);

    sqlite3* db_ = nullptr;
    std::string path_;
    std::string error_;
    sqlite3_stmt* findSurvey_ = nullptr;
    sqlite3_stmt* addSurvey_ = nullptr;
    sqlite3_stmt* addPoint_ = nullptr;
    sqlite3_stmt* findAp_ = nullptr;
    sqlite3_stmt* addAp_ = nullptr;
    sqlite3_stmt* addObservation_ = nullptr;
    // Access point (MAC bytes and SSID bytes) to its row, for this import.
    std::unordered_map<std::string, std::int64_t> apIds_;
    std::string key_;  // kept, so that a lookup allocates nothing
    std::uint64_t readingsAdded_ = 0;
};

}  // namespace quorl::exports
