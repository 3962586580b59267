#include "analysis/PlanPixels.h"

#include <cstdlib>

#include "common/ByteOrder.h"

namespace quorl::analysis {

namespace {

std::uint8_t Grey(unsigned r, unsigned g, unsigned b) {
    return static_cast<std::uint8_t>((r * 77 + g * 150 + b * 29) >> 8);
}

}  // namespace

std::optional<GreyImage> BitmapGrey(const std::vector<std::uint8_t>& bmp) {
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M') return std::nullopt;
    const std::uint32_t dataOffset = ReadLe32(&bmp[10]);
    const std::uint32_t headerSize = ReadLe32(&bmp[14]);
    const auto w = static_cast<std::int32_t>(ReadLe32(&bmp[18]));
    const auto h = static_cast<std::int32_t>(ReadLe32(&bmp[22]));
    const unsigned bits = ReadLe16(&bmp[28]);
    const std::uint32_t compression = ReadLe32(&bmp[30]);
    // Bit fields (3) on 32-bit images keep the usual byte order in practice.
    if (headerSize < 40 || (compression != 0 && !(compression == 3 && bits == 32))) return std::nullopt;
    if (w <= 0 || h == 0 || h == INT32_MIN || w > 65535 || std::abs(h) > 65535) return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;
    const int width = w, height = std::abs(h);
    const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    if (dataOffset > bmp.size() || stride * static_cast<std::size_t>(height) > bmp.size() - dataOffset)
        return std::nullopt;

    std::uint8_t palette[256];
    if (bits <= 8) {
        std::uint32_t colours = ReadLe32(&bmp[46]);
        if (colours == 0 || colours > (1u << bits)) colours = 1u << bits;
        const std::size_t at = 14 + headerSize;
        if (at > dataOffset || (dataOffset - at) / 4 < colours) return std::nullopt;
        for (std::uint32_t i = 0; i < 256; ++i) palette[i] = 0;
        for (std::uint32_t i = 0; i < colours; ++i)
            palette[i] = Grey(bmp[at + 4 * i + 2], bmp[at + 4 * i + 1], bmp[at + 4 * i]);
    }

    GreyImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const int fileRow = h > 0 ? height - 1 - y : y;
        const std::uint8_t* row = &bmp[dataOffset + stride * static_cast<std::size_t>(fileRow)];
        std::uint8_t* out = &image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)];
        for (int x = 0; x < width; ++x) {
            switch (bits) {
            case 1: out[x] = palette[(row[x / 8] >> (7 - x % 8)) & 1]; break;
            case 4: out[x] = palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 15]; break;
            case 8: out[x] = palette[row[x]]; break;
            case 24: out[x] = Grey(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            default: out[x] = Grey(row[4 * x + 2], row[4 * x + 1], row[4 * x]); break;
            }
        }
    }
    return image;
}

}  // namespace quorl::analysis
