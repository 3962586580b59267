#include "engine/DeviceSession.h"

#include <thread>

#include "common/Timing.h"
#include "link/Protocol.h"
#include "link/ReaderThread.h"

namespace quorl {

namespace {
constexpr std::uint32_t kBaudRate = 57600;
}

DeviceSession::DeviceSession(ISerialDriver& driver, CEngine& engine) : driver_(driver), engine_(engine) {}

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
    opened_ = driver_.SetRts() == kDriverOk;
    return opened_;
}

void DeviceSession::StartUp() {
    if (reader_) return;  // the reader is started once
    OpenDevice();  // start-up goes on without a unit
    engine_.ClearApTable();
    std::this_thread::sleep_for(timing::Scaled(timing::kStartupWaitMs));
    reader_ = std::make_unique<CReaderThread>(
        driver_, [this](const std::uint8_t* body, std::uint8_t type, std::uint32_t length) {
            engine_.HandleFrame(body, type, length);
        });
    reader_->Start();
    engine_.SendCommand(kCmdRequestFirmware, nullptr, 0);
    std::this_thread::sleep_for(timing::Scaled(timing::kStartupWaitMs));
}

void DeviceSession::Poll() { engine_.SendCommand(kCmdRequestPower, nullptr, 0); }

void DeviceSession::Shutdown() {
    if (reader_) reader_->Stop();
    if (!closed_) {
        closed_ = true;
        driver_.Close();
    }
    opened_ = false;
}

}  // namespace quorl
