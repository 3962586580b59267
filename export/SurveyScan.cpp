#include "export/SurveyScan.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "common/ByteOrder.h"
#include "common/UserMessages.h"
#include "survey/CollectionReader.h"

namespace quorl::exports {

namespace {
constexpr std::uint64_t kProgressStep = 4 << 20;
}  // namespace

bool SurveyScan::Open(const std::string& path) {
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

std::int64_t SurveyScan::CreatedSeconds() const {
    return static_cast<std::int64_t>(ReadLe64(layout_.header.data() + 13));
}

bool SurveyScan::ForEachGroup(const std::function<void(const SurveyGroup&)>& visit) {
    CollectionReader reader(file_, layout_.FirstGroup());
    std::uint8_t point[collection::kPointRecordSize];
    std::uint8_t ap[collection::kApRecordSize];
    SurveyGroup group;
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

PointFacts FactsOf(const SurveyGroup& group, const AffineTransform* projection) {
    const collection::PointRecord& p = group.point;
    PointFacts f;
    f.deleted = p.kind == 255;
    const bool stored = p.latitude != 0 || p.longitude != 0;
    const bool gpsKind = p.kind == 0 || p.kind == 1 || (f.deleted && stored);
    f.hasPosition = gpsKind && stored;
    f.utcTime = gpsKind;
    if (!gpsKind) {
        f.hasPlan = true;
        f.x = p.x;
        f.y = p.y;
    } else if (projection && f.hasPosition) {
        const PlanPoint plan = projection->Forward(p.latitude / collection::kPositionScale,
                                                   p.longitude / collection::kPositionScale);
        f.hasPlan = true;
        f.x = plan.x;
        f.y = plan.y;
    }
    for (const auto& ap : group.aps) {
        const int level = ap.Level();
        if (!f.anyAp || level > f.strongestHeard) f.strongestHeard = level;
        f.anyAp = true;
        if (level > f.strongest) f.strongest = level;
    }
    return f;
}

const char* KindName(std::uint8_t kind) {
    switch (kind) {
        case 0: return "gps";
        case 1: return "projected-tap";
        case 2: return "plan-tap";
        case 17: return "marker";
        case 255: return "deleted";
        default: return "unknown";
    }
}

}  // namespace quorl::exports
