#include "PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "common/Timing.h"
#include "common/UserMessages.h"

namespace quorl::sim {

PtyServer::PtyServer(Scenario scenario, std::int64_t startUnixMicros)
    : unit_(std::move(scenario), startUnixMicros), lastReal_(std::chrono::steady_clock::now()) {}

PtyServer::~PtyServer() {
    if (master_ >= 0) ::close(master_);
}

Micros PtyServer::UnitTime() {
    const auto real = std::chrono::steady_clock::now();
    unitMicros_ += std::chrono::duration<double, std::micro>(real - lastReal_).count() / timing::TimeScale();
    lastReal_ = real;
    return Micros(static_cast<std::int64_t>(unitMicros_));
}

void PtyServer::SetRaw() {
    // On the master side these settings are the slave's: the unit's frames
    // use 0x11 and 0x13, which a cooked terminal would take as XON/XOFF.
    termios tio{};
    if (::tcgetattr(master_, &tio) != 0) return;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, B57600);
    cfsetospeed(&tio, B57600);
    ::tcsetattr(master_, TCSANOW, &tio);
}

bool PtyServer::Open(std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error = "posix_openpt: " + SystemErrorText(errno);
        return false;
    }
    char name[256];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
        error = "pseudo-terminal: " + SystemErrorText(errno);
        return false;
    }
    slavePath_ = name;
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = "pseudo-terminal: " + SystemErrorText(errno);
        return false;
    }
    SetRaw();
    // Opening and closing the slave once marks it closed on the master side,
    // so the first client is noticed like every later one.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = slavePath_ + ": " + SystemErrorText(errno);
        return false;
    }
    ::close(slave);
    SetRaw();
    lastReal_ = std::chrono::steady_clock::now();
    unitMicros_ = 0.0;
    return true;
}

void PtyServer::Flush() {
    for (;;) {
        if (outgoingHead_ == outgoing_.size()) {
            outgoing_.resize(4096);
            outgoing_.resize(unit_.TakeOutput(outgoing_.data(), outgoing_.size()));
            outgoingHead_ = 0;
            if (outgoing_.empty()) return;
        }
        const ssize_t n = ::write(master_, outgoing_.data() + outgoingHead_, outgoing_.size() - outgoingHead_);
        if (n <= 0) return;  // the client is not reading: keep the rest for later
        outgoingHead_ += static_cast<std::size_t>(n);
    }
}

bool PtyServer::RunOnce(std::chrono::milliseconds timeout) {
    if (master_ < 0) return false;
    pollfd p{master_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0 && (p.revents & POLLNVAL)) return false;

    if (ready > 0 && (p.revents & POLLIN)) {
        std::uint8_t buffer[1024];
        for (;;) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            if (!connected_) {
                connected_ = true;
                SetRaw();
            }
            unit_.Receive(buffer, static_cast<std::size_t>(n), UnitTime());
        }
    }
    const bool hungUp = ready > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN);
    unit_.AdvanceTo(UnitTime());
    if (hungUp) {
        // Nobody has the terminal open: what the unit says goes nowhere.
        connected_ = false;
        outgoing_.clear();
        outgoingHead_ = 0;
        while (unit_.Pending() > 0) {
            std::uint8_t discard[1024];
            unit_.TakeOutput(discard, sizeof discard);
        }
        // poll reports the hang-up at once; do not spin on it.
        std::this_thread::sleep_for(timeout);
        return true;
    }
    if (!connected_) {
        connected_ = true;
        SetRaw();
    }
    Flush();
    return true;
}

bool PtyServer::Run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        if (!RunOnce(std::chrono::milliseconds(10))) return false;
    }
    return true;
}

}  // namespace quorl::sim
