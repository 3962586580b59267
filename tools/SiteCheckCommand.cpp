// quorl check BUILDING.qsite: the verdict of every floor, then the
// building's. Every map the run may write is refused before any work, as
// for one floor.

#include <cstdio>
#include <filesystem>

#include "common/UserMessages.h"
#include "site/SiteFile.h"
#include "survey/OutputTarget.h"
#include "tools/SiteCheck.h"

namespace quorl::tools {

std::string FloorMapPath(const std::string& path, const std::string& floorName, std::size_t n, std::size_t count) {
    const std::filesystem::path p(path);
    const std::string named =
        (p.parent_path() / (p.stem().string() + "-" + FloorSlug(floorName) + p.extension().string())).string();
    return NumberedPath(named, n, count);
}

int RunSiteCheck(const std::string& sitePath, const SiteCheckOptions& options, bool json, const std::string& mapPath) {
    auto fail = [](const std::string& text) {
        std::fprintf(stderr, "quorl check: %s\n", text.c_str());
        return 2;
    };
    site::Site site;
    std::string error;
    if (!site::LoadSite(sitePath, site, error)) return fail(error);
    std::vector<analysis::Requirement> requirements;
    double areaPass = 95, maxUnsurveyed = 0;
    if (!SiteRequirementsOr(site, options, requirements, areaPass, maxUnsurveyed, error)) return fail(error);

    std::vector<std::string> inputs = site::SiteFiles(sitePath, site);
    inputs.push_back(sitePath);
    if (!mapPath.empty()) {
        std::vector<std::string> maps;
        for (const site::Floor& f : site.floors) {
            if (f.surveys.empty()) continue;
            for (std::size_t i = 0; i < requirements.size(); ++i) {
                const std::string path = FloorMapPath(mapPath, f.name, i, requirements.size());
                if (const int why = RefusedOutput(path, inputs))
                    return fail("cannot write " + path + ": " + SystemErrorText(why));
                for (const std::string& other : maps)
                    if (SameOutput(other, path))
                        return fail("two floors' maps would both be " + path + ": give the floors distinct names");
                maps.push_back(path);
            }
        }
        StartPictureApp();
    }
    SiteVerdict verdict;
    const FloorVisit drawMaps = [&](const FloorResult& floor, const LoadedSurvey& loaded, std::string& why) {
        if (!loaded.scaleWarning.empty())
            std::fprintf(stderr, "quorl check: floor \"%s\": %s\n", floor.floor.name.c_str(), loaded.scaleWarning.c_str());
        for (std::size_t i = 0; !mapPath.empty() && i < floor.check.results.size(); ++i) {
            const std::string path = FloorMapPath(mapPath, floor.floor.name, i, floor.check.results.size());
            if (!SavePng(RenderPassFailMap(loaded, floor.check, i), path, inputs, why)) return false;
        }
        return true;
    };
    if (!CheckSite(sitePath, site, options, verdict, error, drawMaps)) return fail(error);
    const std::string report = json ? SiteCheckJson(verdict) : SiteCheckText(verdict);
    std::fputs(report.c_str(), stdout);
    return verdict.Pass() ? 0 : 1;
}

}  // namespace quorl::tools
