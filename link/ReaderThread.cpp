#include "link/ReaderThread.h"

#include <algorithm>
#include <utility>

#include "common/Timing.h"

namespace quorl {

CReaderThread::CReaderThread(ISerialDriver& driver, FrameHandler handler)
    : driver_(driver), handler_(std::move(handler)) {}

CReaderThread::~CReaderThread() { Stop(); }

void CReaderThread::Start() {
    if (thread_.joinable()) return;
    stop_.store(0, std::memory_order_relaxed);
    thread_ = std::thread([this] { ReaderThreadProc(); });
}

void CReaderThread::Stop() {
    stop_.store(1, std::memory_order_relaxed);
    driver_.CancelWait();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

int CReaderThread::ReaderThreadProc() {
    parser_.Reset();
    buffer_.fill(0);
    while (stop_.load(std::memory_order_relaxed) == 0) {
        if (RunOnce() == Step::Idle) {
            idlePauses_.fetch_add(1, std::memory_order_relaxed);
            driver_.WaitForBytes();
            if (stop_.load(std::memory_order_relaxed) != 0) break;
            std::this_thread::sleep_for(timing::Scaled(timing::kReaderIdlePauseMs));
        }
    }
    return 0;
}

CReaderThread::Step CReaderThread::RunOnce() {
    std::uint32_t ready = 0;
    if (driver_.GetStatus(ready) != kDriverOk) ready = 0;
    if (ready == 0) return Step::Idle;
    std::uint32_t got = 0;
    const std::uint32_t want = std::min(ready, kMaxRead);
    if (driver_.Read(buffer_.data(), want, got) != kDriverOk) return Step::Idle;
    if (got == 0) return Step::ReadEmpty;
    Feed(buffer_.data(), std::min(got, want));
    return Step::Read;
}

void CReaderThread::Feed(const std::uint8_t* bytes, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        parser_.PushByte(bytes[i]);
        if (parser_.Complete()) {
            if (handler_) handler_(parser_.Body(), parser_.Type(), parser_.Length());
            parser_.Reset();
        }
    }
}

}  // namespace quorl
