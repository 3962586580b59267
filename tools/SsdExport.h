#pragma once
// quorl ssd export FILE.ssd... --format csv|geojson|kml|sqlite|gpkg|wigle -o OUT [--projection SITE] [--spreadsheet]

#include <string>
#include <vector>

namespace quorl::tools {

// The arguments after "export"; the exit status.
int RunSsdExport(const std::vector<std::string>& args);

inline constexpr const char* kSsdExportUsage =
    "usage: quorl ssd export FILE.ssd... --format csv|geojson|kml|sqlite|gpkg|wigle -o OUT [--projection SITE]\n"
    "       --spreadsheet (csv only): text that starts with = + - @ gets a leading ' so that no SSID runs as a formula\n";

}  // namespace quorl::tools
