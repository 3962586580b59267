#include "survey/BestReading.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "common/ByteOrder.h"
#include "survey/RecordPlausibility.h"

namespace quorl::collection {

namespace {

// A covered byte outweighs every count corrected in one read.
constexpr std::int64_t kByte = 1 << 16;
// Candidates looked at for another count, after the point record.
constexpr int kRecountLooks = 64;
// What taking up groups again after bytes passed over costs, in covered
// bytes: more than a lone point record with no access point (36 bytes),
// which SSID padding and zeros can pass for, and than two of them in a
// row; less than a point with one access point (82 bytes).
constexpr std::int64_t kResume = 80 * kByte;

constexpr std::array<bool, 256> kKindTable = [] {
    std::array<bool, 256> t{};
    for (int k = 0; k < 256; ++k) t[static_cast<std::size_t>(k)] = KnownKind(static_cast<std::uint8_t>(k));
    return t;
}();

// The first byte at or after `at` that is not zero, or `size`.
std::size_t NextNonZero(const std::uint8_t* b, std::size_t at, std::size_t size) {
    while (at + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, b + at, 8);
        if (word != 0) break;
        at += 8;
    }
    while (at < size && b[at] == 0) ++at;
    return at;
}

}  // namespace

BestReading::BestReading(std::uint64_t pointSize, std::uint64_t apSize) : pointSize_(pointSize), apSize_(apSize) {}

void BestReading::Read(const std::uint8_t* bytes, std::uint64_t start, std::size_t size, bool atEnd,
                       std::vector<ReadingStep>& steps) {
    bytes_ = bytes;
    size_ = size;
    atEnd_ = atEnd;
    steps.clear();
    if (runs_.size() < size) runs_.resize(size, 0);
    FindCandidates();
    Solve();

    const auto pass = [&](std::size_t from, std::size_t to) {
        if (to <= from) return;
        if (!steps.empty() && !steps.back().group && steps.back().offset + steps.back().length == start + from)
            steps.back().length += to - from;
        else
            steps.push_back({start + from, to - from, false, 0, 0});
    };
    // From `start`, a group boundary: on by the choices made for a chain
    // there, by those made after passing over bytes elsewhere.
    std::size_t x = 0;
    bool chained = true;
    while (x < size) {
        const std::size_t j = CandidateFrom(x);
        if (j == candidates_.size()) {
            pass(x, size);
            break;
        }
        const std::size_t o = candidates_[j];
        if (o > x) chained = false;
        pass(x, o);
        const std::int32_t choice = chained ? chainedChoice_[j] : resumedChoice_[j];
        if (choice < 0) {
            x = j + 1 < candidates_.size() ? candidates_[j + 1] : size;
            pass(o, x);
            chained = false;
            continue;
        }
        const auto count = static_cast<std::uint32_t>(choice);
        const std::uint64_t length = pointSize_ + count * apSize_;
        steps.push_back({start + o, length, true, count, ReadLe16(bytes_ + o + 34)});
        x = o + static_cast<std::size_t>(length);
        chained = true;
    }
    for (const std::uint32_t at : touched_) runs_[at] = 0;
    touched_.clear();
}

void BestReading::FindCandidates() {
    candidates_.clear();
    if (size_ < pointSize_) return;
    const std::uint8_t* b = bytes_;
    const std::size_t last = size_ - static_cast<std::size_t>(pointSize_);
    std::size_t nonZero = 0;  // the next byte that is not zero, once at or after i
    for (std::size_t i = 0; i <= last; ++i) {
        const std::uint8_t kind = b[i];
        if (kind == 0) {
            if (nonZero < i) nonZero = NextNonZero(b, i, size_);
            // All 36 bytes zero here, and so at every offset up to 36 before
            // the next byte that is not.
            if (nonZero >= i + 36) {
                i = nonZero - 36;
                continue;
            }
        } else if (!kKindTable[kind]) {
            continue;
        }
        if ((b[i + 27] | b[i + 28]) != 0) continue;
        if (PlausiblePoint(b + i)) candidates_.push_back(static_cast<std::uint32_t>(i));
    }
}

