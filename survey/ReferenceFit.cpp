// Least squares on coordinates taken relative to their means: positions a
// few metres apart differ in the fifth decimal of a degree, and normal
// equations on raw degrees would lose them to rounding.

#include "survey/ReferenceFit.h"

#include <array>
#include <cmath>

namespace quorl {

namespace {

constexpr double kEarthRadius = 6371008.8;  // metres, mean radius
// Spread below this share of the points' extent counts as a line.
constexpr double kLineTolerance = 1e-9;

struct Spread {
    double sxx = 0, sxy = 0, syy = 0;
    // 0 for points on one line (or one spot), up to 1/4 for a round cloud.
    double Flatness() const {
        const double trace = sxx + syy;
        return trace > 0 ? (sxx * syy - sxy * sxy) / (trace * trace) : 0;
    }
};

template <typename X, typename Y>
Spread SpreadOf(const std::vector<AffineTransform::Reference>& points, X x, Y y) {
    double mx = 0, my = 0;
    for (const auto& p : points) mx += x(p), my += y(p);
    mx /= points.size(), my /= points.size();
    Spread s;
    for (const auto& p : points) {
        const double dx = x(p) - mx, dy = y(p) - my;
        s.sxx += dx * dx, s.sxy += dx * dy, s.syy += dy * dy;
    }
    return s;
}

std::optional<AffineTransform> LeastSquares(const std::vector<AffineTransform::Reference>& points) {
    const double n = static_cast<double>(points.size());
    double mlat = 0, mlon = 0, mx = 0, my = 0;
    for (const auto& p : points) mlat += p.lat, mlon += p.lon, mx += p.px, my += p.py;
    mlat /= n, mlon /= n, mx /= n, my /= n;
    // Normal equations of the centred problem: [Saa Sab; Sab Sbb] (A B) = (Sax Sbx).
    double saa = 0, sab = 0, sbb = 0, sax = 0, sbx = 0, say = 0, sby = 0;
    for (const auto& p : points) {
        const double u = p.lat - mlat, v = p.lon - mlon, x = p.px - mx, y = p.py - my;
        saa += u * u, sab += u * v, sbb += v * v;
        sax += u * x, sbx += v * x, say += u * y, sby += v * y;
    }
    const double det = saa * sbb - sab * sab;
    if (!(det > 0) || !std::isfinite(det)) return std::nullopt;
    AffineTransform t;
    t.a = (sax * sbb - sbx * sab) / det;
    t.b = (sbx * saa - sax * sab) / det;
    t.c = (say * sbb - sby * sab) / det;
    t.d = (sby * saa - say * sab) / det;
    t.e = mx - t.a * mlat - t.b * mlon;
    t.f = my - t.c * mlat - t.d * mlon;
    return t;
}

}  // namespace

double GroundDistance(double lat1, double lon1, double lat2, double lon2) {
    constexpr double kRadians = M_PI / 180;
    const double dlat = (lat2 - lat1) * kRadians, dlon = (lon2 - lon1) * kRadians;
    const double h = std::sin(dlat / 2) * std::sin(dlat / 2) +
                     std::cos(lat1 * kRadians) * std::cos(lat2 * kRadians) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * kEarthRadius * std::asin(std::sqrt(std::min(1.0, h)));
}

std::optional<ReferenceFit> FitReferences(const std::vector<AffineTransform::Reference>& points, std::string& error) {
    if (points.size() < 3) {
        error = "a calibration needs at least three reference points, not " + std::to_string(points.size());
        return std::nullopt;
    }
    for (const auto& p : points)
        if (!std::isfinite(p.px) || !std::isfinite(p.py) || !std::isfinite(p.lat) || !std::isfinite(p.lon)) {
            error = "a reference point is not a number";
            return std::nullopt;
        }
    const Spread plan = SpreadOf(points, [](const auto& p) { return p.px; }, [](const auto& p) { return p.py; });
    const Spread earth = SpreadOf(points, [](const auto& p) { return p.lat; }, [](const auto& p) { return p.lon; });
    if (plan.Flatness() <= kLineTolerance || earth.Flatness() <= kLineTolerance) {
        error = std::string("the reference points lie on one line ") +
                (plan.Flatness() <= kLineTolerance ? "on the plan" : "on the earth") +
                ": they fix no transform; take them spread over the plan";
        return std::nullopt;
    }
    std::optional<AffineTransform> t =
        points.size() == 3 ? AffineTransform::Solve({points[0], points[1], points[2]}) : LeastSquares(points);
    if (!t || !t->Invertible()) {
        error = "the reference points give a transform that cannot be inverted";
        return std::nullopt;
    }
    ReferenceFit fit;
    fit.transform = *t;
    double sumPixels = 0, sumMetres = 0;
    for (const auto& p : points) {
        const double x = t->a * p.lat + t->b * p.lon + t->e, y = t->c * p.lat + t->d * p.lon + t->f;
        // The position of the given plan pixel: the inverse of the fit.
        const double det = t->Determinant(), u = p.px - t->e, v = p.py - t->f;
        const double lat = (t->d * u - t->b * v) / det, lon = (t->a * v - t->c * u) / det;
        ReferenceFit::Residual r{std::hypot(x - p.px, y - p.py), GroundDistance(p.lat, p.lon, lat, lon)};
        sumPixels += r.pixels * r.pixels, sumMetres += r.metres * r.metres;
        fit.residuals.push_back(r);
    }
    fit.rmsPixels = std::sqrt(sumPixels / points.size());
    fit.rmsMetres = std::sqrt(sumMetres / points.size());
    return fit;
}

}  // namespace quorl
