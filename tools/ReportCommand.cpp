// quorl report SURVEY.ssd... --projection SITE -o DIR: one HTML page for a
// customer (DIR/index.html) with its pictures beside it as PNG files. With
// a site file, the building's page (SiteReport.h) and one of these per floor. The
// page opens from the disk: no script, no network, styles inline. It is
// also well-formed XML, so tools (and the tests) can parse it.

#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/AccessPointPositions.h"
#include "analysis/PlanAreas.h"
#include "analysis/RadioGroups.h"
#include "analysis/SurveySummary.h"
#include "coverage/ScaleBar.h"
#include "coverage/TextBox.h"
#include "engine/Engine.h"
#include "common/UserMessages.h"
#include "survey/OutputTarget.h"
#include "survey/StagedFiles.h"
#include "export/TextEscape.h"
#include "tools/AreaMask.h"
#include "tools/CommandRegistry.h"
#include "tools/CoverageMaps.h"
#include "site/SiteFile.h"
#include "tools/RequirementMaps.h"
#include "tools/StandardStreams.h"
#include "tools/SiteReport.h"

namespace quorl::tools {

namespace {

using namespace quorl::analysis;

constexpr const char* kUsage =
    "usage: quorl report SURVEY.ssd... --projection SITE.gpf|.lpf -o DIR\n"
    "       quorl report BUILDING.qsite -o DIR (every floor; the site's own requirements where none are given)\n"
    "                    [--require EXPR... | --profile voice|data|basic] [--area-pass PCT]\n"
    "                    [--max-unsurveyed PCT] [--area MASK.png]\n";
// Pictures on the page are at most this wide.
constexpr int kPageImageWidth = 1000;
// A page with a map for every one of hundreds of networks helps nobody.
constexpr int kMaxSsidMaps = 20;

int Fail(const std::string& text) {
    std::fprintf(stderr, "quorl report: %s\n", text.c_str());
    return 1;
}

// SSIDs may hold anything: the page must stay well-formed XML all the same.
std::string Html(const std::string& text) { return exports::MarkupText(text); }

// SSIDs are raw bytes: keep valid UTF-8, replace the rest.
std::string Utf8(const std::string& bytes) {
    const QString s = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return s.toStdString();
}

std::string Format(const char* format, double a, double b) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

QFont PictureFont(int pixels) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    return font;
}

// A legend box beside a picture: title, lines and coloured swatches.
void DrawKey(QPainter& painter, QPoint at, const QString& title, const QStringList& lines,
             const std::vector<std::pair<QColor, QString>>& swatches) {
    const QFont font = PictureFont(12);
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(font), fb(bold);
    int width = fb.horizontalAdvance(title);
    for (const QString& line : lines) width = std::max(width, fm.horizontalAdvance(line));
    for (const auto& [colour, label] : swatches) width = std::max(width, fm.height() + 6 + fm.horizontalAdvance(label));
    const int pad = 6;
    const int height = fb.height() + fm.height() * int(lines.size() + swatches.size()) + pad / 2;
    painter.save();
    int y = coverage::DrawTextBox(painter, QRect(at, QSize(width + 2 * pad, height + 2 * pad)), Qt::white, pad,
                                  fm.height(), title, lines, font);
    y += pad / 2;
    for (const auto& [colour, label] : swatches) {
        painter.setPen(Qt::black);
        painter.setBrush(colour);
        painter.drawRect(at.x() + pad, y + 1, fm.height() - 3, fm.height() - 3);
        painter.drawText(at.x() + pad + fm.height() + 4, y + fm.ascent(), label);
        y += fm.height();
    }
    painter.restore();
}

constexpr int kKeyWidth = 260;

// The plan with each radio's estimated position and its 68 % circle,
// numbered as the radios of the table.
QImage AccessPointPicture(const LoadedSurvey& loaded, const analysis::AccessPointMap& positions) {
    const QImage& plan = loaded.planImage;
    const double s = plan.width() > kPageImageWidth ? double(kPageImageWidth) / plan.width() : 1.0;
    const QRect planRect(0, 0, std::max(1, int(std::lround(plan.width() * s))), std::max(1, int(std::lround(plan.height() * s))));
    QImage image(planRect.width() + kKeyWidth, std::max(planRect.height(), 160), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(planRect, plan);
    painter.fillRect(planRect, QColor(255, 255, 255, 90));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor(120, 120, 120), 1));
    painter.setBrush(QColor(120, 120, 120));
    for (const SurveyPoint& p : loaded.survey.points) painter.drawEllipse(QPointF(p.x * s, p.y * s), 1.5, 1.5);
    painter.setFont(PictureFont(12));
    const double r = 10;
    const QColor bg(0xFD, 0xE7, 0x25), ah(0x31, 0x68, 0x8E);
    painter.setClipRect(planRect);
    for (const AccessPointPosition& ap : positions.accessPoints) {
        painter.setPen(QPen(QColor(60, 60, 60), 1, Qt::DashLine));
        painter.setBrush(QColor(60, 60, 60, 25));
        painter.drawEllipse(QPointF(ap.fit.x * s, ap.fit.y * s), ap.fit.radius * s, ap.fit.radius * s);
    }
    for (std::size_t i = 0; i < positions.accessPoints.size(); ++i) {
        const AccessPointPosition& ap = positions.accessPoints[i];
        const bool low = BandOf(ap.channel) == Band::Ghz24;
        const QPointF at(std::clamp(ap.fit.x * s, 0.0, double(planRect.width())),
                         std::clamp(ap.fit.y * s, 0.0, double(planRect.height())));
        painter.setPen(QPen(Qt::black, 1.5, ap.fit.coarse ? Qt::DotLine : Qt::SolidLine));
        painter.setBrush(low ? bg : ah);
        painter.drawEllipse(at, r, r);
        painter.setPen(low ? Qt::black : Qt::white);
        painter.drawText(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r), Qt::AlignCenter, QString::number(i + 1));
    }
    painter.setClipping(false);
    if (loaded.scale.Known())
        coverage::DrawScaleBar(painter, planRect, loaded.scale.metresPerPixel / s, PictureFont(12));
    DrawKey(painter, QPoint(planRect.width() + 8, 8), QStringLiteral("Estimated AP positions"),
            {QStringLiteral("survey %1").arg(QString::fromStdString(loaded.survey.name)),
             QStringLiteral("plan %1").arg(QString::fromStdString(loaded.plan.name)),
             QStringLiteral("radios numbered as in the table"),
             QStringLiteral("circles: 68 % of the position error"),
             QStringLiteral("dotted: coarse, too few readings"), QStringLiteral("grey dots: survey points")},
            {{bg, QStringLiteral("2.4 GHz")}, {ah, QStringLiteral("5 GHz")}});
    return image;
}

