#pragma once
// Files that belong together (a report's page and its maps): each is written
// in full and flushed under its temporary name, and none is renamed into
// place before all are written. A failure on the way (a full disk, a bad
// map) leaves every old file as it was and no new one; the renames at the
// end need no space. Committed in the order added, so the file that names
// the others goes last.

#include <memory>
#include <string>
#include <vector>

#include "survey/PendingFile.h"

namespace quorl {

class StagedFiles {
public:
    // Writes `bytes` as the coming content of `path` (refused like any
    // PendingFile); false with `error` ("cannot write PATH: why").
    bool Add(const std::string& path, const std::string& bytes, const std::vector<std::string>& inputs,
             std::string& error);
    // Renames every file into place; false with `error` at the first that fails.
    bool CommitAll(std::string& error);
    std::size_t Count() const { return files_.size(); }

private:
    std::vector<std::unique_ptr<PendingFile>> files_;
};

}  // namespace quorl
