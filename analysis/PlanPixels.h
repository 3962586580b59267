#pragma once
// The plan image as grey levels (0 black .. 255 white), read from the
// bitmap file a projection carries, for finding walls. Uncompressed 1, 4,
// 8, 24 and 32 bit bitmaps, bottom-up or top-down; anything else (or a
// file that lies about its sizes) gives nothing, and the caller goes on
// without walls.

#include <cstdint>
#include <optional>
#include <vector>

namespace quorl::analysis {

struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // row-major, top row first

    std::uint8_t At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

std::optional<GreyImage> BitmapGrey(const std::vector<std::uint8_t>& bitmap);

}  // namespace quorl::analysis
