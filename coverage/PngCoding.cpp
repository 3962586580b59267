#include "coverage/PngCoding.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quorl::coverage {

namespace {

void Put32(QByteArray& out, std::uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void Chunk(QByteArray& out, const char type[4], const unsigned char* data, std::size_t size) {
    Put32(out, static_cast<std::uint32_t>(size));
    const qsizetype start = out.size();
    out.append(type, 4);
    if (size > 0) out.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(out.constData() + start),
                            static_cast<uInt>(out.size() - start));
    Put32(out, static_cast<std::uint32_t>(crc));
}

// Sum of the filtered bytes as signed distances from zero: the smaller, the
// better the row deflates (the usual PNG heuristic).
unsigned Cost(const std::uint8_t* row, std::size_t size) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += static_cast<unsigned>(std::abs(static_cast<std::int8_t>(row[i])));
    return sum;
}

}  // namespace

QByteArray EncodePng(const QImage& image) {
    if (image.isNull()) return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage source = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const int width = source.width(), height = source.height();
    const std::size_t channels = alpha ? 4 : 3, stride = channels * static_cast<std::size_t>(width);

    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    std::array<unsigned char, 13> header{};
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<unsigned char>(static_cast<std::uint32_t>(width) >> (24 - 8 * i));
        header[4 + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(height) >> (24 - 8 * i));
    }
    header[8] = 8;              // bits per channel
    header[9] = alpha ? 6 : 2;  // RGBA or RGB
    Chunk(out, "IHDR", header.data(), header.size());
    if (source.dotsPerMeterX() > 0 && source.dotsPerMeterY() > 0) {
        std::array<unsigned char, 9> phys{};
        for (int i = 0; i < 4; ++i) {
            phys[i] = static_cast<unsigned char>(static_cast<std::uint32_t>(source.dotsPerMeterX()) >> (24 - 8 * i));
            phys[4 + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(source.dotsPerMeterY()) >> (24 - 8 * i));
        }
        phys[8] = 1;  // metres
        Chunk(out, "pHYs", phys.data(), phys.size());
    }

    z_stream z{};
    // Level 2: on a 4000 x 3000 map a quarter of the time of the default
    // level for a file about a quarter larger.
    if (deflateInit2(&z, 2, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::vector<std::uint8_t> previous(stride, 0), current(stride), sub(stride + 1), up(stride + 1), deflated(1 << 17);
    QByteArray data;
    bool failed = false;
    auto pump = [&](const std::uint8_t* in, std::size_t size, int flush) {
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = static_cast<uInt>(size);
        for (;;) {
            z.next_out = deflated.data();
            z.avail_out = static_cast<uInt>(deflated.size());
            const int result = deflate(&z, flush);
            if (result == Z_STREAM_ERROR) failed = true;
            data.append(reinterpret_cast<const char*>(deflated.data()),
                        static_cast<qsizetype>(deflated.size() - z.avail_out));
            if (failed || (flush == Z_FINISH ? result == Z_STREAM_END : z.avail_out > 0)) break;
        }
    };
    for (int y = 0; y < height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        std::uint8_t* c = current.data();
        for (int x = 0; x < width; ++x) {
            *c++ = static_cast<std::uint8_t>(qRed(line[x]));
            *c++ = static_cast<std::uint8_t>(qGreen(line[x]));
            *c++ = static_cast<std::uint8_t>(qBlue(line[x]));
            if (alpha) *c++ = static_cast<std::uint8_t>(qAlpha(line[x]));
        }
        sub[0] = 1;
        up[0] = 2;
        for (std::size_t i = 0; i < stride; ++i) {
            sub[i + 1] = static_cast<std::uint8_t>(current[i] - (i >= channels ? current[i - channels] : 0));
            up[i + 1] = static_cast<std::uint8_t>(current[i] - previous[i]);
        }
        const std::vector<std::uint8_t>& chosen = Cost(up.data() + 1, stride) <= Cost(sub.data() + 1, stride) ? up : sub;
        pump(chosen.data(), chosen.size(), y + 1 == height ? Z_FINISH : Z_NO_FLUSH);
        previous.swap(current);
    }
    if (height == 0) pump(nullptr, 0, Z_FINISH);
    deflateEnd(&z);
    if (failed) return {};
    constexpr qsizetype kChunk = 1 << 20;
    for (qsizetype at = 0; at < data.size(); at += kChunk)
        Chunk(out, "IDAT", reinterpret_cast<const unsigned char*>(data.constData() + at),
              static_cast<std::size_t>(std::min(kChunk, data.size() - at)));
    Chunk(out, "IEND", nullptr, 0);
    return out;
}

}  // namespace quorl::coverage
