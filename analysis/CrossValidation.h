#pragma once
// How far a map can be trusted, from its own points: each heard point is
// left out in turn and estimated from the others by the map's method, at
// its own position. The typical error is the root mean square of those
// differences, over the points that had another point within the radius
// (a lone point says nothing about the map between points).
//
//   const MapError e = LeaveOneOut(grid);
//   MapErrorText(e, "dB")   // "map error about ±3.1 dB from 84 points"

#include <cstddef>
#include <string>

#include "analysis/CoverageGrid.h"

namespace quorl::analysis {

struct MapError {
    std::size_t points = 0;  // points estimated from the others
    double rms = 0;          // root mean square error; 0 without points
    double p95 = 0;          // 95th percentile of the absolute error
};

MapError LeaveOneOut(const CoverageGrid& grid);

// "map error about ±3.1 dB from 84 points", or "map error unknown (no
// point has another within the radius)".
std::string MapErrorText(const MapError& error, const std::string& unit);
// The same, naming the map's kernel: "map error about ±3.1 dB from 84
// points, scattered kernel".
std::string MapErrorText(const MapError& error, const std::string& unit, const CoverageKernel& kernel);

}  // namespace quorl::analysis
