#pragma once
// Sequential reading of a collection file's groups through one large
// buffer: a 200 MB file is read in a few hundred system calls, not one per
// record. Records declared larger than the fields wanted are skipped past.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorl {

class FileHandle;

class CollectionReader {
public:
    static constexpr std::size_t kBufferSize = 1024 * 1024;

    CollectionReader(const FileHandle& file, std::uint64_t start);

    // Takes the next record of `declaredSize` bytes and copies its first
    // `fieldsSize` bytes (at most `declaredSize`) to `fields`. False when
    // fewer than `declaredSize` bytes are left or a read failed; a short
    // record uses up the rest of the file, so every later call is false too.
    bool Next(std::uint64_t declaredSize, std::uint8_t* fields, std::size_t fieldsSize);

    // Offset of the next record.
    std::uint64_t Position() const { return position_; }
    // errno of a failed read, 0 when the reader only reached the end.
    int Error() const { return error_; }

private:
    bool Fill(std::uint64_t offset, std::size_t minimum);

    const FileHandle& file_;
    std::size_t capacity_ = 1;       // of buffer_: at most kBufferSize
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    std::size_t bufferSize_ = 0;     // valid bytes in buffer_
    std::uint64_t position_;
    int error_ = 0;
    bool exhausted_ = false;
};

}  // namespace quorl
