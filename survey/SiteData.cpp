#include "survey/SiteData.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "common/ByteOrder.h"
#include "survey/CollectionFormat.h"
#include "survey/CollectionReader.h"

namespace quorl {

namespace {

constexpr std::int64_t kSelectRadius = 40;  // plan pixels
constexpr std::int64_t kSelectRadiusSquared = kSelectRadius * kSelectRadius;

std::int32_t ToStored(double degrees) { return TruncToInt32(degrees * collection::kPositionScale); }

// End of the last group lying wholly in the file, walking from `from` (the
// start of a group). `error` is the errno of a failed read, else 0.
std::uint64_t EndOfCompleteGroups(const FileHandle& file, std::uint64_t from, std::uint32_t pointSize,
                                  std::uint32_t apSize, int& error) {
    CollectionReader reader(file, from);
    std::uint8_t fields[collection::kPointRecordSize];
    std::uint64_t end = from;
    while (reader.Next(pointSize, fields, sizeof fields)) {
        const std::uint16_t count = collection::DecodePoint(fields).apCount;
        // The access point records are skipped as one block.
        if (count > 0 && !reader.Next(std::uint64_t{count} * apSize, fields, 0)) break;
        end = reader.Position();
    }
    error = reader.Error();
    return end;
}

}  // namespace

CSiteData::CSiteData(CEngine& engine, const GpsStatus& gps, const CSiteProjection& projection,
                     IUserMessages& messages)
    : engine_(engine), gps_(gps), projection_(projection), messages_(messages) {}

void CSiteData::Fail(const std::string& text) {
    lastFileFailed_ = true;
    lastFailureText_ = text;
    if (reportFailures_) messages_.ShowPlain(text);
}

void CSiteData::CloseCollection() {
    path_.clear();
    readOnly_ = false;
    fileName_.clear();
    fileLength_ = 0;
    noAccessPoint_ = false;
    ClearPoints();
}

void CSiteData::ClearPoints() {
    {
        std::lock_guard lock(listMutex_);
        points_.clear();
    }
    pointCount_ = 0;
    currentApCount_ = 0;
    selected_ = _tap{};
    selectedIndex_ = -1;
}

std::string CSiteData::ReadOnlyText(const std::string& path) {
    return "The log file " + path +
           " is read-only: its survey points can be looked at, but none can be taken, deleted or undone.";
}

bool CSiteData::CheckWritable() {
    if (!readOnly_) return true;
    lastFileFailed_ = true;
    lastFailureText_ = ReadOnlyText(path_);
    messages_.ShowPlain(lastFailureText_);
    return false;
}

bool CSiteData::OpenCollection(FileHandle& file, Access access) {
    lastFileFailed_ = false;
    if (access == Access::Write && !CheckWritable()) return false;
    file = FileHandle::Open(path_, readOnly_ ? O_RDONLY : O_RDWR);
    // Readable but not writable: opened for viewing from now on.
    if (!file.Valid() && access == Access::Read && !readOnly_ &&
        (errno == EACCES || errno == EROFS || errno == EPERM)) {
        file = FileHandle::Open(path_, O_RDONLY);
        if (file.Valid()) readOnly_ = true;
    }
    if (!file.Valid()) {
        Fail("Cannot open " + path_ + ": " + SystemErrorText(errno));
        return false;
    }
    // Write sharing denied: one collector at a time appends to a file.
    if (!file.LockExclusive()) {
        if (errno == EWOULDBLOCK)
            Fail("The log file " + FileNameOf(path_) + " is in use by another program; close it there first.");
        else
            Fail("Cannot open " + path_ + ": " + SystemErrorText(errno));
        return false;
    }
    const std::int64_t length = file.Length();
    if (length < 0) {
        Fail("Cannot read " + path_ + ": " + SystemErrorText(errno));
        return false;
    }
    collection::Layout layout;
    std::string why;
    int errorNumber = 0;
    if (!collection::ReadLayout(file, static_cast<std::uint64_t>(length), layout, why, errorNumber)) {
        if (errorNumber != 0)
            Fail("Cannot read " + path_ + ": " + SystemErrorText(errorNumber));
        else
            Fail(FileNameOf(path_) + " cannot be used as a log file: " + why + ".");
        return false;
    }
    // Another layout than the one known: the known end means nothing in it.
    if (layout.pairOffset != pairOffset_ || layout.pointRecordSize != pointRecordSize_ ||
        layout.apRecordSize != apRecordSize_)
        groupsEnd_ = 0;
    pairOffset_ = layout.pairOffset;
    pointRecordSize_ = layout.pointRecordSize;
    apRecordSize_ = layout.apRecordSize;
    fileName_ = FileNameOf(path_);
    fileLength_ = static_cast<std::uint64_t>(length);
    return true;
}

bool CSiteData::CreateCollection() {
    lastFileFailed_ = false;
    // Not O_TRUNC: the file is emptied only once the lock shows that no
    // other collector is writing it.
    FileHandle file = FileHandle::Open(path_, O_WRONLY | O_CREAT);
    if (!file.Valid()) {
        Fail("Cannot create " + path_ + ": " + SystemErrorText(errno));
        return false;
    }
    if (!file.LockExclusive()) {
        if (errno == EWOULDBLOCK)
            Fail("The log file " + FileNameOf(path_) + " is in use by another program; close it there first.");
        else
            Fail("Cannot create " + path_ + ": " + SystemErrorText(errno));
        return false;
    }
    const auto start = collection::MakeNewFileStart(static_cast<std::int64_t>(std::time(nullptr)));
    if (!file.Truncate(0) || !file.WriteAt(start.data(), start.size(), 0) || !file.Flush()) {
        Fail("Cannot write " + path_ + ": " + SystemErrorText(errno));
        return false;
    }
    pairOffset_ = collection::kPairOffset;
    pointRecordSize_ = collection::kPointRecordSize;
    apRecordSize_ = collection::kApRecordSize;
    fileName_ = FileNameOf(path_);
    fileLength_ = start.size();
    groupsEnd_ = start.size();
    ClearPoints();
    return true;
}

bool CSiteData::FindAppendOffset(const FileHandle& file, std::uint64_t& offset, std::uint64_t& dropped) {
    const std::uint64_t first = std::uint64_t{pairOffset_} + 8;
    // Not known, or the file shrank under it: walk the whole file.
    std::uint64_t end = groupsEnd_ >= first && groupsEnd_ <= fileLength_ ? groupsEnd_ : first;
    if (fileLength_ > end) {
        // Bytes nobody here has read: complete groups (another collector's
        // appends) are kept, an unfinished one is cut off.
        int error = 0;
        end = EndOfCompleteGroups(file, end, pointRecordSize_, apRecordSize_, error);
        if (error != 0) {
            Fail("Cannot read " + path_ + ": " + SystemErrorText(error));
            return false;
        }
        if (end < fileLength_) {
            if (!file.Truncate(end) || (durable_ && !file.Flush())) {
                Fail("Cannot write " + path_ + ": " + SystemErrorText(errno));
                return false;
            }
            dropped += fileLength_ - end;
            fileLength_ = end;
        }
    }
    groupsEnd_ = end;
    offset = end;
    return true;
}

void CSiteData::TellDropped(std::uint64_t dropped) {
    if (dropped == 0) return;
    messages_.ShowInfo("The log file " + path_ + " ended in an unfinished survey point, cut short when the program "
                       "stopped while storing it. Its " + std::to_string(dropped) +
                       " bytes were dropped; every point stored before it is kept.");
}

bool CSiteData::LoadCollection() {
    ClearPoints();
    groupsEnd_ = 0;
    FileHandle file;
    if (!OpenCollection(file, Access::Read)) return false;

    std::vector<_tap> points;
    std::int32_t count = 0;
    CollectionReader reader(file, std::uint64_t{pairOffset_} + 8);
    std::uint64_t end = reader.Position();  // of the last complete group
    std::uint8_t pointFields[collection::kPointRecordSize];
    std::uint8_t apFields[6];  // channel and signal: all a level needs
    for (;;) {
        const std::uint64_t offset = reader.Position();
        if (!reader.Next(pointRecordSize_, pointFields, sizeof pointFields)) break;
        const collection::PointRecord record = collection::DecodePoint(pointFields);
        std::int32_t x = record.x;
        std::int32_t y = record.y;
        if (record.kind == kGpsPoint || record.kind == kProjectedTap) {
            const PlanPoint p = projection_.PlanFromPosition(record.latitude / collection::kPositionScale,
                                                             record.longitude / collection::kPositionScale);
            x = p.x;
            y = p.y;
        }
        std::int16_t strongest = -100;
        std::int32_t heard = 0;
        for (std::uint32_t i = 0; i < record.apCount; ++i) {
            if (!reader.Next(apRecordSize_, apFields, sizeof apFields)) break;
            const int level = static_cast<std::int16_t>(ReadLe16(apFields + 4)) / 16;
            if (level > strongest) strongest = static_cast<std::int16_t>(level);
            ++heard;
        }
        // An unfinished group is not a point: it is cut off below.
        if (heard < record.apCount) break;
        end = reader.Position();
        ++count;
        // Offsets are kept in 32 bits: nothing past 4 GiB can be addressed,
        // but the groups there are walked, so their end is known.
        if (offset > UINT32_MAX) continue;
        const auto at = static_cast<std::uint32_t>(offset);
        if (record.kind == kGpsPoint || record.kind == kProjectedTap || record.kind == kPlanTap)
            points.push_back(_tap{x, y, strongest, static_cast<std::int16_t>(heard), record.kind, at});
        else if (record.kind == kApMarker)
            points.push_back(_tap{x, y, -100, 0, kApMarker, at});
    }
    if (reader.Error() != 0) {
        Fail("Cannot read " + path_ + ": " + SystemErrorText(reader.Error()));
        return false;
    }
    // What follows the last complete group is a point cut short while it was
    // stored; a later append must not follow it.
    const std::uint64_t dropped = readOnly_ ? 0 : fileLength_ - end;
    if (dropped > 0) {
        if (!file.Truncate(end) || (durable_ && !file.Flush())) {
            Fail("Cannot write " + path_ + ": " + SystemErrorText(errno));
            return false;
        }
        fileLength_ = end;
    }
    file.Close();
    groupsEnd_ = end;
    {
        std::lock_guard lock(listMutex_);
        points_ = std::move(points);
    }
    pointCount_ = count;
    TellDropped(dropped);
    return true;
}

void CSiteData::BeginPoint(std::uint8_t kind, std::int32_t x, std::int32_t y) {
    SetPendingPoint(kind, x, y);
    engine_.ClearApTable();
}

void CSiteData::SetPendingPoint(std::uint8_t kind, std::int32_t x, std::int32_t y) {
    currentKind_ = kind;
    currentX_ = x;
    currentY_ = y;
    if (kind == kGpsPoint) {
        currentLatitude_ = ToStored(gps_.latitude.load(std::memory_order_relaxed));
        currentLongitude_ = ToStored(gps_.longitude.load(std::memory_order_relaxed));
    } else if (kind == kProjectedTap) {
        currentLatitude_ = ToStored(projection_.LatitudeFromPlan(x, y));
        currentLongitude_ = ToStored(projection_.LongitudeFromPlan(x, y));
    } else {
        currentLatitude_ = 0;
        currentLongitude_ = 0;
    }
}

bool CSiteData::RecordPoint() { return RecordGroup(engine_.CopyApTable()); }

bool CSiteData::RecordPointAt(std::uint8_t kind, std::int32_t x, std::int32_t y, const std::vector<CMac>& heard) {
    SetPendingPoint(kind, x, y);
    return RecordGroup(heard);
}

bool CSiteData::SelectPointAt(std::size_t index) {
    std::lock_guard lock(listMutex_);
    if (index >= points_.size()) return false;
    selected_ = points_[index];
    selectedIndex_ = static_cast<std::int32_t>(index);
    return true;
}

bool CSiteData::RecordGroup(const std::vector<CMac>& heard) {
    if (!CheckWritable()) return false;  // before anything is counted
    ++pointCount_;
    std::int16_t strongest = -100;
    currentApCount_ = 0;
    noAccessPoint_ = false;

    FileHandle file;
    if (!OpenCollection(file, Access::Write)) return false;
    std::uint64_t offset = 0;
    std::uint64_t dropped = 0;
    if (!FindAppendOffset(file, offset, dropped)) return false;
    if (offset > UINT32_MAX) {
        TellDropped(dropped);
        Fail("The log file " + fileName_ + " is full: survey points cannot be stored past 4 GiB.");
        return false;
    }

    collection::PointRecord record;
    record.kind = currentKind_;
    if (currentKind_ == kGpsPoint || currentKind_ == kProjectedTap) {
        const GpsSnapshot gps = gps_.Snapshot();
        record.latitude = currentLatitude_;
        record.longitude = currentLongitude_;
        record.month = static_cast<std::uint8_t>(gps.month);
        record.day = static_cast<std::uint8_t>(gps.day);
        record.year = static_cast<std::uint8_t>(gps.year + 68);
        record.hour = gps.hour;
        record.minute = gps.minute;
        record.second = gps.second;
        record.fineTime = gps.fineTime;
        record.keptField = gps.keptField / 1000000u;
        record.scaledA = gps.scaledA;
        record.scaledB = gps.scaledB;
        record.fix = gps.lock3d == 1 ? 2 : gps.lock2d == 1 ? 1 : 0;
    } else {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        record.x = static_cast<std::uint16_t>(currentX_);
        record.y = static_cast<std::uint16_t>(currentY_);
        record.month = static_cast<std::uint8_t>(local.tm_mon + 1);
        record.day = static_cast<std::uint8_t>(local.tm_mday);
        record.year = static_cast<std::uint8_t>(local.tm_year + 1900 + 68);
        record.hour = static_cast<std::uint8_t>(local.tm_hour);
        record.minute = static_cast<std::uint8_t>(local.tm_min);
        record.second = static_cast<std::uint8_t>(local.tm_sec);
        record.fix = 3;
    }

    // The whole group in one buffer, the count already final, records at
    // the sizes the file declares, so that it reaches the disk in one write.
    const std::size_t stored = std::min<std::size_t>(heard.size(), UINT16_MAX);
    std::vector<std::uint8_t> group(pointRecordSize_ + stored * std::size_t{apRecordSize_}, 0);
    std::uint8_t* at = group.data() + pointRecordSize_;
    for (std::size_t i = 0; i < stored; ++i, at += apRecordSize_) {
        const CMac& mac = heard[i];
        collection::ApRecord ap;
        ap.channel = static_cast<std::uint8_t>(mac.channel);
        ap.signal = static_cast<std::int16_t>(mac.hits > 0 ? mac.rssiSum / mac.hits : mac.rssiSum);
        ap.mac = mac.mac;
        ap.ssid = mac.ssid;
        collection::EncodeAp(ap, at);
        if (ap.Level() > strongest) strongest = static_cast<std::int16_t>(ap.Level());
        ++currentApCount_;
    }
    if (stored == 0) noAccessPoint_ = true;
    record.apCount = static_cast<std::uint16_t>(stored);
    collection::EncodePoint(record, group.data());

    if (!file.WriteAt(group.data(), group.size(), offset) || (durable_ && !file.Flush())) {
        const int error = errno;
        // Leave no partial group behind for the next append to follow.
        file.Truncate(offset);
        file.Close();
        TellDropped(dropped);
        Fail("Cannot write " + path_ + ": " + SystemErrorText(error));
        return false;
    }
    groupsEnd_ = offset + group.size();
    file.Close();
    TellDropped(dropped);

    currentOffset_ = static_cast<std::uint32_t>(offset);
    currentStrongest_ = strongest;
    {
        std::lock_guard lock(listMutex_);
        points_.push_back(_tap{currentX_, currentY_, strongest, static_cast<std::int16_t>(stored), record.kind,
                               currentOffset_});
    }
    return !noAccessPoint_;
}

std::uint8_t CSiteData::FindNearestPoint(std::int32_t x, std::int32_t y) {
    std::lock_guard lock(listMutex_);
    if (points_.empty()) return kNoPoint;
    // A point more than the radius away on either axis can never be in
    // range; skipping it keeps the squares small. (Two saturated
    // coordinates lie 2^32 - 1 apart, whose square overflows 64 bits.)
    std::int64_t best = kSelectRadiusSquared + 1;
    for (std::size_t i = 0; i < points_.size(); ++i) {
        const std::int64_t dx = std::int64_t{points_[i].x} - x;
        const std::int64_t dy = std::int64_t{points_[i].y} - y;
        if (dx < -kSelectRadius || dx > kSelectRadius || dy < -kSelectRadius || dy > kSelectRadius) continue;
        const std::int64_t d = dx * dx + dy * dy;
        if (d < best) {
            selected_ = points_[i];
            selectedIndex_ = static_cast<std::int32_t>(i);
            best = d;
        }
    }
    return best > kSelectRadiusSquared ? kNoPoint : selected_.kind;
}

bool CSiteData::DeleteSelectedPoint() {
    if (selectedIndex_ < 0) return false;
    FileHandle file;
    if (!OpenCollection(file, Access::Write)) return false;
    std::uint8_t record[collection::kPointRecordSize];
    const std::uint64_t offset = selected_.offset;
    if (offset + pointRecordSize_ > fileLength_ ||
        file.ReadAt(record, sizeof record, offset) != static_cast<std::int64_t>(sizeof record)) {
        Fail(fileName_ + " no longer holds this survey point; nothing was deleted.");
        return false;
    }
    const std::uint8_t deleted = kDeleted;
    if (!file.WriteAt(&deleted, 1, offset) || (durable_ && !file.Flush())) {
        Fail("Cannot write " + path_ + ": " + SystemErrorText(errno));
        return false;
    }
    file.Close();
    // The point goes from the plan only once its byte is on disk.
    {
        std::lock_guard lock(listMutex_);
        if (static_cast<std::size_t>(selectedIndex_) < points_.size()) points_[selectedIndex_].kind = kDeleted;
    }
    --pointCount_;
    messages_.ShowPlain("Deleted.");
    return true;
}

std::vector<std::uint8_t> CSiteData::ReadApRecord(std::uint16_t index) {
    if (selectedIndex_ < 0 || index == 0) return {};
    FileHandle file;
    if (!OpenCollection(file, Access::Read)) return {};
    const std::uint64_t offset =
        std::uint64_t{selected_.offset} + pointRecordSize_ + std::uint64_t{index - 1u} * apRecordSize_;
    std::vector<std::uint8_t> record(collection::kApRecordSize);
    if (file.ReadAt(record.data(), record.size(), offset) != static_cast<std::int64_t>(record.size())) return {};
    return record;
}

std::string CSiteData::FormatApLine(std::uint16_t index) {
    const auto bytes = ReadApRecord(index);
    if (bytes.empty()) return {};
    const collection::ApRecord ap = collection::DecodeAp(bytes.data());
    char line[128];
    std::snprintf(line, sizeof line, "%02d    %02X-%02X-%02X-%02X-%02X-%02X                   %d",
                  static_cast<int>(ap.channel), ap.mac[0], ap.mac[1], ap.mac[2], ap.mac[3], ap.mac[4], ap.mac[5],
                  ap.Level());
    return line;
}

std::string CSiteData::FormatSsidLine(std::uint16_t index) {
    const auto bytes = ReadApRecord(index);
    if (bytes.empty()) return {};
    return "         " + collection::DecodeAp(bytes.data()).SsidText();
}

std::vector<CSiteData::_tap> CSiteData::Points() const {
    std::lock_guard lock(listMutex_);
    return points_;
}

}  // namespace quorl
