#pragma once
// A requirement's verdict per cell as a picture: pass green, fail red,
// not surveyed grey with diagonal hatching, so that the unsurveyed part
// never reads as a pale pass. Draw it with DrawCoverage(..., false): the
// three classes must not blend into one another.
//
//   QImage layer = coverage::PassFailImage(shares.cells, g.columns, g.rows, 170);
//   coverage::DrawCoverage(painter, layer, g, false);
//   coverage::DrawPassFailLegend(painter, at, title, lines, font);

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

#include "analysis/RequirementShares.h"

class QPainter;

namespace quorl::coverage {

inline const QColor kPassColour{0x1A, 0x98, 0x50};
inline const QColor kFailColour{0xD7, 0x30, 0x27};
inline const QColor kUnsurveyedColour{0x80, 0x80, 0x80};

// One pixel per cell, ARGB32 premultiplied; `alpha` is the opacity of
// pass and fail cells. Unsurveyed cells are grey on every fourth diagonal,
// clear between, so the plan shows through. Cells outside the part of the
// plan that counts are left clear.
QImage PassFailImage(const std::vector<analysis::Verdict>& cells, int columns, int rows, int alpha = 170);

// A white framed box: bold title, lines, and the three swatches.
QSize PassFailLegendSize(const QString& title, const QStringList& lines, const QFont& font);
void DrawPassFailLegend(QPainter& painter, QPoint at, const QString& title, const QStringList& lines,
                        const QFont& font);

}  // namespace quorl::coverage
