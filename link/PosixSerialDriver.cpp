#include "link/PosixSerialDriver.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quorl {

namespace fs = std::filesystem;

namespace {

// How long a write waits for room in the output queue before it gives up.
constexpr int kWriteWaitMs = 1000;

bool GetAttributes(int fd, termios& tio) { return fd >= 0 && tcgetattr(fd, &tio) == 0; }
bool SetAttributes(int fd, const termios& tio) { return tcsetattr(fd, TCSANOW, &tio) == 0; }

}  // namespace

PosixSerialDriver::PosixSerialDriver(std::string path, SystemRoots roots)
    : path_(std::move(path)), roots_(std::move(roots)), wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

PosixSerialDriver::~PosixSerialDriver() {
    Close();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

std::vector<std::string> PosixSerialDriver::ListDevices() const {
    if (!path_.empty()) return {path_};
    std::vector<std::string> ports = ListUsbSerialPorts(roots_);
    std::error_code ec;
    if (unitLink_.empty() || !fs::exists(unitLink_, ec)) return ports;
    // The link first; the adapters after it stand by for a link that cannot
    // be opened. The one the link names is listed once.
    const fs::path unit = fs::canonical(unitLink_, ec);
    std::vector<std::string> devices = {unitLink_};
    for (std::string& port : ports) {
        std::error_code portError;
        if (ec || fs::canonical(port, portError) != unit || portError) devices.push_back(std::move(port));
    }
    return devices;
}

std::string PosixSerialDriver::OpenedPath() const {
    std::lock_guard lock(mutex_);
    return openedPath_;
}

DriverStatus PosixSerialDriver::CountDevices(std::uint32_t& count) {
    devices_ = ListDevices();
    count = static_cast<std::uint32_t>(devices_.size());
    return kDriverOk;
}

DriverStatus PosixSerialDriver::SerialNumberOf(std::uint32_t index, char (&serial)[64]) {
    if (devices_.empty()) devices_ = ListDevices();
    if (index >= devices_.size()) return kDriverFailed;
    const std::string text = UsbSerialNumber(devices_[index], roots_);
    const std::size_t n = std::min(text.size(), sizeof serial - 1);
    std::memcpy(serial, text.data(), n);
    serial[n] = '\0';
    return kDriverOk;
}

DriverStatus PosixSerialDriver::Open(std::uint32_t index) {
    if (devices_.empty()) devices_ = ListDevices();
    if (index >= devices_.size()) return kDriverFailed;
    std::lock_guard lock(mutex_);
    if (fd_.load() >= 0) return kDriverFailed;  // one open device per driver
    if (OpenPath(devices_[index])) return kDriverOk;
    // A unit link that is there but cannot be opened (a stale node, no
    // permission) does not hide the adapters listed after it.
    if (index != 0 || devices_[0] != unitLink_ || !path_.empty()) return kDriverFailed;
    for (std::size_t i = 1; i < devices_.size(); ++i)
        if (OpenPath(devices_[i])) return kDriverOk;
    return kDriverFailed;
}

bool PosixSerialDriver::OpenPath(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    termios tio{};
    if (!GetAttributes(fd, tio)) {
        ::close(fd);
        return false;
    }
    // Raw bytes both ways: no line editing, echo, translation or signals.
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (!SetAttributes(fd, tio)) {
        ::close(fd);
        return false;
    }
    // Ask the bridge to hand over short frames at once instead of holding
    // them for its latency timer; a port without the setting keeps its own.
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) == 0) {
        info.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &info);
    }
    fd_.store(fd);
    openedPath_ = path;
    return true;
}

DriverStatus PosixSerialDriver::ModifyLines(unsigned long request) {
    const int fd = fd_.load();
    if (fd < 0) return kDriverFailed;
    int bits = TIOCM_RTS;
    if (::ioctl(fd, request, &bits) == 0) return kDriverOk;
    // A pseudo-terminal has no modem lines; that is not a failure of the link.
    return (errno == ENOTTY || errno == EINVAL || errno == ENOTSUP) ? kDriverOk : kDriverFailed;
}

DriverStatus PosixSerialDriver::ClearRts() { return ModifyLines(TIOCMBIC); }

