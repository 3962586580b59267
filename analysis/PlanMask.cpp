#include "analysis/PlanMask.h"

#include <algorithm>

namespace quorl::analysis {

double PlanMask::Area() const {
    return static_cast<double>(std::count_if(counts.begin(), counts.end(), [](std::uint8_t c) { return c != 0; }));
}

std::vector<double> CellAreas(const GridGeometry& g, const PlanMask* mask) {
    std::vector<double> areas(g.CellCount(), 0.0);
    if (g.cellSize <= 0) return areas;
    if (!mask) {
        for (int row = 0; row < g.rows; ++row) {
            const int h = std::min(g.cellSize, g.planHeight - row * g.cellSize);
            for (int column = 0; column < g.columns; ++column) {
                const int w = std::min(g.cellSize, g.planWidth - column * g.cellSize);
                areas[static_cast<std::size_t>(row) * static_cast<std::size_t>(g.columns) +
                      static_cast<std::size_t>(column)] = w > 0 && h > 0 ? double(w) * h : 0.0;
            }
        }
        return areas;
    }
    const int width = std::min(g.planWidth, mask->width);
    const int height = std::min(g.planHeight, mask->height);
    if (mask->counts.size() < static_cast<std::size_t>(std::max(mask->width, 0)) * std::max(mask->height, 0))
        return areas;
    for (int y = 0; y < height; ++y) {
        const int row = y / g.cellSize;
        if (row >= g.rows) break;
        double* line = areas.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(g.columns);
        for (int x = 0; x < width; ++x) {
            const int column = x / g.cellSize;
            if (column >= g.columns) break;
            if (mask->Counts(x, y)) line[column] += 1.0;
        }
    }
    return areas;
}

}  // namespace quorl::analysis
