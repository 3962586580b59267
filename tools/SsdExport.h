#pragma once
// quorl ssd export FILE.ssd... --format csv|geojson|kml|sqlite|wigle -o OUT [--projection SITE]

#include <string>
#include <vector>

namespace quorl::tools {

// The arguments after "export"; the exit status.
int RunSsdExport(const std::vector<std::string>& args);

inline constexpr const char* kSsdExportUsage =
    "usage: quorl ssd export FILE.ssd... --format csv|geojson|kml|sqlite|wigle -o OUT [--projection SITE]\n";

}  // namespace quorl::tools
