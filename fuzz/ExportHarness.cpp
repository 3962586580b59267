// The input as a collection file through every export format, run as
// `quorl ssd export` runs them, then into the same database a second time.
//
// Checked: a file the walk refuses gives no output at all; otherwise each
// output is read by a strict reader that shares no code with its writer
// (JSON parser, expat for XML, an RFC 4180 field count, SQLite's
// integrity_check) and holds what the walk visited: CSV rows, GeoJSON
// features with coordinates on the earth, KML placemarks, database and
// GeoPackage points, readings and geometries; a clean file (complete groups up to its end) agrees with a
// walk by counts that shares no code with the reader; a second import adds
// nothing; the input is never written and no file but the outputs is left.

#include <expat.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "export/SurveyScan.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/Harnesses.h"
#include "survey/CollectionFormat.h"
#include "tools/SsdExport.h"

namespace quorl::fuzz {

namespace {

// What the shared walk visits, counted as each format shows it.
struct Expected {
    bool opens = false;
    std::uint64_t points = 0, listed = 0, readings = 0, rows = 0, onEarth = 0;
};

Expected Visit(const std::string& path) {
    Expected e;
    exports::SurveyScan scan;
    if (!scan.Open(path)) return e;
    e.opens = true;
    const bool read = scan.ForEachGroup([&](const exports::SurveyGroup& g) {
        ++e.points;
        e.readings += g.aps.size();
        e.rows += g.aps.empty() ? 1 : g.aps.size();
        if (g.point.kind == 255) return;
        ++e.listed;
        const bool gps = g.point.kind == 0 || g.point.kind == 1;
        const double lat = g.point.latitude / collection::kPositionScale;
        const double lon = g.point.longitude / collection::kPositionScale;
        if (gps && (lat != 0 || lon != 0) && std::fabs(lat) <= 90 && std::fabs(lon) <= 180) ++e.onEarth;
    });
    FUZZ_CHECK(read, "reading a file in the scratch folder failed");
    return e;
}

// Groups by their counts from the first one, without the reader. Clean when
// every group is complete and the last one ends with the file.
struct CountWalk {
    bool clean = false;
    std::uint64_t points = 0, readings = 0;
};

CountWalk WalkByCounts(const Bytes& file) {
    CountWalk w;
    const std::uint64_t pairOffset = ReadLe32(file.data() + 21);
    const std::uint64_t pointSize = ReadLe32(file.data() + pairOffset);
    const std::uint64_t apSize = ReadLe32(file.data() + pairOffset + 4);
    std::uint64_t at = pairOffset + 8;
    while (at + pointSize <= file.size()) {
        const std::uint64_t count = ReadLe16(file.data() + at + 34);
        if (at + pointSize + count * apSize > file.size()) return w;
        ++w.points;
        w.readings += count;
        at += pointSize + count * apSize;
    }
    w.clean = at == file.size();
    return w;
}

// Records and their field counts, RFC 4180: quoted fields may hold
// anything, a quote inside doubled. -1 for a malformed record.
std::vector<int> CsvFieldCounts(const Bytes& text) {
    std::vector<int> records;
    int fields = 1;
    bool quoted = false, atStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = static_cast<char>(text[i]);
        if (quoted) {
            if (c != '"') continue;
            if (i + 1 < text.size() && text[i + 1] == '"') {
                ++i;
                continue;
            }
            quoted = false;
            if (i + 1 < text.size() && text[i + 1] != ',' && text[i + 1] != '\n') return {-1};
        } else if (c == '"') {
            if (!atStart) return {-1};
            quoted = true;
        } else if (c == ',') {
            ++fields;
            atStart = true;
            continue;
        } else if (c == '\n') {
            records.push_back(fields);
            fields = 1;
            atStart = true;
            continue;
        }
        atStart = false;
    }
    if (quoted || !atStart || fields != 1) return {-1};  // every record ends with a line break
    return records;
}

struct KmlFacts {
    std::uint64_t placemarks = 0;
    bool coordinatesOnEarth = true;
    std::string text;  // of the element being read
};

void XMLCALL KmlStart(void* data, const XML_Char* name, const XML_Char**) {
    auto* k = static_cast<KmlFacts*>(data);
    if (std::string(name) == "Placemark") ++k->placemarks;
    k->text.clear();
}

void XMLCALL KmlEnd(void* data, const XML_Char* name) {
    auto* k = static_cast<KmlFacts*>(data);
    if (std::string(name) != "coordinates") return;
    double lon = 999, lat = 999;
    if (std::sscanf(k->text.c_str(), "%lf,%lf", &lon, &lat) != 2 || std::fabs(lat) > 90 || std::fabs(lon) > 180 ||
        (lat == 0 && lon == 0))
        k->coordinatesOnEarth = false;
}

void XMLCALL KmlText(void* data, const XML_Char* text, int length) {
    static_cast<KmlFacts*>(data)->text.append(text, static_cast<std::size_t>(length));
}

std::int64_t Number(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    std::int64_t value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        value = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return value;
}

class ExportRun {
public:
    ExportRun() : dir_(ScratchDir() + "/export") {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        std::filesystem::create_directory(dir_);
    }

