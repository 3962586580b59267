#pragma once
// The one walk over a collection's groups that every reader uses (the
// collector, `quorl ssd`, the exports, the report and the coverage analysis),
// so that they all agree on which points a file holds.
//
// The walk steps from group to group by the counts, as the file layout says,
// taking a group when its point record is not all zeros, it lies wholly in
// the file and its access point records look like access point records
// (loose checks, RecordPlausibility.h). Kinds it does not know are walked
// past, as before. A group that is not strictly plausible itself (below) is
// not taken over the start of a strict chain inside it.
//
// Where that fails the file is damaged, and the walk resynchronises: it
// takes the first later offset from which a chain of strictly plausible
// groups runs on (known kind, a date, reserved bytes zero, channels of one
// byte, signals below 0 dBm): either three whole groups, or at least one
// whole group and then the end of the file. The bytes passed over are an
// unreadable span; they are reported, never dropped.
//
// A count can be wrong while its point is sound: the old two-step write
// leaves a point record with count 0 followed by the access point records
// that reached the disk, and a damaged disk can change a count to anything.
// So when a strictly plausible point record is not followed by a group that
// looks like ours (or its count runs off the records), the walk counts the
// strictly plausible access point records after it; when a strict chain (as
// above) starts right after them, that number is the point's count. A count
// of 0 may also be followed by access point records up to the end of the
// file (and part of one, cut off as the tail). The collector writes the
// count back in place.
//
// What follows the last group, when nothing after it resynchronises, is the
// unfinished tail: a point cut short while it was stored, or bytes that hold
// no complete group. The collector cuts it off, keeping the bytes beside the
// file; a reader just leaves it out. Since the rules above look ahead to the
// end of the file, the walk first settles where the groups end: it walks
// again as if the tail were cut, until none is left. While it looks for the
// tail, a chain may also end in a group the end cuts short; the walk that
// counts asks for whole groups to the very end, so that a point appended
// later cannot change how the bytes before it read.

#include <cstdint>
#include <optional>
#include <vector>

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
    // Whole strict groups that make a new start believable on their own.
    static constexpr int kChainGroups = 3;

    // `length`: the file's length; the walk reads nothing past it.
    CollectionWalk(const FileHandle& file, const Layout& layout, std::uint64_t length);

    // The next group; false at the end or after a failed read (Error()).
    bool Next(WalkedGroup& group);
    // The first `size` bytes (at most the record sizes) of a record at `offset`, for
    // decoding a group Next gave; nullptr after a failed read.
    const std::uint8_t* Bytes(std::uint64_t offset, std::size_t size) { return window_.At(offset, size); }

    // Unreadable spans passed so far, in file order.
    const std::vector<ByteSpan>& Skipped() const { return skipped_; }
    // Once Next has answered false: the unfinished tail (length 0 when the
    // groups run to the end of the file).
    ByteSpan Tail() const { return tail_; }
    int Error() const { return window_.Error(); }

private:
    void Settle();
    std::optional<WalkedGroup> GroupAt(std::uint64_t offset);
    std::optional<std::uint32_t> CountFromRecords(std::uint64_t offset, std::uint16_t stored);
    bool StrictChainFrom(std::uint64_t offset);
    bool ChainStartsWithin(std::uint64_t from, std::uint64_t to);
    bool StrictPointAt(std::uint64_t offset);
    std::optional<std::uint64_t> Resynchronise(std::uint64_t from);
    WalkedGroup Make(std::uint64_t offset, std::uint32_t count, std::uint16_t stored) const;

    FileWindow window_;
    std::uint64_t fullLength_;
    std::uint64_t length_;  // where the groups end, once settled
    std::uint64_t pointSize_;
    std::uint64_t apSize_;
    std::uint64_t first_;
    std::uint64_t position_;
    bool done_ = false;
    bool lenient_ = false;
    bool leniencyAsked_ = false;
    std::vector<ByteSpan> skipped_;
    ByteSpan tail_;
};

}  // namespace quorl::collection
