#include "survey/ProjectionFormat.h"

#include <cstring>

#include <cerrno>

#include "common/ByteOrder.h"
#include "survey/Compression.h"
#include "survey/FileHandle.h"

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

bool Inspect(const FileHandle& file, Inspection& out, std::string& why, int& errorNumber) {
    errorNumber = 0;
    const std::int64_t length = file.Length();
    if (length < 0) {
        errorNumber = errno;
        return false;
    }
    out.fileLength = static_cast<std::uint64_t>(length);
    const std::int64_t got = file.ReadAt(out.header.data(), out.header.size(), 0);
    if (got < 0) {
        errorNumber = errno;
        return false;
    }
    if (static_cast<std::size_t>(got) < kHeaderSize) {
        why = "it is shorter than its 141-byte header.";
        return false;
    }
    out.blockOffset = BlockOffset(out.header);
    std::uint8_t fields[8] = {};
    if (out.blockOffset + sizeof fields > out.fileLength) {
        why = "its plan image lies past the end of the file.";
        return false;
    }
    if (file.ReadAt(fields, sizeof fields, out.blockOffset) != static_cast<std::int64_t>(sizeof fields)) {
        errorNumber = errno != 0 ? errno : EIO;
        return false;
    }
    out.blockLength = ReadLe32(fields);
    out.decodedLength = ReadLe32(fields + 4);
    if (out.blockLength < CCompression::kBlockHeaderSize) {
        why = "its plan image block is shorter than the block's own header.";
        return false;
    }
    if (out.blockOffset + out.blockLength > out.fileLength) {
        why = "its plan image runs past the end of the file.";
        return false;
    }
    // N must be something the code bits can hold, give or take padding in
    // proportion, or a few bytes of file could ask for gigabytes of plan image.
    std::array<std::uint8_t, 1024> weightBytes{};
    if (file.ReadAt(weightBytes.data(), weightBytes.size(), out.blockOffset + 8) !=
        static_cast<std::int64_t>(weightBytes.size())) {
        errorNumber = errno != 0 ? errno : EIO;
        return false;
    }
    std::array<std::uint32_t, 256> weights{};
    for (int i = 0; i < 256; ++i) weights[i] = ReadLe32(weightBytes.data() + 4 * i);
    CCompression tree("", "");
    tree.SetWeights(weights);
    tree.BuildTree();
    if (!CCompression::PaddingInProportion(out.decodedLength,
                                           tree.MaxSymbols(out.blockLength - CCompression::kBlockHeaderSize))) {
        why = "its plan image claims more bytes than its code can hold.";
        return false;
    }
    if (out.header[kKindOffset] == 0 && !TransformOf(out.header).Invertible()) {
        why = "its transform between positions and the plan cannot be inverted.";
        return false;
    }
    return true;
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
