// quorl ssd export BUILDING.qsite: every survey of every floor in one file,
// each row (CSV) or feature (GeoJSON) carrying its floor's name and level,
// GPS points placed on their own floor's plan. A survey that cannot be read
// is named and the others still go out (exit 1), as for a list of files.

#include <fcntl.h>

#include <cerrno>
#include <cstdio>

#include "common/UserMessages.h"
#include "export/CsvExport.h"
#include "export/GeoJsonExport.h"
#include "export/OutputBuffer.h"
#include "export/SurveyDatabase.h"
#include "export/SurveyScan.h"
#include "site/SiteFile.h"
#include "survey/FileHandle.h"
#include "survey/OutputTarget.h"
#include "survey/PendingFile.h"
#include "tools/SsdExport.h"

namespace quorl::tools {

using namespace quorl::exports;

namespace {

// Every survey into one database, each recorded with the site and its floor;
// a survey already there (same content) adds nothing, as for single files.
int ExportSiteDatabase(const ExportOptions& o, const std::string& sitePath, const site::Site& site,
                       const std::vector<AffineTransform>& transforms) {
    SurveyDatabase db(o.format == "gpkg" ? SurveyDatabase::Format::GeoPackage : SurveyDatabase::Format::Sqlite);
    if (!db.Open(o.output)) {
        std::fprintf(stderr, "quorl ssd: %s\n", db.Error().c_str());
        return 1;
    }
    bool ok = true;
    for (std::size_t i = 0; i < site.floors.size(); ++i) {
        const site::Floor& floor = site.floors[i];
        db.SetSite(site.name, floor.name, floor.level);
        if (o.format == "gpkg" && !floor.surveys.empty())
            db.SetPlanFrame(PlanFrameOf(site::OpenPath(sitePath, floor.projection)));
        for (const std::string& stored : floor.surveys) {
            const std::string path = site::OpenPath(sitePath, stored);
            SurveyScan scan;
            if (!scan.Open(path)) {
                std::fprintf(stderr, "quorl ssd: floor \"%s\": %s\n", floor.name.c_str(), scan.Error().c_str());
                ok = false;
                continue;
            }
            switch (db.Import(scan, &transforms[i])) {
                case SurveyDatabase::Result::Added: continue;
                case SurveyDatabase::Result::AlreadyThere:
                    std::fprintf(stderr, "quorl ssd: %s is already in %s (same content): nothing added\n", path.c_str(),
                                 o.output.c_str());
                    continue;
                case SurveyDatabase::Result::Failed: break;
            }
            std::fprintf(stderr, "quorl ssd: floor \"%s\": %s (nothing of %s added)\n", floor.name.c_str(),
                         db.Error().c_str(), path.c_str());
            ok = false;
        }
    }
    if (!db.Finish()) {
        std::fprintf(stderr, "quorl ssd: %s\n", db.Error().c_str());
        return 1;
    }
    if (!db.Written()) {
        std::fprintf(stderr, "quorl ssd: nothing to export: %s has no survey that reads; %s not written\n",
                     sitePath.c_str(), o.output.c_str());
        return 1;
    }
    return ok ? 0 : 1;
}

}  // namespace

int RunSiteExport(const ExportOptions& o) {
    auto usage = [](const std::string& why) {
        std::fprintf(stderr, "quorl ssd export: %s\n%s", why.c_str(), kSsdExportUsage);
        return 2;
    };
    if (!o.projection.empty()) return usage("a site file names each floor's projection: leave out --projection");
    const bool database = o.format == "sqlite" || o.format == "gpkg";
    if (o.format != "csv" && o.format != "geojson" && !database)
        return usage("a site file exports as csv, geojson, sqlite or gpkg");
    if (o.output == "-") return usage("a site file exports to a file: -o names it");
    const std::string& sitePath = o.files.front();
    site::Site site;
    std::string error;
    if (!site::LoadSite(sitePath, site, error)) {
        std::fprintf(stderr, "quorl ssd: %s\n", error.c_str());
        return 2;
    }
    // Each floor's transform, read before anything is written.
    std::vector<AffineTransform> transforms;
    for (const site::Floor& f : site.floors) {
        const auto t = LoadTransform(site::OpenPath(sitePath, f.projection));
        if (!t) return 2;
        transforms.push_back(*t);
    }
    std::vector<std::string> inputs = site::SiteFiles(sitePath, site);
    inputs.push_back(sitePath);
    if (database) {
        if (const int why = RefusedOutput(o.output, inputs)) {
            std::fprintf(stderr, "quorl ssd: cannot write %s: %s\n", o.output.c_str(), SystemErrorText(why).c_str());
            return 1;
        }
        return ExportSiteDatabase(o, sitePath, site, transforms);
    }
    PendingFile pending(o.output, inputs);
    FileHandle file = pending.Created() ? FileHandle::Open(pending.TempPath(), O_WRONLY | O_TRUNC) : FileHandle();
    if (!file.Valid()) {
        std::fprintf(stderr, "quorl ssd: cannot write %s: %s\n", o.output.c_str(),
                     SystemErrorText(pending.Created() ? errno : pending.Error()).c_str());
        return 1;
    }
    OutputBuffer out(file.Descriptor());
    CsvExport csv(out, true, nullptr, o.spreadsheet ? CsvExport::Text::Spreadsheet : CsvExport::Text::Exact);
    GeoJsonExport json(out);
    if (o.format == "csv") {
        csv.SetFloorColumns();
        csv.WriteHeader();
    } else {
        json.Begin();
    }
    bool ok = true;
    std::size_t exported = 0;
    for (std::size_t i = 0; i < site.floors.size(); ++i) {
        const site::Floor& floor = site.floors[i];
        for (const std::string& stored : floor.surveys) {
            const std::string path = site::OpenPath(sitePath, stored);
            SurveyScan scan;
            bool added = scan.Open(path);
            if (added && o.format == "csv") {
                csv.SetFloor(floor.name, floor.level);
                csv.SetProjection(&transforms[i]);
                added = csv.Add(scan, path);
            } else if (added) {
                json.SetFloor(floor.name, floor.level, &transforms[i]);
                added = json.Add(scan, path);
            }
            if (!added) {
                std::fprintf(stderr, "quorl ssd: floor \"%s\": %s\n", floor.name.c_str(), scan.Error().c_str());
                ok = false;
                continue;
            }
            ++exported;
        }
    }
    if (o.format == "geojson") json.End();
    if (!out.Flush() || !file.Flush()) {
        std::fprintf(stderr, "quorl ssd: cannot write %s: %s\n", o.output.c_str(),
                     SystemErrorText(out.Error() != 0 ? out.Error() : errno).c_str());
        return 1;
    }
    file.Close();
    if (exported == 0) {
        std::fprintf(stderr, "quorl ssd: nothing to export: %s has no survey that reads; %s not written\n",
                     sitePath.c_str(), o.output.c_str());
        return 1;
    }
    if (!pending.Commit()) {
        std::fprintf(stderr, "quorl ssd: cannot write %s: %s\n", o.output.c_str(), SystemErrorText(pending.Error()).c_str());
        return 1;
    }
    return ok ? 0 : 1;
}

}  // namespace quorl::tools
