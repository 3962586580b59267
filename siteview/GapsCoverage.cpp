#include "siteview/GapsCoverage.h"

#include <QImage>
#include <QString>
#include <cmath>

#include "analysis/FloorVerdict.h"
#include "analysis/PlanScale.h"
#include "analysis/Requirement.h"
#include "coverage/CoverageImage.h"

namespace quorl {

namespace {

QString Percent(double value) { return QString::number(std::lround(value)) + QStringLiteral("%"); }

}  // namespace

CoverageLayer GapsCoverage::Compute(const CoverageRequest& request) {
    if (request.planWidth <= 0 || request.planHeight <= 0) return CoverageLayer{};
    if (context_.Follow(request) || !live_)
        live_.emplace(request.planWidth, request.planHeight, std::nullopt, context_.radiusCap);
    const std::vector<analysis::Requirement> requirements =
        analysis::ProfileRequirements(request.profile).value_or(std::vector<analysis::Requirement>{});
    const analysis::GapsMap& map = live_->Update(request.points, requirements);

    const analysis::GridGeometry& g = map.geometry;
    CoverageLayer layer;
    layer.image = QImage(g.columns, g.rows, QImage::Format_ARGB32_Premultiplied);
    for (int row = 0; row < g.rows; ++row) {
        auto* line = reinterpret_cast<QRgb*>(layer.image.scanLine(row));
        for (int column = 0; column < g.columns; ++column) {
            switch (map.At(column, row)) {
                case analysis::GapCell::Unsurveyed: line[column] = kUnsurveyed; break;
                case analysis::GapCell::Fails: line[column] = kFails; break;
                case analysis::GapCell::Surveyed: line[column] = 0; break;
            }
        }
    }
    layer.planRect = coverage::GridPlanRect(g);
    layer.legend.title = QStringLiteral("Survey gaps");
    QString surveyed = QStringLiteral("Surveyed = ") + Percent(map.SurveyedPercent());
    // The surveyed ground itself, where the plan's scale gives it.
    if (request.scale.Known())
        surveyed +=
            QStringLiteral(" (%1)").arg(QString::fromStdString(analysis::AreaText(map.surveyedArea, request.scale)));
    layer.legend.lines = {surveyed};
    // As quorl check grades it by default: too much not surveyed to pass.
    const double unsurveyed = 100.0 - map.SurveyedPercent();
    if (unsurveyed > analysis::kDefaultMaxUnsurveyed)
        layer.legend.lines << QStringLiteral("Incomplete: %1 of the plan not surveyed, at most %2 allowed")
                                  .arg(std::lround(unsurveyed) > analysis::kDefaultMaxUnsurveyed
                                           ? Percent(unsurveyed)
                                           : QString::number(std::ceil(unsurveyed * 10) / 10) + QStringLiteral("%"),
                                       Percent(analysis::kDefaultMaxUnsurveyed));
    if (map.withRequirements)
        layer.legend.lines << QString::fromLatin1(kPassingPrefix) +
                                  QStringLiteral("%1 = %2 of surveyed")
                                      .arg(QString::fromStdString(request.profile), Percent(map.PassPercent()));
    return layer;
}

}  // namespace quorl
