#include "link/FrameCodec.h"

#include "link/Protocol.h"

namespace quorl {

namespace {

// Writes b, and the literal marker after a lead byte.
template <typename Put>
void PutEscaped(std::uint8_t b, Put&& put) {
    put(b);
    if (b == kFrameLead) put(kFrameLiteralLead);
}

template <typename Put>
void EncodeInto(std::uint8_t type, const std::uint8_t* data, std::uint32_t length, std::uint8_t trailer,
                Put&& put) {
    put(kFrameLead);
    put(kFrameStart);
    PutEscaped(type, put);
    for (std::uint32_t i = 0; i < length; ++i) PutEscaped(data[i], put);
    PutEscaped(trailer, put);
    put(kFrameLead);
    put(kFrameEnd);
}

}  // namespace

std::size_t EncodeFrame(std::uint8_t type, const std::uint8_t* data, std::uint32_t length,
                        std::uint8_t trailer, std::uint8_t* out, std::size_t capacity) {
    if (length > 0 && data == nullptr) return 0;
    std::size_t n = 0;
    bool overflow = false;
    EncodeInto(type, data, length, trailer, [&](std::uint8_t b) {
        if (n < capacity) out[n++] = b;
        else overflow = true;
    });
    return overflow ? 0 : n;
}

std::size_t EncodeCommand(std::uint8_t type, const std::uint8_t* data, std::uint32_t length,
                          std::array<std::uint8_t, kCommandFrameSize>& out) {
    if (length > kMaxCommandData) return 0;
    return EncodeFrame(type, data, length, kCommandTrailer, out.data(), out.size());
}

std::uint8_t FrameCheckByte(std::uint8_t type, const std::uint8_t* data, std::uint32_t length) {
    std::uint8_t x = type;
    for (std::uint32_t i = 0; i < length; ++i) x ^= data[i];
    return x;
}

void AppendMessage(std::uint8_t type, const std::uint8_t* data, std::uint32_t length,
                   std::vector<std::uint8_t>& out) {
    if (length > 0 && data == nullptr) return;
    EncodeInto(type, data, length, FrameCheckByte(type, data, length),
               [&](std::uint8_t b) { out.push_back(b); });
}

std::vector<std::uint8_t> EncodeMessage(std::uint8_t type, const std::uint8_t* data, std::uint32_t length) {
    std::vector<std::uint8_t> out;
    out.reserve(MaxEncodedSize(length));
    AppendMessage(type, data, length, out);
    return out;
}

bool FrameCheckPasses(std::uint8_t type, const std::uint8_t* body, std::uint32_t length) {
    return FrameCheckByte(type, body, length) == 0;
}

}  // namespace quorl
