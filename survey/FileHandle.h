#pragma once
// Owns one POSIX file descriptor for the length of one file operation, with
// the few calls the survey files need: positioned reads and writes that loop
// over short transfers, the length, a flush to disk and an advisory lock.
// Failures leave errno set for the caller's message.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorl {

class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle() { Close(); }
    FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // open(2) with O_CLOEXEC added, never waiting on a FIFO or device and
    // refusing anything but a regular file; invalid on failure (errno set).
    static FileHandle Open(const std::string& path, int flags, unsigned mode = 0644);

    bool Valid() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    void Close();

    // Reads up to `size` bytes at `offset`, stopping only at the end of the
    // file; the count read, or -1 on an error.
    std::int64_t ReadAt(void* data, std::size_t size, std::uint64_t offset) const;
    // Writes all `size` bytes at `offset`; false on an error.
    bool WriteAt(const void* data, std::size_t size, std::uint64_t offset) const;
    // Length in bytes, or -1.
    std::int64_t Length() const;
    bool Truncate(std::uint64_t length) const;
    // Flushes written data to the disk (fdatasync).
    bool Flush() const;
    // Non-blocking flock; false with errno EWOULDBLOCK when another open
    // description holds a conflicting lock.
    bool LockExclusive() const;
    bool LockShared() const;

private:
    explicit FileHandle(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// The name of a path without its directory.
std::string FileNameOf(const std::string& path);

}  // namespace quorl
