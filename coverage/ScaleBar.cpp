#include "coverage/ScaleBar.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "analysis/PlanScale.h"

namespace quorl::coverage {

ScaleBarLength ScaleBarFor(double metresPerPixel, int planWidth) {
    ScaleBarLength l;
    if (!(metresPerPixel > 0) || planWidth <= 0) return l;
    l.metres = analysis::ScaleBarMetres(metresPerPixel, planWidth / 4.0);
    l.pixels = l.metres / metresPerPixel;
    // A bar of a few pixels says nothing.
    if (l.pixels < 8) l = {};
    return l;
}

QString ScaleBarLabel(double metres) {
    if (metres >= 1000) return QStringLiteral("%1 km").arg(metres / 1000);
    if (metres >= 1) return QStringLiteral("%1 m").arg(metres);
    if (metres >= 0.01) return QStringLiteral("%1 cm").arg(std::round(metres * 100));
    return QStringLiteral("%1 mm").arg(std::round(metres * 1000));
}

QRect DrawScaleBar(QPainter& painter, const QRect& plan, double metresPerPixel, const QFont& font) {
    const ScaleBarLength l = ScaleBarFor(metresPerPixel, plan.width());
    if (l.metres <= 0) return {};
    const QFontMetrics fm(font);
    const QString label = ScaleBarLabel(l.metres);
    const int pad = fm.height() / 3 + 2, barHeight = std::max(4, fm.height() / 3);
    const int barWidth = static_cast<int>(std::lround(l.pixels));
    const int inner = fm.height();
    const QRect box(plan.left() + pad, plan.bottom() - pad - (inner + 2 * pad) + 1,
                    barWidth + fm.horizontalAdvance(label) + 3 * pad, inner + 2 * pad);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 220));
    painter.drawRect(box);
    const int x = box.left() + pad, y = box.top() + pad + (inner - barHeight) / 2;
    // Four parts, each a quarter of the length, so the bar reads like a ruler.
    for (int i = 0; i < 4; ++i) {
        const int from = x + barWidth * i / 4, to = x + barWidth * (i + 1) / 4;
        painter.fillRect(QRect(from, y, to - from, barHeight), i % 2 == 0 ? Qt::black : Qt::white);
    }
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(x, y, barWidth - 1, barHeight - 1));
    painter.setFont(font);
    painter.drawText(x + barWidth + pad, box.top() + pad + fm.ascent(), label);
    painter.restore();
    return box;
}

}  // namespace quorl::coverage
