#pragma once
// SHA-256 (FIPS 180-4): the content hash that tells a survey already in the
// database from a new one.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorl::exports {

class Sha256 {
public:
    Sha256();
    void Update(const void* data, std::size_t size);
    std::array<std::uint8_t, 32> Finish();
    // Lower-case hex of a digest.
    static std::string Hex(const std::array<std::uint8_t, 32>& digest);

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t length_ = 0;
};

}  // namespace quorl::exports
