#pragma once
// CSiteData: the survey points of the current collection and its file
// (".ssd"). Each operation opens the file, does its work and closes it;
// nothing stays open between user actions. Points are only appended;
// deleting a point rewrites the kind byte of its record in place.
//
// Opening takes an exclusive advisory lock (flock) for the length of the
// operation, so a second collector on the same file is told so instead of
// interleaving its appends. RecordPoint writes a point's whole group in one
// write and flushes it before it returns.
//
// The file is read by the one walk (CollectionWalk.h), which passes over
// damage. A file whose only fault is an unfinished tail (part of a group left
// by a kill during that write) has the tail cut off, its bytes kept beside
// the file first (SideFile.h). Any other damage (spans passed over, counts
// found wrong, copies of a group) is never written into: the file is kept
// whole beside itself as FILE.damaged-N, and a clean file holding exactly the
// groups the walk read is written aside, flushed and renamed over it. Either
// way the user is told once, and from then on the file reads by its counts
// alone, so that no later append can change how earlier bytes read.
// RecordPoint appends at the end it remembers only while the file is still
// the one walked (same device and inode, same leading bytes, that length);
// otherwise it walks the file again first.
//
// A file the user may read but not write (the installed demo survey, a
// read-only medium) opens for viewing: its points load and their access
// points can be read, and every writing action is refused by CheckWritable
// with one message naming the file. Nothing is written to such a file, not
// even the repair of an unfinished last point.

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "common/UserMessages.h"
#include "engine/Engine.h"
#include "engine/GpsStatus.h"
#include "survey/CollectionWalk.h"
#include "survey/FileHandle.h"
#include "survey/SiteProjection.h"

namespace quorl {

class CSiteData {
public:
    // One entry of the point list.
    struct _tap {
        std::int32_t x = 0;          // plan pixel
        std::int32_t y = 0;
        std::int16_t strongest = -100;  // highest level heard, -100 for none
        std::int16_t apCount = 0;    // access point records after the point record
        std::uint8_t kind = 0;       // point kind (below)
        std::uint32_t offset = 0;    // offset of the point record in the file
        std::int16_t second = -100;  // second-highest level, another record; -100 for none
        bool operator==(const _tap&) const = default;
    };

    static constexpr std::uint8_t kGpsPoint = 0;
    static constexpr std::uint8_t kProjectedTap = 1;
    static constexpr std::uint8_t kPlanTap = 2;
    static constexpr std::uint8_t kApMarker = 17;
    static constexpr std::uint8_t kDeleted = 255;
    static constexpr std::uint8_t kNoPoint = 255;  // FindNearestPoint: nothing in range

    CSiteData(CEngine& engine, const GpsStatus& gps, const CSiteProjection& projection,
              IUserMessages& messages);
    virtual ~CSiteData() = default;
    CSiteData(const CSiteData&) = delete;
    CSiteData& operator=(const CSiteData&) = delete;

    void SetCollectionPath(std::string path) {
        path_ = std::move(path);
        groupsEnd_ = 0;
        readOnly_ = false;
        walkedFile_ = {};
    }
    const std::string& CollectionPath() const { return path_; }

