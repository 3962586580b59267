#pragma once
// One collection file read from start to end: opened and checked, then its
// groups visited in file order through one large read buffer. Reads only and
// takes no lock, so a collector may go on appending meanwhile. The exports,
// `quorl ssd` and the coverage analysis all read surveys this way.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "survey/CollectionFormat.h"
#include "survey/FileHandle.h"

namespace quorl {

// One group as read: the point record and the access point records present
// (fewer than its count when the file ends inside the group).
struct CollectionGroup {
    std::uint64_t number = 0;  // 0-based, every record counted (deleted ones too)
    std::uint64_t offset = 0;  // of the point record
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

private:
    std::string path_;
    std::string error_;
    FileHandle file_;
    collection::Layout layout_;
    std::uint64_t length_ = 0;
    std::function<void(std::uint64_t)> progress_;
};

}  // namespace quorl
