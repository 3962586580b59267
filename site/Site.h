#pragma once
// A building: its floors, each with the projection of its plan and the
// surveys taken on it, and the requirements every floor is held to. Paths
// are kept as the site file stores them (relative to the file's folder, or
// absolute); SitePaths.h turns them into paths to open.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorl::site {

struct Floor {
    std::string name;
    int level = 0;
    std::optional<double> heightMetres;
    std::string projection;            // as stored
    std::vector<std::string> surveys;  // as stored
    // Keys a user added by hand, kept as JSON text so a rewrite keeps them.
    std::map<std::string, std::string> extra;
};

struct SiteRequirements {
    std::vector<std::string> profiles;  // voice, data, basic
    std::vector<std::string> require;   // "signal>=-67", ...
    std::optional<double> areaPass;     // percent
    std::optional<double> maxUnsurveyed;  // percent of a plan

    bool Empty() const { return profiles.empty() && require.empty() && !areaPass && !maxUnsurveyed; }
};

struct Site {
    std::string name;
    std::vector<Floor> floors;
    SiteRequirements requirements;
    std::map<std::string, std::string> extra;

    const Floor* FindFloor(const std::string& name) const;
    Floor* FindFloor(const std::string& name);
    // The floor a stored survey path is listed on, if any.
    const Floor* FloorOfSurvey(const std::string& stored) const;
};

// The edits the commands and the collector make. Each leaves the site
// unchanged and sets `error` (a sentence naming what is wrong) when it
// refuses.
bool AddFloor(Site& site, Floor floor, std::string& error);
bool AddSurvey(Site& site, const std::string& floorName, const std::string& stored, std::string& error);
bool RemoveSurvey(Site& site, const std::string& floorName, const std::string& stored, std::string& error);

// "the site has no floor named "Roof" (its floors: "Ground" "First")."
std::string NoSuchFloor(const Site& site, const std::string& floorName);

// What makes a site unusable whatever its files hold: empty names, two
// floors of one name, a floor without a projection, a survey listed twice.
// Empty when there is nothing.
std::string StructureError(const Site& site);

}  // namespace quorl::site