    void Run(const std::uint8_t* bytes, std::size_t size) {
        const Bytes input(bytes, bytes + size);
        const std::string in = dir_ + "/in.ssd";
        WriteFile(in, input);
        const Expected e = Visit(in);
        if (e.opens) {
            const CountWalk w = WalkByCounts(input);
            if (w.clean)
                FUZZ_CHECK(e.points == w.points && e.readings == w.readings,
                           "the walk disagrees with the counts of a clean file");
        }
        std::set<std::string> outputs = {"in.ssd"};
        for (const char* format : {"csv", "geojson", "kml", "sqlite", "gpkg"}) {
            const std::string name = std::string("out.") + format;
            const int status = Export(in, format, dir_ + "/" + name);
            const bool written = FileExists(dir_ + "/" + name);
            const bool expectWritten = e.opens && (std::string(format) != "kml" || e.onEarth > 0);
            FUZZ_CHECK(written == expectWritten, std::string(format) + ": written when it should not be, or not");
            FUZZ_CHECK(status == (expectWritten ? 0 : 1), std::string(format) + ": wrong exit status");
            if (written) outputs.insert(name);
        }
        FUZZ_CHECK(ReadFile(in) == input, "an export wrote to its input");
        const std::vector<std::string> names = FileNames(dir_);
        FUZZ_CHECK(std::set<std::string>(names.begin(), names.end()) == outputs,
                   "files other than the outputs were left in the folder");
        if (!e.opens) return;
        CheckCsv(e);
        CheckGeoJson(e);
        if (e.onEarth > 0) CheckKml(e);
        CheckDatabase(e);
        CheckGeoPackage(e);
        FUZZ_CHECK(Export(in, "sqlite", dir_ + "/out.sqlite") == 0, "importing the same survey again failed");
        FUZZ_CHECK(Export(in, "gpkg", dir_ + "/out.gpkg") == 0, "importing the same survey again failed");
        CheckDatabase(e);
        CheckGeoPackage(e);
    }

private:
    // RunSsdExport with its messages sent nowhere.
    int Export(const std::string& in, const char* format, const std::string& out) {
        std::fflush(stderr);
        const int saved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        ::dup2(null, STDERR_FILENO);
        ::close(null);
        const int status = tools::RunSsdExport({{in}, format, out, {}, false});
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        return status;
    }

    void CheckCsv(const Expected& e) {
        const std::vector<int> records = CsvFieldCounts(ReadFile(dir_ + "/out.csv"));
        FUZZ_CHECK(records.size() == e.rows + 1, "CSV rows differ from the records walked");
        for (int fields : records) FUZZ_CHECK(fields == 19, "a CSV record without 19 fields");
    }

    void CheckGeoJson(const Expected& e) {
        const Bytes text = ReadFile(dir_ + "/out.geojson");
        const nlohmann::json doc = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
        FUZZ_CHECK(!doc.is_discarded(), "the GeoJSON does not parse");
        FUZZ_CHECK(doc.value("type", "") == "FeatureCollection" && doc["features"].is_array() &&
                       doc["features"].size() == e.listed,
                   "GeoJSON features differ from the points walked");
        std::uint64_t located = 0;
        for (const auto& f : doc["features"]) {
            const auto& g = f["geometry"];
            if (g.is_null()) continue;
            ++located;
            const auto& c = g["coordinates"];
            FUZZ_CHECK(c.is_array() && c.size() == 2 && c[0].is_number() && c[1].is_number() && std::fabs(c[0].get<double>()) <= 180 &&
                           std::fabs(c[1].get<double>()) <= 90,
                       "a GeoJSON point off the earth");
        }
        FUZZ_CHECK(located == e.onEarth, "GeoJSON geometries differ from the positions on the earth");
    }

