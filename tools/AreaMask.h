#pragma once
// `--area MASK.png` of check, heatmap and report: the part of the plan that
// counts, white in a picture of the plan's size (black does not count).

#include <string>

#include "tools/CoverageMaps.h"

namespace quorl::tools {

// Reads the mask into `loaded.area` (its plan must be loaded). False with
// `error` set for a file that is no picture, a picture of another size
// than the plan (checked before it is decoded), or one with no white pixel.
bool LoadAreaMask(const std::string& path, LoadedSurvey& loaded, std::string& error);

}  // namespace quorl::tools
