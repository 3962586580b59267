#include "analysis/PlanScale.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <sstream>

#include "common/UserMessages.h"
#include "survey/FileHandle.h"
#include "survey/PendingFile.h"
#include "survey/SiteProjection.h"

namespace quorl::analysis {

namespace {
constexpr const char* kMagic = "quorl-plan-scale 1";
// A side file is three short lines; anything much larger is not one.
constexpr std::int64_t kMaxSideFile = 4096;

bool FolderRefuses(int errorNumber) {
    return errorNumber == EACCES || errorNumber == EPERM || errorNumber == EROFS || errorNumber == ENAMETOOLONG;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Fixed(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

// Whole numbers above ten, one decimal below: a map legend, not a survey.
std::string Rounded(double v) { return Fixed(v, std::fabs(v) >= 10 ? 0 : 1); }

// Writes `text` to `path` whole or not at all; the errno of a failure.
int WriteWhole(const std::string& path, const std::string& text) {
    PendingFile pending(path);
    if (!pending.Created()) return pending.Error();
    {
        FileHandle f = FileHandle::Open(pending.TempPath(), O_WRONLY | O_TRUNC);
        if (!f.Valid() || !f.WriteAt(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 0) || !f.Flush())
            return errno != 0 ? errno : EIO;
    }
    return pending.Commit() ? 0 : pending.Error();
}
}  // namespace

std::optional<double> ScaleOfTransform(const AffineTransform& t, double x, double y) {
    if (!t.Invertible()) return std::nullopt;
    // The inverse's Jacobian has determinant 1/det, so a pixel covers
    // k² cos(lat) / |det| square metres (k metres per degree of latitude).
    const double det = t.Determinant();
    const double lat = (t.d * (x - t.e) - t.b * (y - t.f)) / det;
    const double k = kEarthRadiusMetres * std::numbers::pi / 180.0;
    // At or past a pole a degree of longitude has no length.
    if (!(std::fabs(lat) < 90)) return std::nullopt;
    const double c = std::cos(lat * std::numbers::pi / 180.0);
    const double scale = k * std::sqrt(c / std::fabs(det));
    if (!std::isfinite(scale) || scale <= 0) return std::nullopt;
    return scale;
}

std::string ScaleFileBeside(const std::string& projectionPath) { return projectionPath + ".scale"; }

std::string ScaleFileInCache(const std::string& projectionPath) {
    const std::string base = CSiteProjection::CacheBase(projectionPath);
    return base.empty() ? std::string() : base + ".scale";
}

std::string WriteScaleFile(const std::string& projectionPath, double metresPerPixel, int width, int height,
                           std::string& error) {
    std::ostringstream text;
    text.precision(17);
    text << kMagic << "\nmetres-per-pixel " << metresPerPixel << "\nplan " << width << "x" << height << "\n";
    const std::string beside = ScaleFileBeside(projectionPath);
    const int besideError = WriteWhole(beside, text.str());
    if (besideError == 0) return beside;
    if (!FolderRefuses(besideError)) {
        error = "cannot write " + beside + ": " + SystemErrorText(besideError);
        return {};
    }
    // An older file beside the projection would be read before the cache.
    if (Exists(beside)) {
        error = "cannot replace " + beside + ": " + SystemErrorText(besideError);
        return {};
    }
    const std::string cached = ScaleFileInCache(projectionPath);
    if (cached.empty()) {
        error = "cannot write " + beside + ": " + SystemErrorText(besideError) + ", and there is no cache folder";
        return {};
    }
    if (const int cacheError = WriteWhole(cached, text.str()); cacheError != 0) {
        error = "cannot write " + beside + ": " + SystemErrorText(besideError) + ", nor " + cached + ": " +
                SystemErrorText(cacheError);
        return {};
    }
    return cached;
}

std::optional<double> ReadScaleFile(const std::string& path, int width, int height, std::string& error) {
    FileHandle f = FileHandle::Open(path, O_RDONLY);
    if (!f.Valid()) {
        if (errno != ENOENT) error = "cannot open " + path + ": " + SystemErrorText(errno);
        return std::nullopt;
    }
    const std::int64_t length = f.Length();
    if (length < 0 || length > kMaxSideFile) {
        error = path + " is not a plan scale file";
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    if (f.ReadAt(reinterpret_cast<std::uint8_t*>(text.data()), text.size(), 0) != length) {
        error = "cannot read " + path + ": " + SystemErrorText(errno != 0 ? errno : EIO);
        return std::nullopt;
    }
    std::istringstream in(text);
    std::string magic, key, plan;
    std::getline(in, magic);
    double scale = 0;
    int w = 0, h = 0;
    char x = 0;
    if (magic != kMagic || !(in >> key >> scale) || key != "metres-per-pixel" || !(in >> key >> w >> x >> h) ||
        key != "plan" || x != 'x' || !std::isfinite(scale) || scale <= 0) {
        error = path + " is not a plan scale file";
        return std::nullopt;
    }
    if (w != width || h != height) {
        error = path + " was made for a plan of " + std::to_string(w) + "x" + std::to_string(h) +
                " pixels, not this one of " + std::to_string(width) + "x" + std::to_string(height) +
                ": measure it again with quorl proj scale";
        return std::nullopt;
    }
    return scale;
}

PlanScale ScaleOfPlan(const std::string& projectionPath, const PlanSource& plan, std::string& warning) {
    PlanScale s;
    if (plan.kind == 0) {
        if (auto v = ScaleOfTransform(plan.transform, plan.width / 2.0, plan.height / 2.0)) {
            s.from = PlanScale::From::Transform;
            s.metresPerPixel = *v;
        }
        return s;
    }
    for (const std::string& path : {ScaleFileBeside(projectionPath), ScaleFileInCache(projectionPath)}) {
        if (path.empty()) continue;
        std::string why;
        if (auto v = ReadScaleFile(path, plan.width, plan.height, why)) {
            s.from = PlanScale::From::SideFile;
            s.metresPerPixel = *v;
            s.sideFile = path;
            return s;
        }
        if (!why.empty() && warning.empty()) warning = why;
    }
    return s;
}

double DefaultRadiusCap(const PlanScale& scale) {
    if (!scale.Known() || !(scale.metresPerPixel > 0)) return std::numeric_limits<double>::infinity();
    return kLongestDefaultRadiusMetres / scale.metresPerPixel;
}

std::optional<Distance> ParseDistance(const std::string& text) {
    Distance d;
    std::string number = text;
    if (number.size() > 2 && number.compare(number.size() - 2, 2, "px") == 0) {
        number.resize(number.size() - 2);
    } else if (number.size() > 1 && number.back() == 'm') {
        number.pop_back();
        d.metres = true;
    }
    char* end = nullptr;
    d.value = std::strtod(number.c_str(), &end);
    if (number.empty() || *end != '\0' || !std::isfinite(d.value) || d.value <= 0) return std::nullopt;
    return d;
}

std::optional<double> ToPixels(const Distance& d, const PlanScale& scale) {
    if (!d.metres) return d.value;
    if (!scale.Known()) return std::nullopt;
    return d.value / scale.metresPerPixel;
}

std::string DistanceText(double pixels, const PlanScale& scale) {
    if (!scale.Known()) return Fixed(pixels, 0) + " px";
    return Rounded(pixels * scale.metresPerPixel) + " m";
}

std::string AreaText(double squarePixels, const PlanScale& scale) {
    if (!scale.Known()) return Fixed(squarePixels, 0) + " px\u00B2";
    return Rounded(squarePixels * scale.metresPerPixel * scale.metresPerPixel) + " m\u00B2";
}

double CoveredSquarePixels(const CoverageGrid& grid) {
    const GridGeometry& g = grid.Geometry();
    double total = 0;
    for (int row = 0; row < g.rows; ++row) {
        const int h = std::min(g.cellSize, g.planHeight - row * g.cellSize);
        for (int column = 0; column < g.columns; ++column) {
            if (std::isnan(grid.At(column, row))) continue;
            const int w = std::min(g.cellSize, g.planWidth - column * g.cellSize);
            if (w > 0 && h > 0) total += double(w) * h;
        }
    }
    return total;
}

double ScaleBarMetres(double metresPerPixel, double maxPixels) {
    const double most = metresPerPixel * maxPixels;
    if (!(most >= 0.001) || !std::isfinite(most)) return 0;
    double power = std::pow(10.0, std::floor(std::log10(most)));
    // log10 can land a hair off a power of ten.
    if (power * 10 <= most) power *= 10;
    if (power > most) power /= 10;
    for (double n : {5.0, 2.0, 1.0})
        if (n * power <= most) return n * power;
    return power;
}

}  // namespace quorl::analysis
