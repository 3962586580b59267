#pragma once
// Turns the plan image file that loading a projection writes (a bitmap
// file: 14-byte file header, the offset of the pixel bits at byte 10, the
// bitmap information from byte 14) into the image the site view stretches
// over its client area. The file is read whole.

#include <QImage>
#include <cstdint>
#include <string>

namespace quorl {

// Files larger than this are refused before anything is read.
inline constexpr std::uint64_t kMaxPlanImageFileBytes = std::uint64_t{768} * 1024 * 1024;
// Largest decoded image accepted, in megabytes (32 bits per pixel).
inline constexpr int kMaxPlanImageMegabytes = 1024;

struct PlanImageFailure {
    int errorNumber = 0;  // errno, or EINVAL / EFBIG for what the bytes say
    std::string detail;   // what went wrong, with the path
};

// The image in a format that draws fast (32 bits per pixel, opaque); a
// null image with `failure` filled when none can be made.
QImage ReadPlanImage(const std::string& path, PlanImageFailure& failure);

}  // namespace quorl