    // New file (an existing one is truncated): header and record sizes,
    // 33 bytes. Empties the point list, the counts and the selection, so
    // no offset of an older file can be written into the new one.
    bool CreateCollection();
    // Replaces the point list and count with the file's points, repairing
    // the file as the walk finds it must be (above) and telling the user
    // once. On failure the list and count are left empty. A file that may be
    // read but not written is opened read-only (ReadOnly()) and not repaired.
    bool LoadCollection();
    // The file was opened for viewing only.
    bool ReadOnly() const { return readOnly_; }
    // The one gate of every action that writes the collection (taking,
    // deleting or undoing a point): false, after telling the user once,
    // when the file is read-only.
    bool CheckWritable();
    static std::string ReadOnlyText(const std::string& path);
    // Fixes the pending point and empties the engine's AP table.
    void BeginPoint(std::uint8_t kind, std::int32_t x, std::int32_t y);
    // Appends the pending point with every access point of the AP table.
    // True when at least one access point was recorded; false when none was
    // or the file could not be written (LastFileFailed() tells which).
    bool RecordPoint();
    // A point of kind `kind` at (x, y) with the access points `heard`, as
    // BeginPoint and RecordPoint would store it; the AP table is untouched.
    // `secondsAgo`: when it was heard, if not now (a walk's sweep, stored
    // once the surveyor's next tap places it, carries its middle's time).
    bool RecordPointAt(std::uint8_t kind, std::int32_t x, std::int32_t y, const std::vector<CMac>& heard,
                       double secondsAgo = 0);
    // Entry `index` of the point list becomes the selected point.
    bool SelectPointAt(std::size_t index);
    // Where in the file the groups this collection took since it was opened
    // or made begin, oldest first: what Undo may reach. A walk again after
    // another writer appended keeps them (appends never move a group); a
    // different file in its place clears them.
    const std::vector<std::uint32_t>& AppendedOffsets() const { return appended_; }
    // Kind of the nearest point within 40 plan pixels (it becomes the
    // selected point), or kNoPoint.
    std::uint8_t FindNearestPoint(std::int32_t x, std::int32_t y);
    // Marks the selected point deleted in the list and in the file, then
    // shows "Deleted.". False when nothing was selected or the file failed.
    bool DeleteSelectedPoint();
    // The same, telling nothing on success: for a caller with its own
    // confirmation.
    bool DeleteSelectedPointQuietly();
    // The two lines of the information dialog for access point `index`
    // (1-based) of the selected point; empty when the record cannot be read.
    std::string FormatApLine(std::uint16_t index);
    std::string FormatSsidLine(std::uint16_t index);

    // Point list: a copy, or a walk under the point-list lock.
    std::vector<_tap> Points() const;
    template <typename Visit>
    void VisitPoints(Visit&& visit) const {
        std::lock_guard lock(listMutex_);
        for (const _tap& entry : points_) visit(entry);
    }

    _tap SelectedPoint() const { return selected_; }
    std::int32_t SelectedIndex() const { return selectedIndex_; }  // -1: none
    std::int32_t PointCount() const { return pointCount_; }
    bool NoAccessPoint() const { return noAccessPoint_; }
    std::uint8_t CurrentKind() const { return currentKind_; }
    // Name without directory and length, as taken when the file was last opened.
    const std::string& FileName() const { return fileName_; }
    std::uint64_t FileLength() const { return fileLength_; }
    // Record sizes as last read from the file or set on creation.
    std::uint32_t PointRecordSize() const { return pointRecordSize_; }
    std::uint32_t ApRecordSize() const { return apRecordSize_; }
    // True when the last operation stopped on a file failure (reported).
    bool LastFileFailed() const { return lastFileFailed_; }

    // Forgets the collection: no path, file name or length, no points,
    // counts, selection or alert; what is on disk stays as it is.
    void CloseCollection();
    // While off, a file failure is kept (LastFailureText) rather than
    // shown, for a caller that tells the user in a message of its own.
    void SetReportFailures(bool report) { reportFailures_ = report; }
    const std::string& LastFailureText() const { return lastFailureText_; }

