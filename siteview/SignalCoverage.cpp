#include "siteview/SignalCoverage.h"

#include <QString>

#include "coverage/CoverageImage.h"

namespace quorl {

CoverageLayer SignalCoverage::Compute(const CoverageRequest& request) {
    if (request.planWidth <= 0 || request.planHeight <= 0) return CoverageLayer{};
    if (!live_ || collection_ != request.collectionName || planWidth_ != request.planWidth ||
        planHeight_ != request.planHeight) {
        live_.emplace(request.planWidth, request.planHeight);
        collection_ = request.collectionName;
        planWidth_ = request.planWidth;
        planHeight_ = request.planHeight;
    }
    live_->Update(request.points);
    const analysis::CoverageGrid& grid = live_->Grid();
    // No survey point with a level yet: nothing to show.
    if (grid.Points().empty()) return CoverageLayer{};

    CoverageLayer layer;
    layer.scale = coverage::ColourScale::Viridis();
    layer.image = coverage::GridImage(grid, layer.scale, kAlpha);
    layer.planRect = coverage::GridPlanRect(grid.Geometry());
    layer.legend.title = QStringLiteral("signal (dBm)");
    layer.legend.lines = {QStringLiteral("all networks"), QString::fromStdString(collection_),
                          QStringLiteral("%1 points").arg(grid.Points().size())};
    layer.legend.notHeard = grid.CellsNotHeard() > 0;
    return layer;
}

}  // namespace quorl
