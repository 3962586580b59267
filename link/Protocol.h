#pragma once
// Command and message codes of the survey unit, and the frame control bytes.

#include <cstdint>

namespace quorl {

// Frame control bytes (both directions).
inline constexpr std::uint8_t kFrameLead = 0x11;
inline constexpr std::uint8_t kFrameStart = 0x12;
inline constexpr std::uint8_t kFrameEnd = 0x13;
inline constexpr std::uint8_t kFrameLiteralLead = 0x14;

// Commands, system to unit.
enum Command : std::uint8_t {
    kCmdRequestFirmware = 1,
    kCmdRequestSerial = 2,
    kCmdSetScanning = 3,   // 1 data byte: 0x01 on, 0x00 off
    kCmdTune = 4,          // 4 data bytes: frequency value (MHz x 5), little-endian
    kCmdHandshake = 9,     // 1 data byte: 0x01
    kCmdRequestPower = 10,
};

// Messages, unit to system.
enum Message : std::uint8_t {
    kMsgFirmware = 1,
    kMsgSerial = 2,
    kMsgScanAck = 3,
    kMsgHandshakeAck = 9,
    kMsgPowerStatus = 10,
    kMsgGpsReport = 16,
    kMsgFrameRecord = 17,
};

inline constexpr std::size_t kGpsReportSize = 62;
inline constexpr std::size_t kPowerStatusSize = 7;

}  // namespace quorl
