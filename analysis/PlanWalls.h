#pragma once
// Walls read from the plan image, for the access point model.
//
// A plan is a bitmap: walls are long dark lines, but so are text,
// hatching, door swings and furniture. What is kept: dark pixels (well
// below the paper's own grey) that lie on a straight run across or down of
// at least kMinWallMetres (about two metres; a fortieth of the plan's
// longer side where the scale is unknown). Text, hatching and arcs make
// short runs and drop out. What is left is split by thickness into thin
// lines (furniture edges, glass, partitions) and thick ones (built walls):
// two classes whose crossing losses the model learns from the readings,
// so a class that does not attenuate ends up costing nothing.
//
// A plan that is blank, or so full of dark or middle greys that it looks
// like a photograph or a scan, gives no walls and the model falls back to
// distance alone; Verdict() says which.
//
// Crossings are counted on a raster of cells about a quarter metre wide
// (a wall cell is one holding any wall pixel, so no straight line slips
// through a wall): a segment is walked cell by cell and every run of wall
// cells it enters counts once, by its thickest class. A run holding
// either end counts half: a point taken against a wall, or an access
// point on one, is as likely on either side of it at this resolution.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/PlanPixels.h"

namespace quorl::analysis {

inline constexpr double kMinWallMetres = 2.0;

// Crossings of thin and thick walls (halves where an end lies in a wall).
using WallCrossings = std::array<double, 2>;

class PlanWalls {
public:
    // No walls at all (distance only).
    PlanWalls() = default;

    // `metresPerPixel` 0 when the plan's scale is unknown.
    static PlanWalls FromPlan(const GreyImage& plan, double metresPerPixel);
    // A user-drawn mask: every dark pixel is a thick wall.
    static PlanWalls FromMask(const GreyImage& mask);

    bool Any() const { return any_; }
    // "walls from the plan: 1234 m of wall lines", "no walls: the plan is blank", ...
    const std::string& Verdict() const { return verdict_; }

    // Walls crossed between two plan positions (plan pixels); positions
    // off the plan see no walls there.
    WallCrossings Crossings(double x0, double y0, double x1, double y1) const;

    // The same walls on cells `factor` times wider (a cell is a wall of the
    // thickest class it holds): fewer cells a segment walks, for a first
    // coarse search.
    PlanWalls Coarser(int factor) const;

    // Raster size and the plan pixels a cell spans.
    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    double CellPixels() const { return cell_; }
    // 0 open, 1 thin wall, 2 thick wall.
    std::uint8_t CellClass(int column, int row) const {
        return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                      static_cast<std::size_t>(column)];
    }

private:
    // Per plan pixel class (0, 1, 2) onto the cell raster.
    void Rasterise(const std::vector<std::uint8_t>& pixelClass, int width, int height, double cellPixels);

    bool any_ = false;
    std::string verdict_ = "no walls";
    int columns_ = 0, rows_ = 0;
    double cell_ = 1;
    std::vector<std::uint8_t> cells_;
};

}  // namespace quorl::analysis
