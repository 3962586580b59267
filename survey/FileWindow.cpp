#include "survey/FileWindow.h"

#include <algorithm>
#include <cerrno>

#include "survey/CollectionFormat.h"
#include "survey/FileHandle.h"

namespace quorl {

FileWindow::FileWindow(const FileHandle& file, std::uint64_t length)
    : file_(file),
      length_(length),
      // No bigger than the file (most collections are small), never smaller
      // than the largest record.
      capacity_(static_cast<std::size_t>(
          std::clamp<std::uint64_t>(length, collection::kMaxRecordSize, kBufferSize))),
      buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(capacity_)) {}

const std::uint8_t* FileWindow::At(std::uint64_t offset, std::size_t size) {
    if (error_ != 0 || size > capacity_ || offset > length_ || size > length_ - offset) return nullptr;
    if (offset >= start_ && offset + size <= start_ + size_) return buffer_.get() + (offset - start_);
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(capacity_, length_ - offset));
    const std::int64_t got = file_.ReadAt(buffer_.get(), want, offset);
    if (got < 0 || static_cast<std::size_t>(got) < size) {
        error_ = got < 0 ? errno : EIO;
        size_ = 0;
        return nullptr;
    }
    start_ = offset;
    size_ = static_cast<std::size_t>(got);
    return buffer_.get();
}

}  // namespace quorl
