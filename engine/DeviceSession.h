#pragma once
// Brings the link to the survey unit up and down: opening and configuring the
// device, the start-up sequence the main window runs while it is created, the
// reader thread, the power poll, and an orderly shutdown.

#include <cstdint>
#include <memory>

#include "engine/Engine.h"
#include "link/SerialDriver.h"

namespace quorl {

class CReaderThread;

class DeviceSession {
public:
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
    void StartUp();

    // The poll timer's tick: command 10.
    void Poll();

    // Sets the reader's stop flag, joins it and closes the device. Safe to
    // call more than once.
    void Shutdown();

    bool Opened() const { return opened_; }

private:
    ISerialDriver& driver_;
    CEngine& engine_;
    std::unique_ptr<CReaderThread> reader_;
    bool opened_ = false;
    bool closed_ = false;
};

}  // namespace quorl
