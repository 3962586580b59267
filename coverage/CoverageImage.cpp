#include "coverage/CoverageImage.h"

#include <QPainter>
#include <array>
#include <cmath>

namespace quorl::coverage {

QImage GridImage(const float* values, int columns, int rows, const ColourScale& scale, int alpha) {
    QImage image(std::max(columns, 1), std::max(rows, 1), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (columns <= 0 || rows <= 0) return image;
    alpha = std::clamp(alpha, 0, 255);
    auto premultiplied = [alpha](QRgb c) {
        return qRgba(qRed(c) * alpha / 255, qGreen(c) * alpha / 255, qBlue(c) * alpha / 255, alpha);
    };
    // A table over the scale's range (tenths of a unit beyond it clamp to the ends).
    const double lo = scale.Min() - 1, hi = scale.Max() + 1;
    constexpr int kSteps = 1024;
    std::array<QRgb, kSteps + 1> table;
    for (int i = 0; i <= kSteps; ++i) table[i] = premultiplied(scale.ColourOf(lo + (hi - lo) * i / kSteps));
    // Classes and counts change at whole values: look those up exactly.
    const bool exact = scale.Discrete();
    for (int row = 0; row < rows; ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        const float* in = values + static_cast<std::size_t>(row) * columns;
        for (int column = 0; column < columns; ++column) {
            const float v = in[column];
            if (std::isnan(v)) continue;
            if (exact || std::isinf(v)) {
                line[column] = premultiplied(scale.ColourOf(v));
            } else {
                const double t = std::clamp((v - lo) / (hi - lo), 0.0, 1.0);
                line[column] = table[static_cast<int>(std::lround(t * kSteps))];
            }
        }
    }
    return image;
}

QImage GridImage(const analysis::CoverageGrid& grid, const ColourScale& scale, int alpha) {
    const auto& g = grid.Geometry();
    return GridImage(grid.Values().data(), g.columns, g.rows, scale, alpha);
}

QRectF GridPlanRect(const analysis::GridGeometry& geometry) {
    return QRectF(0, 0, double(geometry.columns) * geometry.cellSize, double(geometry.rows) * geometry.cellSize);
}

void DrawCoverage(QPainter& painter, const QImage& layer, const analysis::GridGeometry& geometry, bool smooth) {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.drawImage(GridPlanRect(geometry), layer);
    painter.restore();
}

}  // namespace quorl::coverage
