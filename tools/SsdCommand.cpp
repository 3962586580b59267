// quorl ssd info FILE | quorl ssd dump FILE | quorl ssd export ...: what a
// collection file holds, as a summary, as CSV (one row per access point
// record; the same code as the CSV export) or in the export formats. Reads
// only; the file is not locked, so a collector may go on appending meanwhile.

#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "common/UserMessages.h"
#include "export/CsvExport.h"
#include "export/OutputBuffer.h"
#include "export/SurveyScan.h"
#include "tools/CommandRegistry.h"
#include "tools/SsdExport.h"
#include "tools/StandardStreams.h"

namespace quorl::tools {

namespace {

int Info(const std::string& path) {
    exports::SurveyScan c;
    if (!c.Open(path)) {
        std::fprintf(stderr, "quorl ssd: %s\n", c.Error().c_str());
        return 1;
    }
    const auto& h = c.Layout().header;
    const std::uint32_t headerLength = static_cast<std::uint32_t>(h[0] | h[1] << 8 | h[2] << 16 | h[3] << 24);
    std::int64_t created = 0;
    for (int i = 7; i >= 0; --i) created = (created << 8) | h[13 + i];
    char when[64] = "?";
    const std::time_t t = static_cast<std::time_t>(created);
    std::tm utc{};
    if (gmtime_r(&t, &utc)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &utc);

    std::uint64_t points = 0, apRecords = 0, deleted = 0, offEarth = 0;
    std::map<int, std::uint64_t> kinds;
    const bool ok = c.ForEachGroup([&](const exports::SurveyGroup& g) {
        ++points;
        ++kinds[g.point.kind];
        if (g.point.kind == 255) ++deleted;
        if (exports::FactsOf(g, nullptr).offEarth) ++offEarth;
        apRecords += g.aps.size();
    });
    if (!ok) std::fprintf(stderr, "quorl ssd: %s\n", c.Error().c_str());

    std::printf("file: %s\n", path.c_str());
    std::printf("length: %" PRIu64 " bytes\n", c.Length());
    std::printf("header length: %u\n", headerLength);
    std::printf("signature: %02X %02X %02X %02X\n", h[4], h[5], h[6], h[7]);
    std::printf("constant: %u\n", static_cast<unsigned>(h[8] | h[9] << 8));
    std::printf("created: %" PRId64 " (%s)\n", created, when);
    std::printf("record sizes at: %u\n", c.Layout().pairOffset);
    std::printf("point record size: %u\n", c.Layout().pointRecordSize);
    std::printf("access point record size: %u\n", c.Layout().apRecordSize);
    std::printf("points: %" PRIu64 "\n", points);
    for (const auto& [kind, n] : kinds) std::printf("  kind %d: %" PRIu64 "\n", kind, n);
    std::printf("access point records: %" PRIu64 "\n", apRecords);
    std::printf("deleted points: %" PRIu64 "\n", deleted);
    if (offEarth > 0)
        std::printf("positions off the earth: %" PRIu64 " (latitude past 90 or longitude past 180 degrees: not geolocated)\n",
                    offEarth);
    // What the walk passed over or found wrong; the collector repairs the
    // last two when it next opens the file, keeping the old bytes beside it.
    for (const auto& span : c.Skipped())
        std::printf("unreadable: %" PRIu64 " bytes from offset %" PRIu64 " (no survey point, passed over)\n",
                    span.length, span.offset);
    for (const auto& g : c.Recounted())
        std::printf("count wrong: the point at offset %" PRIu64 " says %u access points and has %u\n", g.offset,
                    static_cast<unsigned>(g.storedCount), static_cast<unsigned>(g.apCount));
    if (ok && c.Tail().length > 0)
        std::printf("last group cut short: %" PRIu64 " bytes from offset %" PRIu64 " (an unfinished point)\n",
                    c.Tail().length, c.Tail().offset);
    return ok ? 0 : 1;
}

int Dump(const std::string& path) {
    exports::SurveyScan scan;
    if (!scan.Open(path)) {
        std::fprintf(stderr, "quorl ssd: %s\n", scan.Error().c_str());
        return 1;
    }
    exports::OutputBuffer out(STDOUT_FILENO);
    // SSIDs come from anyone's radio: on a terminal they could clear the
    // screen or set its title. A pipe or file still gets the exact bytes.
    exports::CsvExport csv(out, false, nullptr,
                           ::isatty(STDOUT_FILENO) ? exports::CsvExport::Text::Terminal : exports::CsvExport::Text::Exact);
    csv.WriteHeader();
    const bool ok = csv.Add(scan, path);
    if (!out.Flush()) {
        std::fprintf(stderr, "quorl ssd: cannot write the output: %s\n", SystemErrorText(out.Error()).c_str());
        return 1;
    }
    if (!ok) std::fprintf(stderr, "quorl ssd: %s\n", scan.Error().c_str());
    return ok ? 0 : 1;
}

// "-" reads standard input.
int FromInput(std::string path, int (*run)(const std::string&)) {
    std::string error;
    if (!ReadStandardInputAsFile({&path}, error)) {
        std::fprintf(stderr, "quorl ssd: %s\n", error.c_str());
        return 1;
    }
    return run(path);
}

void DefineExport(Command& c) {
    auto o = std::make_shared<ExportOptions>();
    c.Positionals("FILE.ssd...", o->files, "collection files, in order (- for standard input)");
    c.Option("--format", o->format, "csv|geojson|plan-geojson|kml|sqlite|gpkg|wigle", "the format to write");
    c.Option("-o,--output", o->output, "OUT", "the file to write (- for standard output, but not a database)");
    c.Option("--projection", o->projection, "SITE", "projection file: plan points get a position from its transform");
    c.Flag("--spreadsheet", o->spreadsheet, "csv only: text that starts with = + - @ gets a leading '");
    c.Does([o] { return RunSsdExport(*o); });
}

void Define(Command& c) {
    auto file = std::make_shared<std::string>();
    Command& info = c.Sub("info", "summary of a collection file", "usage: quorl ssd info FILE\n");
    info.Positional("FILE", *file, "collection file (.ssd; - for standard input)");
    info.Does([&info, file] { return file->empty() ? info.UsageError("a collection file is needed") : FromInput(*file, Info); });
    Command& dump = c.Sub("dump", "every access point record as CSV on standard output", "usage: quorl ssd dump FILE\n");
    dump.Positional("FILE", *file, "collection file (.ssd; - for standard input)");
    dump.Does([&dump, file] { return file->empty() ? dump.UsageError("a collection file is needed") : FromInput(*file, Dump); });
    DefineExport(c.Sub("export", "collection files to CSV, GeoJSON, KML, WiGLE CSV, SQLite or GeoPackage",
                          kSsdExportUsage));
}

const RegisterCommand kRegistration("ssd", "summary, CSV or export of collection files (.ssd)",
                                    std::string("usage: quorl ssd info|dump FILE\n       ") + (kSsdExportUsage + 7), Define);

}  // namespace

}  // namespace quorl::tools
