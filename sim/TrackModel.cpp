#include "TrackModel.h"

#include <algorithm>
#include <cmath>

namespace quorl::sim {

namespace {
constexpr double kEarthRadiusM = 6371000.0;
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
}  // namespace

double DistanceMeters(const GeoPoint& a, const GeoPoint& b) {
    const double meanLat = (a.latitude + b.latitude) / 2.0 * kDegToRad;
    const double dy = (b.latitude - a.latitude) * kDegToRad * kEarthRadiusM;
    const double dx = (b.longitude - a.longitude) * kDegToRad * kEarthRadiusM * std::cos(meanLat);
    return std::hypot(dx, dy);
}

TrackModel::TrackModel(const Track& track) : loop_(track.loop) {
    for (const TrackPoint& p : track.points) points_.push_back({p.latitude, p.longitude});
    if (points_.empty()) points_.push_back({});
    if (track.timed) {
        for (const TrackPoint& p : track.points) times_.push_back(p.time);
        if (times_.empty()) times_.push_back(0.0);
        // A timed track starts at its first point whatever its first time.
        return;
    }
    times_.push_back(0.0);
    for (std::size_t i = 1; i < points_.size(); ++i) {
        const double speed = std::max(track.points[i - 1].speed, 0.01);
        times_.push_back(times_.back() + DistanceMeters(points_[i - 1], points_[i]) / speed);
    }
    if (loop_ && points_.size() > 1) {
        const double speed = std::max(track.points.back().speed, 0.01);
        times_.push_back(times_.back() + DistanceMeters(points_.back(), points_.front()) / speed);
        points_.push_back(points_.front());
    }
}

void TrackModel::Locate(double seconds, std::size_t& leg, double& fraction) const {
    leg = 0;
    fraction = 0.0;
    if (points_.size() < 2 || !(seconds > times_.front())) return;  // also catches NaN
    const double end = times_.back();
    if (seconds >= end) {
        if (!loop_ || end <= 0.0) {
            leg = points_.size() - 2;
            fraction = 1.0;
            return;
        }
        seconds = std::fmod(seconds, end);
        if (seconds < times_.front()) return;
    }
    // First arrival time after `seconds`.
    const auto it = std::upper_bound(times_.begin(), times_.end(), seconds);
    const std::size_t next = static_cast<std::size_t>(it - times_.begin());
    leg = next - 1;
    const double span = times_[next] - times_[leg];
    fraction = span > 0.0 ? (seconds - times_[leg]) / span : 1.0;
}

GeoPoint TrackModel::PositionAt(double seconds) const {
    std::size_t leg;
    double f;
    Locate(seconds, leg, f);
    if (points_.size() < 2) return points_.front();
    const GeoPoint& a = points_[leg];
    const GeoPoint& b = points_[leg + 1];
    return {a.latitude + (b.latitude - a.latitude) * f, a.longitude + (b.longitude - a.longitude) * f};
}

double TrackModel::SpeedAt(double seconds) const {
    std::size_t leg;
    double f;
    Locate(seconds, leg, f);
    if (points_.size() < 2 || f >= 1.0) return 0.0;
    const double span = times_[leg + 1] - times_[leg];
    return span > 0.0 ? DistanceMeters(points_[leg], points_[leg + 1]) / span : 0.0;
}

}  // namespace quorl::sim
