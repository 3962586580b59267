#include "survey/SiteData.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "common/ByteOrder.h"
#include "survey/CollectionFormat.h"
#include "survey/PendingFile.h"
#include "survey/RecordPlausibility.h"
#include "survey/SideFile.h"

namespace quorl {

namespace {

constexpr std::int64_t kSelectRadius = 40;  // plan pixels
constexpr std::int64_t kSelectRadiusSquared = kSelectRadius * kSelectRadius;

std::int32_t ToStored(double degrees) { return TruncToInt32(degrees * collection::kPositionScale); }

// At most this many of each kind of repair are listed in the message.
constexpr std::size_t kListed = 5;

std::string Bytes(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

// The two highest levels of a point's records: a second access point for
// roaming is what the voice and data profiles ask of every place.
void KeepTopTwo(int level, std::int16_t& strongest, std::int16_t& second) {
    if (level > strongest) {
        second = strongest;
        strongest = static_cast<std::int16_t>(level);
    } else if (level > second) {
        second = static_cast<std::int16_t>(level);
    }
}

// The receiver's date and time `seconds` earlier; a snapshot without a
// date (no fix yet) keeps its fields.
void EarlierBy(GpsSnapshot& gps, double seconds) {
    const std::time_t back = static_cast<std::time_t>(std::lround(seconds));
    if (back == 0 || gps.year < 1970 || gps.month < 1 || gps.month > 12 || gps.day < 1 || gps.day > 31) return;
    std::tm utc{};
    utc.tm_year = gps.year - 1900;
    utc.tm_mon = gps.month - 1;
    utc.tm_mday = gps.day;
    utc.tm_hour = gps.hour;
    utc.tm_min = gps.minute;
    utc.tm_sec = gps.second;
    const std::time_t then = timegm(&utc) - back;
    if (!gmtime_r(&then, &utc)) return;
    gps.year = utc.tm_year + 1900;
    gps.month = utc.tm_mon + 1;
    gps.day = utc.tm_mday;
    gps.hour = static_cast<decltype(gps.hour)>(utc.tm_hour);
    gps.minute = static_cast<decltype(gps.minute)>(utc.tm_min);
    gps.second = static_cast<decltype(gps.second)>(utc.tm_sec);
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
    appended_.clear();
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
    // No write bit for anyone: view only, for root too, whom open(2) and
    // access(2) would let write it anyway.
    struct stat mode {};
    if (!readOnly_ && ::stat(path_.c_str(), &mode) == 0 && S_ISREG(mode.st_mode) && (mode.st_mode & 0222) == 0) {
        readOnly_ = true;
        if (access == Access::Write) return CheckWritable();
    }
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
    // A file made here is removed again when it cannot be written (a full
    // disk): an empty file would only be refused when opened. Not O_TRUNC
    // for one already there: it is emptied only once the lock shows that no
    // other collector is writing it.
    bool made = true;
    FileHandle file = FileHandle::Open(path_, O_WRONLY | O_CREAT | O_EXCL);
    if (!file.Valid() && errno == EEXIST) {
        made = false;
        file = FileHandle::Open(path_, O_WRONLY);
    }
    if (!file.Valid()) {
        Fail("Cannot create " + path_ + ": " + SystemErrorText(errno));
        return false;
    }
    if (!file.LockExclusive()) {
        const int error = errno;
        if (made) ::unlink(path_.c_str());
        if (error == EWOULDBLOCK)
            Fail("The log file " + FileNameOf(path_) + " is in use by another program; close it there first.");
        else
            Fail("Cannot create " + path_ + ": " + SystemErrorText(error));
        return false;
    }
    // Written over the old start before the rest goes: that needs no new
    // space on a full disk.
    const auto start = collection::MakeNewFileStart(static_cast<std::int64_t>(std::time(nullptr)));
    if (!file.WriteAt(start.data(), start.size(), 0) || !file.Truncate(start.size()) || !file.Flush()) {
        const int error = errno;
        if (made) ::unlink(path_.c_str());
        Fail("Cannot write " + path_ + ": " + SystemErrorText(error));
        return false;
    }
    pairOffset_ = collection::kPairOffset;
    pointRecordSize_ = collection::kPointRecordSize;
    apRecordSize_ = collection::kApRecordSize;
    fileName_ = FileNameOf(path_);
    fileLength_ = start.size();
    groupsEnd_ = start.size();
    walkedFile_ = IdentityOf(file);
    ClearPoints();
    return true;
}

CSiteData::FileIdentity CSiteData::IdentityOf(const FileHandle& file) const {
    FileIdentity id;
    struct stat st {};
    if (::fstat(file.Descriptor(), &st) != 0) return id;
    id.leading.resize(std::uint64_t{pairOffset_} + 8);
    if (file.ReadAt(id.leading.data(), id.leading.size(), 0) != static_cast<std::int64_t>(id.leading.size())) return id;
    id.known = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    return id;
}

bool CSiteData::SameFileAsWalked(const FileHandle& file) const {
    if (!walkedFile_.known || fileLength_ < groupsEnd_) return false;
    const FileIdentity now = IdentityOf(file);
    return now.known && now.device == walkedFile_.device && now.inode == walkedFile_.inode &&
           now.leading == walkedFile_.leading;
}

collection::Layout CSiteData::LayoutOf() const {
    collection::Layout layout;
    layout.pairOffset = pairOffset_;
    layout.pointRecordSize = pointRecordSize_;
    layout.apRecordSize = apRecordSize_;
    return layout;
}

bool CSiteData::WalkFile(const FileHandle& file, Walked& w) {
    const collection::Layout layout = LayoutOf();
    w = Walked{};
    w.end = layout.FirstGroup();
    collection::CollectionWalk walk(file, layout, fileLength_);
    collection::WalkedGroup group;
    while (walk.Next(group)) {
        const std::uint8_t* fields = walk.Bytes(group.offset, collection::kPointRecordSize);
        if (fields == nullptr) break;
        const collection::PointRecord record = collection::DecodePoint(fields);
        std::int32_t x = record.x;
        std::int32_t y = record.y;
        if (record.kind == kGpsPoint || record.kind == kProjectedTap) {
            const PlanPoint p = projection_.PlanFromPosition(record.latitude / collection::kPositionScale,
                                                             record.longitude / collection::kPositionScale);
            x = p.x;
            y = p.y;
        }
        std::int16_t strongest = -100;
        std::int16_t second = -100;
        std::uint64_t at = group.offset + pointRecordSize_;
        for (std::uint32_t i = 0; i < group.apCount; ++i, at += apRecordSize_) {
            const std::uint8_t* ap = walk.Bytes(at, 6);  // channel and signal: all a level needs
            if (ap == nullptr) break;
            const int level = static_cast<std::int16_t>(ReadLe16(ap + 4)) / 16;
            KeepTopTwo(level, strongest, second);
        }
        ++w.groups;
        w.end = group.offset + group.length;
        if (group.CountRepaired()) w.recounted.push_back(group);
        // Offsets are kept in 32 bits: nothing past 4 GiB can be addressed,
        // but the groups there are walked, so their end is known.
        if (group.offset > UINT32_MAX) continue;
        const auto offset = static_cast<std::uint32_t>(group.offset);
        const auto heard = static_cast<std::int16_t>(group.apCount);
        if (record.kind == kGpsPoint || record.kind == kProjectedTap || record.kind == kPlanTap)
            w.points.push_back(_tap{x, y, strongest, heard, record.kind, offset, second});
        else if (record.kind == kApMarker)
            w.points.push_back(_tap{x, y, -100, 0, kApMarker, offset});
    }
    if (walk.Error() != 0) {
        Fail("Cannot read " + path_ + ": " + SystemErrorText(walk.Error()));
        return false;
    }
    w.skipped = walk.Skipped();
    w.tail = walk.Tail();
    w.byCounts = walk.ReadByCounts();
    return true;
}

bool CSiteData::Repair(FileHandle& file, Walked& w, std::string& report) {
    if (w.byCounts && w.tail.length == 0) return true;
    const collection::ByteSpan tail = w.tail;
    const std::vector<collection::ByteSpan> skipped = w.skipped;
    const std::vector<collection::WalkedGroup> recounted = w.recounted;
    std::string keptName;
    if (!w.byCounts) {
        const std::uint64_t before = fileLength_;
        if (!ReplaceByCleanCopy(file, w, keptName)) return false;
        report = "The log file " + path_ + " was damaged. Its " + std::to_string(w.groups) +
                 " readable survey points continue in a clean copy of " + Bytes(fileLength_) +
                 "; the file as it was (" + Bytes(before) + ") is kept whole in " + FileNameOf(keptName) + ".";
    } else {
        if (!SaveBeside(path_, file, "torn", tail.offset, tail.length, keptName)) {
            Fail("The log file " + path_ + " needs repair, but its unfinished end cannot be saved beside it (" +
                 SystemErrorText(errno) + "); it was left as it was.");
            return false;
        }
        if (!file.Truncate(tail.offset) || (durable_ && !file.Flush())) {
            Fail("Cannot write " + path_ + ": " + SystemErrorText(errno));
            return false;
        }
        fileLength_ = tail.offset;
        w.tail = {tail.offset, 0};
        report = "The log file " + path_ + " was left unfinished. Every complete survey point in it is kept.";
    }
    for (std::size_t i = 0; i < skipped.size() && i < kListed; ++i)
        report += "\nNo readable survey point in " + Bytes(skipped[i].length) + " from offset " +
                  std::to_string(skipped[i].offset) + ": passed over.";
    if (skipped.size() > kListed)
        report += '\n' + std::to_string(skipped.size() - kListed) + " more such stretches were passed over.";
    for (std::size_t i = 0; i < recounted.size() && i < kListed; ++i)
        report += "\nThe survey point at offset " + std::to_string(recounted[i].offset) + " said it had " +
                  std::to_string(recounted[i].storedCount) + " access points and has " +
                  std::to_string(recounted[i].apCount) + "; its count was corrected.";
    if (recounted.size() > kListed)
        report += '\n' + std::to_string(recounted.size() - kListed) + " more counts were corrected.";
    if (tail.length > 0)
        report += "\nThe unfinished survey point at its end (" + Bytes(tail.length) + " from offset " +
                  std::to_string(tail.offset) + ": the program stopped while storing it) was cut off" +
                  (w.byCounts ? "; its bytes are kept in " + FileNameOf(keptName) + "." : ".");
    return true;
}

bool CSiteData::ReplaceByCleanCopy(FileHandle& file, Walked& w, std::string& keptName) {
    const auto fail = [&](const std::string& text) {
        Fail(text);
        return false;
    };
    if (!KeepDamaged(path_, file, fileLength_, keptName))
        return fail("The log file " + path_ + " is damaged, but it cannot be kept beside itself (" +
                    SystemErrorText(errno) + "); it was left as it was.");
    const auto giveUp = [&](int error) {
        ::unlink(keptName.c_str());
        return fail("The log file " + path_ + " is damaged, but a clean copy of it cannot be written (" +
                    SystemErrorText(error) + "); it was left as it was.");
    };
    PendingFile pending(path_);
    if (!pending.Created()) return giveUp(pending.Error());
    FileHandle copy = FileHandle::Open(pending.TempPath(), O_RDWR);
    struct stat st {};
    if (!copy.Valid() || ::fstat(file.Descriptor(), &st) != 0 || ::fchmod(copy.Descriptor(), st.st_mode & 07777) != 0)
        return giveUp(errno);
    // The leading bytes, then each group read, its count as found. Groups
    // that damage kept apart and now meet are still read as the walk reads
    // them: a copy of the group before it is left out here too.
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::uint64_t{pairOffset_} + 8));
    std::vector<std::uint8_t> previous;
    std::uint64_t written = 0;
    const auto put = [&](std::uint64_t from, std::uint64_t length, const collection::WalkedGroup* group) {
        buffer.resize(static_cast<std::size_t>(length));
        if (file.ReadAt(buffer.data(), buffer.size(), from) != static_cast<std::int64_t>(length)) {
            if (errno == 0) errno = EIO;
            return false;
        }
        if (group != nullptr) {
            WriteLe16(buffer.data() + 34, static_cast<std::uint16_t>(group->apCount));
            if (buffer.size() == previous.size() && std::equal(buffer.begin() + 1, buffer.end(), previous.begin() + 1))
                return true;
        }
        if (!copy.WriteAt(buffer.data(), buffer.size(), written)) return false;
        written += length;
        if (group != nullptr) std::swap(previous, buffer);
        return true;
    };
    errno = 0;
    if (!put(0, buffer.size(), nullptr)) return giveUp(errno);
    collection::CollectionWalk walk(file, LayoutOf(), fileLength_);
    collection::WalkedGroup g;
    while (walk.Next(g))
        if (!put(g.offset, g.length, &g)) return giveUp(errno);
    if (walk.Error() != 0) return giveUp(walk.Error());
    if (!copy.Flush() || !copy.LockExclusive()) return giveUp(errno);
    if (!pending.Commit()) return giveUp(pending.Error());
    FlushFolderOf(path_);
    // From here on the clean copy is the collection, this operation's lock with it.
    file = std::move(copy);
    fileLength_ = written;
    return WalkFile(file, w);
}

void CSiteData::Adopt(Walked& w, const FileHandle& file) {
    groupsEnd_ = w.end;
    walkedFile_ = IdentityOf(file);
    {
        std::lock_guard lock(listMutex_);
        points_ = std::move(w.points);
    }
    pointCount_ = w.groups;
    currentApCount_ = 0;
    selected_ = _tap{};
    selectedIndex_ = -1;
}

bool CSiteData::FindAppendOffset(FileHandle& file, std::uint64_t& offset, bool& rewalked, std::string& report) {
    rewalked = false;
    if (groupsEnd_ == fileLength_ && SameFileAsWalked(file)) {
        offset = groupsEnd_;
        return true;
    }
    // Another file now, or bytes added since: walk it again, so that the
    // point goes after its last complete group and the list matches it.
    const bool sameFile = SameFileAsWalked(file);
    Walked walked;
    if (!WalkFile(file, walked) || !Repair(file, walked, report)) return false;
    Adopt(walked, file);
    // Offsets name places in the file they were taken in, and in no other.
    if (!sameFile) appended_.clear();
    rewalked = true;
    offset = groupsEnd_;
    return true;
}

void CSiteData::TellRepairs(const std::string& report) {
    if (!report.empty()) messages_.ShowInfo(report);
}

bool CSiteData::LoadCollection() {
    ClearPoints();
    groupsEnd_ = 0;
    walkedFile_ = {};
    FileHandle file;
    if (!OpenCollection(file, Access::Read)) return false;
    Walked walked;
    std::string report;
    if (!WalkFile(file, walked)) return false;
    // A file opened for viewing is read as the walk finds it and never repaired.
    if (!readOnly_ && !Repair(file, walked, report)) return false;
    Adopt(walked, file);
    file.Close();
    TellRepairs(report);
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

bool CSiteData::RecordPointAt(std::uint8_t kind, std::int32_t x, std::int32_t y, const std::vector<CMac>& heard,
                              double secondsAgo) {
    SetPendingPoint(kind, x, y);
    return RecordGroup(heard, secondsAgo);
}

bool CSiteData::SelectPointAt(std::size_t index) {
    std::lock_guard lock(listMutex_);
    if (index >= points_.size()) return false;
    selected_ = points_[index];
    selectedIndex_ = static_cast<std::int32_t>(index);
    return true;
}

bool CSiteData::RecordGroup(const std::vector<CMac>& heard, double secondsAgo) {
    if (!CheckWritable()) return false;  // before anything is counted
    ++pointCount_;
    std::int16_t strongest = -100;
    std::int16_t second = -100;
    currentApCount_ = 0;
    noAccessPoint_ = false;

    FileHandle file;
    if (!OpenCollection(file, Access::Write)) return false;
    std::uint64_t offset = 0;
    bool rewalked = false;
    std::string report;
    if (!FindAppendOffset(file, offset, rewalked, report)) return false;
    if (rewalked) ++pointCount_;  // the walk counted the points before this one
    if (offset > UINT32_MAX) {
        TellRepairs(report);
        Fail("The log file " + fileName_ + " is full: survey points cannot be stored past 4 GiB.");
        return false;
    }

    collection::PointRecord record;
    record.kind = currentKind_;
    if (currentKind_ == kGpsPoint || currentKind_ == kProjectedTap) {
        GpsSnapshot gps = gps_.Snapshot();
        EarlierBy(gps, secondsAgo);
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
        const std::time_t now = std::time(nullptr) - static_cast<std::time_t>(std::lround(secondsAgo));
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
    // Only records the walk reads back as access points: no channel, no record.
    std::vector<const CMac*> kept;
    for (const CMac& mac : heard)
        if (kept.size() < UINT16_MAX && collection::ValidChannel(static_cast<std::uint8_t>(mac.channel)))
            kept.push_back(&mac);
    const std::size_t stored = kept.size();
    std::vector<std::uint8_t> group(pointRecordSize_ + stored * std::size_t{apRecordSize_}, 0);
    std::uint8_t* at = group.data() + pointRecordSize_;
    for (std::size_t i = 0; i < stored; ++i, at += apRecordSize_) {
        const CMac& mac = *kept[i];
        collection::ApRecord ap;
        ap.channel = static_cast<std::uint8_t>(mac.channel);
        // Below 0 dBm, as every receiver reports; an average that is not is held just below.
        ap.signal = std::min<std::int16_t>(
            static_cast<std::int16_t>(mac.hits > 0 ? mac.rssiSum / mac.hits : mac.rssiSum), -1);
        ap.mac = mac.mac;
        ap.ssid = mac.ssid;
        collection::EncodeAp(ap, at);
        KeepTopTwo(ap.Level(), strongest, second);
        ++currentApCount_;
    }
    if (stored == 0) noAccessPoint_ = true;
    record.apCount = static_cast<std::uint16_t>(stored);
    MakePlausible(record);
    collection::EncodePoint(record, group.data());

    if (!file.WriteAt(group.data(), group.size(), offset) || (durable_ && !file.Flush())) {
        const int error = errno;
        // Leave no partial group behind for the next append to follow.
        file.Truncate(offset);
        file.Close();
        TellRepairs(report);
        Fail("Cannot write " + path_ + ": " + SystemErrorText(error));
        return false;
    }
    groupsEnd_ = offset + group.size();
    file.Close();
    TellRepairs(report);

    currentOffset_ = static_cast<std::uint32_t>(offset);
    appended_.push_back(currentOffset_);
    currentStrongest_ = strongest;
    {
        std::lock_guard lock(listMutex_);
        points_.push_back(_tap{currentX_, currentY_, strongest, static_cast<std::int16_t>(stored), record.kind,
                               currentOffset_, second});
    }
    return !noAccessPoint_;
}

void CSiteData::MakePlausible(collection::PointRecord& r) {
    constexpr std::int32_t kLatitude = 90 * 3600000, kLongitude = 180 * 3600000;
    r.latitude = std::clamp(r.latitude, -kLatitude, kLatitude);
    r.longitude = std::clamp(r.longitude, -kLongitude, kLongitude);
    std::uint8_t bytes[collection::kPointRecordSize];
    collection::EncodePoint(r, bytes);
    if (collection::PlausiblePoint(bytes)) return;
    // A receiver's date out of range, or nothing at all to tell (a GPS point
    // at 0, 0 before any report): the tablet's clock, as a plan tap has.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    r.month = static_cast<std::uint8_t>(local.tm_mon + 1);
    r.day = static_cast<std::uint8_t>(local.tm_mday);
    r.year = static_cast<std::uint8_t>(local.tm_year + 1900 + 68);
    r.hour = static_cast<std::uint8_t>(local.tm_hour);
    r.minute = static_cast<std::uint8_t>(local.tm_min);
    r.second = static_cast<std::uint8_t>(local.tm_sec);
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

bool CSiteData::StillTheSelectedPoint(const collection::PointRecord& record) const {
    // A file with the same header made into another survey in place still
    // differs here. (A marker's entry counts no access points.)
    if (record.kind != selected_.kind) return false;
    if (record.kind != kApMarker && record.apCount != static_cast<std::uint16_t>(selected_.apCount)) return false;
    return !(record.kind == kPlanTap || record.kind == kApMarker) ||
           (record.x == static_cast<std::uint16_t>(selected_.x) && record.y == static_cast<std::uint16_t>(selected_.y));
}

bool CSiteData::DeleteSelectedPoint() {
    if (!DeleteSelectedPointQuietly()) return false;
    messages_.ShowPlain("Deleted.");
    return true;
}

bool CSiteData::DeleteSelectedPointQuietly() {
    if (selectedIndex_ < 0) return false;
    FileHandle file;
    if (!OpenCollection(file, Access::Write)) return false;
    std::uint8_t record[collection::kPointRecordSize];
    const std::uint64_t offset = selected_.offset;
    // The offset belongs to the file walked; another file put in its place
    // is not written into.
    if (!SameFileAsWalked(file) || offset + pointRecordSize_ > fileLength_ ||
        file.ReadAt(record, sizeof record, offset) != static_cast<std::int64_t>(sizeof record) ||
        !StillTheSelectedPoint(collection::DecodePoint(record))) {
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
