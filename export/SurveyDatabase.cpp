#include "export/SurveyDatabase.h"

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

#include "common/UserMessages.h"
#include "export/GeoPackageFormat.h"
#include "export/GeoPackageGeometry.h"
#include "export/SurveyIdentity.h"
#include "export/TextEscape.h"
#include "export/TextFormat.h"
#include "survey/TemporaryFiles.h"

namespace quorl::exports {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS surveys(
  id INTEGER PRIMARY KEY,
  path TEXT NOT NULL,
  size INTEGER NOT NULL,
  sha256 TEXT NOT NULL UNIQUE,
  created TEXT,
  imported TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS points(
  id INTEGER PRIMARY KEY,
  survey INTEGER NOT NULL REFERENCES surveys(id) ON DELETE CASCADE,
  number INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  x INTEGER,
  y INTEGER,
  latitude REAL,
  longitude REAL,
  time TEXT,
  fix INTEGER NOT NULL,
  deleted INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS access_points(
  id INTEGER PRIMARY KEY,
  mac TEXT NOT NULL,
  ssid NOT NULL,
  UNIQUE(mac, ssid));
CREATE INDEX IF NOT EXISTS access_points_ssid ON access_points(ssid);
CREATE TABLE IF NOT EXISTS observations(
  point INTEGER NOT NULL REFERENCES points(id) ON DELETE CASCADE,
  access_point INTEGER NOT NULL REFERENCES access_points(id),
  channel INTEGER NOT NULL,
  level INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS points_survey ON points(survey);
CREATE VIEW IF NOT EXISTS readings AS
  SELECT o.point AS point, a.mac AS mac, a.ssid AS ssid, o.channel AS channel, o.level AS level
  FROM observations o JOIN access_points a ON a.id = o.access_point;
CREATE VIEW IF NOT EXISTS strongest_readings AS
  SELECT p.survey AS survey, r.mac AS mac, r.ssid AS ssid, r.channel AS channel, MAX(r.level) AS level,
         p.number AS point, p.x AS x, p.y AS y, p.latitude AS latitude, p.longitude AS longitude
  FROM readings r JOIN points p ON p.id = r.point
  WHERE p.deleted = 0
  GROUP BY p.survey, r.mac;
)sql";

// Built after a bulk import rather than kept up to date row by row.
constexpr const char* kReadingIndexes = R"sql(
CREATE INDEX IF NOT EXISTS observations_point ON observations(point);
CREATE INDEX IF NOT EXISTS observations_access_point ON observations(access_point);
CREATE INDEX IF NOT EXISTS observations_channel ON observations(channel);
)sql";
constexpr const char* kDropReadingIndexes = R"sql(
DROP INDEX IF EXISTS observations_point;
DROP INDEX IF EXISTS observations_access_point;
DROP INDEX IF EXISTS observations_channel;
)sql";

std::string IsoUtc(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    char text[64];
    if (!gmtime_r(&t, &utc) || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0) return {};
    return text;
}

// A file: URI for `path`, every byte but the plain ones escaped.
std::string FileUri(const std::string& path) {
    static const char* digits = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
            uri += static_cast<char>(c);
        else
            uri += {'%', digits[c >> 4], digits[c & 15]};
    }
    return uri + "?immutable=1";
}

// Binds text that the statement reads before the buffer changes.
void BindText(sqlite3_stmt* s, int column, const char* text, std::size_t size) {
    sqlite3_bind_text(s, column, text, static_cast<int>(size), SQLITE_STATIC);
}

}  // namespace

SurveyDatabase::~SurveyDatabase() {
    Close();
    // A new database that was not finished: gone with its journal.
    if (pending_) ::unlink((pending_->TempPath() + "-journal").c_str());
    temporaries::Forget(journalSlot_);
}

void SurveyDatabase::Close() {
    FinalizeAll();
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
}

void SurveyDatabase::FinalizeAll() {
    for (sqlite3_stmt** s : {&findSurvey_, &addSurvey_, &addPoint_, &findAp_, &addAp_, &addObservation_, &addPlanPoint_}) {
        sqlite3_finalize(*s);
        *s = nullptr;
    }
}

