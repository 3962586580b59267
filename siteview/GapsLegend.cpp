#include "siteview/GapsLegend.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringList>
#include <algorithm>

#include "siteview/GapsCoverage.h"

namespace quorl {

namespace {

constexpr int kPadding = 5;
constexpr int kSwatch = 10;

struct Row {
    QString text;
    QRgb swatch = 0;  // 0: a line of text alone
};

QList<Row> RowsOf(const coverage::LegendText& text) {
    QList<Row> rows;
    rows.append({QStringLiteral("not reached yet"), GapsCoverage::kUnsurveyed});
    const bool profile = std::any_of(text.lines.begin(), text.lines.end(), [](const QString& line) {
        return line.startsWith(QLatin1String(GapsCoverage::kPassingPrefix));
    });
    if (profile) rows.append({QStringLiteral("fails the profile"), GapsCoverage::kFails});
    for (const QString& line : text.lines) rows.append({line, 0});
    return rows;
}

}  // namespace

QSize GapsLegendSize(const coverage::LegendText& text, const QFont& font) {
    const QFontMetrics metrics(font);
    QFont bold = font;
    bold.setBold(true);
    int width = QFontMetrics(bold).horizontalAdvance(text.title);
    const QList<Row> rows = RowsOf(text);
    for (const Row& row : rows)
        width = std::max(width, metrics.horizontalAdvance(row.text) + (row.swatch ? kSwatch + kPadding : 0));
    const int line = std::max(metrics.height(), kSwatch + 2);
    return QSize(width + 2 * kPadding, (int(rows.size()) + 1) * line + 2 * kPadding);
}

void DrawGapsLegend(QPainter& painter, QPoint at, const coverage::LegendText& text, const QFont& font) {
    const QSize size = GapsLegendSize(text, font);
    const QFontMetrics metrics(font);
    const int line = std::max(metrics.height(), kSwatch + 2);
    painter.save();
    painter.setPen(QColor(80, 80, 80));
    painter.setBrush(Qt::white);
    painter.drawRect(QRect(at, size - QSize(1, 1)));
    QFont bold = font;
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    int y = at.y() + kPadding;
    painter.drawText(QRect(at.x() + kPadding, y, size.width(), line), Qt::AlignLeft | Qt::AlignVCenter, text.title);
    painter.setFont(font);
    for (const Row& row : RowsOf(text)) {
        y += line;
        int x = at.x() + kPadding;
        if (row.swatch) {
            // The swatch as the layer looks over a white plan.
            const QColor over = QColor::fromRgba(qUnpremultiply(row.swatch));
            painter.fillRect(QRect(x, y + (line - kSwatch) / 2, kSwatch, kSwatch), Qt::white);
            painter.fillRect(QRect(x, y + (line - kSwatch) / 2, kSwatch, kSwatch), over);
            x += kSwatch + kPadding;
        }
        painter.drawText(QRect(x, y, size.width(), line), Qt::AlignLeft | Qt::AlignVCenter, row.text);
    }
    painter.restore();
}

}  // namespace quorl
