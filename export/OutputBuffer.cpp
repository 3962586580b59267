#include "export/OutputBuffer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorl::exports {

OutputBuffer::OutputBuffer(int fd) : fd_(fd), data_(std::make_unique<char[]>(kCapacity)) {}

void OutputBuffer::Append(std::string_view text) {
    while (!text.empty()) {
        const std::size_t n = text.size() < kMaxRoom ? text.size() : kMaxRoom;
        char* p = Room(n);
        std::memcpy(p, text.data(), n);
        Commit(p + n);
        text.remove_prefix(n);
    }
}

bool OutputBuffer::Flush() {
    const char* p = data_.get();
    std::size_t left = used_;
    while (left > 0 && error_ == 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
        flushed_ += static_cast<std::uint64_t>(n);
    }
    used_ = 0;
    return error_ == 0;
}

bool OutputBuffer::CutBackTo(std::uint64_t size) {
    if (size >= flushed_) {
        if (size < flushed_ + used_) used_ = static_cast<std::size_t>(size - flushed_);
        return true;
    }
    used_ = 0;
    // A pipe cannot take bytes back: what went out stays out.
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0 || ::lseek(fd_, static_cast<off_t>(size), SEEK_SET) < 0)
        return false;
    flushed_ = size;
    return true;
}

}  // namespace quorl::exports
