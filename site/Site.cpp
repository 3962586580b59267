#include "site/Site.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <utility>

namespace quorl::site {

namespace {

// "a/./b.ssd" and "a/b.ssd" are one survey.
std::string Normal(const std::string& stored) { return std::filesystem::path(stored).lexically_normal().generic_string(); }

}  // namespace

const Floor* Site::FindFloor(const std::string& floorName) const {
    for (const Floor& f : floors)
        if (f.name == floorName) return &f;
    return nullptr;
}

Floor* Site::FindFloor(const std::string& floorName) {
    return const_cast<Floor*>(std::as_const(*this).FindFloor(floorName));
}

const Floor* Site::FloorOfSurvey(const std::string& stored) const {
    const std::string key = Normal(stored);
    for (const Floor& f : floors)
        for (const std::string& s : f.surveys)
            if (Normal(s) == key) return &f;
    return nullptr;
}

bool AddFloor(Site& site, Floor floor, std::string& error) {
    if (site.FindFloor(floor.name)) {
        error = "the site already has a floor named \"" + floor.name + "\".";
        return false;
    }
    Site changed = site;
    changed.floors.push_back(std::move(floor));
    error = StructureError(changed);
    if (!error.empty()) return false;
    site = std::move(changed);
    return true;
}

std::string NoSuchFloor(const Site& site, const std::string& floorName) {
    std::string text = "the site has no floor named \"" + floorName + "\"";
    if (site.floors.empty()) return text + " (it has no floors yet).";
    text += " (its floors:";
    for (const Floor& f : site.floors) text += " \"" + f.name + "\"";
    return text + ").";
}

namespace {

bool UnknownFloor(const Site& site, const std::string& floorName, std::string& error) {
    if (site.FindFloor(floorName)) return false;
    error = NoSuchFloor(site, floorName);
    return true;
}

}  // namespace

bool AddSurvey(Site& site, const std::string& floorName, const std::string& stored, std::string& error) {
    if (UnknownFloor(site, floorName, error)) return false;
    if (const Floor* on = site.FloorOfSurvey(stored)) {
        error = stored + " is already a survey of floor \"" + on->name + "\".";
        return false;
    }
    site.FindFloor(floorName)->surveys.push_back(stored);
    return true;
}

bool RemoveSurvey(Site& site, const std::string& floorName, const std::string& stored, std::string& error) {
    if (UnknownFloor(site, floorName, error)) return false;
    auto& surveys = site.FindFloor(floorName)->surveys;
    const auto it = std::find_if(surveys.begin(), surveys.end(),
                                 [&](const std::string& s) { return Normal(s) == Normal(stored); });
    if (it == surveys.end()) {
        error = stored + " is not a survey of floor \"" + floorName + "\".";
        return false;
    }
    surveys.erase(it);
    return true;
}

std::string StructureError(const Site& site) {
    if (site.name.empty()) return "the site has no name.";
    std::set<std::string> names, surveys;
    for (const Floor& f : site.floors) {
        if (f.name.empty()) return "a floor has no name.";
        if (!names.insert(f.name).second) return "two floors are named \"" + f.name + "\".";
        if (f.projection.empty()) return "floor \"" + f.name + "\" has no projection.";
        if (f.heightMetres && !(std::isfinite(*f.heightMetres) && *f.heightMetres > 0 && *f.heightMetres <= 1000))
            return "floor \"" + f.name + "\" has a height that is not between 0 and 1000 m.";
        for (const std::string& s : f.surveys) {
            if (s.empty()) return "floor \"" + f.name + "\" lists an empty survey path.";
            if (!surveys.insert(Normal(s)).second) return s + " is listed twice.";
        }
    }
    return {};
}

}  // namespace quorl::site
