#pragma once
// The frame every map picture shares: the plan, scaled down to at most
// `maxWidth` pixels across (0: full size), on the left; the legend a margin
// to its right; the coverage cells over the plan, clipped to it; the scale
// bar in the plan's corner where the plan has a scale.
//
//   MapPicture picture(loaded.planImage, maxWidth);
//   QPainter& painter = picture.Start(loaded.planImage, legendSize, cells, geometry, smooth);
//   ... points at (x * picture.Scale(), y * picture.Scale()), legend at picture.LegendAt() ...
//   return picture.Finish(loaded.scale);

#include <QFont>
#include <QImage>
#include <QPainter>
#include <optional>

#include "analysis/CoverageGrid.h"
#include "analysis/PlanScale.h"

namespace quorl::tools {

class MapPicture {
public:
    MapPicture(const QImage& plan, int maxWidth);

    double Scale() const { return scale_; }  // picture pixels per plan pixel
    int PlanWidth() const { return planWidth_; }
    int PlanHeight() const { return planHeight_; }
    const QFont& Font() const { return font_; }  // sized to the plan
    QPoint LegendAt() const { return QPoint(planWidth_ + kMargin, kMargin); }

    // Lays the picture out for a legend of `legend` size and draws the plan
    // and the cells; the painter draws on in picture pixels.
    QPainter& Start(const QImage& plan, QSize legend, const QImage& cells, const analysis::GridGeometry& geometry,
                    bool smooth);
    // Draws the scale bar where the plan has a scale; the finished picture.
    QImage Finish(const analysis::PlanScale& scale);

private:
    static constexpr int kMargin = 8;
    double scale_;
    int planWidth_, planHeight_;
    QFont font_;
    QImage image_;
    std::optional<QPainter> painter_;
};

}  // namespace quorl::tools
