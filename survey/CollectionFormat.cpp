#include "survey/CollectionFormat.h"

#include <cerrno>
#include <cstring>

#include "common/ByteOrder.h"
#include "survey/FileHandle.h"

namespace quorl::collection {

std::array<std::uint8_t, kFirstGroup> MakeNewFileStart(std::int64_t createdSeconds) {
    std::array<std::uint8_t, kFirstGroup> b{};
    WriteLe32(b.data(), kHeaderSize);
    WriteLe32(b.data() + 4, kSignature);
    WriteLe16(b.data() + 8, 1);
    WriteLe64(b.data() + 13, static_cast<std::uint64_t>(createdSeconds));
    WriteLe32(b.data() + 21, kPairOffset);
    WriteLe32(b.data() + 25, kPointRecordSize);
    WriteLe32(b.data() + 29, kApRecordSize);
    return b;
}

std::string ApRecord::SsidText() const {
    std::size_t n = 0;
    while (n < ssid.size() && ssid[n] != '\0') ++n;
    return std::string(ssid.data(), n);
}

void EncodePoint(const PointRecord& r, std::uint8_t* out) {
    std::memset(out, 0, kPointRecordSize);
    out[0] = r.kind;
    WriteLe32(out + 1, static_cast<std::uint32_t>(r.latitude));
    WriteLe32(out + 5, static_cast<std::uint32_t>(r.longitude));
    WriteLe16(out + 9, r.x);
    WriteLe16(out + 11, r.y);
    out[13] = r.month;
    out[14] = r.day;
    out[15] = r.year;
    out[16] = r.hour;
    out[17] = r.minute;
    out[18] = r.second;
    WriteLe32(out + 19, r.fineTime);
    WriteLe32(out + 23, r.keptField);
    WriteLe16(out + 27, r.reserved);
    WriteLe16(out + 29, r.scaledA);
    WriteLe16(out + 31, r.scaledB);
    out[33] = r.fix;
    WriteLe16(out + 34, r.apCount);
}

PointRecord DecodePoint(const std::uint8_t* in) {
    PointRecord r;
    r.kind = in[0];
    r.latitude = static_cast<std::int32_t>(ReadLe32(in + 1));
    r.longitude = static_cast<std::int32_t>(ReadLe32(in + 5));
    r.x = ReadLe16(in + 9);
    r.y = ReadLe16(in + 11);
    r.month = in[13];
    r.day = in[14];
    r.year = in[15];
    r.hour = in[16];
    r.minute = in[17];
    r.second = in[18];
    r.fineTime = ReadLe32(in + 19);
    r.keptField = ReadLe32(in + 23);
    r.reserved = ReadLe16(in + 27);
    r.scaledA = ReadLe16(in + 29);
    r.scaledB = ReadLe16(in + 31);
    r.fix = in[33];
    r.apCount = ReadLe16(in + 34);
    return r;
}

void EncodeAp(const ApRecord& r, std::uint8_t* out) {
    std::memset(out, 0, kApRecordSize);
    WriteLe32(out, r.channel);
    WriteLe16(out + 4, static_cast<std::uint16_t>(r.signal));
    std::memcpy(out + 8, r.mac.data(), 6);
    std::memcpy(out + 14, r.ssid.data(), 32);
}

ApRecord DecodeAp(const std::uint8_t* in) {
    ApRecord r;
    r.channel = ReadLe32(in);
    r.signal = static_cast<std::int16_t>(ReadLe16(in + 4));
    std::memcpy(r.mac.data(), in + 8, 6);
    std::memcpy(r.ssid.data(), in + 14, 32);
    return r;
}

bool ReadLayout(const FileHandle& file, std::uint64_t fileLength, Layout& layout, std::string& why,
                int& errorNumber) {
    errorNumber = 0;
    const std::int64_t got = file.ReadAt(layout.header.data(), kHeaderSize, 0);
    if (got < 0) {
        errorNumber = errno;
        why = "it cannot be read";
        return false;
    }
    if (got < static_cast<std::int64_t>(kHeaderSize)) {
        why = "it is shorter than the 25-byte header";
        return false;
    }
    layout.pairOffset = ReadLe32(layout.header.data() + 21);
    // Sizes or groups inside the header would make its bytes records: cutting
    // off an unfinished group or deleting a point would then rewrite the header.
    if (layout.pairOffset < kHeaderSize) {
        why = "its record sizes lie inside its 25-byte header";
        return false;
    }
    std::uint8_t pair[8];
    const std::int64_t pairGot =
        layout.FirstGroup() <= fileLength ? file.ReadAt(pair, sizeof pair, layout.pairOffset) : 0;
    if (pairGot < 0) {
        errorNumber = errno;
        why = "it cannot be read";
        return false;
    }
    if (pairGot < 8) {
        why = "its record sizes lie past the end of the file";
        return false;
    }
    layout.pointRecordSize = ReadLe32(pair);
    layout.apRecordSize = ReadLe32(pair + 4);
    if (layout.pointRecordSize < kPointRecordSize || layout.apRecordSize < kApRecordSize) {
        why = "it declares records of " + std::to_string(layout.pointRecordSize) + " and " +
              std::to_string(layout.apRecordSize) + " bytes, smaller than the 36 and 46 bytes of a point and an access point";
        return false;
    }
    if (layout.pointRecordSize > kMaxRecordSize || layout.apRecordSize > kMaxRecordSize) {
        why = "it declares records of " + std::to_string(layout.pointRecordSize) + " and " +
              std::to_string(layout.apRecordSize) + " bytes, larger than the " + std::to_string(kMaxRecordSize) +
              " bytes a record may have";
        return false;
    }
    return true;
}

}  // namespace quorl::collection
