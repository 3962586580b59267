// Export speed, one core, from the page cache: CSV (the code of `quorl ssd
// dump`) and GeoJSON per byte of collection read, the SQLite survey
// database per reading imported. Text goes to /dev/null, so the figures
// are the formatting's own; the database goes to a file in the temporary
// folder, fresh each round.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <fstream>

#include "export/CsvExport.h"
#include "export/GeoJsonExport.h"
#include "export/KmlExport.h"
#include "export/OutputBuffer.h"
#include "export/SurveyDatabase.h"
#include "export/SurveyScan.h"
#include "survey/CollectionFormat.h"

namespace {

using namespace quorl;

std::string TempPath(const std::string& name) { return (std::filesystem::temp_directory_path() / name).string(); }

// GPS points of 20 access points each, SSIDs of every length, a few needing quotes.
const std::string& Collection(std::uint64_t bytes, int salt = 0) {
    static std::map<std::pair<std::uint64_t, int>, std::string> made;
    auto& path = made[{bytes, salt}];
    if (!path.empty()) return path;
    path = TempPath("quorl-bench-export-" + std::to_string(bytes) + "-" + std::to_string(salt) + ".ssd");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto start = collection::MakeNewFileStart(1700000000 + salt);
    out.write(reinterpret_cast<const char*>(start.data()), start.size());
    std::vector<std::uint8_t> group(36 + 20 * 46);
    for (std::uint64_t written = start.size(), i = 0; written < bytes; ++i) {
        collection::PointRecord p;
        p.kind = 0;
        p.latitude = 170557560 + static_cast<std::int32_t>(i % 1000);
        p.longitude = 30749040 + static_cast<std::int32_t>(i % 777);
        p.month = 6, p.day = 11, p.year = 44, p.hour = 9, p.minute = 5, p.second = static_cast<std::uint8_t>(i % 60);
        p.fix = 2, p.apCount = 20;
        collection::EncodePoint(p, group.data());
        for (int k = 0; k < 20; ++k) {
            collection::ApRecord ap;
            ap.channel = 1 + k % 11;
            ap.signal = static_cast<std::int16_t>(-(40 + (i + k) % 50) * 16);
            // A site of 400 access points, 20 heard at each point.
            ap.mac = {0, 0x1A, 0x2B, 0x3C, static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(i / 50 % 20)};
            const std::string ssid = k % 7 == 0 ? "Guest, \"5G\"" : "office-net-" + std::string(k, 'x');
            std::copy_n(ssid.begin(), std::min<std::size_t>(32, ssid.size()), ap.ssid.begin());
            collection::EncodeAp(ap, group.data() + 36 + 46 * k);
        }
        out.write(reinterpret_cast<const char*>(group.data()), static_cast<std::streamsize>(group.size()));
        written += group.size();
    }
    return path;
}

template <typename Export>
void TextExport(benchmark::State& state, Export&& run) {
    const std::string& path = Collection(100u * 1000 * 1000);
    const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::uint64_t produced = 0;
    for (auto _ : state) {
        exports::SurveyScan scan;
        if (!scan.Open(path)) state.SkipWithError(scan.Error().c_str());
        exports::OutputBuffer out(sink);
        run(out, scan);
        out.Flush();
        produced = out.Size();
    }
    ::close(sink);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
    state.counters["output_MB"] = static_cast<double>(produced) / 1e6;
}

void BM_ExportCsv(benchmark::State& state) {
    TextExport(state, [](exports::OutputBuffer& out, exports::SurveyScan& scan) {
        exports::CsvExport csv(out, true);
        csv.WriteHeader();
        csv.Add(scan, scan.Path());
    });
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_ExportGeoJson(benchmark::State& state) {
    TextExport(state, [](exports::OutputBuffer& out, exports::SurveyScan& scan) {
        exports::GeoJsonExport json(out);
        json.Begin();
        json.Add(scan, scan.Path());
        json.End();
    });
}
BENCHMARK(BM_ExportGeoJson)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_ExportKml(benchmark::State& state) {
    TextExport(state, [](exports::OutputBuffer& out, exports::SurveyScan& scan) {
        exports::KmlExport kml(out);
        kml.Begin();
        kml.Add(scan, scan.Path());
        kml.End();
    });
}
BENCHMARK(BM_ExportKml)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_ImportSqlite(benchmark::State& state) {
    const std::string& path = Collection(20u * 1000 * 1000);
    const std::string db = TempPath("quorl-bench-export.db");
    std::uint64_t readings = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(db);
        state.ResumeTiming();
        exports::SurveyDatabase database;
        exports::SurveyScan scan;
        if (!database.Open(db) || !scan.Open(path)) state.SkipWithError("cannot open");
        if (database.Import(scan) != exports::SurveyDatabase::Result::Added || !database.Finish())
            state.SkipWithError("import failed");
        readings += database.ReadingsAdded();
    }
    std::filesystem::remove(db);
    state.counters["readings_per_s"] = benchmark::Counter(static_cast<double>(readings), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
}
BENCHMARK(BM_ImportSqlite)->Unit(benchmark::kMillisecond)->MinTime(2);

// A database of one survey of `held` bytes, made once, copied fresh for
// every round; `added` imported into the copy.
void ImportIntoHeldDatabase(benchmark::State& state, std::uint64_t held, std::uint64_t added) {
    const std::string& heldSurvey = Collection(held);
    const std::string& addedSurvey = Collection(added, 1);
    const std::string base = TempPath("quorl-bench-export-base-" + std::to_string(held) + ".db");
    const std::string db = TempPath("quorl-bench-export-fuller.db");
    std::uint64_t heldReadings = 0;
    {
        std::filesystem::remove(base);
        exports::SurveyDatabase database;
        exports::SurveyScan scan;
        if (!database.Open(base) || !scan.Open(heldSurvey) ||
            database.Import(scan) != exports::SurveyDatabase::Result::Added || !database.Finish())
            state.SkipWithError("cannot make the database");
        heldReadings = database.ReadingsAdded();
    }
    std::uint64_t readings = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(base, db, std::filesystem::copy_options::overwrite_existing);
        state.ResumeTiming();
        exports::SurveyDatabase database;
        exports::SurveyScan scan;
        if (!database.Open(db) || !scan.Open(addedSurvey)) state.SkipWithError("cannot open");
        if (database.Import(scan) != exports::SurveyDatabase::Result::Added || !database.Finish())
            state.SkipWithError("import failed");
        readings += database.ReadingsAdded();
    }
    std::filesystem::remove(db);
    std::filesystem::remove(base);
    state.counters["held_readings"] = static_cast<double>(heldReadings);
    state.counters["readings_per_s"] = benchmark::Counter(static_cast<double>(readings), benchmark::Counter::kIsRate);
}

// A survey added to a database that already holds five times as much: the
// indexes are kept up to date row by row.
void BM_ImportSqliteIntoFullerDatabase(benchmark::State& state) {
    ImportIntoHeldDatabase(state, 20u * 1000 * 1000, 4u * 1000 * 1000);
}
BENCHMARK(BM_ImportSqliteIntoFullerDatabase)->Unit(benchmark::kMillisecond)->MinTime(2);

// A small survey (10 points, 200 readings) into a database of a million
// readings: costs what the survey holds, not what the database holds (the
// indexes are never rebuilt for it).
void BM_ImportSmallSurveyIntoMillionReadings(benchmark::State& state) {
    ImportIntoHeldDatabase(state, 50000u * (36 + 20 * 46), 10u * (36 + 20 * 46));
}
BENCHMARK(BM_ImportSmallSurveyIntoMillionReadings)->Unit(benchmark::kMillisecond)->Iterations(5);

// The readings of one point in a database of a million: an index lookup
// (observations_point), not a scan of the table.
void BM_ReadingsOfOnePoint(benchmark::State& state) {
    const std::string& survey = Collection(50000u * (36 + 20 * 46));
    const std::string db = TempPath("quorl-bench-export-points.db");
    std::filesystem::remove(db);
    {
        exports::SurveyDatabase database;
        exports::SurveyScan scan;
        if (!database.Open(db) || !scan.Open(survey) ||
            database.Import(scan) != exports::SurveyDatabase::Result::Added || !database.Finish())
            state.SkipWithError("cannot make the database");
    }
    sqlite3* handle = nullptr;
    sqlite3_stmt* query = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(handle, "SELECT mac, ssid, channel, level FROM readings WHERE point = ?1", -1, &query,
                           nullptr) != SQLITE_OK)
        state.SkipWithError("cannot query");
    std::int64_t point = 1, rows = 0;
    for (auto _ : state) {
        sqlite3_reset(query);
        sqlite3_bind_int64(query, 1, point);
        while (sqlite3_step(query) == SQLITE_ROW) ++rows;
        point = point * 7919 % 50000 + 1;
    }
    sqlite3_finalize(query);
    sqlite3_close(handle);
    std::filesystem::remove(db);
    state.counters["rows_per_point"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReadingsOfOnePoint)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
