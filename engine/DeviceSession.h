#pragma once
// Brings the link to the survey unit up and down: opening and configuring the
// device, the start-up sequence the main window asks for once it is shown,
// the reader thread, the power poll, and an orderly shutdown.
//
// The start-up waits twice for two seconds, as the unit expects. The window
// runs it on a thread of its own (StartUpInBackground) so that it is usable
// meanwhile; what the unit sees on the wire is the same as with the blocking
// StartUp, to the millisecond.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/Engine.h"
#include "link/SerialDriver.h"

namespace quorl {

class CReaderThread;

class DeviceSession {
public:
    // Waits out one of the start-up's pauses; false when the wait was cut
    // short by Shutdown (the start-up then stops where it is).
    using Waiter = std::function<bool(std::chrono::milliseconds)>;

    DeviceSession(ISerialDriver& driver, CEngine& engine);
    ~DeviceSession();  // Shutdown()
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Finds, opens and configures device 0 (57600 8N1, no flow control, RTS
    // cleared then set). True when every step succeeded.
    bool OpenDevice();

    // The start-up sequence after the main window handle is stored in the
    // engine: OpenDevice (its result ignored), empty the AP table, wait
    // 2000 ms, start the reader thread, send command 1, wait 2000 ms. The
    // caller starts its 5000 ms poll timer afterwards; the waits are scaled.
    // Blocks the calling thread for the two waits. Runs once.
    void StartUp();
    // The same sequence on a thread of its own; `done` is called on that
    // thread when the second wait is over (not when Shutdown cut it short).
    void StartUpInBackground(std::function<void()> done);
    // True once the second wait of the start-up is over.
    bool StartedUp() const { return startedUp_.load(std::memory_order_acquire); }

    // Replaces the start-up's waits (tests, with a virtual clock).
    void UseWaiter(Waiter waiter) { waiter_ = std::move(waiter); }

    // The poll timer's tick: a new answer period (CEngine::UnitAnswering), command 10.
    void Poll();

    // Cuts a start-up short, sets the reader's stop flag, joins it and
    // closes the device. Safe to call more than once.
    void Shutdown();

    bool Opened() const { return opened_.load(std::memory_order_relaxed); }

private:
    // The sequence itself; false when Shutdown cut it short.
    bool RunStartUp();
    // The default waiter: the scaled period, or until Shutdown.
    bool WaitUnlessStopped(std::chrono::milliseconds period);

    ISerialDriver& driver_;
    CEngine& engine_;
    std::unique_ptr<CReaderThread> reader_;
    Waiter waiter_;
    std::thread startUpThread_;
    std::mutex stopMutex_;
    std::condition_variable stopChanged_;
    bool stopping_ = false;
    bool startUpBegun_ = false;
    std::atomic<bool> startedUp_{false};
    std::atomic<bool> opened_{false};
    bool closed_ = false;
};

}  // namespace quorl
