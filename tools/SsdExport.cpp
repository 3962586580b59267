// quorl ssd export: collection files out to CSV, GeoJSON, KML, a SQLite
// survey database or the same as a GeoPackage. A file that is refused is
// named with the reason and the others still go out (exit status 1). Text
// formats are written under a temporary name and renamed when complete; the
// databases take each file in one transaction.

#include "tools/SsdExport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>

#include "analysis/PlanScale.h"
#include "analysis/PlanSource.h"
#include "common/UserMessages.h"
#include "export/CsvExport.h"
#include "export/GeoJsonExport.h"
#include "export/KmlExport.h"
#include "export/OutputBuffer.h"
#include "export/SurveyDatabase.h"
#include "export/SurveyScan.h"
#include "export/WigleExport.h"
#include "survey/FileHandle.h"
#include "survey/OutputTarget.h"
#include "survey/PendingFile.h"
#include "survey/ProjectionFormat.h"
#include "site/SiteFile.h"
#include "tools/ExportProgress.h"
#include "tools/StandardStreams.h"

namespace quorl::tools {

namespace {

using namespace quorl::exports;

// What is wrong with the arguments, or nothing.
std::string Problem(const ExportOptions& o) {
    if (o.files.empty()) return "a collection file is needed";
    if (o.format.empty()) return "--format is needed";
    if (o.format != "csv" && o.format != "geojson" && o.format != "plan-geojson" && o.format != "kml" &&
        o.format != "sqlite" && o.format != "gpkg" && o.format != "wigle")
        return "--format takes csv, geojson, plan-geojson, kml, sqlite, gpkg or wigle, not '" + o.format + "'";
    if (o.output.empty()) return "-o is needed";
    if (o.spreadsheet && o.format != "csv") return "--spreadsheet is for --format csv only";
    if ((o.format == "sqlite" || o.format == "gpkg") && o.output == "-")
        return "a database is not a stream: -o names the " + o.format + " file to write or add to";
    return {};
}

void Say(ExportProgress& progress, const std::string& text) {
    progress.Clear();
    std::fprintf(stderr, "quorl ssd: %s\n", text.c_str());
}


std::uint64_t TotalBytes(const std::vector<std::string>& files) {
    std::uint64_t total = 0;
    for (const auto& f : files) {
        FileHandle h = FileHandle::Open(f, O_RDONLY);
        const std::int64_t n = h.Valid() ? h.Length() : -1;
        if (n > 0) total += static_cast<std::uint64_t>(n);
    }
    return total;
}

// Opens each file in turn and hands it to `add`; false when any was refused.
template <typename Add>
bool EachFile(const ExportOptions& o, ExportProgress& progress, Add&& add) {
    bool allGood = true;
    for (std::size_t i = 0; i < o.files.size(); ++i) {
        SurveyScan scan;
        if (!scan.Open(o.files[i])) {
            Say(progress, scan.Error());
            allGood = false;
            continue;
        }
        progress.StartFile(i, o.files[i], scan.Length());
        scan.SetProgress([&](std::uint64_t done) { progress.Update(done); });
        if (!add(scan)) allGood = false;
    }
    return allGood;
}

int ExportDatabase(const ExportOptions& o, const AffineTransform* projection) {
    SurveyDatabase db(o.format == "gpkg" ? SurveyDatabase::Format::GeoPackage : SurveyDatabase::Format::Sqlite);
    if (o.format == "gpkg") db.SetPlanFrame(PlanFrameOf(o.projection));
    if (!db.Open(o.output)) {
        std::fprintf(stderr, "quorl ssd: %s\n", db.Error().c_str());
        return 1;
    }
    ExportProgress progress(o.files.size(), TotalBytes(o.files));
    const bool ok = EachFile(o, progress, [&](SurveyScan& scan) {
        switch (db.Import(scan, projection)) {
            case SurveyDatabase::Result::Added: return true;
            case SurveyDatabase::Result::AlreadyThere:
                Say(progress, scan.Path() + " is already in " + o.output + " (same content): nothing added");
                return true;
            case SurveyDatabase::Result::Failed: break;
        }
        Say(progress, db.Error() + " (nothing of " + scan.Path() + " added)");
        return false;
    });
    progress.Finish();
    if (!db.Finish()) {
        std::fprintf(stderr, "quorl ssd: %s\n", db.Error().c_str());
        return 1;
    }
    if (!db.Written()) {
        std::fprintf(stderr, "quorl ssd: nothing to export: %s not written\n", o.output.c_str());
        return 1;
    }
    return ok ? 0 : 1;
}

std::vector<std::string> Inputs(const ExportOptions& o) {
    std::vector<std::string> inputs = o.files;
    if (!o.projection.empty()) inputs.push_back(o.projection);
    return inputs;
}

// Every file in the chosen text format into `out`; false when one was refused.
bool WriteText(const ExportOptions& o, const AffineTransform* projection, OutputBuffer& out, std::size_t& exported,
               CsvExport::Text text) {
    ExportProgress progress(o.files.size(), TotalBytes(o.files));
    bool ok = true;
    if (o.format == "csv") {
        CsvExport csv(out, true, projection, o.spreadsheet ? CsvExport::Text::Spreadsheet : text);
        csv.SetPlanFrame(PlanFrameOf(o.projection));
        csv.WriteHeader();
        ok = EachFile(o, progress, [&](SurveyScan& scan) {
            if (!csv.Add(scan, scan.Path())) {
                Say(progress, scan.Error());
                return false;
            }
            ++exported;
            return true;
        });
    } else if (o.format == "geojson" || o.format == "plan-geojson") {
        const PlanFrame frame = PlanFrameOf(o.projection);
        GeoJsonExport json(out, projection, o.format == "plan-geojson" ? &frame : nullptr);
        json.Begin();
        ok = EachFile(o, progress, [&](SurveyScan& scan) {
            if (!json.Add(scan, scan.Path())) {
                Say(progress, scan.Error());
                return false;
            }
            ++exported;
            return true;
        });
        json.End();
    } else if (o.format == "wigle") {
        WigleExport wigle(out, QUORL_VERSION);
        wigle.WriteHeader();
        ok = EachFile(o, progress, [&](SurveyScan& scan) {
            const std::uint64_t offBefore = wigle.OffEarth(), noFixBefore = wigle.WithoutFix(),
                                planBefore = wigle.OnPlanOnly();
            const WigleExport::Result result = wigle.Add(scan);
            if (wigle.OffEarth() != offBefore)
                Say(progress, scan.Path() + ": " + std::to_string(wigle.OffEarth() - offBefore) +
                                  " point(s) with a position beyond 90 degrees latitude or 180 longitude left out");
            if (wigle.WithoutFix() != noFixBefore)
                Say(progress, scan.Path() + ": " + std::to_string(wigle.WithoutFix() - noFixBefore) +
                                  " GPS point(s) taken without a GPS fix left out");
            if (wigle.OnPlanOnly() != planBefore)
                Say(progress, scan.Path() + ": " + std::to_string(wigle.OnPlanOnly() - planBefore) +
                                  " plan tap(s) and marker(s) left out (a place on the plan, not on the earth)");
            switch (result) {
                case WigleExport::Result::Added: ++exported; return true;
                case WigleExport::Result::ReadFailed: Say(progress, scan.Error()); return false;
                case WigleExport::Result::NoPosition: break;
            }
            Say(progress, scan.Path() +
                              " has no GPS point with a fix and a position on the earth: WiGLE CSV can hold none of it");
            return false;
        });
    } else {
        KmlExport kml(out, projection);
        kml.Begin();
        ok = EachFile(o, progress, [&](SurveyScan& scan) {
            switch (kml.Add(scan, scan.Path())) {
                case KmlExport::Result::Added: ++exported; return true;
                case KmlExport::Result::ReadFailed: Say(progress, scan.Error()); return false;
                case KmlExport::Result::NoPosition: break;
            }
            Say(progress, scan.Path() + " has no point with a position on the earth: a KML file can show none of it");
            return false;
        });
        kml.End();
    }
    progress.Finish();
    return ok;
}

// Standard output gets the bytes as they come: there is no rename to wait for.
int ExportToStandardOutput(const ExportOptions& o, const AffineTransform* projection) {
    OutputBuffer out(STDOUT_FILENO);
    std::size_t exported = 0;
    // SSIDs could drive a terminal (clear it, set its title); a pipe gets the exact bytes.
    const bool ok = WriteText(o, projection, out, exported,
                              ::isatty(STDOUT_FILENO) ? CsvExport::Text::Terminal : CsvExport::Text::Exact);
    if (!out.Flush()) {
        std::fprintf(stderr, "quorl ssd: cannot write to standard output: %s\n", SystemErrorText(out.Error()).c_str());
        return 1;
    }
    if (exported == 0) {
        std::fprintf(stderr, "quorl ssd: nothing to export\n");
        return 1;
    }
    return ok ? 0 : 1;
}

int ExportText(const ExportOptions& o, const AffineTransform* projection) {
    PendingFile pending(o.output, Inputs(o));
    if (!pending.Created()) {
        std::fprintf(stderr, "quorl ssd: cannot write %s: %s\n", o.output.c_str(),
                     SystemErrorText(pending.Error()).c_str());
        return 1;
    }
    FileHandle file = FileHandle::Open(pending.TempPath(), O_WRONLY | O_TRUNC);
    if (!file.Valid()) {
        std::fprintf(stderr, "quorl ssd: cannot write %s: %s\n", o.output.c_str(), SystemErrorText(errno).c_str());
        return 1;
    }
    OutputBuffer out(file.Descriptor());
    std::size_t exported = 0;
    const bool ok = WriteText(o, projection, out, exported, CsvExport::Text::Exact);
    if (!out.Flush() || !file.Flush()) {
        std::fprintf(stderr, "quorl ssd: cannot write %s: %s\n", o.output.c_str(),
                     SystemErrorText(out.Error() != 0 ? out.Error() : errno).c_str());
        return 1;
    }
    file.Close();
    if (exported == 0) {
        std::fprintf(stderr, "quorl ssd: nothing to export: %s not written\n", o.output.c_str());
        return 1;
    }
    if (!pending.Commit()) {
        std::fprintf(stderr, "quorl ssd: cannot write %s: %s\n", o.output.c_str(),
                     SystemErrorText(pending.Error()).c_str());
        return 1;
    }
    return ok ? 0 : 1;
}

}  // namespace

// The plan's system for plan geometry: metres where the projection's plan
// has a known scale (a GPS transform, or a side file from `quorl proj scale`).
PlanFrame PlanFrameOf(const std::string& projectionPath) {
    PlanFrame frame;
    analysis::PlanSource plan;
    std::string error, warning;
    if (projectionPath.empty() || !analysis::LoadPlanSource(projectionPath, plan, error)) return frame;
    const analysis::PlanScale scale = analysis::ScaleOfPlan(projectionPath, plan, warning);
    if (!warning.empty()) std::fprintf(stderr, "quorl ssd: %s\n", warning.c_str());
    if (scale.Known()) frame.metresPerPixel = scale.metresPerPixel;
    return frame;
}

std::optional<AffineTransform> LoadTransform(const std::string& path) {
    FileHandle file = FileHandle::Open(path, O_RDONLY);
    if (!file.Valid()) {
        std::fprintf(stderr, "quorl ssd: cannot open %s: %s\n", path.c_str(), SystemErrorText(errno).c_str());
        return std::nullopt;
    }
    projection::Inspection place;
    std::string why;
    int errorNumber = 0;
    if (!projection::Inspect(file, place, why, errorNumber)) {
        if (errorNumber != 0)
            std::fprintf(stderr, "quorl ssd: cannot read %s: %s\n", path.c_str(), SystemErrorText(errorNumber).c_str());
        else
            std::fprintf(stderr, "quorl ssd: %s cannot be used as a projection file: %s\n", path.c_str(), why.c_str());
        return std::nullopt;
    }
    return projection::TransformOf(place.header);
}

int RunSsdExport(const ExportOptions& o) {
    if (const std::string why = Problem(o); !why.empty()) {
        std::fprintf(stderr, "quorl ssd export: %s\n%s", why.c_str(), kSsdExportUsage);
        return 2;
    }
    if (o.files.size() == 1 && site::IsSitePath(o.files.front())) return RunSiteExport(o);
    std::optional<AffineTransform> transform;
    if (!o.projection.empty()) {
        transform = LoadTransform(o.projection);
        if (!transform) return 1;
    }
    ExportOptions read = o;
    std::vector<std::string*> files;
    for (std::string& f : read.files) files.push_back(&f);
    std::string error;
    if (!ReadStandardInputAsFile(files, error)) {
        std::fprintf(stderr, "quorl ssd: %s\n", error.c_str());
        return 1;
    }
    const AffineTransform* projection = transform ? &*transform : nullptr;
    if (read.output == "-") return ExportToStandardOutput(read, projection);
    // Checked before any work; the text formats check again at the rename.
    if (const int why = RefusedOutput(read.output, Inputs(read))) {
        std::fprintf(stderr, "quorl ssd: cannot write %s: %s\n", read.output.c_str(), SystemErrorText(why).c_str());
        return 1;
    }
    const bool database = read.format == "sqlite" || read.format == "gpkg";
    return database ? ExportDatabase(read, projection) : ExportText(read, projection);
}

}  // namespace quorl::tools
