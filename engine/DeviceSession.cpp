#include "engine/DeviceSession.h"

#include "common/Timing.h"
#include "link/Protocol.h"
#include "link/ReaderThread.h"

namespace quorl {

namespace {
constexpr std::uint32_t kBaudRate = 57600;
}

DeviceSession::DeviceSession(ISerialDriver& driver, CEngine& engine)
    : driver_(driver), engine_(engine), waiter_([this](std::chrono::milliseconds p) { return WaitUnlessStopped(p); }) {}

DeviceSession::~DeviceSession() { Shutdown(); }

bool DeviceSession::OpenDevice() {
    std::uint32_t count = 0;
    if (driver_.CountDevices(count) != kDriverOk) return false;
    if (static_cast<std::int16_t>(count & 0xFFFF) <= 0) return false;
    char serial[64] = {};
    if (driver_.SerialNumberOf(0, serial) != kDriverOk) return false;
    if (driver_.Open(0) != kDriverOk) return false;
    if (driver_.ClearRts() != kDriverOk) return false;
    if (driver_.SetBaudRate(kBaudRate) != kDriverOk) return false;
    if (driver_.SetDataCharacteristics(8, 0, 0) != kDriverOk) return false;
    if (driver_.SetFlowControl(0, 0, 0) != kDriverOk) return false;
    const bool opened = driver_.SetRts() == kDriverOk;
    opened_.store(opened, std::memory_order_relaxed);
    return opened;
}

bool DeviceSession::WaitUnlessStopped(std::chrono::milliseconds period) {
    std::unique_lock lock(stopMutex_);
    return !stopChanged_.wait_for(lock, timing::Scaled(static_cast<int>(period.count())),
                                  [this] { return stopping_; });
}

bool DeviceSession::RunStartUp() {
    OpenDevice();  // start-up goes on without a unit
    engine_.ClearApTable();
    if (!waiter_(std::chrono::milliseconds(timing::kStartupWaitMs))) return false;
    {
        std::lock_guard lock(stopMutex_);
        if (stopping_) return false;
        reader_ = std::make_unique<CReaderThread>(
            driver_, [this](const std::uint8_t* body, std::uint8_t type, std::uint32_t length) {
                engine_.HandleFrame(body, type, length);
            });
        reader_->Start();
    }
    engine_.SendCommand(kCmdRequestFirmware, nullptr, 0);
    if (!waiter_(std::chrono::milliseconds(timing::kStartupWaitMs))) return false;
    startedUp_.store(true, std::memory_order_release);
    return true;
}

void DeviceSession::StartUp() {
    {
        std::lock_guard lock(stopMutex_);
        if (startUpBegun_ || stopping_) return;  // the reader is started once
        startUpBegun_ = true;
    }
    RunStartUp();
}

void DeviceSession::StartUpInBackground(std::function<void()> done) {
    {
        std::lock_guard lock(stopMutex_);
        if (startUpBegun_ || stopping_) return;
        startUpBegun_ = true;
    }
    startUpThread_ = std::thread([this, done = std::move(done)] {
        if (RunStartUp() && done) done();
    });
}

void DeviceSession::Poll() {
    // The answer to the last poll has had a whole period to come.
    engine_.BeginAnswerPeriod();
    engine_.SendCommand(kCmdRequestPower, nullptr, 0);
}

void DeviceSession::Shutdown() {
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopChanged_.notify_all();
    if (startUpThread_.joinable() && startUpThread_.get_id() != std::this_thread::get_id()) startUpThread_.join();
    if (reader_) reader_->Stop();
    if (!closed_) {
        closed_ = true;
        driver_.Close();
    }
    opened_.store(false, std::memory_order_relaxed);
}

}  // namespace quorl
