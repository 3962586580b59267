#include "siteview/PixelCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quorl {

std::optional<OpaqueSpans> OpaqueSpansOf(const QImage& picture) {
    if (picture.format() != QImage::Format_ARGB32_Premultiplied) return std::nullopt;
    OpaqueSpans result;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width();) {
            const int alpha = qAlpha(line[x]);
            if (alpha == 0) {
                ++x;
                continue;
            }
            if (alpha != 255) return std::nullopt;
            int end = x + 1;
            while (end < picture.width() && qAlpha(line[end]) == 255) ++end;
            result.spans.push_back(OpaqueSpans::Span{y, x, end - x, result.pixels.size()});
            result.pixels.insert(result.pixels.end(), line + x, line + end);
            x = end;
        }
    }
    return result;
}

PixelCanvas::PixelCanvas(QImage& image) {
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied) return;
    if (image.isNull()) return;
    bits_ = image.bits();
    stride_ = image.bytesPerLine();
    width_ = image.width();
    height_ = image.height();
}

void PixelCanvas::Copy(const OpaqueSpans& picture, int x, int y) {
    if (!bits_) return;
    for (const OpaqueSpans::Span& span : picture.spans) {
        const std::int64_t py = std::int64_t{y} + span.dy;
        if (py < 0 || py >= height_) continue;
        const std::int64_t left = std::int64_t{x} + span.dx;
        const std::int64_t from = std::max<std::int64_t>(left, 0);
        const std::int64_t to = std::min<std::int64_t>(left + span.length, width_);
        if (from >= to) continue;
        auto* line = reinterpret_cast<std::uint32_t*>(bits_ + py * stride_);
        std::copy_n(picture.pixels.data() + span.first + (from - left), to - from, line + from);
    }
}

void PixelCanvas::DashedLine(int x0, int y0, int x1, int y1, QRgb colour) {
    if (!bits_) return;
    const std::int64_t dx = std::int64_t{x1} - x0;
    const std::int64_t dy = std::int64_t{y1} - y0;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = xMajor ? std::llabs(dx) : std::llabs(dy);
    const std::int64_t minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const int stepX = dx < 0 ? -1 : 1;
    const int stepY = dy < 0 ? -1 : 1;

    // The steps that can land in the image, from the straight line with a
    // pixel to spare each way.
    double first = 0;
    double last = static_cast<double>(major);
    auto keep = [&](double start, double perStep, double size) {
        if (perStep == 0) {
            if (start < -1 || start > size) last = -1;
            return;
        }
        double a = (-2 - start) / perStep;
        double b = (size + 1 - start) / perStep;
        if (a > b) std::swap(a, b);
        first = std::max(first, std::floor(a));
        last = std::min(last, std::ceil(b));
    };
    const double steps = major == 0 ? 1.0 : static_cast<double>(major);
    keep(x0, static_cast<double>(dx) / steps, width_);
    keep(y0, static_cast<double>(dy) / steps, height_);
    if (first > last) return;
    auto begin = static_cast<std::int64_t>(first);
    auto end = static_cast<std::int64_t>(last);

    // Pixel i lies i steps along the major axis and i x minor / major,
    // rounded half up, along the other. Ends near the 32-bit limits take
    // the product past 64 bits.
    const std::int64_t twiceMajor = 2 * major;
    auto numerator = [&](std::int64_t i) { return static_cast<__int128>(2 * i) * minor + major; };
    auto across = [&](std::int64_t i) {
        return major == 0 ? std::int64_t{0} : static_cast<std::int64_t>(numerator(i) / twiceMajor);
    };
    auto xAt = [&](std::int64_t i) { return xMajor ? x0 + stepX * i : x0 + stepX * across(i); };
    auto yAt = [&](std::int64_t i) { return xMajor ? y0 + stepY * across(i) : y0 + stepY * i; };
    auto inside = [&](std::int64_t i) {
        const std::int64_t x = xAt(i);
        const std::int64_t y = yAt(i);
        return x >= 0 && x < width_ && y >= 0 && y < height_;
    };
    // Both coordinates move one way only, so every pixel between two inside
    // the image is inside too: with the ends trimmed, none needs a check.
    while (begin <= end && !inside(begin)) ++begin;
    while (end >= begin && !inside(end)) --end;
    if (begin > end) return;

    const std::int64_t rowStep = stride_ / static_cast<qsizetype>(sizeof(std::uint32_t));
    const std::int64_t majorStep = xMajor ? stepX : stepY * rowStep;
    const std::int64_t minorStep = xMajor ? stepY * rowStep : stepX;
    auto* const base = reinterpret_cast<std::uint32_t*>(bits_);
    std::int64_t offset = yAt(begin) * rowStep + xAt(begin);
    std::int64_t remainder = major == 0 ? 0 : static_cast<std::int64_t>(numerator(begin) % twiceMajor);
    const auto pixel = static_cast<std::uint32_t>(colour | 0xFF000000u);
    int phase = static_cast<int>(begin % kDashPeriod);
    for (std::int64_t n = end - begin; n >= 0; --n) {
        if (phase < kDashOn) base[offset] = pixel;
        if (++phase == kDashPeriod) phase = 0;
        offset += majorStep;
        remainder += 2 * minor;
        if (remainder >= twiceMajor) {
            remainder -= twiceMajor;
            offset += minorStep;
        }
    }
}

}  // namespace quorl
