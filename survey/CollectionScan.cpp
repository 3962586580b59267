#include "survey/CollectionScan.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "common/ByteOrder.h"
#include "common/UserMessages.h"

namespace quorl {

namespace {
constexpr std::uint64_t kProgressStep = 4 << 20;
}  // namespace

bool CollectionScan::Open(const std::string& path) {
    path_ = path;
    error_.clear();
    file_ = FileHandle::Open(path, O_RDONLY);
    if (!file_.Valid()) {
        error_ = "cannot open " + path + ": " + SystemErrorText(errno);
        return false;
    }
    const std::int64_t length = file_.Length();
    if (length < 0) {
        error_ = "cannot read " + path + ": " + SystemErrorText(errno);
        return false;
    }
    std::string why;
    int errorNumber = 0;
    if (!collection::ReadLayout(file_, static_cast<std::uint64_t>(length), layout_, why, errorNumber)) {
        error_ = errorNumber != 0 ? "cannot read " + path + ": " + SystemErrorText(errorNumber)
                                  : path + " is not a readable collection file: " + why;
        return false;
    }
    length_ = static_cast<std::uint64_t>(length);
    return true;
}

std::int64_t CollectionScan::CreatedSeconds() const {
    return static_cast<std::int64_t>(ReadLe64(layout_.header.data() + 13));
}

bool CollectionScan::ReadLeadingBytes(std::vector<std::uint8_t>& bytes) {
    bytes.resize(static_cast<std::size_t>(layout_.FirstGroup()));
    if (file_.ReadAt(bytes.data(), bytes.size(), 0) == static_cast<std::int64_t>(bytes.size())) return true;
    error_ = "cannot read " + path_ + ": " + SystemErrorText(errno != 0 ? errno : EIO);
    return false;
}

bool CollectionScan::ForEachGroup(const std::function<void(const CollectionGroup&)>& visit) {
    collection::CollectionWalk walk(file_, layout_, length_);
    collection::WalkedGroup walked;
    CollectionGroup group;
    skipped_.clear();
    recounted_.clear();
    std::uint64_t nextProgress = kProgressStep;
    bool readable = true;
    while (readable && walk.Next(walked)) {
        const std::uint8_t* point = walk.Bytes(walked.offset, collection::kPointRecordSize);
        if (point == nullptr) break;
        group.offset = walked.offset;
        group.length = walked.length;
        group.storedCount = walked.storedCount;
        group.point = collection::DecodePoint(point);
        group.point.apCount = static_cast<std::uint16_t>(walked.apCount);
        group.aps.clear();
        std::uint64_t at = walked.offset + layout_.pointRecordSize;
        for (std::uint32_t i = 0; i < walked.apCount; ++i, at += layout_.apRecordSize) {
            const std::uint8_t* ap = walk.Bytes(at, collection::kApRecordSize);
            if (ap == nullptr) {
                readable = false;
                break;
            }
            group.aps.push_back(collection::DecodeAp(ap));
        }
        if (!readable) break;
        if (walked.CountRepaired()) recounted_.push_back(walked);
        visit(group);
        ++group.number;
        const std::uint64_t done = walked.offset + walked.length;
        if (progress_ && done >= nextProgress) {
            progress_(done);
            nextProgress = done + kProgressStep;
        }
    }
    skipped_ = walk.Skipped();
    tail_ = walk.Tail();
    if (walk.Error() != 0) {
        error_ = "cannot read " + path_ + ": " + SystemErrorText(walk.Error());
        return false;
    }
    if (progress_) progress_(length_);
    return true;
}

}  // namespace quorl
