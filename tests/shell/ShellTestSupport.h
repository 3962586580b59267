#pragma once
// Test doubles for the shell tests: serial drivers with no unit or with a
// scripted byte stream, and a view that counts what happens to it.

#include <QEvent>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <vector>

#include "link/FrameCodec.h"
#include "link/SerialDriver.h"
#include <string>

#include "siteview/CommandTarget.h"
#include "siteview/PlanFiles.h"
#include "siteview/ViewActivation.h"

namespace quorl::test {

// A driver whose device list is empty, as with no unit attached: every call
// but the count fails. Counts the writes attempted.
class NoUnitDriver : public ISerialDriver {
public:
    DriverStatus CountDevices(std::uint32_t& count) override {
        count = 0;
        return kDriverOk;
    }
    DriverStatus SerialNumberOf(std::uint32_t, char (&)[64]) override { return kDriverFailed; }
    DriverStatus Open(std::uint32_t) override { return kDriverFailed; }
    DriverStatus ClearRts() override { return kDriverFailed; }
    DriverStatus SetBaudRate(std::uint32_t) override { return kDriverFailed; }
    DriverStatus SetDataCharacteristics(std::uint8_t, std::uint8_t, std::uint8_t) override { return kDriverFailed; }
    DriverStatus SetFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) override { return kDriverFailed; }
    DriverStatus SetRts() override { return kDriverFailed; }
    DriverStatus GetStatus(std::uint32_t& ready) override {
        ready = 0;
        return kDriverFailed;
    }
    DriverStatus Read(std::uint8_t*, std::uint32_t, std::uint32_t& read) override {
        read = 0;
        return kDriverFailed;
    }
    DriverStatus Write(const std::uint8_t*, std::uint32_t, std::uint32_t& written) override {
        written = 0;
        std::lock_guard lock(mutex_);
        ++writes_;
        return kDriverFailed;
    }
    void Close() override {}

    int Writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }

private:
    mutable std::mutex mutex_;
    int writes_ = 0;
};

// One attached unit that says what the test queues and records what the
// program writes.
class ScriptedDriver : public ISerialDriver {
public:
    DriverStatus CountDevices(std::uint32_t& count) override {
        count = 1;
        return kDriverOk;
    }
    DriverStatus SerialNumberOf(std::uint32_t, char (&serial)[64]) override {
        serial[0] = '\0';
        return kDriverOk;
    }
    DriverStatus Open(std::uint32_t) override { return kDriverOk; }
    DriverStatus ClearRts() override { return kDriverOk; }
    DriverStatus SetBaudRate(std::uint32_t) override { return kDriverOk; }
    DriverStatus SetDataCharacteristics(std::uint8_t, std::uint8_t, std::uint8_t) override { return kDriverOk; }
    DriverStatus SetFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) override { return kDriverOk; }
    DriverStatus SetRts() override { return kDriverOk; }
    DriverStatus GetStatus(std::uint32_t& ready) override {
        std::lock_guard lock(mutex_);
        ready = static_cast<std::uint32_t>(incoming_.size());
        return kDriverOk;
    }
    DriverStatus Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& read) override {
        std::lock_guard lock(mutex_);
        read = 0;
        while (read < count && !incoming_.empty()) {
            buffer[read++] = incoming_.front();
            incoming_.pop_front();
        }
        return kDriverOk;
    }
    DriverStatus Write(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override {
        std::lock_guard lock(mutex_);
        written_.emplace_back(buffer, buffer + count);
        written = count;
        return kDriverOk;
    }
    void Close() override {}

    // Queues one unit message (with its check byte) for the reader.
    void Say(std::uint8_t type, const std::vector<std::uint8_t>& data) {
        const auto bytes = EncodeMessage(type, data.data(), static_cast<std::uint32_t>(data.size()));
        std::lock_guard lock(mutex_);
        incoming_.insert(incoming_.end(), bytes.begin(), bytes.end());
    }
    // The frames the program wrote, as written.
    std::vector<std::vector<std::uint8_t>> Written() const {
        std::lock_guard lock(mutex_);
        return written_;
    }

private:
    mutable std::mutex mutex_;
    std::deque<std::uint8_t> incoming_;
    std::vector<std::vector<std::uint8_t>> written_;
};

// A view that records its activations and the window events it gets, and
// handles the commands it is given.
class CountingView : public QWidget, public IViewActivation, public ICommandTarget, public IPlanFiles {
public:
    explicit CountingView(std::set<int> handled = {}) : handled_(std::move(handled)) {}

    void OnActivateView(bool active) override { activations.push_back(active); }
    bool HandlesCommand(int id) const override { return handled_.count(id) != 0; }
    void RunCommand(int id) override { commandsRun.push_back(id); }
    bool IsCommandChecked(int id) const override { return checked.count(id) != 0; }
    // What the main window handed over, as "projection PATH" or
    // "collection PATH" ("new collection PATH" when made).
    bool OpenProjectionFile(const std::string& path) override {
        opened.push_back("projection " + path);
        return true;
    }
    bool OpenCollectionFile(const std::string& path, bool create) override {
        opened.push_back((create ? "new collection " : "collection ") + path);
        return true;
    }
    void CloseCollectionFile() override { opened.push_back("closed"); }
    bool Busy(bool) override { return false; }
    void ShowFloorName(const std::string& name) override { floor = name; }
    void UseFloorGuard(IFloorGuard* g) override { guard = g; }
    std::vector<std::string> opened;
    std::string floor;
    IFloorGuard* guard = nullptr;

    void ResetCounts() {
        activations.clear();
        shows = hides = paints = resizes = 0;
    }

    std::vector<bool> activations;
    std::vector<int> commandsRun;
    std::set<int> checked;
    int shows = 0, hides = 0, paints = 0, resizes = 0;

protected:
    bool event(QEvent* e) override {
        switch (e->type()) {
            case QEvent::Show: ++shows; break;
            case QEvent::Hide: ++hides; break;
            case QEvent::Paint: ++paints; break;
            case QEvent::Resize: ++resizes; break;
            default: break;
        }
        return QWidget::event(e);
    }

private:
    std::set<int> handled_;
};

}  // namespace quorl::test
