#include "coverage/PassFailImage.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "coverage/TextBox.h"

namespace quorl::coverage {

namespace {

QRgb Premultiplied(const QColor& c, int alpha) {
    return qRgba(c.red() * alpha / 255, c.green() * alpha / 255, c.blue() * alpha / 255, alpha);
}

const std::pair<QColor, QString> kSwatches[] = {
    {kPassColour, QStringLiteral("passes")},
    {kFailColour, QStringLiteral("fails")},
    {kUnsurveyedColour, QStringLiteral("not surveyed (beyond the radius)")},
};

}  // namespace

QImage PassFailImage(const std::vector<analysis::Verdict>& cells, int columns, int rows, int alpha) {
    QImage image(std::max(columns, 1), std::max(rows, 1), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (columns <= 0 || rows <= 0 || cells.size() < static_cast<std::size_t>(columns) * rows) return image;
    alpha = std::clamp(alpha, 0, 255);
    const QRgb pass = Premultiplied(kPassColour, alpha), fail = Premultiplied(kFailColour, alpha);
    const QRgb hatch = Premultiplied(kUnsurveyedColour, 200);
    for (int row = 0; row < rows; ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        const analysis::Verdict* in = cells.data() + static_cast<std::size_t>(row) * columns;
        for (int column = 0; column < columns; ++column) {
            switch (in[column]) {
            case analysis::Verdict::Pass: line[column] = pass; break;
            case analysis::Verdict::Fail: line[column] = fail; break;
            case analysis::Verdict::Unsurveyed:
                if ((column + row) % 4 == 0) line[column] = hatch;
                break;
            case analysis::Verdict::Outside: break;  // not part of the floor: the plan as it is
            }
        }
    }
    return image;
}

QSize PassFailLegendSize(const QString& title, const QStringList& lines, const QFont& font) {
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(font), fb(bold);
    const int pad = fm.height() / 2;
    int width = fb.horizontalAdvance(title);
    for (const QString& line : lines) width = std::max(width, fm.horizontalAdvance(line));
    for (const auto& [colour, label] : kSwatches) width = std::max(width, fm.height() + pad + fm.horizontalAdvance(label));
    const int height = fb.height() + fm.height() * int(lines.size()) + pad + int(std::size(kSwatches)) * (fm.height() + 2);
    return QSize(width + 2 * pad, height + 2 * pad);
}

void DrawPassFailLegend(QPainter& painter, QPoint at, const QString& title, const QStringList& lines,
                        const QFont& font) {
    const QFontMetrics fm(font);
    const int pad = fm.height() / 2;
    const QSize size = PassFailLegendSize(title, lines, font);
    painter.save();
    int y = DrawTextBox(painter, QRect(at, QSize(size.width() - 1, size.height() - 1)), Qt::white, pad, fm.height(),
                        title, lines, font);
    y += pad;
    const int swatch = fm.height();
    for (const auto& [colour, label] : kSwatches) {
        painter.setPen(QColor(60, 60, 60));
        painter.setBrush(colour);
        if (&colour == &kSwatches[2].first) painter.setBrush(QBrush(colour, Qt::BDiagPattern));
        painter.drawRect(at.x() + pad, y, swatch - 2, swatch - 2);
        painter.setPen(Qt::black);
        painter.drawText(at.x() + pad + swatch + pad / 2, y + fm.ascent(), label);
        y += swatch + 2;
    }
    painter.restore();
}

}  // namespace quorl::coverage
