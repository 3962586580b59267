#pragma once
// The site file's text: JSON a user can read and edit by hand.
//
//   {
//     "format": "quorl-site",
//     "version": 1,
//     "name": "Head office",
//     "floors": [
//       {"name": "Ground", "level": 0, "height_m": 3.5,
//        "projection": "ground.lpf", "surveys": ["ground-am.ssd"]}
//     ],
//     "requirements": {"profile": ["voice"], "require": ["signal>=-67"], "area_pass": 95,
//                      "max_unsurveyed": 10}
//   }
//
// "floors", "level", "height_m", "surveys" and "requirements" may be left
// out. Keys this version does not know are kept as they were when the file
// is written again. A file of a newer version is refused, not guessed at.

#include <string>

#include "site/Site.h"

namespace quorl::site {

inline constexpr const char* kSiteFormatName = "quorl-site";
inline constexpr int kSiteFormatVersion = 1;

// False with `error` set (a sentence; for bad JSON with its line and
// column) when the text is not a site this version can use.
bool ParseSite(const std::string& text, Site& out, std::string& error);

// The site as indented JSON, ending in a newline.
std::string SiteText(const Site& site);

}  // namespace quorl::site
