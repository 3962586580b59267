#pragma once
// The legend every coverage picture carries: a title (the metric), lines
// of text (filters, survey name, radius ...) and the colour scale, as a
// colour bar with ticks (viridis) or as swatches (classes, counts), on a
// white box with a thin frame.
//
//   coverage::LegendText text{"signal (dBm)", {"all networks", "survey demo.ssd"}};
//   QSize size = coverage::LegendSize(scale, text, font);
//   coverage::DrawLegend(painter, QPoint(x, y), scale, text, font);

#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include "coverage/ColourScale.h"

class QPainter;

namespace quorl::coverage {

struct LegendText {
    QString title;
    QStringList lines;
    // Adds a "not heard" swatch (ColourScale::kNotHeardColour) after the scale.
    bool notHeard = false;
};

QSize LegendSize(const ColourScale& scale, const LegendText& text, const QFont& font);
// Draws the legend with its top-left corner at `at` (device pixels of the
// painter's current transform).
void DrawLegend(QPainter& painter, QPoint at, const ColourScale& scale, const LegendText& text, const QFont& font);

}  // namespace quorl::coverage
