#pragma once
// The collection walk's rule read again, straight off a file's bytes and
// written apart from survey/, so that tests and the collection fuzz harness
// can check the walk against it: which groups a file holds (with the counts
// found), which spans are passed over, which tail is unfinished, and the file
// as the collector leaves it after its repairs.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quorl::test::walk {

using FileBytes = std::vector<std::uint8_t>;

struct Group {
    std::uint64_t offset = 0;
    std::uint32_t apCount = 0;  // as found
    std::uint16_t stored = 0;   // as the file says
    bool operator==(const Group&) const = default;
};

struct Result {
    std::vector<Group> groups;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> skipped;  // offset, length
    std::uint64_t tailOffset = 0;
    std::uint64_t tailLength = 0;
};

class Rule {
public:
    // `f` must have a readable layout (header, record sizes in range).
    explicit Rule(const FileBytes& f)
        : f_(f), pair_(U32(21)), p_(U32(pair_)), a_(U32(pair_ + 4)), n_(f.size()) {}

    std::uint64_t First() const { return std::uint64_t{pair_} + 8; }
    std::uint64_t PointSize() const { return p_; }
    std::uint64_t ApSize() const { return a_; }

    // Walked again as if the unfinished tail were cut until none is left,
    // chains that end in a cut-short group allowed, then not.
    Result Walk() {
        const std::uint64_t whole = f_.size();
        Result r;
        n_ = whole;
        for (bool settled = false; !settled;) {
            settled = true;
            for (const bool lenient : {true, false}) {
                lenient_ = lenient;
                r = WalkTo();
                if (r.tailLength > 0) {
                    n_ = r.tailOffset;
                    settled = false;
                    break;
                }
            }
        }
        r.tailOffset = n_;
        r.tailLength = whole - n_;
        n_ = whole;
        return r;
    }

    // The bytes after the collector's repairs: counts written, tail cut.
    FileBytes Repaired(const Result& r) const {
        FileBytes out(f_.begin(), f_.begin() + static_cast<std::ptrdiff_t>(r.tailOffset));
        for (const Group& g : r.groups) {
            out[g.offset + 34] = static_cast<std::uint8_t>(g.apCount);
            out[g.offset + 35] = static_cast<std::uint8_t>(g.apCount >> 8);
        }
        return out;
    }

private:
    Result WalkTo() const {
        Result r;
        std::uint64_t at = First();
        while (at < n_) {
            if (const auto g = GroupAt(at)) {
                r.groups.push_back(*g);
                at += p_ + std::uint64_t{g->apCount} * a_;
                continue;
            }
            std::uint64_t q = at + 1;
            while (q + p_ <= n_ && !Chain(q)) ++q;
            if (q + p_ > n_) {
                r.tailOffset = at;
                r.tailLength = n_ - at;
                return r;
            }
            r.skipped.emplace_back(at, q - at);
            at = q;
        }
        r.tailOffset = n_;
        return r;
    }

    std::uint32_t U32(std::uint64_t at) const {
        return static_cast<std::uint32_t>(f_[at] | f_[at + 1] << 8 | f_[at + 2] << 16) |
               static_cast<std::uint32_t>(f_[at + 3]) << 24;
    }
    std::uint16_t Count(std::uint64_t at) const { return static_cast<std::uint16_t>(f_[at + 34] | f_[at + 35] << 8); }
    bool Zeros(std::uint64_t at, std::uint64_t from, std::uint64_t to) const {
        return std::all_of(f_.begin() + static_cast<std::ptrdiff_t>(at + from),
                           f_.begin() + static_cast<std::ptrdiff_t>(at + to + 1), [](std::uint8_t b) { return b == 0; });
    }
    bool Fits(std::uint64_t at, std::uint64_t size) const { return at <= n_ && size <= n_ - at; }

    bool Ap(std::uint64_t at, bool strict) const {
        return Fits(at, a_) && Zeros(at, 1, 3) && Zeros(at, 6, 7) &&
               (!strict || (f_[at] != 0 && static_cast<std::int16_t>(f_[at + 4] | f_[at + 5] << 8) < 0));
    }
    bool Point(std::uint64_t at, bool strict) const {
        if (!Fits(at, p_) || Zeros(at, 0, 35)) return false;
        if (!strict) return true;
        const auto b = [&](int i) { return f_[at + i]; };
        const bool kind = b(0) == 0 || b(0) == 1 || b(0) == 2 || b(0) == 17 || b(0) == 255;
        return kind && b(13) >= 1 && b(13) <= 12 && b(14) >= 1 && b(14) <= 31 && b(16) <= 23 && b(17) <= 59 &&
               b(18) <= 60 && Zeros(at, 27, 28) && b(33) <= 3;
    }
    // Whole strict groups from `at`: three, or one or more up to the end or
    // up to a group the end cuts short.
    bool Chain(std::uint64_t at) const {
        for (int whole = 0; whole < 3; ++whole) {
            if (at == n_) return whole > 0;
            if (n_ - at < p_) return false;
            if (!Point(at, true)) return false;
            const std::uint64_t end = at + p_ + std::uint64_t{Count(at)} * a_;
            for (std::uint64_t ap = at + p_; ap < end; ap += a_) {
                if (!Fits(ap, a_)) return lenient_ && whole > 0;
                if (!Ap(ap, true)) return false;
            }
            at = end;
        }
        return true;
    }
    bool ChainWithin(std::uint64_t from, std::uint64_t to) const {
        for (std::uint64_t q = from; q < to && q + p_ <= n_; ++q)
            if (Chain(q)) return true;
        return false;
    }
    std::optional<Group> GroupAt(std::uint64_t at) const {
        if (!Point(at, false)) return std::nullopt;
        const std::uint16_t stored = Count(at);
        const std::uint64_t end = at + p_ + std::uint64_t{stored} * a_;
        bool whole = Fits(at, end - at);
        for (std::uint64_t ap = at + p_; whole && ap < end; ap += a_) whole = Ap(ap, false);
        const bool ours = Point(at, true);
        if (whole && !ours && ChainWithin(at + 1, end)) whole = false;
        if (whole && (!ours || end == n_ || Point(end, true))) return Group{at, stored, stored};
        if (ours) {
            // Strict access point records, then a chain or (count 0) the end.
            std::uint64_t ap = at + p_;
            for (std::uint32_t k = 1; k <= 0xFFFF && Ap(ap, true) && !ChainWithin(ap + 1, ap + a_); ++k) {
                ap += a_;
                if (k != stored && (Chain(ap) || (stored == 0 && (ap == n_ || (lenient_ && n_ - ap < a_))))) return Group{at, k, stored};
            }
        }
        if (whole) return Group{at, stored, stored};
        return std::nullopt;
    }

    const FileBytes& f_;
    std::uint32_t pair_, p_, a_;
    std::uint64_t n_;
    bool lenient_ = false;
};

}  // namespace quorl::test::walk