DriverStatus PosixSerialDriver::SetRts() { return ModifyLines(TIOCMBIS); }

DriverStatus PosixSerialDriver::SetBaudRate(std::uint32_t baud) {
    speed_t speed;
    switch (baud) {
    case 9600: speed = B9600; break;
    case 19200: speed = B19200; break;
    case 38400: speed = B38400; break;
    case 57600: speed = B57600; break;
    case 115200: speed = B115200; break;
    default: return kDriverFailed;
    }
    const int fd = fd_.load();
    termios tio{};
    if (!GetAttributes(fd, tio)) return kDriverFailed;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) return kDriverFailed;
    return SetAttributes(fd, tio) ? kDriverOk : kDriverFailed;
}

DriverStatus PosixSerialDriver::SetDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                                       std::uint8_t parity) {
    tcflag_t size;
    switch (wordLength) {
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return kDriverFailed;
    }
    if (stopBits != 0 && stopBits != 2) return kDriverFailed;  // 0: one stop bit, 2: two
    if (parity > 2) return kDriverFailed;                      // 0 none, 1 odd, 2 even
    const int fd = fd_.load();
    termios tio{};
    if (!GetAttributes(fd, tio)) return kDriverFailed;
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD);
    tio.c_cflag |= size;
    if (stopBits == 2) tio.c_cflag |= CSTOPB;
    if (parity != 0) tio.c_cflag |= PARENB;
    if (parity == 1) tio.c_cflag |= PARODD;
    return SetAttributes(fd, tio) ? kDriverOk : kDriverFailed;
}

DriverStatus PosixSerialDriver::SetFlowControl(std::uint16_t flowControl, std::uint8_t xon, std::uint8_t xoff) {
    if (flowControl != 0) return kDriverFailed;  // the unit needs none; nothing else is offered
    (void)xon;
    (void)xoff;
    const int fd = fd_.load();
    termios tio{};
    if (!GetAttributes(fd, tio)) return kDriverFailed;
    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    return SetAttributes(fd, tio) ? kDriverOk : kDriverFailed;
}

DriverStatus PosixSerialDriver::GetStatus(std::uint32_t& bytesReady) {
    bytesReady = 0;
    const int fd = fd_.load();
    int queued = 0;
    if (fd < 0 || ::ioctl(fd, FIONREAD, &queued) != 0 || queued < 0) return kDriverFailed;
    bytesReady = static_cast<std::uint32_t>(queued);
    return kDriverOk;
}

DriverStatus PosixSerialDriver::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
    bytesRead = 0;
    const int fd = fd_.load();
    if (fd < 0) return kDriverFailed;
    if (count == 0) return kDriverOk;
    const ssize_t n = ::read(fd, buffer, count);
    if (n < 0) return (errno == EAGAIN || errno == EINTR) ? kDriverOk : kDriverFailed;
    bytesRead = static_cast<std::uint32_t>(n);
    return kDriverOk;
}

DriverStatus PosixSerialDriver::Write(const std::uint8_t* buffer, std::uint32_t count,
                                      std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    // One frame at a time: two threads' frames never interleave.
    std::lock_guard lock(mutex_);
    const int fd = fd_.load();
    if (fd < 0) return kDriverFailed;
    while (bytesWritten < count) {
        const ssize_t n = ::write(fd, buffer + bytesWritten, count - bytesWritten);
        if (n > 0) {
            bytesWritten += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return kDriverFailed;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, kWriteWaitMs) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return kDriverFailed;
    }
    return kDriverOk;
}

void PosixSerialDriver::Close() {
    {
        std::lock_guard lock(mutex_);
        const int fd = fd_.exchange(-1);
        if (fd >= 0) ::close(fd);
        openedPath_.clear();
    }
    // A reader asleep on the old descriptor would never hear of the close.
    Wake();
}

void PosixSerialDriver::Wake() {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void PosixSerialDriver::CancelWait() { Wake(); }

void PosixSerialDriver::WaitForBytes() {
    if (wakeFd_ < 0) return;
    // A closed port (fd -1) is skipped by poll(): only a wake-up ends the wait.
    pollfd waits[2] = {{fd_.load(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(waits, 2, -1) <= 0) return;
    if (waits[1].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
    }
}

}  // namespace quorl
