#include "survey/PlanEncoder.h"

#include "common/ByteOrder.h"
#include "survey/Compression.h"

namespace quorl {

std::array<std::uint32_t, 256> ByteHistogram(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint64_t, 256> counts{};
    for (std::size_t i = 0; i < size; ++i) ++counts[data[i]];
    std::array<std::uint32_t, 256> weights{};
    for (int i = 0; i < 256; ++i)
        weights[i] = counts[i] > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(counts[i]);
    return weights;
}

std::vector<std::uint8_t> EncodeCodeBits(const std::array<std::uint32_t, 256>& weights,
                                         const std::uint8_t* data, std::size_t size) {
    CCompression tree("", "");
    tree.SetWeights(weights);
    tree.BuildTree();
    // Codes can be hundreds of bits long; each is kept as its bit string.
    std::array<std::vector<std::uint8_t>, 256> codes;
    for (int s = 0; s < 256; ++s) codes[s] = tree.CodeOf(static_cast<std::uint8_t>(s));

    std::vector<std::uint8_t> out;
    out.reserve(size / 2 + 16);
    std::uint64_t accumulator = 0;
    unsigned bits = 0;
    for (std::size_t i = 0; i < size; ++i) {
        for (std::uint8_t bit : codes[data[i]]) {
            accumulator |= std::uint64_t{bit} << bits;
            if (++bits == 64) {
                for (int k = 0; k < 8; ++k) out.push_back(static_cast<std::uint8_t>(accumulator >> (8 * k)));
                accumulator = 0;
                bits = 0;
            }
        }
    }
    for (unsigned k = 0; k * 8 < bits; ++k) out.push_back(static_cast<std::uint8_t>(accumulator >> (8 * k)));
    return out;
}

std::vector<std::uint8_t> AssemblePlanBlock(std::uint32_t declaredLength,
                                            const std::array<std::uint32_t, 256>& weights,
                                            const std::vector<std::uint8_t>& codeBits) {
    std::vector<std::uint8_t> block(CCompression::kBlockHeaderSize + codeBits.size());
    WriteLe32(block.data(), static_cast<std::uint32_t>(block.size()));
    WriteLe32(block.data() + 4, declaredLength);
    for (int i = 0; i < 256; ++i) WriteLe32(block.data() + 8 + 4 * i, weights[i]);
    std::copy(codeBits.begin(), codeBits.end(), block.begin() + CCompression::kBlockHeaderSize);
    return block;
}

std::optional<std::vector<std::uint8_t>> EncodePlanBlock(const std::uint8_t* data, std::size_t size) {
    if (size > UINT32_MAX) return std::nullopt;
    const auto weights = ByteHistogram(data, size);
    const auto code = EncodeCodeBits(weights, data, size);
    if (code.size() > UINT32_MAX - CCompression::kBlockHeaderSize) return std::nullopt;
    return AssemblePlanBlock(static_cast<std::uint32_t>(size), weights, code);
}

}  // namespace quorl
