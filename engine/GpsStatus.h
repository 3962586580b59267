#pragma once
// The GPS status record: written whole, field by field, by the reader thread
// (message 16); read without a lock by the UI thread. Each field is an atomic
// so that a reader never sees a torn value, though it may see fields of two
// consecutive reports side by side.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace quorl {

// A consistent-looking copy of the record for one paint or one survey point.
struct GpsSnapshot {
    std::int32_t month = 0, day = 0, year = 0;
    std::uint8_t hour = 0, minute = 0, second = 0;
    std::uint8_t lock3d = 0, lock2d = 0;
    double latitude = 0.0, longitude = 0.0;   // degrees, north and east positive
    std::uint16_t scaledA = 0, scaledB = 0;
    std::uint32_t fineTime = 0;
    std::uint32_t keptField = 0;              // report bytes 14..17, little-endian
};

class GpsStatus {
public:
    std::atomic<std::int32_t> month{0}, day{0}, year{0};
    std::atomic<std::uint8_t> hour{0}, minute{0}, second{0};
    std::atomic<std::uint8_t> lock3d{0}, lock2d{0};
    std::atomic<double> latitude{0.0}, longitude{0.0};
    std::atomic<std::uint16_t> scaledA{0}, scaledB{0};
    std::atomic<std::uint32_t> fineTime{0};
    // Bytes 14..17 of the last report taken as a little-endian u32, kept for
    // the survey points.
    std::atomic<std::uint32_t> keptField{0};

    GpsSnapshot Snapshot() const;
    std::array<std::uint8_t, 62> RawReport() const;

    // Handler of message 16: decodes the 62 data bytes (bytes past `length`
    // read as zero).
    void Update(const std::uint8_t* data, std::uint32_t length);

private:
    mutable std::mutex rawMutex_;
    std::array<std::uint8_t, 62> raw_{};
};

// The handler of message 16 as the dispatcher calls it.
inline void UpdateGpsStatus(GpsStatus& gps, const std::uint8_t* data, std::uint32_t length) {
    gps.Update(data, length);
}

}  // namespace quorl
