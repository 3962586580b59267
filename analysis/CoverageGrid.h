#pragma once
// Interpolation of survey point values over the plan, on a grid of square
// cells a few plan pixels wide.
//
// Method: ordinary kriging, local and blended, with a variogram chosen
// once per survey (analysis/CoverageKernel.h, analysis/KernelChoice.h):
// a power law or a thin plate, in radii. Where the kernel has a nugget,
// it is fitted per system from its own points (noise shows as differences
// that do not shrink with distance), never from the whole survey, so that
// adding a point changes nothing beyond its neighbourhood. For each block
// of 8 x 8 cells one system is solved at the block's centre on its k
// nearest points (within twice R plus two blocks); a cell blends the four
// centres around it bilinearly, so no seam shows between blocks, and each
// point is evaluated once per cell with its four weights blended. Measured
// on a synthetic floor against Delaunay-linear, thin-plate RBF and
// kriging with a fitted variogram: bench/bench_interpolation_accuracy.cpp.
// The properties the tests check:
//   - a cell holding survey points has their value (their mean when
//     several share the cell);
//   - every value is clamped to the smallest and the largest value of the
//     points within twice R of the cell;
//   - a cell whose centre is farther than R from every point is no data
//     (NaN), never extrapolated;
//   - a point that was measured but did not hear what the map is about
//     (value kNotHeard) is a measurement too: a cell whose nearest point
//     within R is such a point is not heard (kNotHeard), never filled in
//     from points farther away. Levels come from the heard points alone.
// Cost: one tree search and one small solve per block, two searches per
// block of cells for the nearest heard and not-heard points, and thirty to
// fifty variogram values per cell; nothing scans every point for a cell.
// Bands of blocks are computed on several threads. Adding a point changes
// the systems of the block centres within their reach of it, which blend
// into cells a block farther, so Add recomputes only those cells, with the
// kernel chosen at the last Build.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/CoverageKernel.h"

namespace quorl::analysis {

struct GridGeometry {
    int planWidth = 0;
    int planHeight = 0;
    int cellSize = 1;  // plan pixels per cell side
    int columns = 0;
    int rows = 0;

    // Longest grid side this many cells at most (cells at least 2 pixels).
    static constexpr int kMaxCellsAcross = 500;
    // The grid for a plan: cell size max(2, ceil(longest side / 500)).
    static GridGeometry ForPlan(int planWidth, int planHeight);
    static GridGeometry WithCellSize(int planWidth, int planHeight, int cellSize);

    std::size_t CellCount() const { return static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows); }
    double CentreX(int column) const { return (column + 0.5) * cellSize; }
    double CentreY(int row) const { return (row + 0.5) * cellSize; }
    // The cell holding a plan position, or -1 off the grid.
    int ColumnOf(double x) const;
    int RowOf(double y) const;
};

// The value of a point, and of a cell, where nothing was heard.
inline constexpr double kNotHeard = -std::numeric_limits<double>::infinity();

struct ValuePoint {
    double x = 0, y = 0;  // plan pixels
    double value = 0;     // kNotHeard: measured, nothing heard; NaN: ignored
};

// The default radius, from the spacing of the points: twice the median
// distance from a point to its fourth-nearest neighbour (fewer when there
// are fewer points; points at one place count once), kept between two
// cells and half the plan's longer side. A lone point gets a tenth of the
// longer side. `cap` limits it further (never below two cells): on a plan
// of known scale, sparse points must not claim ground they never measured
// (DefaultRadiusCap).
double DefaultRadius(const std::vector<ValuePoint>& points, const GridGeometry& geometry,
                     double cap = std::numeric_limits<double>::infinity());

class CoverageGrid {
public:
    // How far past the radius a drawn cell looks for its neighbours.
    static constexpr double kReachFactor = 2.0;

    // Without a kernel, Build chooses one from the points it is given.
    CoverageGrid(GridGeometry geometry, double radius, std::optional<CoverageKernel> kernel = std::nullopt);
    ~CoverageGrid();
    // The neighbour index points at the grid's own point lists: a copy
    // builds its own, a move takes the index along and points it home.
    CoverageGrid(const CoverageGrid& other);
    CoverageGrid& operator=(const CoverageGrid& other);
    CoverageGrid(CoverageGrid&& other) noexcept;
    CoverageGrid& operator=(CoverageGrid&& other) noexcept;

    // Interpolates the whole grid from `points` (those off the plan are
    // ignored), choosing the kernel unless one was given.
    void Build(std::vector<ValuePoint> points);
    // One more point: only the cells within the radius of it change. The
    // kernel stays: a grid grown point by point equals one built with it.
    void Add(const ValuePoint& point);
    const CoverageKernel& Kernel() const { return kernel_; }

