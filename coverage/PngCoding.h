#pragma once
// PNG coding of the map pictures, tuned for speed: a plan with its coverage
// is mostly long runs and smooth ramps, which a quick deflate over rows
// filtered by their left or upper neighbour packs nearly as small as the
// slowest settings, in a fraction of the time.

#include <QByteArray>
#include <QImage>

namespace quorl::coverage {

// The whole PNG file of `image`: 8-bit RGB for an opaque picture, 8-bit RGBA
// where it has an alpha channel. Empty for a null image.
QByteArray EncodePng(const QImage& image);

}  // namespace quorl::coverage
