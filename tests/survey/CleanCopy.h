#pragma once
// What a collection the collector keeps must be, checked by count arithmetic
// alone (no plausibility): its groups chain by their stored counts to its
// very end, and a clean copy made of a damaged file holds only groups found,
// in order, in the damaged bytes.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "common/ByteOrder.h"

namespace quorl::test {

using GroupSpans = std::vector<std::pair<std::uint64_t, std::uint64_t>>;  // offset, length

// The groups of a file by its stored counts (records of the sizes given,
// from `first`), or nothing when they do not end exactly at its end.
inline std::optional<GroupSpans> GroupsByCounts(const std::vector<std::uint8_t>& f, std::uint64_t first = 33,
                                                std::uint64_t pointSize = 36, std::uint64_t apSize = 46) {
    GroupSpans groups;
    std::uint64_t at = first;
    while (at + pointSize <= f.size()) {
        const std::uint64_t length = pointSize + std::uint64_t{ReadLe16(&f[at + 34])} * apSize;
        groups.emplace_back(at, length);
        at += length;
    }
    if (at != f.size()) return std::nullopt;
    return groups;
}

// Each group of `clean` (its count aside) appears in `damaged` after the
// one before it.
inline bool TakenFrom(const std::vector<std::uint8_t>& clean, const GroupSpans& groups,
                      const std::vector<std::uint8_t>& damaged, std::uint64_t first = 33) {
    std::uint64_t from = first;
    for (const auto& [offset, length] : groups) {
        const auto g = clean.begin() + static_cast<std::ptrdiff_t>(offset);
        const auto matches = [&](std::uint64_t at) {
            const auto d = damaged.begin() + static_cast<std::ptrdiff_t>(at);
            return std::equal(g, g + 34, d) && std::equal(g + 36, g + static_cast<std::ptrdiff_t>(length), d + 36);
        };
        while (from + length <= damaged.size() && !matches(from)) ++from;
        if (from + length > damaged.size()) return false;
        from += length;
    }
    return true;
}

}  // namespace quorl::test
