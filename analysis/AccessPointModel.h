#pragma once
// Where an access point stands, from every reading of it: the multi-wall
// path-loss model
//
//     level = P0 - 10 n log10(d / 1 m) - Lthin * (thin walls crossed)
//                                      - Lthick * (thick walls crossed)
//
// fitted by least squares over the position (x, y), P0 and n (1.5 to 6);
// the wall losses (0 to 25 dB each) are learnt per survey: first every
// well-heard access point fits its own, then each class takes their median
// and every access point is fitted again with those fixed.
//
// Readings are pooled into cells about a metre wide (their mean level at
// their mean position) before fitting: many readings at one place count
// once, and neighbouring readings, whose shadowing is shared, do not
// pretend to be independent. A coarse search over the plan and a margin
// around it (an access point may stand in a room nobody entered, or off
// the plan) gives the starts; Levenberg-Marquardt refines them, counting
// walls afresh at every step.
//
// The radius: 68 % of the position's error, from the fit's covariance
// (residual spread times the inverse of JᵀJ, along its longest axis),
// widened by a factor set on the training floors of the accuracy bench
// for the shadowing the pooling leaves correlated, and widened to reach
// any other start's solution that fits about as well (within the 68 %
// level of a change in the squared error for two parameters).
//
// Too little to fit (fewer than kMinCells cells, levels within 3 dB of one
// another, every reading at the unit's floor) gives a coarse estimate
// instead: the power-weighted centroid of the strongest readings, with the
// distance at which a typical access point fades to the strongest level
// heard as its radius, and a note saying why.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "analysis/PlanWalls.h"

namespace quorl::analysis {

// One reading of an access point: plan pixels, dBm.
struct LevelAt {
    double x = 0, y = 0;
    double level = 0;
};

// Readings at or below this level are the unit's floor, not a level.
inline constexpr double kUnitFloorDbm = -100;
inline constexpr std::size_t kMinCells = 5;

struct PlanFrame {
    int width = 0, height = 0;   // plan pixels
    double metresPerPixel = 0;   // 0: unknown (distances in plan pixels then)
};

struct PathLossFit {
    bool coarse = true;
    std::string note;           // why the estimate is coarse, or empty
    double x = 0, y = 0;        // plan pixels
    double radius = 0;          // plan pixels, 68 %
    bool offPlan = false;
    double p0 = 0;              // dBm at 1 m (1 plan pixel without a scale)
    double exponent = 0;
    std::array<double, 2> wallLoss{0, 0};  // dB per thin, thick wall
    double rms = 0;             // dB, residual of the pooled cells
    std::size_t readings = 0;   // readings used
    std::size_t cells = 0;      // cells they pooled into

    // The model's level at a plan position (meaningless for a coarse fit).
    double Predict(double px, double py, const PlanWalls& walls, const PlanFrame& frame) const;
};

// Fits one access point. `wallLoss` fixes the losses; without it they are
// fitted per access point (the first pass).
PathLossFit FitAccessPoint(const std::vector<LevelAt>& readings, const PlanWalls& walls,
                           const PlanFrame& frame, const std::array<double, 2>* wallLoss = nullptr);

// Fits every access point with the survey's wall losses learnt from them
// all (on two threads). `learnt` receives the losses used.
std::vector<PathLossFit> FitAccessPoints(const std::vector<std::vector<LevelAt>>& readings,
                                         const PlanWalls& walls, const PlanFrame& frame,
                                         std::array<double, 2>* learnt = nullptr);

}  // namespace quorl::analysis
