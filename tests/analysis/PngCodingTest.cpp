// The map pictures' own PNG coding, read back by Qt's decoder: every pixel
// as it was, for opaque and translucent pictures, odd sizes, flat runs and
// noise (which spreads the data over several IDAT chunks).

#include <gtest/gtest.h>

#include <QImage>
#include <random>

#include "coverage/PngCoding.h"

namespace {

QImage Picture(int width, int height, QImage::Format format, unsigned seed) {
    QImage image(width, height, format);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Left half flat (long runs), right half noise.
            const QRgb noise = random() | (format == QImage::Format_ARGB32 ? 0u : 0xff000000u);
            image.setPixel(x, y, x < width / 2 ? qRgba(250, 250, 250, 255) : noise);
        }
    return image;
}

}  // namespace

TEST(PngCoding, ReadsBackPixelForPixel) {
    struct Case {
        int width, height;
        QImage::Format format;
    };
    for (const Case& c : {Case{1, 1, QImage::Format_RGB32}, Case{3, 2, QImage::Format_RGB32},
                          Case{257, 5, QImage::Format_ARGB32}, Case{1, 40, QImage::Format_ARGB32},
                          Case{1400, 500, QImage::Format_RGB32}, Case{5, 7, QImage::Format_ARGB32_Premultiplied}}) {
        const bool premultiplied = c.format == QImage::Format_ARGB32_Premultiplied;
        QImage source = Picture(c.width, c.height, premultiplied ? QImage::Format_ARGB32 : c.format, 7);
        if (premultiplied) {
            source.fill(qRgba(0, 0, 0, 0));
            source.setPixel(2, 3, qRgba(10, 200, 30, 255));
            source = source.convertToFormat(c.format);
        }
        const QByteArray png = quorl::coverage::EncodePng(source);
        const QImage back = QImage::fromData(png, "PNG");
        ASSERT_FALSE(back.isNull()) << c.width << "x" << c.height;
        EXPECT_EQ(back.hasAlphaChannel(), source.hasAlphaChannel());
        const QImage want = source.convertToFormat(QImage::Format_ARGB32);
        const QImage got = back.convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(got.size(), want.size());
        int differing = 0;
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x) differing += got.pixel(x, y) != want.pixel(x, y);
        EXPECT_EQ(differing, 0) << c.width << "x" << c.height << " format " << c.format;
    }
    EXPECT_TRUE(quorl::coverage::EncodePng(QImage()).isEmpty());
}
