#include "survey/CollectionWalk.h"

#include <algorithm>

#include "common/ByteOrder.h"
#include "survey/RecordPlausibility.h"

namespace quorl::collection {

CollectionWalk::CollectionWalk(const FileHandle& file, const Layout& layout, std::uint64_t length)
    : window_(file, length),
      fullLength_(length),
      length_(length),
      pointSize_(layout.pointRecordSize),
      apSize_(layout.apRecordSize),
      first_(layout.FirstGroup()),
      position_(first_) {
    Settle();
}

void CollectionWalk::Settle() {
    // Each round either finds no tail both ways or makes the length shorter.
    for (;;) {
        bool cut = false;
        for (const bool lenient : {true, false}) {
            // The two walks differ only where leniency was asked; most files
            // never ask, and are walked once here.
            if (!lenient && !leniencyAsked_) break;
            lenient_ = lenient;
            leniencyAsked_ = false;
            position_ = first_;
            done_ = false;
            tail_ = {length_, 0};
            WalkedGroup group;
            while (Next(group)) {
            }
            if (Error() != 0) break;
            if (tail_.length > 0) {
                length_ = tail_.offset;
                cut = true;
                break;
            }
        }
        if (!cut || Error() != 0) break;
    }
    lenient_ = false;
    position_ = first_;
    done_ = Error() != 0;
    skipped_.clear();
    tail_ = {length_, fullLength_ - length_};
}

WalkedGroup CollectionWalk::Make(std::uint64_t offset, std::uint32_t count, std::uint16_t stored) const {
    return WalkedGroup{offset, pointSize_ + count * apSize_, count, stored};
}

bool CollectionWalk::Next(WalkedGroup& group) {
    while (!done_) {
        if (position_ >= length_) break;
        if (const auto found = GroupAt(position_)) {
            group = *found;
            position_ += group.length;
            return true;
        }
        if (Error() != 0) break;
        if (const auto next = Resynchronise(position_ + 1)) {
            skipped_.push_back({position_, *next - position_});
            position_ = *next;
            continue;
        }
        if (Error() != 0) break;
        tail_ = {position_, length_ - position_};
        break;
    }
    done_ = true;
    return false;
}

std::optional<WalkedGroup> CollectionWalk::GroupAt(std::uint64_t offset) {
    if (length_ - offset < pointSize_) return std::nullopt;
    const std::uint8_t* record = window_.At(offset, kPointRecordSize);
    if (record == nullptr || !LoosePoint(record)) return std::nullopt;
    const std::uint16_t stored = ReadLe16(record + 34);
    const bool ours = StrictPoint(record);

    const std::uint64_t end = offset + pointSize_ + stored * apSize_;
    bool whole = end <= length_;
    for (std::uint64_t at = offset + pointSize_; whole && at < end; at += apSize_) {
        const std::uint8_t* ap = window_.At(at, kApRecordSize);
        whole = ap != nullptr && LooseAp(ap);
    }
    // A group of foreign make is not taken over a chain of ours inside it:
    // bytes appended later could otherwise make it fit and swallow them.
    if (whole && !ours && ChainStartsWithin(offset + 1, end)) return std::nullopt;
    if (whole && (!ours || end == length_ || StrictPointAt(end))) return Make(offset, stored, stored);
    if (ours) {
        if (const auto count = CountFromRecords(offset, stored)) return Make(offset, *count, stored);
    }
    if (whole) return Make(offset, stored, stored);
    return std::nullopt;
}

std::optional<std::uint32_t> CollectionWalk::CountFromRecords(std::uint64_t offset, std::uint16_t stored) {
    std::uint64_t at = offset + pointSize_;
    for (std::uint32_t count = 1; count <= UINT16_MAX && at + apSize_ <= length_; ++count) {
        const std::uint8_t* ap = window_.At(at, kApRecordSize);
        if (ap == nullptr || !StrictAp(ap)) break;
        // Never counted over the start of a chain of ours (a point appended
        // after a stopped write).
        if (ChainStartsWithin(at + 1, at + apSize_)) break;
        at += apSize_;
        if (count == stored) continue;  // the count as stored: not a repair
        if (StrictChainFrom(at)) return count;
        // The two-step write stopped: access point records to the end (or,
        // while the tail is being found, to a part of one there).
        if (stored == 0 && at == length_) return count;
        if (stored == 0 && length_ - at < apSize_) {
            leniencyAsked_ = true;
            if (lenient_) return count;
        }
    }
    return std::nullopt;
}

bool CollectionWalk::StrictPointAt(std::uint64_t offset) {
    const std::uint8_t* record = window_.At(offset, kPointRecordSize);
    return record != nullptr && offset + pointSize_ <= length_ && StrictPoint(record);
}

bool CollectionWalk::StrictChainFrom(std::uint64_t offset) {
    for (int whole = 0; whole < kChainGroups; ++whole) {
        if (offset == length_) return whole > 0;
        if (length_ - offset < pointSize_) return false;
        const std::uint8_t* record = window_.At(offset, kPointRecordSize);
        if (record == nullptr || !StrictPoint(record)) return false;
        const std::uint16_t count = ReadLe16(record + 34);
        std::uint64_t at = offset + pointSize_;
        for (std::uint32_t i = 0; i < count; ++i, at += apSize_) {
            // A group the end cuts short, while the tail is still being found.
            if (at + apSize_ > length_) {
                leniencyAsked_ = true;
                return lenient_ && whole > 0;
            }
            const std::uint8_t* ap = window_.At(at, kApRecordSize);
            if (ap == nullptr || !StrictAp(ap)) return false;
        }
        offset = at;
    }
    return true;
}

bool CollectionWalk::ChainStartsWithin(std::uint64_t from, std::uint64_t to) {
    if (length_ < pointSize_) return false;
    const std::uint64_t last = std::min(to, length_ - pointSize_ + 1);  // offsets before it
    // Every group of foreign make is searched: the bytes are looked at in
    // the window, and only where kind, month and day could start a point of
    // ours is a chain followed.
    constexpr std::size_t kSpan = FileWindow::kBufferSize / 2;
    for (std::uint64_t start = from; start < last;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(last - start, kSpan));
        const std::uint8_t* bytes = window_.At(start, n + kPointRecordSize - 1);
        if (bytes == nullptr) {
            // A small file's window: one offset at a time.
            if (Error() != 0) return false;
            if (StrictChainFrom(start)) return true;
            ++start;
            continue;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* r = bytes + i;
            if (r[14] - 1u >= 31u || r[13] - 1u >= 12u || !KnownKind(r[0])) continue;
            if (StrictChainFrom(start + i)) return true;
            bytes = window_.At(start, n + kPointRecordSize - 1);  // the chain moved the window
            if (bytes == nullptr) return false;
        }
        start += n;
    }
    return false;
}

std::optional<std::uint64_t> CollectionWalk::Resynchronise(std::uint64_t from) {
    for (std::uint64_t offset = from; offset + pointSize_ <= length_; ++offset) {
        if (StrictChainFrom(offset)) return offset;
        if (Error() != 0) break;
    }
    return std::nullopt;
}

}  // namespace quorl::collection
