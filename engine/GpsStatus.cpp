#include "engine/GpsStatus.h"

#include <algorithm>
#include <ctime>

#include "engine/ByteView.h"

namespace quorl {

namespace {

constexpr std::uint32_t kLatitudeOffset = 5;
constexpr std::uint32_t kLongitudeOffset = 9;
constexpr std::uint32_t kKeptFieldOffset = 14;
constexpr std::uint32_t kScaledASource = 23;
constexpr std::uint32_t kScaledBSource = 26;
constexpr std::uint32_t kWeekOffset = 29;
constexpr std::uint32_t kTimeOfWeekOffset = 31;
constexpr std::uint32_t kFineTime1Offset = 35;
constexpr std::uint32_t kFineTime2Offset = 37;
constexpr std::uint32_t kLockOffset = 47;
constexpr double kTwoTo31 = 2147483648.0;
constexpr std::uint32_t kSecondsPerWeek = 604800;

// The unit's 24-bit sources; 65535 (not 65536) is how the unit scales them.
std::uint32_t ScaledSource(const ByteView& r, std::uint32_t offset) {
    return (r.At(offset) * 65535u + r.At(offset + 1) * 256u + r.At(offset + 2)) >> 8;
}

// The local calendar date of `week` weeks and `timeOfWeek` ms after the GPS
// epoch used by the unit (22 August 1999, local midnight).
bool CalendarDate(std::uint16_t week, std::uint32_t timeOfWeek, std::tm& out) {
    std::tm epoch{};
    epoch.tm_year = 1999 - 1900;
    epoch.tm_mon = 7;
    epoch.tm_mday = 22;
    epoch.tm_isdst = -1;
    const std::time_t start = std::mktime(&epoch);
    if (start == static_cast<std::time_t>(-1)) return false;
    const std::uint32_t weeks = static_cast<std::uint32_t>(week) * kSecondsPerWeek;  // kept to 32 bits
    const std::time_t t = start + static_cast<std::time_t>(weeks) + static_cast<std::time_t>(timeOfWeek / 1000);
    return localtime_r(&t, &out) != nullptr;
}

}  // namespace

void GpsStatus::Update(const std::uint8_t* data, std::uint32_t length) {
    std::array<std::uint8_t, 62> raw{};
    const ByteView in(data, length);
    in.Copy(0, static_cast<std::uint32_t>(raw.size()), raw.data());
    {
        std::lock_guard lock(rawMutex_);
        raw_ = raw;
    }
    const ByteView r(raw.data(), static_cast<std::uint32_t>(raw.size()));

    const std::uint8_t lock = r.At(kLockOffset);
    lock3d.store((lock >> 7) & 1, std::memory_order_relaxed);
    lock2d.store((lock >> 6) & 1, std::memory_order_relaxed);

    const auto lat = static_cast<std::int32_t>(r.Be32(kLatitudeOffset));
    const auto lon = static_cast<std::int32_t>(r.Be32(kLongitudeOffset));
    latitude.store(lat * 90.0 / kTwoTo31, std::memory_order_relaxed);
    longitude.store(lon * 180.0 / kTwoTo31, std::memory_order_relaxed);
    keptField.store(r.Le32(kKeptFieldOffset), std::memory_order_relaxed);

    const std::uint16_t week = r.Be16(kWeekOffset);
    const std::uint32_t tow = r.Be32(kTimeOfWeekOffset);
    std::tm date{};
    if (CalendarDate(week, tow, date)) {
        month.store(date.tm_mon + 1, std::memory_order_relaxed);
        day.store(date.tm_mday, std::memory_order_relaxed);
        year.store(date.tm_year + 1900, std::memory_order_relaxed);
    } else {
        month.store(0, std::memory_order_relaxed);
        day.store(0, std::memory_order_relaxed);
        year.store(0, std::memory_order_relaxed);
    }
    // GPS time of week as it stands: no zone or leap seconds.
    hour.store(static_cast<std::uint8_t>((tow / 3600000u) % 24u), std::memory_order_relaxed);
    minute.store(static_cast<std::uint8_t>((tow / 60000u) % 60u), std::memory_order_relaxed);
    second.store(static_cast<std::uint8_t>((tow / 1000u) % 60u), std::memory_order_relaxed);

    const std::uint32_t fine = (tow * 1000u + r.Be16(kFineTime1Offset)) * 1000u + r.Be16(kFineTime2Offset);
    fineTime.store(fine, std::memory_order_relaxed);

    const std::uint32_t a = ScaledSource(r, kScaledASource);
    scaledA.store(static_cast<std::uint16_t>(static_cast<std::int64_t>(a * 28.205 * 10)), std::memory_order_relaxed);
    const std::uint32_t b = ScaledSource(r, kScaledBSource);
    scaledB.store(static_cast<std::uint16_t>(b * 10u), std::memory_order_relaxed);
}

GpsSnapshot GpsStatus::Snapshot() const {
    GpsSnapshot s;
    s.month = month.load(std::memory_order_relaxed);
    s.day = day.load(std::memory_order_relaxed);
    s.year = year.load(std::memory_order_relaxed);
    s.hour = hour.load(std::memory_order_relaxed);
    s.minute = minute.load(std::memory_order_relaxed);
    s.second = second.load(std::memory_order_relaxed);
    s.lock3d = lock3d.load(std::memory_order_relaxed);
    s.lock2d = lock2d.load(std::memory_order_relaxed);
    s.latitude = latitude.load(std::memory_order_relaxed);
    s.longitude = longitude.load(std::memory_order_relaxed);
    s.scaledA = scaledA.load(std::memory_order_relaxed);
    s.scaledB = scaledB.load(std::memory_order_relaxed);
    s.fineTime = fineTime.load(std::memory_order_relaxed);
    s.keptField = keptField.load(std::memory_order_relaxed);
    return s;
}

std::array<std::uint8_t, 62> GpsStatus::RawReport() const {
    std::lock_guard lock(rawMutex_);
    return raw_;
}

}  // namespace quorl
