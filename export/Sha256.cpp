#include "export/Sha256.h"

namespace quorl::exports {

Sha256::Sha256() { sha256_init(&context_); }

void Sha256::Update(const void* data, std::size_t size) {
    sha256_update(&context_, size, static_cast<const std::uint8_t*>(data));
}

std::array<std::uint8_t, 32> Sha256::Finish() {
    std::array<std::uint8_t, 32> digest;
    sha256_digest(&context_, digest.size(), digest.data());  // also starts the context afresh
    return digest;
}

std::string Sha256::Hex(const std::array<std::uint8_t, 32>& digest) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t v : digest) {
        s.push_back(kHex[v >> 4]);
        s.push_back(kHex[v & 15]);
    }
    return s;
}

}  // namespace quorl::exports
