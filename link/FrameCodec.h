#pragma once
// Encoding of outgoing frames and the check of incoming ones. Both sides of
// the link use the same encoder: the program's commands carry the trailer
// 0x00, the unit's messages a check byte that makes the exclusive-or of type,
// data and trailer zero.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorl {

inline constexpr std::size_t kCommandFrameSize = 128;
inline constexpr std::size_t kMaxCommandData = 60;
inline constexpr std::uint8_t kCommandTrailer = 0x00;

// Largest encoded size of a frame with `dataLength` data bytes.
constexpr std::size_t MaxEncodedSize(std::size_t dataLength) { return 2 + 2 + 2 * (dataLength + 1) + 2; }

// Encodes one frame into `out`. Returns the number of bytes written, or 0
// (nothing usable written) when it would not fit in `capacity`.
std::size_t EncodeFrame(std::uint8_t type, const std::uint8_t* data, std::uint32_t length,
                        std::uint8_t trailer, std::uint8_t* out, std::size_t capacity);

// A command frame in the 128-byte command buffer; 0 when more than 60 data
// bytes are asked for.
std::size_t EncodeCommand(std::uint8_t type, const std::uint8_t* data, std::uint32_t length,
                          std::array<std::uint8_t, kCommandFrameSize>& out);

// The check byte of a unit message: exclusive-or of the type and the data.
std::uint8_t FrameCheckByte(std::uint8_t type, const std::uint8_t* data, std::uint32_t length);

// A unit message with its check byte, appended to `out` (which keeps its
// capacity, so a reused vector does not allocate).
void AppendMessage(std::uint8_t type, const std::uint8_t* data, std::uint32_t length,
                   std::vector<std::uint8_t>& out);
std::vector<std::uint8_t> EncodeMessage(std::uint8_t type, const std::uint8_t* data, std::uint32_t length);

// The incoming check: the exclusive-or of the type and the `length` body
// bytes (data and check byte) is zero.
bool FrameCheckPasses(std::uint8_t type, const std::uint8_t* body, std::uint32_t length);

}  // namespace quorl