    const GridGeometry& Geometry() const { return geometry_; }
    double Radius() const { return radius_; }
    // Row-major, columns x rows; NaN where there is no data, kNotHeard
    // where the nearest point heard nothing.
    const std::vector<float>& Values() const { return values_; }
    float At(int column, int row) const {
        return values_[static_cast<std::size_t>(row) * static_cast<std::size_t>(geometry_.columns) +
                       static_cast<std::size_t>(column)];
    }
    static bool IsNoData(float value) { return std::isnan(value); }
    static bool IsNotHeard(float value) { return std::isinf(value) && value < 0; }
    static bool IsLevel(float value) { return std::isfinite(value); }
    // The points with a value, and those that heard nothing.
    const std::vector<ValuePoint>& Points() const { return points_; }
    const std::vector<ValuePoint>& NotHeardPoints() const { return notHeard_; }
    // Cells with a value (not heard excluded), and cells not heard.
    std::size_t CellsWithData() const;
    std::size_t CellsNotHeard() const;

    // The interpolated value at a plan position from the heard points,
    // leaving out Points()[skip] if given; nothing when no other point lies
    // within the radius. For cross-validation: not the cell grid's value.
    std::optional<double> EstimateAt(double x, double y, std::optional<std::size_t> skip = std::nullopt) const;
    std::optional<double> EstimateAt(double x, double y, std::optional<std::size_t> skip,
                                     const CoverageKernel& kernel) const;
    // The distance to the nearest heard point, at another place than (x, y)
    // if `elsewhere`; infinity without one.
    double NearestDistance(double x, double y, bool elsewhere) const;
    // The `most` heard points nearest to (x, y) within `distance`, nearest
    // first, by index into Points().
    std::vector<std::size_t> NearestWithin(double x, double y, double distance, std::size_t most) const;

private:
    struct Index;
    void Reindex();
    void PointIndexHome();
    bool Hold(const ValuePoint& point);
    void ComputeCells(int column0, int row0, int column1, int row1);
    // One kriging system, solved for the nearest points to a place.
    struct Local {
        // value: the mean of the points at (x, y).
        std::vector<double> x, y, value, alpha;
        // The drift, a plane in radii from (originX, originY).
        double mean = 0, slopeX = 0, slopeY = 0, originX = 0, originY = 0;
        double Drift(double qx, double qy, double radius) const {
            return mean + (slopeX * (qx - originX) + slopeY * (qy - originY)) / radius;
        }
        double At(const CoverageGrid& grid, const CoverageKernel& kernel, double qx, double qy) const;
    };
    Local Solve(double x, double y, std::optional<std::size_t> skip, const CoverageKernel& kernel) const;
    // The four systems around a square between block centres, corners
    // (x, y), (x + 1, y), (x, y + 1), (x + 1, y + 1): every point once,
    // with its four weights (zero where a system does not hold it).
    struct Blend {
        std::vector<double> x, y, value, alpha;  // alpha: four per point
        const Local* corner[4] = {};
        bool solved[4] = {};
    };
    void ComputeBand(int column0, int row0, int column1, int row1);
    template <class BlendOf>
    float ComputeCell(int column, int row, const std::vector<std::uint32_t>& nearest,
                      const std::vector<std::uint32_t>& silent, BlendOf& blendOf) const;
    // The variogram on a squared distance in plan pixels, without nugget.
    double Gamma(const CoverageKernel& kernel, double squared) const { return kernel.Gamma(squared * inverseRadius2_); }
    // Each system's own nugget, from its points, so that noisy neighbours
    // are smoothed and clean ones followed.
    double NuggetOf(const Local& local, const CoverageKernel& kernel) const;
    static constexpr double kNuggetPairs = 0.6;  // pairs closer than this many radii
    double Reach() const { return radius_ * kReachFactor; }
    // How far a block centre looks: far enough that every cell it blends
    // into has its own nearest point among them.
    double SolveReach() const { return Reach() + 2.0 * kBlockCells * geometry_.cellSize; }
    static constexpr int kBlockCells = 8;
    double BlockCentreX(int block) const { return (block * kBlockCells + kBlockCells / 2.0) * geometry_.cellSize; }
    double BlockCentreY(int block) const { return (block * kBlockCells + kBlockCells / 2.0) * geometry_.cellSize; }

    GridGeometry geometry_;
    double radius_;
    double inverseRadius2_;
    std::optional<CoverageKernel> fixedKernel_;
    CoverageKernel kernel_;
    std::vector<ValuePoint> points_;
    std::vector<ValuePoint> notHeard_;
    std::vector<float> values_;
    std::vector<double> heldSum_;  // per cell: values of the points in it
    std::vector<std::uint32_t> heldCount_;
    std::vector<std::uint32_t> heldNotHeard_;
    std::unique_ptr<Index> index_;
    std::unique_ptr<Index> notHeardIndex_;
};

}  // namespace quorl::analysis
