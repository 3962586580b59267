#pragma once
// Progress of a long export on standard error, one line rewritten in place,
// only when standard error is a terminal and only for work over several
// files or of more than a second.

#include <chrono>
#include <cstdint>
#include <string>

namespace quorl::tools {

class ExportProgress {
public:
    ExportProgress(std::size_t files, std::uint64_t totalBytes);
    ~ExportProgress() { Finish(); }
    ExportProgress(const ExportProgress&) = delete;
    ExportProgress& operator=(const ExportProgress&) = delete;

    void StartFile(std::size_t index, const std::string& name, std::uint64_t length);
    // Bytes of the current file read so far.
    void Update(std::uint64_t done);
    // Ends the line before other messages go out.
    void Clear();
    void Finish();

private:
    void Show(bool force);

    bool enabled_;
    std::size_t files_;
    std::uint64_t totalBytes_;
    std::uint64_t doneBefore_ = 0;  // bytes of the files finished
    std::uint64_t current_ = 0;
    std::uint64_t currentLength_ = 0;
    std::size_t index_ = 0;
    std::string name_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastShown_{};
    bool shown_ = false;
};

}  // namespace quorl::tools