    void CheckKml(const Expected& e) {
        const Bytes text = ReadFile(dir_ + "/out.kml");
        KmlFacts facts;
        XML_Parser parser = XML_ParserCreate("UTF-8");
        XML_SetUserData(parser, &facts);
        XML_SetElementHandler(parser, KmlStart, KmlEnd);
        XML_SetCharacterDataHandler(parser, KmlText);
        const bool parsed = XML_Parse(parser, reinterpret_cast<const char*>(text.data()), static_cast<int>(text.size()),
                                      1) == XML_STATUS_OK;
        const std::string why = parsed ? "" : XML_ErrorString(XML_GetErrorCode(parser));
        XML_ParserFree(parser);
        FUZZ_CHECK(parsed, "the KML is not well-formed XML: " + why);
        FUZZ_CHECK(facts.placemarks == e.onEarth, "KML placemarks differ from the positions on the earth");
        FUZZ_CHECK(facts.coordinatesOnEarth, "a KML placemark off the earth");
    }

    // Opened read-only and checked whole; null when it does not open.
    sqlite3* OpenChecked(const std::string& name) {
        sqlite3* db = nullptr;
        FUZZ_CHECK(sqlite3_open_v2((dir_ + "/" + name).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK,
                   name + " does not open");
        sqlite3_stmt* s = nullptr;
        std::string integrity;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            integrity = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        FUZZ_CHECK(integrity == "ok", name + " integrity_check: " + integrity);
        return db;
    }

    void CheckGeoPackage(const Expected& e) {
        sqlite3* db = OpenChecked("out.gpkg");
        const std::int64_t application = Number(db, "PRAGMA application_id");
        const std::int64_t surveys = Number(db, "SELECT count(*) FROM surveys");
        const std::int64_t points = Number(db, "SELECT count(*) FROM survey_points");
        const std::int64_t readings = Number(db, "SELECT count(*) FROM readings JOIN survey_points ON fid = point");
        const std::int64_t located = Number(db, "SELECT count(*) FROM survey_points WHERE geom IS NOT NULL");
        const std::int64_t blobs = Number(db, "SELECT count(*) FROM survey_points WHERE length(geom) = 29 AND "
                                              "hex(substr(geom, 1, 8)) = '47500001E6100000' AND longitude BETWEEN -180 AND 180 AND "
                                              "latitude BETWEEN -90 AND 90 AND deleted = 0");
        const std::int64_t inExtent = Number(db, "SELECT count(*) FROM survey_points, gpkg_contents c WHERE "
                                                 "c.table_name = 'survey_points' AND geom IS NOT NULL AND "
                                                 "longitude BETWEEN c.min_x AND c.max_x AND latitude BETWEEN c.min_y AND c.max_y");
        sqlite3_close(db);
        FUZZ_CHECK(application == 0x47504B47 && surveys == 1, "the GeoPackage is not marked or holds the survey twice");
        FUZZ_CHECK(points == static_cast<std::int64_t>(e.points) && readings == static_cast<std::int64_t>(e.readings),
                   "GeoPackage rows differ from the groups walked");
        FUZZ_CHECK(located == static_cast<std::int64_t>(e.onEarth) && blobs == located && inExtent == located,
                   "GeoPackage geometries differ from the positions on the earth, or lie outside the extent");
    }

    void CheckDatabase(const Expected& e) {
        sqlite3* db = OpenChecked("out.sqlite");
        const std::int64_t surveys = Number(db, "SELECT count(*) FROM surveys");
        const std::int64_t points = Number(db, "SELECT count(*) FROM points");
        const std::int64_t readings = Number(db, "SELECT count(*) FROM readings");
        const std::int64_t located = Number(db, "SELECT count(*) FROM points WHERE latitude IS NOT NULL AND deleted = 0");
        const std::int64_t offEarth =
            Number(db, "SELECT count(*) FROM points WHERE abs(latitude) > 90 OR abs(longitude) > 180");
        sqlite3_close(db);
        FUZZ_CHECK(surveys == 1, "the survey is not in the database once");
        FUZZ_CHECK(points == static_cast<std::int64_t>(e.points) && readings == static_cast<std::int64_t>(e.readings),
                   "database rows differ from the groups walked");
        FUZZ_CHECK(located == static_cast<std::int64_t>(e.onEarth) && offEarth == 0,
                   "database positions differ from the positions on the earth");
    }

    std::string dir_;
};

}  // namespace

int FuzzExport(const std::uint8_t* data, std::size_t size) {
    ExportRun run;
    run.Run(data, size);
    return 0;
}

}  // namespace quorl::fuzz
