#pragma once
// PixelCanvas: writes straight into a 32-bit image, for the marks a paint
// repeats thousands of times. Through the painter a dashed one-pixel line
// costs tens of nanoseconds a pixel in the stroker and a marker a blend of
// its whole square; here a line is a Bresenham walk and a marker a copy of
// its opaque row spans. Coordinates are device pixels; everything is cut at the image's
// edges, whatever the coordinates.

#include <QImage>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorl {

// The opaque pixels of a picture, as spans of consecutive pixels in a row
// relative to its top-left corner, with their pixel values.
struct OpaqueSpans {
    struct Span {
        int dy = 0;
        int dx = 0;
        int length = 0;
        std::size_t first = 0;  // index of the span's first pixel in `pixels`
    };
    std::vector<Span> spans;
    std::vector<std::uint32_t> pixels;
};

// Nothing when the picture is not premultiplied 32-bit or some pixel is
// partly transparent (it would need blending).
std::optional<OpaqueSpans> OpaqueSpansOf(const QImage& picture);

class PixelCanvas {
public:
    // The dash pattern of the dashed pen: four pixels on, two off.
    static constexpr int kDashOn = 4;
    static constexpr int kDashPeriod = 6;

    // Invalid unless `image` is RGB32 or ARGB32_Premultiplied. The image
    // must outlive the canvas and keep its size.
    explicit PixelCanvas(QImage& image);
    bool Valid() const { return bits_ != nullptr; }

    // `picture` with its top-left corner at (x, y).
    void Copy(const OpaqueSpans& picture, int x, int y);
    // From a to b, both ends included, the pattern starting at a.
    void DashedLine(int x0, int y0, int x1, int y1, QRgb colour);

private:
    uchar* bits_ = nullptr;
    qsizetype stride_ = 0;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace quorl
