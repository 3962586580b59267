// quorl aps SURVEY.ssd... --projection SITE [--walls MASK.bmp] [--json]:
// where each access point stands, from the path-loss model with the walls
// of the plan.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <memory>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/AccessPointPositions.h"
#include "analysis/PlanPixels.h"
#include "analysis/PlanScale.h"
#include "analysis/PlanSource.h"
#include "common/RegularFile.h"
#include "common/UserMessages.h"
#include "export/TextEscape.h"
#include "tools/CommandRegistry.h"
#include "tools/SiteFloorArguments.h"

namespace quorl::tools {

namespace {

using namespace quorl::analysis;

constexpr const char* kUsage =
    "usage: quorl aps SURVEY.ssd... --projection SITE.gpf|.lpf [--walls MASK.bmp] [--json]\n"
    "       quorl aps BUILDING.qsite --floor FLOOR [--walls MASK.bmp] [--json]\n";

int Fail(const std::string& text) {
    std::fprintf(stderr, "quorl aps: %s\n", text.c_str());
    return 1;
}

int Usage(const std::string& why) {
    std::fprintf(stderr, "quorl aps: %s\n%s", why.c_str(), kUsage);
    return 2;
}

std::string Json(const std::string& text) {
    std::string out(text.size() * exports::kMaxEscaped + 2, '\0');
    out.resize(static_cast<std::size_t>(exports::PutJsonString(out.data(), text) - out.data()));
    return out;
}

std::string Terminal(const std::string& text) {
    std::string out(text.size() * exports::kMaxEscaped, '\0');
    out.resize(static_cast<std::size_t>(exports::PutTerminalText(out.data(), text) - out.data()));
    return out;
}

std::string Number(double v, int decimals) {
    if (!std::isfinite(v)) return "null";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string JsonReport(const AccessPointMap& map, const PlanScale& scale, const PlanWalls& walls) {
    const double m = scale.Known() ? scale.metresPerPixel : NAN;
    std::string j = "{\"access_points\": [";
    for (std::size_t i = 0; i < map.accessPoints.size(); ++i) {
        const AccessPointPosition& ap = map.accessPoints[i];
        const PathLossFit& f = ap.fit;
        j += i ? ",\n  {" : "\n  {";
        j += "\"mac\": \"" + MacText(ap.mac) + "\", \"bssids\": [";
        for (std::size_t b = 0; b < ap.bssids.size(); ++b) j += (b ? ", \"" : "\"") + MacText(ap.bssids[b]) + "\"";
        j += "], \"ssids\": [";
        for (std::size_t s = 0; s < ap.ssids.size(); ++s) j += (s ? ", " : "") + Json(ap.ssids[s]);
        j += "], \"channel\": " + std::to_string(ap.channel) + ", \"points\": " + std::to_string(ap.points);
        j += ", \"x\": " + Number(f.x, 1) + ", \"y\": " + Number(f.y, 1);
        j += ", \"x_m\": " + Number(f.x * m, 2) + ", \"y_m\": " + Number(f.y * m, 2);
        j += ", \"radius_m\": " + Number(f.radius * m, 2);
        j += ", \"model\": {\"fit\": \"" + std::string(f.coarse ? "coarse" : "path-loss") + "\"";
        if (!f.note.empty()) j += ", \"note\": " + Json(f.note);
        j += ", \"radius_px\": " + Number(f.radius, 1) + ", \"radius_confidence\": 0.68";
        j += ", \"off_plan\": " + std::string(f.offPlan ? "true" : "false");
        if (!f.coarse) {
            j += ", \"p0_dbm\": " + Number(f.p0, 1) + ", \"p0_at\": \"" + (scale.Known() ? "1 m" : "1 px") + "\"";
            j += ", \"exponent\": " + Number(f.exponent, 2);
            j += ", \"wall_loss_db\": {\"thin\": " + Number(f.wallLoss[0], 1) + ", \"thick\": " +
                 Number(f.wallLoss[1], 1) + "}";
            j += ", \"walls\": " + std::string(walls.Any() ? "true" : "false");
            j += ", \"rms_db\": " + Number(f.rms, 2) + ", \"cells\": " + std::to_string(f.cells);
        }
        j += ", \"readings\": " + std::to_string(f.readings) + "}}";
    }
    j += map.accessPoints.empty() ? "]}\n" : "\n]}\n";
    return j;
}

std::string TextReport(const AccessPointMap& map, const PlanScale& scale, const PlanWalls& walls,
                       const std::string& name) {
    std::string t = name + ": " + std::to_string(map.accessPoints.size()) + " access point" +
                    (map.accessPoints.size() == 1 ? "" : "s") + "; " + walls.Verdict();
    if (walls.Any())
        t += "; learnt " + Number(map.wallLoss[1], 1) + " dB a thick wall, " + Number(map.wallLoss[0], 1) +
             " dB a thin one";
    t += "\nradius: 68 % of the position error\n";
    t += "mac                channel points   x px    y px     x m     y m  radius  fit\n";
    const bool metres = scale.Known();
    for (const AccessPointPosition& ap : map.accessPoints) {
        const PathLossFit& f = ap.fit;
        char line[256];
        std::snprintf(line, sizeof line, "%s %7d %6u %7.0f %7.0f %7s %7s %7s  %s", MacText(ap.mac).c_str(), ap.channel,
                      ap.points, f.x, f.y, metres ? Number(f.x * scale.metresPerPixel, 1).c_str() : "-",
                      metres ? Number(f.y * scale.metresPerPixel, 1).c_str() : "-",
                      DistanceText(f.radius, scale).c_str(),
                      f.coarse ? "coarse" : ("n " + Number(f.exponent, 1) + ", rms " + Number(f.rms, 1) + " dB").c_str());
        t += line;
        std::string ssids;
        for (const std::string& s : ap.ssids) ssids += (ssids.empty() ? "" : ", ") + Terminal(s);
        if (!ssids.empty()) t += "  " + ssids;
        if (ap.bssids.size() > 1) t += "  (" + std::to_string(ap.bssids.size()) + " BSSIDs)";
        if (f.offPlan) t += "  off the plan";
        if (!f.note.empty()) t += "  [" + f.note + "]";
        t += "\n";
    }
    return t;
}

// A wall mask file, at most as large as a plan may be.
bool ReadMask(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) {
        error = "cannot open " + path + ": " + SystemErrorText(errno);
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > kMaxPlanBitmapBytes) {
            error = n < 0 ? "cannot read " + path + ": " + SystemErrorText(errno) : path + " is too large for a wall mask.";
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return true;
}

struct ApsArgs {
    std::vector<std::string> surveys;
    std::string projection, walls, floor;
    bool json = false;
};

int Run(const ApsArgs& args) {
    std::vector<std::string> surveys = args.surveys;
    std::string projectionPath = args.projection;
    if (const auto problem = ResolveSiteFloor(surveys, projectionPath, args.floor)) {
        if (problem->usage) return Usage(problem->text);
        std::fprintf(stderr, "quorl aps: %s\n", problem->text.c_str());
        return 2;
    }
    if (surveys.empty() || projectionPath.empty()) return Usage("a survey and --projection are needed");
    const std::string& maskPath = args.walls;
    const bool json = args.json;

    PlanSource plan;
    std::string error;
    if (!LoadPlanSource(projectionPath, plan, error)) return Fail(error);
    const auto grey = BitmapGrey(plan.bitmap);
    const Placement placement{plan.transform, grey ? grey->width : plan.width, grey ? grey->height : plan.height};
    Survey survey;
    for (std::size_t i = 0; i < surveys.size(); ++i) {
        Survey one;
        if (!LoadSurvey(surveys[i], placement, one, error)) return Fail(error);
        if (i == 0) survey = std::move(one);
        else AppendSurvey(survey, std::move(one));
    }
    std::string warning;
    const PlanScale scale = ScaleOfPlan(projectionPath, plan, warning);
    if (!warning.empty()) std::fprintf(stderr, "quorl aps: %s\n", warning.c_str());

    PlanWalls walls;
    if (!maskPath.empty()) {
        std::vector<std::uint8_t> bytes;
        if (!ReadMask(maskPath, bytes, error)) return Fail(error);
        const auto mask = BitmapGrey(bytes);
        if (!mask) return Fail(maskPath + " is not a bitmap this program can read (uncompressed BMP).");
        if (mask->width != placement.planWidth || mask->height != placement.planHeight)
            return Fail(maskPath + " is " + std::to_string(mask->width) + " x " + std::to_string(mask->height) +
                        " pixels; the plan is " + std::to_string(placement.planWidth) + " x " +
                        std::to_string(placement.planHeight) + ".");
        walls = PlanWalls::FromMask(*mask);
    } else if (grey) {
        walls = PlanWalls::FromPlan(*grey, scale.Known() ? scale.metresPerPixel : 0);
    }
    const PlanFrame frame{placement.planWidth, placement.planHeight, scale.Known() ? scale.metresPerPixel : 0};
    const AccessPointMap map = LocateAccessPoints(survey, walls, frame);
    const std::string report = json ? JsonReport(map, scale, walls) : TextReport(map, scale, walls, survey.name);
    std::fwrite(report.data(), 1, report.size(), stdout);
    return 0;
}

void Define(Command& c) {
    auto a = std::make_shared<ApsArgs>();
    c.Positionals("SURVEY.ssd...", a->surveys, "collection files of one floor, or one site file (.qsite)");
    c.Option("--projection", a->projection, "SITE.gpf|.lpf", "projection file of the plan (required but with a site file)");
    c.Option("--floor", a->floor, "FLOOR", "with a site file: the floor (required there)");
    c.Option("--walls", a->walls, "MASK.bmp", "walls drawn by hand: dark pixels of a bitmap the size of the plan");
    c.Flag("--json", a->json, "the access points as JSON");
    c.Does([a] { return Run(*a); });
}

const RegisterCommand kRegistration("aps", "where are the access points?", kUsage, Define);

}  // namespace

}  // namespace quorl::tools
