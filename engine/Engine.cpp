#include "engine/Engine.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>

#include "common/ByteOrder.h"
#include "common/Timing.h"
#include "engine/ByteView.h"
#include "engine/FrameRecord.h"
#include "link/FrameCodec.h"
#include "link/Protocol.h"

namespace quorl {

namespace {

constexpr std::size_t kSerialCharacters = 8;
constexpr std::size_t kFirmwareCharacters = 33;
constexpr std::size_t kApTableReserve = 512;

// "Vorn" is the unit's name as its owners know it.
constexpr const char* kBatteryLowText = "Vorn Battery Low, Hardware Shut Down!";
constexpr const char* kBatteryRestartText =
    "Restart application after charging battery or connecting A/C power source.";

std::uint64_t MacKey(const std::array<std::uint8_t, 6>& mac) {
    std::uint64_t key = 0;
    for (std::uint8_t b : mac) key = (key << 8) | b;
    return key;
}

// Copies text from a body into a fixed field: at most `limit` characters,
// stopping at a NUL or the end of the body, always terminated.
template <std::size_t N>
void CopyText(const ByteView& body, std::size_t limit, std::array<char, N>& field) {
    field.fill('\0');
    for (std::size_t i = 0; i < limit && i < N - 1; ++i) {
        const std::uint8_t c = body.At(static_cast<std::uint32_t>(i));
        if (c == 0) break;
        field[i] = static_cast<char>(c);
    }
}

template <std::size_t N>
void SetText(std::array<char, N>& field, const char* text) {
    field.fill('\0');
    std::strncpy(field.data(), text, N - 1);
}

}  // namespace

CEngine::CEngine(ISerialDriver& driver, GpsStatus& gps, IUserMessages& messages)
    : driver_(driver), gps_(gps), messages_(messages) {
    SetText(serial_, "XXXXXX");
    SetText(firmware_, "0.00");
    apTable_.reserve(kApTableReserve);
    apKeys_.reserve(kApTableReserve);
    std::uint8_t bg[15];
    std::fill(std::begin(bg), std::end(bg), 1);
    SetChannelPlan(bg, nullptr);
}

CEngine::~CEngine() { ClearApTable(); }

void CEngine::SendCommand(std::uint8_t type, const std::uint8_t* data, std::uint32_t length) {
    std::array<std::uint8_t, kCommandFrameSize> frame;
    const std::size_t size = EncodeCommand(type, data, length, frame);
    if (size == 0) return;  // more than the frame buffer holds: refused
    std::uint32_t written = 0;
    driver_.Write(frame.data(), static_cast<std::uint32_t>(size), written);  // a lost command stays lost
}

void CEngine::SetNotifier(std::function<void()> notify) {
    std::lock_guard lock(notifyMutex_);
    notify_ = std::move(notify);
}

void CEngine::Notify() {
    std::lock_guard lock(notifyMutex_);
    if (notify_) notify_();
}

void CEngine::HandleFrame(const std::uint8_t* body, std::uint8_t type, std::uint32_t length) {
    if (busy_.exchange(true, std::memory_order_acquire)) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (body == nullptr) length = 0;
    if (!FrameCheckPasses(type, body, length)) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        busy_.store(false, std::memory_order_release);
        return;
    }
    // Handlers see the data bytes only; the check byte is not a field.
    const std::uint32_t dataLength = length > 0 ? length - 1 : 0;
    const ByteView data(body, dataLength);
    bool known = true;
    switch (type) {
    case kMsgFirmware: {
        {
            std::lock_guard lock(mutex_);
            CopyText(data, kFirmwareCharacters, firmware_);
        }
        SendCommand(kCmdRequestSerial, nullptr, 0);
        break;
    }
    case kMsgSerial: {
        {
            std::lock_guard lock(mutex_);
            CopyText(data, kSerialCharacters, serial_);
        }
        const std::uint8_t on = 0x01;
        SendCommand(kCmdHandshake, &on, 1);
        break;
    }
    case kMsgScanAck:
        if (scanRequested_.load(std::memory_order_relaxed) == 1) BeginSweep();
        break;
    case kMsgHandshakeAck: {
        scanRequested_.store(0, std::memory_order_relaxed);
        const std::uint8_t off = 0x00;
        SendCommand(kCmdSetScanning, &off, 1);
        break;
    }
    case kMsgPowerStatus: {
        PowerStatus updated;
        {
            std::lock_guard lock(powerMutex_);
            UpdatePowerStatus(power_, body, dataLength);
            updated = power_;
        }
        if (updated.batteryLow == 1 && updated.bit2 == 0) BatteryLowCheck();
        break;
    }
    case kMsgGpsReport:
        gps_.Update(body, dataLength);
        Notify();
        break;
    case kMsgFrameRecord:
        AddFrameRecord(body, dataLength);
        Notify();
        break;
    default:
        known = false;
        break;
    }
    (known ? dispatched_ : dropped_).fetch_add(1, std::memory_order_relaxed);
    busy_.store(false, std::memory_order_release);
}