bool SurveyDatabase::Failed(const std::string& doing) {
    const int systemError = sqlite3_system_errno(db_);
    const int code = sqlite3_errcode(db_);
    error_ = doing + " " + path_ + ": " +
             ((code == SQLITE_CANTOPEN || code == SQLITE_IOERR || code == SQLITE_READONLY || code == SQLITE_FULL) &&
                      systemError != 0
                  ? SystemErrorText(systemError)
                  : std::string(sqlite3_errmsg(db_)));
    return false;
}

bool SurveyDatabase::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

bool SurveyDatabase::Prepare(const char* sql, sqlite3_stmt*& statement) {
    return sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) == SQLITE_OK;
}

bool SurveyDatabase::Open(const std::string& path) {
    path_ = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        error_ = "cannot use " + path + ": not a regular file";
        return false;
    }
    // Nothing there to keep: a new database, made aside until it holds a survey.
    const bool fresh = !exists || st.st_size == 0;
    std::string openPath = path;
    if (fresh) {
        pending_ = std::make_unique<PendingFile>(path);
        if (!pending_->Created()) {
            error_ = "cannot write " + path + ": " + SystemErrorText(pending_->Error());
            pending_.reset();
            return false;
        }
        openPath = pending_->TempPath();
        // The journal of a new database is a temporary as well (Ctrl-C removes it).
        journalSlot_ = temporaries::Register(openPath + "-journal");
    } else if (!Examine()) {
        return false;
    }
    // Never SQLITE_OPEN_CREATE: the file is there, ours or made just now.
    if (sqlite3_open_v2(openPath.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        return Failed("cannot open");
    sqlite3_extended_result_codes(db_, 0);
    // Another export into the same database holds it for as long as its import takes.
    sqlite3_busy_timeout(db_, 120000);
    // Triggers of a GeoPackage's spatial indexes call these, ours and those GDAL or QGIS made.
    if (!geopackage::RegisterGeometryFunctions(db_)) return Failed("cannot open");
    // A small page cache: a big import spills its dirty pages to the file
    // as it goes, so a 200 MB survey goes in within about 40 MiB (with
    // 64 MiB of cache the process grew to 300 MiB, no faster).
    // References are checked as rows go in: two primary-key lookups a row.
    if (!Exec("PRAGMA foreign_keys = ON; PRAGMA cache_size = -4096;")) return Failed("cannot open");
    if (fresh) return Exec("PRAGMA page_size = 16384;") || Failed("cannot open");
    return format_ == Format::GeoPackage ? IsOurGeoPackage() : IsOurs();
}

bool SurveyDatabase::Examine() {
    // Immutable: SQLite reads the main file alone, so a foreign database's
    // WAL or hot journal is neither replayed nor deleted (a read-write open
    // would do both before the first query).
    const std::string uri = FileUri(path_);
    if (sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        Failed("cannot open");
        Close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 0);
    const bool ours = format_ == Format::GeoPackage ? IsOurGeoPackage() : IsOurs();
    Close();
    return ours;
}

bool SurveyDatabase::IsOurGeoPackage() {
    // Reads only, as IsOurs. A GeoPackage's marks are the standard's; ours
    // is the point layer's description.
    const std::string leftAlone = " (left as it is)";
    sqlite3_stmt* s = nullptr;
    std::int64_t application = 0;
    if (sqlite3_prepare_v2(db_, "PRAGMA application_id", -1, &s, nullptr) != SQLITE_OK || sqlite3_step(s) != SQLITE_ROW) {
        sqlite3_finalize(s);
        return Failed("cannot use");
    }
    application = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    s = nullptr;
    const std::string prefix = geopackage::LayerDescription(0).substr(0, geopackage::LayerDescription(0).size() - 1);
    int version = -1;
    if (application == geopackage::kApplicationId &&
        sqlite3_prepare_v2(db_, "SELECT description FROM gpkg_contents WHERE table_name = 'survey_points'", -1, &s,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        const std::string description = text ? text : "";
        if (description.rfind(prefix, 0) == 0) version = std::atoi(description.c_str() + prefix.size());
    }
    sqlite3_finalize(s);
    if (version > geopackage::kSchemaVersion) {
        error_ = "cannot use " + path_ + ": a survey GeoPackage of a newer version (schema " + std::to_string(version) +
                 ")" + leftAlone;
        return false;
    }
    if (version >= 1) {
        packageVersion_ = version;
        return true;
    }
    error_ = "cannot use " + path_ + ": " +
             (application == geopackage::kApplicationId ? "a GeoPackage that is not a quorl survey database"
                                                        : "not a GeoPackage") +
             leftAlone;
    return false;
}

bool SurveyDatabase::IsOurs() {
    // Reads only: a file refused here is left byte for byte as it was.
    const auto number = [&](const char* sql, std::int64_t& value) {
        sqlite3_stmt* s = nullptr;
        const bool ok = sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW;
        if (ok) value = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return ok;
    };
    std::int64_t application = 0, version = 0, ourTables = 0, tables = 0;
    if (!number("PRAGMA application_id", application) || !number("PRAGMA user_version", version) ||
        !number("SELECT count(*) FROM sqlite_master WHERE type = 'table'", tables) ||
        !number("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                "('surveys', 'points', 'access_points', 'observations')",
                ourTables))
        return Failed("cannot use");
    const std::string leftAlone = " (left as it is)";
    if (application == kApplicationId) {
        if (version <= kSchemaVersion) return true;
        error_ = "cannot use " + path_ + ": a survey database of a newer version (schema " + std::to_string(version) +
                 ")" + leftAlone;
        return false;
    }
    // Made before databases were marked: exactly our four tables.
    if (application == 0 && version == 0 && tables == 4 && ourTables == 4) return true;
    error_ = "cannot use " + path_ + ": a SQLite database that is not a quorl survey database" + leftAlone;
    return false;
}

bool SurveyDatabase::MakeReady() {
    if (ready_) return true;
    if (format_ == Format::GeoPackage) {
        const bool hadIndex = HasTable("rtree_survey_points_geom");
        char* marks = sqlite3_mprintf(
            "UPDATE gpkg_contents SET description = %Q WHERE table_name = 'survey_points';"
            "PRAGMA application_id = %d; PRAGMA user_version = %d;",
            geopackage::LayerDescription().c_str(), geopackage::kApplicationId, geopackage::kUserVersion);
        // Schema 1 had no local_time; its time column stays TEXT (a column's type cannot change in place).
        const bool made = marks && Exec(geopackage::kSchema) &&
                          (packageVersion_ != 1 || HasColumn("survey_points", "local_time") ||
                           Exec("ALTER TABLE survey_points ADD COLUMN local_time TEXT")) &&
                          Exec(geopackage::PointLayerSql("survey_points", 4326, geopackage::LayerDescription()).c_str()) &&
                          (hadIndex || FillIndex("survey_points")) && AddSiteColumns() && Exec(marks);
        sqlite3_free(marks);
        if (!made ||
            !Prepare("SELECT id FROM surveys WHERE sha256 = ?1", findSurvey_) ||
            !Prepare("INSERT INTO surveys(path, size, sha256, created, imported, site, floor, floor_level) "
                 "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
                     addSurvey_) ||
            !Prepare("INSERT INTO survey_points(survey, number, kind, x, y, latitude, longitude, time, fix, deleted, "
                     "strongest, access_points, geom, local_time) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)",
                     addPoint_) ||
            !Prepare("INSERT INTO readings(point, mac, ssid, ssid_hex, channel, level) VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
                     addObservation_))
            return false;
        ready_ = true;
        return true;
    }
    char marks[96];
    std::snprintf(marks, sizeof marks, "PRAGMA application_id = %d; PRAGMA user_version = %d;", kApplicationId,
                  kSchemaVersion);
    if (!Exec(kSchema) || !AddSiteColumns() || !Exec(kReadingIndexes) || !Exec(marks)) return false;
    if (!Prepare("SELECT id FROM surveys WHERE sha256 = ?1", findSurvey_) ||
        !Prepare("INSERT INTO surveys(path, size, sha256, created, imported, site, floor, floor_level) "
                 "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
                 addSurvey_) ||
        !Prepare("INSERT INTO points(survey, number, kind, x, y, latitude, longitude, time, fix, deleted) "
                 "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
                 addPoint_) ||
        !Prepare("SELECT id FROM access_points WHERE mac = ?1 AND ssid = ?2", findAp_) ||
        !Prepare("INSERT INTO access_points(mac, ssid) VALUES(?1, ?2)", addAp_) ||
        !Prepare("INSERT INTO observations(point, access_point, channel, level) VALUES(?1, ?2, ?3, ?4)",
                 addObservation_))
        return false;
    ready_ = true;
    return true;
}

bool SurveyDatabase::AddSiteColumns() {
    // Older databases lack them: added in place, NULL for the surveys already there.
    for (const char* column : {"site TEXT", "floor TEXT", "floor_level INTEGER"}) {
        const std::string name(column, std::string_view(column).find(' '));
        if (HasColumn("surveys", name.c_str())) continue;
        if (!Exec(("ALTER TABLE surveys ADD COLUMN " + std::string(column)).c_str())) return false;
    }
    return true;
}

bool SurveyDatabase::HasTable(const char* name) {
    sqlite3_stmt* s = nullptr;
    const bool found = Prepare("SELECT 1 FROM sqlite_master WHERE name = ?1", s) &&
                       sqlite3_bind_text(s, 1, name, -1, SQLITE_STATIC) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW;
    sqlite3_finalize(s);
    return found;
}

bool SurveyDatabase::HasColumn(const char* table, const char* column) {
    sqlite3_stmt* s = nullptr;
    bool found = false;
    if (Prepare("SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2", s) &&
        sqlite3_bind_text(s, 1, table, -1, SQLITE_STATIC) == SQLITE_OK &&
        sqlite3_bind_text(s, 2, column, -1, SQLITE_STATIC) == SQLITE_OK)
        found = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_finalize(s);
    return found;
}

bool SurveyDatabase::FillIndex(const std::string& table) {
    // An index made over rows already there (a package of schema 1).
    const std::string sql = "INSERT OR REPLACE INTO \"rtree_" + table + "_geom\" SELECT fid, ST_MinX(geom), "
                            "ST_MaxX(geom), ST_MinY(geom), ST_MaxY(geom) FROM \"" + table +
                            "\" WHERE geom NOT NULL AND NOT ST_IsEmpty(geom)";
    return Exec(sql.c_str());
}

sqlite3_stmt* SurveyDatabase::PlanStatement() {
    if (addPlanPoint_) return addPlanPoint_;
    const bool metres = plan_.Metres();
    const std::string table = metres ? "plan_points" : "plan_points_px";
    if (!Exec(geopackage::PlanLayerSql(table, PlanSrsId(plan_), metres).c_str())) return nullptr;
    const std::string insert = "INSERT INTO \"" + table +
                               "\"(point, survey, number, kind, x, y, strongest, access_points, geom) "
                               "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)";
    if (!Prepare(insert.c_str(), addPlanPoint_)) return nullptr;
    return addPlanPoint_;
}

bool SurveyDatabase::Finish() {
    Close();
    if (!pending_) {
        written_ = !path_.empty();
        return true;
    }
    if (surveysAdded_ == 0) {
        pending_.reset();  // removes the empty database
        return true;
    }
    if (!pending_->CommitIfUnchanged()) {
        error_ = pending_->Error() == EEXIST
                     ? "cannot write " + path_ + ": another program made it while this export ran; it is left as it " +
                           "is and nothing was added to it (run the export again to add the surveys)"
                     : "cannot write " + path_ + ": " + SystemErrorText(pending_->Error());
        pending_.reset();
        temporaries::Forget(journalSlot_);
        journalSlot_ = -1;
        return false;
    }
    temporaries::Forget(journalSlot_);
    journalSlot_ = -1;
    pending_.reset();
    written_ = true;
    return true;
}

std::int64_t SurveyDatabase::AccessPointId(const collection::ApRecord& ap) {
    std::size_t n = 0;
    while (n < ap.ssid.size() && ap.ssid[n] != '\0') ++n;
    key_.assign(reinterpret_cast<const char*>(ap.mac.data()), ap.mac.size());
    key_.append(ap.ssid.data(), n);
    if (const auto known = apIds_.find(key_); known != apIds_.end()) return known->second;

    char mac[17];
    PutMac(mac, ap.mac);
    const std::string_view ssid(ap.ssid.data(), n);
    const bool text = IsValidUtf8(ssid);
    sqlite3_int64 id = -1;
    for (sqlite3_stmt* s : {findAp_, addAp_}) {
        sqlite3_reset(s);
        BindText(s, 1, mac, sizeof mac);
        if (text)
            BindText(s, 2, ssid.data(), n);
        else
            sqlite3_bind_blob(s, 2, ssid.data(), static_cast<int>(n), SQLITE_STATIC);
        const int step = sqlite3_step(s);
        if (s == findAp_ && step == SQLITE_ROW) {
            id = sqlite3_column_int64(s, 0);
            break;
        }
        if (s == findAp_ && step == SQLITE_DONE) continue;
        if (s == addAp_ && step == SQLITE_DONE) id = sqlite3_last_insert_rowid(db_);
        break;
    }
    sqlite3_reset(findAp_);
    if (id >= 0) apIds_.emplace(key_, id);
    return id;
}

bool SurveyDatabase::AddReading(std::int64_t point, const collection::ApRecord& ap) {
    std::size_t n = 0;
    while (n < ap.ssid.size() && ap.ssid[n] != '\0') ++n;
    const std::string_view ssid(ap.ssid.data(), n);
    char mac[17], text[32 * 3], hex[64];
    PutMac(mac, ap.mac);
    const char* textEnd = PutUtf8Text(text, ssid);
    sqlite3_stmt* s = addObservation_;
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, point);
    BindText(s, 2, mac, sizeof mac);
    BindText(s, 3, text, static_cast<std::size_t>(textEnd - text));
    // The exact bytes where the text had to replace some.
    if (IsValidUtf8(ssid))
        sqlite3_bind_null(s, 4);
    else
        BindText(s, 4, hex, static_cast<std::size_t>(PutHex(hex, ssid) - hex));
    sqlite3_bind_int64(s, 5, ap.channel);
    sqlite3_bind_int(s, 6, ap.Level());
    return sqlite3_step(s) == SQLITE_DONE;
}

bool SurveyDatabase::UpdateExtent(const char* table, double minLon, double minLat, double maxLon, double maxLat) {
    sqlite3_stmt* s = nullptr;
    const char* sql = minLon <= maxLon
        ? "UPDATE gpkg_contents SET min_x = min(coalesce(min_x, ?1), ?1), min_y = min(coalesce(min_y, ?2), ?2), "
          "max_x = max(coalesce(max_x, ?3), ?3), max_y = max(coalesce(max_y, ?4), ?4), "
          "last_change = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') WHERE table_name = ?5"
        : "UPDATE gpkg_contents SET last_change = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') "
          "WHERE table_name IN ('survey_points', 'surveys', 'readings')";
    bool ok = sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) == SQLITE_OK;
    if (ok && minLon <= maxLon) {
        sqlite3_bind_double(s, 1, minLon);
        sqlite3_bind_double(s, 2, minLat);
        sqlite3_bind_double(s, 3, maxLon);
        sqlite3_bind_double(s, 4, maxLat);
        sqlite3_bind_text(s, 5, table, -1, SQLITE_STATIC);
    }
    ok = ok && sqlite3_step(s) == SQLITE_DONE;
    sqlite3_finalize(s);
    return ok;
}

