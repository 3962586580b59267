#include "survey/CollectionScan.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "common/ByteOrder.h"
#include "common/UserMessages.h"
#include "survey/CollectionReader.h"

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

bool CollectionScan::ForEachGroup(const std::function<void(const CollectionGroup&)>& visit) {
    CollectionReader reader(file_, layout_.FirstGroup());
    std::uint8_t point[collection::kPointRecordSize];
    std::uint8_t ap[collection::kApRecordSize];
    CollectionGroup group;
    std::uint64_t nextProgress = kProgressStep;
    for (;;) {
        group.offset = reader.Position();
        if (!reader.Next(layout_.pointRecordSize, point, sizeof point)) break;
        group.point = collection::DecodePoint(point);
        group.aps.clear();
        for (std::uint32_t i = 0; i < group.point.apCount; ++i) {
            if (!reader.Next(layout_.apRecordSize, ap, sizeof ap)) break;
            group.aps.push_back(collection::DecodeAp(ap));
        }
        visit(group);
        ++group.number;
        if (progress_ && reader.Position() >= nextProgress) {
            progress_(reader.Position());
            nextProgress = reader.Position() + kProgressStep;
        }
    }
    if (reader.Error() != 0) {
        error_ = "cannot read " + path_ + ": " + SystemErrorText(reader.Error());
        return false;
    }
    if (progress_) progress_(std::max(reader.Position(), length_));
    return true;
}

}  // namespace quorl
