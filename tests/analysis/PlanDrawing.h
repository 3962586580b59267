#pragma once
// Plans drawn by hand for the wall and access point tests: white paper,
// dark rectangles for walls and strokes, and the same image as a bitmap
// file.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "analysis/PlanPixels.h"

namespace quorl::test {

inline analysis::GreyImage Paper(int width, int height, std::uint8_t grey = 255) {
    analysis::GreyImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), grey);
    return image;
}

// Fills [x0, x1) x [y0, y1), clipped to the image.
inline void Fill(analysis::GreyImage& image, int x0, int y0, int x1, int y1, std::uint8_t grey = 0) {
    for (int y = std::max(0, y0); y < std::min(image.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(image.width, x1); ++x)
            image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                         static_cast<std::size_t>(x)] = grey;
}

inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v), b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A bitmap file of the image: 24 bits (grey in every channel) or 8 bits
// with a grey palette; bottom-up unless `topDown`.
inline std::vector<std::uint8_t> BitmapOf(const analysis::GreyImage& image, int bits, bool topDown = false) {
    const std::size_t palette = bits == 8 ? 256 * 4 : 0;
    const std::size_t stride = ((static_cast<std::size_t>(image.width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
    const std::size_t offset = 54 + palette;
    std::vector<std::uint8_t> b(offset + stride * static_cast<std::size_t>(image.height), 0);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    Put32(b, 10, static_cast<std::uint32_t>(offset));
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<std::uint32_t>(image.width));
    Put32(b, 22, static_cast<std::uint32_t>(topDown ? -image.height : image.height));
    Put16(b, 26, 1);
    Put16(b, 28, static_cast<unsigned>(bits));
    for (std::size_t i = 0; i < palette / 4; ++i)
        b[54 + 4 * i] = b[55 + 4 * i] = b[56 + 4 * i] = static_cast<std::uint8_t>(i);
    for (int y = 0; y < image.height; ++y) {
        const int fileRow = topDown ? y : image.height - 1 - y;
        std::uint8_t* row = &b[offset + stride * static_cast<std::size_t>(fileRow)];
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t g = image.At(x, y);
            if (bits == 8) row[x] = g;
            else row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = g;
        }
    }
    return b;
}

}  // namespace quorl::test
