#include "site/SiteFile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "common/UserMessages.h"
#include "site/SiteFormat.h"
#include "survey/OutputTarget.h"
#include "survey/PendingFile.h"

namespace quorl::site {

namespace fs = std::filesystem;

namespace {

fs::path Folder(const std::string& sitePath) { return fs::path(sitePath).parent_path(); }

}  // namespace

bool LoadSite(const std::string& sitePath, Site& out, std::string& error) {
    std::error_code ec;
    if (fs::is_directory(sitePath, ec)) {
        error = "cannot read " + sitePath + ": it is a folder, not a site file.";
        return false;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(sitePath.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = "cannot read " + sitePath + ": " + SystemErrorText(errno) + ".";
        return false;
    }
    std::string text;
    char buffer[65536];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get())) {
        text.append(buffer, n);
        if (text.size() > kMaxSiteFileBytes) {
            error = sitePath + " is larger than " + std::to_string(kMaxSiteFileBytes / 1024 / 1024) +
                    " MiB: not a site file.";
            return false;
        }
    }
    if (std::ferror(file.get())) {
        error = "cannot read " + sitePath + ": " + SystemErrorText(errno) + ".";
        return false;
    }
    std::string why;
    if (!ParseSite(text, out, why)) {
        error = sitePath + " cannot be used: " + why;
        return false;
    }
    return true;
}

bool SaveSite(const std::string& sitePath, const Site& site, std::string& error) {
    const std::string why = StructureError(site);
    if (!why.empty()) {
        error = "cannot write " + sitePath + ": " + why;
        return false;
    }
    const std::vector<std::string> files = SiteFiles(sitePath, site);
    for (const std::string& file : files)
        if (SameOutput(sitePath, file)) {
            error = "cannot write " + sitePath + ": it is one of the site's own projections or surveys.";
            return false;
        }
    const std::string text = SiteText(site);
    if (const int failed = WriteWholeFile(sitePath, text.data(), text.size(), files)) {
        error = "cannot write " + sitePath + ": " + SystemErrorText(failed) + ".";
        return false;
    }
    return true;
}

std::string StoredPath(const std::string& sitePath, const std::string& path) {
    std::error_code ec;
    const fs::path folder = fs::absolute(Folder(sitePath).empty() ? fs::path(".") : Folder(sitePath), ec).lexically_normal();
    const fs::path target = fs::absolute(path, ec).lexically_normal();
    if (ec) return fs::path(path).generic_string();
    const fs::path relative = target.lexically_relative(folder);
    return relative.empty() ? target.generic_string() : relative.generic_string();
}

bool IsSitePath(const std::string& path) {
    const std::string ending = ".qsite";
    if (path.size() <= ending.size()) return false;
    for (std::size_t i = 0; i < ending.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - ending.size() + i])) != ending[i]) return false;
    return true;
}

std::string OpenPath(const std::string& sitePath, const std::string& stored) {
    const fs::path p(stored);
    if (p.is_absolute()) return p.lexically_normal().string();
    return (Folder(sitePath) / p).lexically_normal().string();
}

bool FloorFilesOf(const std::string& sitePath, const std::string& floorName, std::vector<std::string>& surveys,
                  std::string& projection, std::string& error) {
    Site site;
    if (!LoadSite(sitePath, site, error)) return false;
    const Floor* floor = site.FindFloor(floorName);
    if (!floor) {
        error = sitePath + ": " + NoSuchFloor(site, floorName);
        return false;
    }
    if (floor->surveys.empty()) {
        error = "floor \"" + floorName + "\" of " + sitePath + " is not surveyed: add a survey with quorl site add-survey.";
        return false;
    }
    surveys.clear();
    for (const std::string& s : floor->surveys) surveys.push_back(OpenPath(sitePath, s));
    projection = OpenPath(sitePath, floor->projection);
    return true;
}

std::vector<std::string> SiteFiles(const std::string& sitePath, const Site& site) {
    std::vector<std::string> files;
    for (const Floor& f : site.floors) {
        files.push_back(OpenPath(sitePath, f.projection));
        for (const std::string& s : f.surveys) files.push_back(OpenPath(sitePath, s));
    }
    return files;
}

}  // namespace quorl::site
