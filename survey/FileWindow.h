#pragma once
// Random reads of small records from a file through one buffer: the walk
// looks a few groups ahead and back again, and searches byte by byte after
// damage, without a system call per look.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorl {

class FileHandle;

class FileWindow {
public:
    static constexpr std::size_t kBufferSize = 1024 * 1024;

    // `length`: the file's length when the walk began; nothing past it is read.
    FileWindow(const FileHandle& file, std::uint64_t length);

    // The `size` bytes at `offset`, valid until the next call; nullptr when
    // they do not lie within the length or a read failed (Error() set).
    const std::uint8_t* At(std::uint64_t offset, std::size_t size);

    std::uint64_t Length() const { return length_; }
    // errno of a failed read (EIO when the file became shorter), else 0.
    int Error() const { return error_; }

private:
    const FileHandle& file_;
    std::uint64_t length_;
    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint64_t start_ = 0;  // file offset of buffer_[0]
    std::size_t size_ = 0;     // valid bytes in buffer_
    int error_ = 0;
};

}  // namespace quorl
