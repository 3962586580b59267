#pragma once
// Text output through one large buffer written to a file descriptor with
// write(2): the exports produce hundreds of megabytes, and a call per field
// (or stdio's locking per call) would cost more than the formatting.
// Writers ask for room for one whole record, fill it through a pointer and
// hand back the end.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace quorl::exports {

class OutputBuffer {
public:
    static constexpr std::size_t kCapacity = 1 << 20;
    // The most one Room() call may ask for.
    static constexpr std::size_t kMaxRoom = 64 * 1024;

    // Writes to `fd` starting at its current offset; the descriptor stays the caller's.
    explicit OutputBuffer(int fd);
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // At least `n` (<= kMaxRoom) writable bytes at the returned pointer.
    char* Room(std::size_t n) {
        if (kCapacity - used_ < n) Flush();
        return data_.get() + used_;
    }
    // `end` is one past the last byte written into the room.
    void Commit(char* end) { used_ = static_cast<std::size_t>(end - data_.get()); }
    void Append(std::string_view text);

    // Bytes produced so far, written or still buffered.
    std::uint64_t Size() const { return flushed_ + used_; }
    // Drops everything produced after `size` (a file that failed half-way).
    // False when bytes already written cannot be taken back (a pipe).
    bool CutBackTo(std::uint64_t size);
    // Writes the buffered bytes; false (Error() set) when a write failed.
    // After a failure later output is discarded.
    bool Flush();
    int Error() const { return error_; }

private:
    int fd_;
    std::unique_ptr<char[]> data_;
    std::size_t used_ = 0;
    std::uint64_t flushed_ = 0;
    int error_ = 0;
};

}  // namespace quorl::exports
