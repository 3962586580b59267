#include "survey/CollectionWalk.h"

#include <algorithm>
#include <cstring>

#include "common/ByteOrder.h"
#include "survey/RecordPlausibility.h"

namespace quorl::collection {

CollectionWalk::CollectionWalk(const FileHandle& file, const Layout& layout, std::uint64_t length)
    : window_(file, length),
      length_(length),
      pointSize_(layout.pointRecordSize),
      apSize_(layout.apRecordSize),
      position_(layout.FirstGroup()),
      best_(layout.pointRecordSize, layout.apRecordSize),
      tail_{length, 0} {}

bool CollectionWalk::Next(WalkedGroup& group) {
    for (;;) {
        if (!ready_.empty()) {
            const WalkedGroup next = ready_.front();
            ready_.pop_front();
            if (CopyOfPrevious(next)) {
                Pass(next.offset, next.length);
                continue;
            }
            previous_ = next;
            group = next;
            return true;
        }
        if (finished_) return false;
        Advance();
    }
}

void CollectionWalk::Advance() {
    if (heldBack_.size() > kHeldBack) {
        ready_.push_back(heldBack_.front());
        heldBack_.pop_front();
        return;
    }
    if (position_ >= length_) {
        ready_.insert(ready_.end(), heldBack_.begin(), heldBack_.end());
        heldBack_.clear();
        finished_ = true;
        return;
    }
    if (const auto group = StoredGroupAt(position_)) {
        heldBack_.push_back(*group);
        position_ += group->length;
        return;
    }
    if (Error() != 0) {
        finished_ = true;
        return;
    }
    // Only before any damage was read: the whole file must chain.
    if (!countsTried_ && skipped_.empty() && recounted_ == 0) {
        countsTried_ = true;
        byCountsAlone_ = CountsRunToEnd(position_);
        if (Error() != 0) {
            finished_ = true;
            return;
        }
        if (byCountsAlone_) return;
    }
    countsTried_ = true;
    const std::uint64_t from = heldBack_.empty() ? position_ : heldBack_.front().offset;
    heldBack_.clear();
    ReadDamage(from);
}

std::optional<WalkedGroup> CollectionWalk::StoredGroupAt(std::uint64_t offset) {
    if (length_ - offset < pointSize_) return std::nullopt;
    const std::uint8_t* record = window_.At(offset, kPointRecordSize);
    if (record == nullptr || !(byCountsAlone_ ? LoosePoint(record) : PlausiblePoint(record))) return std::nullopt;
    const std::uint16_t stored = ReadLe16(record + 34);
    const std::uint64_t end = offset + pointSize_ + stored * apSize_;
    if (end > length_) return std::nullopt;
    for (std::uint64_t at = offset + pointSize_; at < end; at += apSize_) {
        const std::uint8_t* ap = window_.At(at, kApRecordSize);
        if (ap == nullptr || !(byCountsAlone_ ? LooseAp(ap) : PlausibleAp(ap))) return std::nullopt;
    }
    return WalkedGroup{offset, end - offset, stored, stored};
}

bool CollectionWalk::CountsRunToEnd(std::uint64_t at) {
    while (at < length_) {
        if (length_ - at < pointSize_) return false;
        const std::uint8_t* record = window_.At(at, kPointRecordSize);
        if (record == nullptr || !LoosePoint(record)) return false;
        const std::uint64_t end = at + pointSize_ + ReadLe16(record + 34) * apSize_;
        if (end > length_) return false;
        for (at += pointSize_; at < end; at += apSize_) {
            const std::uint8_t* ap = window_.At(at, kApRecordSize);
            if (ap == nullptr || !LooseAp(ap)) return false;
        }
    }
    return true;
}

void CollectionWalk::ReadDamage(std::uint64_t from) {
    const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(length_ - from, FileWindow::kBufferSize));
    const bool atEnd = from + size == length_;
    const std::uint8_t* bytes = window_.At(from, size);
    if (bytes == nullptr) {
        finished_ = true;
        return;
    }
    best_.Read(bytes, from, size, atEnd, steps_);
    // Taken up to half the bytes (all at the end): what lies further is read
    // again with what follows it.
    const std::uint64_t half = atEnd ? length_ : from + size / 2;
    // No point was looked for where its record would run past the bytes.
    const std::uint64_t examined = atEnd ? length_ : from + size - pointSize_ + 1;
    std::uint64_t x = from;
    for (const ReadingStep& step : steps_) {
        if (x >= half && x > from) break;
        if (step.group) {
            ready_.push_back(WalkedGroup{step.offset, step.length, step.apCount, step.storedCount});
            if (step.apCount != step.storedCount) ++recounted_;
            x = step.offset + step.length;
            continue;
        }
        const std::uint64_t end = std::min(step.offset + step.length, examined);
        if (end == length_) {
            tail_ = {step.offset, step.length};
        } else {
            Pass(step.offset, end - step.offset);
        }
        x = end;
    }
    position_ = x;
}

bool CollectionWalk::CopyOfPrevious(const WalkedGroup& group) {
    if (!previous_ || previous_->length != group.length || previous_->offset + previous_->length != group.offset ||
        previous_->apCount != group.apCount)
        return false;
    if (group.length > FileWindow::kBufferSize / 2) return false;
    const auto n = static_cast<std::size_t>(group.length);
    const std::uint8_t* both = window_.At(previous_->offset, 2 * n);
    // The kind aside: deleting one of two copies must not make the other a point.
    return both != nullptr && std::memcmp(both + 1, both + n + 1, n - 1) == 0;
}

void CollectionWalk::Pass(std::uint64_t offset, std::uint64_t length) {
    if (length == 0) return;
    // Mostly at the end; a copy found when its group is given may come before
    // spans already passed further on.
    auto at = std::upper_bound(skipped_.begin(), skipped_.end(), offset,
                               [](std::uint64_t o, const ByteSpan& s) { return o < s.offset; });
    at = skipped_.insert(at, ByteSpan{offset, length});
    if (at + 1 != skipped_.end() && at->offset + at->length == (at + 1)->offset) {
        at->length += (at + 1)->length;
        skipped_.erase(at + 1);
    }
    if (at != skipped_.begin() && (at - 1)->offset + (at - 1)->length == at->offset) {
        (at - 1)->length += at->length;
        skipped_.erase(at);
    }
}

}  // namespace quorl::collection
