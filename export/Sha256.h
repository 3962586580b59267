#pragma once
// SHA-256: the content hash that tells a survey already in the database
// from a new one. Nettle does the hashing (with the processor's SHA
// instructions where there are any); this keeps its C interface out of the
// callers.

#include <nettle/sha2.h>

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
    sha256_ctx context_;
};

}  // namespace quorl::exports
