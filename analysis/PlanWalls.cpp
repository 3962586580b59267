#include "analysis/PlanWalls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace quorl::analysis {

namespace {

// Dark: well below the paper. A plan whose dark or middle greys cover more
// than this share is a photograph or a scan, not a line drawing.
constexpr int kDarkBelowPaper = 96;
constexpr int kDarkestThreshold = 110;
constexpr double kPhotoShare = 0.3;
// Cells about a quarter metre wide; never more than this many across.
constexpr double kCellMetres = 0.25;
constexpr int kMaxCells = 1024;

std::size_t Index(int x, int y, int width) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
}

// Lengths of the straight dark runs through each pixel, across and down.
void RunLengths(const std::vector<std::uint8_t>& dark, int width, int height, std::vector<std::uint16_t>& across,
                std::vector<std::uint16_t>& down) {
    across.assign(dark.size(), 0);
    down.assign(dark.size(), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width;) {
            if (!dark[Index(x, y, width)]) {
                ++x;
                continue;
            }
            int end = x;
            while (end < width && dark[Index(end, y, width)]) ++end;
            const auto length = static_cast<std::uint16_t>(std::min(end - x, 65535));
            for (int i = x; i < end; ++i) across[Index(i, y, width)] = length;
            x = end;
        }
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height;) {
            if (!dark[Index(x, y, width)]) {
                ++y;
                continue;
            }
            int end = y;
            while (end < height && dark[Index(x, end, width)]) ++end;
            const auto length = static_cast<std::uint16_t>(std::min(end - y, 65535));
            for (int i = y; i < end; ++i) down[Index(x, i, width)] = length;
            y = end;
        }
}

// Clips the segment to [0, w] x [0, h] (Liang-Barsky); false when it misses.
bool Clip(double& x0, double& y0, double& x1, double& y1, double w, double h) {
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy}, q[4] = {x0, w - x0, y0, h - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double sx = x0, sy = y0;
    x0 = sx + t0 * dx, y0 = sy + t0 * dy;
    x1 = sx + t1 * dx, y1 = sy + t1 * dy;
    return true;
}

}  // namespace

PlanWalls PlanWalls::FromPlan(const GreyImage& plan, double metresPerPixel) {
    PlanWalls walls;
    const int width = plan.width, height = plan.height;
    const std::size_t n = plan.pixels.size();
    if (width <= 0 || height <= 0 || n != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        walls.verdict_ = "no walls: the plan image cannot be read";
        return walls;
    }
    std::array<std::size_t, 256> histogram{};
    for (std::uint8_t g : plan.pixels) ++histogram[g];
    const int paper = static_cast<int>(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
    const int threshold = std::min(kDarkestThreshold, paper - kDarkBelowPaper);
    std::size_t darkCount = 0, middle = 0;
    for (int g = 0; g < 256; ++g) {
        if (g <= threshold) darkCount += histogram[static_cast<std::size_t>(g)];
        else if (g < paper - 40) middle += histogram[static_cast<std::size_t>(g)];
    }
    const double total = static_cast<double>(n);
    if (threshold < 0 || static_cast<double>(darkCount + middle) > kPhotoShare * total) {
        walls.verdict_ = "no walls: the plan looks like a photograph or a scan, not a line drawing";
        return walls;
    }
    if (darkCount < std::max<std::size_t>(10, n / 5000)) {
        walls.verdict_ = "no walls: the plan is blank";
        return walls;
    }
    const double pxPerMetre = metresPerPixel > 0 ? 1.0 / metresPerPixel : 0;
    const int longer = std::max(width, height);
    const double minRun =
        std::max(8.0, pxPerMetre > 0 ? kMinWallMetres * pxPerMetre : static_cast<double>(longer) / 40.0);
    const double thick = std::max(3.0, pxPerMetre > 0 ? 0.15 * pxPerMetre : 3.0);

    std::vector<std::uint8_t> dark(n);
    for (std::size_t i = 0; i < n; ++i) dark[i] = plan.pixels[i] <= threshold;
    std::vector<std::uint16_t> across, down;
    RunLengths(dark, width, height, across, down);
    std::vector<std::uint8_t> pixelClass(n, 0);
    std::size_t wallPixels = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!dark[i]) continue;
        std::uint8_t c = 0;
        if (across[i] >= minRun) c = std::max<std::uint8_t>(c, down[i] >= thick ? 2 : 1);
        if (down[i] >= minRun) c = std::max<std::uint8_t>(c, across[i] >= thick ? 2 : 1);
        pixelClass[i] = c;
        wallPixels += c != 0;
    }
    if (wallPixels == 0) {
        walls.verdict_ = "no walls: nothing on the plan is a long dark line";
        return walls;
    }
    const double cell = std::max({1.0, pxPerMetre > 0 ? kCellMetres * pxPerMetre : static_cast<double>(longer) / 320.0,
                                  static_cast<double>(longer) / kMaxCells});
    walls.Rasterise(pixelClass, width, height, cell);
    walls.any_ = true;
    char text[160];
    std::snprintf(text, sizeof text, "walls from the plan: %.1f %% of it is wall lines",
                  100.0 * static_cast<double>(wallPixels) / total);
    walls.verdict_ = text;
    return walls;
}

