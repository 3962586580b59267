#include "survey/Compression.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "common/ByteOrder.h"
#include "survey/FileHandle.h"
#include "survey/PlanDecoder.h"

namespace quorl {

namespace {
constexpr std::size_t kSourceChunk = 256 * 1024;
}

CCompression::CCompression(std::string source, std::string destination)
    : source_(std::move(source)), destination_(std::move(destination)) {}

void CCompression::SetSourceRange(std::uint64_t offset, std::uint64_t length) {
    sourceOffset_ = offset;
    sourceLength_ = length;
}

void CCompression::SetWeights(const std::array<std::uint32_t, 256>& weights) {
    weights_.fill(0);
    std::copy(weights.begin(), weights.end(), weights_.begin());
}

void CCompression::BuildTree() {
    for (int i = 0; i < kNodeCount; ++i) {
        nodes_[i] = CNode();
        active_[i] = 0;
    }
    for (int i = 0; i < 256; ++i) {
        nodes_[i].leaf = 1;
        nodes_[i].symbol = static_cast<std::uint8_t>(i);
        nodes_[i].weight = weights_[i];
        active_[i] = 1;
    }
    int next = 256;
    for (;;) {
        // Two lightest active nodes; among equal weights the lower index wins.
        int m1 = -1, m2 = -1;
        for (int j = 0; j < kNodeCount - 1; ++j) {
            if (!active_[j]) continue;
            if (m1 < 0) {
                m1 = j;
            } else if (m2 < 0) {
                if (weights_[j] < weights_[m1]) {
                    m2 = m1;
                    m1 = j;
                } else {
                    m2 = j;
                }
            } else if (weights_[j] < weights_[m1]) {
                m2 = m1;
                m1 = j;
            } else if (weights_[j] < weights_[m2]) {
                m2 = j;
            }
        }
        if (m2 < 0) {
            root_ = static_cast<std::int16_t>(next - 1);
            return;
        }
        CNode& inner = nodes_[next];
        inner.left = static_cast<std::int16_t>(std::min(m1, m2));
        inner.right = static_cast<std::int16_t>(std::max(m1, m2));
        inner.weight = weights_[m1] + weights_[m2];  // wraps like the tool that made the file
        weights_[next] = inner.weight;
        nodes_[m1].parent = nodes_[m2].parent = static_cast<std::int16_t>(next);
        active_[m1] = active_[m2] = 0;
        active_[next] = 1;
        ++next;
    }
}

std::vector<std::uint8_t> CCompression::CodeOf(std::uint8_t symbol) const {
    std::vector<std::uint8_t> bits;
    for (int n = symbol; nodes_[n].parent >= 0; n = nodes_[n].parent)
        bits.push_back(nodes_[nodes_[n].parent].right == n ? 1 : 0);
    std::reverse(bits.begin(), bits.end());
    return bits;
}

int CCompression::ShortestCodeLength() const {
    int shortest = 0;
    for (int s = 0; s < 256; ++s) {
        int depth = 0;
        for (int n = s; nodes_[n].parent >= 0; n = nodes_[n].parent) ++depth;
        if (depth > 0 && (shortest == 0 || depth < shortest)) shortest = depth;
    }
    return shortest > 0 ? shortest : 1;
}

bool CCompression::PaddingInProportion(std::uint64_t declared, std::uint64_t bound) {
    if (declared <= bound) return true;
    return declared <= kMaxPaddedLength && declared - bound <= declared / 2;
}

std::uint64_t CCompression::MaxSymbols(std::uint64_t codeBytes) const {
    if (codeBytes > UINT64_MAX / 8) return UINT64_MAX;
    return codeBytes * 8 / static_cast<std::uint64_t>(ShortestCodeLength());
}

void CCompression::ResetDecodeState() {
    current_ = kNoNode;
    mask_ = 1;
}

bool CCompression::DecodeBits(std::uint8_t byte, int& remaining, std::uint8_t& symbol) {
    if (current_ == kNoNode) current_ = root_;
    while (remaining > 0) {
        const CNode& node = nodes_[current_];
        current_ = (byte & mask_) ? node.right : node.left;
        --remaining;
        mask_ = static_cast<std::uint8_t>(mask_ << 1);
        if (nodes_[current_].leaf) {
            symbol = nodes_[current_].symbol;
            current_ = kNoNode;
            if (remaining == 0) mask_ = 1;
            return true;
        }
    }
    mask_ = 1;
    return false;
}

std::vector<std::uint8_t> CCompression::WalkDecode(const std::uint8_t* code, std::size_t size,
                                                   std::uint64_t limit) {
    std::vector<std::uint8_t> out;
    ResetDecodeState();
    for (std::size_t i = 0; i < size && out.size() < limit; ++i) {
        int remaining = 8;
        std::uint8_t symbol = 0;
        while (remaining != 0 && out.size() < limit)
            if (DecodeBits(code[i], remaining, symbol)) out.push_back(symbol);
    }
    return out;
}

DecompressResult CCompression::Decompress() {
    DecompressResult result;
    FileHandle source = FileHandle::Open(source_, O_RDONLY);
    if (!source.Valid()) {
        result.sourceFailed = true;
        result.errorNumber = errno;
        return result;
    }
    FileHandle destination = FileHandle::Open(destination_, O_WRONLY | O_CREAT | O_TRUNC);
    if (!destination.Valid()) {
        result.destinationFailed = true;
        result.errorNumber = errno;
        return result;
    }

    const std::int64_t fileLength = source.Length();
    if (fileLength < 0) {
        result.sourceFailed = true;
        result.errorNumber = errno;
        return result;
    }
    // The block ends at the end of the file or of the range, whichever comes first.
    std::uint64_t available = 0;
    if (static_cast<std::uint64_t>(fileLength) > sourceOffset_)
        available = std::min<std::uint64_t>(static_cast<std::uint64_t>(fileLength) - sourceOffset_, sourceLength_);

    std::array<std::uint8_t, kBlockHeaderSize> header{};
    const std::int64_t got = source.ReadAt(header.data(), header.size(), sourceOffset_);
    if (got < 0) {
        result.sourceFailed = true;
        result.errorNumber = errno;
        return result;
    }
    if (static_cast<std::uint64_t>(got) < kBlockHeaderSize || available < kBlockHeaderSize) {
        result.shortHeader = true;
        return result;
    }
    result.declaredLength = ReadLe32(header.data() + 4);
    std::array<std::uint32_t, 256> weights{};
    for (int i = 0; i < 256; ++i) weights[i] = ReadLe32(header.data() + 8 + 4 * i);
    SetWeights(weights);
    BuildTree();
    ResetDecodeState();

    const std::uint64_t codeBytes = available - kBlockHeaderSize;
    std::uint64_t target = result.declaredLength;
    const std::uint64_t bound = MaxSymbols(codeBytes);
    if (!PaddingInProportion(target, bound)) {
        target = bound;
        result.capped = true;
    }

    PlanDecoder decoder(nodes_, root_);
    // No bigger than the code bits: most plans are far smaller than a chunk.
    const auto sourceChunk = static_cast<std::size_t>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(kSourceChunk, codeBytes)));
    auto input = std::make_unique_for_overwrite<std::uint8_t[]>(sourceChunk);
    auto output = std::make_unique_for_overwrite<std::uint8_t[]>(kOutputChunk);
    std::size_t filled = 0;
    std::uint64_t produced = 0;
    std::uint64_t written = 0;
    std::uint8_t last = 0, beforeLast = 0;

    auto flush = [&](std::size_t n) {
        if (!destination.WriteAt(output.get(), n, written)) return false;
        written += n;
        return true;
    };
    auto fail = [&]() {
        result.destinationFailed = true;
        result.errorNumber = errno;
        result.written = written;
        return result;
    };

    std::uint64_t position = 0;
    while (produced < target && position < codeBytes) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sourceChunk, codeBytes - position));
        const std::int64_t n = source.ReadAt(input.get(), want, sourceOffset_ + kBlockHeaderSize + position);
        if (n < 0) {
            result.sourceFailed = true;
            result.errorNumber = errno;
            break;
        }
        if (n == 0) break;  // the file shrank under us: what is there is all
        position += static_cast<std::uint64_t>(n);
        std::size_t used = 0;
        while (produced < target) {
            const std::size_t room = static_cast<std::size_t>(
                std::min<std::uint64_t>(kOutputChunk - filled, target - produced));
            const auto step = decoder.Decode(input.get() + used, static_cast<std::size_t>(n) - used,
                                             output.get() + filled, room);
            used += step.consumed;
            if (step.produced >= 2) {
                beforeLast = output[filled + step.produced - 2];
                last = output[filled + step.produced - 1];
            } else if (step.produced == 1) {
                beforeLast = last;
                last = output[filled];
            }
            filled += step.produced;
            produced += step.produced;
            if (filled == kOutputChunk) {
                if (!flush(filled)) return fail();
                filled = 0;
            }
            // The decoder stops short of the room only when its bits ran out.
            if (used == static_cast<std::size_t>(n) && step.produced < room) break;
        }
    }
    result.decoded = produced;

    // The bound above is what the code could hold at best; what it did
    // produce decides how much padding is honoured.
    if (produced < target && !result.sourceFailed && !PaddingInProportion(target, produced)) {
        target = produced;
        result.capped = true;
    }
    // Short of code bits: pad with the second-to-last byte produced (0 when
    // fewer than two were), in the same whole chunks.
    if (produced < target && !result.sourceFailed) {
        result.padded = true;
        const std::uint8_t pad = produced >= 2 ? beforeLast : 0;
        while (produced < target) {
            const std::size_t n = static_cast<std::size_t>(
                std::min<std::uint64_t>(kOutputChunk - filled, target - produced));
            std::fill_n(output.get() + filled, n, pad);
            filled += n;
            produced += n;
            if (filled == kOutputChunk) {
                if (!flush(filled)) return fail();
                filled = 0;
            }
        }
    }
    if (filled > 0 && !flush(filled)) return fail();
    result.written = written;
    result.ok = !result.sourceFailed && !result.capped;
    return result;
}

}  // namespace quorl
