#include "survey/PlanDecoder.h"

#include <cstring>

namespace quorl {

namespace {

constexpr std::uint64_t kTableMask = (std::uint64_t{1} << PlanDecoder::kTableBits) - 1;
constexpr int kMaxSymbolsPerEntry = 3;

inline std::uint64_t LoadLe64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// Writes four bytes: the entry's symbols and one byte the next store overwrites.
inline void StoreSymbols(std::uint8_t* p, std::uint32_t entry) {
    std::uint32_t v = entry >> 8;
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    std::memcpy(p, &v, sizeof v);
}

// Bits in the low six: a shift by the entry itself then needs no masking.
inline unsigned EntryBits(std::uint32_t e) { return e & 63; }
inline unsigned EntryCount(std::uint32_t e) { return (e >> 6) & 3; }
inline std::int16_t EntryNode(std::uint32_t e) { return static_cast<std::int16_t>(e >> 8); }

}  // namespace

PlanDecoder::PlanDecoder(const std::array<CNode, CCompression::kNodeCount>& nodes, std::int16_t root)
    : table_(std::size_t{1} << kTableBits),
      children_(2 * CCompression::kNodeCount, -1),
      isLeaf_(CCompression::kNodeCount, 0),
      symbol_(CCompression::kNodeCount, 0),
      root_(root) {
    for (int i = 0; i < CCompression::kNodeCount; ++i) {
        // A missing child (only in a tree that was never built) points back
        // to the root so that no walk can leave the arrays.
        children_[2 * i] = nodes[i].left >= 0 ? nodes[i].left : root;
        children_[2 * i + 1] = nodes[i].right >= 0 ? nodes[i].right : root;
        isLeaf_[i] = nodes[i].leaf;
        symbol_[i] = nodes[i].symbol;
    }
    for (std::uint32_t v = 0; v < table_.size(); ++v) {
        std::uint32_t symbols = 0;
        unsigned count = 0, used = 0;
        int node = root_;
        for (int b = 0; b < kTableBits && count < kMaxSymbolsPerEntry; ++b) {
            node = children_[2 * node + ((v >> b) & 1)];
            if (isLeaf_[node]) {
                symbols |= std::uint32_t{symbol_[node]} << (8 * count);
                ++count;
                used = static_cast<unsigned>(b + 1);
                node = root_;
            }
        }
        // A longer code takes no bits here: the slow path consumes the
        // table's bits and walks on from `node`.
        table_[v] = count > 0 ? (symbols << 8) | (count << 6) | used : static_cast<std::uint32_t>(node) << 8;
    }
}

void PlanDecoder::Reset() {
    bitBuffer_ = 0;
    bitCount_ = 0;
    node_ = -1;
}

PlanDecoder::Progress PlanDecoder::Decode(const std::uint8_t* in, std::size_t size, std::uint8_t* out,
                                          std::size_t capacity) {
    // Everything in locals: the output stores could otherwise alias the
    // members and force reloads inside the loops.
    const std::uint8_t* p = in;
    const std::uint8_t* const end = in + size;
    std::uint8_t* o = out;
    std::uint8_t* const oend = out + capacity;
    std::uint64_t buffer = bitBuffer_;
    unsigned count = bitCount_;
    int pending = node_;  // inner node of a code cut short, or -1
    const std::uint32_t* const table = table_.data();
    const std::int16_t* const children = children_.data();
    const std::uint8_t* const isLeaf = isLeaf_.data();
    const std::uint8_t* const symbol = symbol_.data();

    for (;;) {
        // Fast path. Each refill leaves at least 56 bits, enough for four
        // lookups of at most 13; each lookup advances at most 3 bytes and
        // stores 4. The
        // bits above `count` are the next input bytes, which the following
        // load ORs in again at the same places.
        if (pending < 0) {
            while (end - p >= 8 && oend - o >= 4 * kMaxSymbolsPerEntry + 1) {
                buffer |= LoadLe64(p) << count;
                p += (63 - count) >> 3;
                count |= 56;
                std::uint32_t e = table[buffer & kTableMask];
                if (EntryCount(e) == 0) break;
                // A longer-code entry met below takes no bits and adds no
                // bytes; the next round's check sends it to the slow path.
#pragma GCC unroll 4
                for (int k = 0; k < 4; ++k) {
                    StoreSymbols(o, e);
                    o += EntryCount(e);
                    buffer >>= EntryBits(e);
                    count -= EntryBits(e);
                    e = table[buffer & kTableMask];
                }
            }
        }

        // Slow path: one symbol or one long code at a time, near the ends
        // of the input and output and for codes longer than the table.
        if (o == oend) break;
        // At most 56 bits: the fast path's shift by `count` must stay below 64.
        while (count <= 48 && p < end) {
            buffer |= std::uint64_t{*p++} << count;
            count += 8;
        }
        if (count == 0) break;
        if (pending < 0 && count >= static_cast<unsigned>(kTableBits)) {
            const std::uint32_t e = table[buffer & kTableMask];
            if (EntryCount(e) == 0) {
                pending = EntryNode(e);
                buffer >>= kTableBits;
                count -= kTableBits;
            }
        }
        int node = pending < 0 ? root_ : pending;
        pending = -1;
        while (count > 0) {
            node = children[2 * node + (buffer & 1)];
            buffer >>= 1;
            --count;
            if (isLeaf[node]) {
                *o++ = symbol[node];
                node = -1;
                break;
            }
        }
        pending = node;
        if (pending >= 0 && p == end) break;  // a code cut by the end of the input
    }

    // Keep only the bits actually taken from the input.
    bitBuffer_ = count >= 64 ? buffer : (buffer & ((std::uint64_t{1} << count) - 1));
    bitCount_ = count;
    node_ = static_cast<std::int16_t>(pending);
    return Progress{static_cast<std::size_t>(p - in), static_cast<std::size_t>(o - out)};
}

}  // namespace quorl
