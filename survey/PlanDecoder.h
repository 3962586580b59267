#pragma once
// Table-driven decoding of the plan image code, bit-for-bit the same as the
// tree walk of CCompression::DecodeBits.
//
// Design: the next kTableBits code bits (least significant first) index a
// table built once per tree by walking it. An entry is one 32-bit word:
// every symbol whose code lies wholly inside those bits (up to three,
// copied out with one 32-bit store), how many there are and how many bits
// they take. The table is 32 KB, so it stays in the L1 cache. Skewed images (line drawings: long runs of one byte with a 1-bit
// code) thus decode several bytes per lookup, and the loop's critical path
// is one L1 load and one shift per entry. A code longer than the table
// resumes the plain walk at the inner node the table reached: weights from
// a file can make codes of hundreds of bits, and those stay correct, only
// slower. Input goes 64 bits at a time into a bit buffer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "survey/Compression.h"

namespace quorl {

class PlanDecoder {
public:
    static constexpr int kTableBits = 13;

    PlanDecoder(const std::array<CNode, CCompression::kNodeCount>& nodes, std::int16_t root);

    // Back to the start of a code stream.
    void Reset();

    struct Progress {
        std::size_t consumed = 0;  // input bytes taken (into the bit buffer)
        std::size_t produced = 0;  // output bytes written
    };
    // Decodes from `in` into at most `capacity` bytes of `out`. It stops
    // when the output is full or the input and buffered bits are used up; a
    // code cut by the end of the input is carried into the next call. Call
    // again with the unconsumed input (possibly none) while a call fills
    // all of its capacity.
    Progress Decode(const std::uint8_t* in, std::size_t size, std::uint8_t* out, std::size_t capacity);

private:
    // Entry layout: bits 0-5 bits taken (0 for a longer code), 6-7 symbol
    // count, 8-31 up to three symbols, or for a longer code the inner node
    // the table's bits reach.
    std::vector<std::uint32_t> table_;
    std::vector<std::int16_t> children_;  // node * 2 + bit
    std::vector<std::uint8_t> isLeaf_;
    std::vector<std::uint8_t> symbol_;
    std::int16_t root_;

    std::uint64_t bitBuffer_ = 0;
    unsigned bitCount_ = 0;
    std::int16_t node_ = -1;  // -1: the next code starts at the root
};

}  // namespace quorl
