#pragma once
// Builders for unit messages and frame records, shared by the engine tests.

#include <cstdint>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "common/RecordingUserMessages.h"
#include "engine/Engine.h"
#include "link/FrameCodec.h"
#include "link/Protocol.h"
#include "tests/link/FakeSerialDriver.h"

namespace quorl::test {

using Bytes = std::vector<std::uint8_t>;
using Mac6 = std::array<std::uint8_t, 6>;

// Frame-control values of the record kinds.
inline constexpr std::uint16_t kFcBeacon = 0x0080;
inline constexpr std::uint16_t kFcProbeRequest = 0x0040;
inline constexpr std::uint16_t kFcProbeResponse = 0x0050;
inline constexpr std::uint16_t kFcData = 0x0008;
inline constexpr std::uint16_t kFcControl = 0x00D4;

struct Element {
    std::uint8_t id;
    Bytes value;
};

inline Element Ssid(const std::string& text) { return {0, Bytes(text.begin(), text.end())}; }
inline Element Ds(std::uint8_t channel) { return {3, {channel}}; }

// A message-17 record: head fields, then the element count and elements.
inline Bytes Record(const Mac6& mac, std::int16_t rssi, const std::vector<Element>& elements,
                    std::uint16_t frameControl = kFcBeacon, std::uint8_t flags = 0x01) {
    Bytes r(39, 0);
    WriteLe16(&r[2], static_cast<std::uint16_t>(rssi));
    r[5] = flags;
    WriteLe16(&r[10], frameControl);
    std::copy(mac.begin(), mac.end(), r.begin() + 18);
    r[38] = static_cast<std::uint8_t>(elements.size());
    for (const auto& e : elements) {
        r.push_back(e.id);
        r.push_back(static_cast<std::uint8_t>(e.value.size()));
        r.insert(r.end(), e.value.begin(), e.value.end());
    }
    return r;
}

// A probe request: SSID length at 37, SSID from 38.
inline Bytes ProbeRequest(const Mac6& mac, std::int16_t rssi, const std::string& ssid) {
    Bytes r = Record(mac, rssi, {}, kFcProbeRequest);
    r.resize(38);
    r[37] = static_cast<std::uint8_t>(ssid.size());
    r.insert(r.end(), ssid.begin(), ssid.end());
    return r;
}

// The body the decoder would hand over: data and check byte.
inline Bytes Body(std::uint8_t type, const Bytes& data) {
    Bytes body = data;
    body.push_back(FrameCheckByte(type, data.data(), static_cast<std::uint32_t>(data.size())));
    return body;
}

inline void Deliver(CEngine& engine, std::uint8_t type, const Bytes& data) {
    const Bytes body = Body(type, data);
    engine.HandleFrame(body.data(), type, static_cast<std::uint32_t>(body.size()));
}

inline Bytes CommandFrame(std::uint8_t type, const Bytes& data = {}) {
    std::array<std::uint8_t, kCommandFrameSize> frame{};
    const std::size_t n = EncodeCommand(type, data.data(), static_cast<std::uint32_t>(data.size()), frame);
    return Bytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(n));
}

// Tunes the engine to one channel the way a sweep does: a one-channel
// plan, a scan request and the unit's acknowledgement.
inline void TuneTo(CEngine& engine, int channel) {
    std::uint8_t bg[15] = {};
    std::uint8_t ah[25] = {};
    if (channel <= 14) {
        bg[channel] = 1;
    } else {
        for (std::size_t k = 0; k < kAhChannels.size(); ++k)
            if (kAhChannels[k] == channel) ah[k + 1] = 1;
    }
    engine.SetChannelPlan(bg, ah);
    engine.StartScan();
    Deliver(engine, kMsgScanAck, {});
}

// An engine with a recording driver and scripted user messages.
struct EngineRig {
    FakeSerialDriver driver;
    GpsStatus gps;
    RecordingUserMessages messages;
    CEngine engine{driver, gps, messages};
    int notifications = 0;

    EngineRig() { engine.SetNotifier([this] { ++notifications; }); }
};

}  // namespace quorl::test
