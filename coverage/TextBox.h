#pragma once
// The box every legend and key starts with: filled, framed in grey, a bold
// title and lines of text below it, `pad` in from the frame. It draws
// without antialiasing and leaves the regular font set, so that swatches
// can follow; it returns the y just below the last line.
//
//   int y = coverage::DrawTextBox(painter, QRect(at, size), Qt::white, pad, fm.height(), title, lines, font);

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

class QPainter;

namespace quorl::coverage {

int DrawTextBox(QPainter& painter, const QRect& frame, const QColor& fill, int pad, int lineHeight,
                const QString& title, const QStringList& lines, const QFont& font);

}  // namespace quorl::coverage
