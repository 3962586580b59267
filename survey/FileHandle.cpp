#include "survey/FileHandle.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/RegularFile.h"

namespace quorl {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileHandle FileHandle::Open(const std::string& path, int flags, unsigned mode) {
    return FileHandle(OpenRegularFile(path, flags, mode));
}

void FileHandle::Close() {
    if (fd_ >= 0) {
        // Closing drops the advisory lock with the descriptor.
        const int saved = errno;
        ::close(fd_);
        errno = saved;
        fd_ = -1;
    }
}

std::int64_t FileHandle::ReadAt(void* data, std::size_t size, std::uint64_t offset) const {
    auto* p = static_cast<std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        if (offset + done > static_cast<std::uint64_t>(INT64_MAX)) break;
        const ssize_t n = ::pread(fd_, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool FileHandle::WriteAt(const void* data, std::size_t size, std::uint64_t offset) const {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t FileHandle::Length() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool FileHandle::Truncate(std::uint64_t length) const {
    return ::ftruncate(fd_, static_cast<off_t>(length)) == 0;
}

bool FileHandle::Flush() const { return ::fdatasync(fd_) == 0; }

bool FileHandle::LockExclusive() const {
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool FileHandle::LockShared() const {
    int rc;
    do {
        rc = ::flock(fd_, LOCK_SH | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

}  // namespace quorl
