#pragma once
// Reading and writing a site file (NAME.qsite), and the paths it holds.
// Paths are stored relative to the site file's folder wherever they can
// be, so a folder copied elsewhere keeps working; a path given to open is
// the stored one joined to the folder the site file is in.

#include <string>
#include <vector>

#include "site/Site.h"

namespace quorl::site {

// Site files larger than this are refused unread.
inline constexpr std::size_t kMaxSiteFileBytes = 4u * 1024u * 1024u;

// False with `error` set (a sentence naming the file) when the file cannot
// be read or is not a site this version can use.
bool LoadSite(const std::string& sitePath, Site& out, std::string& error);

// Writes the site whole through the output helper (a temporary renamed
// over it; never through a link, never over one of the site's own
// projections or surveys). False with `error` set; nothing is written.
bool SaveSite(const std::string& sitePath, const Site& site, std::string& error);

// `path` (as the user gave it, relative to the working folder) as the
// site file at `sitePath` stores it.
std::string StoredPath(const std::string& sitePath, const std::string& path);

// True for a path naming a site file (ending in .qsite, any case), which
// the analysing commands take in place of surveys and a projection.
bool IsSitePath(const std::string& path);

// A stored path as a path to open from the working folder.
std::string OpenPath(const std::string& sitePath, const std::string& stored);

// The files of floor `floorName` of the site at `sitePath`, as paths to
// open. False with `error` set for a site that cannot be read, a floor it
// does not have (the floors there are named) and a floor with no survey.
bool FloorFilesOf(const std::string& sitePath, const std::string& floorName, std::vector<std::string>& surveys,
                  std::string& projection, std::string& error);

// Every projection and survey of the site, as paths to open.
std::vector<std::string> SiteFiles(const std::string& sitePath, const Site& site);

}  // namespace quorl::site
