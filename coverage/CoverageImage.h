#pragma once
// A coverage grid as a picture: one pixel per cell, coloured by a scale,
// transparent where the grid has no data. Draw it over the plan with
// DrawCoverage, which stretches it to the plan pixels the grid covers
// (columns x cellSize by rows x cellSize, from plan pixel 0, 0).
//
//   QImage layer = coverage::GridImage(grid, coverage::ColourScale::Viridis(), 160);
//   painter.setTransform(planToScreen);           // plan pixels -> device
//   coverage::DrawCoverage(painter, layer, grid.Geometry());

#include <QImage>
#include <QRectF>

#include "analysis/CoverageGrid.h"
#include "coverage/ColourScale.h"

class QPainter;

namespace quorl::coverage {

// Format ARGB32 premultiplied; `alpha` (0-255) is the opacity of cells
// with data.
QImage GridImage(const analysis::CoverageGrid& grid, const ColourScale& scale, int alpha = 255);
// The same from raw values (row-major, `columns` x `rows`, NaN no data).
QImage GridImage(const float* values, int columns, int rows, const ColourScale& scale, int alpha = 255);

// The plan rectangle (plan pixels) the grid's cells cover.
QRectF GridPlanRect(const analysis::GridGeometry& geometry);

// Draws `layer` over GridPlanRect in the painter's current coordinates
// (plan pixels), smoothed between cell centres unless `smooth` is false:
// a discrete scale must not show colours between its classes.
void DrawCoverage(QPainter& painter, const QImage& layer, const analysis::GridGeometry& geometry, bool smooth = true);

}  // namespace quorl::coverage
