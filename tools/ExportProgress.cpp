#include "tools/ExportProgress.h"

#include <unistd.h>

#include <cstdio>

namespace quorl::tools {

namespace {
constexpr auto kInterval = std::chrono::milliseconds(100);
constexpr auto kSingleFileDelay = std::chrono::seconds(1);
}  // namespace

ExportProgress::ExportProgress(std::size_t files, std::uint64_t totalBytes)
    : enabled_(::isatty(STDERR_FILENO) == 1), files_(files), totalBytes_(totalBytes),
      start_(std::chrono::steady_clock::now()) {}

void ExportProgress::StartFile(std::size_t index, const std::string& name, std::uint64_t length) {
    doneBefore_ += currentLength_;
    index_ = index;
    name_ = name;
    current_ = 0;
    currentLength_ = length;
    Show(false);
}

void ExportProgress::Update(std::uint64_t done) {
    current_ = done < currentLength_ ? done : currentLength_;
    Show(false);
}

void ExportProgress::Show(bool force) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (files_ < 2 && now - start_ < kSingleFileDelay) return;
    if (!force && shown_ && now - lastShown_ < kInterval) return;
    lastShown_ = now;
    shown_ = true;
    const std::uint64_t done = doneBefore_ + current_;
    const unsigned percent = totalBytes_ > 0 ? static_cast<unsigned>(done * 100 / totalBytes_) : 100;
    std::fprintf(stderr, "\r\033[Kexporting %zu/%zu %s %u%%", index_ + 1, files_, name_.c_str(), percent);
    std::fflush(stderr);
}

void ExportProgress::Clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

void ExportProgress::Finish() { Clear(); }

}  // namespace quorl::tools
