#pragma once
// The survey gaps layer's legend: its title, a grey swatch for the parts
// no point reaches, a red one for a failing profile when the text has a
// passing line (GapsCoverage::kPassingPrefix), and the shares, on a white
// box with a thin frame.

#include <QFont>
#include <QPoint>
#include <QSize>

#include "coverage/Legend.h"

class QPainter;

namespace quorl {

QSize GapsLegendSize(const coverage::LegendText& text, const QFont& font);
void DrawGapsLegend(QPainter& painter, QPoint at, const coverage::LegendText& text, const QFont& font);

}  // namespace quorl
