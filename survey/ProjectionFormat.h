#pragma once
// The projection file layout: a 141-byte header (image block offset, kind,
// the transform as the first two rows of a 4 x 4 matrix of doubles from
// offset 13), then the image block wherever the header says.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "survey/AffineTransform.h"

namespace quorl {
class FileHandle;
}

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

// What a projection file says about itself, once checked.
struct Inspection {
    Header header{};
    std::uint64_t fileLength = 0;
    std::uint64_t blockOffset = 0;
    std::uint64_t blockLength = 0;    // L
    std::uint32_t decodedLength = 0;  // N
};

// Reads the header and the block's place and checks that the file can be
// used: a whole header, a block that lies within the file and is at least
// as long as its own header, a decoded length its code bits can hold, and
// for a GPS projection (kind 0) a transform that can be inverted. On failure `why` completes "cannot be used as a
// projection file: ..." and `errorNumber` is set when a read failed.
bool Inspect(const FileHandle& file, Inspection& out, std::string& why, int& errorNumber);

// A header with the block right after it (offset 141).
Header MakeHeader(std::uint8_t kind, const AffineTransform& transform);

// Header followed by the block.
std::vector<std::uint8_t> MakeFile(std::uint8_t kind, const AffineTransform& transform,
                                   const std::vector<std::uint8_t>& block);

}  // namespace quorl::projection
