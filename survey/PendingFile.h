#pragma once
// The one way a file is written: under a temporary name beside its final
// path (.NAME.quorl-tmp.PID), renamed over it only when all is well, so that
// a failed load, conversion or export never leaves a half-written file
// where a good one was. Removed unless committed, also on Ctrl-C or SIGTERM.
// The final path must pass RefusedOutput (free or a regular file, not a
// link, not one of `inputs`), both now and again just before the rename.

#include <cstddef>
#include <string>
#include <vector>

namespace quorl {

class PendingFile {
public:
    explicit PendingFile(std::string finalPath, std::vector<std::string> inputs = {});
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // False when the path is refused or the temporary file could not be
    // created (Error() tells why, for SystemErrorText).
    bool Created() const { return !temp_.empty(); }
    int Error() const { return error_; }
    const std::string& TempPath() const { return temp_; }
    const std::string& FinalPath() const { return final_; }
    // Renames the temporary file to the final path.
    bool Commit();
    // Commit, but only while the final path holds what it held when this was
    // made: nothing, or that same empty file. When another writer put a file
    // there meanwhile, that file stays, this one is discarded and Error() is
    // EEXIST: two writers of one new file never both report success.
    bool CommitIfUnchanged();

private:
    void Discard();
    // Whether the final path is still free, or the same empty file as at the start.
    bool PutInPlace();

    std::string final_;
    std::vector<std::string> inputs_;
    std::string temp_;
    int slot_ = -1;
    int error_ = 0;
    bool existed_ = false;  // the final path at the start
    unsigned long long device_ = 0, inode_ = 0;
};

// Writes `size` bytes as the whole of `path` through a PendingFile, flushed
// to the disk before the rename; 0, or the error number for SystemErrorText.
int WriteWholeFile(const std::string& path, const void* data, std::size_t size,
                   const std::vector<std::string>& inputs);

}  // namespace quorl
