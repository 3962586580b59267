#pragma once
// Which kernel (analysis/CoverageKernel.h) a survey's map is kriged with,
// chosen once from the survey itself when the whole map is built:
//
//   1. Fewer than kLeastPoints heard points: Scattered, the default.
//   2. The layout. Evenness is the median distance from a drawn cell to its
//      nearest point over the median distance from a point to its nearest
//      other point. Points spread evenly (a walked route, a lattice of taps)
//      leave no cell much farther from a point than the points are from each
//      other: evenness at most kEvenLayout. Taps placed at random give about
//      1, clusters and holes more. Even points get the thin plate as their
//      smooth candidate, the others the default power law: a thin plate
//      overshoots in the holes between clusters.
//   3. The noise. Pairs of points closer than half the median spacing (or
//      at one place) see next to no change of the field, so their
//      differences are measurement noise (the nugget). Each point pairs with
//      at most kPartners of its nearest, so a place visited thousands of
//      times costs no more than others. With at least kClosePairs pairs, the
//      survey is noisy when the median of half their squared differences exceeds
//      kQuietNugget: close points typically a whole dB step apart or more
//      (the unit reports whole dB; the median shrugs off a pair across a
//      wall). Routes and lattices have no such pairs; there the smooth
//      candidate and Noisy each estimate up to kSampled of the points from
//      the others (leave-one-out), and the smaller sum of squared errors
//      wins: noise makes exact kernels chase it, and that shows there.
// Measured on the synthetic floors of bench/bench_interpolation_accuracy.

#include <cstddef>

#include "analysis/CoverageGrid.h"
#include "analysis/CoverageKernel.h"

namespace quorl::analysis {

struct KernelChoice {
    CoverageKernel kernel;
    double evenness = 0;  // 0 when not measured
    std::size_t closePairs = 0;
    double closeNugget = 0;                  // median half squared difference of the close pairs, dB^2
    std::size_t sampled = 0;                 // leave-one-out, when the close pairs were too few
    double smoothError = 0, noisyError = 0;  // sums of squared errors, dB^2
};

inline constexpr std::size_t kLeastPoints = 20;
inline constexpr double kEvenLayout = 0.85;
inline constexpr std::size_t kSampled = 300;
inline constexpr std::size_t kClosePairs = 10;
inline constexpr std::size_t kPartners = 4;
inline constexpr double kQuietNugget = 0.5;

// `grid` holds and indexes its points (its cells need not be computed).
KernelChoice ChooseKernel(const CoverageGrid& grid);

}  // namespace quorl::analysis