    // RecordPoint and DeleteSelectedPoint flush what they wrote to the disk
    // before they return; turning that off is for measuring what the flush
    // costs and for tests that write thousands of times.
    void SetDurableWrites(bool durable) { durable_ = durable; }

private:
    enum class Access { Read, Write };
    // Opens and locks the file, reads the header and record sizes and takes
    // the name and length. Reports and answers false on failure. Whatever
    // writes to the file opens it for Access::Write, which passes through
    // CheckWritable.
    bool OpenCollection(FileHandle& file, Access access);
    // What one walk of the file found.
    struct Walked {
        std::vector<_tap> points;
        std::int32_t groups = 0;
        std::uint64_t end = 0;  // of the last complete group
        std::vector<collection::WalkedGroup> recounted;
        std::vector<collection::ByteSpan> skipped;
        collection::ByteSpan tail;
        bool byCounts = true;  // read by stored counts alone, a tail aside
    };
    // Who the walked file was: a file copied or renamed over it is another.
    struct FileIdentity {
        bool known = false;
        dev_t device = 0;
        ino_t inode = 0;
        std::vector<std::uint8_t> leading;  // header and record sizes
    };
    bool WalkFile(const FileHandle& file, Walked& walked);
    collection::Layout LayoutOf() const;
    // Cuts an unfinished tail (kept beside the file first), or replaces a
    // damaged file by a clean copy of its groups (the file kept whole beside
    // it); `file` is then the clean copy, opened and locked, and `walked` its
    // walk. What was done goes into `report`. Reports and answers false, the
    // file unchanged, when a side file or the copy cannot be made.
    bool Repair(FileHandle& file, Walked& walked, std::string& report);
    bool ReplaceByCleanCopy(FileHandle& file, Walked& walked, std::string& keptName);
    // The point about to be stored made such that the walk reads it back: a
    // position off the earth is held at its edge, a date the receiver got
    // wrong becomes the tablet's. (Access point records with no valid
    // channel are not stored, signals are kept below 0 dBm.)
    static void MakePlausible(collection::PointRecord& record);
    // Takes the walked points as the list and count, the end as the append end.
    void Adopt(Walked& walked, const FileHandle& file);
    FileIdentity IdentityOf(const FileHandle& file) const;
    bool SameFileAsWalked(const FileHandle& file) const;
    bool StillTheSelectedPoint(const collection::PointRecord& record) const;
    // The offset where the next group goes. `rewalked` when the file had
    // to be walked again (its points are then the list). Reports and answers
    // false on failure.
    bool FindAppendOffset(FileHandle& file, std::uint64_t& offset, bool& rewalked, std::string& report);
    void TellRepairs(const std::string& report);
    void SetPendingPoint(std::uint8_t kind, std::int32_t x, std::int32_t y);
    bool RecordGroup(const std::vector<CMac>& heard, double secondsAgo = 0);
    void Fail(const std::string& text);
    void ClearPoints();
    // Access point record `index` (1-based) of the selected point; empty
    // when it cannot be read.
    std::vector<std::uint8_t> ReadApRecord(std::uint16_t index);

    CEngine& engine_;
    const GpsStatus& gps_;
    const CSiteProjection& projection_;
    IUserMessages& messages_;

    std::string fileName_;
    std::uint64_t fileLength_ = 0;
    std::uint8_t currentKind_ = kPlanTap;
    std::int32_t pointCount_ = 0;
    std::int32_t currentApCount_ = 0;
    bool noAccessPoint_ = false;
    std::string path_;

    // The pending point.
    std::int16_t currentStrongest_ = -100;
    std::int32_t currentX_ = 0, currentY_ = 0;
    std::int32_t currentLatitude_ = 0, currentLongitude_ = 0;
    std::uint32_t currentOffset_ = 0;
    std::vector<std::uint32_t> appended_;

    std::uint32_t pairOffset_ = 25;
    std::uint32_t pointRecordSize_ = 36;
    std::uint32_t apRecordSize_ = 46;
    // End of the last complete group of the file at path_, as last read or
    // written; 0 when not known (nothing read yet, or another layout).
    std::uint64_t groupsEnd_ = 0;
    FileIdentity walkedFile_;

    _tap selected_;
    std::int32_t selectedIndex_ = -1;
    bool lastFileFailed_ = false;
    bool durable_ = true;
    bool readOnly_ = false;
    bool reportFailures_ = true;
    std::string lastFailureText_;

    mutable std::mutex listMutex_;  // the point-list lock
    std::vector<_tap> points_;
};

}  // namespace quorl
