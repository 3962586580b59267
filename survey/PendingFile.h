#pragma once
// A file written under a temporary name beside its final path and renamed
// over it only when all is well, so that a failed load or conversion never
// leaves a half-written file where a good one was. Removed unless committed.

#include <string>

namespace quorl {

class PendingFile {
public:
    explicit PendingFile(std::string finalPath);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // False when the temporary file could not be created (Error() tells why).
    bool Created() const { return !temp_.empty(); }
    int Error() const { return error_; }
    const std::string& TempPath() const { return temp_; }
    const std::string& FinalPath() const { return final_; }
    // Renames the temporary file to the final path.
    bool Commit();

private:
    std::string final_;
    std::string temp_;
    int error_ = 0;
};

}  // namespace quorl
