#pragma once
// A projection file read for analysis, without writing anything beside it:
// the transform, the kind and the plan image decoded in memory (a bitmap
// file, as a projection load would write it), with the plan's size taken
// from the bitmap header.

#include <cstdint>
#include <string>
#include <vector>

#include "survey/AffineTransform.h"

namespace quorl::analysis {

struct PlanSource {
    std::string name;                // file name without directory
    std::uint8_t kind = 0;           // 0 GPS projection, 1 linear projection
    AffineTransform transform;
    std::vector<std::uint8_t> bitmap;  // the decoded plan image file
    int width = 0;                   // plan pixels
    int height = 0;
};

// Plan images larger than this (decoded) are refused.
inline constexpr std::uint32_t kMaxPlanBitmapBytes = 512u * 1024u * 1024u;

// False with `error` set (a complete sentence) when the file cannot be
// read, is not a usable projection file or its image is not a bitmap.
bool LoadPlanSource(const std::string& path, PlanSource& out, std::string& error);

// Width and height from a bitmap file's header; false when it is none.
bool BitmapSize(const std::vector<std::uint8_t>& bitmap, int& width, int& height);

}  // namespace quorl::analysis
