#pragma once
// A scale bar for maps of a plan with a known scale: a bar of a round
// length (1, 2 or 5 times a power of ten metres), in four alternating
// black and white parts, its length written beside it, on a white box in
// a corner of the plan.
//
//   coverage::DrawScaleBar(painter, QRect(0, 0, planW, planH), metresPerImagePixel, font);

#include <QFont>
#include <QRect>

class QPainter;

namespace quorl::coverage {

// The bar's length in metres and in image pixels for a picture whose
// pixels span `metresPerPixel` each and whose plan is `planWidth` wide (the
// bar takes at most a quarter of it); metres 0 when none fits.
struct ScaleBarLength {
    double metres = 0;
    double pixels = 0;
};
ScaleBarLength ScaleBarFor(double metresPerPixel, int planWidth);

// Draws the bar in the bottom-left corner of `plan` (image pixels); does
// nothing when no bar fits. Returns the box it drew over.
QRect DrawScaleBar(QPainter& painter, const QRect& plan, double metresPerPixel, const QFont& font);

// "50 cm", "2 m", "1 km".
QString ScaleBarLabel(double metres);

}  // namespace quorl::coverage
