#pragma once
// The collection file layout (".ssd"): a 25-byte header, the record size
// pair at the offset the header gives, then one group per survey point: a
// point record and as many access point records as its count says. All
// integers little-endian, no padding.

#include <array>
#include <cstdint>
#include <string>

namespace quorl {
class FileHandle;
}

namespace quorl::collection {

inline constexpr std::uint32_t kHeaderSize = 25;
inline constexpr std::uint32_t kSignature = 0x53534420;  // " DSS"
inline constexpr std::uint32_t kPairOffset = 25;
inline constexpr std::uint32_t kPointRecordSize = 36;
inline constexpr std::uint32_t kApRecordSize = 46;
inline constexpr std::uint32_t kFirstGroup = kPairOffset + 8;  // 33: the length of a new file
// The largest record size a file may declare. This system writes 36 and 46
// bytes; a page leaves room for records a later version might widen (their
// extra bytes are skipped) while keeping what one point costs to read and
// append proportional to its access points: a bitmap's white pixels
// (0xFFFFFFFF) or a 100 MiB declaration are refused, never allocated.
inline constexpr std::uint32_t kMaxRecordSize = 4096;
// Stored positions are degrees times this, truncated toward zero.
inline constexpr double kPositionScale = 3600000.0;

// Header and size pair of a file this system creates.
std::array<std::uint8_t, kFirstGroup> MakeNewFileStart(std::int64_t createdSeconds);

struct PointRecord {
    std::uint8_t kind = 0;
    std::int32_t latitude = 0;   // 1/3,600,000 degree
    std::int32_t longitude = 0;
    std::uint16_t x = 0;         // plan pixel (plan taps and markers)
    std::uint16_t y = 0;
    std::uint8_t month = 0, day = 0, year = 0;  // year: full year - 1980, mod 256
    std::uint8_t hour = 0, minute = 0, second = 0;
    std::uint32_t fineTime = 0;
    std::uint32_t keptField = 0;
    std::uint16_t reserved = 0;
    std::uint16_t scaledA = 0, scaledB = 0;
    std::uint8_t fix = 0;
    std::uint16_t apCount = 0;
};

struct ApRecord {
    std::uint32_t channel = 0;
    std::int16_t signal = 0;     // sixteenths
    std::array<std::uint8_t, 6> mac{};
    std::array<char, 32> ssid{};  // NUL-padded, not terminated at 32 characters

    int Level() const { return signal / 16; }
    std::string SsidText() const;
};

void EncodePoint(const PointRecord& record, std::uint8_t* out);  // 36 bytes
PointRecord DecodePoint(const std::uint8_t* in);                  // 36 bytes
void EncodeAp(const ApRecord& record, std::uint8_t* out);         // 46 bytes
ApRecord DecodeAp(const std::uint8_t* in);                        // 46 bytes

// Where the groups start and how big the records say they are.
struct Layout {
    std::array<std::uint8_t, kHeaderSize> header{};
    std::uint32_t pairOffset = kPairOffset;
    std::uint32_t pointRecordSize = kPointRecordSize;
    std::uint32_t apRecordSize = kApRecordSize;
    std::uint64_t FirstGroup() const { return std::uint64_t{pairOffset} + 8; }
};

// Reads and checks the header and size pair. A pair that starts inside the
// header is refused. Record sizes smaller than the
// fields this system reads are refused (a size of 0 would never move on), and
// so are sizes above kMaxRecordSize; sizes between are accepted and their
// extra bytes skipped. On failure `why`
// says what is wrong, and `errorNumber` is set when a read failed.
bool ReadLayout(const FileHandle& file, std::uint64_t fileLength, Layout& layout, std::string& why,
                int& errorNumber);

}  // namespace quorl::collection
