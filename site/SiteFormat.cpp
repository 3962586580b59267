#include "site/SiteFormat.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/Requirement.h"

namespace quorl::site {

namespace {

using Json = nlohmann::ordered_json;

// Line and column (from 1) of byte `offset` of `text`.
std::string Where(const std::string& text, std::size_t offset) {
    offset = std::min(offset, text.size());
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

// Brackets open at most, outside strings: deep nesting is refused before
// the parser (and later the writer) recurse through it.
std::size_t Depth(const std::string& text) {
    std::size_t depth = 0, deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

constexpr std::size_t kMaxDepth = 64;

// Reading refuses with a sentence; each check is one throw of this.
struct Refusal {
    std::string why;
};

[[noreturn]] void Refuse(std::string why) { throw Refusal{std::move(why)}; }

std::string Text(const Json& j, const char* key, const std::string& owner, bool required) {
    const auto it = j.find(key);
    if (it == j.end()) {
        if (required) Refuse(owner + " has no \"" + key + "\".");
        return {};
    }
    if (!it->is_string()) Refuse(owner + "'s \"" + key + "\" is not a text.");
    return it->get<std::string>();
}

std::vector<std::string> Texts(const Json& j, const char* key, const std::string& owner) {
    const auto it = j.find(key);
    if (it == j.end()) return {};
    if (it->is_string()) return {it->get<std::string>()};
    if (!it->is_array()) Refuse(owner + "'s \"" + key + "\" is not a list of texts.");
    std::vector<std::string> out;
    for (const Json& e : *it) {
        if (!e.is_string()) Refuse(owner + "'s \"" + key + "\" is not a list of texts.");
        out.push_back(e.get<std::string>());
    }
    return out;
}

std::map<std::string, std::string> Extra(const Json& j, std::initializer_list<const char*> known) {
    std::map<std::string, std::string> out;
    for (const auto& [key, value] : j.items())
        if (std::none_of(known.begin(), known.end(), [&](const char* k) { return key == k; })) out[key] = value.dump();
    return out;
}

Floor ReadFloor(const Json& j, std::size_t index) {
    const std::string which = "floor " + std::to_string(index + 1);
    if (!j.is_object()) Refuse(which + " is not an object.");
    Floor f;
    f.name = Text(j, "name", which, true);
    const std::string owner = "floor \"" + f.name + "\"";
    if (const auto it = j.find("level"); it != j.end()) {
        if (!it->is_number_integer() || it->get<double>() < -1000 || it->get<double>() > 1000)
            Refuse(owner + "'s \"level\" is not a whole number from -1000 to 1000.");
        f.level = it->get<int>();
    }
    if (const auto it = j.find("height_m"); it != j.end() && !it->is_null()) {
        if (!it->is_number()) Refuse(owner + "'s \"height_m\" is not a number.");
        f.heightMetres = it->get<double>();
    }
    f.projection = Text(j, "projection", owner, true);
    f.surveys = Texts(j, "surveys", owner);
    f.extra = Extra(j, {"name", "level", "height_m", "projection", "surveys"});
    return f;
}

SiteRequirements ReadRequirements(const Json& j) {
    SiteRequirements r;
    if (!j.is_object()) Refuse("\"requirements\" is not an object.");
    r.profiles = Texts(j, "profile", "\"requirements\"");
    for (const std::string& p : r.profiles)
        if (!analysis::ProfileRequirements(p))
            Refuse("\"requirements\" names the profile \"" + p + "\"; there are voice, data and basic.");
    r.require = Texts(j, "require", "\"requirements\"");
    for (const std::string& text : r.require) {
        std::string why;
        if (!analysis::ParseRequirement(text, why)) Refuse("\"requirements\": " + why);
    }
    if (const auto it = j.find("area_pass"); it != j.end() && !it->is_null()) {
        if (!it->is_number() || !(it->get<double>() >= 0 && it->get<double>() <= 100))
            Refuse("\"requirements\"' \"area_pass\" is not a percentage from 0 to 100.");
        r.areaPass = it->get<double>();
    }
    if (const auto it = j.find("max_unsurveyed"); it != j.end() && !it->is_null()) {
        if (!it->is_number() || !(it->get<double>() >= 0 && it->get<double>() <= 100))
            Refuse("\"requirements\"' \"max_unsurveyed\" is not a percentage from 0 to 100.");
        r.maxUnsurveyed = it->get<double>();
    }
    return r;
}

Site ReadSite(const Json& j) {
    if (!j.is_object()) Refuse("it is not a site file (no JSON object).");
    const auto format = j.find("format");
    if (format == j.end() || !format->is_string() || format->get<std::string>() != kSiteFormatName)
        Refuse(std::string("it is not a site file (its \"format\" is not \"") + kSiteFormatName + "\").");
    const auto version = j.find("version");
    if (version == j.end() || !version->is_number_integer() || version->get<double>() < 1)
        Refuse("its \"version\" is not a whole number from 1.");
    if (version->get<double>() > kSiteFormatVersion)
        Refuse("it was written in site format version " + version->dump() + ", newer than this quorl reads (" +
               std::to_string(kSiteFormatVersion) + "): use a newer quorl.");
    Site site;
    site.name = Text(j, "name", "the site", true);
    if (const auto it = j.find("floors"); it != j.end()) {
        if (!it->is_array()) Refuse("its \"floors\" is not a list.");
        for (std::size_t i = 0; i < it->size(); ++i) site.floors.push_back(ReadFloor((*it)[i], i));
    }
    if (const auto it = j.find("requirements"); it != j.end() && !it->is_null())
        site.requirements = ReadRequirements(*it);
    site.extra = Extra(j, {"format", "version", "name", "floors", "requirements"});
    return site;
}

void PutExtra(Json& j, const std::map<std::string, std::string>& extra) {
    for (const auto& [key, text] : extra) j[key] = Json::parse(text);
}

}  // namespace

bool ParseSite(const std::string& text, Site& out, std::string& error) {
    if (Depth(text) > kMaxDepth) {
        error = "it nests lists or objects more than " + std::to_string(kMaxDepth) + " deep.";
        return false;
    }
    Json j;
    try {
        j = Json::parse(text);
    } catch (const Json::parse_error& e) {
        // The library's own text names the token; the place is counted here.
        std::string what = e.what();
        if (const auto colon = what.find(": "); colon != std::string::npos) what = what.substr(colon + 2);
        error = "it is not valid JSON at " + Where(text, e.byte > 0 ? e.byte - 1 : 0) + ": " + what;
        return false;
    }
    try {
        Site site = ReadSite(j);
        error = StructureError(site);
        if (!error.empty()) return false;
        out = std::move(site);
        return true;
    } catch (const Refusal& r) {
        error = r.why;
    } catch (const Json::exception& e) {  // a number too large for its field
        error = std::string("it holds a value out of range: ") + e.what();
    }
    return false;
}

std::string SiteText(const Site& site) {
    Json j;
    j["format"] = kSiteFormatName;
    j["version"] = kSiteFormatVersion;
    j["name"] = site.name;
    j["floors"] = Json::array();
    for (const Floor& f : site.floors) {
        Json floor;
        floor["name"] = f.name;
        floor["level"] = f.level;
        if (f.heightMetres) floor["height_m"] = *f.heightMetres;
        floor["projection"] = f.projection;
        floor["surveys"] = f.surveys;
        PutExtra(floor, f.extra);
        j["floors"].push_back(std::move(floor));
    }
    const SiteRequirements& r = site.requirements;
    if (!r.Empty()) {
        Json req = Json::object();
        if (!r.profiles.empty()) req["profile"] = r.profiles;
        if (!r.require.empty()) req["require"] = r.require;
        if (r.areaPass) req["area_pass"] = *r.areaPass;
        if (r.maxUnsurveyed) req["max_unsurveyed"] = *r.maxUnsurveyed;
        j["requirements"] = std::move(req);
    }
    PutExtra(j, site.extra);
    // Texts come from users and radios: replace, never throw, on bad UTF-8.
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace quorl::site
