#include "coverage/TextBox.h"

#include <QFontMetrics>
#include <QPainter>

namespace quorl::coverage {

int DrawTextBox(QPainter& painter, const QRect& frame, const QColor& fill, int pad, int lineHeight,
                const QString& title, const QStringList& lines, const QFont& font) {
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(font), fb(bold);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(80, 80, 80));
    painter.setBrush(fill);
    painter.drawRect(frame);
    const int x = frame.x() + pad;
    int y = frame.y() + pad;
    painter.setPen(Qt::black);
    painter.setFont(bold);
    painter.drawText(x, y + fb.ascent(), title);
    y += fb.height();
    painter.setFont(font);
    for (const QString& line : lines) {
        painter.drawText(x, y + fm.ascent(), line);
        y += lineHeight;
    }
    return y;
}

}  // namespace quorl::coverage
