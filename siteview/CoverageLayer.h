#pragma once
// The coverage layer of the site view: what it is computed from (a request,
// copied to the worker thread) and what comes back (a picture placed on
// the plan and its legend).

#include <QImage>
#include <QRectF>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/PlanScale.h"
#include "coverage/ColourScale.h"
#include "coverage/Legend.h"
#include "survey/SiteData.h"

namespace quorl {

struct CoverageRequest {
    std::vector<CSiteData::_tap> points;  // the point list, as the view drew it
    std::string collectionName;
    int planWidth = 0;
    int planHeight = 0;
    // The requirement profile the gaps layer marks failures of ("" for none).
    std::string profile;
    // Metres per plan pixel, when the plan's scale is known: the legend
    // then gives the radius in metres and areas in m².
    analysis::PlanScale scale;
    std::uint64_t generation = 0;
    // The generation that first asked for this collection and plan: a
    // layer computed for an older context is dropped.
    std::uint64_t context = 0;
};

struct CoverageLayer {
    // Premultiplied ARGB, transparent where there is no data; null when
    // there is nothing to show yet.
    QImage image;
    QRectF planRect;  // the plan pixels the image covers
    coverage::ColourScale scale = coverage::ColourScale::Viridis();
    coverage::LegendText legend;
    std::uint64_t generation = 0;  // of the request it answers
};

}  // namespace quorl
