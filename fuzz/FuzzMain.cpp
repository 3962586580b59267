// The libFuzzer entry point of one harness, chosen at build time.

#include <cstddef>
#include <cstdint>

#include "fuzz/Harnesses.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return quorl::fuzz::QUORL_FUZZ_ENTRY(data, size);
}
