#include "coverage/Legend.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "coverage/TextBox.h"

namespace quorl::coverage {

namespace {

QString NotHeardLabel() { return QStringLiteral("not heard"); }

struct Layout {
    int padding, lineHeight, barWidth, barHeight, swatch, width, height;
};

Layout Measure(const ColourScale& scale, const LegendText& text, const QFont& font) {
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(font), fb(bold);
    Layout l{};
    l.padding = fm.height() / 2;
    l.lineHeight = fm.height();
    l.swatch = fm.height();
    int width = fb.horizontalAdvance(text.title);
    for (const QString& line : text.lines) width = std::max(width, fm.horizontalAdvance(line));
    int height = fb.height() + l.lineHeight * static_cast<int>(text.lines.size());
    const auto entries = scale.Entries();
    if (scale.Discrete()) {
        int labels = 0;
        for (const auto& e : entries) labels = std::max(labels, fm.horizontalAdvance(e.label));
        width = std::max(width, l.swatch + l.padding + labels);
        height += l.padding + static_cast<int>(entries.size()) * (l.swatch + 2);
    } else {
        l.barWidth = std::max(width, fm.horizontalAdvance(QStringLiteral("-100")) * 6);
        l.barHeight = fm.height();
        width = std::max(width, l.barWidth);
        height += l.padding + l.barHeight + 4 + fm.height();
    }
    if (text.notHeard) {
        width = std::max(width, l.swatch + l.padding + fm.horizontalAdvance(NotHeardLabel()));
        height += l.padding + l.swatch;
    }
    l.width = width + 2 * l.padding;
    l.height = height + 2 * l.padding;
    return l;
}

}  // namespace

QSize LegendSize(const ColourScale& scale, const LegendText& text, const QFont& font) {
    const Layout l = Measure(scale, text, font);
    return QSize(l.width, l.height);
}

void DrawLegend(QPainter& painter, QPoint at, const ColourScale& scale, const LegendText& text, const QFont& font) {
    const Layout l = Measure(scale, text, font);
    painter.save();
    const QFontMetrics fm(font);
    const int x = at.x() + l.padding;
    int y = DrawTextBox(painter, QRect(at, QSize(l.width - 1, l.height - 1)), QColor(255, 255, 255, 235), l.padding,
                        l.lineHeight, text.title, text.lines, font);
    y += l.padding;
    const auto entries = scale.Entries();
    if (scale.Discrete()) {
        for (const auto& e : entries) {
            painter.setPen(QColor(80, 80, 80));
            painter.setBrush(QColor(e.colour));
            painter.drawRect(x, y, l.swatch - 1, l.swatch - 1);
            painter.setPen(Qt::black);
            painter.drawText(x + l.swatch + l.padding, y + fm.ascent(), e.label);
            y += l.swatch + 2;
        }
    } else {
        QLinearGradient gradient(x, 0, x + l.barWidth, 0);
        for (int i = 0; i <= 32; ++i) {
            const double v = scale.Min() + (scale.Max() - scale.Min()) * i / 32.0;
            gradient.setColorAt(i / 32.0, QColor(scale.ColourOf(v)));
        }
        painter.setPen(QColor(80, 80, 80));
        painter.setBrush(gradient);
        painter.drawRect(x, y, l.barWidth - 1, l.barHeight - 1);
        y += l.barHeight;
        painter.setPen(Qt::black);
        // Every tick, but only the labels that keep a space between them:
        // the two ends always, the ticks between where they fit.
        const int gap = fm.horizontalAdvance(QLatin1Char(' '));
        std::vector<QRect> labels;
        for (const auto& e : entries) {
            const int tx = x + static_cast<int>((e.value - scale.Min()) / (scale.Max() - scale.Min()) * (l.barWidth - 1));
            painter.drawLine(tx, y, tx, y + 3);
            const int w = fm.horizontalAdvance(e.label);
            labels.emplace_back(std::clamp(tx - w / 2, x, x + l.barWidth - w), 0, w, 1);
        }
        int taken = x - gap;  // right end of the last label drawn
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const bool end = i == 0 || i + 1 == labels.size();
            const int nextEnd = labels.empty() ? 0 : labels.back().left();
            if (!end && (labels[i].left() < taken + gap || labels[i].left() + labels[i].width() + gap > nextEnd))
                continue;
            if (i + 1 == labels.size() && labels[i].left() < taken + gap) continue;
            painter.drawText(labels[i].left(), y + 4 + fm.ascent(), entries[i].label);
            taken = labels[i].left() + labels[i].width();
        }
        y += 4 + fm.height();
    }
    if (text.notHeard) {
        y += l.padding - (scale.Discrete() ? 2 : 0);
        painter.setPen(QColor(80, 80, 80));
        painter.setBrush(QColor(ColourScale::kNotHeardColour));
        painter.drawRect(x, y, l.swatch - 1, l.swatch - 1);
        painter.setPen(Qt::black);
        painter.drawText(x + l.swatch + l.padding, y + fm.ascent(), NotHeardLabel());
    }
    painter.restore();
}

}  // namespace quorl::coverage
