#pragma once
// The one walk over a collection's groups that every reader uses (the
// collector, `quorl ssd`, the exports, the report and the coverage analysis),
// so that they all agree on which points a file holds.
//
// The walk steps from group to group by the stored counts, taking a group
// when its point record and access point records are plausible
// (RecordPlausibility.h) and it lies wholly in the file. A file that reads
// this way to its very end needs nothing else, dated or not: that is the
// fast path, and the only way a file the collector keeps ever reads. A file
// whose counts chain from its first group exactly to its end is read by
// them too, where it holds what the unit never writes (another program's
// kinds, positions off the earth): nothing in it is damaged.
//
// Where it fails the file is damaged. The walk steps back over the last few
// groups it took (damage to a count can read well for a group before it
// shows) and reads the stretch from there as the best reading finds it
// (BestReading.h): the plausible groups that cover the most bytes, counts
// corrected only where that reads more. It goes on by counts from half a
// buffer further on, so memory stays bounded however long the damage.
//
// A group that is an exact copy of the group before it (its kind aside, so
// that deleting either changes nothing) is read once: the unit never stores
// one sweep twice, a disk or a copy that went wrong does.
//
// What follows the last group with no plausible group in it is the tail: a
// point cut short while it was stored, or bytes after the last point. The
// collector cuts it off, keeping the bytes beside the file; a reader leaves
// it out. Any other damage (spans passed over, counts corrected, copies)
// makes the collector keep the file as it was and continue in a clean copy
// (CSiteData), so appends only ever meet files that read by their counts.

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "survey/BestReading.h"
#include "survey/CollectionFormat.h"
#include "survey/FileWindow.h"

namespace quorl::collection {

struct WalkedGroup {
    std::uint64_t offset = 0;       // of the point record
    std::uint64_t length = 0;       // point record and access point records, in bytes
    std::uint32_t apCount = 0;      // access point records the group holds
    std::uint16_t storedCount = 0;  // the count field as the file has it
    bool CountRepaired() const { return apCount != storedCount; }
};

struct ByteSpan {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

class CollectionWalk {
public:
    // Groups taken by counts and held back until this many follow them.
    static constexpr std::size_t kHeldBack = 3;

    // `length`: the file's length; the walk reads nothing past it.
    CollectionWalk(const FileHandle& file, const Layout& layout, std::uint64_t length);

    // The next group; false at the end or after a failed read (Error()).
    bool Next(WalkedGroup& group);
    // The first `size` bytes (at most the record sizes) of a record at `offset`, for
    // decoding a group Next gave; nullptr after a failed read.
    const std::uint8_t* Bytes(std::uint64_t offset, std::size_t size) { return window_.At(offset, size); }

    // Unreadable spans passed so far (copies of a group among them), in file order.
    const std::vector<ByteSpan>& Skipped() const { return skipped_; }
    // Once Next has answered false: the unfinished tail (length 0 when the
    // groups run to the end of the file).
    ByteSpan Tail() const { return tail_; }
    // Once Next has answered false: true when the groups read by their
    // stored counts alone, nothing passed over (a tail aside).
    bool ReadByCounts() const { return skipped_.empty() && recounted_ == 0; }
    int Error() const { return window_.Error(); }

private:
    void Advance();
    std::optional<WalkedGroup> StoredGroupAt(std::uint64_t offset);
    bool CountsRunToEnd(std::uint64_t from);
    void ReadDamage(std::uint64_t from);
    bool CopyOfPrevious(const WalkedGroup& group);
    void Pass(std::uint64_t offset, std::uint64_t length);

    FileWindow window_;
    std::uint64_t length_;
    std::uint64_t pointSize_;
    std::uint64_t apSize_;
    std::uint64_t position_;
    bool finished_ = false;
    bool byCountsAlone_ = false;  // the counts chain to the end: read by them
    bool countsTried_ = false;
    std::deque<WalkedGroup> heldBack_;
    std::deque<WalkedGroup> ready_;
    BestReading best_;
    std::vector<ReadingStep> steps_;
    std::optional<WalkedGroup> previous_;
    std::vector<std::uint8_t> previousBytes_;  // of the last group given, when small enough to keep
    std::vector<ByteSpan> skipped_;
    std::uint64_t recounted_ = 0;
    ByteSpan tail_;
};

}  // namespace quorl::collection
