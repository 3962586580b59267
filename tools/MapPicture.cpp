#include "tools/MapPicture.h"

#include <algorithm>
#include <cmath>

#include "coverage/CoverageImage.h"
#include "coverage/ScaleBar.h"

namespace quorl::tools {

MapPicture::MapPicture(const QImage& plan, int maxWidth)
    : scale_(maxWidth > 0 && plan.width() > maxWidth ? double(maxWidth) / plan.width() : 1.0),
      planWidth_(std::max(1, static_cast<int>(std::lround(plan.width() * scale_)))),
      planHeight_(std::max(1, static_cast<int>(std::lround(plan.height() * scale_)))),
      font_(QStringLiteral("DejaVu Sans")) {
    font_.setPixelSize(std::clamp(planHeight_ / 40, 11, 16));
}

QPainter& MapPicture::Start(const QImage& plan, QSize legend, const QImage& cells,
                            const analysis::GridGeometry& geometry, bool smooth) {
    image_ = QImage(planWidth_ + legend.width() + 2 * kMargin, std::max(planHeight_, legend.height() + 2 * kMargin),
                    QImage::Format_RGB32);
    image_.fill(Qt::white);
    QPainter& painter = painter_.emplace(&image_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRect(0, 0, planWidth_, planHeight_), plan);
    painter.save();
    painter.scale(scale_, scale_);
    painter.setClipRect(QRectF(0, 0, plan.width(), plan.height()));
    coverage::DrawCoverage(painter, cells, geometry, smooth);
    painter.restore();
    return painter;
}

QImage MapPicture::Finish(const analysis::PlanScale& scale) {
    if (painter_) {
        painter_->setRenderHint(QPainter::Antialiasing, false);
        if (scale.Known())
            coverage::DrawScaleBar(*painter_, QRect(0, 0, planWidth_, planHeight_), scale.metresPerPixel / scale_,
                                   font_);
        painter_->end();
        painter_.reset();
    }
    return image_;
}

}  // namespace quorl::tools
