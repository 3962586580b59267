#include "engine/FrameRecord.h"

#include <algorithm>

#include "engine/ByteView.h"

namespace quorl {

namespace {

constexpr std::uint32_t kRssiOffset = 2;
constexpr std::uint32_t kFlagsOffset = 5;
constexpr std::uint32_t kFrameControlOffset = 10;
constexpr std::uint32_t kMacOffset = 18;
constexpr std::uint32_t kElementCountOffset = 38;
constexpr std::uint32_t kElementsOffset = 39;
constexpr std::uint32_t kProbeSsidLengthOffset = 37;
constexpr std::uint32_t kProbeSsidOffset = 38;
constexpr std::uint8_t kElementSsid = 0;
constexpr std::uint8_t kElementDsParameters = 3;
constexpr std::uint32_t kMaxSsid = 32;
constexpr int kHighestBgChannel = 14;

void CopySsid(const ByteView& body, std::uint32_t offset, std::uint32_t length, ParsedFrameRecord& out) {
    const std::uint32_t n = std::min(length, kMaxSsid);
    body.Copy(offset, n, reinterpret_cast<std::uint8_t*>(out.ssid.data()));
    out.ssid[n] = '\0';
}

}  // namespace

void ParseFrameRecord(const std::uint8_t* data, std::uint32_t length, std::int32_t scannedChannel,
                      ParsedFrameRecord& out) {
    const ByteView body(data, length);
    out.rssi = static_cast<std::int16_t>(body.Le16(kRssiOffset));
    out.flags = body.At(kFlagsOffset);
    out.frameControl = body.Le16(kFrameControlOffset);
    body.Copy(kMacOffset, 6, out.mac.data());
    out.ssid.fill('\0');
    out.channel = 0;
    out.beaconOrResponse = 0;
    out.offChannel = 0;
    out.scannedChannel = scannedChannel;

    const unsigned type = (out.frameControl >> 2) & 0x3;
    const unsigned subtype = (out.frameControl >> 4) & 0xF;
    out.kind = ParsedFrameRecord::kOther;
    if (type == 0) {
        if (subtype == 8) out.kind = ParsedFrameRecord::kBeacon;
        else if (subtype == 4) out.kind = ParsedFrameRecord::kProbeRequest;
        else if (subtype == 5) out.kind = ParsedFrameRecord::kProbeResponse;
    }

    bool hasChannel = false;
    if (out.kind == ParsedFrameRecord::kBeacon || out.kind == ParsedFrameRecord::kProbeResponse) {
        out.beaconOrResponse = 1;
        const unsigned count = body.At(kElementCountOffset);
        std::uint32_t pos = kElementsOffset;
        for (unsigned i = 0; i < count && pos < length; ++i) {
            const std::uint8_t id = body.At(pos);
            const std::uint8_t len = body.At(pos + 1);
            if (id == kElementSsid && len > 0) CopySsid(body, pos + 2, len, out);
            else if (id == kElementDsParameters && len > 0 && pos + 2 < length) {
                // Any value counts, 0 included: only a missing element means
                // the tuned channel.
                out.channel = body.At(pos + 2);
                hasChannel = true;
            }
            pos += 2u + len;
        }
    } else if (out.kind == ParsedFrameRecord::kProbeRequest) {
        const std::uint8_t len = body.At(kProbeSsidLengthOffset);
        if (len > 0) CopySsid(body, kProbeSsidOffset, len, out);
    }

    if (scannedChannel > kHighestBgChannel) {
        // 5 GHz: the unit only hears the channel it is tuned to.
        out.channel = static_cast<std::int16_t>(scannedChannel);
    } else if (!hasChannel) {
        // No channel element: heard on the channel the unit is tuned to.
        out.channel = static_cast<std::int16_t>(scannedChannel);
    } else if (out.channel != scannedChannel) {
        out.offChannel = 1;
    }
}

}  // namespace quorl
