#pragma once
// Bounded field reads from a message body: every byte at or past the end of
// the body reads as zero, so a short or lying record can never make a
// handler read outside what it was given.

#include <cstdint>

namespace quorl {

class ByteView {
public:
    ByteView(const std::uint8_t* data, std::uint32_t length) : data_(data), length_(data ? length : 0) {}

    std::uint32_t Length() const { return length_; }
    std::uint8_t At(std::uint32_t i) const { return i < length_ ? data_[i] : 0; }
    std::uint16_t Le16(std::uint32_t i) const {
        return static_cast<std::uint16_t>(At(i) | (At(i + 1) << 8));
    }
    std::uint32_t Be32(std::uint32_t i) const {
        return (static_cast<std::uint32_t>(At(i)) << 24) | (static_cast<std::uint32_t>(At(i + 1)) << 16) |
               (static_cast<std::uint32_t>(At(i + 2)) << 8) | static_cast<std::uint32_t>(At(i + 3));
    }
    std::uint16_t Be16(std::uint32_t i) const { return static_cast<std::uint16_t>((At(i) << 8) | At(i + 1)); }
    std::uint32_t Le32(std::uint32_t i) const {
        return static_cast<std::uint32_t>(Le16(i)) | (static_cast<std::uint32_t>(Le16(i + 2)) << 16);
    }
    // Copies n bytes from offset i, zero-filling past the end.
    void Copy(std::uint32_t i, std::uint32_t n, std::uint8_t* out) const {
        for (std::uint32_t k = 0; k < n; ++k) out[k] = At(i + k);
    }

private:
    const std::uint8_t* data_;
    std::uint32_t length_;
};

}  // namespace quorl
