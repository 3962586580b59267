#pragma once
// Makes the compressed plan image block that projection files carry: the
// byte histogram as weights, the code tree from CCompression::BuildTree,
// and the code bits least significant bit first. What the companion tool
// uses to make projection files, and tests to make blocks of any shape.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorl {

// Weights: how often each byte value occurs (saturating at 2^32 - 1).
std::array<std::uint32_t, 256> ByteHistogram(const std::uint8_t* data, std::size_t size);

// Code bits of `data` with the tree built from `weights`; the last byte is
// filled up with zero bits.
std::vector<std::uint8_t> EncodeCodeBits(const std::array<std::uint32_t, 256>& weights,
                                         const std::uint8_t* data, std::size_t size);

// A whole block: L, N, the weights, the code bits. Nothing when the block
// or N would not fit their 32-bit fields.
std::optional<std::vector<std::uint8_t>> EncodePlanBlock(const std::uint8_t* data, std::size_t size);

// A block from given parts, without checking that they agree (for files
// that lie on purpose).
std::vector<std::uint8_t> AssemblePlanBlock(std::uint32_t declaredLength,
                                            const std::array<std::uint32_t, 256>& weights,
                                            const std::vector<std::uint8_t>& codeBits);

}  // namespace quorl
