#include "analysis/PlanSource.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "common/ByteOrder.h"
#include "common/UserMessages.h"
#include "survey/Compression.h"
#include "survey/FileHandle.h"
#include "survey/PlanDecoder.h"
#include "survey/ProjectionFormat.h"

namespace quorl::analysis {

bool BitmapSize(const std::vector<std::uint8_t>& bitmap, int& width, int& height) {
    if (bitmap.size() < 26 || bitmap[0] != 'B' || bitmap[1] != 'M') return false;
    const std::int32_t w = static_cast<std::int32_t>(ReadLe32(&bitmap[18]));
    const std::int32_t h = static_cast<std::int32_t>(ReadLe32(&bitmap[22]));
    // A negative height is a top-down bitmap.
    if (w <= 0 || h == 0 || h == INT32_MIN || w > 65535 || std::abs(h) > 65535) return false;
    width = w;
    height = std::abs(h);
    return true;
}

bool LoadPlanSource(const std::string& path, PlanSource& out, std::string& error) {
    out = PlanSource{};
    out.name = FileNameOf(path);
    FileHandle file = FileHandle::Open(path, O_RDONLY);
    if (!file.Valid()) {
        error = "cannot open " + path + ": " + SystemErrorText(errno);
        return false;
    }
    projection::Inspection place;
    std::string why;
    int errorNumber = 0;
    if (!projection::Inspect(file, place, why, errorNumber)) {
        error = errorNumber != 0 ? "cannot read " + path + ": " + SystemErrorText(errorNumber)
                                 : path + " cannot be used as a projection file: " + why;
        return false;
    }
    out.kind = place.header[projection::kKindOffset];
    out.transform = projection::TransformOf(place.header);
    if (place.decodedLength > kMaxPlanBitmapBytes) {
        error = path + " holds a plan image too large to analyse (" + std::to_string(place.decodedLength) + " bytes).";
        return false;
    }

    // The block is at most a little larger than the image it codes.
    std::vector<std::uint8_t> block(static_cast<std::size_t>(place.blockLength));
    if (file.ReadAt(block.data(), block.size(), place.blockOffset) != static_cast<std::int64_t>(block.size())) {
        error = "cannot read " + path + ": " + SystemErrorText(errno != 0 ? errno : EIO);
        return false;
    }
    std::array<std::uint32_t, 256> weights{};
    for (int i = 0; i < 256; ++i) weights[i] = ReadLe32(&block[8 + 4 * i]);
    CCompression tree{std::string(), std::string()};
    tree.SetWeights(weights);
    tree.BuildTree();
    PlanDecoder decoder(tree.Nodes(), tree.Root());
    out.bitmap.assign(place.decodedLength, 0);
    const std::size_t codeBytes = block.size() - CCompression::kBlockHeaderSize;
    const PlanDecoder::Progress p = decoder.Decode(block.data() + CCompression::kBlockHeaderSize, codeBytes,
                                                   out.bitmap.data(), out.bitmap.size());
    // Short of code: padded as the collector pads it, within the same proportion.
    if (p.produced < out.bitmap.size()) {
        if (!CCompression::PaddingInProportion(out.bitmap.size(), p.produced)) {
            error = path + " cannot be used as a projection file: its plan image claims more bytes than its code can hold.";
            return false;
        }
        const std::uint8_t pad = p.produced >= 2 ? out.bitmap[p.produced - 2] : 0;
        std::fill(out.bitmap.begin() + static_cast<std::ptrdiff_t>(p.produced), out.bitmap.end(), pad);
    }
    if (!BitmapSize(out.bitmap, out.width, out.height)) {
        error = path + " holds a plan image that is not a bitmap this program can read.";
        return false;
    }
    return true;
}

}  // namespace quorl::analysis
