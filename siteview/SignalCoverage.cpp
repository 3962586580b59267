#include "siteview/SignalCoverage.h"

#include <QString>

#include "coverage/CoverageImage.h"

namespace quorl {

const analysis::MapError& SignalCoverage::CurrentMapError() {
    const analysis::CoverageGrid& grid = live_->Grid();
    const std::size_t points = grid.Points().size();
    const bool due = !mapErrorValid_ || live_->LastWasRebuild() || points <= kMapErrorEveryPoint ||
                     points < mapErrorFrom_ || points * 20 >= mapErrorFrom_ * 21;
    if (due) {
        mapError_ = analysis::LeaveOneOut(grid);
        mapErrorFrom_ = points;
        mapErrorValid_ = true;
    }
    return mapError_;
}

CoverageLayer SignalCoverage::Compute(const CoverageRequest& request) {
    if (request.planWidth <= 0 || request.planHeight <= 0) return CoverageLayer{};
    if (context_.Follow(request) || !live_) {
        live_.emplace(request.planWidth, request.planHeight, std::nullopt, analysis::Metric::Signal,
                      context_.radiusCap);
        mapErrorValid_ = false;
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
    layer.legend.lines = {
        QStringLiteral("all networks"),
        QString::fromStdString(context_.collection),
        QStringLiteral("%1 points").arg(grid.Points().size()),
        QStringLiteral("radius %1").arg(QString::fromStdString(analysis::DistanceText(grid.Radius(), request.scale))),
        request.scale.Known() ? QStringLiteral("1 px = %1 m").arg(request.scale.metresPerPixel, 0, 'g', 3)
                              : QStringLiteral("no plan scale: distances in plan pixels"),
        QString::fromStdString(analysis::MapErrorText(CurrentMapError(), "dB", grid.Kernel()))};
    layer.legend.notHeard = grid.CellsNotHeard() > 0;
    return layer;
}

}  // namespace quorl
