#pragma once
// Interpolation of survey point values over the plan, on a grid of square
// cells a few plan pixels wide.
//
// Method: modified Shepard with linear nodal functions. Each heard point
// carries a local slope, a weighted least-squares plane through its eight
// nearest within the radius R, damped towards flat so that one noisy
// neighbour cannot tilt it far. A cell drawn (its nearest point within R)
// takes the k = 16 nearest points within twice R (nanoflann's k-d tree)
// and the weighted mean of each point's value carried along its slope to
// the cell, with weights w = ((Rw - d) / (Rw d))^2, Rw the distance to the
// seventeenth nearest (or 2R when fewer are that close): a point leaving a
// cell's neighbourhood has already lost all its weight and the map stays
// continuous. Measured on a synthetic floor against Delaunay-linear,
// thin-plate RBF and kriging: bench/bench_interpolation_accuracy.cpp.
// The properties the tests check:
//   - a cell holding survey points has their value (their mean when
//     several share the cell);
//   - every value is clamped to the smallest and the largest value of the
//     points that shape it;
//   - a cell whose centre is farther than R from every point is no data
//     (NaN), never extrapolated;
//   - a point that was measured but did not hear what the map is about
//     (value kNotHeard) is a measurement too: a cell whose nearest point
//     within R is such a point is not heard (kNotHeard), never filled in
//     from points farther away. Levels come from the heard points alone.
// Cost: two tree searches per block of 8 x 8 cells, which give the few
// dozen points the block's cells choose their neighbours from; nothing
// scans every point for a cell. Adding a point changes the slopes within
// R of it and the cells within 2R of those, so Add recomputes only the
// cells within 3R.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

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
// longer side.
double DefaultRadius(const std::vector<ValuePoint>& points, const GridGeometry& geometry);

class CoverageGrid {
public:
    static constexpr int kNeighbours = 16;
    // How far past the radius a drawn cell looks for its neighbours.
    static constexpr double kReachFactor = 2.0;

    CoverageGrid(GridGeometry geometry, double radius);
    ~CoverageGrid();
    // The neighbour index points at the grid's own point lists: a copy
    // builds its own, a move takes the index along and points it home.
    CoverageGrid(const CoverageGrid& other);
    CoverageGrid& operator=(const CoverageGrid& other);
    CoverageGrid(CoverageGrid&& other) noexcept;
    CoverageGrid& operator=(CoverageGrid&& other) noexcept;

    // Interpolates the whole grid from `points` (those off the plan are
    // ignored).
    void Build(std::vector<ValuePoint> points);
    // One more point: only the cells within the radius of it change.
    void Add(const ValuePoint& point);

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

private:
    struct Index;
    void Reindex();
    void PointIndexHome();
    bool Hold(const ValuePoint& point);
    void ComputeCells(int column0, int row0, int column1, int row1);
    float ComputeCell(int column, int row, const std::vector<std::uint32_t>& candidates,
                      const std::vector<std::uint32_t>& silent) const;
    double Reach() const { return radius_ * kReachFactor; }
    struct Slope {
        double dx = 0, dy = 0;  // value per plan pixel
    };
    static constexpr double kSlopeDamping = 1.0;
    Slope SlopeOf(std::size_t point, std::optional<std::size_t> skip) const;
    double Weighted(const std::uint32_t* found, const double* squared, std::size_t n, double qx, double qy,
                    const std::vector<Slope>& slopes) const;

    GridGeometry geometry_;
    double radius_;
    std::vector<ValuePoint> points_;
    std::vector<Slope> slopes_;  // per heard point
    std::vector<ValuePoint> notHeard_;
    std::vector<float> values_;
    std::vector<double> heldSum_;          // per cell: values of the points in it
    std::vector<std::uint32_t> heldCount_;
    std::vector<std::uint32_t> heldNotHeard_;
    std::unique_ptr<Index> index_;
    std::unique_ptr<Index> notHeardIndex_;
};

}  // namespace quorl::analysis
