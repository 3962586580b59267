#include "site/FloorFiles.h"

#include "analysis/SurveyPoints.h"
#include "site/SiteFile.h"
#include "survey/CollectionScan.h"

namespace quorl::site {

std::size_t FloorFiles::Points() const {
    std::size_t n = 0;
    for (const SurveyFiles& s : surveys) n += s.points;
    return n;
}

std::string FloorFiles::FirstProblem() const {
    if (!projectionRead) return error;
    for (const SurveyFiles& s : surveys)
        if (!s.fits) return s.error;
    return {};
}

bool ReadPlan(const std::string& projectionPath, analysis::PlanSource& plan, std::string& error) {
    if (!analysis::LoadPlanSource(projectionPath, plan, error)) return false;
    // Plans can be large; what is checked here needs only the size.
    plan.bitmap.clear();
    plan.bitmap.shrink_to_fit();
    return true;
}

namespace {

// True when the file is a collection that holds no group at all.
bool NoGroupYet(const std::string& path) {
    CollectionScan scan;
    if (!scan.Open(path)) return false;
    std::size_t groups = 0;
    return scan.ForEachGroup([&](const CollectionGroup&) { ++groups; }) && groups == 0 && scan.Skipped().empty();
}

}  // namespace

SurveyFiles FitSurvey(const std::string& path, const analysis::PlanSource& plan) {
    SurveyFiles out;
    out.path = path;
    analysis::Survey survey;
    const analysis::Placement placement{plan.transform, plan.width, plan.height};
    if (analysis::LoadSurvey(path, placement, survey, out.error)) {
        out.fits = true;
        out.points = survey.points.size();
        out.error.clear();
    } else if (NoGroupYet(path)) {
        out.fits = true;
        out.error.clear();
    }
    return out;
}

FloorFiles InspectFloor(const std::string& sitePath, const Floor& floor) {
    FloorFiles out;
    out.projectionPath = OpenPath(sitePath, floor.projection);
    analysis::PlanSource full;
    out.projectionRead = analysis::LoadPlanSource(out.projectionPath, full, out.error);
    if (out.projectionRead) out.scale = analysis::ScaleOfPlan(out.projectionPath, full, out.scaleWarning);
    full.bitmap.clear();
    full.bitmap.shrink_to_fit();
    out.plan = std::move(full);
    for (const std::string& stored : floor.surveys) {
        SurveyFiles s;
        if (out.projectionRead) {
            s = FitSurvey(OpenPath(sitePath, stored), out.plan);
        } else {
            s.path = OpenPath(sitePath, stored);
            s.error = "the floor's projection cannot be read.";
        }
        s.stored = stored;
        out.surveys.push_back(std::move(s));
    }
    return out;
}

}  // namespace quorl::site