SurveyDatabase::Result SurveyDatabase::Import(SurveyScan& scan, const AffineTransform* projection) {
    if (!db_) return Result::Failed;
    SurveyIdentity identity;
    if (!IdentifySurvey(scan, identity)) {
        error_ = scan.Error();
        return Result::Failed;
    }
    const std::string& digest = identity.sha256;

    if (!Exec("BEGIN IMMEDIATE")) {
        Failed("cannot write");
        return Result::Failed;
    }
    // Ids of access points added in a transaction that is rolled back are
    // gone, and so are the tables when this transaction made them.
    const bool wasReady = ready_;
    apIds_.clear();
    // A plan layer this transaction makes is gone again on a rollback: its statement is made anew each import.
    sqlite3_finalize(addPlanPoint_);
    addPlanPoint_ = nullptr;
    const auto rollback = [&](Result result) {
        apIds_.clear();
        sqlite3_finalize(addPlanPoint_);
        addPlanPoint_ = nullptr;
        Exec("ROLLBACK");
        if (!wasReady) {
            FinalizeAll();
            ready_ = false;
        }
        return result;
    };
    if (!MakeReady()) {
        Failed("cannot write");
        return rollback(Result::Failed);
    }
    sqlite3_reset(findSurvey_);
    BindText(findSurvey_, 1, digest.data(), digest.size());
    const int found = sqlite3_step(findSurvey_);
    sqlite3_reset(findSurvey_);
    if (found == SQLITE_ROW) return rollback(Result::AlreadyThere);
    if (found != SQLITE_DONE) {
        Failed("cannot read");
        return rollback(Result::Failed);
    }

    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(scan.Path(), ec).lexically_normal().string();
    const std::string created = IsoUtc(scan.CreatedSeconds());
    const std::string imported = IsoUtc(static_cast<std::int64_t>(std::time(nullptr)));
    sqlite3_reset(addSurvey_);
    sqlite3_bind_text(addSurvey_, 1, ec ? scan.Path().c_str() : absolute.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(addSurvey_, 2, static_cast<sqlite3_int64>(scan.Length()));
    BindText(addSurvey_, 3, digest.data(), digest.size());
    if (created.empty())
        sqlite3_bind_null(addSurvey_, 4);
    else
        BindText(addSurvey_, 4, created.data(), created.size());
    BindText(addSurvey_, 5, imported.data(), imported.size());
    if (hasSite_) {
        BindText(addSurvey_, 6, site_.data(), site_.size());
        BindText(addSurvey_, 7, floor_.data(), floor_.size());
        sqlite3_bind_int(addSurvey_, 8, level_);
    } else {
        for (int column = 6; column <= 8; ++column) sqlite3_bind_null(addSurvey_, column);
    }
    if (sqlite3_step(addSurvey_) != SQLITE_DONE) {
        Failed("cannot write");
        return rollback(Result::Failed);
    }
    const sqlite3_int64 survey = sqlite3_last_insert_rowid(db_);

    // Keeping three indexes up to date costs twice the inserts themselves;
    // sorting them anew is cheaper when this file brings more readings than
    // the database holds. Inside the transaction, so a failure keeps them.
    const std::uint64_t incoming = scan.Length() / scan.Layout().apRecordSize;
    sqlite3_int64 held = 0;
    if (format_ == Format::Sqlite) {
        sqlite3_stmt* last = nullptr;
        if (Prepare("SELECT coalesce(max(rowid), 0) FROM observations", last) && sqlite3_step(last) == SQLITE_ROW)
            held = sqlite3_column_int64(last, 0);
        sqlite3_finalize(last);
    }
    const bool rebuildIndexes = format_ == Format::Sqlite && incoming > static_cast<std::uint64_t>(held);
    if (rebuildIndexes && !Exec(kDropReadingIndexes)) {
        Failed("cannot write");
        return rollback(Result::Failed);
    }

    bool writeFailed = false;
    std::uint64_t readings = 0;
    std::uint64_t visited = 0;
    // The GeoPackage layer's extent: of the points given a geometry.
    double minLon = 181, minLat = 91, maxLon = -181, maxLat = -91;
    double planMinX = HUGE_VAL, planMinY = HUGE_VAL, planMaxX = -HUGE_VAL, planMaxY = -HUGE_VAL;
    const bool read = scan.ForEachGroup([&](const SurveyGroup& g) {
        // Only the groups identified above: a collector may append meanwhile.
        if (writeFailed || visited++ >= identity.groups) return;
        const auto& p = g.point;
        const PointFacts f = FactsOf(g, projection);
        sqlite3_stmt* s = addPoint_;
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, survey);
        sqlite3_bind_int64(s, 2, static_cast<sqlite3_int64>(g.number));
        sqlite3_bind_int(s, 3, p.kind);
        if (f.hasPlan) {
            sqlite3_bind_int(s, 4, f.x);
            sqlite3_bind_int(s, 5, f.y);
        } else {
            sqlite3_bind_null(s, 4);
            sqlite3_bind_null(s, 5);
        }
        if (f.hasPosition) {
            sqlite3_bind_double(s, 6, p.latitude / collection::kPositionScale);
            sqlite3_bind_double(s, 7, p.longitude / collection::kPositionScale);
        } else {
            sqlite3_bind_null(s, 6);
            sqlite3_bind_null(s, 7);
        }
        char when[32];
        const char* whenEnd = PutIsoTime(when, p, f.gpsTime);
        // A GeoPackage's DATETIME is UTC: a plan tap's local time goes to local_time.
        const bool localTime = format_ == Format::GeoPackage && !f.gpsTime;
        if (whenEnd == when || localTime)
            sqlite3_bind_null(s, 8);
        else
            BindText(s, 8, when, static_cast<std::size_t>(whenEnd - when));
        if (format_ == Format::GeoPackage) {
            if (whenEnd == when || !localTime)
                sqlite3_bind_null(s, 14);
            else
                BindText(s, 14, when, static_cast<std::size_t>(whenEnd - when));
        }
        sqlite3_bind_int(s, 9, p.fix);
        sqlite3_bind_int(s, 10, f.deleted ? 1 : 0);
        if (format_ == Format::GeoPackage) {
            if (f.anyAp)
                sqlite3_bind_int(s, 11, f.strongestHeard);
            else
                sqlite3_bind_null(s, 11);
            sqlite3_bind_int64(s, 12, static_cast<sqlite3_int64>(g.aps.size()));
            // A deleted point keeps its row and position, but is no place on the map.
            std::uint8_t blob[geopackage::kPointBlobSize];
            if (f.hasPosition && !f.deleted) {
                const double lon = p.longitude / collection::kPositionScale, lat = p.latitude / collection::kPositionScale;
                geopackage::PutPointBlob(blob, lon, lat);
                sqlite3_bind_blob(s, 13, blob, sizeof blob, SQLITE_TRANSIENT);
                minLon = std::min(minLon, lon), maxLon = std::max(maxLon, lon);
                minLat = std::min(minLat, lat), maxLat = std::max(maxLat, lat);
            } else {
                sqlite3_bind_null(s, 13);
            }
        }
        if (sqlite3_step(s) != SQLITE_DONE) {
            writeFailed = true;
            return;
        }
        const sqlite3_int64 point = sqlite3_last_insert_rowid(db_);
        if (format_ == Format::GeoPackage && f.hasPlan && !f.deleted) {
            sqlite3_stmt* plan = PlanStatement();
            if (!plan) {
                writeFailed = true;
                return;
            }
            sqlite3_reset(plan);
            sqlite3_bind_int64(plan, 1, point);
            sqlite3_bind_int64(plan, 2, survey);
            sqlite3_bind_int64(plan, 3, static_cast<sqlite3_int64>(g.number));
            sqlite3_bind_int(plan, 4, p.kind);
            sqlite3_bind_int(plan, 5, f.x);
            sqlite3_bind_int(plan, 6, f.y);
            if (f.anyAp)
                sqlite3_bind_int(plan, 7, f.strongestHeard);
            else
                sqlite3_bind_null(plan, 7);
            sqlite3_bind_int64(plan, 8, static_cast<sqlite3_int64>(g.aps.size()));
            std::uint8_t blob[geopackage::kPointBlobSize];
            const double px = plan_.X(f.x), py = plan_.Y(f.y);
            geopackage::PutPointBlob(blob, px, py, PlanSrsId(plan_));
            sqlite3_bind_blob(plan, 9, blob, sizeof blob, SQLITE_TRANSIENT);
            if (sqlite3_step(plan) != SQLITE_DONE) {
                writeFailed = true;
                return;
            }
            planMinX = std::min(planMinX, px), planMaxX = std::max(planMaxX, px);
            planMinY = std::min(planMinY, py), planMaxY = std::max(planMaxY, py);
        }
        if (format_ == Format::GeoPackage) {
            for (const auto& ap : g.aps) {
                if (!AddReading(point, ap)) {
                    writeFailed = true;
                    return;
                }
                ++readings;
            }
            return;
        }
        for (const auto& ap : g.aps) {
            const sqlite3_int64 id = AccessPointId(ap);
            if (id < 0) {
                writeFailed = true;
                return;
            }
            s = addObservation_;
            sqlite3_reset(s);
            sqlite3_bind_int64(s, 1, point);
            sqlite3_bind_int64(s, 2, id);
            sqlite3_bind_int64(s, 3, ap.channel);
            sqlite3_bind_int(s, 4, ap.Level());
            if (sqlite3_step(s) != SQLITE_DONE) {
                writeFailed = true;
                return;
            }
            ++readings;
        }
    });
    if (!read) {
        error_ = scan.Error();
        return rollback(Result::Failed);
    }
    if (!writeFailed && format_ == Format::GeoPackage &&
        (!UpdateExtent("survey_points", minLon, minLat, maxLon, maxLat) ||
         (planMinX <= planMaxX &&
          !UpdateExtent(plan_.Metres() ? "plan_points" : "plan_points_px", planMinX, planMinY, planMaxX, planMaxY))))
        writeFailed = true;
    if (writeFailed || (rebuildIndexes && !Exec(kReadingIndexes))) {
        Failed("cannot write");
        return rollback(Result::Failed);
    }
    if (!Exec("COMMIT")) {
        Failed("cannot write");
        return rollback(Result::Failed);
    }
    readingsAdded_ += readings;
    ++surveysAdded_;
    return Result::Added;
}

}  // namespace quorl::exports
