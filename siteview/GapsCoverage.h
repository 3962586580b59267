#pragma once
// GapsCoverage: the site view's "Survey gaps" layer, where the surveyor
// still has to walk. Translucent grey over the plan where no survey point
// reaches yet (beyond the map's radius), translucent red where a chosen
// requirement profile fails, nothing over the rest. Its legend gives the
// surveyed share of the plan, says "incomplete" while more of the plan than
// a check allows by default is not surveyed, and, with a profile, gives the
// passing share of the surveyed area. analysis::LiveGaps follows the point list, so a stored
// point only recomputes the cells near it.

#include <QRgb>
#include <optional>

#include "analysis/SurveyGaps.h"
#include "siteview/CoverageSource.h"
#include "siteview/LayerContext.h"

namespace quorl {

class GapsCoverage : public ICoverageSource {
public:
    // Premultiplied: grey and red at about 45% over the plan.
    static constexpr QRgb kUnsurveyed = qRgba(58, 58, 58, 115);
    static constexpr QRgb kFails = qRgba(100, 0, 0, 115);
    // The legend's line of the profile's passing share starts so.
    static constexpr const char* kPassingPrefix = "Passing ";

    CoverageLayer Compute(const CoverageRequest& request) override;

private:
    std::optional<analysis::LiveGaps> live_;
    LayerContext context_;
};

}  // namespace quorl
