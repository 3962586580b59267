#pragma once
// One collection file read from start to end: opened and checked, then its
// groups visited in file order by the one walk (CollectionWalk.h), which
// passes over damage and leaves out an unfinished last group. Reads only and
// takes no lock, so a collector may go on appending meanwhile. The exports,
// `quorl ssd` and the coverage analysis all read surveys this way.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "survey/CollectionFormat.h"
#include "survey/CollectionWalk.h"
#include "survey/FileHandle.h"

namespace quorl {

// One complete group: the point record and its access point records.
// point.apCount is the number the group holds; storedCount is what the file
// says, which differs where the walk found the count wrong.
struct CollectionGroup {
    std::uint64_t number = 0;  // 0-based, every complete group counted (deleted ones too)
    std::uint64_t offset = 0;  // of the point record
    std::uint64_t length = 0;  // of the whole group, in bytes
    std::uint16_t storedCount = 0;
    collection::PointRecord point;
    std::vector<collection::ApRecord> aps;
};

class CollectionScan {
public:
    // False with Error() set ("cannot open PATH: ...", "PATH is not a
    // readable collection file: ...").
    bool Open(const std::string& path);

    // Calls visit(const CollectionGroup&) for every group; false (Error() set)
    // when a read failed. `progress`, when set, is called now and then with
    // the bytes read so far.
    bool ForEachGroup(const std::function<void(const CollectionGroup&)>& visit);
    void SetProgress(std::function<void(std::uint64_t done)> progress) { progress_ = std::move(progress); }

    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }
    const FileHandle& File() const { return file_; }
    const collection::Layout& Layout() const { return layout_; }
    std::uint64_t Length() const { return length_; }
    // Header bytes 13 to 20: seconds since 1970 when the file was made.
    std::int64_t CreatedSeconds() const;
    // The bytes before the first group (header, anything between, record
    // sizes): with the complete groups, all that a repair keeps.
    bool ReadLeadingBytes(std::vector<std::uint8_t>& bytes);

    // After ForEachGroup: unreadable spans passed over, groups whose count
    // was found wrong, and the unfinished tail left out (length 0 for none).
    const std::vector<collection::ByteSpan>& Skipped() const { return skipped_; }
    const std::vector<collection::WalkedGroup>& Recounted() const { return recounted_; }
    collection::ByteSpan Tail() const { return tail_; }

private:
    std::string path_;
    std::string error_;
    FileHandle file_;
    collection::Layout layout_;
    std::uint64_t length_ = 0;
    std::function<void(std::uint64_t)> progress_;
    std::vector<collection::ByteSpan> skipped_;
    std::vector<collection::WalkedGroup> recounted_;
    collection::ByteSpan tail_;
};

}  // namespace quorl
