#pragma once
// The projection file layout: a 141-byte header (image block offset, kind,
// the transform as the first two rows of a 4 x 4 matrix of doubles from
// offset 13), then the image block wherever the header says.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "survey/AffineTransform.h"

namespace quorl::projection {

inline constexpr std::size_t kHeaderSize = 141;
inline constexpr std::size_t kKindOffset = 12;
inline constexpr std::size_t kOffsetA = 13;
inline constexpr std::size_t kOffsetB = 21;
inline constexpr std::size_t kOffsetE = 37;
inline constexpr std::size_t kOffsetC = 45;
inline constexpr std::size_t kOffsetD = 53;
inline constexpr std::size_t kOffsetF = 69;

using Header = std::array<std::uint8_t, kHeaderSize>;

std::uint32_t BlockOffset(const Header& header);
AffineTransform TransformOf(const Header& header);

// A header with the block right after it (offset 141).
Header MakeHeader(std::uint8_t kind, const AffineTransform& transform);

// Header followed by the block.
std::vector<std::uint8_t> MakeFile(std::uint8_t kind, const AffineTransform& transform,
                                   const std::vector<std::uint8_t>& block);

}  // namespace quorl::projection
