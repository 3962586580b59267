#pragma once
// Surveys gathered in one SQLite database that answers SQL:
//   surveys       (id, path, size, sha256, created, imported, site, floor, floor_level)
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
// file that fails to read leaves nothing behind, and a survey already there
// (same header and complete groups, see SurveyIdentity) adds nothing.
//
// The database is marked as ours (application_id, and user_version as the
// schema version); any other SQLite file, or a file that is not one, is
// refused and left byte for byte as it was, with its WAL or journal: it is
// examined read-only and immutable, never recovered. A new database is built
// under a temporary name beside the output, its schema made inside the first
// import's transaction, and renamed into place by Finish() only when a
// survey went in: a failure (a full disk) leaves nothing behind. Two exports
// that start a new database at once do not overwrite each other: the later
// one to finish fails with a message, the file of the first kept.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "export/PlanFrame.h"
#include "export/SurveyScan.h"
#include "survey/PendingFile.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quorl::exports {

class SurveyDatabase {
public:
    enum class Result { Added, AlreadyThere, Failed };
    // Our own tables (above), or the same surveys as a GeoPackage for GIS
    // tools (see GeoPackageFormat.h), marked as a GeoPackage and as ours.
    enum class Format { Sqlite, GeoPackage };

    explicit SurveyDatabase(Format format = Format::Sqlite) : format_(format) {}
    ~SurveyDatabase();
    SurveyDatabase(const SurveyDatabase&) = delete;
    SurveyDatabase& operator=(const SurveyDatabase&) = delete;

    // "QRL1": the application_id of our databases.
    static constexpr std::int32_t kApplicationId = 0x51524C31;
    // The schema written today. A database of ours that predates the
    // marking has version 0 and is marked when it next takes a survey.
    static constexpr std::int32_t kSchemaVersion = 1;

    // Opens our database at `path`, or starts a new one when there is no
    // file there (or an empty one); false with Error() set, the file untouched.
    bool Open(const std::string& path);
    // `projection` (may be null) gives GPS points their plan x and y.
    Result Import(SurveyScan& scan, const AffineTransform* projection = nullptr);
    // The building and floor recorded with the surveys imported from now on
    // (a survey of no site has them NULL). A database made before these
    // columns gets them added at its next import.
    void SetSite(const std::string& site, const std::string& floor, int level) {
        site_ = site, floor_ = floor, level_ = level, hasSite_ = true;
    }
    // The plan's system for the GeoPackage's plan layers (pixels unless set).
    void SetPlanFrame(const PlanFrame& frame) { plan_ = frame; }
    // Closes the database; a new one is put in place when a survey went in.
    // False with Error() set when that failed.
    bool Finish();
    // Whether Finish() left a database at the path (false: a new one that
    // took nothing, which is not written).
    bool Written() const { return written_; }

    const std::string& Error() const { return error_; }
    std::uint64_t ReadingsAdded() const { return readingsAdded_; }

private:
    bool Exec(const char* sql);
    // Whether the file at the path is ours, read without touching it or its
    // side files; Error() set when not.
    bool Examine();
    // Whether the open file is a database of ours (Error() set when not).
    bool IsOurs();
    bool IsOurGeoPackage();
    // Schema, marks and statements, inside the import's transaction.
    bool MakeReady();
    void Close();
    bool Prepare(const char* sql, sqlite3_stmt*& statement);
    bool Failed(const std::string& doing);
    void FinalizeAll();
    // A GeoPackage's reading row, and the point layer's extent grown to
    // take the points just added; false on a database error.
    bool AddReading(std::int64_t point, const collection::ApRecord& ap);
    bool UpdateExtent(const char* table, double minLon, double minLat, double maxLon, double maxLat);
    bool HasTable(const char* name);
    bool HasColumn(const char* table, const char* column);
    // The site and floor columns of the surveys table, added when missing.
    bool AddSiteColumns();
    // Fills a point layer's R-tree made over rows already there.
    bool FillIndex(const std::string& table);
    // The insert into the plan layer of plan_'s unit, the layer made when
    // missing; null on a database error.
    sqlite3_stmt* PlanStatement();
    // The row of an access point, added when new; -1 on a database error.
    std::int64_t AccessPointId(const collection::ApRecord& ap);

    Format format_;
    sqlite3* db_ = nullptr;
    std::string path_;
    std::unique_ptr<PendingFile> pending_;  // a new database, until Finish()
    int journalSlot_ = -1;                  // the new database's journal, armed for signals
    bool ready_ = false;                    // schema there and statements prepared
    bool written_ = false;
    std::uint64_t surveysAdded_ = 0;
    std::string error_;
    sqlite3_stmt* findSurvey_ = nullptr;
    sqlite3_stmt* addSurvey_ = nullptr;
    sqlite3_stmt* addPoint_ = nullptr;
    sqlite3_stmt* findAp_ = nullptr;
    sqlite3_stmt* addAp_ = nullptr;
    sqlite3_stmt* addObservation_ = nullptr;
    sqlite3_stmt* addPlanPoint_ = nullptr;  // made at the first plan point of each import
    PlanFrame plan_;
    std::string site_, floor_;
    int level_ = 0;
    bool hasSite_ = false;
    int packageVersion_ = 0;                // of a GeoPackage that was there
    // Access point (MAC bytes and SSID bytes) to its row, for this import.
    std::unordered_map<std::string, std::int64_t> apIds_;
    std::string key_;  // kept, so that a lookup allocates nothing
    std::uint64_t readingsAdded_ = 0;
};

}  // namespace quorl::exports
