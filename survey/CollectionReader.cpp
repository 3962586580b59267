#include "survey/CollectionReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "survey/FileHandle.h"

namespace quorl {

CollectionReader::CollectionReader(const FileHandle& file, std::uint64_t start) : file_(file), position_(start) {
    // No bigger than what there is to read: most collections are far
    // smaller than the buffer, and a point is appended after reading them.
    const std::int64_t length = file.Length();
    if (length >= 0 && static_cast<std::uint64_t>(length) > start)
        capacity_ = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, static_cast<std::uint64_t>(length) - start));
    buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(capacity_);
}

bool CollectionReader::Fill(std::uint64_t offset, std::size_t minimum) {
    const std::int64_t got = file_.ReadAt(buffer_.get(), capacity_, offset);
    if (got < 0) {
        error_ = errno;
        bufferSize_ = 0;
        return false;
    }
    bufferStart_ = offset;
    bufferSize_ = static_cast<std::size_t>(got);
    return bufferSize_ >= minimum;
}

bool CollectionReader::Next(std::uint64_t declaredSize, std::uint8_t* fields, std::size_t fieldsSize) {
    if (error_ != 0 || exhausted_) return false;
    fieldsSize = static_cast<std::size_t>(std::min<std::uint64_t>(fieldsSize, declaredSize));
    if (declaredSize > UINT64_MAX - position_) {
        exhausted_ = true;
        return false;
    }
    const std::uint64_t end = position_ + declaredSize;

    // The record must lie wholly in the file. A record larger than the
    // buffer is checked against the file length rather than read.
    if (declaredSize > capacity_) {
        const std::int64_t length = file_.Length();
        if (length < 0) {
            error_ = errno;
            return false;
        }
        if (end > static_cast<std::uint64_t>(length)) {
            exhausted_ = true;
            return false;
        }
        if (fieldsSize > 0) {
            const std::int64_t got = file_.ReadAt(fields, fieldsSize, position_);
            if (got < 0) error_ = errno;
            if (got != static_cast<std::int64_t>(fieldsSize)) return false;
        }
        position_ = end;
        return true;
    }
    if (position_ < bufferStart_ || end > bufferStart_ + bufferSize_) {
        if (!Fill(position_, static_cast<std::size_t>(declaredSize))) {
            exhausted_ = true;
            return false;
        }
    }
    std::memcpy(fields, buffer_.get() + (position_ - bufferStart_), fieldsSize);
    position_ = end;
    return true;
}

}  // namespace quorl