PlanWalls PlanWalls::FromMask(const GreyImage& mask) {
    PlanWalls walls;
    const std::size_t n = mask.pixels.size();
    if (mask.width <= 0 || mask.height <= 0 ||
        n != static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height)) {
        walls.verdict_ = "no walls: the wall mask cannot be read";
        return walls;
    }
    std::vector<std::uint8_t> pixelClass(n);
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) count += (pixelClass[i] = mask.pixels[i] < 128 ? 2 : 0) != 0;
    if (count == 0) {
        walls.verdict_ = "no walls: the wall mask is empty";
        return walls;
    }
    const int longer = std::max(mask.width, mask.height);
    walls.Rasterise(pixelClass, mask.width, mask.height, std::max(1.0, static_cast<double>(longer) / kMaxCells));
    walls.any_ = true;
    walls.verdict_ = "walls from the wall mask";
    return walls;
}

void PlanWalls::Rasterise(const std::vector<std::uint8_t>& pixelClass, int width, int height, double cellPixels) {
    cell_ = cellPixels;
    columns_ = std::max(1, static_cast<int>(std::ceil(width / cell_)));
    rows_ = std::max(1, static_cast<int>(std::ceil(height / cell_)));
    cells_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), 0);
    for (int y = 0; y < height; ++y) {
        const int row = std::min(rows_ - 1, static_cast<int>(y / cell_));
        for (int x = 0; x < width; ++x) {
            const std::uint8_t c = pixelClass[Index(x, y, width)];
            if (!c) continue;
            std::uint8_t& cell = cells_[Index(std::min(columns_ - 1, static_cast<int>(x / cell_)), row, columns_)];
            cell = std::max(cell, c);
        }
    }
}

PlanWalls PlanWalls::Coarser(int factor) const {
    PlanWalls coarse = *this;
    if (!any_ || factor <= 1) return coarse;
    coarse.cell_ = cell_ * factor;
    coarse.columns_ = (columns_ + factor - 1) / factor;
    coarse.rows_ = (rows_ + factor - 1) / factor;
    coarse.cells_.assign(static_cast<std::size_t>(coarse.columns_) * static_cast<std::size_t>(coarse.rows_), 0);
    for (int row = 0; row < rows_; ++row)
        for (int column = 0; column < columns_; ++column) {
            std::uint8_t& c = coarse.cells_[Index(column / factor, row / factor, coarse.columns_)];
            c = std::max(c, CellClass(column, row));
        }
    return coarse;
}

WallCrossings PlanWalls::Crossings(double x0, double y0, double x1, double y1) const {
    WallCrossings counts{0, 0};
    if (!any_) return counts;
    // In cells; a hair inside the far edges so that the last cell exists.
    const double w = columns_ - 1e-9, h = rows_ - 1e-9;
    double ax = x0 / cell_, ay = y0 / cell_, bx = x1 / cell_, by = y1 / cell_;
    const bool startInside = ax >= 0 && ay >= 0 && ax < w && ay < h;
    const bool endInside = bx >= 0 && by >= 0 && bx < w && by < h;
    if (!Clip(ax, ay, bx, by, w, h)) return counts;
    int cx = static_cast<int>(ax), cy = static_cast<int>(ay);
    const int ex = static_cast<int>(bx), ey = static_cast<int>(by);
    const double dx = bx - ax, dy = by - ay;
    const int stepX = dx > 0 ? 1 : -1, stepY = dy > 0 ? 1 : -1;
    const double inf = std::numeric_limits<double>::infinity();
    const double deltaX = dx != 0 ? std::abs(1 / dx) : inf, deltaY = dy != 0 ? std::abs(1 / dy) : inf;
    double nextX = dx != 0 ? ((dx > 0 ? cx + 1 - ax : ax - cx) * deltaX) : inf;
    double nextY = dy != 0 ? ((dy > 0 ? cy + 1 - ay : ay - cy) * deltaY) : inf;

    bool inRun = false, runHoldsStart = false;
    // A run holding an end of the segment counts half.
    const auto add = [&](std::uint8_t c, bool holdsEnd) { counts[c - 1] += holdsEnd ? 0.5 : 1.0; };
    std::uint8_t runClass = 0;
    const int steps = std::abs(ex - cx) + std::abs(ey - cy);
    for (int i = 0; i <= steps; ++i) {
        const std::uint8_t c = CellClass(cx, cy);
        if (c) {
            if (!inRun) {
                inRun = true;
                runClass = c;
                runHoldsStart = i == 0 && startInside;
            }
            runClass = std::max(runClass, c);
        } else if (inRun) {
            add(runClass, runHoldsStart);
            inRun = false;
        }
        if (i == steps) break;
        if (nextX < nextY) {
            nextX += deltaX;
            cx = std::clamp(cx + stepX, 0, columns_ - 1);
        } else {
            nextY += deltaY;
            cy = std::clamp(cy + stepY, 0, rows_ - 1);
        }
    }
    // A run holding both ends is a segment within one wall: no crossing.
    if (inRun && !(runHoldsStart && endInside)) add(runClass, runHoldsStart || endInside);
    return counts;
}

}  // namespace quorl::analysis