std::uint32_t BestReading::RunAt(std::size_t at) {
    const std::size_t step = static_cast<std::size_t>(apSize_);
    std::size_t p = at;
    chain_.clear();
    while (p <= size_ && size_ - p >= step && runs_[p] == 0 && PlausibleAp(bytes_ + p)) {
        chain_.push_back(static_cast<std::uint32_t>(p));
        p += step;
    }
    std::uint32_t run = 0;
    if (p <= size_ && size_ - p >= step) {
        if (runs_[p] == 0) {
            runs_[p] = 1;  // not plausible: a run of none
            touched_.push_back(static_cast<std::uint32_t>(p));
        }
        run = runs_[p] - 1;
    }
    for (auto q = chain_.rbegin(); q != chain_.rend(); ++q) {
        run = std::min<std::uint32_t>(run + 1, UINT16_MAX);
        runs_[*q] = run + 1;
        touched_.push_back(*q);
    }
    return run;
}

std::size_t BestReading::CandidateFrom(std::size_t at) const {
    return static_cast<std::size_t>(std::lower_bound(candidates_.begin(), candidates_.end(), at) - candidates_.begin());
}

void BestReading::Solve() {
    const std::size_t m = candidates_.size();
    chained_.assign(m, 0);
    resumed_.assign(m, 0);
    chainedChoice_.assign(m, -1);
    resumedChoice_.assign(m, -1);
    // The best from `end`, where a group just ended: on from a candidate
    // there, or after passing over bytes to the next one.
    const auto after = [&](std::size_t end) -> std::int64_t {
        const std::size_t k = CandidateFrom(end);
        if (k == m) return 0;
        return candidates_[k] == end ? chained_[k] : resumed_[k];
    };
    for (std::size_t j = m; j-- > 0;) {
        const std::size_t o = candidates_[j];
        const std::size_t first = o + static_cast<std::size_t>(pointSize_);  // of the access point records
        const std::uint16_t stored = ReadLe16(bytes_ + o + 34);
        const std::uint32_t run = RunAt(first);
        std::int64_t best = std::numeric_limits<std::int64_t>::min();
        std::int32_t choice = -1;
        const bool dated = bytes_[o + 13] != 0;
        // A lone undated point record that could be the end of an access
        // point record is one: its SSID padding read out of step.
        const std::size_t apTail = static_cast<std::size_t>(apSize_ - pointSize_);
        const bool inAp = apSize_ > pointSize_ && o >= apTail && PlausibleAp(bytes_ + o - apTail);
        // Nor is one of a GPS kind at latitude or longitude exactly 0: what
        // the end of a zeroed block leaves, never what a receiver reports.
        const bool nowhere = bytes_[o] <= 1 && (ReadLe32(bytes_ + o + 1) == 0 || ReadLe32(bytes_ + o + 5) == 0);
        const auto consider = [&](std::uint32_t count, bool recounted) {
            if (count == 0 && !dated && (inAp || nowhere)) return;
            const std::size_t end = first + count * static_cast<std::size_t>(apSize_);
            const std::int64_t score = static_cast<std::int64_t>(end - o) * kByte - (recounted ? 1 : 0) + after(end);
            // The stored count holds against an equal reading; another count must beat it.
            if (score > best || (!recounted && score == best)) {
                best = score;
                choice = static_cast<std::int32_t>(count);
            }
        };
        if (stored <= run) consider(stored, false);
        // Other counts that end where another point starts, for a dated
        // point: the count of one is what stray bytes with access point
        // records after them would need to be corrected most.
        int looks = dated ? 0 : kRecountLooks;
        for (std::size_t k = CandidateFrom(first); k < m && looks < kRecountLooks; ++k, ++looks) {
            const std::size_t at = candidates_[k];
            if ((at - first) / apSize_ > run) break;
            if ((at - first) % apSize_ != 0) continue;
            const auto count = static_cast<std::uint32_t>((at - first) / apSize_);
            // Ending on a point that holds something more than a lone undated record.
            const bool substantial = chainedChoice_[k] > 0 || bytes_[at + 13] != 0;
            if (count != stored && substantial) consider(count, true);
        }
        // A count of 0 left by an interrupted write, its records to the end.
        if (dated && stored == 0 && atEnd_ && run > 0) {
            const std::size_t end = first + run * static_cast<std::size_t>(apSize_);
            if (size_ - end < apSize_) consider(run, true);
        }
        const std::int64_t passed = j + 1 < m ? resumed_[j + 1] : 0;
        chained_[j] = choice >= 0 && best >= passed ? best : passed;
        chainedChoice_[j] = choice >= 0 && best >= passed ? choice : -1;
        const bool resumes = choice >= 0 && best - kResume >= passed;
        resumed_[j] = resumes ? best - kResume : passed;
        resumedChoice_[j] = resumes ? choice : -1;
    }
}

}  // namespace quorl::collection
