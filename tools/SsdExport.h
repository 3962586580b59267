#pragma once
// quorl ssd export FILE.ssd... --format csv|geojson|plan-geojson|kml|sqlite|gpkg|wigle -o OUT [--projection SITE] [--spreadsheet]

#include <optional>
#include <string>
#include <vector>

#include "export/PlanFrame.h"
#include "survey/AffineTransform.h"

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

// The same for a site file (SiteExport.cpp): every survey of every floor,
// each row or feature with its floor's name and level.
int RunSiteExport(const ExportOptions& options);

// A projection file's transform; nothing (the reason printed) when it
// cannot be read.
std::optional<AffineTransform> LoadTransform(const std::string& path);

// The plan's system for plan geometry: metres where the projection's plan
// has a known scale, pixels otherwise (a warning printed).
exports::PlanFrame PlanFrameOf(const std::string& projectionPath);

inline constexpr const char* kSsdExportUsage =
    "usage: quorl ssd export FILE.ssd... --format csv|geojson|plan-geojson|kml|sqlite|gpkg|wigle -o OUT\n"
    "       [--projection SITE]\n"
    "       quorl ssd export BUILDING.qsite --format FORMAT -o OUT (every floor, with its name and level)\n"
    "       --spreadsheet (csv only): text that starts with = + - @ gets a leading ' so that no SSID runs as a formula\n";

}  // namespace quorl::tools
