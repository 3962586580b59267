#include "siteview/SignalCoverage.h"

#include <QString>
#include <algorithm>
#include <cmath>

#include "analysis/Metrics.h"
#include "analysis/SurveyPoints.h"
#include "coverage/CoverageImage.h"

namespace quorl {

namespace {

bool SamePoint(const analysis::ValuePoint& a, const analysis::ValuePoint& b) {
    return a.x == b.x && a.y == b.y && a.value == b.value;
}

}  // namespace

CoverageLayer SignalCoverage::Compute(const CoverageRequest& request) {
    lastIncremental_ = false;
    const analysis::Placement placement{request.transform, request.planWidth, request.planHeight};
    analysis::Survey survey;
    std::string error;
    // A collection without a usable point yet has nothing to show.
    if (!analysis::LoadSurvey(request.collectionPath, placement, survey, error)) return CoverageLayer{};

    const analysis::MetricOptions options = analysis::DefaultOptions(analysis::Metric::Signal);
    std::vector<analysis::ValuePoint> points;
    points.reserve(survey.points.size());
    for (const analysis::SurveyPoint& p : survey.points)
        if (const auto value = analysis::PointValue(p, options)) points.push_back({p.x, p.y, *value});
    if (points.empty()) return CoverageLayer{};

    const auto geometry = analysis::GridGeometry::ForPlan(request.planWidth, request.planHeight);
    const double radius = analysis::DefaultRadius(points, geometry);
    const bool grown = grid_ && gridPath_ == request.collectionPath && points.size() >= gridPoints_.size() &&
                       grid_->Geometry().columns == geometry.columns && grid_->Geometry().rows == geometry.rows &&
                       grid_->Geometry().cellSize == geometry.cellSize &&
                       std::abs(radius - grid_->Radius()) <= kRadiusSlack * grid_->Radius() &&
                       std::equal(gridPoints_.begin(), gridPoints_.end(), points.begin(), SamePoint);
    if (grown) {
        for (std::size_t i = gridPoints_.size(); i < points.size(); ++i) grid_->Add(points[i]);
        lastIncremental_ = true;
    } else {
        grid_.emplace(geometry, radius);
        grid_->Build(points);
        gridPath_ = request.collectionPath;
    }
    gridPoints_ = std::move(points);

    CoverageLayer layer;
    layer.scale = coverage::ColourScale::Viridis();
    layer.image = coverage::GridImage(*grid_, layer.scale, kAlpha);
    layer.planRect = coverage::GridPlanRect(geometry);
    layer.legend.title = QStringLiteral("signal (dBm)");
    layer.legend.lines = {QStringLiteral("all networks"), QString::fromStdString(survey.name),
                          QStringLiteral("%1 points").arg(gridPoints_.size())};
    return layer;
}

}  // namespace quorl
