#pragma once
// Table-driven decoding of the plan image code, bit-for-bit the same as the
// tree walk of CCompression::DecodeBits.
//
// Design: the next kTableBits code bits (least significant first) index a
// table built once per tree by walking it. An entry holds every symbol whose
// code lies wholly inside those bits (up to eight, stored as one 64-bit word
// so that they are copied out with one store), and how many bits they take.
// Skewed images (line drawings: long runs of one byte with a 1-bit code)
// thus decode several bytes per lookup. A code longer than the table
// resumes the plain walk at the inner node the table reached; weights from
// a file can make codes of hundreds of bits, and those stay correct, only
// slower. Input is taken 64 bits at a time into a bit buffer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "survey/Compression.h"

namespace quorl {

class PlanDecoder {
public:
    static constexpr int kTableBits = 11;

    PlanDecoder(const std::array<CNode, CCompression::kNodeCount>& nodes, std::int16_t root);

    // Back to the start of a code stream.
    void Reset();

    struct Progress {
        std::size_t consumed = 0;  // input bytes taken (into the bit buffer)
        std::size_t produced = 0;  // output bytes written
    };
    // Decodes from `in` into at most `capacity` bytes of `out`. It stops
    // when the output is full or the input is used up; a code cut by the end
    // of the input is carried into the next call. Call again with the
    // unconsumed input after a full output.
    Progress Decode(const std::uint8_t* in, std::size_t size, std::uint8_t* out, std::size_t capacity);

private:
    struct Entry {
        std::uint64_t symbols;   // first symbol in the low byte
        std::uint8_t count;      // whole codes in the table bits; 0: longer code
        std::uint8_t bits;       // bits those codes take (kTableBits when count is 0)
        std::uint8_t firstBits;  // bits of the first code
        std::uint8_t unused;
        std::int16_t node;       // count 0: the inner node reached
    };

    std::vector<Entry> table_;
    std::vector<std::int16_t> children_;  // node * 2 + bit
    std::vector<std::uint8_t> isLeaf_;
    std::vector<std::uint8_t> symbol_;
    std::int16_t root_;

    std::uint64_t bitBuffer_ = 0;
    unsigned bitCount_ = 0;
    std::int16_t node_ = -1;  // -1: the next code starts at the root
};

}  // namespace quorl