// The battery-low path: the link's release pause, then the two boxes, one
// after the other; the reader waits until both are dismissed.
void CEngine::BatteryLowCheck() {
    std::this_thread::sleep_for(timing::Scaled(timing::kReleasePauseMs));
    messages_.ShowPlain(kBatteryLowText);
    messages_.ShowPlain(kBatteryRestartText);
}

void CEngine::SetChannelPlan(const std::uint8_t* bg, const std::uint8_t* ah) {
    int position = 1;
    if (bg) {
        for (int i = 1; i <= 14; ++i)
            if (bg[i] == 1) frequencies_[position++].store(ChannelToFrequency(i), std::memory_order_relaxed);
    }
    if (ah) {
        for (std::size_t k = 0; k < kAhChannels.size(); ++k)
            if (ah[k + 1] == 1)
                frequencies_[position++].store(ChannelToFrequency(kAhChannels[k]), std::memory_order_relaxed);
    }
    channelCount_.store(static_cast<std::int16_t>(position - 1), std::memory_order_relaxed);
}

std::int16_t CEngine::ChannelCount() const { return channelCount_.load(std::memory_order_relaxed); }

std::int32_t CEngine::FrequencyAt(int position) const {
    if (position < 1 || position > ChannelCount() || position >= kFrequencyTableSize) return 0;
    return frequencies_[position].load(std::memory_order_relaxed);
}

bool CEngine::StartScan() {
    sweepActive_.store(1, std::memory_order_relaxed);
    sweepEndHandled_.store(0, std::memory_order_relaxed);
    ClearApTable();
    // A step that comes before the unit's acknowledgement must start this
    // sweep from the top, not run on from where the last sweep ended.
    channelIndex_.store(0, std::memory_order_relaxed);
    scanRequested_.store(1, std::memory_order_relaxed);
    const std::uint8_t on = 0x01;
    SendCommand(kCmdSetScanning, &on, 1);
    return true;
}

std::int32_t CEngine::BeginSweep() {
    if (ChannelCount() < 1) {
        // Empty plan: nothing to tune; the first step ends the sweep.
        channelIndex_.store(0, std::memory_order_relaxed);
    } else {
        channelIndex_.store(1, std::memory_order_relaxed);
        const std::int32_t value = frequencies_[1].load(std::memory_order_relaxed);
        std::uint8_t data[4];
        WriteLe32(data, static_cast<std::uint32_t>(value));
        SendCommand(kCmdTune, data, 4);
        currentChannel_.store(static_cast<std::uint8_t>(FrequencyToChannel(static_cast<std::uint32_t>(value))),
                              std::memory_order_relaxed);
    }
    Notify();
    return channelIndex_.load(std::memory_order_relaxed);
}

std::int32_t CEngine::NextChannel() {
    const std::int32_t index = channelIndex_.load(std::memory_order_relaxed) + 1;
    const std::int32_t count = ChannelCount();
    if (index > count || index >= kFrequencyTableSize) {
        sweepActive_.store(0, std::memory_order_relaxed);
        return channelIndex_.load(std::memory_order_relaxed);
    }
    channelIndex_.store(index, std::memory_order_relaxed);
    const std::int32_t value = frequencies_[index].load(std::memory_order_relaxed);
    std::uint8_t data[4];
    WriteLe32(data, static_cast<std::uint32_t>(value));
    SendCommand(kCmdTune, data, 4);
    currentChannel_.store(static_cast<std::uint8_t>(FrequencyToChannel(static_cast<std::uint32_t>(value))),
                          std::memory_order_relaxed);
    return index;
}

