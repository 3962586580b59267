#pragma once
// CReaderThread: polls the driver, decodes what arrives and hands every
// complete frame to a handler, one at a time and in arrival order. It never
// blocks on a read: it reads only what the status call reports, at most
// 1024 bytes at a time. When there was nothing to read it sleeps in the
// driver until bytes arrive (drivers that cannot wait return at once), then
// pauses 10 ms (scaled) as it always has, so that bytes arriving together
// are read together.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "link/Parser.h"
#include "link/SerialDriver.h"

namespace quorl {

class CReaderThread {
public:
    // body: the decoder's buffer (zero past the body); length counts the body
    // bytes including the trailer.
    using FrameHandler = std::function<void(const std::uint8_t* body, std::uint8_t type, std::uint32_t length)>;

    static constexpr std::uint32_t kBufferSize = 4096;
    static constexpr std::uint32_t kMaxRead = 1024;

    // What one pass of the loop did.
    enum class Step {
        Idle,       // nothing ready, or the status or read call failed: pause
        ReadEmpty,  // the read succeeded with 0 bytes: loop at once
        Read,       // bytes were decoded
    };

    CReaderThread(ISerialDriver& driver, FrameHandler handler);
    ~CReaderThread();  // Stop()
    CReaderThread(const CReaderThread&) = delete;
    CReaderThread& operator=(const CReaderThread&) = delete;

    // Starts the thread (once); does nothing if it already runs.
    void Start();
    // Sets the stop flag, wakes the thread from its wait for bytes and waits
    // for it. Safe to call more than once.
    void Stop();
    bool Running() const { return thread_.joinable(); }

    // The thread's body: resets the decoder and runs the loop until stopped.
    // Returns 0 when the stop flag is seen.
    int ReaderThreadProc();

    // One pass of the loop without the pause (for callers that drive the
    // reader themselves, e.g. tests and tools).
    Step RunOnce();

    // Feeds bytes to the decoder, dispatching each completed frame.
    void Feed(const std::uint8_t* bytes, std::uint32_t count);

    std::uint64_t IdlePauses() const { return idlePauses_.load(std::memory_order_relaxed); }

private:
    ISerialDriver& driver_;
    FrameHandler handler_;
    CParser parser_;
    std::array<std::uint8_t, kBufferSize> buffer_{};
    std::atomic<std::uint8_t> stop_{0};
    std::atomic<std::uint64_t> idlePauses_{0};
    std::thread thread_;
};

}  // namespace quorl
