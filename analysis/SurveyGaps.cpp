#include "analysis/SurveyGaps.h"

#include <algorithm>
#include <thread>

#include "analysis/RequirementShares.h"

namespace quorl::analysis {

double GapsMap::SurveyedPercent() const { return planArea > 0 ? 100.0 * surveyedArea / planArea : 0.0; }

double GapsMap::PassPercent() const { return surveyedArea > 0 ? 100.0 * passArea / surveyedArea : 0.0; }

LiveGaps::LiveGaps(int planWidth, int planHeight, std::optional<double> radius, double radiusCap)
    : planWidth_(planWidth),
      planHeight_(planHeight),
      signal_(planWidth, planHeight, radius, Metric::Signal, radiusCap) {}

const GapsMap& LiveGaps::Update(const std::vector<CSiteData::_tap>& points,
                                const std::vector<Requirement>& requirements) {
    const bool needsSecondary = std::any_of(requirements.begin(), requirements.end(),
                                            [](const Requirement& r) { return r.metric == Metric::Secondary; });
    if (!needsSecondary) secondary_.reset();
    if (needsSecondary && secondary_) {
        // The two grids share nothing but the radius: the secondary one is
        // brought up to date beside the signal one, and again below in the
        // rare case that the new point moved the radius.
        std::thread beside([&] { secondary_->Update(points); });
        signal_.Update(points);
        beside.join();
    } else {
        signal_.Update(points);
    }
    const CoverageGrid& signal = signal_.Grid();
    if (needsSecondary && (!secondary_ || secondary_->Grid().Radius() != signal.Radius())) {
        // A radius of its own would reach other cells than the signal grid.
        secondary_.emplace(planWidth_, planHeight_, signal.Radius(), Metric::Secondary);
        secondary_->Update(points);
    }

    std::vector<std::vector<Verdict>> verdicts;
    for (const Requirement& r : requirements) {
        if (r.metric == Metric::Signal) verdicts.push_back(Evaluate(r, signal).cells);
        if (r.metric == Metric::Secondary) verdicts.push_back(Evaluate(r, secondary_->Grid()).cells);
    }

    const GridGeometry& g = signal.Geometry();
    map_.geometry = g;
    map_.cells.assign(g.CellCount(), GapCell::Unsurveyed);
    map_.planArea = double(planWidth_) * double(planHeight_);
    map_.surveyedArea = 0;
    map_.passArea = 0;
    map_.withRequirements = !verdicts.empty();
    const std::vector<float>& values = signal.Values();
    for (int row = 0; row < g.rows; ++row) {
        const double height = std::min(g.cellSize, planHeight_ - row * g.cellSize);
        for (int column = 0; column < g.columns; ++column) {
            const std::size_t i = std::size_t(row) * std::size_t(g.columns) + std::size_t(column);
            if (CoverageGrid::IsNoData(values[i])) continue;
            const double area = height * std::min(g.cellSize, planWidth_ - column * g.cellSize);
            const bool fails = std::any_of(verdicts.begin(), verdicts.end(),
                                           [i](const std::vector<Verdict>& v) { return v[i] == Verdict::Fail; });
            map_.cells[i] = fails ? GapCell::Fails : GapCell::Surveyed;
            map_.surveyedArea += area;
            if (!fails) map_.passArea += area;
        }
    }
    return map_;
}

}  // namespace quorl::analysis
