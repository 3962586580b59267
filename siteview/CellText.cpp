#include "siteview/CellText.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>

namespace quorl {

void DrawCellText(QPainter& painter, const QRect& cell, const QString& text, const TextStyle& style) {
    if (cell.isEmpty() || text.isEmpty()) return;
    if (style.opaque) {
        const QRect box = painter.fontMetrics().boundingRect(cell, Qt::AlignHCenter | Qt::AlignTop, text);
        painter.fillRect(box & cell, style.background);
    }
    painter.setPen(style.text);
    // drawText clips to the cell by itself when the text runs past it.
    painter.drawText(cell, Qt::AlignHCenter | Qt::AlignTop, text);
}

}  // namespace quorl
