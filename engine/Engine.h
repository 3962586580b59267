#pragma once
// CEngine: the hub between the survey unit and the rest of the program. It
// sends every command, dispatches every frame the reader thread decodes,
// owns the channel plan and runs the sweep, and holds the state the reader
// thread writes and the views read.
//
// Threads: HandleFrame and BeginSweep run on the reader thread; StartScan,
// NextChannel, EndSweep and SetChannelPlan on the UI thread. Flags and
// counters are relaxed atomics; the AP table and the two identity texts are
// taken under the engine's mutex.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/UserMessages.h"
#include "engine/GpsStatus.h"
#include "engine/Mac.h"
#include "engine/PowerStatus.h"
#include "link/SerialDriver.h"

namespace quorl {

// Channel number of a frequency value (MHz x 5).
std::uint16_t FrequencyToChannel(std::uint32_t value);
// Frequency value of a 2.4 GHz channel 1..14 or of a 5 GHz channel.
std::int32_t ChannelToFrequency(int channel);

// The 24 5 GHz channels in plan order (positions 1..24 are index 0..23).
inline constexpr std::array<int, 24> kAhChannels = {36,  40,  44,  48,  52,  56,  60,  64,
                                                    100, 104, 108, 112, 116, 120, 124, 128,
                                                    132, 136, 140, 149, 153, 157, 161, 165};

class CEngine {
public:
    static constexpr int kFrequencyTableSize = 50;
    static constexpr std::size_t kMaxCommandData = 60;

    CEngine(ISerialDriver& driver, GpsStatus& gps, IUserMessages& messages);
    virtual ~CEngine();
    CEngine(const CEngine&) = delete;
    CEngine& operator=(const CEngine&) = delete;

    // Encodes one command frame (trailer 0x00) and writes it in one driver
    // call. More than 60 data bytes are refused: nothing is sent.
    virtual void SendCommand(std::uint8_t type, const std::uint8_t* data, std::uint32_t length);

    // The dispatcher: one complete frame from the decoder. `body` is the
    // decoder's buffer (zero past the body), `length` counts the body bytes
    // including the check byte.
    void HandleFrame(const std::uint8_t* body, std::uint8_t type, std::uint32_t length);

    // The WM_USER+1 notification: called (on the reader thread) after GPS
    // reports, frame records and the start of a sweep. Set once at start-up.
    void SetNotifier(std::function<void()> notify);

    // Channel plan: bg[1..14] and ah[1..24] flags (index 0 ignored); ah may
    // be null.
    void SetChannelPlan(const std::uint8_t* bg, const std::uint8_t* ah);
    std::int16_t ChannelCount() const;
    // Frequency value at plan position 1..count (0 outside the table).
    std::int32_t FrequencyAt(int position) const;

    // Sweep control.
    bool StartScan();              // UI thread
    std::int32_t BeginSweep();     // reader thread, on message 3
    std::int32_t NextChannel();    // UI thread, every 2000 ms step
    // End-of-sweep steps 1 and 2, when the sweep has ended and nobody has
    // handled it yet: scanning off, end marked handled. Returns true when it
    // did so; the caller then stores the point.
    bool EndSweep();

    bool ScanRequested() const;
    bool SweepActive() const;
    bool SweepEndHandled() const;
    std::int32_t ChannelIndex() const;
    std::uint8_t CurrentChannel() const;

    // Handler of message 17.
    void AddFrameRecord(const std::uint8_t* data, std::uint32_t length);

    // AP table, under the engine's lock.
    void ClearApTable();
    std::size_t ApCount() const;
    std::vector<CMac> CopyApTable() const;
    template <typename Visit>
    void ForEachAp(Visit&& visit) const {
        std::lock_guard lock(mutex_);
        for (const CMac& entry : apTable_) visit(entry);
    }

    // Identity texts, under the engine's lock.
    std::string FirmwareText() const;
    std::string SerialText() const;

    // Power status record (reader thread only, and tools after the fact).
    PowerStatus Power() const;

    // Frames handed to HandleFrame: dispatched, or dropped by the check, the
    // busy flag or an unknown type.
    std::uint64_t FramesDispatched() const;
    std::uint64_t FramesDropped() const;

    // Whether a unit answers: a frame came in this answer period or in one
    // of the three before it. Without a unit (no frame ever), or once the
    // cable has been out for four periods, false: a sweep then hears
    // nothing and a point taken would be an empty one. The poll tick begins
    // each period (the unit answers every poll); UI thread.
    bool UnitAnswering() const;
    void BeginAnswerPeriod();

    GpsStatus& Gps() { return gps_; }
    const GpsStatus& Gps() const { return gps_; }

private:
    void Notify();
    void BatteryLowCheck();

    ISerialDriver& driver_;
    GpsStatus& gps_;
    IUserMessages& messages_;
    std::function<void()> notify_;

    std::atomic<std::uint8_t> scanRequested_{0};
    std::atomic<std::uint8_t> sweepActive_{0};
    std::atomic<std::uint8_t> sweepEndHandled_{1};
    std::atomic<std::int32_t> channelIndex_{0};
    PowerStatus power_;
    std::atomic<std::uint8_t> currentChannel_{1};
    std::array<char, 32> serial_{};
    std::array<char, 34> firmware_{};
    mutable std::mutex mutex_;
    std::atomic<std::int16_t> channelCount_{0};
    std::array<std::atomic<std::int32_t>, kFrequencyTableSize> frequencies_{};
    // Insertion order; apKeys_[i] is apTable_[i]'s MAC packed into one word so
    // the lookup scans a dense array. Emptying keeps the capacity, so merging
    // and re-adding allocate nothing once a sweep's size has been seen.
    std::vector<CMac> apTable_;
    std::vector<std::uint64_t> apKeys_;
    std::mutex notifyMutex_;
    mutable std::mutex powerMutex_;  // Power() may be read off the reader thread

    std::atomic<bool> busy_{false};
    std::atomic<std::uint64_t> dispatched_{0};
    std::atomic<std::uint64_t> dropped_{0};
    std::uint64_t periodStart_ = 0;  // frames dispatched when this answer period began
    int silentPeriods_ = 0;          // periods just past without a frame
};

}  // namespace quorl