// "312, 140 ± 1.2 m" (plan pixels, radius), "coarse" where the fit had too little.
std::string PositionText(const analysis::AccessPointMap& map, const MacAddress& bssid, const PlanScale& scale) {
    const AccessPointPosition* radio = RadioOf(map, bssid);
    if (!radio) return "";
    return Format("%.0f, %.0f", radio->fit.x, radio->fit.y) + " \u00B1 " + DistanceText(radio->fit.radius, scale) +
           (radio->fit.coarse ? " (coarse)" : "");
}

// Access points per channel, one panel per band.
QImage ChannelChart(const SurveySummary& summary, const std::string& surveyName) {
    std::vector<int> bg;
    for (int c = 1; c <= 13; ++c) bg.push_back(c);
    if (summary.apsByChannel.count(14)) bg.push_back(14);
    std::vector<int> ah(kAhChannels.begin(), kAhChannels.end());
    for (const auto& [channel, n] : summary.apsByChannel)
        if (BandOf(channel) == Band::Ghz5 && std::find(ah.begin(), ah.end(), channel) == ah.end()) ah.push_back(channel);
    std::sort(ah.begin(), ah.end());
    std::uint32_t most = 1;
    for (const auto& [channel, n] : summary.apsByChannel) most = std::max(most, n);

    const int width = 960, panel = 170, top = 28, bottom = 22;
    QImage image(width, 2 * (panel + top + bottom), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QFont font = PictureFont(12);
    painter.setFont(font);
    auto draw = [&](const std::vector<int>& channels, int y0, const QString& title, QColor colour) {
        painter.setPen(Qt::black);
        QFont bold = font;
        bold.setBold(true);
        painter.setFont(bold);
        painter.drawText(10, y0 + 18, title);
        painter.setFont(font);
        const int left = 40, right = width - 10, baseline = y0 + top + panel;
        const double step = double(right - left) / channels.size();
        painter.setPen(QColor(200, 200, 200));
        for (std::uint32_t n = 0; n <= most; ++n) {
            const int y = baseline - int(n * (panel - 16) / most);
            painter.drawLine(left, y, right, y);
            painter.setPen(Qt::black);
            painter.drawText(QRect(0, y - 8, left - 6, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(n));
            painter.setPen(QColor(200, 200, 200));
        }
        for (std::size_t i = 0; i < channels.size(); ++i) {
            const auto it = summary.apsByChannel.find(channels[i]);
            const std::uint32_t n = it == summary.apsByChannel.end() ? 0 : it->second;
            const int x = left + int(i * step);
            const int h = int(n * (panel - 16) / most);
            painter.fillRect(QRect(x + 2, baseline - h, std::max(2, int(step) - 4), h), colour);
            painter.setPen(Qt::black);
            painter.drawText(QRect(x, baseline + 2, int(step), 16), Qt::AlignHCenter | Qt::AlignTop,
                             QString::number(channels[i]));
        }
    };
    draw(bg, 0, QStringLiteral("2.4 GHz: access points per channel, survey %1").arg(QString::fromStdString(surveyName)), QColor(0x35, 0xB7, 0x79));
    draw(ah, panel + top + bottom, QStringLiteral("5 GHz: access points per channel, survey %1").arg(QString::fromStdString(surveyName)), QColor(0x31, 0x68, 0x8E));
    return image;
}

const char* KindName(int kind) {
    switch (kind) {
    case 0: return "GPS points (kind 0)";
    case 1: return "Points tapped on a GPS plan (kind 1)";
    case 2: return "Points tapped on a linear plan (kind 2)";
    case 17: return "Access point markers (kind 17)";
    case 255: return "Deleted points (kind 255)";
    }
    return "Records of an unknown kind";
}

// The page's section on the requirements: a table and one map each.
bool RequirementsSection(const LoadedSurvey& loaded, const std::vector<Requirement>& requirements, double areaPass,
                         double maxUnsurveyed, const std::function<bool(const QImage&, const std::string&)>& save,
                         std::string& html, std::string& error) {
    FloorCheck check;
    check.maxUnsurveyed = maxUnsurveyed;
    if (!CheckFloor(loaded, requirements, Filter{}, std::nullopt, std::nullopt, areaPass, check, error)) return false;
    const PlanScale& scale = loaded.scale;
    std::string verdict = "passes";
    if (check.Verdict() == FloorVerdict::Fail) verdict = "does not pass";
    if (check.Verdict() == FloorVerdict::Incomplete) verdict = "is incomplete (" + IncompleteText(check) + ")";
    html += "<h2>Requirements</h2>\n<p>The floor " + verdict +
            ": each requirement must hold on at least " + Format("%.1f", areaPass, 0) +
            " % of the surveyed area (the part of the plan within the radius of a survey point, " +
            Html(DistanceText(check.radius, scale)) + "). The part not surveyed is stated apart and never counts as "
            "passing; where more than " + Format("%g", maxUnsurveyed, 0) + " % of the plan" +
            (check.areaName.empty() ? std::string() : " (the part of it in " + Html(check.areaName) + ")") +
            " was not surveyed, a requirement that holds where surveyed is incomplete. Where the network was not "
            "heard, signal and secondary fail; counts are 0 there.</p>\n";
    html += "<table>\n<tr><th>Requirement</th><th>Verdict</th><th>Passes (% of surveyed)</th><th>Passes (area)</th>"
            "<th>Fails (% of surveyed)</th><th>Not surveyed (% of plan)</th></tr>\n";
    for (std::size_t i = 0; i < check.results.size(); ++i) {
        const RequirementShares& r = check.results[i];
        html += "<tr><td>" + Html(r.requirement.Text()) + "</td><td>" + VerdictLabel(check.VerdictOf(i)) +
                "</td><td class=\"n\">" + Format("%.1f", r.PassPercent(), 0) + "</td><td class=\"n\">" +
                Html(AreaText(r.passArea, scale)) + "</td><td class=\"n\">" + Format("%.1f", r.FailPercent(), 0) +
                "</td><td class=\"n\">" + Format("%.1f", r.UnsurveyedPercent(), 0) + "</td></tr>\n";
    }
    html += "</table>\n";
    for (std::size_t i = 0; i < check.results.size(); ++i) {
        const std::string file = "requirement-" + std::to_string(i + 1) + ".png";
        if (!save(RenderPassFailMap(loaded, check, i, kPageImageWidth), file)) return false;
        const std::string caption = check.results[i].requirement.Text() + ": green passes, red fails, hatched grey "
                                    "was not surveyed";
        html += "<figure><img src=\"" + file + "\" alt=\"" + Html(caption) + "\"/><figcaption>" + Html(caption) +
                "</figcaption></figure>\n";
    }
    return true;
}

struct ReportArgs {
    std::vector<std::string> surveys;
    std::string projection, dir, area;
    std::vector<std::pair<bool, std::string>> requirements;  // (profile?, text), in the order given
    std::optional<std::string> areaPass, maxUnsurveyed;
};

// A word after --require that is another requirement rather than the survey.
bool LooksLikeRequirement(const std::string& word) {
    return !word.empty() && word[0] != '-' && word.find_first_of("<>=") != std::string::npos;
}

int Run(const Command& command, const ReportArgs& args) {
    std::vector<std::string> surveys = args.surveys;
    const std::string& projectionPath = args.projection;
    const std::string& dir = args.dir;
    std::vector<Requirement> requirements;
    double areaPass = 95;
    double maxUnsurveyed = kDefaultMaxUnsurveyed;
    for (const auto& [profile, text] : args.requirements) {
        if (profile) {
            const auto p = ProfileRequirements(text);
            if (!p) return command.UsageError("--profile takes voice, data or basic");
            requirements.insert(requirements.end(), p->begin(), p->end());
        } else {
            std::string why;
            const auto r = ParseRequirement(text, why);
            if (!r) return command.UsageError(why);
            requirements.push_back(*r);
        }
    }
    if (args.areaPass) {
        char* end = nullptr;
        areaPass = std::strtod(args.areaPass->c_str(), &end);
        if (args.areaPass->empty() || *end != '\0' || !(areaPass >= 0 && areaPass <= 100))
            return command.UsageError("--area-pass takes a percentage from 0 to 100");
    }
    if (args.maxUnsurveyed) {
        const auto v = NumberArgument(*args.maxUnsurveyed);
        if (!v || *v < 0 || *v > 100) return command.UsageError("--max-unsurveyed takes a percentage from 0 to 100");
        maxUnsurveyed = *v;
    }
    if (surveys.size() == 1 && site::IsSitePath(surveys.front())) {
        if (!projectionPath.empty()) return command.UsageError("a site file names each floor's projection: leave out --projection");
        if (dir.empty()) return command.UsageError("-o is needed");
        if (IsStandardStream(dir)) return command.UsageError("the report is a folder of files: -o names it");
        // Each floor's report is this command's, run on the floor's files.
        if (!args.area.empty()) return command.UsageError("--area masks one plan: it is not for a site file");
        const FloorReport floor = [&command](const std::vector<std::string>& floorSurveys, const std::string& projection,
                                             const std::string& floorDir, const std::vector<std::string>& required,
                                             const std::string& share, const std::string& allowed) {
            ReportArgs a{floorSurveys, projection, floorDir, {}, {}, share, allowed};
            for (const std::string& r : required) a.requirements.emplace_back(false, r);
            return Run(command, a);
        };
        return RunSiteReport(surveys.front(), dir, requirements, args.areaPass ? std::optional(areaPass) : std::nullopt,
                             args.maxUnsurveyed ? std::optional(maxUnsurveyed) : std::nullopt, floor);
    }
    if (surveys.empty() || projectionPath.empty() || dir.empty())
        return command.UsageError("a survey, --projection and -o are needed");
    if (IsStandardStream(dir)) return command.UsageError("the report is a folder of files: -o names it");
    {
        std::string error;
        std::vector<std::string*> surveyPaths;
        for (std::string& s : surveys) surveyPaths.push_back(&s);
        if (!ReadStandardInputAsFile(surveyPaths, error)) return Fail(error);
    }

    // Every file the page may have, checked before any work.
    std::vector<std::string> inputs = ProjectionInputs(projectionPath);
    inputs.insert(inputs.end(), surveys.begin(), surveys.end());
    if (!args.area.empty()) inputs.push_back(args.area);
    struct stat folder {};
    if (::stat(dir.c_str(), &folder) == 0 && !S_ISDIR(folder.st_mode))
        return Fail("cannot write into " + dir + ": " + SystemErrorText(ENOTDIR));
    std::vector<std::string> names{"index.html", "signal.png", "secondary.png", "co-channel.png",
                                   "access-points.png", "channels.png"};
    for (int i = 1; i <= kMaxSsidMaps; ++i) names.push_back("signal-ssid-" + std::to_string(i) + ".png");
    for (std::size_t i = 1; i <= requirements.size(); ++i) names.push_back("requirement-" + std::to_string(i) + ".png");
    for (const std::string& name : names)
        if (const int why = RefusedOutput(dir + "/" + name, inputs))
            return Fail("cannot write " + dir + "/" + name + ": " + SystemErrorText(why));

    StartPictureApp();
    LoadedSurvey loaded;
    std::string error;
    if (!LoadSurveysOnPlan(surveys, projectionPath, loaded, error)) return Fail(error);
    if (!loaded.scaleWarning.empty()) std::fprintf(stderr, "quorl report: %s\n", loaded.scaleWarning.c_str());
    if (!args.area.empty() && !LoadAreaMask(args.area, loaded, error)) return Fail(error);
    CoverageMap signal;
    if (!BuildMap(loaded, DefaultOptions(Metric::Signal), std::nullopt, signal, error)) return Fail(error);
    if (!QDir().mkpath(QString::fromStdString(dir))) return Fail("cannot create the folder " + dir);
    const QDir out(QString::fromStdString(dir));
    // Nothing of the new report replaces the old one before all of it is written.
    StagedFiles staged;
    const std::function<bool(const QImage&, const std::string&)> save = [&](const QImage& image,
                                                                            const std::string& name) {
        const std::string path = out.filePath(QString::fromStdString(name)).toStdString();
        std::string bytes;
        if (PngBytes(image, bytes)) return staged.Add(path, bytes, inputs, error);
        error = "cannot write " + path + ": the picture could not be coded as PNG";
        return false;
    };
    const Survey& survey = loaded.survey;
    const SurveySummary summary = Summarise(survey);
    const PlanAccessPoints located =
        LocateOnPlan(survey, loaded.plan, loaded.scale.Known() ? loaded.scale.metresPerPixel : 0);
    const coverage::ColourScale levels = coverage::ColourScale::Viridis();

    std::string maps;
    std::size_t figures = 0;
    auto figure = [&](const std::string& file, const std::string& caption) {
        ++figures;
        maps += "<figure><img src=\"" + file + "\" alt=\"" + Html(caption) + "\"/><figcaption>" + Html(caption) +
                "</figcaption></figure>\n";
    };
    if (!save(RenderMap(loaded, signal, levels, kPageImageWidth), "signal.png")) return Fail(error);
    figure("signal.png", "Strongest signal, all networks (" + MapShares(signal.grid) + "; " + MapErrorLine(signal) + ")");
    int n = 0;
    for (const auto& [ssid, strongest] : summary.ssids) {
        if (n == kMaxSsidMaps) {
            maps += "<p class=\"note\">" + std::to_string(summary.ssids.size() - kMaxSsidMaps) +
                    " more networks have no map of their own; see the table of access points.</p>\n";
            break;
        }
        MetricOptions options = DefaultOptions(Metric::Signal);
        options.filter.ssid = ssid;
        CoverageMap map;
        if (!BuildMap(loaded, options, std::nullopt, map, error)) return Fail(error);
        const std::string file = "signal-ssid-" + std::to_string(++n) + ".png";
        if (!save(RenderMap(loaded, map, levels, kPageImageWidth), file)) return Fail(error);
        figure(file, "Strongest signal of " + Utf8(ssid) + " (heard at up to " + std::to_string(strongest) + " dBm; " +
                         MapShares(map.grid) + "; " + MapErrorLine(map) + ")");
    }
    struct Extra {
        Metric metric;
        const char* file;
        const char* caption;
    };
    for (const Extra& extra : {Extra{Metric::Secondary, "secondary.png", "Second-strongest access point: where a device can roam"},
                               Extra{Metric::CoChannel, "co-channel.png", "Access points sharing the strongest one's channel"}}) {
        CoverageMap map;
        std::string why;
        if (!BuildMap(loaded, DefaultOptions(extra.metric), std::nullopt, map, why)) {
            maps += "<p class=\"note\">" + Html(extra.caption) + ": no map, " + Html(why) + "</p>\n";
            continue;
        }
        if (!save(RenderMap(loaded, map, ScaleFor(extra.metric, -90, -30, false), kPageImageWidth), extra.file))
            return Fail(error);
        figure(extra.file, std::string(extra.caption) + " (" + MapShares(map.grid) + "; " + MapErrorLine(map) + ")");
    }
    if (!save(AccessPointPicture(loaded, located.map), "access-points.png")) return Fail(error);
    if (!save(ChannelChart(summary, survey.name), "channels.png")) return Fail(error);

    // The page.
    std::string h;
    h += "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n";
    h += "<title>Coverage report: " + Html(survey.name) + "</title>\n<style>\n"
         "body{font-family:'DejaVu Sans',sans-serif;margin:2em;color:#222;max-width:1100px}\n"
         "table{border-collapse:collapse;margin:1em 0}td,th{border:1px solid #bbb;padding:3px 8px;text-align:left}\n"
         "th{background:#eee}td.n{text-align:right}figure{margin:1.5em 0}img{max-width:100%;border:1px solid #ccc}\n"
         "figcaption{font-style:italic}.note{color:#666}\n</style>\n</head>\n<body>\n";
    h += "<h1>Coverage report: " + Html(survey.name) + "</h1>\n<h2>Survey</h2>\n<table>\n";
    auto row = [&](const std::string& key, const std::string& value) {
        h += "<tr><th>" + Html(key) + "</th><td>" + Html(value) + "</td></tr>\n";
    };
    row("Collection file", survey.name);
    row("Projection file", loaded.plan.name + (loaded.plan.kind == 0 ? " (GPS projection)" : " (linear projection)"));
    row("Plan", std::to_string(loaded.planImage.width()) + " x " + std::to_string(loaded.planImage.height()) + " pixels");
    // With --area, the plan's area is the part of it that counts.
    const PlanAreas parts = SplitPlan(signal.grid, CellAreasOf(loaded, signal.grid.Geometry()));
    const double planSquarePixels = std::max(1.0, parts.Area());
    row("Plan scale", !loaded.scale.Known() ? std::string("none: distances and areas in plan pixels (quorl proj scale gives a linear plan one)")
                      : "1 px = " + QString::number(loaded.scale.metresPerPixel, 'g', 4).toStdString() + " m" +
                            (loaded.scale.from == PlanScale::From::Transform ? " (from the GPS transform at the plan's centre)"
                                                                              : " (measured with quorl proj scale)"));
    if (loaded.area) row("Area mask", loaded.areaName + ": only its white part of the plan counts");
    row(loaded.area ? "Plan area within the mask" : "Plan area", AreaText(planSquarePixels, loaded.scale));
    const double covered = parts.valueArea + parts.notHeardArea;
    row("Area within the radius of a survey point (strongest-signal map)",
        AreaText(covered, loaded.scale) + " (" + std::to_string(std::lround(100.0 * covered / planSquarePixels)) + " % of the plan)");
    row("Records in the file", std::to_string(survey.groups));
    for (const auto& [kind, count] : survey.groupsByKind) row(KindName(kind), std::to_string(count));
    row("Points on the plan", std::to_string(survey.points.size()));
    if (survey.withoutPosition) row("Points without a position (left out)", std::to_string(survey.withoutPosition));
    if (survey.offPlan) row("Points off the plan (left out)", std::to_string(survey.offPlan));
    row("Time span", summary.hasTime ? summary.first.Text() + " to " + summary.last.Text() : "unknown");
    std::string channels;
    for (const auto& [channel, count] : summary.apsByChannel) channels += (channels.empty() ? "" : ", ") + std::to_string(channel);
    row("Channels swept (where access points were heard)", channels.empty() ? "none" : channels);
    row("Access points heard", std::to_string(summary.accessPoints.size()));
    h += "</table>\n<h2>Coverage</h2>\n<p>Maps are interpolated between the survey points (white dots) and left "
         "blank farther than the radius in each legend from every point. Grey cells are not heard: the survey "
         "point nearest to them (grey ring) heard nothing of the map's network. Each map's error is measured on its own "
         "points: every point is left out in turn and estimated from the others; the typical (root mean square) "
         "difference is given as \"map error about \u00B1N dB from M points\".</p>\n";
    h += maps;
    if (!requirements.empty() &&
        !RequirementsSection(loaded, requirements, areaPass, maxUnsurveyed, save, h, error))
        return Fail(error);
    // Networks of one radio together, under the radio's address block.
    const std::vector<RadioGroup> radios = GroupByRadio(summary.accessPoints, survey);
    std::vector<std::string> radioOf(summary.accessPoints.size());
    std::vector<std::size_t> order;
    std::size_t shared = 0;
    for (const RadioGroup& g : radios) {
        const std::string number = std::to_string(&g - radios.data() + 1);
        const std::string name = g.members.size() > 1 ? number + ": " + std::to_string(g.members.size()) +
                                                            " networks of " + AddressBlockText(g.block)
                                                      : number;
        shared += g.members.size() > 1;
        for (std::size_t i : g.members) {
            radioOf[i] = name;
            order.push_back(i);
        }
    }
    h += "<h2>Access points</h2>\n<p>" + std::to_string(summary.accessPoints.size()) + " networks from " +
         std::to_string(radios.size()) + " radios (" + std::to_string(shared) +
         " sending several networks). Networks count as one radio when their addresses differ only in the last "
         "hex digit, they are on the same channel and the points that heard both heard them alike (median "
         "difference at most " + std::to_string(kSameRadioDb) + " dB); radios are numbered strongest first.</p>\n";
    h += "<table>\n<tr><th>Radio</th><th>#</th><th>MAC address</th><th>SSID</th><th>Channel</th>"
         "<th>Band</th><th>Strongest (dBm)</th><th>Where (x, y)</th><th>Points heard</th>"
         "<th>Estimated position (x, y, 68 % radius)</th></tr>\n";
    for (std::size_t i : order) {
        const AccessPointRow& ap = summary.accessPoints[i];
        h += "<tr><td>" + radioOf[i] + "</td><td class=\"n\">" + std::to_string(i + 1) + "</td><td>" + MacText(ap.mac) + "</td><td>" +
             (ap.ssid.empty() ? std::string("(hidden)") : Html(Utf8(ap.ssid))) + "</td><td class=\"n\">" +
             std::to_string(ap.channel) + "</td><td>" + BandText(ap.band) + "</td><td class=\"n\">" +
             std::to_string(ap.strongest) + "</td><td>" + Format("%.0f, %.0f", ap.strongestX, ap.strongestY) +
             "</td><td class=\"n\">" + std::to_string(ap.pointsHeard) + "</td><td>" + PositionText(located.map, ap.mac, loaded.scale) +
             "</td></tr>\n";
    }
    h += "</table>\n";
    h += "<p>Each radio's position comes from fitting the path-loss model (level = P0 - 10 n log10(d) - the losses "
         "of the walls crossed) to all its readings; " + Html(located.walls.Verdict()) +
         (located.walls.Any() ? ", a thick wall costing " + Format("%.1f", located.map.wallLoss[1], 0) +
                                       " dB and a thin one " + Format("%.1f", located.map.wallLoss[0], 0) +
                                       " dB (learnt from this survey)"
                              : std::string()) +
         ". The radius holds the true position with 68 % confidence.</p>\n";
    h += "<figure><img src=\"access-points.png\" alt=\"Estimated access point positions\"/><figcaption>Estimated "
         "positions of the radios, numbered as in the table (yellow 2.4 GHz, blue 5 GHz), with their 68 % "
         "circles.</figcaption></figure>\n";
    h += "<h2>Channel use</h2>\n<figure><img src=\"channels.png\" alt=\"Access points per channel\"/>"
         "<figcaption>Access points per channel in both bands</figcaption></figure>\n";
    h += "</body>\n</html>\n";
    const std::string index = out.filePath(QStringLiteral("index.html")).toStdString();
    if (!staged.Add(index, h, inputs, error) || !staged.CommitAll(error)) return Fail(error);
    std::printf("%s: %zu points, %zu access points, %zu maps\n", index.c_str(), survey.points.size(),
                summary.accessPoints.size(), figures);
    return 0;
}

void Define(Command& c) {
    auto a = std::make_shared<ReportArgs>();
    c.Positionals("SURVEY.ssd...", a->surveys, "collection files of one floor (- for standard input), or one site file (.qsite)");
    c.Option("--projection", a->projection, "SITE.gpf|.lpf", "projection file of the plan (required but with a site file)");
    c.Option("-o,--output", a->dir, "DIR", "folder for index.html and its pictures (required)");
    c.Words("--require", "EXPR...", "requirements for the page's pass/fail section, as signal>=-67",
            LooksLikeRequirement, [a](const std::string& v) { a->requirements.emplace_back(false, v); });
    c.Each("--profile", "voice|data|basic", "a named set of requirements",
           [a](const std::string& v) { a->requirements.emplace_back(true, v); });
    c.Option("--area-pass", a->areaPass, "PCT", "share of the surveyed area each requirement must pass on (95)");
    c.Option("--max-unsurveyed", a->maxUnsurveyed, "PCT",
             "share of the plan that may stay unsurveyed; more is incomplete (10)");
    c.Option("--area", a->area, "MASK.png", "only the white part of this mask of the plan counts");
    c.Does([&c, a] { return Run(c, *a); });
}

const RegisterCommand kRegistration("report", "HTML coverage report for a customer", kUsage, Define);

}  // namespace

}  // namespace quorl::tools
