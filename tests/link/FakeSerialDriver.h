#pragma once
// A scripted ISerialDriver for tests: bytes queued by the test come out of
// Read, every Write is recorded (and may be answered by a responder standing
// in for the unit), every call is logged, and any operation can be made to
// fail.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "link/SerialDriver.h"
#include "tests/HangGuard.h"

namespace quorl::test {

class FakeSerialDriver : public ISerialDriver {
public:
    using Bytes = std::vector<std::uint8_t>;
    // Called with each written frame; returns the bytes the unit sends back.
    using Responder = std::function<Bytes(const Bytes& frame)>;

    std::uint32_t deviceCount = 1;
    std::string serialNumber = "FT1234";

    void FailOn(const std::string& operation) {
        std::lock_guard lock(mutex_);
        failing_.insert(operation);
    }
    void SetResponder(Responder responder) {
        std::lock_guard lock(mutex_);
        responder_ = std::move(responder);
    }
    void Queue(const Bytes& bytes) {
        std::lock_guard lock(mutex_);
        incoming_.insert(incoming_.end(), bytes.begin(), bytes.end());
    }
    std::vector<Bytes> Writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }
    std::vector<std::string> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<std::uint32_t> ReadSizes() const {
        std::lock_guard lock(mutex_);
        return readSizes_;
    }
    int CloseCount() const {
        std::lock_guard lock(mutex_);
        return closes_;
    }
    void ClearWrites() {
        std::lock_guard lock(mutex_);
        writes_.clear();
    }
    // Waits until at least n frames were written; false on timeout.
    bool WaitForWrites(std::size_t n, std::chrono::milliseconds timeout = test::kHangGuard) {
        std::unique_lock lock(mutex_);
        return written_.wait_for(lock, timeout, [&] { return writes_.size() >= n; });
    }

    DriverStatus CountDevices(std::uint32_t& count) override {
        count = deviceCount;
        return Log("CountDevices");
    }
    DriverStatus SerialNumberOf(std::uint32_t, char (&serial)[64]) override {
        std::strncpy(serial, serialNumber.c_str(), sizeof serial - 1);
        serial[63] = '\0';
        return Log("SerialNumberOf");
    }
    DriverStatus Open(std::uint32_t) override { return Log("Open"); }
    DriverStatus ClearRts() override { return Log("ClearRts"); }
    DriverStatus SetBaudRate(std::uint32_t baud) override { return Log("SetBaudRate:" + std::to_string(baud)); }
    DriverStatus SetDataCharacteristics(std::uint8_t w, std::uint8_t s, std::uint8_t p) override {
        return Log("SetDataCharacteristics:" + std::to_string(w) + "," + std::to_string(s) + "," + std::to_string(p));
    }
    DriverStatus SetFlowControl(std::uint16_t f, std::uint8_t on, std::uint8_t off) override {
        return Log("SetFlowControl:" + std::to_string(f) + "," + std::to_string(on) + "," + std::to_string(off));
    }
    DriverStatus SetRts() override { return Log("SetRts"); }
    DriverStatus GetStatus(std::uint32_t& ready) override {
        std::lock_guard lock(mutex_);
        ready = 0;
        if (failing_.count("GetStatus")) return kDriverFailed;
        ready = static_cast<std::uint32_t>(incoming_.size());
        return kDriverOk;
    }
    DriverStatus Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& got) override {
        std::lock_guard lock(mutex_);
        got = 0;
        if (failing_.count("Read")) return kDriverFailed;
        readSizes_.push_back(count);
        const auto n = std::min<std::size_t>(count, incoming_.size());
        std::copy_n(incoming_.begin(), n, buffer);
        incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(n));
        got = static_cast<std::uint32_t>(n);
        return kDriverOk;
    }
    DriverStatus Write(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override {
        Responder responder;
        Bytes frame(buffer, buffer + count);
        {
            std::lock_guard lock(mutex_);
            written = 0;
            if (failing_.count("Write")) return kDriverFailed;
            writes_.push_back(frame);
            written = count;
            responder = responder_;
        }
        written_.notify_all();
        if (responder) Queue(responder(frame));
        return kDriverOk;
    }
    void Close() override {
        std::lock_guard lock(mutex_);
        ++closes_;
    }

private:
    DriverStatus Log(const std::string& call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        const std::string name = call.substr(0, call.find(':'));
        return failing_.count(name) ? kDriverFailed : kDriverOk;
    }

    mutable std::mutex mutex_;
    std::condition_variable written_;
    std::set<std::string> failing_;
    std::deque<std::uint8_t> incoming_;
    std::vector<Bytes> writes_;
    std::vector<std::string> calls_;
    std::vector<std::uint32_t> readSizes_;
    Responder responder_;
    int closes_ = 0;
};

}  // namespace quorl::test
