#pragma once
// Text in a cell the way the site view writes all of its lines: centred
// across the cell and standing at its top (vertical centring is for single
// lines only), cut at the cell's edges, on an opaque background box as wide
// and high as the text or on nothing.

#include <QColor>
#include <QRect>

class QPainter;
class QString;

namespace quorl {

struct TextStyle {
    QColor text;
    QColor background;
    bool opaque = true;
};

void DrawCellText(QPainter& painter, const QRect& cell, const QString& text, const TextStyle& style);

}  // namespace quorl
