#include "analysis/LiveCoverage.h"

#include <algorithm>
#include <cmath>

#include "analysis/KernelChoice.h"

namespace quorl::analysis {

LiveCoverage::LiveCoverage(int planWidth, int planHeight, std::optional<double> radius, Metric metric, double radiusCap)
    : geometry_(GridGeometry::ForPlan(planWidth, planHeight)),
      fixedRadius_(radius),
      radiusCap_(radiusCap),
      metric_(metric),
      grid_(geometry_, radius.value_or(DefaultRadius({}, geometry_, radiusCap))) {}

std::optional<double> LiveCoverage::ValueOf(const CSiteData::_tap& point, Metric metric) {
    const bool surveyPoint = point.kind == CSiteData::kGpsPoint || point.kind == CSiteData::kProjectedTap ||
                             point.kind == CSiteData::kPlanTap;
    if (!surveyPoint) return std::nullopt;
    // A point that heard nothing is a measurement all the same.
    if (metric == Metric::Secondary) {
        if (point.apCount < 2 || point.second <= -100) return kNotHeard;
        return point.second;
    }
    if (point.apCount <= 0) return kNotHeard;
    return point.strongest;
}

void LiveCoverage::Rebuild(const std::vector<CSiteData::_tap>& points) {
    values_.clear();
    for (const CSiteData::_tap& p : points)
        if (auto v = ValueOf(p, metric_)) values_.push_back(ValuePoint{double(p.x), double(p.y), *v});
    grid_ = CoverageGrid(geometry_, fixedRadius_.value_or(DefaultRadius(values_, geometry_, radiusCap_)));
    grid_.Build(values_);
    chosenAt_ = grid_.Points().size();
    lastRebuild_ = true;
}

bool LiveCoverage::Update(const std::vector<CSiteData::_tap>& points) {
    lastRebuild_ = false;
    // Only appends can be followed cell by cell; anything else starts over.
    if (points.size() < seen_.size() || !std::equal(seen_.begin(), seen_.end(), points.begin())) {
        Rebuild(points);
        seen_ = points;
        return true;
    }
    if (points.size() == seen_.size()) return false;
    std::vector<ValuePoint> added;
    for (std::size_t i = seen_.size(); i < points.size(); ++i)
        if (auto v = ValueOf(points[i], metric_))
            added.push_back(ValuePoint{double(points[i].x), double(points[i].y), *v});
    seen_ = points;
    if (added.empty()) return false;
    values_.insert(values_.end(), added.begin(), added.end());
    if (!fixedRadius_) {
        const double radius = DefaultRadius(values_, geometry_, radiusCap_);
        if (std::abs(radius - grid_.Radius()) > kRebuildDrift * grid_.Radius()) {
            Rebuild(points);
            return true;
        }
    }
    for (const ValuePoint& p : added) grid_.Add(p);
    // The kernel was chosen from the survey as it was; once it has doubled,
    // the choice is made again, and only a different kernel rebuilds.
    if (grid_.Points().size() >= std::max(kLeastPoints, 2 * chosenAt_)) {
        chosenAt_ = grid_.Points().size();
        if (!(ChooseKernel(grid_).kernel == grid_.Kernel())) {
            Rebuild(points);
            return true;
        }
    }
    return true;
}

}  // namespace quorl::analysis
