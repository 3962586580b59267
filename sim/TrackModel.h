#pragma once
// Where the walker carrying the unit is at a given time, following the
// scenario's track: straight legs between the points at the legs' speeds (or
// between timestamps), looping when the track says so and standing at the
// last point otherwise.

#include <vector>

#include "sim/Scenario.h"

namespace quorl::sim {

struct GeoPoint {
    double latitude = 0.0;
    double longitude = 0.0;
};

// Ground distance in metres; flat-earth approximation, good to well under a
// metre across a building.
double DistanceMeters(const GeoPoint& a, const GeoPoint& b);

class TrackModel {
public:
    explicit TrackModel(const Track& track);

    GeoPoint PositionAt(double seconds) const;
    // Ground speed in m/s (0 while standing).
    double SpeedAt(double seconds) const;
    // Seconds for one pass of the track (0 for a single point).
    double Duration() const { return times_.empty() ? 0.0 : times_.back(); }

private:
    // The leg containing `seconds` (after looping) and the fraction along it.
    void Locate(double seconds, std::size_t& leg, double& fraction) const;

    std::vector<GeoPoint> points_;  // with the closing leg's end when looping by speed
    std::vector<double> times_;     // arrival time at each point
    bool loop_ = false;
};

}  // namespace quorl::sim
