#include "survey/PlanDecoder.h"

#include <cstring>

namespace quorl {

namespace {

constexpr std::uint64_t kTableMask = (std::uint64_t{1} << PlanDecoder::kTableBits) - 1;

inline std::uint64_t LoadLe64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

inline void StoreSymbols(std::uint8_t* p, std::uint64_t v) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    std::memcpy(p, &v, sizeof v);
}

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
        Entry e{};
        int node = root_;
        int used = 0;
        for (int b = 0; b < kTableBits; ++b) {
            node = children_[2 * node + ((v >> b) & 1)];
            if (isLeaf_[node]) {
                e.symbols |= std::uint64_t{symbol_[node]} << (8 * e.count);
                ++e.count;
                used = b + 1;
                if (e.count == 1) e.firstBits = static_cast<std::uint8_t>(used);
                node = root_;
                if (e.count == 8) break;
            }
        }
        if (e.count > 0) {
            e.bits = static_cast<std::uint8_t>(used);
            e.node = -1;
        } else {
            e.bits = kTableBits;
            e.node = static_cast<std::int16_t>(node);
        }
        table_[v] = e;
    }
}

void PlanDecoder::Reset() {
    bitBuffer_ = 0;
    bitCount_ = 0;
    node_ = -1;
}

PlanDecoder::Progress PlanDecoder::Decode(const std::uint8_t* in, std::size_t size, std::uint8_t* out,
                                          std::size_t capacity) {
    const std::uint8_t* p = in;
    const std::uint8_t* const end = in + size;
    std::uint8_t* o = out;
    std::uint8_t* const oend = out + capacity;
    std::uint64_t buffer = bitBuffer_;
    unsigned count = bitCount_;
    const Entry* const table = table_.data();

    for (;;) {
        // Refill. Whole 64-bit loads while 8 input bytes remain: the bits
        // above `count` are then the next input bytes, which later loads OR
        // in again at the same places.
        if (count < 56) {
            if (end - p >= 8) {
                buffer |= LoadLe64(p) << count;
                p += (63 - count) >> 3;
                count |= 56;
            } else {
                while (count <= 56 && p < end) {
                    buffer |= std::uint64_t{*p++} << count;
                    count += 8;
                }
            }
        }

        // Fast path: whole table entries while output room and bits allow.
        if (node_ < 0) {
            while (count >= kTableBits && oend - o >= 8) {
                const Entry& e = table[buffer & kTableMask];
                if (e.count == 0) break;
                StoreSymbols(o, e.symbols);
                o += e.count;
                buffer >>= e.bits;
                count -= e.bits;
            }
            // Only short of bits: refill and go on.
            if (count < kTableBits && p < end && oend - o >= 8) continue;
        }

        if (o == oend) break;
        if (count == 0) {
            if (p == end) break;
            continue;
        }

        // Slow path: one symbol, by the table's first code when a code
        // starts here and its bits are all present, else by the walk.
        if (node_ < 0 && count >= kTableBits) {
            const Entry& e = table[buffer & kTableMask];
            if (e.count != 0) {
                *o++ = static_cast<std::uint8_t>(e.symbols);
                buffer >>= e.firstBits;
                count -= e.firstBits;
                continue;
            }
            node_ = e.node;
            buffer >>= kTableBits;
            count -= kTableBits;
        }
        int node = node_ < 0 ? root_ : node_;
        bool done = false;
        while (count > 0) {
            node = children_[2 * node + (buffer & 1)];
            buffer >>= 1;
            --count;
            if (isLeaf_[node]) {
                *o++ = symbol_[node];
                done = true;
                break;
            }
        }
        node_ = done ? -1 : static_cast<std::int16_t>(node);
    }

    // Keep only the bits actually taken from the input.
    bitBuffer_ = count >= 64 ? buffer : (buffer & ((std::uint64_t{1} << count) - 1));
    bitCount_ = count;
    return Progress{static_cast<std::size_t>(p - in), static_cast<std::size_t>(o - out)};
}

}  // namespace quorl
