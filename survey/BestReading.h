#pragma once
// The reading of damaged bytes: of every way to read a stretch of a
// collection file as plausible groups (RecordPlausibility.h) and bytes passed
// over, the one whose groups cover the most bytes; between equals, the one
// that corrects the fewest counts. Each place where groups resume after
// bytes passed over costs a little more than a lone point record with no
// access point covers: zeros and SSID padding can pass for one of those,
// rarely for two in a row, never for a point with its access points. For
// the same reason an undated point record with no access point is not
// taken where an access point record could end with it, nor with a
// latitude or longitude of exactly 0 for a GPS kind; counts are corrected
// only in dated points.
//
// A dynamic programme over candidate offsets, those where a plausible point
// record starts, from the last to the first: the best from an offset is
// either the best from the next candidate (its bytes passed over) or a group
// there plus the best from where it ends. A group is taken at its stored
// count when its access point records are plausible; at another count only
// where that count ends on the start of another candidate (a count damaged,
// or left 0 by an interrupted write), or, for a stored count of 0, at the end
// of the bytes. Candidates are found by one pass over the bytes that jumps
// over runs of zeros and rejects most garbage on the kind byte, which is what
// keeps resynchronising at disk speed.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorl::collection {

struct ReadingStep {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    bool group = false;             // false: bytes passed over
    std::uint32_t apCount = 0;      // of a group, as read
    std::uint16_t storedCount = 0;  // of a group, as the file says
};

class BestReading {
public:
    BestReading(std::uint64_t pointSize, std::uint64_t apSize);

    // `bytes`: `size` bytes of the file from `start`; `atEnd` when they run
    // to its end (else nothing is read as a group that might go on past
    // them). `steps` gets the best reading of all of them, in file order.
    void Read(const std::uint8_t* bytes, std::uint64_t start, std::size_t size, bool atEnd,
              std::vector<ReadingStep>& steps);

private:
    void FindCandidates();
    std::uint32_t RunAt(std::size_t at);
    std::size_t CandidateFrom(std::size_t at) const;  // index of the first candidate at or after `at`
    void Solve();

    std::uint64_t pointSize_;
    std::uint64_t apSize_;
    const std::uint8_t* bytes_ = nullptr;
    std::size_t size_ = 0;
    bool atEnd_ = false;

    std::vector<std::uint32_t> candidates_;  // offsets within the bytes, rising
    // Per candidate: the score of the best reading from it when a group just
    // ended there, and when bytes were passed over to reach it (a group
    // taken there then pays for resuming), with the access points of the
    // group taken there (-1: passed over).
    std::vector<std::int64_t> chained_, resumed_;
    std::vector<std::int32_t> chainedChoice_, resumedChoice_;
    std::vector<std::uint32_t> runs_;        // plausible access point records from an offset, plus 1; 0 unknown
    std::vector<std::uint32_t> touched_;     // offsets of runs_ to clear after the read
    std::vector<std::uint32_t> chain_;
};

}  // namespace quorl::collection
