#pragma once
// quorl ssd export FILE.ssd... --format csv|geojson|plan-geojson|kml|sqlite|gpkg|wigle -o OUT [--projection SITE] [--spreadsheet]

#include <string>
#include <vector>

namespace quorl::tools {

struct ExportOptions {
    std::vector<std::string> files;
    std::string format;
    std::string output;
    std::string projection;
    bool spreadsheet = false;
};

// The exit status; arguments that make no sense get the usage (status 2).
int RunSsdExport(const ExportOptions& options);

inline constexpr const char* kSsdExportUsage =
    "usage: quorl ssd export FILE.ssd... --format csv|geojson|plan-geojson|kml|sqlite|gpkg|wigle -o OUT\n"
    "       [--projection SITE]\n"
    "       --spreadsheet (csv only): text that starts with = + - @ gets a leading ' so that no SSID runs as a formula\n";

}  // namespace quorl::tools
