#include "tools/SiteReport.h"

#include <sys/stat.h>

#include <QDir>
#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <map>
#include <tuple>

#include "analysis/SurveySummary.h"
#include "common/UserMessages.h"
#include "export/TextEscape.h"
#include "site/SiteFile.h"
#include "survey/OutputTarget.h"
#include "tools/SiteCheck.h"

namespace quorl::tools {

namespace {

using namespace quorl::analysis;

int Fail(const std::string& text, int status = 1) {
    std::fprintf(stderr, "quorl report: %s\n", text.c_str());
    return status;
}

std::string Html(const std::string& text) { return exports::MarkupText(text); }

std::string Fixed(double v) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

std::string SquareMetres(double squarePixels, const PlanScale& scale) {
    if (!scale.Known()) return "-";
    return Fixed(squarePixels * scale.metresPerPixel * scale.metresPerPixel);
}

std::string FloorFolder(const std::string& floorName) { return "floor-" + FloorSlug(floorName); }

// One access point of the building and the floor it is strongest on.
struct BuildingAp {
    std::string ssid;
    int channel = 0;
    Band band = Band::Ghz24;
    int strongest = -200;
    std::string floor;
    int level = 0;
    std::size_t floorsHeard = 0;
};

}  // namespace

int RunSiteReport(const std::string& sitePath, const std::string& dir, const std::vector<Requirement>& requirements,
                  std::optional<double> areaPass, std::optional<double> maxUnsurveyed,
                  const FloorReport& floorReport) {
    site::Site site;
    std::string error;
    if (!site::LoadSite(sitePath, site, error)) return Fail(error, 2);
    SiteCheckOptions options;
    options.requirements = requirements;
    options.areaPass = areaPass;
    options.maxUnsurveyed = maxUnsurveyed;
    std::vector<Requirement> chosen;
    double pass = 95, allowed = 0;
    if (!SiteRequirementsOr(site, options, chosen, pass, allowed, error)) return Fail(error, 2);

    // Every folder and the page, refused before any work; a floor's own
    // report checks its files before it writes one.
    std::vector<std::string> inputs = site::SiteFiles(sitePath, site);
    inputs.push_back(sitePath);
    struct stat folder {};
    if (::stat(dir.c_str(), &folder) == 0 && !S_ISDIR(folder.st_mode))
        return Fail("cannot write into " + dir + ": " + SystemErrorText(ENOTDIR));
    const std::string index = dir + "/index.html";
    if (const int why = RefusedOutput(index, inputs)) return Fail("cannot write " + index + ": " + SystemErrorText(why));
    std::map<std::string, std::string> folders;
    for (const site::Floor& f : site.floors) {
        const std::string sub = FloorFolder(f.name);
        if (folders.count(sub))
            return Fail("floors \"" + folders[sub] + "\" and \"" + f.name + "\" would share the folder " + sub +
                        ": give them distinct names", 2);
        folders[sub] = f.name;
        const std::string path = dir + "/" + sub;
        if (::stat(path.c_str(), &folder) == 0 && !S_ISDIR(folder.st_mode))
            return Fail("cannot write into " + path + ": " + SystemErrorText(ENOTDIR));
    }

    StartPictureApp();
    // The building's verdict, and which floor each access point is strongest on.
    std::map<std::tuple<MacAddress, std::string, int>, BuildingAp> aps;
    const FloorVisit collect = [&](const FloorResult& floor, const LoadedSurvey& loaded, std::string&) {
        for (const AccessPointRow& row : Summarise(loaded.survey).accessPoints) {
            BuildingAp& ap = aps[{row.mac, row.ssid, row.channel}];
            ++ap.floorsHeard;
            if (row.strongest > ap.strongest) {
                ap.ssid = row.ssid;
                ap.channel = row.channel;
                ap.band = row.band;
                ap.strongest = row.strongest;
                ap.floor = floor.floor.name;
                ap.level = floor.floor.level;
            }
        }
        return true;
    };
    SiteVerdict verdict;
    if (!CheckSite(sitePath, site, options, verdict, error, collect)) return Fail(error);
    if (!QDir().mkpath(QString::fromStdString(dir))) return Fail("cannot create the folder " + dir);

    // Each floor's own report, in its folder.
    for (const FloorResult& f : verdict.floors) {
        if (!f.surveyed) continue;
        std::vector<std::string> surveys, required;
        for (const std::string& s : f.floor.surveys) surveys.push_back(site::OpenPath(sitePath, s));
        for (const Requirement& r : chosen) required.push_back(r.Text());
        if (const int status = floorReport(surveys, site::OpenPath(sitePath, f.floor.projection),
                                           dir + "/" + FloorFolder(f.floor.name), required, std::to_string(pass),
                                           std::to_string(allowed)))
            return status;
    }

    std::string h;
    h += "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n";
    h += "<title>Coverage report: " + Html(site.name) + "</title>\n<style>\n"
         "body{font-family:'DejaVu Sans',sans-serif;margin:2em;color:#222;max-width:1100px}\n"
         "table{border-collapse:collapse;margin:1em 0}td,th{border:1px solid #bbb;padding:3px 8px;text-align:left}\n"
         "th{background:#eee}td.n{text-align:right}figure{margin:1.5em 0}img{max-width:100%;border:1px solid #ccc}\n"
         "figcaption{font-style:italic}.note{color:#666}\n</style>\n</head>\n<body>\n";
    h += "<h1>Coverage report: " + Html(site.name) + "</h1>\n<h2>Building</h2>\n";
    std::size_t unsurveyed = 0;
    for (const FloorResult& f : verdict.floors) unsurveyed += f.surveyed ? 0 : 1;
    h += "<p>The building's verdict: " + std::string(VerdictName(verdict.Verdict())) + ": " +
         std::to_string(verdict.floors.size()) + " floors, " + std::to_string(unsurveyed) +
         " not surveyed. Every floor must meet every requirement on at least " + Fixed(pass) +
         " % of its surveyed area, with at most " + Fixed(allowed) +
         " % of its plan not surveyed (else incomplete); a floor not surveyed is incomplete. The building takes the "
         "worst of its floors. Areas in m\u00B2 where the plan has a scale.</p>\n";
    h += "<table>\n<tr><th>Floor</th><th>Level</th><th>Requirement</th><th>Verdict</th>"
         "<th>Passes (% of surveyed)</th><th>Passes (m\u00B2)</th><th>Fails (% of surveyed)</th><th>Fails (m\u00B2)</th>"
         "<th>Not surveyed (% of plan)</th><th>Not surveyed (m\u00B2)</th></tr>\n";
    for (const FloorResult& f : verdict.floors) {
        const std::string floorCells = "<tr><td>" + Html(f.floor.name) + "</td><td class=\"n\">" +
                                       std::to_string(f.floor.level) + "</td>";
        if (!f.surveyed) {
            h += floorCells + "<td>all</td><td>NOT SURVEYED</td><td class=\"n\">-</td><td class=\"n\">-</td>"
                              "<td class=\"n\">-</td><td class=\"n\">-</td><td class=\"n\">100.0</td><td class=\"n\">-</td></tr>\n";
            continue;
        }
        for (std::size_t i = 0; i < f.check.results.size(); ++i) {
            const RequirementShares& r = f.check.results[i];
            h += floorCells + "<td>" + Html(r.requirement.Text()) + "</td><td>" + VerdictLabel(f.check.VerdictOf(i)) +
                 "</td><td class=\"n\">" + Fixed(r.PassPercent()) + "</td><td class=\"n\">" +
                 SquareMetres(r.passArea, f.scale) + "</td><td class=\"n\">" + Fixed(r.FailPercent()) +
                 "</td><td class=\"n\">" + SquareMetres(r.failArea, f.scale) + "</td><td class=\"n\">" +
                 Fixed(r.UnsurveyedPercent()) + "</td><td class=\"n\">" + SquareMetres(r.unsurveyedArea, f.scale) +
                 "</td></tr>\n";
        }
    }
    h += "</table>\n";
    std::vector<const std::pair<const std::tuple<MacAddress, std::string, int>, BuildingAp>*> order;
    for (const auto& entry : aps) order.push_back(&entry);
    std::stable_sort(order.begin(), order.end(), [](auto a, auto b) { return a->second.strongest > b->second.strongest; });
    h += "<h2>Access points</h2>\n<p>" + std::to_string(aps.size()) +
         " networks heard in the building, strongest first, each with the floor it is strongest on.</p>\n";
    h += "<table>\n<tr><th>MAC address</th><th>SSID</th><th>Channel</th><th>Band</th><th>Strongest (dBm)</th>"
         "<th>Strongest on floor</th><th>Level</th><th>Floors heard on</th></tr>\n";
    for (const auto* entry : order) {
        const BuildingAp& ap = entry->second;
        const QString ssid = QString::fromUtf8(ap.ssid.data(), static_cast<qsizetype>(ap.ssid.size()));
        h += "<tr><td>" + MacText(std::get<0>(entry->first)) + "</td><td>" +
             (ap.ssid.empty() ? std::string("(hidden)") : Html(ssid.toStdString())) + "</td><td class=\"n\">" +
             std::to_string(ap.channel) + "</td><td>" + BandText(ap.band) + "</td><td class=\"n\">" +
             std::to_string(ap.strongest) + "</td><td>" + Html(ap.floor) + "</td><td class=\"n\">" +
             std::to_string(ap.level) + "</td><td class=\"n\">" + std::to_string(ap.floorsHeard) + "</td></tr>\n";
    }
    h += "</table>\n";
    for (const FloorResult& f : verdict.floors) {
        const std::string sub = FloorFolder(f.floor.name);
        h += "<h2>Floor " + Html(f.floor.name) + " (level " + std::to_string(f.floor.level) + ")</h2>\n";
        if (!f.surveyed) {
            h += "<p>Not surveyed: the site lists no survey for this floor.</p>\n";
            continue;
        }
        h += "<p>The floor's verdict: " + std::string(VerdictName(f.check.Verdict())) + "; " +
             std::to_string(f.check.points) + " points. Its full report: <a href=\"" + sub +
             "/index.html\">" + sub + "/index.html</a>.</p>\n";
        h += "<figure><img src=\"" + sub + "/signal.png\" alt=\"Strongest signal on " + Html(f.floor.name) +
             "\"/><figcaption>Strongest signal, all networks</figcaption></figure>\n";
        for (std::size_t i = 0; i < f.check.results.size(); ++i) {
            const std::string caption = f.check.results[i].requirement.Text() +
                                        ": green passes, red fails, hatched grey was not surveyed";
            h += "<figure><img src=\"" + sub + "/requirement-" + std::to_string(i + 1) + ".png\" alt=\"" +
                 Html(caption) + "\"/><figcaption>" + Html(caption) + "</figcaption></figure>\n";
        }
    }
    h += "</body>\n</html>\n";
    if (!SaveText(h, index, inputs, error)) return Fail(error);
    std::printf("%s: %zu floors, %zu not surveyed, building %s\n", index.c_str(), verdict.floors.size(), unsurveyed,
                VerdictName(verdict.Verdict()));
    return 0;
}

}  // namespace quorl::tools
