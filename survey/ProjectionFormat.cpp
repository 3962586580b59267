#include "survey/ProjectionFormat.h"

#include <cstring>

#include "common/ByteOrder.h"

namespace quorl::projection {

std::uint32_t BlockOffset(const Header& header) { return ReadLe32(header.data()); }

AffineTransform TransformOf(const Header& header) {
    AffineTransform t;
    t.a = ReadLeDouble(header.data() + kOffsetA);
    t.b = ReadLeDouble(header.data() + kOffsetB);
    t.c = ReadLeDouble(header.data() + kOffsetC);
    t.d = ReadLeDouble(header.data() + kOffsetD);
    t.e = ReadLeDouble(header.data() + kOffsetE);
    t.f = ReadLeDouble(header.data() + kOffsetF);
    return t;
}

Header MakeHeader(std::uint8_t kind, const AffineTransform& transform) {
    Header h{};
    WriteLe32(h.data(), static_cast<std::uint32_t>(kHeaderSize));
    h[kKindOffset] = kind;
    WriteLeDouble(h.data() + kOffsetA, transform.a);
    WriteLeDouble(h.data() + kOffsetB, transform.b);
    WriteLeDouble(h.data() + kOffsetE, transform.e);
    WriteLeDouble(h.data() + kOffsetC, transform.c);
    WriteLeDouble(h.data() + kOffsetD, transform.d);
    WriteLeDouble(h.data() + kOffsetF, transform.f);
    // Rows 2 and 3 of the matrix complete it to an affine one; nothing reads them.
    WriteLeDouble(h.data() + 13 + 8 * 10, 1.0);
    WriteLeDouble(h.data() + 13 + 8 * 15, 1.0);
    return h;
}

std::vector<std::uint8_t> MakeFile(std::uint8_t kind, const AffineTransform& transform,
                                   const std::vector<std::uint8_t>& block) {
    const Header h = MakeHeader(kind, transform);
    std::vector<std::uint8_t> file(kHeaderSize + block.size());
    std::memcpy(file.data(), h.data(), kHeaderSize);
    if (!block.empty()) std::memcpy(file.data() + kHeaderSize, block.data(), block.size());
    return file;
}

}  // namespace quorl::projection
