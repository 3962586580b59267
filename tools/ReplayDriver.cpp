#include "ReplayDriver.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quorl::tools {

ReplayDriver::ReplayDriver(const std::string& capturePath) : capture_(FileHandle::Open(capturePath, O_RDONLY)) {
    const std::int64_t size = capture_.Valid() ? capture_.Length() : -1;
    if (size < 0) {
        error_ = errno;
        return;
    }
    remaining_ = static_cast<std::uint64_t>(size);
    good_ = true;
}

DriverStatus ReplayDriver::CountDevices(std::uint32_t& count) {
    count = 1;
    return kDriverOk;
}

DriverStatus ReplayDriver::SerialNumberOf(std::uint32_t index, char (&serial)[64]) {
    if (index != 0) return kDriverFailed;
    std::strcpy(serial, "REPLAY");
    return kDriverOk;
}

DriverStatus ReplayDriver::Open(std::uint32_t index) { return index == 0 && good_ ? kDriverOk : kDriverFailed; }

DriverStatus ReplayDriver::GetStatus(std::uint32_t& bytesReady) {
    bytesReady = static_cast<std::uint32_t>(std::min<std::uint64_t>(remaining_, 0xFFFFFFFFu));
    return good_ ? kDriverOk : kDriverFailed;
}

DriverStatus ReplayDriver::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (!good_) return kDriverFailed;
    const auto want = static_cast<std::int64_t>(std::min<std::uint64_t>(count, remaining_));
    const std::int64_t got = capture_.ReadAt(buffer, static_cast<std::size_t>(want), offset_);
    if (got > 0) offset_ += static_cast<std::uint64_t>(got);
    if (got != want) {
        // The file shrank under us: what is left is gone.
        remaining_ = 0;
    } else {
        remaining_ -= static_cast<std::uint64_t>(got);
    }
    bytesRead = static_cast<std::uint32_t>(std::max<std::int64_t>(got, 0));
    return kDriverOk;
}

DriverStatus ReplayDriver::Write(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesWritten) {
    written_.emplace_back(buffer, buffer + count);
    bytesWritten = count;
    return kDriverOk;
}

}  // namespace quorl::tools