bool CEngine::EndSweep() {
    if (sweepActive_.load(std::memory_order_relaxed) != 0) return false;
    if (sweepEndHandled_.load(std::memory_order_relaxed) != 0) return false;
    scanRequested_.store(0, std::memory_order_relaxed);
    const std::uint8_t off = 0x00;
    SendCommand(kCmdSetScanning, &off, 1);
    sweepEndHandled_.store(1, std::memory_order_relaxed);
    return true;
}

bool CEngine::ScanRequested() const { return scanRequested_.load(std::memory_order_relaxed) != 0; }
bool CEngine::SweepActive() const { return sweepActive_.load(std::memory_order_relaxed) != 0; }
bool CEngine::SweepEndHandled() const { return sweepEndHandled_.load(std::memory_order_relaxed) != 0; }
std::int32_t CEngine::ChannelIndex() const { return channelIndex_.load(std::memory_order_relaxed); }
std::uint8_t CEngine::CurrentChannel() const { return currentChannel_.load(std::memory_order_relaxed); }

void CEngine::AddFrameRecord(const std::uint8_t* data, std::uint32_t length) {
    ParsedFrameRecord record;
    ParseFrameRecord(data, length, currentChannel_.load(std::memory_order_relaxed), record);
    if (!record.Valid() || !record.beaconOrResponse || record.offChannel) return;

    const std::uint64_t key = MacKey(record.mac);
    std::lock_guard lock(mutex_);
    const auto found = std::find(apKeys_.begin(), apKeys_.end(), key);
    if (found != apKeys_.end()) {
        CMac& entry = apTable_[static_cast<std::size_t>(found - apKeys_.begin())];
        // A full hit count stops the merging rather than wrapping: the
        // average of what was merged stays right.
        if (entry.hits < std::numeric_limits<std::int16_t>::max()) {
            ++entry.hits;
            entry.rssiSum += record.rssi;
        }
        if (entry.channel == 0) entry.channel = record.channel;
        return;
    }
    CMac entry;
    entry.channel = record.channel;
    entry.rssiSum = record.rssi;
    entry.mac = record.mac;
    std::memcpy(entry.ssid.data(), record.ssid.data(), entry.ssid.size());
    entry.hits = 1;
    apTable_.push_back(entry);
    apKeys_.push_back(key);
}

void CEngine::ClearApTable() {
    std::lock_guard lock(mutex_);
    apTable_.clear();
    apKeys_.clear();
}

std::size_t CEngine::ApCount() const {
    std::lock_guard lock(mutex_);
    return apTable_.size();
}

std::vector<CMac> CEngine::CopyApTable() const {
    std::lock_guard lock(mutex_);
    return apTable_;
}

std::string CEngine::FirmwareText() const {
    std::lock_guard lock(mutex_);
    return std::string(firmware_.data());
}

std::string CEngine::SerialText() const {
    std::lock_guard lock(mutex_);
    return std::string(serial_.data());
}

PowerStatus CEngine::Power() const {
    std::lock_guard lock(powerMutex_);
    return power_;
}

std::uint64_t CEngine::FramesDispatched() const { return dispatched_.load(std::memory_order_relaxed); }
std::uint64_t CEngine::FramesDropped() const { return dropped_.load(std::memory_order_relaxed); }

namespace {
// Periods of silence before the unit counts as gone: one missed answer is a
// busy machine, not a pulled cable.
constexpr int kSilentPeriodsAllowed = 2;
}  // namespace

bool CEngine::UnitAnswering() const {
    const std::uint64_t frames = FramesDispatched();
    return frames > periodStart_ || (frames > 0 && silentPeriods_ <= kSilentPeriodsAllowed);
}

void CEngine::BeginAnswerPeriod() {
    const std::uint64_t now = FramesDispatched();
    silentPeriods_ = now > periodStart_ ? 0 : silentPeriods_ + 1;
    periodStart_ = now;
}

}  // namespace quorl
